// The sector layer, its name grammar and the partition walk, on disk images made at run time; the boot record;
// FAT32 layouts, judged by fsck.fat.
#include <gtest/gtest.h>

#include <string.h>
#include <sys/mman.h>
#include <unistd.h>

#include <array>
#include <filesystem>

#include "disk/boot_record.h"
#include "disk/fat32_format.h"
#include "disk/partition_walk.h"

namespace fs = std::filesystem;

static int sector_reads;  // the link wraps xdio_read to count the walk's reads
extern "C" int __real__Z9xdio_readP11xdio_handlePvi(xdio_handle *, void *, int);
extern "C" int __wrap__Z9xdio_readP11xdio_handlePvi(xdio_handle *disk, void *buffer, int count)
{
    ++sector_reads;
    return __real__Z9xdio_readP11xdio_handlePvi(disk, buffer, count);
}

struct entry { uint8_t type; uint32_t start, length; };
// A sector to write and its signature (0: none); its boot code, which the walk ignores, holds its number.
struct table { uint32_t sector; std::vector<entry> entries; uint16_t signature = 0xAA55; };
using layout = std::vector<table>;

// A sparse image in memory of sectors of size bytes, left open for the process; its path opens it again.
static std::string write_image(const layout &tables, uint64_t sectors = 1 << 16, uint32_t size = 512)
{
    int fd = memfd_create("image", 0);
    EXPECT_EQ(ftruncate(fd, (off_t)(sectors * size)), 0);
    for (const table &t : tables) {
        uint8_t bytes[512] = {};
        memcpy(bytes, &t.sector, 4);
        for (size_t i = 0; i < t.entries.size(); ++i)  // type, start, length; the padding lands on the CHS end
            memcpy(bytes + 446 + 16 * i + 4, &t.entries[i], sizeof(entry));
        memcpy(bytes + 510, &t.signature, 2);
        EXPECT_EQ(pwrite(fd, bytes, 512, (off_t)t.sector * size), 512);
    }
    return "/proc/self/fd/" + std::to_string(fd);
}

// Slot 0 an extended partition at base; count EBRs step sectors apart hold logical, the last {0x83, 0, 1}.
static layout chain(uint32_t base, uint32_t count, uint32_t step, entry logical)
{
    layout tables = {{0, {{5, base, count * step}}}};
    for (uint32_t i = 0; i + 1 < count; ++i)
        tables.push_back({base + i * step, {logical, {5, (i + 1) * step, step}}});
    tables.push_back({base + (count - 1) * step, {{0x83, 0, 1}}});
    return tables;
}

using part = std::array<uint32_t, 4>;  // number, type, start, length
struct walk { std::vector<part> parts; std::vector<int> reads; };  // reads of each call

// Calls the walk until it gives 1: wanted 255 enumerates, any other number is looked up.
static walk run_walk(const std::string &path, int wanted, uint32_t size = 512)
{
    walk w;
    xdio_handle *disk = xdio_open(path.c_str(), 0);
    if (disk) disk->sector_size = size;
    xdio_partition p = {255, (uint8_t)wanted, 0xEE, 0xEEEEEEEE, 0xEEEEEEEE, 0xEEEEEEEE};  // the walk sets
    for (int result = 0; disk && result == 0 && w.reads.size() < 300; w.reads.push_back(sector_reads)) {
        sector_reads = 0;
        if ((result = xdio_next_partition(disk, &p)) == 0) w.parts.push_back({p.number, p.type, p.start, p.length});
    }
    EXPECT_TRUE(disk && w.reads.size() < 300 && p.wanted == wanted) << "opens, ends, keeps wanted";
    return xdio_close(disk), w;
}

const table ext = {0, {{5, 100, 900}}};
const part ext_part = {0, 5, 100, 900};
const layout example = {{0, {{7, 63, 937}, {5, 2000, 8000}, {}, {0x83, 1100, 800}}},
                        {2000, {{0x83, 63, 1000}, {5, 1100}}}, {3100, {{0x0B, 63, 1900}}}};
const std::vector<part> example_parts = {{0, 7, 63, 937}, {1, 5, 2000, 8000}, {3, 0x83, 1100, 800},
                                         {4, 0x83, 2063, 1000}, {5, 0x0B, 3163, 1900}};
