#pragma once
// The two boot menus the hard-disk set-up edits: GRUB's C:\menu.lst and the Windows boot
// menu C:\boot.ini. Portable, so that they are tested natively and on the Windows
// runtime's text mode (which writes each "\n" as CR LF) alike.
#include <stdio.h>

// Appends the entry that boots the installed system from the partition root (GRUB's name,
// "(hdN,P)") to a file opened "a+". A last line without its line break gets one first, so
// the entry never runs into it. 0 when written, 1 when a write failed.
int menu_lst_append_entry(FILE *file, const char *root);

// The Windows boot menu's wait: scans a file opened "r+" from its current position; the
// first line that begins with "timeout=0" followed by a blank, a tab, a line end or the end
// of the file gets a '5' in place of its 0, and no other byte changes. 1 when a line was
// changed, 0 otherwise.
int boot_ini_set_timeout(FILE *file);
