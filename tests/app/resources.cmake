# Program resources (app/resources): the Windows resource script compiled with MinGW's windres,
# the manifest bytes, the icon files and their generator, the desktop entry and metainfo, the
# manual, and the install layout. The checks are Python scripts in tests/app/resources/; exit
# code 77 means a tool they need is missing and the test is reported as skipped.
set(ZENTRA_RES_DIR ${PROJECT_SOURCE_DIR}/app/resources)
set(ZENTRA_RES_CHECKS ${CMAKE_CURRENT_LIST_DIR}/resources)
# -B: the checks import modules from the source tree and must not leave bytecode there.
set(ZENTRA_PYTHON /usr/bin/python3 -B)

add_test(NAME resources_manifest
  COMMAND ${ZENTRA_PYTHON} ${ZENTRA_RES_CHECKS}/check_manifest.py ${ZENTRA_RES_DIR})
add_test(NAME resources_windres
  COMMAND ${ZENTRA_PYTHON} ${ZENTRA_RES_CHECKS}/check_windres.py ${ZENTRA_RES_DIR})
add_test(NAME resources_icon_layout
  COMMAND ${ZENTRA_PYTHON} ${ZENTRA_RES_CHECKS}/check_icon.py layout ${ZENTRA_RES_DIR})
add_test(NAME resources_icon_regenerates
  COMMAND ${ZENTRA_PYTHON} ${ZENTRA_RES_CHECKS}/check_icon.py regenerate ${ZENTRA_RES_DIR})
add_test(NAME resources_desktop_entry
  COMMAND ${ZENTRA_PYTHON} ${ZENTRA_RES_CHECKS}/check_desktop.py ${ZENTRA_RES_DIR})
add_test(NAME resources_manual
  COMMAND ${ZENTRA_PYTHON} ${ZENTRA_RES_CHECKS}/check_manual.py ${ZENTRA_RES_DIR})
add_test(NAME resources_install
  COMMAND ${ZENTRA_PYTHON} ${ZENTRA_RES_CHECKS}/check_install.py ${CMAKE_COMMAND} ${CMAKE_BINARY_DIR} ${ZENTRA_RES_DIR})

set_tests_properties(resources_manifest resources_windres resources_icon_layout
  resources_icon_regenerates resources_desktop_entry resources_manual resources_install
  PROPERTIES TIMEOUT 120 SKIP_RETURN_CODE 77 LABELS resources)
