tolvane_add_test(formats_test
  SOURCES formats/formats_test.cpp support/temp_dir.cpp
  LIBS tolvane_formats)
target_include_directories(formats_test PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
