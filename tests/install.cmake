# An install into a temporary prefix, and the installed copy at work.
set(TOLVANE_TEST_PREFIX ${PROJECT_BINARY_DIR}/install-test)
add_test(NAME install_into_prefix COMMAND sh -c
  "rm -rf \"$1\" && \"$2\" --install \"$3\" --prefix \"$1\" >/dev/null"
  sh ${TOLVANE_TEST_PREFIX} ${CMAKE_COMMAND} ${PROJECT_BINARY_DIR})
set_tests_properties(install_into_prefix PROPERTIES FIXTURES_SETUP installed)

find_program(DESKTOP_FILE_VALIDATE desktop-file-validate)
if(DESKTOP_FILE_VALIDATE)
  add_test(NAME installed_desktop_entry COMMAND ${DESKTOP_FILE_VALIDATE}
    ${TOLVANE_TEST_PREFIX}/share/applications/tolvane.desktop)
  set_tests_properties(installed_desktop_entry PROPERTIES FIXTURES_REQUIRED installed)
endif()

tolvane_add_test(installed_copy_test QT
  SOURCES install/installed_copy_test.cpp
  LIBS tolvane_test_files tolvane_window tolvane_sim)
target_compile_definitions(installed_copy_test PRIVATE
  TOLVANE_TEST_PREFIX="${TOLVANE_TEST_PREFIX}")
set_tests_properties(installed_copy_test PROPERTIES FIXTURES_REQUIRED installed)
