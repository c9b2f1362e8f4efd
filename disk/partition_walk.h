#pragma once
#include <stdint.h>

#include "disk/xdio.h"

// One walk over a disk's MBR and EBR chain, carried by the caller from call to call.
// Set number = 255 to start; wanted = 255 enumerates, 0..254 asks for that partition only.
struct xdio_partition {
    uint8_t number;     // partition returned last (GRUB numbering: slots 0..3, logical from 4)
    uint8_t wanted;
    uint8_t type;
    uint32_t start;     // absolute first sector (in the disk's sectors); the EBR being read while in the chain
    uint32_t length;
    uint32_t ext_base;  // first sector of the extended partition whose chain is followed
};

// 0: the record holds the next (or the wanted) partition; 1: no more, or invalid tables.
// Keeps the table sector read last in table_sector, so only one walk may run at a time.
// A table or partition whose sector number passes 32 bits (a sum that would wrap) lies
// beyond any disk the tables can describe and ends the walk.
int xdio_next_partition(xdio_handle *disk, xdio_partition *partition);

extern uint8_t table_sector[xdio_sector_max];  // the table is in its first 512 bytes

// Most EBRs one walk reads: a chain that is longer, or that comes back to a sector it
// already read, ends the walk.
enum { walk_ebr_limit = 1024 };
