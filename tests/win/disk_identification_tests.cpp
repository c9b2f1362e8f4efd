// GRUB device names and the start-up drive log under Wine, on the test bed's disk images.
// Wine answers the device-number query but not the partition-information query (error 50);
// the fake storage queries (ZERKA_FAKE_VOLUMES) give volumes the extents of image partitions.
#include <gtest/gtest.h>

#include <windows.h>

#include <stdio.h>
#include <string.h>

#include <set>
#include <string>
#include <vector>

#include "disk/drive_log.h"
#include "disk/grub_name.h"
#include "fake_system_calls.h"
#include "gui_driver.h"

namespace {

const char *log_path = "C:\\kestrix_drive.log";

void fake_volumes(const std::string &config)
{
    SetEnvironmentVariableA("ZERKA_FAKE_VOLUMES", config.empty() ? nullptr : config.c_str());
    fake_system_calls_reload();
}

std::string extent(unsigned long long start_sector, unsigned long long sectors)
{
    return "start=" + std::to_string(start_sector * 512) + ",length=" + std::to_string(sectors * 512);
}


std::string read_file(const char *path)
{
    std::string bytes;
    FILE *f = fopen(path, "rb");
    if (!f) return "<missing>";
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) bytes.append(buffer, n);
    fclose(f);
    return bytes;
}

std::string run_drive_log()
{
    DeleteFileA(log_path);
    drive_log();
    return read_file(log_path);
}

// Letters of the test bed; other suites' letters may come and go, so only these are compared.
const std::set<char> testbed_letters = {'C', 'D', 'E', 'F', 'G', 'H', 'S', 'U'};

char line_letter(const std::string &line)
{
    size_t at = line.find("\\\\.\\");
    if (at != std::string::npos) return line[at + 4];
    at = line.find("[winapi] dev=");
    if (at == 0) return line[13];
    return 0;
}

// The log's lines, CR LF included, split after each LF; unknown letters' lines left out.
std::vector<std::string> known_lines(const std::string &log)
{
    std::vector<std::string> lines;
    size_t begin = 0;
    while (begin < log.size()) {
        size_t end = log.find('\n', begin);
        end = end == std::string::npos ? log.size() : end + 1;
        std::string line = log.substr(begin, end - begin);
        char letter = line_letter(line);
        if (letter == 0 || testbed_letters.count(letter)) lines.push_back(line);
        begin = end;
    }
    return lines;
}

std::string partinfo_error(char letter)
{
    return std::string("DeviceIoControl(\\\\.\\") + letter +
           ":,IOCTL_DISK_GET_PARTITION_INFO): " + system_text(50);
}

// The partitions of the images: hdb the worked example, hdc equal extents, hde past 4 GiB.
const std::vector<std::string> xdio_section = {
    "[xdio] dev=hdb1 offset=63 size=937\r\n",     "[xdio] dev=hdb2 offset=2000 size=8000\r\n",
    "[xdio] dev=hdb4 offset=1100 size=800\r\n",   "[xdio] dev=hdb5 offset=2063 size=1000\r\n",
    "[xdio] dev=hdb6 offset=3163 size=1900\r\n",  "[xdio] dev=hdc1 offset=2048 size=8192\r\n",
    "[xdio] dev=hdc2 offset=10240 size=4096\r\n", "[xdio] dev=hdc5 offset=2048 size=8192\r\n",
    "[xdio] dev=hde1 offset=8390656 size=16\r\n"};

