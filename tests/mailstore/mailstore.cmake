# The in-process mail-store components, and the ProgID registry that hands them out. The files
# the components write are checked with the messaging tests' support (pstcheck and the readers).
if(TARGET zentra_pst_ndb AND TARGET zentra_pst_ltp AND TARGET pstcheck_lib
   AND EXISTS ${CMAKE_CURRENT_LIST_DIR}/../support/readers.h)
  zentra_add_test(NAME mailstore_components_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/mailstore_components_test.cpp
    LIBS zentra_mailstore messaging_test_support
    TIMEOUT 600)
endif()
zentra_add_test(NAME component_registry_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/component_registry_test.cpp
  LIBS zentra_mailstore)
