# The lists, tables and properties layer, tested over an in-memory node database.
zentra_add_test(NAME ltp_heap_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/ltp_heap_test.cpp LIBS zentra_pst_ltp)
zentra_add_test(NAME ltp_pc_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/ltp_pc_test.cpp LIBS zentra_pst_ltp)
zentra_add_test(NAME ltp_tc_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/ltp_tc_test.cpp LIBS zentra_pst_ltp)
# Outlook-written samples and our own files, read back straight from disk.
zentra_add_test(NAME ltp_sample_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/ltp_sample_test.cpp
  LIBS zentra_pst_ltp zentra_test_store_reader)
zentra_add_test(NAME ltp_ndb_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/ltp_ndb_test.cpp
  LIBS zentra_pst_ltp zentra_test_store_reader)
zentra_add_test(NAME ltp_append_table_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/ltp_append_table_test.cpp
  LIBS zentra_pst_ltp zentra_test_store_reader TIMEOUT 300)
zentra_add_test(NAME ltp_property_map_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/ltp_property_map_test.cpp LIBS zentra_pst_ltp)
