#pragma once
#include <windows.h>

extern WNDPROC picture_prev_proc;
extern int picture_tracking;
extern int picture_hover;
extern HBITMAP picture_normal_bitmap;  // bitmap 100, loaded once
extern HBITMAP picture_hover_bitmap;   // bitmap 103, loaded once
extern const char home_page_url[];

void picture_load_bitmaps(void);
LRESULT CALLBACK picture_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
