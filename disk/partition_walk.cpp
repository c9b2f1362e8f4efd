#include "disk/partition_walk.h"

uint8_t table_sector[xdio_sector_max];

// EBR sectors read by the walk in progress (sector 0, the MBR, first): a link back to any
// of them would make the walk go round for ever.
static uint32_t walk_visited[walk_ebr_limit + 1];
static int walk_visited_count;

enum { table_offset = 446, entry_size = 16 };

struct table_entry {
    uint8_t type;
    uint32_t start;
    uint32_t length;
};

static uint32_t little_endian_32(const uint8_t *bytes)
{
    return (uint32_t)bytes[0] | (uint32_t)bytes[1] << 8 | (uint32_t)bytes[2] << 16 |
           (uint32_t)bytes[3] << 24;
}

static table_entry entry_of_table(int slot)
{
    const uint8_t *entry = table_sector + table_offset + slot * entry_size;
    table_entry result;
    result.type = entry[4];
    result.start = little_endian_32(entry + 8);
    result.length = little_endian_32(entry + 12);
    return result;
}

static bool is_extended(uint8_t type) { return type == 0x05 || type == 0x0F; }

static int read_table_sector(xdio_handle *disk, uint32_t sector)
{
    if (disk->sector_size > sizeof table_sector) return 1;
    if (xdio_seek(disk, sector) != 0 || xdio_read(disk, table_sector, 1) != 0) return 1;
    return table_sector[510] == 0x55 && table_sector[511] == 0xAA ? 0 : 1;
}

static int read_ebr(xdio_handle *disk, uint32_t sector)
{
    if (walk_visited_count > walk_ebr_limit) return 1;
    for (int i = 0; i < walk_visited_count; ++i) {
        if (walk_visited[i] == sector) return 1;
    }
    walk_visited[walk_visited_count++] = sector;
    return read_table_sector(disk, sector);
}

// Reads the MBR and checks its primary table: used slots have a length, none starts at
// sector 0 and none overlaps another.
static int start_walk(xdio_handle *disk)
{
    walk_visited[0] = 0;
    walk_visited_count = 1;
    if (read_table_sector(disk, 0) != 0) return 1;

    table_entry used[4];
    int count = 0;
    for (int slot = 0; slot < 4; ++slot) {
        table_entry entry = entry_of_table(slot);
        if (entry.type == 0) continue;
        if (entry.length == 0) return 1;
        // Insertion by start keeps the four entries sorted.
        int at = count++;
        while (at > 0 && used[at - 1].start > entry.start) {
            used[at] = used[at - 1];
            --at;
        }
        used[at] = entry;
    }
    if (count == 0 || used[0].start == 0) return 1;
    for (int i = 0; i + 1 < count; ++i) {
        // 64-bit: an end beyond 2^32 sectors must not wrap round to a small number.
        if ((uint64_t)used[i].start + used[i].length > used[i + 1].start) return 1;
    }
    return 0;
}

// Links and logical starts are relative. 1 when the sum passes 32 bits: in 32 bits it would
// wrap round to a sector near the disk's start, inside another partition.
static int add_sectors(uint32_t base, uint32_t offset, uint32_t *sum)
{
    uint64_t total = (uint64_t)base + offset;
    *sum = (uint32_t)total;
    return total > UINT32_MAX;
}

static int return_partition(xdio_partition *partition, int number, table_entry entry)
{
    partition->number = (uint8_t)number;
    partition->type = entry.type;
    partition->start = entry.start;
    partition->length = entry.length;
    return 0;
}

int xdio_next_partition(xdio_handle *disk, xdio_partition *partition)
{
    int candidate;
    if (partition->number == 255) {
        if (start_walk(disk) != 0) return 1;
        candidate = 0;
    } else {
        candidate = partition->number + 1;
    }
    // Past the primary slots table_sector holds an EBR whose link leads on.
    bool in_chain = candidate > 4;

    for (;;) {
        // 255 would read as the start of a new walk.
        if (partition->wanted < candidate || candidate >= 255) return 1;

        if (candidate < 4) {
            if (partition->wanted < 4) {
                table_entry entry = entry_of_table(partition->wanted);
                if (entry.type == 0) return 1;
                return return_partition(partition, partition->wanted, entry);
            }
            if (partition->wanted == 255) {
                for (int slot = candidate; slot < 4; ++slot) {
                    table_entry entry = entry_of_table(slot);
                    if (entry.type != 0) return return_partition(partition, slot, entry);
                }
            }
            candidate = 4;
            continue;
        }

        uint32_t ebr;
        if (!in_chain) {
            int slot = 0;
            while (slot < 4 && !is_extended(entry_of_table(slot).type)) ++slot;
            if (slot == 4) return 1;
            partition->ext_base = entry_of_table(slot).start;
            ebr = partition->ext_base;
            in_chain = true;
        } else {
            table_entry link = entry_of_table(1);
            if (!is_extended(link.type) || link.start == 0 || add_sectors(partition->ext_base, link.start, &ebr))
                return 1;
        }

        table_entry logical;
        for (;;) {
            partition->start = ebr;
            if (read_ebr(disk, ebr) != 0) return 1;
            logical = entry_of_table(0);
            if (!is_extended(logical.type)) break;
            if (logical.start == 0 || add_sectors(partition->ext_base, logical.start, &ebr)) return 1;
        }
        if (logical.type == 0) continue;  // an EBR without a partition takes no number

        if (partition->wanted == 255 || partition->wanted == candidate)
            return add_sectors(ebr, logical.start, &logical.start) ? 1
                                                                   : return_partition(partition, candidate, logical);
        ++candidate;
    }
}
