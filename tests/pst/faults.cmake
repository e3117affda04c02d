# Write failures injected through the node database's file seam, and a real full disk on a
# small tmpfs (skipped where mounting is not permitted). The read-only file view is the one the
# engine fuzzer's driver uses.
if(TARGET zentra_pst_messaging AND TARGET pstcheck_lib AND EXISTS ${PROJECT_SOURCE_DIR}/fuzz/pst/file_view.h)
  zentra_add_test(NAME pst_faults_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/faults.cpp
    LIBS zentra_pst_messaging zentra_pst_ltp zentra_pst_ndb pstcheck_lib
    TIMEOUT 600)
  target_include_directories(pst_faults_test PRIVATE ${PROJECT_SOURCE_DIR}/fuzz/pst)
endif()
