# Platform layer: Qt UI services, dialogs' selection text, grid and control adapters.
set(ZENTRA_GUI_TEST_MAIN ${CMAKE_CURRENT_LIST_DIR}/support/gui_test_main.cpp)  # also named directly by other folders

zentra_add_test(NAME platform_selection_text_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/selection_text_test.cpp
  LIBS zentra_platform)

zentra_add_test(NAME platform_grid_cells_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/grid_cells_test.cpp
  LIBS zentra_platform)

zentra_add_test(NAME platform_message_box_test GUI TIMEOUT 60
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/message_box_test.cpp ${ZENTRA_GUI_TEST_MAIN}
  LIBS zentra_platform Qt6::Test)
target_include_directories(platform_message_box_test PRIVATE ${CMAKE_CURRENT_LIST_DIR})

zentra_add_test(NAME platform_flex_grid_widget_test GUI
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/flex_grid_widget_test.cpp ${ZENTRA_GUI_TEST_MAIN}
  LIBS zentra_platform Qt6::Test)

zentra_add_test(NAME platform_controls_test GUI
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/progress_bar_control_test.cpp ${ZENTRA_GUI_TEST_MAIN}
  LIBS zentra_platform)

zentra_add_test(NAME platform_ui_services_test GUI
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ui_services_test.cpp ${ZENTRA_GUI_TEST_MAIN}
  LIBS zentra_platform Qt6::Test)

zentra_add_test(NAME platform_common_dialog_test GUI TIMEOUT 60
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/common_dialog_test.cpp ${ZENTRA_GUI_TEST_MAIN}
  LIBS zentra_platform Qt6::Test)
target_include_directories(platform_common_dialog_test PRIVATE ${CMAKE_CURRENT_LIST_DIR})
