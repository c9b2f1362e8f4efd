#pragma once
// Disk images for the sector layer and the partition walk, built byte by byte at run time.
#include <stdint.h>

#include <map>
#include <string>
#include <vector>

struct test_entry {
    uint8_t type;
    uint32_t start;
    uint32_t length;
};

// A sector with a partition table: boot code left zero, four entries, the 0xAA55 signature.
struct table_block {
    test_entry entries[4] = {};
    bool signature = true;
};

// A sparse image: only the sectors set are written; the file has size_sectors sectors.
struct disk_image {
    uint64_t size_sectors = 20480;
    std::map<uint64_t, std::vector<uint8_t>> sectors;

    void table(uint64_t sector, const table_block &block);
    void fill(uint64_t sector, uint8_t byte);  // a marker sector
    void write(const std::string &path) const;
};

// Reads of the sector layer (xdio_read calls) since the last reset, counted by a link-time
// wrapper in the test program.
void reset_sector_reads();
int sector_reads();

// A fresh temporary folder, removed with everything in it when the object goes.
struct temp_folder {
    std::string path;
    temp_folder();
    ~temp_folder();
    std::string file(const std::string &name) const { return path + "/" + name; }
};

// Changes the working folder for one scope, so "\\.\PhysicalDriveN" can be a file there.
struct working_folder {
    std::string previous;
    explicit working_folder(const std::string &path);
    ~working_folder();
};

// Number of open descriptors of the process, to see that nothing is left open.
int open_descriptors();
