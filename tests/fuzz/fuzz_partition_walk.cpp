// libFuzzer target of the partition walk: 11-byte entries (sector, slot, type, start, length; slot 4-7
// also unsigns the sector) laid into a 256-sector image. Walks end, numbers rise below 255, look-ups agree.
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <unistd.h>

#include "disk/partition_walk.h"

static void check(bool ok) { if (!ok) abort(); }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    uint8_t image[256 * 512] = {};
    for (size_t i = 0; i + 11 <= size; i += 11) {
        uint8_t *sector = image + 512 * data[i], *entry = sector + 446 + 16 * (data[i + 1] & 3);
        entry[4] = data[i + 2];
        memcpy(entry + 8, data + i + 3, 8);
        memcpy(sector + 510, data[i + 1] < 4 ? "\x55\xAA" : "\0\0", 2);
    }
    static xdio_handle disk = {1, memfd_create("image", 0), 0};
    check(pwrite(disk.fd, image, sizeof image, 0) == sizeof image);
    xdio_partition found[256], p = {255, 255};
    int count = 0, last = -1;
    for (; xdio_next_partition(&disk, &p) == 0; last = p.number, found[count++] = p)
        check(p.number < 255 && p.number > last);
    for (int wanted = 0, i = 0; wanted <= last + 1 && wanted < 255; ++wanted) {
        xdio_partition one = {255, (uint8_t)wanted}, &e = found[i];
        bool listed = i < count && e.number == wanted;
        check(xdio_next_partition(&disk, &one) == !listed);
        check(!listed || (one.type == e.type && one.start == e.start && one.length == e.length &&
                          xdio_next_partition(&disk, &one) == 1));
        i += listed;
    }
    return 0;
}
