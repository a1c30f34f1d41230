find_package(GTest REQUIRED)

# tolvane_add_test(name [QT] [TIMEOUT seconds] SOURCES ... LIBS ...): one GoogleTest program,
# run offscreen. QT gives the program a QApplication for window tests. The timeout (default
# 30 s) leaves room for the sanitizer build, which runs several times slower.
function(tolvane_add_test name)
  cmake_parse_arguments(T "QT" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 30)
  endif()
  add_executable(${name} ${T_SOURCES})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(${name} PRIVATE tolvane_options)
  if(T_QT)
    target_link_libraries(${name} PRIVATE ${T_LIBS} tolvane_qt_test_main GTest::gtest GTest::gmock)
  else()
    target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  endif()
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/tests)
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LANG=C.UTF-8;TOLVANE_NETWORK=/nonexistent/tolvane-network"
    TIMEOUT ${T_TIMEOUT})
endfunction()
