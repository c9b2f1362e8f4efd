list(APPEND windows_sources
  ${CMAKE_CURRENT_LIST_DIR}/main_dialog.cpp
  ${CMAKE_CURRENT_LIST_DIR}/drive_list.cpp
  ${CMAKE_CURRENT_LIST_DIR}/picture_link.cpp
  ${CMAKE_CURRENT_LIST_DIR}/path_elision.cpp
  ${CMAKE_CURRENT_LIST_DIR}/unelevated_open.cpp)
