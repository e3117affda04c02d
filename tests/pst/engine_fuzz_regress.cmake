# Replays the PST engine fuzzer's kept inputs (crash inputs under data/fuzz_regress, and the
# initial corpus) through the same driver the fuzzer uses, in an ordinary build.
set(_fuzz_pst_dir ${PROJECT_SOURCE_DIR}/fuzz/pst)
zentra_add_test(NAME engine_fuzz_regress_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/engine_fuzz_regress.cpp
          ${_fuzz_pst_dir}/engine_driver.cpp
          ${_fuzz_pst_dir}/program_source.cpp
          ${_fuzz_pst_dir}/store_readback.cpp
  LIBS zentra_pst_messaging zentra_test_store_reader pstcheck_lib
  TIMEOUT 300)
target_include_directories(engine_fuzz_regress_test PRIVATE ${_fuzz_pst_dir})
target_compile_definitions(engine_fuzz_regress_test PRIVATE
  ENGINE_FUZZ_REGRESS_DIR="${CMAKE_CURRENT_LIST_DIR}/data/fuzz_regress"
  ENGINE_FUZZ_CORPUS_DIR="${_fuzz_pst_dir}/corpus")
