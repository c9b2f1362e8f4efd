#pragma once
// A volume behind a drive letter, made FAT32 by the installer itself where Windows' format dialog
// offers no FAT32 (above 32 GiB).
#include <windows.h>
#include <stdint.h>

#include "disk/fat32_format.h"

// The volume's size and start on its disk in bytes. 0 when the system says; else 1, the last
// error saying why.
int volume_extent(char letter, uint64_t *size, uint64_t *start);

// Its sector size, from the drive geometry. 0 when the system says; else 1 as above.
int volume_sector_size(char letter, DWORD *size);

// Opens the volume for writing, locked (a few tries over about two seconds: Explorer and indexers
// hold handles) and dismounted; nothing is written yet. INVALID_HANDLE_VALUE with the last error
// when that cannot be had. Closing the handle lets Windows mount what was written.
HANDLE volume_open_locked(char letter);

// Writes the layout through the volume handle, each piece read back and compared. 0 when all of
// it was; else 1, the last error saying why, and the volume holds no usable file system.
int volume_write_fat32(HANDLE volume, const fat32_layout *layout, const fat32_identity *identity);
