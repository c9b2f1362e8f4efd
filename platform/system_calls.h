#pragma once
#include <windows.h>

// The few system calls that Wine cannot answer as real Windows does (the storage queries, a
// volume's partition information, geometry and dismount, the shell's format dialog, links, a
// volume's file system). The product links
// system_calls_real.cpp, which calls the system directly; the Wine test bed links a double that
// can answer for chosen paths.

HANDLE open_device(const char *path, DWORD access, DWORD share, DWORD attributes);
BOOL device_io_control(HANDLE device, DWORD code, void *in, DWORD in_size, void *out,
                       DWORD out_size, DWORD *returned);
// WriteFile on a device opened by open_device: a test can make a write fail half-way through a format.
BOOL write_device(HANDLE device, const void *data, DWORD size, DWORD *written);
int format_drive_dialog(HWND owner, UINT drive, UINT format_id, UINT options);
// The name of the file system of the volume at root ("FAT", "FAT32", "exFAT", "NTFS"), as
// GetVolumeInformationA gives it. Wine knows no exFAT.
BOOL volume_file_system(const char *root, char *name, DWORD size);

// GetFileAttributesA. Wine reports no FILE_ATTRIBUTE_REPARSE_POINT for a file symlink.
DWORD path_attributes(const char *path);
// The reparse tag of the reparse point at path (FindFirstFileA's dwReserved0), 0 when there is
// none. Wine reports no tag at all.
DWORD reparse_tag(const char *path);
// HeapReAlloc on the process heap, or HeapAlloc for a null block. A test can refuse large blocks
// there, as a full 32-bit address space does: a 64-bit one cannot be filled in a test.
void *grow_heap_block(void *block, SIZE_T size);

// Removes the link at path itself, never what it points to (Wine's DeleteFileA would
// delete the target of a file symlink).
BOOL remove_link(const char *path);

// Opens a file the job has written, to read it back from the drive: CreateFileA for reading with
// these flags. A test can change the file at this moment, as a drive that loses data would.
HANDLE open_read_back(const char *path, DWORD flags);
