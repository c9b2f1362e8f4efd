// Formats an image file FAT32 with the installer's own writer, as the installer does on a volume:
// every piece written, read back and compared. Prints the layout and the bytes written.
//   fat32_bench IMAGE SIZE_BYTES START_BYTES ALIGN_BYTES
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "disk/fat32_format.h"

static unsigned long long written;
static unsigned char check[fat32_chunk_sectors * 512];

static int write_and_compare(void *context, uint32_t sector, const uint8_t *data, uint32_t count)
{
    int fd = *(int *)context;
    size_t bytes = count * 512ull;
    off_t at = (off_t)sector * 512;
    if (pwrite(fd, data, bytes, at) != (ssize_t)bytes || pread(fd, check, bytes, at) != (ssize_t)bytes)
        return 1;
    written += bytes;
    return memcmp(check, data, bytes) != 0;
}

int main(int argc, char **argv)
{
    if (argc != 5) {
        fprintf(stderr, "usage: fat32_bench IMAGE SIZE_BYTES START_BYTES ALIGN_BYTES\n");
        return 2;
    }
    fat32_layout layout;
    int verdict = fat32_plan(strtoull(argv[2], NULL, 0), strtoull(argv[3], NULL, 0), 512,
                             (uint32_t)strtoul(argv[4], NULL, 0), &layout);
    int fd = open(argv[1], O_RDWR);
    if (verdict != fat32_ok || fd < 0) {
        fprintf(stderr, "fat32_bench: %s\n", fd < 0 ? "cannot open the image" : "no FAT32 layout");
        return 1;
    }
    fat32_identity identity = {0x5A45524B, {'Z', 'E', 'R', 'K', 'A', ' ', ' ', ' ', ' ', ' ', ' '}, 0, 0};
    if (fat32_write(&layout, &identity, write_and_compare, &fd) || close(fd)) {
        fprintf(stderr, "fat32_bench: a write failed\n");
        return 1;
    }
    printf("reserved=%u fat_sectors=%u clusters=%u data_start=%u written=%llu\n", layout.reserved,
           layout.fat_sectors, layout.clusters, layout.data_start, written);
    return 0;
}
