tolvane_add_test(capture_setup_test
  SOURCES capture/capture_setup_test.cpp
  LIBS tolvane_formats)
