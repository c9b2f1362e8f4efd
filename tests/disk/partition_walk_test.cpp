// The MBR/EBR walk: numbering, table checks, the EBR chain, and walks that must end.
#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>

#include <sstream>
#include <string>
#include <vector>

#include "disk/disk_image.h"
#include "disk/partition_walk.h"
#include "disk/xdio.h"

namespace {

struct found {
    int number;
    int type;
    uint32_t start;
    uint32_t length;
    bool operator==(const found &o) const
    {
        return number == o.number && type == o.type && start == o.start && length == o.length;
    }
};

std::ostream &operator<<(std::ostream &out, const found &f)
{
    return out << "{" << f.number << ", 0x" << std::hex << f.type << std::dec << ", " << f.start
               << ", " << f.length << "}";
}

struct walk_result {
    std::vector<found> partitions;
    std::vector<int> reads;  // sector reads of each call, the final call returning 1 included
};

// Enumerates a whole disk; stops after 300 calls so a walk that never ends fails the test.
walk_result enumerate(const std::string &path)
{
    walk_result result;
    xdio_handle *disk = xdio_open(path.c_str(), 0);
    EXPECT_NE(disk, nullptr);
    if (disk == nullptr) return result;
    xdio_partition p;
    p.number = 255;
    p.wanted = 255;
    for (int call = 0; call < 300; ++call) {
        reset_sector_reads();
        int r = xdio_next_partition(disk, &p);
        result.reads.push_back(sector_reads());
        if (r != 0) break;
        result.partitions.push_back({p.number, p.type, p.start, p.length});
    }
    xdio_close(disk);
    return result;
}

// Looks up one partition; the number is -1 when the walk reports none.
found lookup(const std::string &path, int wanted, int *reads = nullptr)
{
    xdio_handle *disk = xdio_open(path.c_str(), 0);
    EXPECT_NE(disk, nullptr);
    if (disk == nullptr) return {-2, 0, 0, 0};
    xdio_partition p;
    p.number = 255;
    p.wanted = (uint8_t)wanted;
    reset_sector_reads();
    int r = xdio_next_partition(disk, &p);
    if (reads) *reads = sector_reads();
    xdio_close(disk);
    EXPECT_EQ(p.wanted, wanted) << "wanted is never changed";
    if (r != 0) return {-1, 0, 0, 0};
    return {p.number, p.type, p.start, p.length};
}

const found none = {-1, 0, 0, 0};

struct walk_test : ::testing::Test {
    temp_folder folder;
    std::string path = folder.file("disk.img");
    disk_image image;

