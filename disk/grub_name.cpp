#include "disk/grub_name.h"

#include <winioctl.h>
#include <string.h>

#include "disk/partition_walk.h"
#include "disk/xdio.h"
#include "messages/format_text.h"
#include "messages/messages.h"
#include "platform/system_calls.h"

// Holds in turn the volume path, the partition information, the disk name and the result.
static union {
    char text[text_buffer_size];
    PARTITION_INFORMATION info;
} grub_name_buffer;

DWORD device_sector_size(HANDLE device)
{
    DISK_GEOMETRY geometry;
    DWORD returned;
    DWORD size = xdio_sector_size;
    if (device_io_control(device, IOCTL_DISK_GET_DRIVE_GEOMETRY, NULL, 0, &geometry, sizeof geometry, &returned) &&
        geometry.BytesPerSector >= size && geometry.BytesPerSector <= xdio_sector_max &&
        (geometry.BytesPerSector & (geometry.BytesPerSector - 1)) == 0)
        size = geometry.BytesPerSector;
    return size;
}

// Opens the volume and asks for its device number and, when extent is given, its extent in bytes
// and its disk's sector size.
static int query_volume(char letter, DWORD *disk, PARTITION_INFORMATION *extent, DWORD *sector_size)
{
    char *text = grub_name_buffer.text;
    format_text(text, "\\\\.\\%c:", letter);
    HANDLE volume = open_device(text, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, 0);
    if (volume == INVALID_HANDLE_VALUE)
        return volume_cannot_open;

    STORAGE_DEVICE_NUMBER number;
    DWORD returned;
    int found = device_io_control(volume, IOCTL_STORAGE_GET_DEVICE_NUMBER, NULL, 0, &number,
                                  sizeof number, &returned) &&
                (extent == NULL || device_io_control(volume, IOCTL_DISK_GET_PARTITION_INFO, NULL, 0,
                                                     text, sizeof grub_name_buffer, &returned));
    if (found && extent != NULL)
        *sector_size = device_sector_size(volume);
    CloseHandle(volume);
    if (!found)
        return volume_not_found;
    *disk = number.DeviceNumber;
    if (extent != NULL)
        *extent = grub_name_buffer.info;
    return volume_found;
}

int volume_disk_number(char letter, DWORD *disk)
{
    return query_volume(letter, disk, NULL, NULL);
}

int volume_partition(char letter, DWORD *disk, int *partition)
{
    PARTITION_INFORMATION extent;
    DWORD size;
    int result = query_volume(letter, disk, &extent, &size);
    if (result != volume_found)
        return result;
    // A volume from the disk's first sector on lies in no table: a superfloppy.
    int64_t start = extent.StartingOffset.QuadPart, length = extent.PartitionLength.QuadPart;
    if (start < (int64_t)size || length < 0)
        return volume_not_found;
    // Whole sectors; an extent beyond 2^32 sectors never matches below.
    start /= size;
    length /= size;

    // By its path: the GRUB-style name stops at disk 9.
    format_text(grub_name_buffer.text, "\\\\.\\PhysicalDrive%lu", (unsigned long)*disk);
    xdio_handle *handle = xdio_open(grub_name_buffer.text, 0);
    if (handle == NULL)
        return volume_not_in_tables;
    handle->sector_size = size;
    xdio_partition walk;
    walk.number = 255;
    walk.wanted = 255;
    result = volume_not_in_tables;
    while (result != volume_found && xdio_next_partition(handle, &walk) == 0) {
        if ((int64_t)(uint64_t)walk.start == start && (int64_t)(uint64_t)walk.length == length) {
            *partition = walk.number;
            result = volume_found;
        }
    }
    xdio_close(handle);
    return result;
}

const char *grub_device_name(char letter)
{
    DWORD disk;
    int partition;
    int result = volume_partition(letter, &disk, &partition);
    if (result == volume_cannot_open)
        report_api_error("CreateFile");
    // GRUB's names, and the BIOS disks they stand for, stop at 9.
    if (result != volume_found || disk > 9)
        return NULL;
    format_text(grub_name_buffer.text, "(hd%u,%u)", (unsigned)disk, (unsigned)partition);
    return grub_name_buffer.text;
}
