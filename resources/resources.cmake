# The installer's resources: dialogs, message table, icons, bitmaps, manifest and
# version. The icons and bitmaps are drawn at build time by resources/art/draw_artwork.py.
#
# Results for the including file:
#   ZERKA_RESOURCE_FILE  the .rc; add it to an executable's sources to link every resource
#   zerka_artwork        target that draws the icons and bitmaps into ZERKA_ARTWORK_DIR
#   zerka_resources      OBJECT library of the compiled resources, for test programs that
#                        need the string table or the dialog templates: link it like a library

enable_language(RC)

get_filename_component(zerka_source_root ${CMAKE_CURRENT_LIST_DIR}/.. ABSOLUTE)
find_package(Python3 COMPONENTS Interpreter REQUIRED)

set(ZERKA_ARTWORK_DIR ${CMAKE_BINARY_DIR}/artwork)
set(ZERKA_ARTWORK_FILES
  ${ZERKA_ARTWORK_DIR}/zerka.ico
  ${ZERKA_ARTWORK_DIR}/zerka_small.ico
  ${ZERKA_ARTWORK_DIR}/help.ico
  ${ZERKA_ARTWORK_DIR}/picture.bmp)

add_custom_command(
  OUTPUT ${ZERKA_ARTWORK_FILES}
  COMMAND Python3::Interpreter ${zerka_source_root}/resources/art/draw_artwork.py ${ZERKA_ARTWORK_DIR}
  DEPENDS ${zerka_source_root}/resources/art/draw_artwork.py
  COMMENT "Drawing the installer's icons and bitmaps"
  VERBATIM)
add_custom_target(zerka_artwork DEPENDS ${ZERKA_ARTWORK_FILES})

# The manifest names the target's processor: Windows refuses a program whose manifest names another.
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
  set(ZERKA_MANIFEST_ARCH amd64)
else()
  set(ZERKA_MANIFEST_ARCH x86)
endif()
configure_file(${zerka_source_root}/resources/installer.manifest.in ${ZERKA_ARTWORK_DIR}/installer.manifest @ONLY)

set(ZERKA_RESOURCE_FILE ${zerka_source_root}/resources/installer.rc)
# windres looks for ICON, BITMAP and manifest files along its include path.
set_source_files_properties(${ZERKA_RESOURCE_FILE} PROPERTIES
  INCLUDE_DIRECTORIES "${zerka_source_root};${zerka_source_root}/resources;${ZERKA_ARTWORK_DIR}"
  OBJECT_DEPENDS "${ZERKA_ARTWORK_FILES};${ZERKA_ARTWORK_DIR}/installer.manifest;\
${zerka_source_root}/resources/resource_ids.h")

add_library(zerka_resources OBJECT ${ZERKA_RESOURCE_FILE})
add_dependencies(zerka_resources zerka_artwork)
