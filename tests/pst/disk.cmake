zentra_add_test(NAME disk_structures_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/disk_structures_test.cpp
  LIBS zentra_pst_disk)
zentra_add_test(NAME disk_outlook_sample_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/disk_outlook_sample_test.cpp
  LIBS zentra_pst_disk)