// Partition 0 fills the first 2 TiB; the link from the EBR at its end passes 2^32 sectors, and in 32 bits
// it would lead back to 0x100, inside partition 0.
const layout past_2_tib = {{0, {{0x83, 63, 0xFFFFFE00}, {5, 0xFFFFFF00, 0x100}}},
                           {0xFFFFFF00, {{0x83, 0x80, 9}, {5, 0x200, 9}}}, {0x100, {{0x83, 1, 9}}}};

// The enumeration, and the sector reads of each of its calls; looking up any number must agree.
struct walk_row {
    const char *name; layout tables; std::vector<part> parts = {}; std::vector<int> reads = {1}; uint32_t size = 512;
};
const walk_row walk_rows[] = {
    {"example", example, example_parts, {1, 0, 0, 1, 1, 0}},
    {"example_in_4096_byte_sectors", example, example_parts, {1, 0, 0, 1, 1, 0}, 4096},
    {"link_past_2_tib", past_2_tib, {{0, 0x83, 63, 0xFFFFFE00}, {1, 5, 0xFFFFFF00, 0x100}, {4, 0x83, 0xFFFFFF80, 9}},
     {1, 0, 1, 0}},
    {"no_signature", {{0, {{0x83, 63, 100}}, 0}}}, {"no_used_slot", {{0, {{}, {}, {}, {}}}}},
    {"used_slot_of_length_0", {{0, {{0x83, 63, 100}, {7, 500, 0}}}}}, {"at_sector_0", {{0, {{0x83, 0, 100}}}}},
    {"overlap_by_one_sector", {{0, {{0x83, 10, 6}, {}, {}, {0x0C, 15, 9}}}}},
    {"overlap_whose_end_passes_2_to_32", {{0, {{0x83, 0xFFFFFF00, 0x200}, {7, 0xFFFFFF80, 9}}}}},
    {"touching_no_extended", {{0, {{7, 10, 5}, {}, {}, {0x0C, 15, 9}}}}, {{0, 7, 10, 5}, {3, 0x0C, 15, 9}}, {1, 0, 0}},
    // Links count from the extended start, partitions from their EBR; the last link leads back.
    {"loop_through_entry_1", {ext, {100, {{0x83, 1, 9}, {5, 100, 9}}}, {200, {{0x83, 2, 9}, {0x0F, 200, 9}}},
                              {300, {{0x83, 3, 9}, {5, 100, 9}}}},
     {ext_part, {4, 0x83, 101, 9}, {5, 0x83, 202, 9}, {6, 0x83, 303, 9}}, {1, 1, 1, 1, 0}},
    {"loop_via_extended_entries_0", {ext, {100, {{5, 100}}}, {200, {{5, 200}}}, {300, {{5, 100}}}}, {ext_part}, {1, 3}},
    {"link_wrapping_to_mbr", {{0, {{0x83, 63, 9}, {5, 100, 900}}}, {100, {{0x83, 1, 9}, {5, 0u - 100, 9}}}},
     {{0, 0x83, 63, 9}, {1, 5, 100, 900}, {4, 0x83, 101, 9}}, {1, 0, 1, 0}},
    // The chain ends at a link of another type; entries 2 and 3 are never links.
    {"empty_first_ebr_takes_no_number",
     {ext, {100, {{}, {5, 100, 9}}}, {200, {{7, 63, 400}, {0x83, 300}, {5, 300}, {5, 300}}}, {400, {{0x83, 4, 9}}}},
     {ext_part, {4, 7, 263, 400}}, {1, 2, 0}},
    {"extended_entry_0_takes_no_number",  // nor is the link beside it (to 150) followed; 600 has no signature
     {ext, {100, {{5, 300}, {5, 50}}}, {150, {{0x83, 1, 1}}}, {400, {{0x83, 4, 9}, {5, 400}}}, {500, {{0x0F, 500}}},
      {600, {{0x0C, 6, 9}}, 0}}, {ext_part, {4, 0x83, 404, 9}}, {1, 2, 2}},
    {"only_lowest_extended_slot", {{0, {{7, 63, 9}, {0x0F, 900, 90}, {5, 100, 90}}}, {900, {{7, 9, 9}}}},
     {{0, 7, 63, 9}, {1, 0x0F, 900, 90}, {2, 5, 100, 90}, {4, 7, 909, 9}}, {1, 0, 0, 1, 0}},
    {"chain_of_300_ends_at_254", chain(16, 300, 16, {0x83, 0, 1}), [] {
         std::vector<part> p = {{0, 5, 16, 4800}};
         for (uint32_t n = 4; n < 255; ++n) p.push_back({n, 0x83, 16 * (n - 3), 1});
         return p; }(), [] { std::vector<int> r(253, 1); r.back() = 0; return r; }()},
    {"chain_longer_than_bound", chain(2, walk_ebr_limit + 1, 2, {}), {{0, 5, 2, 2 * walk_ebr_limit + 2}},
     {1, walk_ebr_limit}},
    {"chain_just_inside_bound", chain(2, walk_ebr_limit, 2, {}),
     {{0, 5, 2, 2 * walk_ebr_limit}, {4, 0x83, 2 * walk_ebr_limit, 1}}, {1, walk_ebr_limit, 0}},
};

