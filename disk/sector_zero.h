#pragma once
#include <windows.h>
#include <stdint.h>
// Sector 0 of physical disk number `disk` (\\.\PhysicalDriveN, any N), in the disk's own sector size.
enum { sector_zero_max = 4096 };
// Reads sector 0; *size gets the disk's sector size (512 when the disk does not say). 0 when done;
// else 1, the last error saying why.
int sector_zero_read(DWORD disk, uint8_t sector[sector_zero_max], DWORD *size);
// Writes size bytes as sector 0, reads them back through a handle of its own and compares. 0 when they
// are equal; else 1, the last error saying why. Never called for the system disk: callers ask first.
int sector_zero_write(DWORD disk, const uint8_t *sector, DWORD size);
// 1 when the disk holds the system folder, or when that cannot be told.
int is_system_disk(DWORD disk);
