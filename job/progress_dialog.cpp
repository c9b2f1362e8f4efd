#include "job/job.h"

#include "job/job_lifetime.h"
#include "main/main_dialog.h"
#include "messages/messages.h"
#include "resources/resource_ids.h"

#include <commctrl.h>

enum { margin = 6 };

int progress_dialog_layout(HWND dialog, int width, int height)
{
    HWND button = GetDlgItem(dialog, IDC_STOP_CLOSE);
    RECT frame;
    // A size can be reported before the controls exist: there is nothing to place yet.
    if (button == NULL || !GetWindowRect(button, &frame))
        return 1;
    int button_width = frame.right - frame.left;
    int button_height = frame.bottom - frame.top;
    MoveWindow(button, width - button_width - margin, height - button_height - margin, button_width,
               button_height, TRUE);
    MoveWindow(GetDlgItem(dialog, IDC_LOG), margin, margin, width - 2 * margin,
               height - button_height - 3 * margin, TRUE);
    // The bar sits one pixel inside the button's row at its top and bottom.
    MoveWindow(GetDlgItem(dialog, IDC_PROGRESS_BAR), margin, height - button_height - margin + 1,
               width - button_width - 3 * margin, button_height - 2, TRUE);
    return 1;
}

// The handler of log_append_message: the text at the end of the log.
static void append_to_log(HWND dialog, const char *text)
{
    HWND log = GetDlgItem(dialog, IDC_LOG);
    DWORD start = 0;
    DWORD end = 0;
    SendMessageA(log, EM_GETSEL, (WPARAM)&start, (LPARAM)&end);
    int length = GetWindowTextLengthA(log);
    SendMessageA(log, EM_SETSEL, length, length);
    SendMessageA(log, EM_REPLACESEL, FALSE, (LPARAM)text);
    // A stretch the user has selected, to copy it say, stays selected while the log grows.
    if (start != end)
        SendMessageA(log, EM_SETSEL, start, end);
}

static WNDPROC log_edit_proc;

// A multi-line edit in a dialog claims Escape and turns it into WM_CLOSE, which would end
// the job; leaving the key to the dialog makes it the unhandled cancel command.
static LRESULT CALLBACK log_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    LRESULT result = CallWindowProcA(log_edit_proc, window, message, wparam, lparam);
    if (message == WM_GETDLGCODE && lparam != 0) {
        const MSG *key = (const MSG *)lparam;
        if ((key->message == WM_KEYDOWN || key->message == WM_CHAR) && key->wParam == VK_ESCAPE)
            result &= ~DLGC_WANTALLKEYS;
    }
    return result;
}

static void initialise(HWND dialog, install_job *job)
{
    SetWindowLongPtrA(dialog, DWLP_USER, (LONG_PTR)job);
    job->dialog = dialog;
    SetWindowTextA(dialog, load_message(14));
    HWND log = GetDlgItem(dialog, IDC_LOG);
    SendMessageA(log, WM_SETFONT, (WPARAM)GetStockObject(SYSTEM_FIXED_FONT), FALSE);
    // A tool's whole output may be logged; the edit control's default limit is far lower.
    SendMessageA(log, EM_LIMITTEXT, 0, 0);
    WNDPROC previous = (WNDPROC)SetWindowLongPtrA(log, GWLP_WNDPROC, (LONG_PTR)log_proc);
    if (previous != log_proc)
        log_edit_proc = previous;
    RECT client;
    GetClientRect(dialog, &client);
    progress_dialog_layout(dialog, client.right, client.bottom);
    InterlockedExchange(&job->job_running, 1);
    SetDlgItemTextA(dialog, IDC_STOP_CLOSE, load_message(15));
    SendDlgItemMessageA(dialog, IDC_PROGRESS_BAR, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
    SendDlgItemMessageA(dialog, IDC_PROGRESS_BAR, PBM_SETPOS, 0, 0);

    job_hold(job);  // the worker's share
    HANDLE worker = CreateThread(NULL, 0, install_worker, job, 0, NULL);
    if (worker == NULL)
        fail_api_call("CreateThread");
    job_keep_worker(worker, job);
}

INT_PTR CALLBACK progress_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam)
{
    install_job *job = (install_job *)GetWindowLongPtrA(dialog, DWLP_USER);
    switch (message) {
    case WM_INITDIALOG:
        initialise(dialog, (install_job *)lparam);
        return TRUE;
    case WM_SIZE:
        progress_dialog_layout(dialog, LOWORD(lparam), HIWORD(lparam));
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wparam) != IDC_STOP_CLOSE || job == NULL)
            return FALSE;
        if (job_is_running(job))
            job_fail(job);
        else
            EndDialog(dialog, 1);
        return TRUE;
    case WM_CLOSE:
        if (job != NULL)
            job_fail(job);
        EndDialog(dialog, 0);
        return TRUE;
    case log_append_message:
        append_to_log(dialog, (const char *)lparam);
        return TRUE;
    case WM_DESTROY:
        // A worker that outlives the dialog reports into nothing from now on.
        if (job != NULL)
            InterlockedExchangePointer((void *volatile *)&job->dialog, NULL);
        return FALSE;
    }
    return FALSE;
}

INT_PTR run_progress_dialog(HWND owner)
{
    install_job *job = job_create();
    if (job == NULL)
        fail_heap_alloc();
    INT_PTR result =
        DialogBoxParamA(app_instance, MAKEINTRESOURCEA(IDD_PROGRESS), owner, progress_dialog_proc, (LPARAM)job);
    job_release(job);
    return result;
}
