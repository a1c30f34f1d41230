# The help Tolvane ships, and help in the window.
tolvane_add_test(help_window_test QT
  SOURCES help/help_window_test.cpp
  LIBS tolvane_window_scene)
target_compile_definitions(help_window_test PRIVATE
  TOLVANE_HELP_SOURCE="${PROJECT_SOURCE_DIR}/help/Tolvane.HLP"
  TOLVANE_HELP_BUILT="${PROJECT_BINARY_DIR}/bin/Tolvane.HLP")

# Not a test: renders help for the docs under xvfb-run.
add_executable(help_screenshot EXCLUDE_FROM_ALL help/help_screenshot.cpp)
target_link_libraries(help_screenshot PRIVATE tolvane_test_support Qt6::Test)
target_compile_definitions(help_screenshot PRIVATE TOLVANE_BIN_DIR="${PROJECT_BINARY_DIR}/bin")
set_target_properties(help_screenshot PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/tests)
