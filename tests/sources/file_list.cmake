# The file list on the memory grid and on the window's widget grid.
zentra_add_test(NAME sources_file_list_test GUI
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/file_list_test.cpp ${CMAKE_CURRENT_LIST_DIR}/../platform/support/gui_test_main.cpp
  LIBS zentra_sources zentra_platform)
