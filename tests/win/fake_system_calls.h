#pragma once
// Test-side controls of the fake system calls (tests/win/fake_system_calls.cpp).

// Forgets the configuration read from ZERKA_FAKE_VOLUMES and ZERKA_FAKE_FORMAT, so the next
// call reads the environment again: lets one test program try several configurations.
void fake_system_calls_reload(void);
