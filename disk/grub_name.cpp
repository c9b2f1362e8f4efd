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

// Opens the volume and asks for its device number and, when extent is given, its extent in bytes.
static int query_volume(char letter, DWORD *disk, PARTITION_INFORMATION *extent)
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
    return query_volume(letter, disk, NULL);
}

int volume_partition(char letter, DWORD *disk, int *partition)
{
    PARTITION_INFORMATION extent;
    int result = query_volume(letter, disk, &extent);
    if (result != volume_found)
        return result;
    // Whole sectors; a negative extent or one beyond 2^32 sectors never matches below.
    int64_t start = extent.StartingOffset.QuadPart >> 9;
    int64_t length = extent.PartitionLength.QuadPart >> 9;

    format_text(grub_name_buffer.text, "(hd%d)", (int)*disk);
    xdio_handle *handle = xdio_open(grub_name_buffer.text, 0);
    if (handle == NULL)
        return volume_not_found;
    xdio_partition walk;
    walk.number = 255;
    walk.wanted = 255;
    result = volume_not_found;
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
    if (result != volume_found)
        return NULL;
    format_text(grub_name_buffer.text, "(hd%u,%u)", (unsigned)disk, (unsigned)partition);
    return grub_name_buffer.text;
}
