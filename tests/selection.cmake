tolvane_add_test(volume_selection_test QT
  SOURCES selection/volume_selection_test.cpp
  LIBS tolvane_test_support Qt6::Test)
