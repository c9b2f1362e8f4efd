# The child process runner with real children: runner_child does what its arguments say,
# runner_host is a windowed program without a console, like the installer, that runs one.
add_executable(runner_child runner_child.cpp)
target_compile_definitions(runner_child PRIVATE ${ZERKA_WINDOWS_DEFS})
target_link_options(runner_child PRIVATE -static -static-libgcc -static-libstdc++)

add_executable(runner_host WIN32 runner_host.cpp)
target_link_libraries(runner_host PRIVATE zerka_core)
target_link_options(runner_host PRIVATE -static -static-libgcc -static-libstdc++)

zerka_wine_test(runner_tests SOURCES runner_tests.cpp LIBS zerka_core)
add_dependencies(runner_tests runner_child runner_host)

# Not a test: the runner benchmark (bench/runner-bench.sh).
add_executable(runner_bench ${CMAKE_SOURCE_DIR}/bench/runner_bench.cpp)
target_include_directories(runner_bench PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(runner_bench PRIVATE zerka_core)
target_link_options(runner_bench PRIVATE -static -static-libgcc -static-libstdc++)
