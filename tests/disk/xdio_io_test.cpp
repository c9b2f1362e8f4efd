// Sector reads, writes and seeks of xdio on image files, and opening by GRUB-style name
// where a file of the device's name stands in for the device.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

#include "disk/disk_image.h"
#include "disk/xdio.h"

namespace {

std::vector<uint8_t> read_sector(xdio_handle *handle)
{
    std::vector<uint8_t> buffer(512, 0xCC);
    EXPECT_EQ(xdio_read(handle, buffer.data(), 1), 0);
    return buffer;
}

TEST(XdioIo, OpensPlainPathAtSectorZeroAndCountsSectors)
{
    temp_folder folder;
    disk_image image;
    image.size_sectors = 64;
    for (int s = 0; s < 64; ++s) image.fill(s, (uint8_t)(s + 1));
    image.write(folder.file("disk.img"));

    xdio_handle *h = xdio_open(folder.file("disk.img").c_str(), 0);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h->kind, 1);
    EXPECT_EQ(h->sector, 0u);
    EXPECT_EQ(read_sector(h)[0], 1);
    EXPECT_EQ(h->sector, 1u);

    // Three sectors in one call land in the buffer in order.
    std::vector<uint8_t> three(3 * 512);
    ASSERT_EQ(xdio_read(h, three.data(), 3), 0);
    EXPECT_EQ(three[0], 2);
    EXPECT_EQ(three[512], 3);
    EXPECT_EQ(three[1535], 4);
    EXPECT_EQ(h->sector, 4u);

    ASSERT_EQ(xdio_seek(h, 40), 0);
    EXPECT_EQ(h->sector, 40u);
    EXPECT_EQ(read_sector(h)[511], 41);
    xdio_close(h);
}

TEST(XdioIo, LastSectorReadsAndTheOneAfterFails)
{
    temp_folder folder;
    disk_image image;
    image.size_sectors = 100;
    image.fill(99, 0x5A);
    image.write(folder.file("disk.img"));

    xdio_handle *h = xdio_open(folder.file("disk.img").c_str(), 0);
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(xdio_seek(h, 99), 0);
    EXPECT_EQ(read_sector(h)[0], 0x5A);
    EXPECT_EQ(h->sector, 100u);

    std::vector<uint8_t> buffer(512);
    EXPECT_EQ(xdio_read(h, buffer.data(), 1), 1) << "no sector after the last";
    EXPECT_EQ(h->sector, 100u) << "a failed read leaves the position";

    // A transfer that starts inside the device but runs over its end is short: failure.
    ASSERT_EQ(xdio_seek(h, 99), 0);
    std::vector<uint8_t> two(1024);
    EXPECT_EQ(xdio_read(h, two.data(), 2), 1);
    EXPECT_EQ(h->sector, 99u);
    xdio_close(h);
}

TEST(XdioIo, SeeksBeyondFourGibibytes)
{
    temp_folder folder;
    disk_image image;
    // Sector 2^23 is byte 2^32: a 32-bit offset would wrap round to sector 0.
    image.size_sectors = (1ull << 23) + 4096;
    image.fill(0, 0x11);
    image.fill(1ull << 23, 0x22);
    image.fill((1ull << 23) + 4095, 0x33);
    image.write(folder.file("big.img"));

    xdio_handle *h = xdio_open(folder.file("big.img").c_str(), 0);
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(xdio_seek(h, 1u << 23), 0);
    EXPECT_EQ(read_sector(h)[0], 0x22);
    ASSERT_EQ(xdio_seek(h, (1u << 23) + 4095), 0);
    EXPECT_EQ(read_sector(h)[0], 0x33);
    EXPECT_EQ(h->sector, (1u << 23) + 4096);
    xdio_close(h);
}

