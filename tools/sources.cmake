# Sources of tools/
list(APPEND windows_sources ${CMAKE_CURRENT_LIST_DIR}/child_runner.cpp)
