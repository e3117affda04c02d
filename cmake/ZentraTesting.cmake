# zentra_add_test(NAME <name> SOURCES <files...> LIBS <targets...> [GUI] [QTEST] [TIMEOUT <s>] [LABELS <l...>])
# One test program per unit. GoogleTest programs link gtest_main unless QTEST is given (Qt Test
# programs supply their own main). GUI tests run offscreen. Every test has a timeout so a dialog
# nobody answers fails the run instead of hanging it.
function(zentra_add_test)
  cmake_parse_arguments(T "GUI;QTEST" "NAME;TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS})
  if(NOT T_QTEST)
    target_link_libraries(${T_NAME} PRIVATE GTest::gtest GTest::gtest_main GTest::gmock)
  endif()
  set_target_properties(${T_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  target_compile_definitions(${T_NAME} PRIVATE
    ZENTRA_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    ZENTRA_SHARED_DIR="${PROJECT_SOURCE_DIR}/../shared"
    ZENTRA_BINARY_DIR="${CMAKE_BINARY_DIR}")
  add_test(NAME ${T_NAME} COMMAND ${T_NAME})
  set(env "ZENTRA_SOURCE_DIR=${PROJECT_SOURCE_DIR}")
  if(T_GUI)
    list(APPEND env "QT_QPA_PLATFORM=offscreen")
  endif()
  set_tests_properties(${T_NAME} PROPERTIES TIMEOUT ${T_TIMEOUT} ENVIRONMENT "${env}")
  if(T_LABELS)
    set_tests_properties(${T_NAME} PROPERTIES LABELS "${T_LABELS}")
  endif()
endfunction()