TEST(partition_walk, enumerates_and_looks_up_each_layout)
{
    for (const walk_row &row : walk_rows) {
        SCOPED_TRACE(row.name);
        std::string path = write_image(row.tables, 1 << 16, row.size);
        walk all = run_walk(path, 255, row.size);
        EXPECT_EQ(all.parts, row.parts);
        EXPECT_EQ(all.reads, row.reads);
        // A look-up finds what the enumeration found, with the reads it took to get there, and ends.
        for (int wanted = 0, i = 0, reads = 0; wanted < 255; ++wanted) {
            walk one = run_walk(path, wanted, row.size), expected;
            if (i < (int)all.parts.size() && (int)all.parts[i][0] == wanted)
                expected = {{all.parts[i]}, {reads += all.reads[i++], 0}};  // braced items run in order
            EXPECT_EQ(one.parts, expected.parts) << "wanted " << wanted;
            if (!one.parts.empty()) EXPECT_EQ(one.reads, expected.reads) << "wanted " << wanted;
        }
    }
}

// The walk must find what sfdisk reports: on a disk sfdisk lays out on its own (extended 0x0F in slot 2), and on
// one past 2 TiB (1 << 32 | 0x200 sectors) where a link passes 2^32 sectors.
TEST(partition_walk, agrees_with_sfdisk)
{
    std::string made = write_image({}), script = "label: dos\\n1: start=2048 size=8192 type=7\\n"
        "3: start=10240 size=40960 type=f\\n4: start=51200 size=4096 type=83\\n5: start=12288 size=4096 type=83\\n"
        "6: start=18432 size=2048 type=b\\n' | sfdisk -q " + made + " && ";
    for (std::string path : {made, write_image(past_2_tib, 1ull << 32 | 0x200)}) {
        FILE *dump = popen(((path == made ? "printf '" + script : "") + "sfdisk -d " + path + " 2>&1").c_str(), "r");
        std::vector<part> reported;
        char line[256];
        for (part p; fgets(line, sizeof line, dump);)  // partition N is "<path>pN"
            if (sscanf(line, (path + "p%u : start= %u, size= %u, type=%x").c_str(), &p[0], &p[2], &p[3], &p[1]) == 4)
                reported.push_back({p[0] - 1, p[1], p[2], p[3]});
        EXPECT_TRUE(pclose(dump) == 0 && reported.size() == (path == made ? 5u : 3u)) << "sfdisk listed them";
        EXPECT_EQ(run_walk(path, 255).parts, reported);
    }
}

TEST(sector_layer, seeks_to_2_tib_reads_whole_sectors_stores_the_sector)
{
    static uint32_t data[256], tiny[4];  // not on the stack, where a huge read count may fail before reading
    xdio_handle *h = xdio_open(write_image({{UINT32_MAX, {}, 0}}, 1ull << 32).c_str(), 0);
    ASSERT_TRUE(h && xdio_seek(h, UINT32_MAX) == 0);
    EXPECT_TRUE(xdio_read(h, data, 1) == 0 && data[0] == UINT32_MAX && h->sector == 0) << "the last sector, 2 TiB in";
    ASSERT_EQ(xdio_seek(h, UINT32_MAX), 0);
    // Counts that make no byte count for one transfer: reading the last sector would overrun tiny.
    EXPECT_TRUE(xdio_read(h, tiny, -1) && xdio_read(h, tiny, 0x7FFFFFFF) && h->sector == UINT32_MAX);
    EXPECT_TRUE(xdio_read(h, data, 2) == 1 && h->sector == UINT32_MAX) << "a short read";
    xdio_close(h);
    xdio_handle closed = {1, -1, 0};  // a seek that fails stores the sector all the same
    EXPECT_TRUE(xdio_seek(&closed, 77) == 1 && closed.sector == 77);
}

