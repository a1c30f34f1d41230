tolvane_add_test(formats_test
  SOURCES formats/formats_test.cpp
  LIBS tolvane_formats tolvane_test_files)
