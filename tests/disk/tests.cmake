# Native tests of the sector layer, the name grammar and the partition walk.
list(APPEND native_test_sources
  ${CMAKE_CURRENT_LIST_DIR}/disk_image.cpp
  ${CMAKE_CURRENT_LIST_DIR}/xdio_name_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/xdio_io_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/partition_walk_test.cpp)

# Counts the walk's sector reads: calls of xdio_read go through the wrapper in disk_image.cpp.
cmake_language(DEFER CALL target_link_options native_unit_tests PRIVATE
  -Wl,--wrap=_Z9xdio_readP11xdio_handlePvi)