std::vector<std::string> joined(std::vector<std::string> a, const std::vector<std::string> &b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

struct DiskIdentification : ::testing::Test {
    void SetUp() override { fake_volumes(""); }
    void TearDown() override { fake_volumes(""); }
};

TEST_F(DiskIdentification, SystemTextsEndInCrLf)
{
    // The expected lines below are built from these texts; the log must end each line there.
    for (DWORD code : {5u, 50u, 1117u}) {
        std::string text = system_text(code);
        ASSERT_GE(text.size(), 2u) << code;
        EXPECT_EQ(text.substr(text.size() - 2), "\r\n") << code;
    }
}

TEST_F(DiskIdentification, DriveLogAsWineAnswers)
{
    std::string log = run_drive_log();
    // Fixed and removable letters from C upward; the CD-ROM F: and network G: give no line.
    std::vector<std::string> expected = joined(
        {partinfo_error('C'), partinfo_error('D'), partinfo_error('E'), partinfo_error('H'),
         partinfo_error('S'), partinfo_error('U')},
        xdio_section);
    EXPECT_EQ(known_lines(log), expected) << utf8_of_gbk(log);
    EXPECT_EQ(log.find("\r\r"), std::string::npos) << "every line ends in one CR LF";
}

TEST_F(DiskIdentification, DriveLogWithAnsweredAndFailedQueries)
{
    const unsigned long long two32 = 1ull << 32;
    fake_volumes("D:fail_open=5;E:fail_number=1117;"
                 "H:device=2,partition=3,start=" + std::to_string((two32 + 5) * 512) +
                 ",length=" + std::to_string((two32 * 2 + 7) * 512) +
                 ";U:bus=7,device=1,partition=5," + extent(2063, 1000));
    std::string log = run_drive_log();
    std::vector<std::string> expected = joined(
        {partinfo_error('C'),
         "CreateFile(\\\\.\\D:): " + system_text(5),
         "DeviceIoControl(\\\\.\\E:,IOCTL_STORAGE_GET_DEVICE_NUMBER): " + system_text(1117),
         "[winapi] dev=H:(d2p3) offset=5 size=7\r\n",  // low 32 bits of the sector counts
         partinfo_error('S'),
         "[winapi] dev=U:(d1p5) offset=2063 size=1000\r\n"},
        xdio_section);
    EXPECT_EQ(known_lines(log), expected) << utf8_of_gbk(log);
}

TEST_F(DiskIdentification, DriveLogLeavesOutLettersThatAreNoTarget)
{
    // A fixed drive whose storage properties cannot be read is not offered, so not logged.
    fake_volumes("E:fail_property=1;U:fail_property=31");
    std::vector<std::string> lines = known_lines(run_drive_log());
    std::vector<std::string> expected = joined(
        {partinfo_error('C'), partinfo_error('D'), partinfo_error('H'), partinfo_error('S')},
        xdio_section);
    EXPECT_EQ(lines, expected);
}

TEST_F(DiskIdentification, DriveLogLineEndsWhenTheSystemHasNoText)
{
    // No system text for this code: the line must still end, not run into the next one.
    const DWORD no_text = 0x20001234;
    ASSERT_EQ(system_text(no_text), "");
    fake_volumes("D:fail_open=" + std::to_string(no_text));
    std::vector<std::string> lines = known_lines(run_drive_log());
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[1], "CreateFile(\\\\.\\D:): \r\n");
    EXPECT_EQ(lines[2], partinfo_error('E'));
}

TEST_F(DiskIdentification, DriveLogSkippedWhenItCannotBeCreated)
{
    DeleteFileA(log_path);
    ASSERT_TRUE(CreateDirectoryA(log_path, nullptr));
    drive_log();  // returns quietly: no box, nothing written
    DWORD attributes = GetFileAttributesA(log_path);
    EXPECT_NE(attributes, INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);
    ASSERT_TRUE(RemoveDirectoryA(log_path));
    EXPECT_NE(run_drive_log().find("[xdio] dev=hdb1 offset=63 size=937\r\n"), std::string::npos)
        << "written again once it can be";
}

TEST_F(DiskIdentification, GrubNameOfMatchingPartitions)
{
    struct {
        std::string volume;
        const char *name;
    } cases[] = {
        {"E:device=1,partition=5," + extent(2063, 1000), "(hd1,4)"},  // first logical
        {"E:device=1,partition=1," + extent(63, 937), "(hd1,0)"},
        {"E:device=1,partition=6," + extent(3163, 1900), "(hd1,5)"},
        {"E:device=1," + extent(1100, 800), "(hd1,3)"},
        {"E:device=2,partition=2," + extent(10240, 4096), "(hd2,1)"},
        // Container in slot 0 and its logical partition have the same extent: walk order wins.
        {"E:device=2," + extent(2048, 8192), "(hd2,0)"},
        // Byte counts are cut to whole sectors.
        {"E:device=1,start=" + std::to_string(2063 * 512 + 511) + ",length=" +
             std::to_string(1000 * 512 + 100),
         "(hd1,4)"},
    };
    for (const auto &c : cases) {
        fake_volumes(c.volume);
        const char *name = grub_device_name('E');
        ASSERT_NE(name, nullptr) << c.volume;
        EXPECT_STREQ(name, c.name) << c.volume;
    }
}

