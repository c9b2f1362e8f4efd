#pragma once
#include <stdint.h>

// Sector access to disks, floppies, volumes and image files by path or by a GRUB-style name:
// (hdN), (hdN,P), (fdN), (fdN,P). Sectors are 512 bytes unless the caller names the disk's own size.

enum { xdio_sector_size = 512, xdio_sector_max = 4096 };

struct xdio_handle {
    int32_t kind;          // 1: owns the runtime-library descriptor fd
    int32_t fd;
    uint32_t sector;       // sector of the next transfer
    uint32_t sector_size;  // bytes of a sector: 512 (also when 0) up to xdio_sector_max, as the disk has them
};

xdio_handle *xdio_open(const char *name, int writable);
void xdio_close(xdio_handle *handle);
int xdio_seek(xdio_handle *handle, uint32_t sector);
int xdio_read(xdio_handle *handle, void *buffer, int count);
int xdio_write(xdio_handle *handle, const void *data, int count);

enum { xdio_device_path_size = 32 };

// The path xdio_open opens for a name: the name itself when it does not begin with "(",
// else the device path written into device_path ("\\.\PhysicalDriveN", "\\.\A:", "\\.\B:").
// *partition is the partition number of "(hdN,P)"/"(fdN,P)", or -1 for the whole device.
// Null when a GRUB-style name is malformed or out of bounds.
const char *xdio_translate_name(const char *name, char device_path[xdio_device_path_size],
                                int *partition);
