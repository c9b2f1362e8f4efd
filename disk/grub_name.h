#pragma once
#include <windows.h>

// "(hdN,P)" of the partition behind a drive letter, in a process-wide buffer; null if none.
const char *grub_device_name(char letter);

// The storage queries behind the name, shared by the removable set-up's boot record.
// volume_not_in_tables: a partition (it starts past the disk's first sector) that its disk's tables do
// not hold, or whose disk cannot be read; *disk is set.
enum { volume_found = 0, volume_not_found = 1, volume_cannot_open = 2, volume_not_in_tables = 3 };

// The system's physical drive number of the volume behind a drive letter.
int volume_disk_number(char letter, DWORD *disk);

// That disk (any number), and the number the partition walk gives the volume's partition (slots
// 0-3, logical from 4): its start and length, in the disk's own sectors, matched against the
// disk's MBR and EBR tables. volume_cannot_open leaves the open's error as the last error.
int volume_partition(char letter, DWORD *disk, int *partition);

// The bytes of a sector of the disk or volume: 512 when it does not say, or says what no MBR
// disk has (512 to 4096, a power of two).
DWORD device_sector_size(HANDLE device);
