tolvane_add_test(formats_test
  SOURCES formats/formats_test.cpp
  LIBS tolvane_formats tolvane_test_files)
tolvane_add_test(filters_file_test
  SOURCES formats/filters_file_test.cpp
  LIBS tolvane_formats tolvane_test_files)
