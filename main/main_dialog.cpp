#include "main/main_dialog.h"

#include "disk/drive_log.h"
#include "job/job.h"
#include "job/job_lifetime.h"
#include "main/drive_list.h"
#include "main/picture_link.h"
#include "main/path_elision.h"
#include "messages/format_text.h"
#include "messages/messages.h"
#include "resources/resource_ids.h"

#include <commdlg.h>
#include <string.h>

HINSTANCE app_instance;
HWND main_dialog_handle;
char image_path_buffer[1024];

const char *image_path(void)
{
    GetDlgItemTextA(main_dialog_handle, IDC_IMAGE_PATH, image_path_buffer, sizeof image_path_buffer);
    return image_path_buffer;
}

char target_drive(void)
{
    char text[1024];
    text[0] = '\0';
    GetDlgItemTextA(main_dialog_handle, IDC_DRIVE_LIST, text, sizeof text);
    return text[0];
}

int format_requested(void)
{
    return SendDlgItemMessageA(main_dialog_handle, IDC_FORMAT, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

static void set_texts(HWND dialog)
{
    static const struct {
        int control;
        int message;
    } texts[] = {
        {IDC_IMAGE_GROUP, 2}, {IDC_IMAGE_TEXT, 3}, {IDC_DRIVE_GROUP, 4}, {IDC_DRIVE_TEXT, 5},
        {IDC_BROWSE, 6},      {IDC_FORMAT, 7},     {IDC_START, 8},       {IDC_EXIT, 9},
    };
    SetWindowTextA(dialog, load_message(1));
    for (size_t i = 0; i < sizeof texts / sizeof texts[0]; i++)
        SetDlgItemTextA(dialog, texts[i].control, load_message(texts[i].message));
}

static BOOL initialise(HWND dialog)
{
    main_dialog_handle = dialog;
    drive_log();

    HWND picture = GetDlgItem(dialog, IDC_PICTURE);
    // The pointer-sized forms: on 32-bit Windows they are SetWindowLongA and SetClassLongA.
    LONG_PTR previous = SetWindowLongPtrA(picture, GWLP_WNDPROC, (LONG_PTR)picture_proc);
    if (previous == 0)
        fail_api_call("SetWindowLong");
    picture_prev_proc = (WNDPROC)previous;

    HICON icon = LoadIconA(app_instance, MAKEINTRESOURCEA(IDI_PROGRAM_SMALL));
    SetClassLongPtrA(dialog, GCLP_HICON, (LONG_PTR)icon);
    HANDLE help_icon = LoadImageA(app_instance, MAKEINTRESOURCEA(IDI_HELP_MARK), IMAGE_ICON, 20, 20, 0);
    SendDlgItemMessageA(dialog, IDC_HELP_BUTTON, BM_SETIMAGE, IMAGE_ICON, (LPARAM)help_icon);
    picture_load_bitmaps();
    SendMessageA(picture, STM_SETIMAGE, IMAGE_BITMAP, (LPARAM)picture_normal_bitmap);

    set_texts(dialog);
    SetFocus(GetDlgItem(dialog, IDC_IMAGE_PATH));
    fill_drive_list();
    return TRUE;
}

static void error_box(HWND dialog, const char *text, int focus_control)
{
    MessageBoxA(dialog, text, load_message(11), MB_OK | MB_ICONERROR);
    SetFocus(GetDlgItem(dialog, focus_control));
}

static void browse(HWND dialog)
{
    char file[1024];
    file[0] = '\0';
    OPENFILENAMEA request;
    memset(&request, 0, sizeof request);
    request.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    request.hwndOwner = dialog;
    request.lpstrFilter = "ISO Images\0*.iso\0All\0*.*\0";
    request.nFilterIndex = 1;
    request.lpstrFile = file;
    request.nMaxFile = sizeof file;
    request.Flags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
    if (GetOpenFileNameA(&request))
        SetDlgItemTextA(dialog, IDC_IMAGE_PATH, file);
}

static const DWORD refused_attributes =
    FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_OFFLINE;

static INT_PTR start(HWND dialog)
{
    const char *path = image_path();
    if (path[0] == '\0') {
        error_box(dialog, load_message(10), IDC_IMAGE_PATH);
        return TRUE;
    }
    if (GetFileAttributesA(path) & refused_attributes) {
        char text[text_buffer_size];
        const char *format = load_message(12);
        if (!text_fits(format_text(text, format, path))) {
            // Too long to show whole: name the path by its head and tail, never cut the sentence.
            char shown[text_buffer_size];
            elide_path_middle(shown, path, text_buffer_size - 1 - strlen(format));
            format_text(text, format, shown);
        }
        error_box(dialog, text, IDC_IMAGE_PATH);
        return TRUE;
    }
    if (target_drive() == 0) {
        error_box(dialog, load_message(13), IDC_DRIVE_LIST);
        return TRUE;
    }
    return run_progress_dialog(dialog);
}

static void drive_list_changed(HWND dialog, int notification)
{
    if (notification == CBN_SELCHANGE) {
        HWND format_box = GetDlgItem(dialog, IDC_FORMAT);
        if (drive_kind(target_drive()) == drive_fixed) {
            SendMessageA(format_box, BM_SETCHECK, BST_UNCHECKED, 0);
            EnableWindow(format_box, FALSE);
        } else {
            EnableWindow(format_box, TRUE);
        }
    } else if (notification == CBN_DROPDOWN) {
        fill_drive_list();
    }
}

enum { finishing_timer = 1 };

// A worker may outlive its closed dialog. Its chkdsk only reads and is ended; a step that writes
// (syslinux, a boot file) is finished, while the window, disabled, says so: the program never
// runs on unseen, where a second start could work on the same drive. After a fatal error the
// process ends as it is.
static void end_program(HWND dialog)
{
    end_reading_tools();
    if (fatal_error_reported() || !workers_running()) {
        EndDialog(dialog, 0);
        return;
    }
    SetWindowTextA(dialog, load_message(50));
    EnableWindow(dialog, FALSE);
    // Again on each tick: a chkdsk started meanwhile is ended too.
    SetTimer(dialog, finishing_timer, 100, NULL);
}

INT_PTR CALLBACK main_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam)
{
    (void)lparam;
    switch (message) {
    case WM_INITDIALOG:
        return initialise(dialog);
    case WM_CLOSE:
        end_program(dialog);
        return TRUE;
    case WM_TIMER:
        if (wparam == finishing_timer)
            end_program(dialog);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wparam)) {
        case IDC_DRIVE_LIST:
            drive_list_changed(dialog, HIWORD(wparam));
            break;
        case IDC_HELP_BUTTON:
            MessageBoxA(dialog, load_message(40), load_message(39), MB_OK);
            break;
        case IDC_BROWSE:
            browse(dialog);
            break;
        case IDC_START:
            return start(dialog);
        case IDC_EXIT:
            end_program(dialog);
            break;
        }
        return TRUE;
    }
    return FALSE;
}
