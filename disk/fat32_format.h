#pragma once
// FAT32 as Microsoft's published FAT32 document (fatgen103) lays it out, made by a quick format: the reserved area,
// both FATs and the root cluster are written, nothing else. Portable: the sectors go out through
// a callback, to a volume handle on Windows or to an image file in the tests.
#include <stdint.h>

enum fat32_verdict {
    fat32_ok,
    fat32_sector_size,  // only 512-byte sectors are made
    fat32_too_small,    // fewer than 65,525 clusters would be FAT12 or FAT16
    fat32_too_large,    // more than 2^32 - 1 sectors or 0x0FFFFFF5 clusters, or a start past 2^32 - 1
};

struct fat32_layout {
    uint32_t sectors;          // of the volume
    uint32_t hidden;           // sectors of the disk before the volume
    uint32_t cluster_sectors;
    uint32_t reserved;         // chosen so that the data area starts on an alignment boundary of the disk
    uint32_t fat_sectors;      // of one FAT; there are two
    uint32_t clusters;
    uint32_t data_start;       // first sector of cluster 2, counted from the volume's start
};

// The layout of a volume of size bytes starting start bytes into its disk, whose first data cluster
// starts on a multiple of align bytes of the disk (a power of two; 1 MiB for flash erase blocks).
int fat32_plan(uint64_t size, uint64_t start, uint32_t sector_size, uint32_t align, fat32_layout *layout);

struct fat32_identity {
    uint32_t serial;  // the volume serial number
    char label[11];   // padded with blanks
    uint16_t date, time;  // DOS date and time of the label's directory entry
};

// The label as FAT stores it: upper case, blank-padded; 1 when name is no valid FAT label (empty,
// longer than 11 bytes, a leading blank or a byte a short name may not hold; only ASCII is taken,
// since the ANSI and the OEM code page need not agree).
int fat32_label(const char *name, char label[11]);

// Writes count sectors of data at sector of the volume; 0 when done.
typedef int (*fat32_write_sectors)(void *context, uint32_t sector, const uint8_t *data, uint32_t count);

enum { fat32_chunk_sectors = 2048 };  // the most sectors one call of the callback writes

// Writes the reserved area with sector 0 blank, both FATs, the root cluster and, last, the boot
// sector: a format cut short leaves no file system that looks whole. 0 when every write was done.
int fat32_write(const fat32_layout *layout, const fat32_identity *identity, fat32_write_sectors write,
                void *context);
