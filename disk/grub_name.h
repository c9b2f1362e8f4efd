#pragma once
// "(hdN,P)" of the partition behind a drive letter, in a process-wide buffer; null if none.
const char *grub_device_name(char letter);
