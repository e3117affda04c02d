# The reader harness tests use to read back PST files with the independent readers. Tests link
# it by target name (zentra_test_readers); it links nothing of the project's own PST engine.
add_library(zentra_test_readers STATIC
  ${CMAKE_CURRENT_LIST_DIR}/json_value.cpp
  ${CMAKE_CURRENT_LIST_DIR}/process_runner.cpp
  ${CMAKE_CURRENT_LIST_DIR}/reader_common.cpp
  ${CMAKE_CURRENT_LIST_DIR}/libpst_reader.cpp
  ${CMAKE_CURRENT_LIST_DIR}/libpff_reader.cpp
  ${CMAKE_CURRENT_LIST_DIR}/script_readers.cpp
)
target_include_directories(zentra_test_readers PUBLIC ${CMAKE_CURRENT_LIST_DIR})
# Text decoding is shared with the structural checker, which is independent of the engine too.
target_link_libraries(zentra_test_readers PRIVATE pstcheck_lib)
target_compile_definitions(zentra_test_readers PRIVATE
  ZENTRA_TEST_SUPPORT_DIR="${CMAKE_CURRENT_LIST_DIR}"
  ZENTRA_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
# Reads back what the engine wrote, straight from the file, and checks its node-database
# structure (StoreReader, FileView). Only tests, benchmarks and fuzzers link it; the program
# contains none of it.
add_library(zentra_test_store_reader STATIC
  ${CMAKE_CURRENT_LIST_DIR}/store_reader.cpp
  ${CMAKE_CURRENT_LIST_DIR}/store_verify.cpp
)
target_include_directories(zentra_test_store_reader PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(zentra_test_store_reader PUBLIC zentra_pst_ndb zentra_pst_disk zentra_common)
