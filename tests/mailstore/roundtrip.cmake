# Round trips of the project's own vCards through the independent readers, and the shared
# corpus imported file by file (skipped when the corpus is absent).
if(TARGET zentra_pst_ndb AND TARGET zentra_pst_ltp AND TARGET pstcheck_lib AND TARGET zentra_contact
   AND EXISTS ${CMAKE_CURRENT_LIST_DIR}/../support/readers.h)
  zentra_add_test(NAME mailstore_roundtrip_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/roundtrip_test.cpp
    LIBS zentra_mailstore messaging_test_support zentra_test_readers
    TIMEOUT 600)
  target_include_directories(mailstore_roundtrip_test PRIVATE ${CMAKE_CURRENT_LIST_DIR})
endif()
if(TARGET zentra_pst_ndb AND TARGET zentra_pst_ltp AND TARGET pstcheck_lib AND TARGET zentra_contact
   AND EXISTS ${CMAKE_CURRENT_LIST_DIR}/../support/readers.h)
  zentra_add_test(NAME mailstore_corpus_import_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/corpus_import_test.cpp
    LIBS zentra_mailstore messaging_test_support zentra_test_readers
    TIMEOUT 600)
  target_include_directories(mailstore_corpus_import_test PRIVATE ${CMAKE_CURRENT_LIST_DIR})
endif()
