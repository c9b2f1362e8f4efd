#pragma once
// The runtime library's low-level file calls the sector layer is built on: msvcrt's on
// Windows, POSIX elsewhere so the layer runs natively against image files.
#include <stdint.h>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#include <stdio.h>

inline int runtime_open(const char *path, int writable)
{
    return _open(path, writable ? (_O_BINARY | _O_RDWR) : (_O_BINARY | _O_RDONLY));
}
inline int64_t runtime_seek(int fd, int64_t offset) { return _lseeki64(fd, offset, SEEK_SET); }
inline int64_t runtime_read(int fd, void *buffer, unsigned size) { return _read(fd, buffer, size); }
inline int64_t runtime_write(int fd, const void *data, unsigned size) { return _write(fd, data, size); }
inline void runtime_close(int fd) { _close(fd); }

#else
#include <fcntl.h>
#include <stdio.h>
#include <sys/types.h>
#include <unistd.h>

#ifndef O_LARGEFILE
#define O_LARGEFILE 0
#endif
static_assert(sizeof(off_t) == 8, "64-bit file offsets are needed for disks over 4 GiB");

inline int runtime_open(const char *path, int writable)
{
    return open(path, (writable ? O_RDWR : O_RDONLY) | O_LARGEFILE);
}
inline int64_t runtime_seek(int fd, int64_t offset) { return lseek(fd, (off_t)offset, SEEK_SET); }
inline int64_t runtime_read(int fd, void *buffer, unsigned size) { return read(fd, buffer, size); }
inline int64_t runtime_write(int fd, const void *data, unsigned size) { return write(fd, data, size); }
inline void runtime_close(int fd) { close(fd); }
#endif
