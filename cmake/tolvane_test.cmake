find_package(GTest REQUIRED)

# tolvane_add_test(name [QT] SOURCES ... LIBS ...): one GoogleTest program, run offscreen.
# QT gives the program a QApplication for window tests.
function(tolvane_add_test name)
  cmake_parse_arguments(T "QT" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(${name} PRIVATE tolvane_options)
  if(T_QT)
    target_link_libraries(${name} PRIVATE ${T_LIBS} tolvane_qt_test_main GTest::gtest GTest::gmock)
  else()
    target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  endif()
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LANG=C.UTF-8;TOLVANE_NETWORK=/nonexistent/tolvane-network"
    TIMEOUT 900)
endfunction()
