# Contact items: Import / Save through the mail-store components, checked against the file
# (the messaging tests' support reads it back and runs pstcheck).
if(TARGET zentra_pst_ndb AND TARGET zentra_pst_ltp AND TARGET pstcheck_lib AND TARGET zentra_contact
   AND EXISTS ${CMAKE_CURRENT_LIST_DIR}/../support/readers.h)
  zentra_add_test(NAME mailstore_contact_item_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/contact_item_test.cpp
    LIBS zentra_mailstore messaging_test_support
    TIMEOUT 300)
  target_include_directories(mailstore_contact_item_test PRIVATE
    ${PROJECT_SOURCE_DIR}/mailstore/src ${CMAKE_CURRENT_LIST_DIR})
endif()
