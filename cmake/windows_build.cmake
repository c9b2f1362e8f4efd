# The installer for 32-bit Windows, its Wine test programs and their doubles.

# Windows XP SP3 (NTDDI_WINXPSP3): the first with SHA-256 in CryptoAPI, which the read-back needs.
set(ZERKA_WINDOWS_DEFS WIN32_LEAN_AND_MEAN _WIN32_WINNT=0x0501 WINVER=0x0501 NTDDI_VERSION=0x05010300 STRICT)
# The scripts that build GNU regex and the tools build them for this target (i686 or x86_64).
set(zerka_tool_env ${CMAKE_COMMAND} -E env ZERKA_WINDOWS_ARCH=${CMAKE_SYSTEM_PROCESSOR})
# The Wine test bed reads which kind of prefix this build's programs need.
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
  file(WRITE ${CMAKE_BINARY_DIR}/wine-arch "win64\n")
else()
  file(WRITE ${CMAKE_BINARY_DIR}/wine-arch "win32\n")
endif()

# The folders of the scripts that build the tools and run the Wine test bed and the boot proofs.
set(zerka_ship ${CMAKE_SOURCE_DIR}/scripts/ship)
set(zerka_wine ${CMAKE_SOURCE_DIR}/scripts/wine)
set(zerka_boot ${CMAKE_SOURCE_DIR}/scripts/boot)

# GNU regex (MinGW has none). configure renames the symbols; map them here.
set(gnuregex_dir ${CMAKE_BINARY_DIR}/gnuregex)
# The tool builds run again when their script or the cache's rules change (the cache is keyed on both).
set(zerka_cache_script ${zerka_ship}/source-cache.sh)
add_custom_command(
  OUTPUT ${gnuregex_dir}/lib/libgnuregex.a ${gnuregex_dir}/include/regex.h ${gnuregex_dir}/origin
  COMMAND ${zerka_tool_env} ${zerka_ship}/build-gnu-regex.sh ${gnuregex_dir}
  DEPENDS ${zerka_ship}/build-gnu-regex.sh ${zerka_cache_script}
  COMMENT "GNU regex for MinGW")
add_custom_target(gnuregex_build DEPENDS ${gnuregex_dir}/lib/libgnuregex.a)
file(MAKE_DIRECTORY ${gnuregex_dir}/include)
add_library(gnuregex STATIC IMPORTED GLOBAL)
set_target_properties(gnuregex PROPERTIES IMPORTED_LOCATION ${gnuregex_dir}/lib/libgnuregex.a)
target_include_directories(gnuregex INTERFACE ${gnuregex_dir}/include)
target_compile_definitions(gnuregex INTERFACE _REGEX_LARGE_OFFSETS _REGEX_INCLUDE_LIMITS_H
  regcomp=rpl_regcomp regexec=rpl_regexec regerror=rpl_regerror regfree=rpl_regfree)
add_dependencies(gnuregex gnuregex_build)

set(ZERKA_PRODUCT_FLAGS -Wall -Wextra -fno-exceptions -fno-rtti)
# No folder of this build in what it makes (assert's file names): any checkout gives the same bytes.
add_compile_options("$<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${CMAKE_SOURCE_DIR}/=>"
  "$<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${CMAKE_BINARY_DIR}/=>")
set(CMAKE_EXE_LINKER_FLAGS_RELEASE "${CMAKE_EXE_LINKER_FLAGS_RELEASE} -s")  # what users download: no symbols

# Everything of the product but the entry and the replaceable platform calls.
add_library(zerka_core STATIC ${portable_sources} ${windows_sources})
target_include_directories(zerka_core PUBLIC ${CMAKE_SOURCE_DIR})
target_compile_definitions(zerka_core PUBLIC ${ZERKA_WINDOWS_DEFS})
target_compile_options(zerka_core PRIVATE ${ZERKA_PRODUCT_FLAGS})
target_link_libraries(zerka_core PUBLIC gnuregex comctl32 comdlg32 shell32 ole32 oleaut32 uuid user32 gdi32 advapi32
  kernel32)

