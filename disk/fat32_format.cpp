#include "disk/fat32_format.h"

#include <string.h>

enum {
    sector_bytes = 512,
    fsinfo_sector = 1,
    backup_sector = 6,  // the backup boot sector; its FSInfo follows it
    min_reserved = 32,
    min_clusters = 65525,
    max_clusters = 0x0FFFFFF5,
    entries_per_sector = sector_bytes / 4,
};

static void put16(uint8_t *at, uint32_t value)
{
    at[0] = (uint8_t)value;
    at[1] = (uint8_t)(value >> 8);
}

static void put32(uint8_t *at, uint32_t value)
{
    put16(at, value);
    put16(at + 2, value >> 16);
}

// Sectors per cluster by volume size (Microsoft's table for 512-byte sectors; above
// 32 GiB Windows takes 32 KiB clusters too).
static uint32_t cluster_sectors_for(uint64_t sectors)
{
    static const struct {
        uint64_t up_to;
        uint32_t cluster;
    } table[] = {{532480, 1}, {16777216, 8}, {33554432, 16}, {67108864, 32}};
    for (const auto &row : table)
        if (sectors <= row.up_to)
            return row.cluster;
    return 64;
}

int fat32_plan(uint64_t size, uint64_t start, uint32_t sector_size, uint32_t align, fat32_layout *layout)
{
    if (sector_size != sector_bytes)
        return fat32_sector_size;
    uint64_t sectors = size / sector_bytes, hidden = start / sector_bytes;
    if (sectors > UINT32_MAX || hidden > UINT32_MAX)
        return fat32_too_large;
    uint32_t cluster = cluster_sectors_for(sectors);
    // Microsoft's FAT size with the fewest reserved sectors: enough for every layout that
    // reserves more, as the alignment below does.
    uint64_t per_sector = (256ull * cluster + 2) / 2;
    uint64_t fat = (sectors > min_reserved ? sectors - min_reserved + per_sector - 1 : 0) / per_sector;
    uint64_t align_sectors = align > sector_bytes ? align / sector_bytes : 1;
    uint64_t reserved = min_reserved;
    reserved += (align_sectors - (hidden + reserved + 2 * fat) % align_sectors) % align_sectors;
    uint64_t data = reserved + 2 * fat;
    uint64_t clusters = sectors > data ? (sectors - data) / cluster : 0;
    if (clusters < min_clusters)
        return fat32_too_small;
    if (clusters > max_clusters)
        return fat32_too_large;
    *layout = {(uint32_t)sectors, (uint32_t)hidden, cluster, (uint32_t)reserved, (uint32_t)fat,
               (uint32_t)clusters, (uint32_t)data};
    return fat32_ok;
}

int fat32_label(const char *name, char label[11])
{
    size_t length = strlen(name);
    if (length == 0 || length > 11 || name[0] == ' ')
        return 1;
    for (size_t i = 0; i < 11; i++) {
        unsigned char c = i < length ? (unsigned char)name[i] : ' ';
        if (c < 0x20 || c > 0x7E || strchr("\"*+,./:;<=>?[\\]|", c) != NULL)
            return 1;
        label[i] = (char)(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    }
    return 0;
}

static void boot_sector(const fat32_layout *l, const fat32_identity *id, uint8_t *s)
{
    memcpy(s, "\xEB\x58\x90MSWIN4.1", 11);
    put16(s + 11, sector_bytes);
    s[13] = (uint8_t)l->cluster_sectors;
    put16(s + 14, l->reserved);
    s[16] = 2;                          // FATs; no fixed root directory, no 16-bit counts
    s[21] = 0xF8;                       // media: fixed
    put16(s + 24, 63);                  // sectors per track and heads, as BIOSes translate large disks
    put16(s + 26, 255);
    put32(s + 28, l->hidden);
    put32(s + 32, l->sectors);
    put32(s + 36, l->fat_sectors);
    put32(s + 44, 2);                   // the root directory's cluster
    put16(s + 48, fsinfo_sector);
    put16(s + 50, backup_sector);
    s[64] = 0x80;                       // drive number
    s[66] = 0x29;                       // the serial, label and type follow
    put32(s + 67, id->serial);
    memcpy(s + 71, id->label, 11);
    memcpy(s + 82, "FAT32   ", 8);
    // Started all the same, it hands over to the next boot device.
    memcpy(s + 90, "\xCD\x18\xEB\xFE", 4);
    s[510] = 0x55;
    s[511] = 0xAA;
}

static void fsinfo(const fat32_layout *l, uint8_t *s)
{
    put32(s, 0x41615252);
    put32(s + 484, 0x61417272);
    put32(s + 488, l->clusters - 1);  // all free but the root's
    put32(s + 492, 3);                // where to look for a free one
    put32(s + 508, 0xAA550000);
}

// Sector n of the volume, as the format leaves it; the boot sector only when boot is set.
static void volume_sector(const fat32_layout *l, const fat32_identity *id, uint32_t n, int boot, uint8_t *s)
{
    memset(s, 0, sector_bytes);
    uint32_t fat_end = l->reserved + 2 * l->fat_sectors;
    if (n == 0 || n == backup_sector) {
        if (boot || n == backup_sector)
            boot_sector(l, id, s);
    } else if (n == fsinfo_sector || n == backup_sector + 1) {
        fsinfo(l, s);
    } else if (n >= l->reserved && n < fat_end && (n - l->reserved) % l->fat_sectors == 0) {
        put32(s, 0x0FFFFFF8);      // the media byte
        put32(s + 4, 0x0FFFFFFF);  // end of chain, with the clean-shutdown and no-error bits set
        put32(s + 8, 0x0FFFFFFF);  // the root directory: one cluster
    } else if (n == l->data_start) {
        memcpy(s, id->label, 11);
        s[11] = 0x08;  // the volume label
        put16(s + 22, id->time);
        put16(s + 24, id->date);
    }
}

static uint8_t chunk[fat32_chunk_sectors * sector_bytes];

static int write_range(const fat32_layout *l, const fat32_identity *id, uint32_t first, uint32_t end, int boot,
                       fat32_write_sectors write, void *context)
{
    while (first < end) {
        uint32_t count = end - first < (uint32_t)fat32_chunk_sectors ? end - first : (uint32_t)fat32_chunk_sectors;
        for (uint32_t i = 0; i < count; i++)
            volume_sector(l, id, first + i, boot, chunk + i * sector_bytes);
        if (write(context, first, chunk, count))
            return 1;
        first += count;
    }
    return 0;
}

int fat32_write(const fat32_layout *l, const fat32_identity *id, fat32_write_sectors write, void *context)
{
    return write_range(l, id, 0, l->data_start, 0, write, context) ||
           write_range(l, id, l->data_start, l->data_start + l->cluster_sectors, 0, write, context) ||
           write_range(l, id, 0, 1, 1, write, context);
}
