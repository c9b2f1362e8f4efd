# The portable logic built natively on Linux: unit tests, sanitizers and fuzzing.

option(ZERKA_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
option(ZERKA_FUZZ "Build the libFuzzer targets (needs clang)" OFF)

if(ZERKA_SANITIZE OR ZERKA_FUZZ)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=address,undefined)
endif()

add_library(zerka_portable STATIC ${portable_sources})
target_include_directories(zerka_portable PUBLIC ${CMAKE_SOURCE_DIR})
target_compile_options(zerka_portable PRIVATE -Wall -Wextra -fno-exceptions -fno-rtti)

if(ZERKA_FUZZ)
  add_subdirectory(tests/fuzz)
else()
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  add_subdirectory(tests)
endif()
