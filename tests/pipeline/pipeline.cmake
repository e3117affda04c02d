# The import pipeline without the components: the read-ahead, files read once, outcomes.
zentra_add_test(NAME pipeline_file_feed_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/file_feed_test.cpp
  LIBS zentra_pipeline
  TIMEOUT 120)
zentra_add_test(NAME pipeline_file_import_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/file_import_test.cpp
  LIBS zentra_pipeline
  TIMEOUT 120)
zentra_add_test(NAME pipeline_run_record_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/run_record_test.cpp
  LIBS zentra_pipeline)
# Group cards into a real store, read back by the structural checker and every reader.
zentra_add_test(NAME pipeline_groups_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/groups_test.cpp
  LIBS zentra_pipeline messaging_test_support
  TIMEOUT 600)
zentra_add_test(NAME pipeline_local_ids_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/local_ids_test.cpp
  LIBS zentra_pipeline)