// device: the path opened ("": the name itself, null: refused); start: where the handle stands, -1: no open.
// Every device is one image: slot 0 an extended partition at 256, partition P >= 4 at 256 + 64 * (P - 4).
struct name_row { const char *name, *device; int partition, start; };
const name_row name_rows[] = {
    {"(hd0)", "\\\\.\\PhysicalDrive0", -1, 0}, {"(hd9,29)", "\\\\.\\PhysicalDrive9", 29, 1856},
    {"(hd0x3,4)", "\\\\.\\PhysicalDrive3", 4, 256}, {"(hd010,1)", "\\\\.\\PhysicalDrive8", 1, -1},
    {"(hd1,035)", "\\\\.\\PhysicalDrive1", 29, 1856}, {"(hd)", "\\\\.\\PhysicalDrive0", -1, 0},
    {"(hd1,)", "\\\\.\\PhysicalDrive1", 0, 256}, {"(hd\t+4, 5)", "\\\\.\\PhysicalDrive4", 5, 320},
    {"(fd0)", "\\\\.\\A:", -1, 0}, {"(fd1,6)", "\\\\.\\B:", 6, 384}, {"disk.img", "", -1, 0},
    {"x(hd10)", "", -1, 0}, {" (hd0)", "", -1, 0}, {"\\\\.\\C:", "", -1, 0}, {"(hd10)"}, {"(hd-1)"},
    {"(hd0,-1)"}, {"(hd4294967296)"}, {"(hd-4294967295)"}, {"(hd0,4294967296)"}, {"(hd0,30)"}, {"(fd2)"},
    {"(cd0)"}, {"(HD0)"}, {"(hd08)"}, {"(hd0"}, {"(hd0,1"}, {"(hd0)x"}, {"(hd0,1)x"},
};

TEST(sector_layer, names_open_their_device_at_the_partition_start)
{
    std::string image = write_image(chain(256, 26, 64, {0x83, 0, 1}), 2048);
    std::string folder = testing::TempDir() + "zerka-names-XXXXXX";
    fs::current_path(mkdtemp(&folder[0]));
    // Each device path is a file here, and so is each refused name: it must not open as a path.
    std::error_code made_before;
    for (const name_row &row : name_rows)
        fs::create_symlink(image, row.device && *row.device ? row.device : row.name, made_before);
    auto before = std::distance(fs::directory_iterator("/proc/self/fd"), {});
    for (const name_row &row : name_rows) {
        SCOPED_TRACE(row.name);
        char device[xdio_device_path_size];
        int partition = 99;
        const char *path = row.device && !*row.device ? row.name : row.device;
        EXPECT_STREQ(xdio_translate_name(row.name, device, &partition), path);
        if (row.device) EXPECT_EQ(partition, row.partition);
        xdio_handle *h = xdio_open(row.name, 0);
        EXPECT_EQ(h != nullptr, row.device && row.start >= 0);
        uint32_t data[128];
        EXPECT_TRUE(!h || (h->sector == (uint32_t)row.start && !xdio_read(h, data, 1) && data[0] == h->sector - 1));
        xdio_close(h);
    }
    EXPECT_EQ(std::distance(fs::directory_iterator("/proc/self/fd"), {}), before) << "failed opens close all";
    fs::remove_all(folder);
}

// Sector 0: its code area ("": all zero), the boot flags of slots 0-3 (slot 1 extended, slot 2 empty) and 0x55AA.
static std::string mbr(const std::string &code, const char *flags, bool mark = true)
{
    std::string s = code + std::string(440 - code.size(), '\0') + "sig\x01\x02\x03";
    for (int slot = 0; slot < 4; ++slot)  // CHS, type, start, length: 16 bytes that must stay
        for (int i = 0; i < 16; ++i)
            s += i == 0 ? flags[slot] : i == 4 ? "\x0c\x05\x00\x83"[slot] : (char)(16 * slot + i);
    return s + (mark ? "\x55\xaa" : "\x55\x00");
}

