#pragma once
#include <windows.h>

extern HINSTANCE app_instance;
extern HWND main_dialog_handle;
extern char image_path_buffer[1024];

INT_PTR CALLBACK main_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);

// Readers of the user's choices; also called by the install job on its worker thread.
const char *image_path(void);
char target_drive(void);       // 0 when no drive is selected
int format_requested(void);    // 1 when the Format check box is ticked
