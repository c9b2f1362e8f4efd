#pragma once

enum { drive_not_offered = 0, drive_removable = 2, drive_fixed = 3 };

// 0, 2 (removable, or fixed on the USB bus) or 3 (fixed); asks the system afresh each time.
// With 0 the last error says why: the failed call's, or that the drive is gone or of another type.
int drive_kind(char letter);

// Refills the main dialog's drive list with the offered letters from C: upward.
void fill_drive_list(void);
