# The in-process mail-store components, and the ProgID registry that hands them out.
zentra_add_test(NAME mailstore_components_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/mailstore_components_test.cpp
  LIBS zentra_mailstore)
if(TARGET zentra_platform)
  zentra_add_test(NAME component_registry_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/component_registry_test.cpp
    LIBS zentra_platform zentra_mailstore)
endif()