TEST(boot_record, only_a_blank_code_area_and_a_missing_active_flag_change)
{
    const std::string code(440, '\xfa'), own = "\xeb\x63 owner's boot manager", zero(439, '\0');
    const char *nul = "\0\0\0";
    const struct { const char *name; std::string in; int target; std::string code, changes, out; } rows[] = {
        {"blank_gets_code_then_flag", mbr("", nul), 0, code, "CA", mbr(code, "\x80\0\0")},
        {"flag_on_slot_3", mbr("", nul), 3, code, "CA", mbr(code, "\0\0\0\x80")},
        {"owner_code_and_active_kept", mbr(own, "\0\x80\0"), 0, code, "", mbr(own, "\0\x80\0")},
        {"owner_code_gets_flag_only", mbr(own, nul), 0, "", "A", mbr(own, "\x80\0\0")},
        {"another_active_kept", mbr("", "\0\0\0\x80"), 0, code, "C", mbr(code, "\0\0\0\x80")},
        {"bit_7_is_active", mbr(own, "\x7f\0\0\x81"), 0, code, "", mbr(own, "\x7f\0\0\x81")},
        {"stray_flag_kept", mbr(own, "\x7f\0\0"), 3, code, "A", mbr(own, "\x7f\0\0\x80")},
        {"last_code_byte_counts", mbr(zero + "x", nul), 0, "", "A", mbr(zero + "x", "\x80\0\0")},
        {"logical_gets_code_no_flag", mbr("", nul), 4, code, "CL", mbr(code, nul)},
        {"logical_with_owner_code", mbr(own, nul), 7, code, "L", mbr(own, nul)},
        {"no_code_given", mbr("", nul), 0, "", "N", mbr("", nul)},
        {"code_of_zeros", mbr("", nul), 0, zero + '\0', "N", mbr("", nul)},
        {"no_0x55aa", mbr("", nul, false), 0, code, "", mbr("", nul, false)},
        {"empty_target_slot", mbr("", nul), 2, code, "", mbr("", nul)},
    };
    for (const auto &row : rows) {
        std::string sector = row.in, changes;
        const uint8_t *code = row.code.empty() ? nullptr : (const uint8_t *)row.code.data();
        for (int change = boot_record_code; change == boot_record_code || change == boot_record_active;) {
            change = boot_record_next_change((uint8_t *)&sector[0], row.target, code);
            if (change != boot_record_unchanged) changes += " CNAL"[change];
            if (changes.size() > 4) break;  // a fault that would go on for ever
        }
        EXPECT_EQ(changes, row.changes) << row.name;
        EXPECT_EQ(sector, row.out) << row.name;
    }
}

TEST(boot_record, only_a_primary_entry_of_another_type_becomes_fat32)
{
    const struct { std::string in; int target; char type; } rows[] = {  // the type afterwards, 0: all unchanged
        {mbr("", "\0\0\0"), 3, 0x0C}, {mbr("", "\0\0\0"), 0, 0}, {mbr("", "\0\0\0"), 2, 0}, {mbr("", "\0\0\0"), 4, 0},
        {mbr("", "\0\0\0", false), 3, 0}};
    for (const auto &row : rows) {
        std::string sector = row.in, out = row.in;
        if (row.type) out[446 + 16 * row.target + 4] = row.type;
        EXPECT_EQ(boot_record_fat32_type((uint8_t *)&sector[0], row.target), row.type != 0) << row.target;
        EXPECT_EQ(sector, out) << row.target;
    }
}

TEST(fat32, labels_are_kept_only_where_fat_can_hold_them)
{
    const char *rows[][2] = {{"zerka_usb", "ZERKA_USB  "}, {"My Stick 64", "MY STICK 64"}, {"", nullptr},
                             {"TWELVE_BYTES", nullptr}, {" LEAD", nullptr}, {"A.B", nullptr}, {"\xce\xd2", nullptr}};
    for (auto &row : rows) {
        char label[12] = {};
        EXPECT_EQ(fat32_label(row[0], label), row[1] == nullptr) << row[0];
        if (row[1]) EXPECT_STREQ(label, row[1]);
    }
}

struct sink { int fd; uint64_t bytes; std::vector<std::pair<uint32_t, uint32_t>> calls; size_t fail_at; };
static int to_image(void *context, uint32_t sector, const uint8_t *data, uint32_t count)
{
    sink &s = *(sink *)context;
    s.calls.push_back({sector, count});
    s.bytes += count * 512ull;
    for (uint32_t i = 0; i < count; ++i)  // zeros stay holes: the image is fresh
        if (memcmp(data + 512 * i, data + 512 * i + 1, 511) || data[512 * i])
            EXPECT_EQ(pwrite(s.fd, data + 512 * i, 512, (off_t)(sector + i) * 512), 512);
    return s.calls.size() == s.fail_at;
}

