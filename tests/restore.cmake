tolvane_add_test(restore_logic_test
  SOURCES restore/rights_mask_test.cpp
  LIBS tolvane_restore tolvane_formats)
tolvane_add_test(write_trustees_test QT
  SOURCES restore/write_trustees_test.cpp
  LIBS tolvane_window_scene)
tolvane_add_test(record_mapping_test
  SOURCES restore/record_mapping_test.cpp
  LIBS tolvane_restore)
tolvane_add_test(grant_engine_test
  SOURCES restore/grant_engine_test.cpp
  LIBS tolvane_restore tolvane_sim tolvane_test_files)
