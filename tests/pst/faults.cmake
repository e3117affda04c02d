# Write failures injected through the node database's file seam, and a real full disk on a
# small tmpfs (skipped where mounting is not permitted). The file is read back through the same
# read-only view the engine fuzzer's driver uses.
zentra_add_test(NAME pst_faults_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/faults.cpp
  LIBS zentra_pst_messaging zentra_test_store_reader pstcheck_lib
  TIMEOUT 600)
