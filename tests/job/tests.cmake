list(APPEND native_test_sources
  ${CMAKE_CURRENT_LIST_DIR}/listing_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/install_math_test.cpp)
