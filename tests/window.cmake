# The window, start-up and shutdown, the browse control and the Qt desktop.
tolvane_add_test(window_test QT
  SOURCES window/window_test.cpp window/qt_desktop_test.cpp
  LIBS tolvane_window_scene)

# What assistive technology reads of the window.
tolvane_add_test(accessibility_test QT
  SOURCES window/accessibility_test.cpp
  LIBS tolvane_window_scene)

# Where the program keeps its files and finds its help file (no Qt).
tolvane_add_test(program_folder_test
  SOURCES window/program_folder_test.cpp
  LIBS tolvane_test_files tolvane_program_folder tolvane_netware)
