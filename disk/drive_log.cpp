#include "disk/drive_log.h"

#include <windows.h>
#include <winioctl.h>
#include <stdio.h>

#include "disk/partition_walk.h"
#include "disk/xdio.h"
#include "job/phase_common.h"
#include "main/drive_list.h"
#include "messages/format_text.h"
#include "messages/messages.h"
#include "platform/system_calls.h"

// Ends an error line with the system's text. The log is a text stream, so the text's own
// CR LF goes out as "\n" (else the disk would get CR CR LF), and a text without a line
// break still ends its line.
static void write_system_text(FILE *log, const char *text)
{
    const char *p = text;
    for (; *p != '\0'; ++p) {
        if (p[0] == '\r' && p[1] == '\n') continue;
        fputc(*p, log);
    }
    if (p == text || p[-1] != '\n') fputc('\n', log);
}

static void log_volume(FILE *log, char letter)
{
    char path[text_buffer_size];
    format_text(path, "\\\\.\\%c:", letter);
    HANDLE volume = open_device(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, 0);
    if (volume == INVALID_HANDLE_VALUE) {
        const char *error = last_error_text();
        fprintf(log, "CreateFile(%s): ", path);
        write_system_text(log, error);
        return;
    }

    STORAGE_DEVICE_NUMBER number;
    DWORD returned;
    if (!device_io_control(volume, IOCTL_STORAGE_GET_DEVICE_NUMBER, NULL, 0, &number,
                           sizeof number, &returned)) {
        const char *error = last_error_text();
        fprintf(log, "DeviceIoControl(%s,IOCTL_STORAGE_GET_DEVICE_NUMBER): ", path);
        write_system_text(log, error);
        CloseHandle(volume);
        return;
    }
    // Its own buffer: a failed query may leave anything in it, and the path is still needed.
    union {
        char bytes[text_buffer_size];
        PARTITION_INFORMATION info;
    } answer;
    if (!device_io_control(volume, IOCTL_DISK_GET_PARTITION_INFO, NULL, 0, answer.bytes,
                           sizeof answer, &returned)) {
        const char *error = last_error_text();
        fprintf(log, "DeviceIoControl(%s,IOCTL_DISK_GET_PARTITION_INFO): ", path);
        write_system_text(log, error);
        CloseHandle(volume);
        return;
    }
    CloseHandle(volume);
    fprintf(log, "[winapi] dev=%c:(d%up%u) offset=%u size=%u\n", letter,
            (unsigned)number.DeviceNumber, (unsigned)number.PartitionNumber,
            (unsigned)(uint32_t)(answer.info.StartingOffset.QuadPart / 512),
            (unsigned)(uint32_t)(answer.info.PartitionLength.QuadPart / 512));
}

static void log_disk(FILE *log, int disk_number)
{
    char name[text_buffer_size];
    format_text(name, "(hd%d)", disk_number);
    xdio_handle *disk = xdio_open(name, 0);
    if (disk == NULL) return;

    xdio_partition partition;
    partition.number = 255;
    partition.wanted = 255;
    while (xdio_next_partition(disk, &partition) == 0) {
        fprintf(log, "[xdio] dev=hd%c%u offset=%u size=%u\n", (char)('a' + disk_number),
                (unsigned)partition.number + 1, (unsigned)partition.start,
                (unsigned)partition.length);
    }
    xdio_close(disk);
}

void drive_log(void)
{
    // Only a diagnostic: without a writable C: there is simply no log. Nor through a link there,
    // which would have a program run as administrator overwrite whatever it points to.
    static const char path[] = "c:\\kestrix_drive.log";
    FILE *log = is_link(path) ? NULL : fopen(path, "w");
    if (log == NULL) return;

    DWORD drives = GetLogicalDrives();
    for (int bit = 2; bit < 26 && (drives >> bit) != 0; ++bit) {
        char letter = (char)('A' + bit);
        if (drive_kind(letter) == drive_not_offered) continue;
        log_volume(log, letter);
    }
    for (int disk_number = 0; disk_number <= 9; ++disk_number) log_disk(log, disk_number);
    fclose(log);
}
