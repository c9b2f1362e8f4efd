# Whole installations: the tool double standing in for chkdsk, syslinux and a hostile 7z,
# and the suites that drive the installer with it and with the real 7-Zip.
add_executable(tool_double tool_double.cpp)
target_compile_definitions(tool_double PRIVATE ${ZERKA_WINDOWS_DEFS})
target_link_options(tool_double PRIVATE -static -static-libgcc -static-libstdc++)

add_library(install_support STATIC install_support.cpp)
target_link_libraries(install_support PUBLIC gui_driver)

zerka_wine_test(install_tests SOURCES install_tests.cpp LIBS install_support)
zerka_wine_test(install_hostile_tests SOURCES install_hostile_tests.cpp LIBS install_support)

# Not tests: the install benchmark (bench/install_benchmark.sh) and the demo's driver
# (scripts/demo.sh), both run under Wine in a test bed.
add_executable(install_bench ${CMAKE_SOURCE_DIR}/bench/install_bench.cpp)
target_link_libraries(install_bench PRIVATE install_support)
target_link_options(install_bench PRIVATE -static -static-libgcc -static-libstdc++)
add_executable(demo_install demo_install.cpp)
target_link_libraries(demo_install PRIVATE install_support)
target_link_options(demo_install PRIVATE -static -static-libgcc -static-libstdc++)
