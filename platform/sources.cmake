# platform/: the replaceable system calls live in the executables themselves
# (system_calls_real.cpp in the product, tests/win/fake_system_calls.cpp in the test bed).