TEST(XdioIo, HighestSectorNumberIsTwoTebibytesIn)
{
    // Sector 0xFFFFFFFF ends exactly at 2 TiB; its offset must not come out negative.
    temp_folder folder;
    std::string path = folder.file("huge.img");
    int fd = open(path.c_str(), O_RDWR | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    if (ftruncate(fd, (off_t)0x20000000000ll) != 0) {
        close(fd);
        GTEST_SKIP() << "this file system cannot hold a 2 TiB sparse file";
    }
    close(fd);

    xdio_handle *h = xdio_open(path.c_str(), 1);
    ASSERT_NE(h, nullptr);
    std::vector<uint8_t> data(512, 0x77);
    ASSERT_EQ(xdio_seek(h, 0xFFFFFFFFu), 0);
    ASSERT_EQ(xdio_write(h, data.data(), 1), 0);
    xdio_close(h);

    fd = open(path.c_str(), O_RDONLY);
    uint8_t byte = 0;
    ASSERT_EQ(pread(fd, &byte, 1, (off_t)0x20000000000ll - 1), 1);
    EXPECT_EQ(byte, 0x77);
    close(fd);
}

TEST(XdioIo, FailedSeekStillStoresTheSector)
{
    temp_folder folder;
    std::string fifo = folder.file("pipe");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    int writer = open(fifo.c_str(), O_RDWR);  // keeps the reader's open from blocking
    ASSERT_GE(writer, 0);

    xdio_handle *h = xdio_open(fifo.c_str(), 0);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(xdio_seek(h, 77), 1) << "a pipe cannot seek";
    EXPECT_EQ(h->sector, 77u);
    xdio_close(h);
    close(writer);
}

TEST(XdioIo, WritesOnlyThroughWritableHandles)
{
    temp_folder folder;
    disk_image image;
    image.size_sectors = 8;
    image.write(folder.file("disk.img"));
    std::vector<uint8_t> data(1024, 0x42);

    xdio_handle *ro = xdio_open(folder.file("disk.img").c_str(), 0);
    ASSERT_NE(ro, nullptr);
    ASSERT_EQ(xdio_seek(ro, 2), 0);
    EXPECT_EQ(xdio_write(ro, data.data(), 1), 1);
    EXPECT_EQ(ro->sector, 2u);
    xdio_close(ro);

    xdio_handle *rw = xdio_open(folder.file("disk.img").c_str(), 1);
    ASSERT_NE(rw, nullptr);
    ASSERT_EQ(xdio_seek(rw, 2), 0);
    ASSERT_EQ(xdio_write(rw, data.data(), 2), 0);
    EXPECT_EQ(rw->sector, 4u);
    ASSERT_EQ(xdio_seek(rw, 3), 0);
    EXPECT_EQ(read_sector(rw)[100], 0x42);
    EXPECT_EQ(read_sector(rw)[100], 0x00);
    xdio_close(rw);
}

TEST(XdioIo, CountsThatCannotBeTransferredAreRefused)
{
    temp_folder folder;
    disk_image image;
    image.size_sectors = 8;
    image.fill(0, 0x10);
    image.write(folder.file("disk.img"));
    xdio_handle *h = xdio_open(folder.file("disk.img").c_str(), 1);
    ASSERT_NE(h, nullptr);

    // A negative count must not become a huge unsigned byte count.
    uint8_t guard[512] = {};
    EXPECT_EQ(xdio_read(h, guard, -1), 1);
    EXPECT_EQ(xdio_read(h, guard, 0x7FFFFFFF), 1);
    EXPECT_EQ(xdio_write(h, guard, -1), 1);
    EXPECT_EQ(h->sector, 0u);
    EXPECT_EQ(guard[0], 0) << "nothing read into the buffer";
    EXPECT_EQ(xdio_read(h, guard, 0), 0) << "nothing to transfer is no failure";
    EXPECT_EQ(h->sector, 0u);
    xdio_close(h);
}

TEST(XdioIo, MissingDeviceGivesNull)
{
    temp_folder folder;
    EXPECT_EQ(xdio_open(folder.file("no-such.img").c_str(), 0), nullptr);
    working_folder here(folder.path);
    EXPECT_EQ(xdio_open("(hd4)", 0), nullptr);
    EXPECT_EQ(xdio_open("(fd0)", 0), nullptr);
}

// Disk 3 with slot 0 at 63 and a logical partition at 2048 + 63, marker sectors at both.
void write_disk_three(const std::string &folder)
{
    disk_image image;
    table_block mbr;
    mbr.entries[0] = {0x83, 63, 1000};
    mbr.entries[1] = {0x05, 2048, 4096};
    image.table(0, mbr);
    table_block ebr;
    ebr.entries[0] = {0x0B, 63, 2000};
    image.table(2048, ebr);
    image.fill(63, 0xA0);
    image.fill(2048 + 63, 0xA4);
    image.write(folder + "/\\\\.\\PhysicalDrive3");
}

TEST(XdioIo, GrubNameOpensTheDeviceAtThePartitionStart)
{
    temp_folder folder;
    write_disk_three(folder.path);
    working_folder here(folder.path);

    xdio_handle *whole = xdio_open("(hd3)", 0);
    ASSERT_NE(whole, nullptr);
    EXPECT_EQ(whole->sector, 0u);
    EXPECT_EQ(read_sector(whole)[510], 0x55);
    xdio_close(whole);

    xdio_handle *first = xdio_open("(hd3,0)", 0);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->sector, 63u);
    EXPECT_EQ(read_sector(first)[0], 0xA0);
    // Later seeks are absolute on the whole disk: the handle keeps no partition offset.
    ASSERT_EQ(xdio_seek(first, 0), 0);
    EXPECT_EQ(read_sector(first)[511], 0xAA);
    xdio_close(first);

    xdio_handle *logical = xdio_open("(hd0x3,4)", 0);
    ASSERT_NE(logical, nullptr);
    EXPECT_EQ(logical->sector, 2048u + 63);
    EXPECT_EQ(read_sector(logical)[0], 0xA4);
    xdio_close(logical);

    xdio_handle *container = xdio_open("(hd3,1)", 0);
    ASSERT_NE(container, nullptr);
    EXPECT_EQ(container->sector, 2048u);
    xdio_close(container);
}