TEST_F(DiskIdentification, NoGrubNameWithoutAMatch)
{
    const unsigned long long two32 = 1ull << 32;
    for (const std::string &volume : std::vector<std::string>{
             "E:device=1," + extent(2063, 999),           // length off by one sector
             "E:device=1," + extent(2064, 1000),          // start off by one sector
             "E:device=1," + extent(two32 + 2063, 1000),  // beyond 32 bits: no truncation
             "E:device=1," + extent(2063, two32 + 1000),
             "E:device=1,start=-1056256,length=512000",  // a negative offset
             "E:device=3," + extent(63, 937),              // disk without a table
             "E:device=5," + extent(63, 937),              // no such disk
             "E:device=10," + extent(2063, 1000),         // above 9 (disk 12 is an image)
             "E:device=12," + extent(2063, 1000),
             "E:device=4294967295," + extent(2063, 1000),
             "E:fail_number=1117," + extent(2063, 1000),
             "E:device=1,fail_partinfo=1117",
             "",  // Wine itself: the partition-information query fails
         }) {
        fake_volumes(volume);
        EXPECT_EQ(grub_device_name('E'), nullptr) << volume;
    }
}

DWORD WINAPI name_on_thread(void *letter)
{
    return grub_device_name(*(char *)letter) == nullptr ? 0 : 1;
}

TEST_F(DiskIdentification, VolumeThatCannotBeOpenedShowsTheErrorBox)
{
    fake_volumes("E:fail_open=5");
    char letter = 'E';
    HANDLE thread = CreateThread(nullptr, 0, name_on_thread, &letter, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    HWND box = wait_for_message_box(GetCurrentProcessId(), nullptr, 10000);
    ASSERT_NE(box, nullptr) << "no error box";
    EXPECT_EQ(window_text(box), "Error");
    EXPECT_EQ(message_box_text(box), "CreateFile (5): " + system_text(5));
    dismiss_message_box(box);
    ASSERT_EQ(WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
    DWORD named = 2;
    GetExitCodeThread(thread, &named);
    CloseHandle(thread);
    EXPECT_EQ(named, 0u) << "no name after the box";
}

HANDLE lowest_free_handle()
{
    HANDLE probe = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    CloseHandle(probe);
    return probe;
}

TEST_F(DiskIdentification, NoHandleLeftOpenOnAnyPath)
{
    const std::vector<std::string> configurations = {
        "E:device=1," + extent(2063, 1000),  // named
        "E:device=1," + extent(2063, 999),   // walked, no match
        "E:device=3," + extent(63, 937),     // table without signature
        "E:device=10," + extent(63, 937),    // disk never opened
        "E:fail_number=1117",
        "E:device=1,fail_partinfo=1117",
        "D:fail_open=5;U:device=1,partition=5," + extent(2063, 1000),  // for the drive log
    };
    // Once round first: anything opened for good on first use is not a leak.
    for (const std::string &config : configurations) {
        fake_volumes(config);
        grub_device_name('E');
    }
    run_drive_log();
    // Wine gives no handle count (GetProcessHandleCount reports 0), but it hands out the
    // lowest free handle value: a handle left open moves it.
    HANDLE before = lowest_free_handle();
    for (int round = 0; round < 5; ++round) {
        for (const std::string &config : configurations) {
            fake_volumes(config);
            grub_device_name('E');
        }
        run_drive_log();
    }
    EXPECT_EQ(lowest_free_handle(), before);
}

TEST_F(DiskIdentification, InstallerWritesTheLogBeforeItsDialogShows)
{
    // The test bed's build of the installer, its storage queries answered for U: on disk 1.
    DeleteFileA(log_path);
    installer_session session = start_installer(
        "C:\\zerka-installer\\zerka-installer-testbed.exe",
        {"ZERKA_FAKE_VOLUMES=U:device=1,partition=5," + extent(2063, 1000)});
    ASSERT_NE(session.process.hProcess, nullptr);
    bool shown = session.main != nullptr;
    std::string log = read_file(log_path);
    kill_program(session.process);
    ASSERT_TRUE(shown) << "main dialog";
    std::vector<std::string> lines = known_lines(log);
    std::vector<std::string> expected = joined(
        {partinfo_error('C'), partinfo_error('D'), partinfo_error('E'), partinfo_error('H'),
         partinfo_error('S'), "[winapi] dev=U:(d1p5) offset=2063 size=1000\r\n"},
        xdio_section);
    EXPECT_EQ(lines, expected) << utf8_of_gbk(log);
}

TEST_F(DiskIdentification, SecondNameOverwritesTheFirst)
{
    fake_volumes("E:device=1," + extent(2063, 1000) + ";U:device=2," + extent(10240, 4096));
    const char *first = grub_device_name('E');
    ASSERT_NE(first, nullptr);
    EXPECT_STREQ(first, "(hd1,4)");
    const char *second = grub_device_name('U');
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(first, second) << "one process-wide buffer";
    EXPECT_STREQ(first, "(hd2,1)");
}

}  // namespace
