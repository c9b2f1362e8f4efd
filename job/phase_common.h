#pragma once
// Small helpers the install phases share.
#include <stdint.h>

#include "job/job.h"

// Formats a log text and appends it. A text that does not fit its 1024-byte buffer is
// never shown cut: the step fails instead (message 18) and 1 is returned; the caller then
// goes to its checkpoint.
int log_formatted(install_job *job, const char *format, ...);

// Frees the job's listing and its file table once nothing needs them any more.
void discard_listing(install_job *job);

// The failure of a step whose path or command line does not fit its buffer.
void fail_text_too_long(install_job *job);

// The failure of a step whose system call failed: message 18, the system's text, a line end.
void fail_with_system_text(install_job *job);

// After a copy: 0 when the file at target, read back from the drive, holds what source holds;
// else the step has failed, with the system's text or, for other bytes, message 52.
int check_copy(install_job *job, const char *source, const char *target);

// Makes the installer's own folder the current one, so that the data files beside it are
// found by name. 1 when its path does not fit the buffer; fatal when it cannot be entered.
int enter_installer_folder(void);

// Full paths of the programs the job starts: 7z and syslinux beside the installer, chkdsk in
// the system folder. Run with administrator rights, the installer must never start a program
// of that name from elsewhere, such as the image's folder, which Browse makes the current one.
// 1 when the path does not fit its 1024-byte buffer.
int installer_file_path(char *buffer, const char *name);
int system_file_path(char *buffer, const char *name);

// 1 when path is a link: a symbolic link or a mount point (junction). Other reparse points,
// such as deduplicated or cloud files, are ordinary files.
int is_link(const char *path);

// Run with administrator rights, a write would follow a link planted on the target. Before
// writing at path, a link there is removed itself. 1 when it cannot be (the last error says
// why), 0 when nothing is left in the way.
int remove_link_at(const char *path);

// Sector 0 of physical disk number disk, for a change of it. When it cannot be read, the step fails
// with message 43, the read's own error and the system's text, and 1 is returned.
int read_sector_zero(install_job *job, DWORD disk, uint8_t *sector, DWORD *size);
