#include "job/job.h"

#include "messages/messages.h"
#include "resources/resource_ids.h"

#include <commctrl.h>

// The dialog handle is read once per call: after the dialog has ended it is null or stale,
// and messages to a destroyed window do nothing.
static HWND job_dialog(install_job *job)
{
    return (HWND)InterlockedCompareExchangePointer((void *volatile *)&job->dialog, NULL, NULL);
}

static HWND job_control(install_job *job, int id)
{
    HWND dialog = job_dialog(job);
    return dialog != NULL ? GetDlgItem(dialog, id) : NULL;
}

void log_append(install_job *job, const char *text)
{
    // One message: whatever the user does in the log is handled before or after it, never
    // between moving to the end and writing there.
    HWND dialog = job_dialog(job);
    if (dialog != NULL)
        SendMessageA(dialog, log_append_message, 0, (LPARAM)text);
}

void log_message(install_job *job, int message_id)
{
    log_append(job, load_message(message_id));
}

void progress_set(install_job *job, int position)
{
    HWND bar = job_control(job, IDC_PROGRESS_BAR);
    if (bar != NULL)
        SendMessageA(bar, PBM_SETPOS, (WPARAM)position, 0);
}

void job_fail(install_job *job)
{
    // The flag first: the worker must see the stop even if the button update is slow.
    InterlockedExchange(&job->job_running, 0);
    HWND button = job_control(job, IDC_STOP_CLOSE);
    if (button != NULL)
        SetWindowTextA(button, load_message(16));
}

int job_is_running(install_job *job)
{
    return InterlockedCompareExchange(&job->job_running, 0, 0) != 0;
}

int checkpoint(install_job *job)
{
    if (job_is_running(job))
        return 0;
    log_message(job, 38);
    return 1;
}
