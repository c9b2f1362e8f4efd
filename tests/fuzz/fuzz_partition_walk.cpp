// libFuzzer target: the partition walk over arbitrary disk image bytes.
// Checks what every caller relies on: the walk ends, each call reads a bounded number of
// sectors, numbers rise and never reach 255, and looking a partition up by its number
// gives what the enumeration gave.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <unistd.h>

#include "disk/partition_walk.h"
#include "disk/xdio.h"

static int sector_reads;

extern "C" int __real__Z9xdio_readP11xdio_handlePvi(xdio_handle *, void *, int);
extern "C" int __wrap__Z9xdio_readP11xdio_handlePvi(xdio_handle *handle, void *buffer, int count)
{
    ++sector_reads;
    return __real__Z9xdio_readP11xdio_handlePvi(handle, buffer, count);
}

static void check(bool condition, const char *what)
{
    if (!condition) {
        fprintf(stderr, "partition walk fault: %s\n", what);
        abort();
    }
}

struct entry {
    uint8_t number, type;
    uint32_t start, length;
};

static int image_fd = -1;
static char image_path[64];

static int lookup(uint8_t wanted, entry *out)
{
    xdio_handle *disk = xdio_open(image_path, 0);
    check(disk != nullptr, "image opens");
    xdio_partition p;
    p.number = 255;
    p.wanted = wanted;
    sector_reads = 0;
    int result = xdio_next_partition(disk, &p);
    check(sector_reads <= walk_ebr_limit + 1, "reads of one lookup bounded");
    check(p.wanted == wanted, "wanted unchanged");
    xdio_close(disk);
    if (result == 0) {
        check(p.number == wanted, "lookup returns the wanted number");
        *out = {p.number, p.type, p.start, p.length};
    }
    return result;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (image_fd < 0) {
        image_fd = memfd_create("image", 0);
        check(image_fd >= 0, "memfd");
        snprintf(image_path, sizeof image_path, "/proc/self/fd/%d", image_fd);
    }
    if (ftruncate(image_fd, 0) != 0) return 0;
    if (size > 0 && pwrite(image_fd, data, size, 0) != (ssize_t)size) return 0;

    xdio_handle *disk = xdio_open(image_path, 0);
    check(disk != nullptr, "image opens");
    entry found[256];
    int count = 0;
    xdio_partition p;
    p.number = 255;
    p.wanted = 255;
    for (;;) {
        check(count < 256, "the walk ends");
        sector_reads = 0;
        int result = xdio_next_partition(disk, &p);
        check(sector_reads <= walk_ebr_limit + 1, "reads of one call bounded");
        if (result != 0) break;
        check(p.number <= 254, "numbers stay below 255");
        check(count == 0 || p.number > found[count - 1].number, "numbers rise");
        found[count++] = {p.number, p.type, p.start, p.length};
    }
    xdio_close(disk);

    // Lookups agree with the enumeration (all of them for small tables, else a few).
    for (int i = 0; i < count; i += count <= 16 ? 1 : count / 8) {
        entry e;
        check(lookup(found[i].number, &e) == 0, "an enumerated number can be looked up");
        check(e.type == found[i].type && e.start == found[i].start && e.length == found[i].length,
              "lookup and enumeration agree");
    }
    // A number taken from the ignored boot code: found exactly when enumerated.
    if (size > 0 && data[0] != 255) {
        entry e;
        bool listed = false;
        for (int i = 0; i < count; ++i) listed = listed || found[i].number == data[0];
        check((lookup(data[0], &e) == 0) == listed, "lookup finds exactly the enumerated numbers");
    }
    return 0;
}
