// Whole installations onto the removable drive D: with the real 7-Zip and real ISO images
// (tests/win/fixtures/20-iso-images.sh), driven through the installer's windows.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "install_support.h"
#include "resources/resource_ids.h"

namespace {

const char *const small_files[] = {"initrd.gz", "vmlinuz", "zerka_100.sfs", "zerka_200.sfs"};
const std::string chkdsk_record = "C:\\records\\chkdsk.log";
const std::string syslinux_record = "C:\\records\\syslinux.log";

std::string checks_done()
{
    return msg(21) + msg(20) + msg(23) + msg(20) + msg(27) + msg(20);
}

std::string copy_line(const char *name)
{
    return msgf(29, 'D', "zerka\\", name);
}

std::string boot_done()
{
    return msgf(31, 'D') + msg(20) + msg(32) + msg(20) + msg(37);
}

std::string image(const char *name)
{
    return std::string(IMAGES_DIR "\\") + name;
}

class Install : public testing::Test {
protected:
    void SetUp() override
    {
        remove_tree("D:\\zerka");
        DeleteFileA("D:\\syslinux.cfg");
        remove_tree("C:\\records");
        CreateDirectoryA("C:\\records", nullptr);
    }
    std::vector<std::string> recording() const
    {
        return {"ZERKA_DOUBLE_CHKDSK_RECORD=" + chkdsk_record, "ZERKA_DOUBLE_SYSLINUX_RECORD=" + syslinux_record};
    }
};

TEST_F(Install, WholeInstallationLogsEveryStepAndWritesTheImagesFiles)
{
    write_file("D:\\syslinux.cfg", "old configuration\r\n");
    // A file of an earlier installation is overwritten without a question.
    CreateDirectoryA("D:\\zerka", nullptr);
    write_file("D:\\zerka\\vmlinuz", "an older kernel");
    std::vector<std::string> env = recording();
    env.push_back("ZERKA_DOUBLE_SYSLINUX_SLEEP=1500");  // time to look at the bar meanwhile
    install_run run;
    start_install(run, INSTALLER_EXE, image("small.iso"), 'D', env);
    ASSERT_NE(run.progress, nullptr);

    ASSERT_TRUE(run.wait_log_ends_with(msg(32), 60000)) << utf8_of_gbk(run.log());
    EXPECT_EQ(run.bar(), 95);
    ASSERT_TRUE(run.finish());

    std::string expected = checks_done();
    for (const char *name : small_files) expected += copy_line(name) + msg(20);
    expected += boot_done();
    EXPECT_EQ(utf8_of_gbk(run.log()), utf8_of_gbk(expected));
    EXPECT_EQ(run.bar(), 100);
    EXPECT_EQ(run.button_text(), msg(16));

    for (const char *name : small_files) {
        std::string written = read_file(std::string("D:\\zerka\\") + name);
        EXPECT_FALSE(written.empty()) << name;
        EXPECT_TRUE(written == read_file(image("small\\") + name)) << name << " differs from the image";
    }
    for (const char *stays : {"README.txt", "isolinux.bin", "nested.sfs", "boot", "docs", "folder.sfs"})
        EXPECT_FALSE(file_exists(std::string("D:\\zerka\\") + stays)) << stays;

    std::string configuration = read_file("D:\\syslinux.cfg");
    EXPECT_EQ(configuration, read_file(INSTALLER_DIR "\\syslinux.cfg"));
    EXPECT_NE(configuration.find("/zerka/vmlinuz"), std::string::npos);
    EXPECT_NE(configuration.find("PSUBDIR=zerka"), std::string::npos);
    EXPECT_EQ(read_file(syslinux_record), "syslinux -f D:\r\n");
    EXPECT_EQ(read_file(chkdsk_record), "chkdsk D:\r\n");
}

TEST_F(Install, ImageThatSevenZipCannotOpenLogsItsWholeOutput)
{
    std::string output;
    DWORD code = run_capture(INSTALLER_DIR "\\7z.exe l \"" + image("broken.iso") + "\" *.sfs vmlinuz initrd.gz",
                             &output);
    ASSERT_NE(code, 0u);
    ASSERT_NE(output.find("broken.iso"), std::string::npos) << output;

    install_run run;
    start_install(run, INSTALLER_EXE, image("broken.iso"), 'D', recording());
    ASSERT_NE(run.progress, nullptr);
    ASSERT_TRUE(run.finish());
    EXPECT_EQ(utf8_of_gbk(run.log()), utf8_of_gbk(msg(21) + msg(18) + output + msg(38)));
    EXPECT_FALSE(file_exists(chkdsk_record));
    EXPECT_FALSE(file_exists("D:\\zerka"));
}

TEST_F(Install, ImageWithoutTheFilesInstallsNothingButTheBootLoader)
{
    install_run run;
    start_install(run, INSTALLER_EXE, image("empty.iso"), 'D', recording());
    ASSERT_NE(run.progress, nullptr);
    ASSERT_TRUE(run.finish());
    EXPECT_EQ(utf8_of_gbk(run.log()), utf8_of_gbk(checks_done() + boot_done()));
    EXPECT_EQ(run.bar(), 100);
    EXPECT_FALSE(file_exists("D:\\zerka"));
    EXPECT_EQ(read_file(syslinux_record), "syslinux -f D:\r\n");
}

TEST_F(Install, ChkdskExitCodesAdviseAndOnlyThreeStopsTheJob)
{
    const std::string advice = msgf(26, 'D');
    const struct {
        int code;
        std::string outcome;
    } goes_on[] = {{1, msg(25)}, {2, msg(24)}, {7, msg(25)}};
    for (const auto &c : goes_on) {
        install_run run;
        start_install(run, INSTALLER_EXE, image("empty.iso"), 'D',
                      {"ZERKA_DOUBLE_CHKDSK_EXIT=" + std::to_string(c.code)});
        ASSERT_NE(run.progress, nullptr);
        ASSERT_TRUE(run.finish());
        EXPECT_EQ(utf8_of_gbk(run.log()),
                  utf8_of_gbk(msg(21) + msg(20) + msg(23) + c.outcome + advice + msg(27) + msg(20) + boot_done()))
            << "exit code " << c.code;
    }
    install_run run;
    start_install(run, INSTALLER_EXE, image("small.iso"), 'D', {"ZERKA_DOUBLE_CHKDSK_EXIT=3"});
    ASSERT_NE(run.progress, nullptr);
    ASSERT_TRUE(run.finish());
    EXPECT_EQ(utf8_of_gbk(run.log()), utf8_of_gbk(msg(21) + msg(20) + msg(23) + msg(18) + advice + msg(38)));
    EXPECT_FALSE(file_exists("D:\\zerka"));
}

TEST_F(Install, NotEnoughSpaceNamesTheMegabytes)
{
    ULARGE_INTEGER free_bytes;
    ASSERT_TRUE(GetDiskFreeSpaceExA("S:\\", &free_bytes, nullptr, nullptr));
    if (free_bytes.QuadPart > (6u << 20)) GTEST_SKIP() << "S: is not the small tmpfs here";
    remove_tree("S:\\zerka");
    install_run run;
    start_install(run, INSTALLER_EXE, image("big.iso"), 'S');
    ASSERT_NE(run.progress, nullptr);
    ASSERT_TRUE(run.finish());
    // 6,491,456 bytes: 6 whole megabytes.
    EXPECT_EQ(utf8_of_gbk(run.log()),
              utf8_of_gbk(msg(21) + msg(20) + msg(23) + msg(20) + msg(27) + msgf(28, 6) + msg(38)));
    EXPECT_FALSE(file_exists("S:\\zerka"));
}

// The folder behind drive H: on the host, reached through Wine's \\?\unix\ paths.
std::string host_folder_of_h()
{
    char state[1024] = {};
    if (!GetEnvironmentVariableA("ZERKA_TESTBED", state, sizeof state)) return "";
    std::string path = std::string("\\\\?\\unix") + state + "/drives/h";
    for (char &c : path)
        if (c == '/') c = '\\';
    return path;
}

TEST_F(Install, FreeSpaceThatCannotBeReadFailsTheStep)
{
    const std::string folder = host_folder_of_h();
    if (folder.empty() || !file_exists(folder)) GTEST_SKIP() << "no host path for H:";
    install_run run;
    start_install(run, INSTALLER_EXE, image("small.iso"), 'H', {"ZERKA_DOUBLE_CHKDSK_SLEEP=1500"});
    ASSERT_NE(run.progress, nullptr);
    ASSERT_TRUE(run.wait_log_ends_with(msg(23)));
    // While chkdsk runs, the volume goes away under the drive letter.
    ASSERT_TRUE(MoveFileA(folder.c_str(), (folder + ".away").c_str())) << GetLastError();
    bool ended = run.finish();
    MoveFileA((folder + ".away").c_str(), folder.c_str());
    ASSERT_TRUE(ended);
    EXPECT_EQ(utf8_of_gbk(run.log()),
              utf8_of_gbk(msg(21) + msg(20) + msg(23) + msg(20) + msg(27) + msg(18) + msg(38)));
}

TEST_F(Install, SyslinuxFailureShowsItsErrorOutputOnly)
{
    std::vector<std::string> env = recording();
    env.push_back("ZERKA_DOUBLE_SYSLINUX_EXIT=1");
    env.push_back("ZERKA_DOUBLE_SYSLINUX_STDERR=syslinux: cannot open device D:\r\n");
    env.push_back("ZERKA_DOUBLE_SYSLINUX_STDOUT=standard output is not shown\r\n");
    install_run run;
    start_install(run, INSTALLER_EXE, image("empty.iso"), 'D', env);
    ASSERT_NE(run.progress, nullptr);
    ASSERT_TRUE(run.finish());
    EXPECT_EQ(utf8_of_gbk(run.log()),
              utf8_of_gbk(checks_done() + msgf(31, 'D') + msg(20) + msg(32) + msg(18) +
                          "syslinux: cannot open device D:\r\n" + msg(38)));
    EXPECT_EQ(run.bar(), 95);
    EXPECT_TRUE(file_exists("D:\\syslinux.cfg"));  // nothing written is taken back
}

// Moves the installer's syslinux.cfg away for one test and back afterwards.
struct configuration_away {
    configuration_away() { MoveFileA(INSTALLER_DIR "\\syslinux.cfg", INSTALLER_DIR "\\syslinux.cfg.away"); }
    ~configuration_away() { MoveFileA(INSTALLER_DIR "\\syslinux.cfg.away", INSTALLER_DIR "\\syslinux.cfg"); }
};

TEST_F(Install, MissingConfigurationLogsTheSystemTextAndSkipsSyslinux)
{
    configuration_away away;
    ASSERT_FALSE(file_exists(INSTALLER_DIR "\\syslinux.cfg"));
    install_run run;
    start_install(run, INSTALLER_EXE, image("empty.iso"), 'D', recording());
    ASSERT_NE(run.progress, nullptr);
    ASSERT_TRUE(run.finish());
    std::string reason = system_text(ERROR_FILE_NOT_FOUND);
    ASSERT_FALSE(reason.empty());
    EXPECT_EQ(utf8_of_gbk(run.log()),
              utf8_of_gbk(checks_done() + msgf(31, 'D') + msg(18) + reason + "\r\n" + msg(38)));
    EXPECT_EQ(run.bar(), 90);
    EXPECT_FALSE(file_exists(syslinux_record));
    EXPECT_FALSE(file_exists("D:\\syslinux.cfg"));
}

TEST_F(Install, StopWhileChkdskOrSyslinuxRunsLetsTheToolFinish)
{
    {
        install_run run;
        start_install(run, INSTALLER_EXE, image("empty.iso"), 'D', {"ZERKA_DOUBLE_CHKDSK_SLEEP=2000"});
        ASSERT_NE(run.progress, nullptr);
        ASSERT_TRUE(run.wait_log_ends_with(msg(23)));
        click(run.progress, IDC_STOP_CLOSE);
        EXPECT_TRUE(wait_until([&] { return run.button_text() == msg(16); }, 1000));
        EXPECT_EQ(run.log(), msg(21) + msg(20) + msg(23));  // chkdsk still runs
        ASSERT_TRUE(run.finish());
        EXPECT_EQ(utf8_of_gbk(run.log()), utf8_of_gbk(msg(21) + msg(20) + msg(23) + msg(20) + msg(38)));
    }
    {
        install_run run;
        start_install(run, INSTALLER_EXE, image("small.iso"), 'D', {"ZERKA_DOUBLE_SYSLINUX_SLEEP=2000"});
        ASSERT_NE(run.progress, nullptr);
        ASSERT_TRUE(run.wait_log_ends_with(msg(32), 60000));
        click(run.progress, IDC_STOP_CLOSE);
        ASSERT_TRUE(run.finish());
        std::string log = run.log();
        std::string tail = msg(32) + msg(20) + msg(38);
        ASSERT_GE(log.size(), tail.size());
        EXPECT_EQ(utf8_of_gbk(log.substr(log.size() - tail.size())), utf8_of_gbk(tail));
        EXPECT_EQ(run.bar(), 100);
    }
}

TEST_F(Install, FormatResultsAsTheShellReportsThem)
{
    const struct {
        int result;
        int outcome;
    } stopping[] = {{-3, 18}, {-2, 19}, {-1, 19}};
    for (const auto &c : stopping) {
        DeleteFileA("C:\\fake-format.log");
        install_run run;
        start_install(run, TESTBED_EXE, image("empty.iso"), 'D', {"ZERKA_FAKE_FORMAT=" + std::to_string(c.result)},
                      true);
        ASSERT_NE(run.progress, nullptr);
        ASSERT_TRUE(run.finish());
        EXPECT_EQ(utf8_of_gbk(run.log()), utf8_of_gbk(msgf(17, 'D') + msg(c.outcome) + msg(38))) << c.result;
        std::string call = read_file("C:\\fake-format.log");
        EXPECT_NE(call.find("drive=3 "), std::string::npos) << call;
        EXPECT_NE(call.find("options=1 "), std::string::npos) << call;
        EXPECT_NE(call.find("owner_visible=1"), std::string::npos) << call;
    }
    install_run done;
    start_install(done, TESTBED_EXE, image("empty.iso"), 'D', {"ZERKA_FAKE_FORMAT=0"}, true);
    ASSERT_NE(done.progress, nullptr);
    ASSERT_TRUE(done.finish());
    EXPECT_EQ(utf8_of_gbk(done.log()), utf8_of_gbk(msgf(17, 'D') + msg(20) + checks_done() + boot_done()));
}

TEST_F(Install, FormatWithWinesShellEndsTheJobAsImpossible)
{
    // Wine's format dialog answers "cannot format" at once.
    install_run run;
    start_install(run, INSTALLER_EXE, image("small.iso"), 'D', recording(), true);
    ASSERT_NE(run.progress, nullptr);
    ASSERT_TRUE(run.finish());
    EXPECT_EQ(utf8_of_gbk(run.log()), utf8_of_gbk(msgf(17, 'D') + msg(18) + msg(38)));
    EXPECT_FALSE(file_exists(chkdsk_record));
}

}  // namespace

TEST_F(Install, FixedDiskPartitionIsNotReportedAsInstalledWithoutItsBootLoader)
{
    remove_tree("E:\\zerka");
    install_run run;
    start_install(run, INSTALLER_EXE, image("small.iso"), 'E', recording());
    ASSERT_NE(run.progress, nullptr);
    ASSERT_TRUE(run.finish());
    std::string expected = checks_done();
    for (const char *name : small_files) expected += msgf(29, 'E', "zerka\\", name) + msg(20);
    expected += msg(33) + msg(18) + msg(38);
    EXPECT_EQ(utf8_of_gbk(run.log()), utf8_of_gbk(expected));
    EXPECT_FALSE(file_exists("E:\\syslinux.cfg"));  // no removable-drive set-up either
    EXPECT_TRUE(read_file(chkdsk_record).find("chkdsk E:") != std::string::npos);
    remove_tree("E:\\zerka");
}
