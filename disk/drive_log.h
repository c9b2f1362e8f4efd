#pragma once
// Writes c:\kestrix_drive.log (skipped silently when it cannot be created).
void drive_log(void);
