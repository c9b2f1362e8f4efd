// The one path through which the master boot record step reads and writes a disk's sector 0.
#include "disk/sector_zero.h"

#include <ctype.h>
#include <string.h>

#include "disk/grub_name.h"
#include "messages/format_text.h"
#include "platform/system_calls.h"

// Opens \\.\PhysicalDriveN, any N, with its sector size.
static HANDLE open_disk(DWORD disk, DWORD access, DWORD *size)
{
    char path[text_buffer_size];
    format_text(path, "\\\\.\\PhysicalDrive%lu", (unsigned long)disk);
    HANDLE handle = open_device(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE, 0);
    if (handle != INVALID_HANDLE_VALUE)
        *size = device_sector_size(handle);
    return handle;
}

// One whole sector at the disk's start: a raw disk moves whole sectors only.
static int transfer(DWORD disk, uint8_t *sector, DWORD *size, int write)
{
    DWORD disk_size;
    HANDLE handle = open_disk(disk, write ? GENERIC_READ | GENERIC_WRITE : GENERIC_READ, &disk_size);
    if (handle == INVALID_HANDLE_VALUE)
        return 1;
    if (!write)
        *size = disk_size;
    DWORD done = 0;
    BOOL moved = write ? WriteFile(handle, sector, *size, &done, NULL) : ReadFile(handle, sector, *size, &done, NULL);
    // A short transfer leaves no error of its own.
    DWORD error = !moved ? GetLastError() : write ? ERROR_WRITE_FAULT : ERROR_READ_FAULT;
    CloseHandle(handle);
    if (moved && done == *size)
        return 0;
    SetLastError(error);
    return 1;
}

int sector_zero_read(DWORD disk, uint8_t sector[sector_zero_max], DWORD *size)
{
    return transfer(disk, sector, size, 0);
}

int sector_zero_write(DWORD disk, const uint8_t *sector, DWORD size)
{
    uint8_t check[sector_zero_max];
    DWORD check_size;
    if (size > sector_zero_max) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 1;
    }
    if (transfer(disk, (uint8_t *)sector, &size, 1) || transfer(disk, check, &check_size, 0))
        return 1;
    if (check_size == size && memcmp(check, sector, size) == 0)
        return 0;
    SetLastError(ERROR_WRITE_FAULT);
    return 1;
}

int is_system_disk(DWORD disk)
{
    char folder[MAX_PATH];
    UINT length = GetSystemDirectoryA(folder, sizeof folder);
    DWORD system_disk;
    return length < 2 || length >= sizeof folder || folder[1] != ':' ||
           volume_disk_number((char)toupper((unsigned char)folder[0]), &system_disk) != volume_found ||
           system_disk == disk;
}
