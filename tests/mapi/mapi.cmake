# The MAPI vocabulary: the catalogue against [MS-OXPROPS], keys, and stored value forms.
zentra_add_test(NAME mapi_catalogue_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/catalogue_test.cpp LIBS zentra_mapi)
zentra_add_test(NAME mapi_values_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/values_test.cpp LIBS zentra_mapi)
