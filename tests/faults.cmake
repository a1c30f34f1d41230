# Faults: servers going down, a locked or damaged store, a program folder that cannot be
# written, a write cut short, rights files of random bytes.
tolvane_add_test(restore_faults_test QT TIMEOUT 120
  SOURCES faults/restore_faults_test.cpp
  LIBS tolvane_window_scene tolvane_restore tolvane_formats)
tolvane_add_test(capture_faults_test QT
  SOURCES faults/capture_faults_test.cpp
  LIBS tolvane_window_scene)
