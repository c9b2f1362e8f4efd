// The one path through which sector 0 of a disk is read and written.
#include "disk/sector_zero.h"

#include <ctype.h>
#include <string.h>

#include "disk/grub_name.h"
#include "disk/xdio.h"
#include "messages/format_text.h"

// Reads sector 0 of physical disk number disk, or writes it. 0 when done; else 1, the last
// error saying why.
static int transfer_sector_0(DWORD disk, uint8_t *sector, int write)
{
    char name[text_buffer_size];
    format_text(name, "(hd%d)", (int)disk);
    xdio_handle *handle = xdio_open(name, write);
    if (handle == NULL)
        return 1;
    SetLastError(0);
    int failed = write ? xdio_write(handle, sector, 1) : xdio_read(handle, sector, 1);
    DWORD error = GetLastError();
    xdio_close(handle);
    // A short transfer leaves no error of its own.
    if (failed)
        SetLastError(error != 0 ? error : write ? ERROR_WRITE_FAULT : ERROR_READ_FAULT);
    return failed;
}

int sector_zero_read(DWORD disk, uint8_t sector[sector_zero_max], DWORD *size)
{
    *size = xdio_sector_size;
    return transfer_sector_0(disk, sector, 0);
}

// Written, then read back through a handle of its own.
int sector_zero_write(DWORD disk, const uint8_t *sector, DWORD size)
{
    uint8_t copy[xdio_sector_size], check[xdio_sector_size];
    if (size != xdio_sector_size) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 1;
    }
    memcpy(copy, sector, sizeof copy);
    if (transfer_sector_0(disk, copy, 1) || transfer_sector_0(disk, check, 0))
        return 1;
    if (memcmp(check, sector, sizeof check) == 0)
        return 0;
    SetLastError(ERROR_WRITE_FAULT);
    return 1;
}

// The disk that holds the system, or that cannot be told apart from it, is never written.
int is_system_disk(DWORD disk)
{
    char folder[MAX_PATH];
    UINT length = GetSystemDirectoryA(folder, sizeof folder);
    DWORD system_disk;
    return length < 2 || length >= sizeof folder || folder[1] != ':' ||
           volume_disk_number((char)toupper((unsigned char)folder[0]), &system_disk) != volume_found ||
           system_disk == disk;
}
