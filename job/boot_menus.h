#pragma once
// The two boot menus the hard-disk set-up edits: GRUB's C:\menu.lst and the Windows boot
// menu C:\boot.ini. Portable, so that they are tested natively and on the Windows
// runtime's text mode (which writes each "\n" as CR LF) alike.
#include <stdio.h>

// Appends the entry that boots the installed system from the partition root (GRUB's name,
// "(hdN,P)") to a file opened "a+". A last line without its line break gets one first, so
// the entry never runs into it. 0 when written, 1 when a write failed.
int menu_lst_append_entry(FILE *file, const char *root);

// What an installation appends to C:\boot.ini: the loader on a line of its own, under its title.
enum { boot_ini_line_size = 30 };

// The Windows boot menu's bytes, edited in place: a final Ctrl-Z is dropped; the first line (ended
// by LF or CR LF alike) that begins with "timeout=0" followed by a blank, a tab, a line end or the
// end of the text gets a '5' for its 0; then the loader's line is appended at the text's end, with
// CR LF as Windows writes boot.ini. text has room for length + boot_ini_line_size bytes. Returns
// the new length.
size_t boot_ini_edit(char *text, size_t length);
