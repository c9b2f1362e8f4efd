#pragma once
// What the Wine test bed (scripts/wine-testbed.sh) provides, as the Windows side sees it.
#include <string>

// Folders on C: made by tests/win/fixtures/*.sh.
#define INSTALLER_DIR "C:\\zerka-installer"          // product + real 7z + tool doubles
#define INSTALLER_EXE INSTALLER_DIR "\\zerka-installer.exe"
#define TESTBED_EXE INSTALLER_DIR "\\zerka-installer-testbed.exe"  // with fake storage/format calls

// Drive letters (kind as the installer classifies them; label as .windows-label gives it).
// Names avoid windows.h's DRIVE_* type macros.
const char removable_letter = 'D';     // floppy type, label "ZERKA_USB", the usual install target
const char fixed_letter = 'E';         // hd type, label "DATA"
const char cdrom_letter = 'F';         // never offered
const char network_letter = 'G';       // never offered
const char unlabelled_letter = 'H';    // removable, empty label
const char unreadable_letter = 'R';    // removable whose medium cannot be read (label query fails)
const char small_letter = 'S';         // removable, 4 MiB tmpfs when the host allows mounting
const char usb_fixed_letter = 'U';     // hd type; the testbed exe can be told it sits on the USB bus

// Environment of the test bed as the Windows side sees it (ZERKA_TESTBED, ZERKA_BUILD are
// Linux paths; build outputs are reachable as C:\build\...).
std::string testbed_env(const char *name);  // getenv with "" for missing
