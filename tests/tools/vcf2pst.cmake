if(ZENTRA_BUILD_GUI)
  zentra_add_test(NAME vcf2pst_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/vcf2pst_test.cpp
    LIBS zentra_test_readers Qt6::Core
    TIMEOUT 600)
  add_dependencies(vcf2pst_test zentra-vcf2pst pstcheck)
endif()

if(ZENTRA_BUILD_GUI)
  zentra_add_test(NAME vcf2pst_kill_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/vcf2pst_kill_test.cpp
    LIBS zentra_test_readers Qt6::Core
    TIMEOUT 900)
  add_dependencies(vcf2pst_kill_test zentra-vcf2pst pstcheck)
endif()

if(ZENTRA_BUILD_GUI)
  zentra_add_test(NAME relative_folders_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/relative_folders_test.cpp
    LIBS zentra_vcf2pst_lib)
endif()
