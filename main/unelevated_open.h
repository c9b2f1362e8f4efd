#pragma once
#include <windows.h>

// Opens a web address with the "open" verb in a program that does not inherit this
// program's administrator rights: the desktop's shell (Explorer, unelevated) starts it. Where
// no such shell answers, the system's ShellExecuteA opens it from here, owned by owner.
void open_unelevated(HWND owner, const char *url);
