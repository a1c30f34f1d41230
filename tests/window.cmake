# The window, start-up and shutdown, the browse control and the Qt desktop.
tolvane_add_test(window_test QT
  SOURCES window/window_test.cpp window/qt_desktop_test.cpp
  LIBS tolvane_window_scene)
