# The window program: layout, commands, XPStyle and application info, offscreen; titles on X.
set(ZENTRA_APP_TEST_MAIN ${CMAKE_CURRENT_LIST_DIR}/../platform/support/gui_test_main.cpp)

zentra_add_test(NAME app_window_layout_test GUI
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/frm_step1_layout_test.cpp ${ZENTRA_APP_TEST_MAIN}
  LIBS zentra_app Qt6::Test)

zentra_add_test(NAME app_window_commands_test GUI
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/frm_step1_commands_test.cpp ${ZENTRA_APP_TEST_MAIN}
  LIBS zentra_app Qt6::Test)

add_library(zentra_xp_style_probe MODULE ${CMAKE_CURRENT_LIST_DIR}/xp_style_probe_library.cpp)
set_target_properties(zentra_xp_style_probe PROPERTIES LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
zentra_add_test(NAME app_xp_style_test GUI
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/xp_style_test.cpp ${ZENTRA_APP_TEST_MAIN}
  LIBS zentra_app Qt6::Test ${CMAKE_DL_LIBS})
add_dependencies(app_xp_style_test zentra_xp_style_probe)
target_compile_definitions(app_xp_style_test PRIVATE
  ZENTRA_XP_STYLE_PROBE="$<TARGET_FILE:zentra_xp_style_probe>")

zentra_add_test(NAME app_info_test GUI
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/app_info_test.cpp ${ZENTRA_APP_TEST_MAIN}
  LIBS zentra_app)

zentra_add_test(NAME app_window_import_test GUI
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/window_import_test.cpp ${ZENTRA_APP_TEST_MAIN}
  LIBS zentra_app zentra_test_readers Qt6::Test
  TIMEOUT 600)
add_dependencies(app_window_import_test pstcheck)

# The real program on an X server of its own (Xvfb, started by the test): window manager titles.
zentra_add_test(NAME app_window_x11_test GUI TIMEOUT 120
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/window_x11_test.cpp ${ZENTRA_APP_TEST_MAIN}
  LIBS Qt6::Widgets)
add_dependencies(app_window_x11_test zentra-vcard-importer)
target_compile_definitions(app_window_x11_test PRIVATE
  ZENTRA_WINDOW_PROGRAM="$<TARGET_FILE:zentra-vcard-importer>")

zentra_add_test(NAME app_locale_settings_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/locale_import_settings_test.cpp
  LIBS zentra_app)
