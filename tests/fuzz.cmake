tolvane_add_test(fuzz_regression_test
  SOURCES fuzz/fuzz_regression_test.cpp fuzz/fuzz_targets.cpp
  LIBS tolvane_formats)
target_include_directories(fuzz_regression_test PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_compile_definitions(fuzz_regression_test PRIVATE
  TOLVANE_FUZZ_CORPUS="${CMAKE_CURRENT_SOURCE_DIR}/fuzz/corpus")
