tolvane_add_test(fuzz_regression_test
  SOURCES fuzz/fuzz_regression_test.cpp
  LIBS tolvane_fuzz_targets tolvane_test_files)
target_compile_definitions(fuzz_regression_test PRIVATE
  TOLVANE_FUZZ_CORPUS="${CMAKE_CURRENT_SOURCE_DIR}/fuzz/corpus")
