#pragma once
// Sector 0 of a partitioned stick: what a BIOS needs to start the partition holding the
// installation. SeaBIOS and PCs alike start such a disk only when its boot-code area holds code
// and one primary entry is marked active.
#include <stdint.h>

enum { boot_code_size = 440 };  // bytes 0-439; the disk signature, the table and 0x55AA follow

enum boot_record_change {
    boot_record_unchanged,  // nothing (more) to change
    boot_record_code,       // the all-zero code area was given the code
    boot_record_no_code,    // the code area is all zero and no code was given: left as it is
    boot_record_active,     // no primary entry was active; the target's entry is now (0x80)
    boot_record_logical,    // none is active, and a logical target cannot be: left as it is
};

// Makes in place the next change that sector 0 needs, for the target partition numbered as the
// walk numbers it (slots 0-3, logical from 4), and says which; code holds boot_code_size bytes,
// or is null. Called again until it gives anything but boot_record_code or boot_record_active.
// Nothing but the code area and the target's boot flag ever changes; a sector without 0x55AA or
// whose target slot is empty is left alone, and so is any present code or active flag.
int boot_record_next_change(uint8_t sector[512], int partition, const uint8_t *code);

enum { partition_type_fat32 = 0x0C };  // FAT32 reached by LBA

// Gives the target's primary entry the type 0x0C unless it holds a FAT32 type already (0x0B,
// 0x0C); 1 when it changed. Nothing else changes; a sector without 0x55AA, an empty slot and a
// logical target (its type lies in an extended boot record) are left alone.
int boot_record_fat32_type(uint8_t sector[512], int partition);
