# The compiled resources, checked natively: windres from MinGW compiles installer.rc
# with freshly drawn artwork, and the test reads the .res it writes.
find_program(ZERKA_WINDRES i686-w64-mingw32-windres)
find_package(Python3 COMPONENTS Interpreter)
if(ZERKA_WINDRES AND Python3_Interpreter_FOUND)
  get_filename_component(zerka_resource_dir ${CMAKE_CURRENT_LIST_DIR}/../../resources ABSOLUTE)
  set(zerka_test_artwork ${CMAKE_CURRENT_BINARY_DIR}/resource_test_artwork)
  set(zerka_test_artwork_files
    ${zerka_test_artwork}/zerka.ico ${zerka_test_artwork}/zerka_small.ico
    ${zerka_test_artwork}/help.ico ${zerka_test_artwork}/picture.bmp)
  set(zerka_test_res ${CMAKE_CURRENT_BINARY_DIR}/installer.res)
  add_custom_command(
    OUTPUT ${zerka_test_artwork_files}
    COMMAND Python3::Interpreter ${zerka_resource_dir}/art/draw_artwork.py ${zerka_test_artwork}
    DEPENDS ${zerka_resource_dir}/art/draw_artwork.py
    COMMENT "Drawing the artwork for the resource test"
    VERBATIM)
  add_custom_command(
    OUTPUT ${zerka_test_res}
    COMMAND ${ZERKA_WINDRES} -I ${zerka_resource_dir}/.. -I ${zerka_resource_dir} -I ${zerka_test_artwork}
            -i ${zerka_resource_dir}/installer.rc -O res -o ${zerka_test_res}
    DEPENDS ${zerka_resource_dir}/installer.rc ${zerka_resource_dir}/installer.manifest
            ${zerka_resource_dir}/resource_ids.h ${zerka_test_artwork_files}
    COMMENT "Compiling installer.rc for the resource test"
    VERBATIM)
  # listing the .res among the sources makes the test program depend on it
  list(APPEND native_test_sources ${CMAKE_CURRENT_LIST_DIR}/compiled_resources_test.cpp ${zerka_test_res})
  set_source_files_properties(${CMAKE_CURRENT_LIST_DIR}/compiled_resources_test.cpp PROPERTIES
    COMPILE_DEFINITIONS "ZERKA_COMPILED_RES=\"${zerka_test_res}\"")
else()
  message(STATUS "No i686-w64-mingw32-windres or python3: the resource test is left out")
endif()
