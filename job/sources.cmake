list(APPEND portable_sources
  ${CMAKE_CURRENT_LIST_DIR}/listing.cpp
  ${CMAKE_CURRENT_LIST_DIR}/path_parts.cpp
  ${CMAKE_CURRENT_LIST_DIR}/boot_menus.cpp)
list(APPEND windows_sources
  ${CMAKE_CURRENT_LIST_DIR}/progress_dialog.cpp
  ${CMAKE_CURRENT_LIST_DIR}/install_worker.cpp
  ${CMAKE_CURRENT_LIST_DIR}/job_report.cpp
  ${CMAKE_CURRENT_LIST_DIR}/job_lifetime.cpp
  ${CMAKE_CURRENT_LIST_DIR}/phase_common.cpp
  ${CMAKE_CURRENT_LIST_DIR}/phase_checks.cpp
  ${CMAKE_CURRENT_LIST_DIR}/phase_extract.cpp
  ${CMAKE_CURRENT_LIST_DIR}/phase_read_back.cpp
  ${CMAKE_CURRENT_LIST_DIR}/phase_removable_boot.cpp
  ${CMAKE_CURRENT_LIST_DIR}/phase_fixed_boot.cpp)
