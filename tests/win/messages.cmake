add_executable(messages_probe messages_probe.cpp)
target_link_libraries(messages_probe PRIVATE zerka_core zerka_resources)
target_link_options(messages_probe PRIVATE -static -static-libgcc -static-libstdc++)

zerka_wine_test(messages_tests SOURCES messages_tests.cpp LIBS zerka_core zerka_resources)
add_dependencies(messages_tests messages_probe)