TEST(XdioIo, MissingPartitionLeavesNothingOpen)
{
    temp_folder folder;
    write_disk_three(folder.path);
    working_folder here(folder.path);
    int before = open_descriptors();
    EXPECT_EQ(xdio_open("(hd3,2)", 0), nullptr) << "empty slot";
    EXPECT_EQ(xdio_open("(hd3,5)", 0), nullptr) << "only one logical partition";
    EXPECT_EQ(xdio_open("(hd3,29)", 0), nullptr);
    EXPECT_EQ(open_descriptors(), before);
}

TEST(XdioIo, NoExtendedPartitionMeansNoPartitionFour)
{
    temp_folder folder;
    disk_image image;
    table_block mbr;
    mbr.entries[0] = {0x07, 63, 1000};
    image.table(0, mbr);
    image.write(folder.file("\\\\.\\PhysicalDrive0"));
    working_folder here(folder.path);
    int before = open_descriptors();
    EXPECT_EQ(xdio_open("(hd0,4)", 0), nullptr);
    EXPECT_EQ(open_descriptors(), before);
    xdio_handle *h = xdio_open("(hd0,0)", 0);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h->sector, 63u);
    xdio_close(h);
}

TEST(XdioIo, FloppyNamesOpenDriveLetterDevices)
{
    temp_folder folder;
    disk_image a, b;
    a.size_sectors = b.size_sectors = 2880;
    a.fill(0, 0xFA);
    table_block mbr;
    mbr.entries[2] = {0x01, 1, 2000};
    b.table(0, mbr);
    b.fill(1, 0xFB);
    a.write(folder.file("\\\\.\\A:"));
    b.write(folder.file("\\\\.\\B:"));
    working_folder here(folder.path);

    xdio_handle *h = xdio_open("(fd0)", 0);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(read_sector(h)[0], 0xFA);
    xdio_close(h);

    h = xdio_open("(fd1,2)", 0);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h->sector, 1u);
    EXPECT_EQ(read_sector(h)[0], 0xFB);
    xdio_close(h);
}

}  // namespace
