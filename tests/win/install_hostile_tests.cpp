// Installations from C:\zerka-fake7z, where 7z is the tool double: listings and
// extractions that the real 7-Zip would not produce, and stops at exact moments.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "install_support.h"
#include "resources/resource_ids.h"

namespace {

using file_list = std::vector<std::pair<long long, std::string>>;

const std::string listing_path = "C:\\records\\listing.txt";
const std::string extract_record = "C:\\records\\7z-e.log";
const std::string any_image = IMAGES_DIR "\\small.iso";  // the double never reads it

std::string checks_done()
{
    return msg(21) + msg(20) + msg(23) + msg(20) + msg(27) + msg(20);
}

std::string copy_line(char drive, const std::string &name)
{
    return msgf(29, drive, "zerka\\", name.c_str());
}

std::string boot_done()
{
    return msgf(31, 'D') + msg(20) + msg(32) + msg(20) + msg(37);
}

class Hostile : public testing::Test {
protected:
    void SetUp() override
    {
        remove_tree("D:\\zerka");
        remove_tree("C:\\records");
        CreateDirectoryA("C:\\records", nullptr);
    }
    // The double lists listing_text, and extracts files of write_size bytes.
    void install(install_run &run, const std::string &listing_text, long long write_size,
                 std::vector<std::string> env = {}, char drive = 'D')
    {
        write_file(listing_path, listing_text);
        env.push_back("ZERKA_DOUBLE_7Z_L_STDOUT_FILE=" + listing_path);
        env.push_back("ZERKA_DOUBLE_7Z_E_WRITE=" + std::to_string(write_size));
        env.push_back("ZERKA_DOUBLE_7Z_E_RECORD=" + extract_record);
        start_install(run, FAKE7Z_EXE, any_image, drive, env);
    }
    std::string log_after(const std::string &listing_text, long long write_size, std::vector<std::string> env = {})
    {
        install_run run;
        install(run, listing_text, write_size, env);
        if (run.progress == nullptr) return "<no progress dialog>";
        if (!run.finish()) return "<no end>: " + utf8_of_gbk(run.log());
        return utf8_of_gbk(run.log());
    }
};

TEST_F(Hostile, NamesThatWouldBecomeSwitchesListsOrWildcardsNeverReach7z)
{
    for (const std::string name : {"q\"uote.sfs", "-ao.sfs", "@list.sfs", "*.sfs", "what?.sfs"}) {
        std::string log = log_after(fake_listing({{100, name}}, 100), 100);
        EXPECT_EQ(log, utf8_of_gbk(checks_done() + copy_line('D', name) + msg(18) + msg(38))) << name;
        EXPECT_FALSE(file_exists(extract_record)) << name << " reached: " << read_file(extract_record);
    }
    // A file before the hostile one is installed and stays.
    std::string log = log_after(fake_listing({{100, "good.sfs"}, {100, "-r"}}, 200), 100);
    EXPECT_EQ(log, utf8_of_gbk(checks_done() + copy_line('D', "good.sfs") + msg(20) + copy_line('D', "-r") +
                               msg(18) + msg(38)));
    EXPECT_EQ(file_size("D:\\zerka\\good.sfs"), 100);
}

TEST_F(Hostile, NameWithAFolderIsCheckedAtItsWholePath)
{
    std::string log = log_after(fake_listing({{100, "boot\\x.sfs"}}, 100), 100);
    EXPECT_EQ(log, utf8_of_gbk(checks_done() + copy_line('D', "boot\\x.sfs") + msg(30) + msg(38)));
    EXPECT_EQ(read_file(extract_record), "7z e -y -oD:\\zerka\\ \"" + any_image + "\" \"boot\\x.sfs\"\r\n");
    EXPECT_EQ(file_size("D:\\zerka\\x.sfs"), 100);  // where 7z puts it; left in place
}

TEST_F(Hostile, TextsThatDoNotFitTheirBufferAreNeverUsedCut)
{
    const std::string reason = "(path or command line longer than 1023 bytes)\r\n";
    // The log line fits (1004 bytes) but the command line with the image path does not.
    const std::string long_name = std::string(981, 'n') + ".sfs";
    std::string log = log_after(fake_listing({{100, long_name}}, 100), 100);
    EXPECT_EQ(log, utf8_of_gbk(checks_done() + copy_line('D', long_name) + msg(18) + reason + msg(38)));
    EXPECT_FALSE(file_exists(extract_record));
    // Not even the log line fits.
    const std::string longer_name = std::string(1011, 'n') + ".sfs";
    log = log_after(fake_listing({{100, longer_name}}, 100), 100);
    EXPECT_EQ(log, utf8_of_gbk(checks_done() + msg(18) + reason + msg(38)));
    EXPECT_FALSE(file_exists(extract_record));
}

TEST_F(Hostile, ExitCodeAndSizeOfEachExtraction)
{
    const std::string complaint = "ERROR: Data Error : a.sfs\r\n";
    // Failed but complete: logged with its output, counted as done.
    std::string log = log_after(fake_listing({{100, "a.sfs"}}, 100), 100,
                                {"ZERKA_DOUBLE_7Z_E_EXIT=2", "ZERKA_DOUBLE_7Z_E_STDOUT=" + complaint});
    EXPECT_EQ(log, utf8_of_gbk(checks_done() + copy_line('D', "a.sfs") + msg(18) + complaint + msg(20) + boot_done()));
    // Failed and short.
    log = log_after(fake_listing({{200, "a.sfs"}}, 200), 100,
                    {"ZERKA_DOUBLE_7Z_E_EXIT=2", "ZERKA_DOUBLE_7Z_E_STDOUT=" + complaint});
    EXPECT_EQ(log, utf8_of_gbk(checks_done() + copy_line('D', "a.sfs") + msg(18) + complaint + msg(30) + msg(38)));
    // Succeeded but short.
    log = log_after(fake_listing({{200, "a.sfs"}}, 200), 100);
    EXPECT_EQ(log, utf8_of_gbk(checks_done() + copy_line('D', "a.sfs") + msg(30) + msg(38)));
}

TEST_F(Hostile, FloodOfOutputWhileExtractingDoesNotStallTheJob)
{
    std::string log = log_after(fake_listing({{1000, "a.sfs"}, {1000, "b.sfs"}}, 2000), 1000,
                                {"ZERKA_DOUBLE_7Z_E_FLOOD=3000000"});
    EXPECT_EQ(log, utf8_of_gbk(checks_done() + copy_line('D', "a.sfs") + msg(20) + copy_line('D', "b.sfs") +
                               msg(20) + boot_done()));
}

TEST_F(Hostile, ListingWithoutTotalsOrWithATotalOfZero)
{
    std::string no_totals = fake_listing({{100, "a.sfs"}}, 100, false);
    EXPECT_EQ(log_after(no_totals, 100), utf8_of_gbk(msg(21) + msg(22) + no_totals + msg(38)));
    EXPECT_FALSE(file_exists(extract_record));

    install_run run;
    install(run, fake_listing({{100, "a.sfs"}, {100, "vmlinuz"}}, 0), 100, {"ZERKA_DOUBLE_SYSLINUX_SLEEP=1500"});
    ASSERT_NE(run.progress, nullptr);
    ASSERT_TRUE(run.wait_log_ends_with(msg(32)));
    EXPECT_EQ(run.bar(), 95);
    ASSERT_TRUE(run.finish());
    EXPECT_EQ(utf8_of_gbk(run.log()), utf8_of_gbk(checks_done() + copy_line('D', "a.sfs") + msg(20) +
                                                  copy_line('D', "vmlinuz") + msg(20) + boot_done()));
}

TEST_F(Hostile, OldListingLayoutInstallsToo)
{
    const char *separator = "------------------- ----- ------------ ------------  ------------------------\r\n";
    std::string old = std::string("\r\n7-Zip 9.20  Copyright (c) 1999-2010 Igor Pavlov  2010-11-18\r\n\r\n") +
                      "   Date      Time    Attr         Size   Compressed  Name\r\n" + separator +
                      "2010-05-01 10:00:00                100          100  initrd.gz\r\n" +
                      "2010-05-01 10:00:00                100          100  vmlinuz\r\n" + separator +
                      "                                   200          200  2 files, 0 folders\r\n";
    EXPECT_EQ(log_after(old, 100), utf8_of_gbk(checks_done() + copy_line('D', "initrd.gz") + msg(20) +
                                               copy_line('D', "vmlinuz") + msg(20) + boot_done()));
}

TEST_F(Hostile, TotalsOfTwoGibibytesAndMore)
{
    const long long a = 3000000000LL, total = 2 * a;
    // The bar while the first of two 3 GB files has reached 1.5 GB: a quarter of 90.
    install_run run;
    install(run, fake_listing({{a, "a.sfs"}, {a, "b.sfs"}}, total), a / 2, {"ZERKA_DOUBLE_7Z_E_SLEEP=4000"});
    ASSERT_NE(run.progress, nullptr);
    ASSERT_TRUE(run.wait_log_ends_with(copy_line('D', "a.sfs"))) << utf8_of_gbk(run.log());
    EXPECT_TRUE(wait_until([&] { return run.bar() == 22; }, 3500)) << run.bar();
    ASSERT_TRUE(run.finish());
    EXPECT_EQ(utf8_of_gbk(run.log()), utf8_of_gbk(checks_done() + copy_line('D', "a.sfs") + msg(30) + msg(38)));
    remove_tree("D:\\zerka");

    // The space check sees the whole total, not a 32-bit remainder or a saturated 2 GiB.
    ULARGE_INTEGER free_bytes;
    ASSERT_TRUE(GetDiskFreeSpaceExA("S:\\", &free_bytes, nullptr, nullptr));
    if (free_bytes.QuadPart >= 5000000000ULL) GTEST_SKIP() << "S: is not small here";
    install_run small;
    install(small, fake_listing({{5000000000LL, "big.sfs"}}, 5000000000LL), 0, {}, 'S');
    ASSERT_NE(small.progress, nullptr);
    ASSERT_TRUE(small.finish());
    EXPECT_EQ(utf8_of_gbk(small.log()),
              utf8_of_gbk(msg(21) + msg(20) + msg(23) + msg(20) + msg(27) + msgf(28, 4768) + msg(38)));
}

TEST_F(Hostile, StopDuringTheListing)
{
    install_run run;
    install(run, fake_listing({{100, "a.sfs"}}, 100), 100, {"ZERKA_DOUBLE_7Z_L_SLEEP=2000"});
    ASSERT_NE(run.progress, nullptr);
    ASSERT_TRUE(run.wait_log_ends_with(msg(21)));
    click(run.progress, IDC_STOP_CLOSE);
    EXPECT_TRUE(wait_until([&] { return run.button_text() == msg(16); }, 1000));
    ASSERT_TRUE(run.finish());
    EXPECT_EQ(utf8_of_gbk(run.log()), utf8_of_gbk(msg(21) + msg(20) + msg(38)));
}

TEST_F(Hostile, StopDuringExtractionEndsSevenZipAndKeepsThePartialFile)
{
    install_run run;
    install(run, fake_listing({{1000000, "a.sfs"}, {100, "b.sfs"}}, 1000100), 4096, {"ZERKA_DOUBLE_7Z_E_SLEEP=60000"});
    ASSERT_NE(run.progress, nullptr);
    ASSERT_TRUE(run.wait_log_ends_with(copy_line('D', "a.sfs")));
    ASSERT_TRUE(wait_until([] { return file_size("D:\\zerka\\a.sfs") == 4096; }));
    ASSERT_TRUE(wait_until([&] { return run.bar() == 0 && processes_named("7z.exe") == 1; }));
    click(run.progress, IDC_STOP_CLOSE);
    // 38 may follow at once, so look for the cancelled line anywhere.
    const std::string cancelled = copy_line('D', "a.sfs") + msg(19);
    ASSERT_TRUE(wait_until([&] { return run.log().find(cancelled) != std::string::npos; }, 5000))
        << utf8_of_gbk(run.log());
    EXPECT_TRUE(wait_until([] { return processes_named("7z.exe") == 0; }, 500));  // ended, not waited for
    ASSERT_TRUE(run.finish(5000));
    EXPECT_EQ(utf8_of_gbk(run.log()), utf8_of_gbk(checks_done() + copy_line('D', "a.sfs") + msg(19) + msg(38)));
    EXPECT_EQ(file_size("D:\\zerka\\a.sfs"), 4096);
    EXPECT_FALSE(file_exists("D:\\zerka\\b.sfs"));
}

}  // namespace
