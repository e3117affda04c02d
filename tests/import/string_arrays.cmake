zentra_add_test(NAME import_string_arrays_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/string_arrays_test.cpp ${CMAKE_CURRENT_LIST_DIR}/source_folder_test.cpp
  LIBS zentra_import)
