# Contact mapping tests: the property model, then the card-to-contact mapping family by family.
zentra_add_test(NAME contact_model_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/contact_model_test.cpp
  LIBS zentra_contact ${ZENTRA_STB_LIBRARY})
zentra_add_test(NAME contact_mapping_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/names_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/email_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/phones_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/addresses_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/dates_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/photo_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/notes_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/personal_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/revision_key_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/import_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/robustness_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/distribution_list_test.cpp
  LIBS zentra_contact ${ZENTRA_STB_LIBRARY})
# The mapping's internal helpers (private headers of zentra_contact).
zentra_add_test(NAME contact_helpers_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/internal_helpers_test.cpp
  LIBS zentra_contact)
target_include_directories(contact_helpers_test PRIVATE ${CMAKE_CURRENT_LIST_DIR}/../../contact/src)
# The mapping's whole output against recorded output (kept unchanged by speed work).
zentra_add_test(NAME contact_golden_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/golden_test.cpp
  LIBS zentra_contact)
