tolvane_add_test(formats_test
  SOURCES
    formats/rights_text_test.cpp
    formats/windows1252_test.cpp
    formats/byte_buffer_test.cpp
    formats/trustee_path_test.cpp
    formats/field_reader_test.cpp
    formats/object_list_file_test.cpp
    formats/rights_file_test.cpp
    support/temp_dir.cpp
  LIBS tolvane_formats)
target_include_directories(formats_test PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
