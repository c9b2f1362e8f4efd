#include "main/unelevated_open.h"

#include <exdisp.h>
#include <shellapi.h>
#include <shldisp.h>
#include <shlguid.h>
#include <shlobj.h>

#define RELEASE(p) \
    do {           \
        if (p) (p)->Release(); \
    } while (0)

// The desktop's shell view hands out the Shell.Application object of the Explorer that owns
// it; its ShellExecute runs in Explorer, so the browser starts as Explorer's child, unelevated.
static int open_through_desktop(const char *url)
{
    IShellWindows *windows = NULL;
    IDispatch *desktop = NULL, *background = NULL, *application = NULL;
    IServiceProvider *provider = NULL;
    IShellBrowser *browser = NULL;
    IShellView *view = NULL;
    IShellFolderViewDual *folder_view = NULL;
    IShellDispatch2 *shell = NULL;
    VARIANT empty, verb, show;
    VariantInit(&empty);
    VariantInit(&verb);
    VariantInit(&show);
    long desktop_window = 0;
    wchar_t wide_url[2048];
    HRESULT result = E_FAIL;
    if (MultiByteToWideChar(CP_ACP, 0, url, -1, wide_url, 2048) != 0 &&
        SUCCEEDED(CoCreateInstance(CLSID_ShellWindows, NULL, CLSCTX_LOCAL_SERVER, IID_IShellWindows,
                                   (void **)&windows)) &&
        windows->FindWindowSW(&empty, &empty, SWC_DESKTOP, &desktop_window, SWFO_NEEDDISPATCH, &desktop) == S_OK &&
        desktop != NULL && SUCCEEDED(desktop->QueryInterface(IID_IServiceProvider, (void **)&provider)) &&
        SUCCEEDED(provider->QueryService(SID_STopLevelBrowser, IID_IShellBrowser, (void **)&browser)) &&
        SUCCEEDED(browser->QueryActiveShellView(&view)) &&
        SUCCEEDED(view->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch, (void **)&background)) &&
        SUCCEEDED(background->QueryInterface(IID_IShellFolderViewDual, (void **)&folder_view)) &&
        SUCCEEDED(folder_view->get_Application(&application)) &&
        SUCCEEDED(application->QueryInterface(IID_IShellDispatch2, (void **)&shell))) {
        BSTR file = SysAllocString(wide_url);
        verb.vt = VT_BSTR;
        verb.bstrVal = SysAllocString(L"open");
        show.vt = VT_I4;
        show.lVal = SW_SHOWNORMAL;
        if (file != NULL && verb.bstrVal != NULL)
            result = shell->ShellExecute(file, empty, empty, verb, show);
        SysFreeString(file);
        VariantClear(&verb);
    }
    RELEASE(shell);
    RELEASE(application);
    RELEASE(folder_view);
    RELEASE(background);
    RELEASE(view);
    RELEASE(browser);
    RELEASE(provider);
    RELEASE(desktop);
    RELEASE(windows);
    return SUCCEEDED(result) ? 0 : 1;
}

void open_unelevated(HWND owner, const char *url)
{
    HRESULT com = CoInitializeEx(NULL, COINIT_APARTMENTTHREADED);
    int failed = open_through_desktop(url);
    if (SUCCEEDED(com)) CoUninitialize();
    if (failed) ShellExecuteA(owner, "open", url, NULL, NULL, SW_SHOWNORMAL);
}
