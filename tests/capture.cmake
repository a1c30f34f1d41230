tolvane_add_test(capture_setup_test
  SOURCES capture/capture_setup_test.cpp
  LIBS tolvane_capture)
tolvane_add_test(get_trustees_test QT
  SOURCES capture/get_trustees_test.cpp
  LIBS tolvane_window_scene)
tolvane_add_test(capture_round_trip_test QT TIMEOUT 120
  SOURCES capture/round_trip_test.cpp
  LIBS tolvane_window_scene)
tolvane_add_test(scan_engine_test
  SOURCES capture/scan_engine_test.cpp
  LIBS tolvane_capture tolvane_sim tolvane_test_files)
tolvane_add_test(volume_security_test
  SOURCES capture/volume_security_test.cpp
  LIBS tolvane_capture tolvane_sim tolvane_test_files)
tolvane_add_test(capture_jobs_test
  SOURCES capture/capture_jobs_test.cpp
  LIBS tolvane_cli_lib tolvane_sim tolvane_test_files)
