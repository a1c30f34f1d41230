# The difference of a rights file and the live volumes.
tolvane_add_test(verify_test
  SOURCES verify/rights_difference_test.cpp
  LIBS tolvane_verify)
tolvane_add_test(sorted_spool_test
  SOURCES verify/sorted_spool_test.cpp
  LIBS tolvane_verify tolvane_test_files)
