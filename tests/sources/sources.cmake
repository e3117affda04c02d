# The collecting side: keyed lists, the folder scan, the add commands and the folder picker.
zentra_add_test(NAME sources_keyed_list_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/keyed_list_test.cpp
  LIBS zentra_sources)
zentra_add_test(NAME sources_path_logger_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/path_logger_test.cpp
  LIBS zentra_sources)
zentra_add_test(NAME sources_add_files_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/add_files_command_test.cpp
  LIBS zentra_sources)
zentra_add_test(NAME sources_add_folder_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/add_folder_command_test.cpp
  LIBS zentra_sources)
zentra_add_test(NAME sources_browse_for_folder_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/browse_for_folder_test.cpp
  LIBS zentra_sources)
