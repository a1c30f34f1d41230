tolvane_add_test(volume_selection_test QT
  SOURCES selection/volume_selection_test.cpp
  LIBS tolvane_test_support Qt6::Test)

# Not a test: renders the window on a network with a volume selected, for the docs.
add_executable(selection_screenshot EXCLUDE_FROM_ALL selection/volume_screenshot.cpp)
target_link_libraries(selection_screenshot PRIVATE tolvane_test_support Qt6::Test)
set_target_properties(selection_screenshot PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
