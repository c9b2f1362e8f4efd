#include "main/drive_list.h"

#include "main/main_dialog.h"
#include "messages/format_text.h"
#include "platform/system_calls.h"
#include "resources/resource_ids.h"

#include <windows.h>
#include <winioctl.h>

enum { bus_type_usb = 7, label_size = 124 };

int drive_kind(char letter)
{
    char name[3] = {letter, ':', '\0'};
    UINT type = GetDriveTypeA(name);
    if (type == DRIVE_REMOVABLE)
        return drive_removable;
    if (type != DRIVE_FIXED) {
        SetLastError(type == DRIVE_NO_ROOT_DIR ? ERROR_INVALID_DRIVE : ERROR_NOT_SUPPORTED);
        return drive_not_offered;
    }

    char device[text_buffer_size];
    format_text(device, "\\\\.\\%c:", letter);
    HANDLE volume = open_device(device, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, FILE_ATTRIBUTE_READONLY);
    if (volume == INVALID_HANDLE_VALUE)
        return drive_not_offered;

    STORAGE_PROPERTY_QUERY query = {};
    query.PropertyId = StorageDeviceProperty;
    query.QueryType = PropertyStandardQuery;
    union {
        STORAGE_DEVICE_DESCRIPTOR descriptor;
        BYTE bytes[40];
    } answer = {};
    DWORD returned = 0;
    BOOL asked = device_io_control(volume, IOCTL_STORAGE_QUERY_PROPERTY, &query, 12, &answer,
                                   sizeof answer.bytes, &returned);
    DWORD error = GetLastError();
    CloseHandle(volume);
    if (!asked) {
        SetLastError(error);
        return drive_not_offered;
    }
    // A hard disk on the USB bus is handled as a stick: SYSLINUX, and it may be formatted.
    return (int)answer.descriptor.BusType == bus_type_usb ? drive_removable : drive_fixed;
}

void fill_drive_list(void)
{
    HWND list = GetDlgItem(main_dialog_handle, IDC_DRIVE_LIST);
    SendMessageA(list, CB_RESETCONTENT, 0, 0);

    DWORD present = GetLogicalDrives() & ~3u;  // A: and B: are never offered
    for (int bit = 2; bit < 26 && (present >> bit) != 0; bit++) {
        if (!(present & (1u << bit)))
            continue;
        char letter = (char)('A' + bit);
        if (drive_kind(letter) == drive_not_offered)
            continue;
        // The root path, with the label read in just behind it.
        char buffer[3 + label_size] = {letter, ':', '\\', '\0'};
        char *label = buffer + 3;
        char entry[text_buffer_size];
        if (GetVolumeInformationA(buffer, label, label_size, NULL, NULL, NULL, NULL, 0))
            format_text(entry, "%c: [%s]", letter, label);
        else
            format_text(entry, "%c: ", letter);
        SendMessageA(list, CB_ADDSTRING, 0, (LPARAM)entry);
    }
}
