tolvane_add_test(formats_test
  SOURCES formats/formats_test.cpp
  LIBS tolvane_formats tolvane_test_files)
tolvane_add_test(rights_file_writer_test
  SOURCES formats/rights_file_writer_test.cpp
  LIBS tolvane_formats tolvane_test_files)
