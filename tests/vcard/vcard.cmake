# Tests of the vCard parser (vcard/), grouped by area; data files in tests/vcard/data.
zentra_add_test(NAME vcard_syntax_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/syntax_test.cpp
  LIBS zentra_vcard)
zentra_add_test(NAME vcard_content_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/content_test.cpp
  LIBS zentra_vcard)
zentra_add_test(NAME vcard_robustness_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/robustness_test.cpp
  LIBS zentra_vcard TIMEOUT 300)
zentra_add_test(NAME vcard_corpus_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/corpus_test.cpp
  LIBS zentra_vcard)
zentra_add_test(NAME vcard_hostile_input_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/hostile_input_test.cpp
  LIBS zentra_vcard TIMEOUT 120)
