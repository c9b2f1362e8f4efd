// Sector reads of physical disks under Wine: \\.\PhysicalDriveN is an image of the test bed
// (fixtures/30-disk-images.sh), read through msvcrt's descriptors like on Windows.
#include <gtest/gtest.h>

#include <vector>

#include "disk/partition_walk.h"
#include "disk/xdio.h"

namespace {

std::vector<unsigned char> read_sector(xdio_handle *handle, int *result)
{
    std::vector<unsigned char> buffer(512, 0xCC);
    *result = xdio_read(handle, buffer.data(), 1);
    return buffer;
}

TEST(DiskRaw, WholeDiskByNameAndByPath)
{
    for (const char *name : {"(hd1)", "\\\\.\\PhysicalDrive1"}) {
        xdio_handle *disk = xdio_open(name, 0);
        ASSERT_NE(disk, nullptr) << name;
        EXPECT_EQ(disk->sector, 0u);
        int result;
        std::vector<unsigned char> mbr = read_sector(disk, &result);
        ASSERT_EQ(result, 0) << name;
        EXPECT_EQ(mbr[510], 0x55);
        EXPECT_EQ(mbr[511], 0xAA);
        EXPECT_EQ(mbr[446 + 4], 0x07) << "slot 0 type";
        EXPECT_EQ(mbr[446 + 8], 63) << "slot 0 start";
        EXPECT_EQ(disk->sector, 1u);
        xdio_close(disk);
    }
}

TEST(DiskRaw, PartitionNamesOpenAtTheirFirstSector)
{
    struct {
        const char *name;
        uint32_t sector;
        unsigned char marker;
    } cases[] = {{"(hd1,0)", 63, 0xA0}, {"(hd1,4)", 2063, 0xA4}, {"(hd0x1,0)", 63, 0xA0}};
    for (const auto &c : cases) {
        xdio_handle *disk = xdio_open(c.name, 0);
        ASSERT_NE(disk, nullptr) << c.name;
        EXPECT_EQ(disk->sector, c.sector) << c.name;
        int result;
        std::vector<unsigned char> data = read_sector(disk, &result);
        ASSERT_EQ(result, 0) << c.name;
        EXPECT_EQ(data[0], c.marker) << c.name;
        EXPECT_EQ(data[511], c.marker) << c.name;
        xdio_close(disk);
    }
    EXPECT_EQ(xdio_open("(hd1,2)", 0), nullptr) << "empty slot";
    EXPECT_EQ(xdio_open("(hd1,6)", 0), nullptr) << "two logical partitions only";
    EXPECT_EQ(xdio_open("(hd3,0)", 0), nullptr) << "no signature";
}

TEST(DiskRaw, WalkOfTheWorkedExample)
{
    xdio_handle *disk = xdio_open("(hd1)", 0);
    ASSERT_NE(disk, nullptr);
    xdio_partition p;
    p.number = 255;
    p.wanted = 255;
    const struct {
        int number, type;
        uint32_t start, length;
    } expected[] = {{0, 0x07, 63, 937}, {1, 0x05, 2000, 8000}, {3, 0x83, 1100, 800},
                    {4, 0x83, 2063, 1000}, {5, 0x0B, 3163, 1900}};
    for (const auto &e : expected) {
        ASSERT_EQ(xdio_next_partition(disk, &p), 0);
        EXPECT_EQ(p.number, e.number);
        EXPECT_EQ(p.type, e.type);
        EXPECT_EQ(p.start, e.start);
        EXPECT_EQ(p.length, e.length);
    }
    EXPECT_EQ(xdio_next_partition(disk, &p), 1);
    xdio_close(disk);
}

TEST(DiskRaw, BeyondFourGibibytesAndTheLastSector)
{
    const uint32_t far = (1u << 23) + 2048;
    xdio_handle *disk = xdio_open("(hd4,0)", 0);
    ASSERT_NE(disk, nullptr);
    EXPECT_EQ(disk->sector, far);
    int result;
    EXPECT_EQ(read_sector(disk, &result)[0], 0xB4);
    ASSERT_EQ(result, 0);

    ASSERT_EQ(xdio_seek(disk, far + 15), 0);
    EXPECT_EQ(read_sector(disk, &result)[100], 0xBF);
    ASSERT_EQ(result, 0) << "the last sector reads";
    EXPECT_EQ(disk->sector, far + 16);
    read_sector(disk, &result);
    EXPECT_EQ(result, 1) << "no sector after the last";
    EXPECT_EQ(disk->sector, far + 16);

    // Sector 2^23 + 2048 is past byte 2^32: a 32-bit offset would land at sector 2048.
    ASSERT_EQ(xdio_seek(disk, 2048), 0);
    EXPECT_EQ(read_sector(disk, &result)[0], 0x00);
    xdio_close(disk);
}

TEST(DiskRaw, DisksThatCannotBeNamedOrRead)
{
    EXPECT_EQ(xdio_open("(hd10)", 0), nullptr);
    EXPECT_EQ(xdio_open("(hd12)", 0), nullptr) << "the image exists, but (hd12) is no name";
    xdio_handle *plain = xdio_open("\\\\.\\PhysicalDrive12", 0);
    ASSERT_NE(plain, nullptr) << "by path it opens";
    xdio_close(plain);
}

}  // namespace
