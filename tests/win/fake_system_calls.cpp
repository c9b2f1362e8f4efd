// Test doubles of the system calls in platform/system_calls.h, for the Wine test bed, which
// cannot answer some storage queries as Windows does and has only a stub format dialog.
// Linked into zerka-installer-testbed.exe and into in-process test programs.
//
// Configured by the environment, read at the first call (fake_system_calls_reload() reads it
// again). Whatever is not configured goes to the real call, so without the variables the
// program behaves like the product.
//
// ZERKA_FAKE_VOLUMES: entries separated by ';', each "<letter>:<key>=<value>,<key>=<value>..."
// about the volume device "\\.\<letter>:" (numbers in C notation: 10, 0x1F, 017):
//   bus=<n>           IOCTL_STORAGE_QUERY_PROPERTY answers a STORAGE_DEVICE_DESCRIPTOR with
//                     BusType n (7 = USB)
//   device=<n>        IOCTL_STORAGE_GET_DEVICE_NUMBER answers DeviceType FILE_DEVICE_DISK,
//   partition=<n>     DeviceNumber n, PartitionNumber n (each 0 when only the other is given)
//   start=<bytes>     IOCTL_DISK_GET_PARTITION_INFO answers StartingOffset and
//   length=<bytes>    PartitionLength (64-bit; each 0 when only the other is given)
//   fail_open=<e>     open_device of the volume fails with last-error e (every open: a fixed
//                     drive then is not offered at all; a removable one is, as its kind
//                     needs no open, and the drive log shows its CreateFile line)
//   fail_number=<e>, fail_partinfo=<e>, fail_property=<e>
//                     that query fails with last-error e
// Example: ZERKA_FAKE_VOLUMES=U:bus=7;E:device=1,partition=2,start=1056768,length=512000
//
// ZERKA_FAKE_FORMAT=<n>: format_drive_dialog shows nothing and returns n, after appending
// "drive=<n> id=<hex> options=<n> owner_visible=<0|1>\r\n" to C:\fake-format.log.
#include "platform/system_calls.h"

#include <winioctl.h>
#include <shlobj.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "fake_system_calls.h"

namespace {

struct fake_volume {
    bool set_bus, set_number, set_extent;
    DWORD bus;
    DWORD device, partition;
    LONGLONG start, length;
    DWORD fail_open, fail_number, fail_partinfo, fail_property;
};

struct fake_state {
    CRITICAL_SECTION lock;
    bool loaded;
    fake_volume volumes[26];
    bool configured[26];
    bool format_set;
    int format_result;
    // Handles open_device gave out for volume paths, and their letters.
    HANDLE handles[64];
    char letters[64];
    int next_slot;
    fake_state() { InitializeCriticalSection(&lock); }
};

fake_state state;

struct locked {
    locked() { EnterCriticalSection(&state.lock); }
    ~locked() { LeaveCriticalSection(&state.lock); }
};

unsigned long long number_of(const char *text)
{
    return strtoull(text, nullptr, 0);
}

void parse_volume(const char *entry, size_t length)
{
    if (length < 2 || entry[1] != ':') return;
    char letter = (char)(entry[0] & ~0x20);
    if (letter < 'A' || letter > 'Z') return;
    fake_volume &v = state.volumes[letter - 'A'];
    state.configured[letter - 'A'] = true;

    char pairs[512];
    size_t n = length - 2 < sizeof pairs - 1 ? length - 2 : sizeof pairs - 1;
    memcpy(pairs, entry + 2, n);
    pairs[n] = '\0';
    for (char *pair = strtok(pairs, ","); pair != nullptr; pair = strtok(nullptr, ",")) {
        char *equals = strchr(pair, '=');
        if (equals == nullptr) continue;
        *equals = '\0';
        const char *key = pair, *value = equals + 1;
        if (strcmp(key, "bus") == 0) {
            v.set_bus = true;
            v.bus = (DWORD)number_of(value);
        } else if (strcmp(key, "device") == 0) {
            v.set_number = true;
            v.device = (DWORD)number_of(value);
        } else if (strcmp(key, "partition") == 0) {
            v.set_number = true;
            v.partition = (DWORD)number_of(value);
        } else if (strcmp(key, "start") == 0) {
            v.set_extent = true;
            v.start = (LONGLONG)number_of(value);
        } else if (strcmp(key, "length") == 0) {
            v.set_extent = true;
            v.length = (LONGLONG)number_of(value);
        } else if (strcmp(key, "fail_open") == 0) {
            v.fail_open = (DWORD)number_of(value);
        } else if (strcmp(key, "fail_number") == 0) {
            v.fail_number = (DWORD)number_of(value);
        } else if (strcmp(key, "fail_partinfo") == 0) {
            v.fail_partinfo = (DWORD)number_of(value);
        } else if (strcmp(key, "fail_property") == 0) {
            v.fail_property = (DWORD)number_of(value);
        }
    }
}

void load_configuration()
{
    if (state.loaded) return;
    state.loaded = true;
    memset(state.volumes, 0, sizeof state.volumes);
    memset(state.configured, 0, sizeof state.configured);
    state.format_set = false;

    char text[4096];
    DWORD length = GetEnvironmentVariableA("ZERKA_FAKE_VOLUMES", text, sizeof text);
    if (length > 0 && length < sizeof text) {
        const char *entry = text;
        for (;;) {
            const char *end = strchr(entry, ';');
            size_t size = end ? (size_t)(end - entry) : strlen(entry);
            parse_volume(entry, size);
            if (end == nullptr) break;
            entry = end + 1;
        }
    }
    length = GetEnvironmentVariableA("ZERKA_FAKE_FORMAT", text, sizeof text);
    if (length > 0 && length < sizeof text) {
        state.format_set = true;
        state.format_result = (int)strtol(text, nullptr, 0);
    }
}

// The letter of "\\.\X:", or 0.
char volume_letter(const char *path)
{
    if (strncmp(path, "\\\\.\\", 4) != 0 || path[5] != ':' || path[6] != '\0') return 0;
    char letter = (char)(path[4] & ~0x20);
    return letter >= 'A' && letter <= 'Z' ? letter : 0;
}

void remember_handle(HANDLE handle, char letter)
{
    for (int i = 0; i < 64; ++i) {
        if (state.handles[i] == handle) {
            state.letters[i] = letter;
            return;
        }
    }
    if (letter == 0) return;
    state.handles[state.next_slot] = handle;
    state.letters[state.next_slot] = letter;
    state.next_slot = (state.next_slot + 1) % 64;
}

const fake_volume *volume_of_handle(HANDLE handle)
{
    for (int i = 0; i < 64; ++i) {
        if (state.handles[i] == handle && state.letters[i] != 0) {
            int index = state.letters[i] - 'A';
            return state.configured[index] ? &state.volumes[index] : nullptr;
        }
    }
    return nullptr;
}

BOOL fail_with(DWORD error)
{
    SetLastError(error);
    return FALSE;
}

}  // namespace

