tolvane_add_test(write_trustees_test QT
  SOURCES restore/write_trustees_test.cpp
  LIBS tolvane_window_scene)
tolvane_add_test(record_mapping_test
  SOURCES restore/record_mapping_test.cpp
  LIBS tolvane_restore tolvane_test_files)
tolvane_add_test(grant_engine_test
  SOURCES restore/grant_engine_test.cpp
  LIBS tolvane_restore tolvane_sim tolvane_test_files)
tolvane_add_test(restore_property_test TIMEOUT 120
  SOURCES restore/restore_property_test.cpp
  LIBS tolvane_formats tolvane_sim tolvane_test_files)
target_compile_definitions(restore_property_test PRIVATE CLI_TOOL="$<TARGET_FILE:tolvane-cli>")
add_dependencies(restore_property_test tolvane-cli)
