# The reader harness on Outlook-written samples: every reader sees the same tree and contact.
zentra_add_test(NAME test_readers_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_readers_test.cpp
  LIBS zentra_test_readers pstcheck_lib
  TIMEOUT 300)
