#pragma once
#include <windows.h>

// "(hdN,P)" of the partition behind a drive letter, in a process-wide buffer; null if none.
const char *grub_device_name(char letter);

// The storage queries behind the name, shared by the removable set-up's boot record.
enum { volume_found = 0, volume_not_found = 1, volume_cannot_open = 2 };

// The system's physical drive number of the volume behind a drive letter.
int volume_disk_number(char letter, DWORD *disk);

// That disk, and the number the partition walk gives the volume's partition (slots 0-3,
// logical from 4): its start and length matched against the disk's MBR and EBR tables.
// volume_cannot_open leaves the open's error as the last error.
int volume_partition(char letter, DWORD *disk, int *partition);
