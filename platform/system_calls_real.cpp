#include "platform/system_calls.h"

#include <shlobj.h>

HANDLE open_device(const char *path, DWORD access, DWORD share, DWORD attributes)
{
    return CreateFileA(path, access, share, NULL, OPEN_EXISTING, attributes, NULL);
}

BOOL device_io_control(HANDLE device, DWORD code, void *in, DWORD in_size, void *out,
                       DWORD out_size, DWORD *returned)
{
    return DeviceIoControl(device, code, in, in_size, out, out_size, returned, NULL);
}

int format_drive_dialog(HWND owner, UINT drive, UINT format_id, UINT options)
{
    return (int)SHFormatDrive(owner, drive, format_id, options);
}