# Resources: the artwork is drawn at build time from the script in resources/art.
include(resources/resources.cmake)

function(zerka_installer_exe name seam_source)
  add_executable(${name} WIN32 main/program_entry.cpp ${seam_source} ${ZERKA_RESOURCE_FILE})
  target_compile_options(${name} PRIVATE ${ZERKA_PRODUCT_FLAGS})
  target_link_libraries(${name} PRIVATE zerka_core)
  # No link time in the header: two builds of one source give the same bytes.
  target_link_options(${name} PRIVATE -static -static-libgcc -static-libstdc++ -Wl,--no-insert-timestamp)
  add_dependencies(${name} zerka_artwork)
endfunction()

# The product: always the real platform calls.
zerka_installer_exe(zerka-installer platform/system_calls_real.cpp)

# The same program with test doubles for the storage queries and the format dialog
# that Wine cannot answer; they forward to the real calls unless a test asks otherwise.
if(EXISTS ${CMAKE_SOURCE_DIR}/tests/win/fake_system_calls.cpp)
  zerka_installer_exe(zerka-installer-testbed tests/win/fake_system_calls.cpp)
endif()

# The tools that ship beside the installer, built once per machine from Debian's sources and cached.
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/7z.exe
  COMMAND ${zerka_tool_env} ${zerka_ship}/build-7zip.sh ${CMAKE_BINARY_DIR}/7z.exe
  DEPENDS ${zerka_ship}/build-7zip.sh ${zerka_cache_script})
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/syslinux.exe
  COMMAND ${zerka_tool_env} ${zerka_ship}/build-syslinux.sh ${CMAKE_BINARY_DIR}/syslinux.exe
  DEPENDS ${zerka_ship}/build-syslinux.sh ${zerka_cache_script})
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/grldr
  COMMAND ${zerka_ship}/build-grub-loader.sh ${CMAKE_BINARY_DIR}
  DEPENDS ${zerka_ship}/build-grub-loader.sh ${zerka_cache_script})
# SYSLINUX's master boot record code (440 bytes), as Debian's syslinux-common ships it.
set(zerka_mbr_bin /usr/lib/syslinux/mbr/mbr.bin)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/mbr.bin DEPENDS ${zerka_mbr_bin}
  COMMAND ${CMAKE_COMMAND} -E copy ${zerka_mbr_bin} ${CMAKE_BINARY_DIR}/mbr.bin)
# The UEFI loaders and their menu, laid out as they go beside the installer and onto a stick.
set(efi_dir ${CMAKE_BINARY_DIR}/EFI/BOOT)
add_custom_command(OUTPUT ${efi_dir}/BOOTX64.EFI ${efi_dir}/BOOTIA32.EFI
  COMMAND ${zerka_ship}/build-efi-loaders.sh ${efi_dir}
  DEPENDS ${zerka_ship}/build-efi-loaders.sh)
add_custom_command(OUTPUT ${efi_dir}/grub.cfg
  COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/resources/grub.cfg ${efi_dir}/grub.cfg
  DEPENDS ${CMAKE_SOURCE_DIR}/resources/grub.cfg)
add_custom_target(windows_tools ALL
  DEPENDS ${CMAKE_BINARY_DIR}/7z.exe ${CMAKE_BINARY_DIR}/syslinux.exe ${CMAKE_BINARY_DIR}/grldr
  ${CMAKE_BINARY_DIR}/mbr.bin ${efi_dir}/BOOTX64.EFI ${efi_dir}/BOOTIA32.EFI ${efi_dir}/grub.cfg)

# The demo's driver (and the release check's): one installation through the installer's windows.
add_executable(demo_install ${zerka_wine}/demo_install.cpp tests/win/driver.cpp platform/system_calls_real.cpp)
target_include_directories(demo_install PRIVATE ${CMAKE_SOURCE_DIR}/tests/win)
target_link_libraries(demo_install PRIVATE zerka_core)
target_link_options(demo_install PRIVATE -static -static-libgcc -static-libstdc++)

add_subdirectory(tests/win)
add_subdirectory(bench EXCLUDE_FROM_ALL)  # programs of the bench/*.sh scripts, not tests
