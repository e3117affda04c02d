# The command-line importer under hostile conditions: sources that change or are not files,
# a destination that stops taking writes, and inputs built to hang or exhaust memory.
if(ZENTRA_BUILD_GUI)
  zentra_add_test(NAME vcf2pst_hostile_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/vcf2pst_hostile_test.cpp
    LIBS zentra_test_readers Qt6::Core
    TIMEOUT 600)
  add_dependencies(vcf2pst_hostile_test zentra-vcf2pst pstcheck)
endif()
