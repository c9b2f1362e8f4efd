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

BOOL write_device(HANDLE device, const void *data, DWORD size, DWORD *written)
{
    return WriteFile(device, data, size, written, NULL);
}

int format_drive_dialog(HWND owner, UINT drive, UINT format_id, UINT options)
{
    return (int)SHFormatDrive(owner, drive, format_id, options);
}

BOOL volume_file_system(const char *root, char *name, DWORD size)
{
    return GetVolumeInformationA(root, NULL, 0, NULL, NULL, NULL, name, size);
}

DWORD path_attributes(const char *path)
{
    return GetFileAttributesA(path);
}

DWORD reparse_tag(const char *path)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(path, &found);
    if (search == INVALID_HANDLE_VALUE)
        return 0;
    FindClose(search);
    return (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ? found.dwReserved0 : 0;
}

void *grow_heap_block(void *block, SIZE_T size)
{
    return block == NULL ? HeapAlloc(GetProcessHeap(), 0, size) : HeapReAlloc(GetProcessHeap(), 0, block, size);
}

BOOL remove_link(const char *path)
{
    // Windows removes a symbolic link or junction itself, not its target; a directory link
    // goes with RemoveDirectory, a file link with DeleteFile.
    DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return RemoveDirectoryA(path);
    return DeleteFileA(path);
}

HANDLE open_read_back(const char *path, DWORD flags)
{
    return CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, flags, NULL);
}
