zentra_add_test(NAME ndb_data_trees_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ndb_data_trees_test.cpp
  LIBS zentra_pst_ndb zentra_test_store_reader)
zentra_add_test(NAME ndb_btree_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ndb_btree_test.cpp
  LIBS zentra_pst_ndb zentra_test_store_reader
  TIMEOUT 300)
zentra_add_test(NAME ndb_commit_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ndb_commit_test.cpp
  LIBS zentra_pst_ndb zentra_test_store_reader
  TIMEOUT 300)
zentra_add_test(NAME ndb_store_reader_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ndb_store_reader_test.cpp
  LIBS zentra_pst_ndb zentra_test_store_reader)
zentra_add_test(NAME ndb_libpff_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ndb_libpff_test.cpp
  LIBS zentra_pst_ndb zentra_test_store_reader)
zentra_add_test(NAME ndb_growing_tree_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ndb_growing_tree_test.cpp
  LIBS zentra_pst_ndb zentra_test_store_reader)
zentra_add_test(NAME ndb_space_map_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ndb_space_map_test.cpp
  LIBS zentra_pst_ndb)
target_include_directories(ndb_space_map_test PRIVATE ${PROJECT_SOURCE_DIR}/pst/ndb/src)
zentra_add_test(NAME ndb_write_behind_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ndb_write_behind_test.cpp
  LIBS zentra_pst_ndb)
target_include_directories(ndb_write_behind_test PRIVATE ${PROJECT_SOURCE_DIR}/pst/ndb/src)
zentra_add_test(NAME ndb_store_naming_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ndb_store_naming_test.cpp
  LIBS zentra_pst_ndb zentra_test_store_reader)
zentra_add_test(NAME ndb_file_growth_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ndb_file_growth_test.cpp
  LIBS zentra_pst_ndb zentra_test_store_reader)
