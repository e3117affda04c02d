zentra_add_test(NAME import_run_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/import_run_test.cpp ${CMAKE_CURRENT_LIST_DIR}/open_mapi_folder_test.cpp
  LIBS zentra_import zentra_test_readers
  TIMEOUT 600)
