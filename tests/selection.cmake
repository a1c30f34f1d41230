tolvane_add_test(volume_selection_test QT
  SOURCES selection/volume_selection_test.cpp
  LIBS tolvane_window_scene)