void fake_system_calls_reload(void)
{
    locked guard;
    state.loaded = false;
}

HANDLE open_device(const char *path, DWORD access, DWORD share, DWORD attributes)
{
    char letter = volume_letter(path);
    {
        locked guard;
        load_configuration();
        if (letter != 0 && state.configured[letter - 'A'] && state.volumes[letter - 'A'].fail_open) {
            SetLastError(state.volumes[letter - 'A'].fail_open);
            return INVALID_HANDLE_VALUE;
        }
    }
    HANDLE handle = CreateFileA(path, access, share, NULL, OPEN_EXISTING, attributes, NULL);
    DWORD error = GetLastError();
    if (handle != INVALID_HANDLE_VALUE) {
        locked guard;
        remember_handle(handle, letter);  // a reused handle value forgets its old letter
    }
    SetLastError(error);
    return handle;
}

BOOL device_io_control(HANDLE device, DWORD code, void *in, DWORD in_size, void *out,
                       DWORD out_size, DWORD *returned)
{
    fake_volume v;
    {
        locked guard;
        load_configuration();
        const fake_volume *found = volume_of_handle(device);
        if (found == nullptr) {
            return DeviceIoControl(device, code, in, in_size, out, out_size, returned, NULL);
        }
        v = *found;
    }

    if (code == IOCTL_STORAGE_QUERY_PROPERTY && (v.fail_property || v.set_bus)) {
        if (v.fail_property) return fail_with(v.fail_property);
        STORAGE_DEVICE_DESCRIPTOR descriptor = {};
        descriptor.Version = sizeof descriptor;
        descriptor.Size = sizeof descriptor;
        descriptor.DeviceType = FILE_DEVICE_DISK;
        descriptor.BusType = (STORAGE_BUS_TYPE)v.bus;
        descriptor.RemovableMedia = FALSE;
        if (out_size < sizeof(STORAGE_DESCRIPTOR_HEADER)) return fail_with(ERROR_INSUFFICIENT_BUFFER);
        DWORD size = out_size < sizeof descriptor ? out_size : (DWORD)sizeof descriptor;
        memcpy(out, &descriptor, size);
        if (returned) *returned = size;
        return TRUE;
    }
    if (code == IOCTL_STORAGE_GET_DEVICE_NUMBER && (v.fail_number || v.set_number)) {
        if (v.fail_number) return fail_with(v.fail_number);
        if (out_size < sizeof(STORAGE_DEVICE_NUMBER)) return fail_with(ERROR_INSUFFICIENT_BUFFER);
        STORAGE_DEVICE_NUMBER number = {FILE_DEVICE_DISK, v.device, v.partition};
        memcpy(out, &number, sizeof number);
        if (returned) *returned = sizeof number;
        return TRUE;
    }
    if (code == IOCTL_DISK_GET_PARTITION_INFO && (v.fail_partinfo || v.set_extent)) {
        if (v.fail_partinfo) return fail_with(v.fail_partinfo);
        if (out_size < sizeof(PARTITION_INFORMATION)) return fail_with(ERROR_INSUFFICIENT_BUFFER);
        PARTITION_INFORMATION info = {};
        info.StartingOffset.QuadPart = v.start;
        info.PartitionLength.QuadPart = v.length;
        info.HiddenSectors = (DWORD)(v.start / 512);
        info.PartitionNumber = v.partition;
        info.PartitionType = PARTITION_IFS;
        info.RecognizedPartition = TRUE;
        memcpy(out, &info, sizeof info);
        if (returned) *returned = sizeof info;
        return TRUE;
    }
    return DeviceIoControl(device, code, in, in_size, out, out_size, returned, NULL);
}

int format_drive_dialog(HWND owner, UINT drive, UINT format_id, UINT options)
{
    bool fake;
    int result;
    {
        locked guard;
        load_configuration();
        fake = state.format_set;
        result = state.format_result;
    }
    if (!fake) return (int)SHFormatDrive(owner, drive, format_id, options);

    char line[128];
    int length = snprintf(line, sizeof line, "drive=%u id=%x options=%u owner_visible=%d\r\n",
                          drive, format_id, options, owner != NULL && IsWindowVisible(owner) ? 1 : 0);
    HANDLE log = CreateFileA("C:\\fake-format.log", FILE_APPEND_DATA, FILE_SHARE_READ, NULL,
                             OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (log != INVALID_HANDLE_VALUE) {
        DWORD written;
        WriteFile(log, line, (DWORD)length, &written, NULL);
        CloseHandle(log);
    }
    return result;
}
