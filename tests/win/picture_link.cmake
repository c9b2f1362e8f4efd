zerka_wine_test(picture_link_tests SOURCES picture_link_tests.cpp fake_system_calls.cpp
  LIBS zerka_core zerka_resources)
