#pragma once
// What the Wine test bed (scripts/wine-testbed.sh) provides, as the Windows side sees it.
#include <string>

// Folders on C: made by tests/win/fixtures/*.sh.
#define INSTALLER_DIR "C:\\zerka-installer"          // product + real 7z + tool doubles
#define INSTALLER_EXE INSTALLER_DIR "\\zerka-installer.exe"
#define TESTBED_EXE INSTALLER_DIR "\\zerka-installer-testbed.exe"  // with fake storage/format calls

// Drive letters (kind as the installer classifies them; label as .windows-label gives it).
enum : char {
    DRIVE_REMOVABLE = 'D',  // floppy type, label "ZERKA_USB", the usual install target
    DRIVE_FIXED = 'E',      // hd type, label "DATA"
    DRIVE_CDROM = 'F',      // never offered
    DRIVE_NETWORK = 'G',    // never offered
    DRIVE_NO_LABEL = 'H',   // removable, empty label
    DRIVE_SMALL = 'S',      // removable, 4 MiB tmpfs when the host allows mounting
    DRIVE_USB_FIXED = 'U',  // hd type; the testbed exe can be told it sits on the USB bus
};

// Linux-side state folder of the test bed (ZERKA_TESTBED), as a Windows path (via Z-less
// prefix there is none: use the drives' own letters or C:\build for build outputs).
std::string testbed_env(const char *name);  // getenv with "" for missing
