#include "disk/boot_record.h"

#include <string.h>

enum { table_offset = 446, entry_size = 16, boot_flag_active = 0x80 };

static int code_area_blank(const uint8_t *sector)
{
    for (int i = 0; i < boot_code_size; i++)
        if (sector[i] != 0) return 0;
    return 1;
}

// Bit 7 is what boot code tests; any such value is the owner's choice and stays.
static int any_entry_active(const uint8_t *sector)
{
    for (int slot = 0; slot < 4; slot++)
        if (sector[table_offset + slot * entry_size] & boot_flag_active) return 1;
    return 0;
}

int boot_record_next_change(uint8_t sector[512], int partition, const uint8_t *code)
{
    if (sector[510] != 0x55 || sector[511] != 0xAA || partition < 0) return boot_record_unchanged;
    uint8_t *entry = partition < 4 ? sector + table_offset + partition * entry_size : NULL;
    // The walk found the target there: an empty slot means the table is not the one it read.
    if (entry != NULL && entry[4] == 0) return boot_record_unchanged;
    if (code_area_blank(sector)) {
        // Code of zeros would leave the area blank: no code either.
        if (code == NULL || code_area_blank(code)) return boot_record_no_code;
        memcpy(sector, code, boot_code_size);
        return boot_record_code;
    }
    if (any_entry_active(sector)) return boot_record_unchanged;
    if (entry == NULL) return boot_record_logical;
    entry[0] = boot_flag_active;
    return boot_record_active;
}

int boot_record_fat32_type(uint8_t sector[512], int partition)
{
    if (sector[510] != 0x55 || sector[511] != 0xAA || partition < 0 || partition > 3) return 0;
    uint8_t *type = sector + table_offset + partition * entry_size + 4;
    if (*type == 0 || *type == 0x0B || *type == partition_type_fat32) return 0;
    *type = partition_type_fat32;
    return 1;
}
