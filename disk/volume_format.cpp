#include "disk/volume_format.h"

#include <winioctl.h>
#include <string.h>

#include "messages/format_text.h"
#include "platform/system_calls.h"

enum { lock_tries = 10, lock_pause_ms = 200, sector_bytes = 512 };

static HANDLE open_volume(char letter, DWORD access, DWORD flags)
{
    char path[text_buffer_size];
    format_text(path, "\\\\.\\%c:", letter);
    return open_device(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE, flags);
}

// Asks the volume one question; 0 when answered, else 1 with the question's error.
static int ask_volume(char letter, DWORD code, void *answer, DWORD size)
{
    HANDLE volume = open_volume(letter, GENERIC_READ, 0);
    if (volume == INVALID_HANDLE_VALUE)
        return 1;
    DWORD returned;
    BOOL answered = device_io_control(volume, code, NULL, 0, answer, size, &returned);
    DWORD error = GetLastError();
    CloseHandle(volume);
    SetLastError(error);
    return !answered;
}

int volume_extent(char letter, uint64_t *size, uint64_t *start)
{
    PARTITION_INFORMATION_EX info;
    if (ask_volume(letter, IOCTL_DISK_GET_PARTITION_INFO_EX, &info, sizeof info))
        return 1;
    *size = (uint64_t)info.PartitionLength.QuadPart;
    *start = (uint64_t)info.StartingOffset.QuadPart;
    return 0;
}

int volume_sector_size(char letter, DWORD *size)
{
    DISK_GEOMETRY geometry;
    if (ask_volume(letter, IOCTL_DISK_GET_DRIVE_GEOMETRY, &geometry, sizeof geometry))
        return 1;
    *size = geometry.BytesPerSector;
    return 0;
}

HANDLE volume_open_locked(char letter)
{
    HANDLE volume = open_volume(letter, GENERIC_READ | GENERIC_WRITE, FILE_FLAG_WRITE_THROUGH);
    if (volume == INVALID_HANDLE_VALUE)
        return volume;
    DWORD returned;
    BOOL locked = FALSE;
    for (int tries = 0; !locked && tries < lock_tries; tries++) {
        if (tries > 0)
            Sleep(lock_pause_ms);
        locked = device_io_control(volume, FSCTL_LOCK_VOLUME, NULL, 0, NULL, 0, &returned);
    }
    if (locked && device_io_control(volume, FSCTL_DISMOUNT_VOLUME, NULL, 0, NULL, 0, &returned))
        return volume;
    DWORD error = GetLastError();
    CloseHandle(volume);
    SetLastError(error);
    return INVALID_HANDLE_VALUE;
}

static uint8_t check[fat32_chunk_sectors * sector_bytes];

static int move_to(HANDLE volume, uint32_t sector)
{
    LARGE_INTEGER at;
    at.QuadPart = (LONGLONG)sector * sector_bytes;
    return !SetFilePointerEx(volume, at, NULL, FILE_BEGIN);
}

static int write_and_compare(void *context, uint32_t sector, const uint8_t *data, uint32_t count)
{
    HANDLE volume = (HANDLE)context;
    DWORD bytes = count * sector_bytes, done = 0;
    if (move_to(volume, sector) || !write_device(volume, data, bytes, &done))
        return 1;
    SetLastError(ERROR_WRITE_FAULT);  // a short write says nothing of its own
    if (done != bytes || move_to(volume, sector) || !ReadFile(volume, check, bytes, &done, NULL))
        return 1;
    SetLastError(ERROR_WRITE_FAULT);
    return done != bytes || memcmp(check, data, bytes) != 0;
}

int volume_write_fat32(HANDLE volume, const fat32_layout *layout, const fat32_identity *identity)
{
    return fat32_write(layout, identity, write_and_compare, volume);
}
