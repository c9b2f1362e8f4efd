#include "disk/grub_name.h"

#include <windows.h>
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

const char *grub_device_name(char letter)
{
    char *text = grub_name_buffer.text;
    format_text(text, "\\\\.\\%c:", letter);
    HANDLE volume = open_device(text, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, 0);
    if (volume == INVALID_HANDLE_VALUE) {
        report_api_error("CreateFile");
        return NULL;
    }

    STORAGE_DEVICE_NUMBER number;
    DWORD returned;
    if (!device_io_control(volume, IOCTL_STORAGE_GET_DEVICE_NUMBER, NULL, 0, &number,
                           sizeof number, &returned) ||
        !device_io_control(volume, IOCTL_DISK_GET_PARTITION_INFO, NULL, 0, text,
                           sizeof grub_name_buffer, &returned)) {
        CloseHandle(volume);
        return NULL;
    }
    CloseHandle(volume);
    // Whole sectors; a negative extent or one beyond 2^32 sectors never matches below.
    int64_t start = grub_name_buffer.info.StartingOffset.QuadPart >> 9;
    int64_t length = grub_name_buffer.info.PartitionLength.QuadPart >> 9;

    format_text(text, "(hd%d)", (int)number.DeviceNumber);
    xdio_handle *disk = xdio_open(text, 0);
    if (disk == NULL) return NULL;

    xdio_partition partition;
    partition.number = 255;
    partition.wanted = 255;
    while (xdio_next_partition(disk, &partition) == 0) {
        if ((int64_t)(uint64_t)partition.start == start &&
            (int64_t)(uint64_t)partition.length == length) {
            format_text(text, "(hd%u,%u)", (unsigned)number.DeviceNumber,
                        (unsigned)partition.number);
            xdio_close(disk);
            return text;
        }
    }
    xdio_close(disk);
    return NULL;
}
