#include "job/job_lifetime.h"
#include "main/main_dialog.h"
#include "messages/messages.h"
#include "resources/resource_ids.h"

#include <commctrl.h>
#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR command_line, int show)
{
    (void)previous;
    (void)command_line;
    (void)show;
    // The progress bar's class must be registered before its dialog is created.
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    app_instance = instance;
    INT_PTR result = DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_MAIN), NULL, main_dialog_proc, 0);
    // After a fatal error the process ends as it is. Otherwise the main dialog ended once every
    // worker had.
    if (fatal_error_reported())
        return exit_api_failure;
    wait_for_workers();
    return (int)result;
}
