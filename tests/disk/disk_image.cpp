#include "disk/disk_image.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <stdexcept>

#include "disk/xdio.h"

void disk_image::table(uint64_t sector, const table_block &block)
{
    std::vector<uint8_t> bytes(512, 0);
    for (int slot = 0; slot < 4; ++slot) {
        uint8_t *entry = &bytes[446 + slot * 16];
        const test_entry &e = block.entries[slot];
        entry[4] = e.type;
        for (int i = 0; i < 4; ++i) {
            entry[8 + i] = (uint8_t)(e.start >> (8 * i));
            entry[12 + i] = (uint8_t)(e.length >> (8 * i));
        }
        // CHS fields and the boot flag are noise the walk must ignore.
        entry[0] = 0x80;
        entry[1] = entry[2] = entry[3] = entry[5] = entry[6] = entry[7] = 0xFE;
    }
    if (block.signature) {
        bytes[510] = 0x55;
        bytes[511] = 0xAA;
    }
    sectors[sector] = bytes;
}

void disk_image::fill(uint64_t sector, uint8_t byte) { sectors[sector] = std::vector<uint8_t>(512, byte); }

void disk_image::write(const std::string &path) const
{
    int fd = open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) throw std::runtime_error("cannot create " + path);
    bool ok = ftruncate(fd, (off_t)(size_sectors * 512)) == 0;
    for (const auto &[sector, bytes] : sectors) {
        ok = ok && pwrite(fd, bytes.data(), 512, (off_t)(sector * 512)) == 512;
    }
    close(fd);
    if (!ok) throw std::runtime_error("cannot write " + path);
}

static int read_count;

extern "C" int __real__Z9xdio_readP11xdio_handlePvi(xdio_handle *, void *, int);
extern "C" int __wrap__Z9xdio_readP11xdio_handlePvi(xdio_handle *handle, void *buffer, int count)
{
    ++read_count;
    return __real__Z9xdio_readP11xdio_handlePvi(handle, buffer, count);
}

void reset_sector_reads() { read_count = 0; }
int sector_reads() { return read_count; }

temp_folder::temp_folder()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "zerka-disk-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp");
    path = pattern;
}

temp_folder::~temp_folder()
{
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
}

working_folder::working_folder(const std::string &path)
{
    previous = std::filesystem::current_path().string();
    std::filesystem::current_path(path);
}

working_folder::~working_folder() { std::filesystem::current_path(previous); }

int open_descriptors()
{
    int count = 0;
    DIR *dir = opendir("/proc/self/fd");
    while (dirent *entry = readdir(dir)) {
        if (entry->d_name[0] != '.') ++count;
    }
    closedir(dir);
    return count;
}
