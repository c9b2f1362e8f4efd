#include "main/picture_link.h"

#include "main/main_dialog.h"
#include "main/unelevated_open.h"
#include "resources/resource_ids.h"

WNDPROC picture_prev_proc;
int picture_tracking;
int picture_hover;
HBITMAP picture_normal_bitmap;
HBITMAP picture_hover_bitmap;
const char home_page_url[] = "https://zerka.org/";

void picture_load_bitmaps(void)
{
    if (picture_normal_bitmap == NULL)
        picture_normal_bitmap = LoadBitmapA(app_instance, MAKEINTRESOURCEA(IDB_PICTURE_NORMAL));
    if (picture_hover_bitmap == NULL)
        picture_hover_bitmap = LoadBitmapA(app_instance, MAKEINTRESOURCEA(IDB_PICTURE_HOVER));
}

static void show_bitmap(HBITMAP bitmap)
{
    SendDlgItemMessageA(main_dialog_handle, IDC_PICTURE, STM_SETIMAGE, IMAGE_BITMAP, (LPARAM)bitmap);
}

LRESULT CALLBACK picture_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    switch (message) {
    case WM_SETCURSOR:
        // Keeps the hand set on mouse move; the system would put the arrow back.
        return TRUE;
    case WM_MOUSEMOVE:
        if (!picture_tracking) {
            TRACKMOUSEEVENT request = {sizeof request, TME_LEAVE, window, HOVER_DEFAULT};
            TrackMouseEvent(&request);
            picture_tracking = 1;
        }
        if (!picture_hover) {
            SetCursor(LoadCursorA(NULL, IDC_HAND));
            show_bitmap(picture_hover_bitmap);
            picture_hover = 1;
        }
        break;
    case WM_LBUTTONDOWN:
        // Not from here: a browser started by this elevated program would be elevated too.
        open_unelevated(window, home_page_url);
        break;
    case WM_MOUSELEAVE:
        SetCursor(LoadCursorA(NULL, IDC_ARROW));
        show_bitmap(picture_normal_bitmap);
        picture_tracking = 0;
        picture_hover = 0;
        break;
    }
    return CallWindowProcA(picture_prev_proc, window, message, wparam, lparam);
}
