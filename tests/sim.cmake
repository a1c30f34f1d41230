# The simulated network: contract tests of the client and controls, the store, JSON
# descriptions, the demo and generated networks, and the tool.
tolvane_add_test(sim_tests TIMEOUT 120
  SOURCES sim/sim_test.cpp
  LIBS tolvane_sim tolvane_test_files nlohmann_json::nlohmann_json)

tolvane_add_test(sim_tool_tests
  SOURCES sim/tool_test.cpp
  LIBS tolvane_sim tolvane_test_files nlohmann_json::nlohmann_json)
target_compile_definitions(sim_tool_tests PRIVATE NETSIM_TOOL="$<TARGET_FILE:tolvane-netsim>"
  TOLVANE_VERSION="${PROJECT_VERSION}")
add_dependencies(sim_tool_tests tolvane-netsim)

tolvane_add_test(sim_entries_tests
  SOURCES sim/entries_test.cpp
  LIBS tolvane_sim tolvane_test_files nlohmann_json::nlohmann_json)

tolvane_add_test(sim_threads_tests TIMEOUT 120
  SOURCES sim/threads_test.cpp
  LIBS tolvane_restore tolvane_sim tolvane_test_files)
