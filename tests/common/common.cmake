zentra_add_test(NAME common_path_list_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/path_list_test.cpp
  LIBS zentra_common)
