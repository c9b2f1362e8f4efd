// The name grammar of xdio_open: which names open which device, and which are refused.
#include <gtest/gtest.h>

#include <string>

#include "disk/xdio.h"

namespace {

struct translated {
    bool valid;
    std::string path;
    int partition;
};

translated translate(const char *name)
{
    char device[xdio_device_path_size];
    int partition = 12345;
    const char *path = xdio_translate_name(name, device, &partition);
    if (path == nullptr) return {false, "", partition};
    return {true, path, partition};
}

void expect_name(const char *name, const char *path, int partition)
{
    translated t = translate(name);
    ASSERT_TRUE(t.valid) << name;
    EXPECT_EQ(t.path, path) << name;
    EXPECT_EQ(t.partition, partition) << name;
}

void expect_refused(const char *name)
{
    EXPECT_FALSE(translate(name).valid) << name << " should be refused";
}

TEST(XdioName, HardDisksAndPartitions)
{
    expect_name("(hd0)", "\\\\.\\PhysicalDrive0", -1);
    expect_name("(hd9)", "\\\\.\\PhysicalDrive9", -1);
    expect_name("(hd2,1)", "\\\\.\\PhysicalDrive2", 1);
    expect_name("(hd0,0)", "\\\\.\\PhysicalDrive0", 0);
    expect_name("(hd9,29)", "\\\\.\\PhysicalDrive9", 29);
}

TEST(XdioName, NumbersReadWithAutomaticBase)
{
    expect_name("(hd0x3)", "\\\\.\\PhysicalDrive3", -1);   // hexadecimal
    expect_name("(hd0X9)", "\\\\.\\PhysicalDrive9", -1);
    expect_name("(hd010)", "\\\\.\\PhysicalDrive8", -1);   // octal
    expect_name("(hd007)", "\\\\.\\PhysicalDrive7", -1);
    expect_name("(hd1,0x1d)", "\\\\.\\PhysicalDrive1", 29);
    expect_name("(hd1,035)", "\\\\.\\PhysicalDrive1", 29);
    expect_name("(hd1,0xA)", "\\\\.\\PhysicalDrive1", 10);
    // Empty numbers read as 0.
    expect_name("(hd)", "\\\\.\\PhysicalDrive0", -1);
    expect_name("(hd1,)", "\\\\.\\PhysicalDrive1", 0);
    expect_name("(hd,)", "\\\\.\\PhysicalDrive0", 0);
    // Leading white space and a sign, as strtol takes them.
    expect_name("(hd 3)", "\\\\.\\PhysicalDrive3", -1);
    expect_name("(hd\t+4, 5)", "\\\\.\\PhysicalDrive4", 5);
    expect_name("(hd-0)", "\\\\.\\PhysicalDrive0", -1);
    expect_name("(hd1,-0)", "\\\\.\\PhysicalDrive1", 0);
}

TEST(XdioName, BoundsComparedUnsigned)
{
    expect_refused("(hd10)");
    expect_refused("(hd0xa)");
    expect_refused("(hd012)");   // octal 10
    expect_refused("(hd-1)");
    expect_refused("(hd0,30)");
    expect_refused("(hd0,0x1e)");
    expect_refused("(hd0,-1)");
    expect_refused("(hd2147483647)");
    // Out of a 32-bit long's range: must not wrap round into 0..9 where long is wider.
    expect_refused("(hd4294967296)");
    expect_refused("(hd4294967297)");
    expect_refused("(hd-4294967295)");
    expect_refused("(hd-4294967294,1)");
    expect_refused("(hd0,4294967296)");
    expect_refused("(hd0,-4294967295)");
    expect_refused("(hd99999999999999999999999)");
}

TEST(XdioName, Floppies)
{
    expect_name("(fd0)", "\\\\.\\A:", -1);
    expect_name("(fd1)", "\\\\.\\B:", -1);
    expect_name("(fd1,4)", "\\\\.\\B:", 4);
    expect_name("(fd)", "\\\\.\\A:", -1);
    expect_refused("(fd2)");
    expect_refused("(fd-1)");
    expect_refused("(fd0,30)");
}

TEST(XdioName, MalformedNamesRefused)
{
    for (const char *name :
         {"(", "()", "(h", "(hd", "(hd0", "(hd0,", "(hd0,1", "(hd0))", "(hd0) ", "(hd0)x",
          "(hd0,1)x", "(hd0,1,2)", "(hd0;1)", "(hd 0 )", "(hd0 ,1)", "(hd0x)", "(hd08)",
          "(hd-)", "(hd+)", "(hd )", "(hd1, )", "(cd0)", "(HD0)", "(Hd0)", "(hdd0)", "(sd0)",
          "( hd0)", "(hd0.5)", "(hd1e0)"}) {
        expect_refused(name);
    }
}

TEST(XdioName, PlainPathsUnchanged)
{
    for (const char *name : {"\\\\.\\C:", "\\\\.\\PhysicalDrive0", "disk.img", "", " (hd0)",
                             "hd0", "C:\\(hd0)", "x(hd10)"}) {
        char device[xdio_device_path_size] = "untouched";
        int partition = 7;
        const char *path = xdio_translate_name(name, device, &partition);
        EXPECT_EQ(path, name) << "a plain path is opened as given: " << name;
        EXPECT_EQ(partition, -1) << name;
    }
}

TEST(XdioName, RefusedNamesOpenNothing)
{
    EXPECT_EQ(xdio_open("(hd10)", 0), nullptr);
    EXPECT_EQ(xdio_open("(hd0", 0), nullptr);
    EXPECT_EQ(xdio_open("(hd0,30)", 0), nullptr);
}

}  // namespace
