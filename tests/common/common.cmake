zentra_add_test(NAME common_path_list_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/path_list_test.cpp
  LIBS zentra_common)
zentra_add_test(NAME common_text_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/text_test.cpp
  LIBS zentra_common)
