// The installer's own code in this process under Wine: the child process runner with real
// children (tool_double.exe beside this program), sector reads through the Windows runtime and
// the drive log. tests/job/boot_ini_test.cpp runs here too, on msvcrt's text files. Started with
// --helper, this program meets the endings a test cannot survive in its own process.
#include <gtest/gtest.h>

#include <stdio.h>

#include "disk/drive_log.h"
#include "disk/xdio.h"
#include "driver.h"
#include "job/phase_common.h"
#include "messages/messages.h"
#include "tools/child_runner.h"

// Settings of the stand-in (tool_double.exe beside this program) as "FIELD=value", on or off.
static void set_fields(const std::vector<std::string> &fields, bool on)
{
    for (const std::string &f : fields)
        SetEnvironmentVariableA(("ZERKA_DOUBLE_TOOL_DOUBLE_" + f.substr(0, f.find('='))).c_str(),
                                on ? f.substr(f.find('=') + 1).c_str() : nullptr);
}

static std::string double_path()
{
    char path[1024];
    return installer_file_path(path, "tool_double.exe"), path;
}

static HANDLE start_child(const std::vector<std::string> &fields, PROCESS_INFORMATION *process,
                          std::string line = "tool_double.exe")
{
    set_fields(fields, true);
    HANDLE output = run_captured(double_path().c_str(), &line[0], process, 0);
    return set_fields(fields, false), output;  // the child keeps its copy
}

TEST(Runner, HandlesPassedOnOnlyWhereMeant)
{
    // A child holding a copy of the read end would never see the pipe break once we close ours.
    PROCESS_INFORMATION process;
    CloseHandle(start_child({"FLOOD=10000000"}, &process));
    EXPECT_EQ(WaitForSingleObject(process.hProcess, 20000), WAIT_OBJECT_0);
    finish_child(&process);
    // An inheritable handle of ours reaches a captured child, never one of run_and_wait.
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    std::vector<std::string> probe = {"PROBE=" +
                                      std::to_string((ULONG_PTR)CreateEventA(&inherit, TRUE, FALSE, nullptr))};
    output_of(start_child(probe, &process));
    EXPECT_EQ(finish_child(&process), 1u);
    char line[] = "tool_double.exe";
    set_fields(probe, true);
    EXPECT_EQ(run_and_wait(double_path().c_str(), line), 0u);
    set_fields(probe, false);
}

TEST(Runner, OutputOfAGrandchildAfterItsParentEndedIsKept)
{
    PROCESS_INFORMATION parent;
    HANDLE output = start_child({"PARENT_SPAWN=late", "LATE_STDOUT=from the grandchild", "LATE_GATE=grandchild"},
                                &parent, "tool_double.exe parent");
    EXPECT_EQ(finish_child(&parent), 0u);
    open_gate("grandchild");
    EXPECT_EQ(output_of(output), "from the grandchild");
}

TEST(Runner, FileSizeOfAFileBeingWrittenPastFourGibibytes)
{
    EXPECT_EQ(file_size_of("C:\\missing"), 0);
    HANDLE file = CreateFileA("C:\\growing", GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr);
    LARGE_INTEGER end = {.QuadPart = (5LL << 30) + 7};
    SetFilePointerEx(file, end, nullptr, FILE_BEGIN), SetEndOfFile(file);
    EXPECT_EQ(file_size_of("C:\\growing"), (5LL << 30) + 7);  // while its writer holds it open
    CloseHandle(file), DeleteFileA("C:\\growing");
}

TEST(Disk, SectorsPastFourGibibytesAndPartitionNamesThroughTheWindowsRuntime)
{
    unsigned char sector[512];
    const struct { const char *name; uint32_t seek; int marker, next; } reads[] = {
        {"(hd4)", (1u << 23) + 2048, 0xB4, 0}, {"(hd4)", (1u << 23) + 2063, 0xBF, 1}, {"(hd1,4)", 0, 0xA4, 0}};
    for (const auto &r : reads) {
        xdio_handle *disk = xdio_open(r.name, 0);
        ASSERT_NE(disk, nullptr) << r.name;
        EXPECT_TRUE((!r.seek || xdio_seek(disk, r.seek) == 0) && xdio_read(disk, sector, 1) == 0 &&
                    sector[0] == r.marker) << r.name;
        EXPECT_EQ(xdio_read(disk, sector, 1), r.next) << "the sector after, on " << r.name;
        xdio_close(disk);
    }
}

TEST(Disk, DriveLogListsVolumesAndPartitionsAndLeavesNoHandleOpen)
{
    // E: is partition 4 of disk 1; H:'s device number query fails with a code that has no text.
    SetEnvironmentVariableA("ZERKA_FAKE_VOLUMES", "E:device=1,partition=5,start=1056256,length=512000;"
                                                  "H:fail_number=0x2000ABCD;D:fail_open=5");
    // Wine counts no handles, but hands out the lowest free value: a handle left open moves it.
    auto lowest_free_handle = [] {
        HANDLE probe = CreateEventA(nullptr, FALSE, FALSE, nullptr);
        return CloseHandle(probe), probe;
    };
    write_file("C:\\kestrix_drive.log", "planted");  // a link there is never written through
    SetEnvironmentVariableA("ZERKA_FAKE_LINKS", "c:\\kestrix_drive.log"), drive_log();
    EXPECT_EQ(read_file("C:\\kestrix_drive.log"), "planted");
    SetEnvironmentVariableA("ZERKA_FAKE_LINKS", nullptr), drive_log();
    HANDLE before = lowest_free_handle();
    drive_log();
    EXPECT_EQ(lowest_free_handle(), before);
    std::string log = read_file("C:\\kestrix_drive.log");
    for (std::string line : {"CreateFile(\\\\.\\D:): " + system_text(5),
             std::string("[winapi] dev=E:(d1p5) offset=2063 size=1000\r\n"),
             std::string("DeviceIoControl(\\\\.\\H:,IOCTL_STORAGE_GET_DEVICE_NUMBER): \r\n"),
             std::string("[xdio] dev=hdb1 offset=63 size=937\r\n[xdio] dev=hdb2 offset=2000 size=8000\r\n"
                         "[xdio] dev=hdb4 offset=1100 size=800\r\n[xdio] dev=hdb5 offset=2063 size=1000\r\n"
                         "[xdio] dev=hdb6 offset=3163 size=1900\r\n")})
        EXPECT_NE(log.find(line), std::string::npos) << line << "\nin\n" << log;
    SetEnvironmentVariableA("ZERKA_FAKE_VOLUMES", nullptr);
}

TEST(Messages, ErrorBoxTextCutBetweenCharacters)
{
    char text[1024];
    std::string name(1016, 'x');  // "name (2): " fills 1022 bytes; a double-byte character would take 1022 and 1023
    format_error_box_text(text, name.c_str(), 2, "\xD5\xD2\xB2\xBB\r\n");
    EXPECT_EQ(std::string(text + 1016), " (2): ");
}

// message ID: looks message ID up. nomem: reads a large output that its heap block cannot hold
// (the test layer's limit, set by the test).
static int helper(const std::string &mode, const char *argument)
{
    if (mode == "message") load_message(atoi(argument));
    if (mode == "nomem") {
        PROCESS_INFORMATION flood;
        return output_of(start_child({}, &flood)), 1;  // the test sets its FLOOD; 1: it fitted after all
    }
    return 0;
}

int main(int argc, char **argv)
{
    if (argc > 2 && std::string(argv[1]) == "--helper") return helper(argv[2], argc > 3 ? argv[3] : "");
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
