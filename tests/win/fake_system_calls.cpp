// The system calls Wine cannot answer as Windows does, answered from the environment; whatever
// is not configured goes to the real call, so without these variables this is the product.
//   ZERKA_FAKE_VOLUMES=<letter>:<key>=<n>,...;...  for the volume "\\.\<letter>:": bus (BusType, 7 is
//     USB), device and partition (its device number), start and length (its extent in bytes), and
//     sector (its disk's BytesPerSector, also on a handle of "\\.\PhysicalDrive<device>"), fail_open,
//     fail_property, fail_number, fail_lock, fail_partinfo (any other query), fail_write (every write but the
//     first) (the last-error that call fails with); property_answers=<n>: the first n property queries are
//     answered all the same; a dismount succeeds
//   ZERKA_FAKE_LINKS=<path>[=<tag>];... these files are reparse points, symbolic links unless tagged
//     otherwise; removing one moves it aside to <path>.link (Wine reports no file links and no tags,
//     and its delete would remove the target)
//   ZERKA_FAKE_FORMAT=<n>           the format dialog returns n at once
//   ZERKA_FAKE_FILE_SYSTEMS=<letter>:<name>;...  that volume's file system (Wine knows no exFAT); !<n>: the
//     query fails with last-error n
//   ZERKA_FAKE_GATE=<path>=<event>  asking for that path's attributes waits for the event first
//   ZERKA_FAKE_HEAP_LIMIT=<n>       a heap block cannot grow past n bytes, nor a new one be larger
//   ZERKA_FAKE_READ_BACK=<path>=<action>:<n>;...  opened to be read back, as a failing drive would have it, that
//     file first has its byte at offset n changed (flip), or is cut to n bytes (cut); or the open waits for the
//     event named n (gate), or is refused with last-error n (refuse)
#include "platform/system_calls.h"

#include <shlobj.h>
#include <stdlib.h>
#include <winioctl.h>

#include <map>
#include <string>

static std::string listed(const char *name)  // ";entry;entry;...;"
{
    char text[4096] = "";
    DWORD n = GetEnvironmentVariableA(name, text, sizeof text);
    return ";" + std::string(text, n < sizeof text ? n : 0) + ";";
}

static std::string setting(const char *name, const std::string &key)  // what follows key in its entry
{
    std::string all = listed(name);
    size_t at = all.find(";" + key);
    return at == std::string::npos ? "" : all.substr(at + 1 + key.size(), all.find(';', at + 1) - at - 1 - key.size());
}

static DWORD fake_tag(const char *path)  // 0 when not listed
{
    std::string all = listed("ZERKA_FAKE_LINKS"), key = ";" + std::string(path);
    for (size_t at = all.find(key); at != std::string::npos; at = all.find(key, at + 1)) {
        const char *next = all.c_str() + at + key.size();
        if (*next == ';' || *next == '=') return *next == ';' ? IO_REPARSE_TAG_SYMLINK : strtoul(next + 1, nullptr, 0);
    }
    return 0;
}

static long long volume(char letter, const char *key)  // -1 when not configured
{
    std::string entry = "," + setting("ZERKA_FAKE_VOLUMES", std::string(1, letter) + ":") + ",";
    size_t at = entry.find(std::string(",") + key + "=");
    return at == std::string::npos ? -1 : strtoll(entry.c_str() + at + strlen(key) + 2, nullptr, 0);
}

static HANDLE handle_of[26];  // the handle open_device gave out last for each volume letter
static int property_queries[26];
static std::map<HANDLE, long long> disk_of;  // handles of "\\.\PhysicalDrive<n>"

HANDLE open_device(const char *path, DWORD access, DWORD share, DWORD attributes)
{
    char letter = strlen(path) == 6 && !strncmp(path, "\\\\.\\", 4) ? path[4] : 0;
    if (letter && volume(letter, "fail_open") > 0)
        return SetLastError((DWORD)volume(letter, "fail_open")), INVALID_HANDLE_VALUE;
    HANDLE handle = CreateFileA(path, access, share, nullptr, OPEN_EXISTING, attributes, nullptr);
    for (HANDLE &h : handle_of) h = h == handle ? nullptr : h;  // a reused value forgets its old letter
    if (letter >= 'A' && letter <= 'Z') handle_of[letter - 'A'] = handle;
    disk_of.erase(handle);
    if (!strncmp(path, "\\\\.\\PhysicalDrive", 17)) disk_of[handle] = atoll(path + 17);
    return handle;
}

static char letter_of(HANDLE device)
{
    char v = 0;
    for (int i = 0; i < 26; i++) v = handle_of[i] == device ? (char)('A' + i) : v;
    return v;
}

