# The PST engine's messaging layer: store creation, folders, name-to-ID map, messages.
set(_msg_dir ${CMAKE_CURRENT_LIST_DIR})
# Every file a test writes goes through the structural checker and the four independent readers
# (the reader harness lives in tests/support, the checker in tools/pstcheck).
add_library(messaging_test_support STATIC ${_msg_dir}/messaging_support.cpp)
target_include_directories(messaging_test_support PUBLIC ${_msg_dir})
target_link_libraries(messaging_test_support PUBLIC
  zentra_pst_messaging zentra_test_store_reader pstcheck_lib zentra_test_readers GTest::gtest)
target_compile_definitions(messaging_test_support PRIVATE ZENTRA_BINARY_DIR="${CMAKE_BINARY_DIR}")
foreach(unit store folders name_map message readers large_store)
  zentra_add_test(NAME messaging_${unit}_test
    SOURCES ${_msg_dir}/messaging_${unit}_test.cpp
    LIBS messaging_test_support zentra_pst_messaging
    TIMEOUT 900)
endforeach()