// Sizes from just above what Windows' dialog formats to FAT32's limit; fsck.fat judges those that stay cheap.
TEST(fat32, layouts_by_size_judged_by_fsck)
{
    const uint64_t G = 1000000000, Gi = 1ull << 30, T = 1ull << 40, sticks = 2048 * 512;
    const struct { const char *name; uint64_t size, start; uint32_t sector, cluster; int verdict; bool fsck; }
    rows[] = {
        {"32_gib_and_a_sector", 32 * Gi + 512, sticks, 512, 64, fat32_ok, true},
        {"64_gb", 64 * G, sticks, 512, 64, fat32_ok, true},
        {"128_gb_odd_start", 128 * G, 63 * 512, 512, 64, fat32_ok, true},
        {"256_gb", 256 * G, sticks, 512, 64, fat32_ok, true},
        {"2_tib_less_a_sector", 2 * T - 512, 0, 512, 64, fat32_ok},
        {"2_tib", 2 * T, 0, 512, 0, fat32_too_large}, {"start_past_2_tib", 64 * G, 2 * T, 512, 0, fat32_too_large},
        {"4096_byte_sectors", 64 * G, sticks, 4096, 0, fat32_sector_size}, {"8_gb", 8 * Gi, sticks, 512, 8, fat32_ok},
        {"too_few_clusters", 32 * 1000 * 1000, sticks, 512, 0, fat32_too_small},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        fat32_layout l = {};
        ASSERT_EQ(fat32_plan(row.size, row.start, row.sector, 1 << 20, &l), row.verdict);
        if (row.verdict != fat32_ok) continue;
        EXPECT_EQ(l.cluster_sectors, row.cluster);
        EXPECT_EQ(((row.start >> 9) + l.data_start) % 2048, 0u) << "the data area starts on a MiB of the disk";
        EXPECT_GE(l.fat_sectors * 128ull, l.clusters + 2ull) << "the FAT holds every cluster";
        uint64_t end = l.data_start + (uint64_t)l.clusters * l.cluster_sectors;
        EXPECT_TRUE(end <= l.sectors && end + l.cluster_sectors > l.sectors) << "as many clusters as fit";
        if (!row.fsck) continue;
        sink image = {memfd_create("fat32", 0), 0, {}, 0};
        ASSERT_EQ(ftruncate(image.fd, (off_t)row.size), 0);
        fat32_identity id = {0x1234ABCD, {'Z', 'E', 'R', 'K', 'A', ' ', ' ', ' ', ' ', ' ', ' '}, 0x5A21, 0x6000};
        ASSERT_EQ(fat32_write(&l, &id, to_image, &image), 0);
        EXPECT_LT(image.bytes, 100u << 20) << "a quick format";
        uint8_t boot[512], backup[512];
        EXPECT_TRUE(pread(image.fd, boot, 512, 0) == 512 && pread(image.fd, backup, 512, 6 * 512) == 512);
        EXPECT_EQ(memcmp(boot, backup, 512), 0) << "the backup boot sector";
        std::string path = "/proc/self/fd/" + std::to_string(image.fd), out;
        FILE *fsck = popen(("fsck.fat -n " + path + " 2>&1").c_str(), "r");
        for (char line[256]; fgets(line, sizeof line, fsck);) out += line;
        EXPECT_EQ(pclose(fsck), 0) << out;
        std::string count = "\n" + path + ": 1 files, 1/" + std::to_string(l.clusters) + " clusters\n";
        EXPECT_NE(out.find(count), out.npos) << out;
        close(image.fd);
    }
}

// Sector 0 is written last: a format cut short leaves nothing that looks like a file system. A failed write ends it.
TEST(fat32, boot_sector_comes_last_and_a_failed_write_ends_the_format)
{
    fat32_layout l;
    ASSERT_EQ(fat32_plan(64000000000, 1 << 20, 512, 1 << 20, &l), fat32_ok);
    fat32_identity id = {};
    for (size_t fail_at : {0, 3}) {
        sink calls = {-1, 0, {}, fail_at};
        EXPECT_EQ(fat32_write(&l, &id, [](void *c, uint32_t at, const uint8_t *, uint32_t n) -> int {
            return ((sink *)c)->calls.push_back({at, n}), ((sink *)c)->calls.size() == ((sink *)c)->fail_at;
        }, &calls), fail_at != 0);
        if (fail_at) EXPECT_EQ(calls.calls.size(), fail_at);
        else EXPECT_EQ(calls.calls.back(), std::make_pair(0u, 1u));
    }
}
