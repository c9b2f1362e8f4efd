# The installer's resources loaded in-process by the Windows loaders.
zerka_wine_test(resource_loading_tests SOURCES resource_loading_tests.cpp LIBS zerka_resources comctl32)
