// The "7z l" listing as the job reads it (7-Zip 26.02 and 9.20 layouts), and the job's arithmetic.
#include <gtest/gtest.h>
#include <regex.h>

#include <climits>

#include "job/listing.h"

using file_list = std::vector<std::pair<std::string, long long>>;

// Linked with -Wl,--wrap=regcomp: fails on demand, after compiling, so a program going on would not hang.
static bool regcomp_fails = false;
extern "C" int __real_regcomp(regex_t *re, const char *pattern, int flags);
extern "C" int __wrap_regcomp(regex_t *re, const char *pattern, int flags)
{
    return __real_regcomp(re, pattern, flags) != 0 || regcomp_fails ? REG_ESPACE : 0;
}

// A file line (old layout: blank attributes) or a totals line ("N files..." as name; old: no date).
static std::string line(const std::string &date_attributes, long long size, const std::string &name)
{
    return date_attributes + "  " + std::to_string(size) + "  " + std::to_string(size) + "  " + name + "\r\n";
}
static std::string cur(long long size, std::string name) { return line("2026-12-06 21:44:02 .....", size, name); }
static std::string old(long long size, std::string name) { return line("2010-05-01 10:00:00      ", size, name); }
static std::string cur_sum(long long size, const char *words) { return line("2026-12-06 21:44:02      ", size, words); }
static std::string old_sum(long long size, const char *words) { return line(std::string(25, ' '), size, words); }
static std::string listing(bool old, const std::string &files, const std::string &after_rule)
{
    const std::string rule = "------------------- ----- ------------ ------------  ------------------------\r\n";
    return std::string(old ? "7-Zip 9.20" : "7-Zip (z) 26.02 (x86)") + " : Igor Pavlov\r\n\r\n--\r\nPath = t.iso\r\n" +
           "\r\n   Date      Time    Attr         Size   Compressed  Name\r\n" + rule + files + rule + after_rule;
}

const std::string boot = cur(5000, "initrd.gz") + cur(3000, "vmlinuz"), gbk = "\xD6\xD0\\\xB2\xE2.sfs";
const file_list boot_files = {{"initrd.gz", 5000}, {"vmlinuz", 3000}};
enum { usable = listing_usable, refused = listing_refused_name, missing = listing_missing_boot_files,
       repeated = listing_repeated_name };

TEST(Listing, TotalFilesAndVerdict)
{
    const struct { std::string text; long long total; file_list files; int verdict; } rows[] = {  // -1: no totals
        {listing(false, "2026-12-06 21:44:02 D....                            dir.sfs\r\n" + boot + cur(7, "z.sfs"),
                 cur_sum(8007, "3 files, 1 folders")), 8007, {boot_files[0], boot_files[1], {"z.sfs", 7}}, usable},
        {cur(9, "a") + listing(false, boot, cur_sum(8000, "2 FiLes")) + cur(9, "b"), 8000, boot_files, usable},
        {old_sum(8000, "2 files, 0 folders") + listing(false, boot, ""), -1, boot_files, usable},
        {listing(false, cur(3000000000, "a.sfs") + cur(2147483648, "b.sfs") + boot, cur_sum(5147491648, "4 files")),
         5147491648, {{"a.sfs", 3000000000}, {"b.sfs", 2147483648}, boot_files[0], boot_files[1]}, usable},
        {listing(true, old(5000, "initrd.gz") + old(1LL << 32, "vmlinuz"), old_sum(4294972296, "2 files, 0 folders")),
         4294972296, {{"initrd.gz", 5000}, {"vmlinuz", 1LL << 32}}, usable},
        {"\r\n" + old(5000, "initrd.gz") + old(3, "my vmlinuz") + old_sum(5003, "2 FILES, 0 Folders"), 5003,
         {{"initrd.gz", 5000}, {"my vmlinuz", 3}}, missing},
        {"12:00:00\r\n  500  500  a.sfs\r\n10:00:00  7  7  b.sfs\r\n", -1, {{"b.sfs", 7}}, missing},
        {listing(false, cur(1, "my zerka.sfs") + cur(2, "boot\\VMLINUZ") + cur(3, gbk) + cur(4, "Initrd.gz"), ""), -1,
         {{"my zerka.sfs", 1}, {"boot\\VMLINUZ", 2}, {gbk, 3}, {"Initrd.gz", 4}}, usable},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.text);
        std::string text = row.text;  // cut in place
        long long total = -2;
        EXPECT_EQ(listing_total(&text[0], &total) == 0 ? total : -1, row.total);
        listing_cursor cursor;
        listing_file file;
        std::vector<listing_file> files;
        file_list named;
        for (listing_begin(&cursor, &text[0]); listing_next(&cursor, &file); files.push_back(file))
            named.emplace_back(file.name, file.size);
        EXPECT_EQ(named, row.files);
        EXPECT_EQ(listing_verdict(files.data(), (int)files.size()), row.verdict);
    }
}