BOOL device_io_control(HANDLE device, DWORD code, void *in, DWORD in_size, void *out, DWORD out_size, DWORD *returned)
{
    char v = letter_of(device);
    long long sector = v ? volume(v, "sector") : -1;
    for (char l = 'A'; l <= 'Z' && disk_of.count(device); l++)  // a disk's sectors are its volumes'
        if (volume(l, "device") == disk_of[device] && volume(l, "sector") > 0) sector = volume(l, "sector");
    bool property = code == IOCTL_STORAGE_QUERY_PROPERTY, number = code == IOCTL_STORAGE_GET_DEVICE_NUMBER;
    long long fail = volume(v, property ? "fail_property" : number ? "fail_number" : code == FSCTL_LOCK_VOLUME ?
                                "fail_lock" : "fail_partinfo");
    if (v && property && ++property_queries[v - 'A'] <= volume(v, "property_answers")) fail = 0;
    if (v && fail > 0) return SetLastError((DWORD)fail), FALSE;
    union { STORAGE_DEVICE_DESCRIPTOR descriptor; STORAGE_DEVICE_NUMBER number; PARTITION_INFORMATION info;
        PARTITION_INFORMATION_EX ex; DISK_GEOMETRY geometry; } answer = {};
    DWORD size;
    if (v && property && volume(v, "bus") >= 0) {
        answer.descriptor.Version = answer.descriptor.Size = size = sizeof answer.descriptor;
        answer.descriptor.BusType = (STORAGE_BUS_TYPE)volume(v, "bus");
    } else if (v && number && volume(v, "device") >= 0) {
        answer.number = {FILE_DEVICE_DISK, (DWORD)volume(v, "device"), (DWORD)volume(v, "partition")};
        size = sizeof answer.number;
    } else if (v && code == IOCTL_DISK_GET_PARTITION_INFO && volume(v, "start") >= 0) {
        answer.info.StartingOffset.QuadPart = volume(v, "start");
        answer.info.PartitionLength.QuadPart = volume(v, "length");
        size = sizeof answer.info;
    } else if (v && code == IOCTL_DISK_GET_PARTITION_INFO_EX && volume(v, "start") >= 0) {
        answer.ex.StartingOffset.QuadPart = volume(v, "start");
        answer.ex.PartitionLength.QuadPart = volume(v, "length");
        size = sizeof answer.ex;
    } else if (code == IOCTL_DISK_GET_DRIVE_GEOMETRY && sector > 0) {
        answer.geometry.BytesPerSector = (DWORD)sector;
        size = sizeof answer.geometry;
    } else if (v && code == FSCTL_DISMOUNT_VOLUME) {  // Wine fails it with 87
        return *returned = 0, TRUE;
    } else {
        return DeviceIoControl(device, code, in, in_size, out, out_size, returned, nullptr);
    }
    return memcpy(out, &answer, *returned = size < out_size ? size : out_size), TRUE;
}

static int writes[26];
BOOL write_device(HANDLE device, const void *data, DWORD size, DWORD *written)
{
    char v = letter_of(device);
    long long fail = volume(v, "fail_write");
    if (v && fail > 0 && writes[v - 'A']++) return SetLastError((DWORD)fail), FALSE;
    return WriteFile(device, data, size, written, nullptr);
}

int format_drive_dialog(HWND owner, UINT drive, UINT format_id, UINT options)
{
    char result[16];
    if (GetEnvironmentVariableA("ZERKA_FAKE_FORMAT", result, sizeof result)) return atoi(result);
    return (int)SHFormatDrive(owner, drive, format_id, options);
}

BOOL volume_file_system(const char *root, char *name, DWORD size)
{
    std::string fake = setting("ZERKA_FAKE_FILE_SYSTEMS", std::string(1, root[0]) + ":");
    if (fake.empty()) return GetVolumeInformationA(root, nullptr, 0, nullptr, nullptr, nullptr, name, size);
    if (fake[0] == '!') return SetLastError(strtoul(fake.c_str() + 1, nullptr, 0)), FALSE;  // the query fails
    return lstrcpynA(name, fake.c_str(), (int)size) != nullptr;
}

DWORD path_attributes(const char *path)
{
    std::string gate = setting("ZERKA_FAKE_GATE", std::string(path) + "=");
    if (!gate.empty()) WaitForSingleObject(CreateEventA(nullptr, TRUE, FALSE, gate.c_str()), INFINITE);
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && fake_tag(path) ? attributes | FILE_ATTRIBUTE_REPARSE_POINT
                                                                   : attributes;
}

DWORD reparse_tag(const char *path)
{
    if (DWORD tag = fake_tag(path)) return tag;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(path, &found);
    if (search == INVALID_HANDLE_VALUE) return 0;
    return FindClose(search), found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT ? found.dwReserved0 : 0;
}

void *grow_heap_block(void *block, SIZE_T size)
{
    char limit[32];
    if (GetEnvironmentVariableA("ZERKA_FAKE_HEAP_LIMIT", limit, sizeof limit) && size > strtoull(limit, nullptr, 0))
        return nullptr;
    return block ? HeapReAlloc(GetProcessHeap(), 0, block, size) : HeapAlloc(GetProcessHeap(), 0, size);
}

BOOL remove_link(const char *path)
{
    if (fake_tag(path)) return MoveFileA(path, (std::string(path) + ".link").c_str());
    return GetFileAttributesA(path) & FILE_ATTRIBUTE_DIRECTORY ? RemoveDirectoryA(path) : DeleteFileA(path);
}

HANDLE open_read_back(const char *path, DWORD flags)
{
    std::string action = setting("ZERKA_FAKE_READ_BACK", path + std::string("="));
    std::string n = action.substr(action.find(':') + 1);
    LARGE_INTEGER at = {.QuadPart = atoll(n.c_str())};
    char act = action[0], byte = 0;  // '\0' when not configured
    DWORD done;
    HANDLE file = act == 'f' || act == 'c' ? CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                                         0, nullptr) : INVALID_HANDLE_VALUE;
    if (act == 'f' && SetFilePointerEx(file, at, nullptr, FILE_BEGIN) && ReadFile(file, &byte, 1, &done, nullptr))
        byte ^= 1, SetFilePointerEx(file, at, nullptr, FILE_BEGIN), WriteFile(file, &byte, 1, &done, nullptr);
    if (act == 'c') SetFilePointerEx(file, at, nullptr, FILE_BEGIN), SetEndOfFile(file);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    if (act == 'g') WaitForSingleObject(CreateEventA(nullptr, TRUE, FALSE, n.c_str()), INFINITE);
    if (act == 'r') return SetLastError(atoi(n.c_str())), INVALID_HANDLE_VALUE;
    return CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, flags, nullptr);
}
