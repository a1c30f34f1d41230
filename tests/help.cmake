# The help file's format and contents (no Qt), and help in the window.
tolvane_add_test(help_file_test
  SOURCES help/help_file_test.cpp ${CMAKE_SOURCE_DIR}/src/app/help_file.cpp support/temp_dir.cpp)
target_include_directories(help_file_test PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_compile_definitions(help_file_test PRIVATE
  TOLVANE_HELP_SOURCE="${CMAKE_SOURCE_DIR}/help/Tolvane.HLP"
  TOLVANE_HELP_INSTALLED="${CMAKE_BINARY_DIR}/bin/Tolvane.HLP")

tolvane_add_test(help_window_test QT
  SOURCES help/help_window_test.cpp help/help_viewer_test.cpp
  LIBS tolvane_test_support Qt6::Test)
target_compile_definitions(help_window_test PRIVATE
  TOLVANE_HELP_SOURCE="${CMAKE_SOURCE_DIR}/help/Tolvane.HLP")
