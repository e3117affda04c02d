find_package(ZLIB REQUIRED)
zentra_add_test(NAME core_codec_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/core_codec_test.cpp
  LIBS zentra_pst_core ZLIB::ZLIB)
