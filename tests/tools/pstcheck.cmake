# pstcheck: the Outlook-written samples pass, each targeted damage is caught, the command line
# reports as documented.
zentra_add_test(NAME pstcheck_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/pstcheck_damage_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/pstcheck_samples_test.cpp
  LIBS pstcheck_lib)
add_dependencies(pstcheck_test pstcheck)
