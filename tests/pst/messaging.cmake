# The PST engine's messaging layer: store creation, folders, name-to-ID map, messages.
set(_msg_dir ${CMAKE_CURRENT_LIST_DIR})
if(TARGET zentra_pst_ndb AND TARGET zentra_pst_ltp)
  add_library(messaging_test_support STATIC ${_msg_dir}/messaging_support.cpp)
  target_link_libraries(messaging_test_support PUBLIC zentra_pst_messaging zentra_pst_ndb GTest::gtest)
  target_compile_definitions(messaging_test_support PRIVATE ZENTRA_BINARY_DIR="${CMAKE_BINARY_DIR}")
  foreach(unit store folders name_map message)
    zentra_add_test(NAME messaging_${unit}_test
      SOURCES ${_msg_dir}/messaging_${unit}_test.cpp
      LIBS messaging_test_support zentra_pst_messaging)
  endforeach()
  # Whole files through the structural checker and the independent readers.
  if(TARGET pstcheck_lib AND EXISTS ${_msg_dir}/../support/readers.h)
    zentra_add_test(NAME messaging_readers_test
      SOURCES ${_msg_dir}/messaging_readers_test.cpp
      LIBS messaging_test_support zentra_pst_messaging pstcheck_lib zentra_test_readers
      TIMEOUT 600)
  endif()
endif()
