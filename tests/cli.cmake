# tolvane-cli: its output, the capture's drive and searches, and the program run as a user
# runs it.
tolvane_add_test(cli_output_test
  SOURCES cli/cli_output_test.cpp
  LIBS tolvane_cli_lib tolvane_sim tolvane_test_files)
tolvane_add_test(cli_tool_test SOURCES cli/cli_tool_test.cpp LIBS tolvane_sim tolvane_test_files)
tolvane_add_test(cli_restore_test TIMEOUT 120
  SOURCES cli/cli_restore_test.cpp
  LIBS tolvane_sim tolvane_test_files)
tolvane_add_test(cli_capture_test
  SOURCES cli/cli_capture_test.cpp
  LIBS tolvane_sim tolvane_test_files)
tolvane_add_test(cli_round_trip_test QT
  SOURCES cli/cli_round_trip_test.cpp
  LIBS tolvane_window_scene)
tolvane_add_test(cli_security_test TIMEOUT 120
  SOURCES cli/cli_security_test.cpp
  LIBS tolvane_sim tolvane_test_files)
tolvane_add_test(cli_filters_test
  SOURCES cli/cli_filters_test.cpp
  LIBS tolvane_sim tolvane_test_files)
tolvane_add_test(cli_diff_test SOURCES cli/cli_diff_test.cpp LIBS tolvane_sim tolvane_test_files)
tolvane_add_test(cli_mapping_test
  SOURCES cli/cli_mapping_test.cpp
  LIBS tolvane_sim tolvane_test_files)
foreach(test cli_tool_test cli_restore_test cli_capture_test cli_round_trip_test
    cli_security_test cli_filters_test cli_diff_test cli_mapping_test)
  target_compile_definitions(${test} PRIVATE
    CLI_TOOL="$<TARGET_FILE:tolvane-cli>" NETSIM_TOOL="$<TARGET_FILE:tolvane-netsim>"
    TOLVANE_VERSION="${PROJECT_VERSION}")
  add_dependencies(${test} tolvane-cli tolvane-netsim)
endforeach()
tolvane_add_test(cli_parallel_test SOURCES cli/parallel_test.cpp LIBS tolvane_cli_lib)
