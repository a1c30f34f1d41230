# The help Tolvane ships, and help in the window.
tolvane_add_test(help_window_test QT
  SOURCES help/help_window_test.cpp
  LIBS tolvane_window_scene)
target_compile_definitions(help_window_test PRIVATE
  TOLVANE_HELP_SOURCE="${PROJECT_SOURCE_DIR}/help/Tolvane.HLP"
  TOLVANE_HELP_BUILT="${PROJECT_BINARY_DIR}/bin/Tolvane.HLP")

