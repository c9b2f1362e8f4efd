#include "disk/xdio.h"

#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "disk/partition_walk.h"
#include "disk/xdio_runtime.h"

// A number of the name grammar, read like strtol with base 0 where long has 32 bits (the
// runtime of the installer), so a value only a 64-bit long could hold never wraps into range.
static uint32_t read_name_number(const char *text, const char **end)
{
    char *stop;
    long long value = strtoll(text, &stop, 0);
    if (value > INT32_MAX) value = INT32_MAX;
    if (value < INT32_MIN) value = INT32_MIN;
    *end = stop;
    return (uint32_t)(int32_t)value;
}

const char *xdio_translate_name(const char *name, char device_path[xdio_device_path_size],
                                int *partition)
{
    *partition = -1;
    if (name[0] != '(') return name;

    int floppy;
    if (name[1] == 'h' && name[2] == 'd') {
        floppy = 0;
    } else if (name[1] == 'f' && name[2] == 'd') {
        floppy = 1;
    } else {
        return NULL;
    }

    const char *rest;
    uint32_t disk = read_name_number(name + 3, &rest);
    if (disk > (floppy ? 1u : 9u)) return NULL;

    uint32_t part = UINT32_MAX;
    if (*rest == ',') {
        part = read_name_number(rest + 1, &rest);
        if (part > 29) return NULL;
    }
    if (rest[0] != ')' || rest[1] != '\0') return NULL;

    if (floppy) {
        snprintf(device_path, xdio_device_path_size, "\\\\.\\%c:", (char)('A' + disk));
    } else {
        snprintf(device_path, xdio_device_path_size, "\\\\.\\PhysicalDrive%d", (int)disk);
    }
    if (part != UINT32_MAX) *partition = (int)part;
    return device_path;
}

xdio_handle *xdio_open(const char *name, int writable)
{
    char device_path[xdio_device_path_size];
    int partition;
    const char *path = xdio_translate_name(name, device_path, &partition);
    if (path == NULL) return NULL;

    int fd = runtime_open(path, writable);
    if (fd < 0) return NULL;

    xdio_handle *handle = (xdio_handle *)malloc(sizeof(xdio_handle));
    if (handle == NULL) {
        runtime_close(fd);
        return NULL;
    }
    handle->kind = 1;
    handle->fd = fd;
    handle->sector = 0;
    handle->sector_size = xdio_sector_size;
    if (partition < 0) return handle;

    xdio_partition found;
    found.number = 255;
    found.wanted = (uint8_t)partition;
    if (xdio_next_partition(handle, &found) != 0 || xdio_seek(handle, found.start) != 0) {
        xdio_close(handle);
        return NULL;
    }
    return handle;
}

void xdio_close(xdio_handle *handle)
{
    if (handle == NULL) return;
    if (handle->kind == 1) runtime_close(handle->fd);
    free(handle);
}

static uint32_t sector_bytes(const xdio_handle *handle)
{
    return handle->sector_size != 0 ? handle->sector_size : (uint32_t)xdio_sector_size;
}

int xdio_seek(xdio_handle *handle, uint32_t sector)
{
    handle->sector = sector;
    if (handle->kind != 1) return 0;
    int64_t offset = (int64_t)((uint64_t)sector * sector_bytes(handle));
    return runtime_seek(handle->fd, offset) == offset ? 0 : 1;
}

// Byte size of a transfer of count sectors; 0 when the count is negative or too large for
// one runtime call, which would otherwise turn into a huge unsigned size.
static unsigned transfer_size(const xdio_handle *handle, int count)
{
    if (count < 0 || (unsigned)count > INT_MAX / sector_bytes(handle)) return 0;
    return (unsigned)count * sector_bytes(handle);
}

int xdio_read(xdio_handle *handle, void *buffer, int count)
{
    unsigned size = transfer_size(handle, count);
    if (size == 0 && count != 0) return 1;
    if (runtime_read(handle->fd, buffer, size) != (int64_t)size) return 1;
    handle->sector += (uint32_t)count;
    return 0;
}

int xdio_write(xdio_handle *handle, const void *data, int count)
{
    unsigned size = transfer_size(handle, count);
    if (size == 0 && count != 0) return 1;
    if (runtime_write(handle->fd, data, size) != (int64_t)size) return 1;
    handle->sector += (uint32_t)count;
    return 0;
}
