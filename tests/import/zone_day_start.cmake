zentra_add_test(NAME import_zone_day_start_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/zone_day_start_test.cpp
  LIBS zentra_import)