TEST(Listing, VerdictOnNames)
{
    const struct { std::vector<const char *> names; int verdict; } rows[] = {
        {{"vmlinuz", "initrd.gz", "q\"uote.sfs"}, refused}, {{"-r", "vmlinuz", "initrd.gz"}, refused},
        {{"vmlinuz", "initrd.gz", "@list.sfs"}, refused}, {{"vmlinuz", "initrd.gz", "*.sfs"}, refused},
        {{"vmlinuz", "initrd.gz", "what?.sfs"}, refused}, {{"vmlinuz", "initrd.gz", "boot\\"}, refused},
        {{"boot\\vmlinuz", "initrd.gz", "a-@.sfs", "d\\-x.sfs"}, usable}, {{"vmlinuz", "boot\\initrd.gz\\x"}, missing},
        {{"vmlinuz", "initrd.gz", "boot\\VMLINUZ"}, repeated}, {{"vmlinuz.old", "initrd.gz", "x.sfs"}, missing},
        {{"a\\x.sfs", "vmlinuz", "initrd.gz", "b\\X.SFS"}, repeated},
    };
    for (const auto &r : rows) {
        std::vector<listing_file> files;
        for (const char *name : r.names) files.push_back({const_cast<char *>(name), 1});
        EXPECT_EQ(listing_verdict(files.data(), (int)files.size()), r.verdict) << testing::PrintToString(r.names);
    }
}

TEST(ListingDeathTest, PatternThatDoesNotCompileStopsEvenInReleaseBuilds)
{
    long long total;
    EXPECT_DEATH((regcomp_fails = true, listing_total(&std::string("1 files")[0], &total)), "ret == 0");
}

const long long gib = 1LL << 30;

TEST(InstallMath, BarPosition)
{
    const struct { long long current, copied, total; int position, from = 0; } rows[] = {  // from..90
        {11, 0, 1000, 0}, {12, 0, 1000, 1}, {100, 400, 1000, 45}, {400, 600, 1000, 90}, {5000, 600, 1000, 90},
        {123, 4, 0, 0}, {10, 10, -5, 0}, {gib, 2 * gib, 4 * gib, 67}, {2 * gib, 2 * gib, 8 * gib, 45},
        {LLONG_MAX / 2, 0, LLONG_MAX, 44}, {LLONG_MAX, LLONG_MAX, LLONG_MAX, 90}, {49, 0, 1000, 70, 70},
        {50, 0, 1000, 71, 70}, {3 * gib, gib, 8 * gib, 80, 70}, {1, 1, 0, 70, 70}, {LLONG_MAX, 1, 5, 90, 70},
    };
    for (const auto &r : rows)
        EXPECT_EQ(bar_position(r.current, r.copied, r.total, r.from, 90), r.position) << r.current << "/" << r.from;
}

TEST(InstallMath, DigestOf7zOutput)
{
    const std::string hex = "482121d6f03f300725422eb7b34e90094801a3bb884fcc0c681d910d1f167840";
    const std::string tag = "SHA256 for data:", digits = "0123456789abcdef";
    const struct { std::string output, digest; } rows[] = {  // "": none found
        {"Everything is Ok\r\n\r\nSize: 3\r\n\r\n" + tag + "              " + hex + "\r\n", hex},
        {tag + " " + std::string(64, '0') + "\n" + tag + "\t" + hex, hex},  // the last line counts
        {tag + " " + hex.substr(0, 62) + "\r\n", ""}, {tag + " " + hex + "0", ""}, {"Size: 3\r\n", ""},
        {tag + " " + hex.substr(0, 40) + "x" + hex.substr(41), ""}, {"CRC32  for data: " + hex, ""},
    };
    for (const auto &r : rows) {
        unsigned char digest[sha256_size];
        std::string found;
        if (extraction_digest(r.output.c_str(), digest) == 0)
            for (unsigned char byte : digest) found += digits[byte >> 4], found += digits[byte & 15];
        EXPECT_EQ(found, r.digest) << r.output;
    }
}

TEST(InstallMath, SpaceNeedRoundsUpToWholeMegabytes)
{
    const long long rows[][2] = {{0, 0}, {1, 1}, {73400319, 70}, {73400320, 70}, {73400321, 71},  // total, need
                                 {5 * gib + 1, 5121}, {LLONG_MAX, 1LL << 43}};
    for (const auto &r : rows) {
        unsigned long long need = (unsigned long long)r[1] << 20;
        EXPECT_EQ(space_needed_mb(r[0]), r[1]) << r[0];
        EXPECT_TRUE(space_is_enough(need, r[0]) && (need == 0 || !space_is_enough(need - 1, r[0]))) << r[0];
    }
}

TEST(InstallMath, TextsOfAtMost1023Bytes)
{
    char b[1024];
    for (int extra : {0, 1}) {
        EXPECT_EQ(listing_command(b, std::string(992 + extra, 'p').c_str()), extra);
        EXPECT_EQ(extraction_command(b, 'D', std::string(900, 'i').c_str(), std::string(86 + extra, 'n').c_str()),
                  extra);
        EXPECT_EQ(extraction_target(b, 'D', std::string(1014 + extra, 'n').c_str()), extra);
    }
    ASSERT_EQ(extraction_target(b, 'D', "boot\\x.sfs"), 0);
    EXPECT_STREQ(b, "D:\\zerka\\x.sfs");  // where "7z e" puts it
}