    void mbr(test_entry s0, test_entry s1 = {}, test_entry s2 = {}, test_entry s3 = {})
    {
        table_block block;
        block.entries[0] = s0;
        block.entries[1] = s1;
        block.entries[2] = s2;
        block.entries[3] = s3;
        image.table(0, block);
    }
    void ebr(uint32_t sector, test_entry logical, test_entry link = {}, test_entry e2 = {},
             test_entry e3 = {})
    {
        table_block block;
        block.entries[0] = logical;
        block.entries[1] = link;
        block.entries[2] = e2;
        block.entries[3] = e3;
        image.table(sector, block);
    }
    walk_result walk()
    {
        image.write(path);
        return enumerate(path);
    }
    std::vector<found> partitions() { return walk().partitions; }
    found find(int wanted, int *reads = nullptr)
    {
        image.write(path);
        return lookup(path, wanted, reads);
    }
};

// The disk used to explain the walk: an NTFS partition, an extended partition with two
// logical partitions, and a Linux partition in slot 3 below the extended one.
struct worked_example : walk_test {
    void SetUp() override
    {
        mbr({0x07, 63, 937}, {0x05, 2000, 8000}, {}, {0x83, 1100, 800});
        ebr(2000, {0x83, 63, 1000}, {0x05, 1100, 1963});
        ebr(3100, {0x0B, 63, 1900});
    }
};

TEST_F(worked_example, EnumeratesCallForCall)
{
    walk_result r = walk();
    std::vector<found> expected = {{0, 0x07, 63, 937},
                                   {1, 0x05, 2000, 8000},
                                   {3, 0x83, 1100, 800},
                                   {4, 0x83, 2063, 1000},
                                   {5, 0x0B, 3163, 1900}};
    EXPECT_EQ(r.partitions, expected);
    // The MBR is read once, then one EBR per logical partition; the end reads nothing.
    EXPECT_EQ(r.reads, (std::vector<int>{1, 0, 0, 1, 1, 0}));
}

TEST_F(worked_example, LooksUpSinglePartitions)
{
    int reads = 0;
    EXPECT_EQ(find(0), (found{0, 0x07, 63, 937}));
    EXPECT_EQ(find(1), (found{1, 0x05, 2000, 8000}));
    EXPECT_EQ(find(2, &reads), none) << "slot 2 is empty";
    EXPECT_EQ(reads, 1);
    EXPECT_EQ(find(3), (found{3, 0x83, 1100, 800}));
    EXPECT_EQ(find(4), (found{4, 0x83, 2063, 1000}));
    EXPECT_EQ(find(5, &reads), (found{5, 0x0B, 3163, 1900}));
    EXPECT_EQ(reads, 3);
    EXPECT_EQ(find(6), none);
    EXPECT_EQ(find(254), none);
}

TEST_F(worked_example, KeepsTheWalkInTheRecord)
{
    image.write(path);
    xdio_handle *disk = xdio_open(path.c_str(), 0);
    ASSERT_NE(disk, nullptr);
    xdio_partition p;
    p.number = 255;
    p.wanted = 255;
    // Fields the caller need not set hold garbage.
    p.type = 0x99;
    p.start = 0xDEADBEEF;
    p.length = 1;
    p.ext_base = 0xFFFFFFFF;
    for (int i = 0; i < 4; ++i) ASSERT_EQ(xdio_next_partition(disk, &p), 0);
    EXPECT_EQ(p.number, 4);
    EXPECT_EQ(p.ext_base, 2000u);
    EXPECT_EQ(table_sector[446 + 8], 63) << "table_sector holds the EBR of partition 4";
    // A new walk on the same handle starts from sector 0 again.
    p.number = 255;
    ASSERT_EQ(xdio_next_partition(disk, &p), 0);
    EXPECT_EQ(p.number, 0);
    EXPECT_EQ(p.start, 63u);
    xdio_close(disk);
}

TEST_F(walk_test, SignatureRequiredOnEveryTable)
{
    table_block block;
    block.entries[0] = {0x83, 63, 100};
    block.signature = false;
    image.table(0, block);
    EXPECT_TRUE(partitions().empty());

    // The bytes swapped: 0xAA at 510, 0x55 at 511.
    image.sectors[0][510] = 0xAA;
    image.sectors[0][511] = 0x55;
    EXPECT_TRUE(partitions().empty());

    // An EBR without the signature ends the walk after the partitions before it.
    mbr({0x83, 63, 100}, {0x05, 200, 1000});
    table_block bad;
    bad.entries[0] = {0x83, 63, 100};
    bad.signature = false;
    image.table(200, bad);
    EXPECT_EQ(partitions(), (std::vector<found>{{0, 0x83, 63, 100}, {1, 0x05, 200, 1000}}));
}

TEST_F(walk_test, PrimaryTableChecks)
{
    mbr({}, {}, {}, {});
    EXPECT_TRUE(partitions().empty()) << "no used slot";

    mbr({0x83, 63, 100}, {0x07, 500, 0});
    EXPECT_TRUE(partitions().empty()) << "a used slot with length 0";
    EXPECT_EQ(find(0), none) << "a bad table yields nothing, not even earlier slots";

    mbr({0x83, 0, 100});
    EXPECT_TRUE(partitions().empty()) << "a partition at sector 0";

    mbr({0x83, 63, 938}, {0x07, 1000, 100});
    EXPECT_TRUE(partitions().empty()) << "overlap by one sector";

    mbr({0x83, 63, 937}, {0x07, 1000, 100});
    EXPECT_EQ(partitions().size(), 2u) << "touching partitions are valid";

    // An empty slot's start and length are not looked at.
    mbr({0x83, 63, 937}, {0x00, 0, 0xFFFFFFFF}, {0x07, 1000, 100});
    EXPECT_EQ(partitions().size(), 2u);
}

TEST_F(walk_test, OverlapIsFoundWhereTheEndPassesTwoToThe32)
{
    // 0xFFFFFF00 + 0x200 wraps to 0x100 in 32 bits, which would hide the overlap.
    mbr({0x83, 0xFFFFFF00u, 0x200}, {0x07, 0xFFFFFF80u, 0x10});
    EXPECT_TRUE(partitions().empty());
    mbr({0x83, 0xFFFFFF00u, 0x100}, {0x07, 63, 100});
    EXPECT_EQ(partitions().size(), 2u) << "ending exactly at 2^32 sectors is fine";
}

TEST_F(walk_test, SlotsOutOfStartOrderKeepTheirNumbers)
{
    mbr({0x83, 1000, 500}, {0x07, 63, 900}, {}, {0x0C, 1500, 10});
    EXPECT_EQ(partitions(), (std::vector<found>{{0, 0x83, 1000, 500},
                                               {1, 0x07, 63, 900},
                                               {3, 0x0C, 1500, 10}}));
    // Sorted: 63+900 = 963 <= 1000, 1500 <= 1500.
    mbr({0x83, 1000, 501}, {0x07, 63, 900}, {}, {0x0C, 1500, 10});
    EXPECT_TRUE(partitions().empty()) << "slot 0 runs one sector into slot 3";
    mbr({0x83, 1000, 500}, {0x07, 63, 938}, {}, {0x0C, 1500, 10});
    EXPECT_TRUE(partitions().empty()) << "slot 1 runs one sector into slot 0";
}

TEST_F(walk_test, WantedEmptySlotIsNotTheNextOne)
{
    mbr({0x83, 63, 100}, {}, {}, {0x07, 500, 100});
    EXPECT_EQ(find(2), none);
    EXPECT_EQ(find(1), none);
    EXPECT_EQ(find(3), (found{3, 0x07, 500, 100}));
    EXPECT_EQ(find(4), none) << "no extended partition";
    EXPECT_EQ(find(200), none);
}

TEST_F(walk_test, ExtendedTypeFifteenAndItsSlot)
{
    // The container in slot 2, type 0x0F; logical partitions still count from 4.
    mbr({0x83, 63, 100}, {}, {0x0F, 1000, 5000});
    ebr(1000, {0x83, 2048, 100}, {0x0F, 500, 2148});
    ebr(1500, {0x82, 32, 50});
    EXPECT_EQ(partitions(), (std::vector<found>{{0, 0x83, 63, 100},
                                               {2, 0x0F, 1000, 5000},
                                               {4, 0x83, 3048, 100},
                                               {5, 0x82, 1532, 50}}));
    EXPECT_EQ(find(5), (found{5, 0x82, 1532, 50}));
}

TEST_F(walk_test, LinksCountFromTheExtendedStartAndPartitionsFromTheirEbr)
{
    // A third EBR tells the two bases apart: EBR-relative links would look at 2000+1000+1000.
    mbr({0x05, 2000, 9000});
    ebr(2000, {0x83, 10, 100}, {0x05, 1000, 200});
    ebr(3000, {0x83, 20, 100}, {0x05, 2000, 200});
    ebr(4000, {0x83, 30, 100});
    image.fill(5000, 0);  // where an EBR-relative link would go: no signature
    EXPECT_EQ(partitions(), (std::vector<found>{{0, 0x05, 2000, 9000},
                                               {4, 0x83, 2010, 100},
                                               {5, 0x83, 3020, 100},
                                               {6, 0x83, 4030, 100}}));
}

TEST_F(walk_test, ChainEnds)
{
    // Entry 1 of an ordinary type, or of start 0, ends the chain; entries 2 and 3 are ignored.
    mbr({0x05, 2000, 9000});
    ebr(2000, {0x83, 10, 100}, {0x83, 1000, 100}, {0x05, 1000, 100}, {0x83, 5, 5});
    ebr(3000, {0x83, 20, 100});
    EXPECT_EQ(partitions().size(), 2u);

    ebr(2000, {0x83, 10, 100}, {0x05, 0, 100});
    EXPECT_EQ(partitions().size(), 2u);

    ebr(2000, {0x83, 10, 100}, {0x0F, 1000, 100});
    EXPECT_EQ(partitions().size(), 3u);

    // A link to a sector beyond the end of the disk.
    ebr(2000, {0x83, 10, 100}, {0x05, 30000, 100});
    EXPECT_EQ(partitions().size(), 2u);
}

TEST_F(walk_test, EmptyFirstEbrTakesNoNumber)
{
    mbr({0x05, 2000, 9000});
    ebr(2000, {}, {0x05, 1000, 500});
    ebr(3000, {0x07, 63, 400});
    int reads = 0;
    walk_result r = walk();
    EXPECT_EQ(r.partitions, (std::vector<found>{{0, 0x05, 2000, 9000}, {4, 0x07, 3063, 400}}));
    EXPECT_EQ(r.reads, (std::vector<int>{1, 2, 0}));
    EXPECT_EQ(find(4, &reads), (found{4, 0x07, 3063, 400}));
    EXPECT_EQ(reads, 3);
    EXPECT_EQ(find(5), none);

    // Empty EBRs in the middle of the chain, too.
    ebr(3000, {0x07, 63, 400}, {0x05, 2000, 100});
    ebr(4000, {}, {0x05, 3000, 100});
    ebr(5000, {0x0B, 1, 50});
    EXPECT_EQ(find(5), (found{5, 0x0B, 5001, 50}));
}

TEST_F(walk_test, ExtendedEntryZeroIsFollowedWithoutANumber)
{
    mbr({0x05, 2000, 9000});
    ebr(2000, {0x05, 3000, 100}, {0x05, 500, 100});  // its link is never looked at
    ebr(5000, {0x83, 63, 100}, {0x05, 4000, 100});
    ebr(6000, {0x0F, 5000, 100});
    ebr(7000, {0x0C, 8, 16});
    ebr(2500, {0x83, 1, 1});
    EXPECT_EQ(partitions(), (std::vector<found>{{0, 0x05, 2000, 9000},
                                               {4, 0x83, 5063, 100},
                                               {5, 0x0C, 7008, 16}}));

    ebr(2000, {0x05, 0, 100}, {0x05, 500, 100});
    EXPECT_EQ(partitions().size(), 1u) << "an extended entry 0 with start 0 ends the walk";
}

TEST_F(walk_test, OnlyTheLowestExtendedSlotIsWalked)
{
    mbr({0x83, 63, 100}, {0x0F, 9000, 1000}, {0x05, 2000, 1000});
    ebr(2000, {0x83, 63, 100});
    ebr(9000, {0x07, 63, 100});
    EXPECT_EQ(partitions(), (std::vector<found>{{0, 0x83, 63, 100},
                                               {1, 0x0F, 9000, 1000},
                                               {2, 0x05, 2000, 1000},
                                               {4, 0x07, 9063, 100}}));
}

TEST_F(walk_test, WantedNumberPassedEndsTheWalk)
{
    mbr({0x05, 2000, 9000});
    ebr(2000, {0x83, 63, 100}, {0x05, 1000, 100});
    ebr(3000, {0x83, 63, 100}, {0x05, 2000, 100});
    ebr(4000, {0x83, 63, 100});
    int reads = 0;
    EXPECT_EQ(find(5, &reads).number, 5);
    EXPECT_EQ(reads, 3) << "the MBR and two EBRs; the third is not needed";

    // Continuing a lookup walk after the wanted partition gives nothing more.
    image.write(path);
    xdio_handle *disk = xdio_open(path.c_str(), 0);
    ASSERT_NE(disk, nullptr);
    xdio_partition p;
    p.number = 255;
    p.wanted = 4;
    ASSERT_EQ(xdio_next_partition(disk, &p), 0);
    EXPECT_EQ(xdio_next_partition(disk, &p), 1);
    p.number = 255;
    p.wanted = 0;
    ASSERT_EQ(xdio_next_partition(disk, &p), 0);
    EXPECT_EQ(xdio_next_partition(disk, &p), 1);
    xdio_close(disk);
}

TEST_F(walk_test, LoopingChainsEnd)
{
    // Entry 1 leads back to an EBR already read.
    mbr({0x05, 2000, 9000});
    ebr(2000, {0x83, 63, 100}, {0x05, 1000, 100});
    ebr(3000, {0x83, 63, 100}, {0x05, 2000, 100});
    ebr(4000, {0x83, 63, 100}, {0x05, 1000, 100});
    walk_result r = walk();
    EXPECT_EQ(r.partitions.size(), 4u) << "the container and the three distinct EBRs";
    EXPECT_EQ(r.reads.back(), 0) << "the loop is seen before the sector is read again";

    // An EBR linking to itself.
    ebr(3000, {0x83, 63, 100}, {0x05, 1000, 100});
    EXPECT_EQ(partitions().size(), 3u);

    // A wanted number behind a loop is not found, and the lookup ends.
    EXPECT_EQ(find(200), none);

    // Extended entries 0 pointing at each other: no number is ever consumed.
    ebr(2000, {0x05, 1000, 100});
    ebr(3000, {0x05, 2000, 100});
    ebr(4000, {0x05, 1000, 100});
    r = walk();
    EXPECT_EQ(r.partitions.size(), 1u);
    EXPECT_LE(r.reads.back(), 3);

    // Empty EBRs linking round in a circle.
    ebr(2000, {}, {0x05, 1000, 100});
    ebr(3000, {}, {0x05, 2000, 100});
    ebr(4000, {}, {0x05, 1000, 100});
    r = walk();
    EXPECT_EQ(r.partitions.size(), 1u);
    EXPECT_LE(r.reads.back(), 3);
}

TEST_F(walk_test, LinkWrappingRoundToTheMbrEnds)
{
    // ext_base + link start wraps to sector 0 in 32 bits: the MBR must not pass for an EBR.
    mbr({0x83, 63, 100}, {0x05, 2000, 9000});
    ebr(2000, {0x83, 63, 100}, {0x05, 0xFFFFFFFFu - 1999, 100});
    EXPECT_EQ(partitions().size(), 3u);
}

TEST_F(walk_test, LongChainStopsBeforeNumber255)
{
    // 300 logical partitions, one EBR each: numbers 4 to 254 are handed out, never 255.
    image.size_sectors = 400 * 16;
    mbr({0x83, 1, 7}, {0x05, 16, 350 * 16});
    for (uint32_t i = 0; i < 300; ++i) {
        test_entry link = {};
        if (i + 1 < 300) link = {0x05, (i + 1) * 16, 16};
        ebr(16 + i * 16, {0x83, 1, 15}, link);
    }
    walk_result r = walk();
    ASSERT_EQ(r.partitions.size(), 2u + 251u);
    EXPECT_EQ(r.partitions.back().number, 254);
    EXPECT_EQ(r.partitions.back().start, 16u + 250 * 16 + 1);
    for (int reads : r.reads) EXPECT_LE(reads, 1);
    EXPECT_EQ(find(254).start, 16u + 250 * 16 + 1);
}

TEST_F(walk_test, EmptyEbrChainReadsAreBounded)
{
    // More empty EBRs than a walk may read, then a real logical partition.
    const uint32_t count = walk_ebr_limit + 10;
    image.size_sectors = 2 + (count + 2) * 2;
    mbr({0x05, 2, (count + 1) * 2});
    for (uint32_t i = 0; i < count; ++i) ebr(2 + i * 2, {}, {0x05, (i + 1) * 2, 2});
    ebr(2 + count * 2, {0x83, 1, 1});
    int reads = 0;
    EXPECT_EQ(find(4, &reads), none);
    EXPECT_LE(reads, walk_ebr_limit + 1);
    EXPECT_GE(reads, walk_ebr_limit) << "a chain within the bound must still be followed";
}

TEST_F(walk_test, ChainJustWithinTheBoundIsFollowed)
{
    const uint32_t count = walk_ebr_limit - 1;
    image.size_sectors = 2 + (count + 2) * 2;
    mbr({0x05, 2, (count + 1) * 2});
    for (uint32_t i = 0; i < count; ++i) ebr(2 + i * 2, {}, {0x05, (i + 1) * 2, 2});
    ebr(2 + count * 2, {0x83, 1, 1});
    EXPECT_EQ(find(4), (found{4, 0x83, 2 + count * 2 + 1, 1}));
}

// sfdisk, when installed, lays out a disk independently; the walk must find what it wrote.
TEST(WalkAgainstSfdisk, LogicalPartitionsAsSfdiskWritesThem)
{
    if (system("command -v sfdisk >/dev/null 2>&1") != 0) GTEST_SKIP() << "sfdisk not installed";
    temp_folder folder;
    std::string path = folder.file("sf.img");
    disk_image blank;
    blank.size_sectors = 65536;
    blank.write(path);
    // Slot 3 stays empty; partitions 5 to 7 are logical ones in the extended partition.
    std::string script = "label: dos\n" +
                         path + "1 : start=2048, size=8192, type=7\n" +
                         path + "2 : start=10240, size=40960, type=f\n" +
                         path + "4 : start=51200, size=4096, type=83\n" +
                         path + "5 : start=12288, size=4096, type=83\n" +
                         path + "6 : start=18432, size=2048, type=b\n" +
                         path + "7 : start=22528, size=8192, type=82\n";
    std::string command = "printf '" + script + "' | sfdisk -q --no-reread --no-tell-kernel " +
                          path + " >/dev/null 2>&1";
    ASSERT_EQ(system(command.c_str()), 0);

    // sfdisk's own view: "path<N> : start= S, size= L, type=T" lines.
    std::string dump = "sfdisk -d " + path + " 2>/dev/null";
    FILE *pipe = popen(dump.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::vector<found> expected;
    char line[512];
    while (fgets(line, sizeof line, pipe)) {
        std::string text = line;
        size_t at = text.find(" : start=");
        if (text.rfind(path, 0) != 0 || at == std::string::npos) continue;
        int n = atoi(text.c_str() + path.size());
        unsigned long start = 0, size = 0;
        unsigned type = 0;
        if (sscanf(text.c_str() + at, " : start= %lu, size= %lu, type=%x", &start, &size, &type) == 3) {
            expected.push_back({n - 1, (int)type, (uint32_t)start, (uint32_t)size});
        }
    }
    pclose(pipe);
    ASSERT_EQ(expected.size(), 6u);
    EXPECT_EQ(enumerate(path).partitions, expected);
}

}  // namespace
