list(APPEND portable_sources ${CMAKE_CURRENT_LIST_DIR}/format_text.cpp)
list(APPEND windows_sources
  ${CMAKE_CURRENT_LIST_DIR}/message_table.cpp
  ${CMAKE_CURRENT_LIST_DIR}/error_report.cpp)
