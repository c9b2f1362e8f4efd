// Whole installations driven through the installer's windows, one table row each. The expected
// log is a list of message ids (formatted with the row's drive; 29=name copies name into zerka\,
// 29C=name onto C:\, 28=n needs n megabytes) and $names of the texts below.
#include <gtest/gtest.h>

#include <stdio.h>

#include <functional>
#include <map>
#include <sstream>

#include "driver.h"
#include "resources/resource_ids.h"
#include "tools/child_runner.h"

namespace {

const std::vector<std::string> boot_files = {"vmlinuz", "initrd.gz"};
const std::string checks = "21 20 23 20 27 20 ";
const std::string two_files = checks + "29=vmlinuz 20 29=initrd.gz 20 ";
const std::string usb_boot = "31 20 32 20 37";
const std::string small_files = checks + "29=initrd.gz 20 29=vmlinuz 20 29=zerka_100.sfs 20 29=zerka_200.sfs 20 ";
const std::string fixed_boot = "33 20 29C=GRLDR 20 34 20 36 20 37";
const std::string boot_ini = "[boot loader]\r\ntimeout=0\r\n[operating systems]\r\nC:\\WINDOWS=\"Windows\"\r\n";
const std::string menu_entry = "title zerka (kestrix)\r\nroot (hd1,4)\r\nkernel /zerka/vmlinuz PMEDIA=idehd "
                               "PSUBDIR=zerka\r\ninitrd /zerka/initrd.gz\r\n";
// E: as partition 4 of the walk's worked example on physical drive 1.
const std::string fixed_e = "ZERKA_FAKE_VOLUMES=E:device=1,partition=5,start=1056256,length=512000";

std::map<std::string, std::string> texts;

std::string captured(std::string command, int standard_error = 0)
{
    PROCESS_INFORMATION process;
    char *text = read_all(run_captured(&command[0], &process, standard_error));
    finish_child(&process);
    std::string result = text;
    HeapFree(GetProcessHeap(), 0, text);
    return result;
}

std::string expected_log(const std::string &tokens, char drive)
{
    std::istringstream in(tokens);
    std::string log;
    for (std::string t; in >> t;) {
        std::string arg = t.find('=') == std::string::npos ? "" : t.substr(t.find('=') + 1);
        int id = atoi(t.c_str());
        if (t[0] == '$') log += texts.at(t);
        else if (id == 29) log += t[2] == 'C' ? msg(29, 'C', "", arg.c_str()) : msg(29, drive, "zerka\\", arg.c_str());
        else if (id == 28) log += msg(28, atoi(arg.c_str()));
        else log += msg(id, drive);
    }
    return log;
}

struct row {
    const char *name;
    std::vector<std::string> env;  // what the stand-ins and the fakes do
    std::string log;
    const char *exe = FAKE7Z_EXE;
    char drive = 'D';
    std::string image = IMAGES "small.iso";
    bool format = false;
    std::function<void()> setup = nullptr;
    std::function<void(installer &)> during = nullptr;  // acts while the job runs, then opens its gates
    std::function<void(installer &)> after = nullptr;
};

// The event a stand-in made (READY=name) lives as long as the stand-in.
bool running(const char *event)
{
    HANDLE h = OpenEventA(SYNCHRONIZE, FALSE, event);
    return h && CloseHandle(h);
}

void stop_at(installer &app, const std::string &tail, const char *gate)
{
    ASSERT_TRUE(app.log_ends_with(tail));
    std::string before = app.log();
    click(app.progress, IDC_STOP_CLOSE);
    EXPECT_TRUE(wait_until([&] { return item_text(app.progress, IDC_STOP_CLOSE) == msg(16); }));
    EXPECT_EQ(app.log(), before);  // the running step is not cut short
    open_gate(gate);
}

void expect_files(const std::string &folder, const std::vector<std::string> &names, const std::string &source)
{
    for (const std::string &name : names)
        EXPECT_TRUE(read_file(folder + name) == read_file(source + name)) << name;
}

// Copies the files below from into C:\\boot-proof\\as\\.
void keep(const std::string &from, const std::string &as, const std::vector<std::string> &files)
{
    std::string to = "C:\\boot-proof\\" + as + "\\";
    CreateDirectoryA(to.c_str(), nullptr);
    CreateDirectoryA((to + "zerka").c_str(), nullptr);
    for (const std::string &file : files) EXPECT_TRUE(CopyFileA((from + file).c_str(), (to + file).c_str(), FALSE)) << file;
}

std::vector<std::string> with(std::vector<std::string> env, const std::string &text = listing(boot_files, 300))
{
    return fake7z(text) + env;
}

void PrintTo(const row &r, std::ostream *out) { *out << r.name; }

const row rows[] = {
    {.name = "whole_installation", .env = {"ZERKA_DOUBLE_SYSLINUX_GATE=syslinux", "ZERKA_DOUBLE_CHKDSK_RECORD=C:\\records\\chkdsk.log",
      "ZERKA_DOUBLE_SYSLINUX_RECORD=C:\\records\\syslinux.log"}, .log = small_files + usb_boot, .exe = INSTALLER_EXE,
     .setup = [] { write_file("D:\\syslinux.cfg", "old"); CreateDirectoryA("D:\\zerka", nullptr); write_file("D:\\zerka\\vmlinuz", "old"); },
     .during = [](installer &app) {
         ASSERT_TRUE(app.log_ends_with(msg(32)));
         EXPECT_EQ(app.bar(), 95);
         open_gate("syslinux");
     },
     .after = [](installer &app) {
         EXPECT_EQ(app.bar(), 100);
         EXPECT_EQ(item_text(app.progress, IDC_STOP_CLOSE), msg(16));
         expect_files("D:\\zerka\\", {"vmlinuz", "initrd.gz", "zerka_100.sfs", "zerka_200.sfs"}, IMAGES "small\\");
         for (const char *stays : {"README.txt", "isolinux.bin", "nested.sfs", "folder.sfs"}) EXPECT_FALSE(exists(std::string("D:\\zerka\\") + stays));
         EXPECT_EQ(read_file("D:\\syslinux.cfg"), read_file(INSTALLER_DIR "\\syslinux.cfg"));
         EXPECT_EQ(read_file("C:\\records\\chkdsk.log") + read_file("C:\\records\\syslinux.log"), "chkdsk D:\r\nsyslinux -f D:\r\n");
     }},
    {.name = "image_7z_cannot_open", .log = "21 18 $broken 38", .exe = INSTALLER_EXE, .image = IMAGES "broken.iso"},
    {.name = "image_without_boot_files", .log = "21 18 38", .exe = INSTALLER_EXE, .image = IMAGES "empty.iso",
     .after = [](installer &) { EXPECT_FALSE(exists("D:\\zerka")); }},
    {.name = "image_with_only_the_kernel", .env = fake7z(listing({"vmlinuz", "zerka.sfs"}, 300)), .log = "21 18 38"},
    {.name = "chkdsk_1_goes_on", .env = with({"ZERKA_DOUBLE_CHKDSK_EXIT=1"}), .log = "21 20 23 25 26 27 20 29=vmlinuz 20 29=initrd.gz 20 " + usb_boot},
    {.name = "chkdsk_2_goes_on", .env = with({"ZERKA_DOUBLE_CHKDSK_EXIT=2"}), .log = "21 20 23 24 26 27 20 29=vmlinuz 20 29=initrd.gz 20 " + usb_boot},
    {.name = "chkdsk_3_stops", .env = with({"ZERKA_DOUBLE_CHKDSK_EXIT=3"}), .log = "21 20 23 18 26 38"},
    {.name = "not_enough_space", .env = fake7z(listing(boot_files, 1LL << 49)), .log = "21 20 23 20 27 28=1073741824 38"},
    {.name = "no_totals_line", .env = fake7z(listing(boot_files, 300, false)), .log = "21 22 $no_totals 38"},
    {.name = "old_listing_layout", .env = fake7z(listing(boot_files, 300, true, true)), .log = two_files + usb_boot},
    {.name = "total_of_zero", .env = fake7z(listing(boot_files, 0), 0), .log = two_files + usb_boot,
     .after = [](installer &app) { EXPECT_EQ(app.bar(), 100); }},
    {.name = "files_past_2_gib", .env = fake7z(listing(boot_files, (2LL << 30) + 512), (2LL << 30) + 512) +
     std::vector<std::string>{"ZERKA_DOUBLE_7Z_E_GATE=extract"}, .log = two_files + usb_boot,
     .during = [](installer &app) {
         EXPECT_TRUE(wait_until([&] { return app.bar() == 45; })) << app.bar();  // the first of two files written
         open_gate("extract");
     }},
    {.name = "name_in_a_folder_lands_flat", .env = fake7z(listing({"vmlinuz", "initrd.gz", "boot\\x.sfs"}, 300)),
     .log = two_files + "29=x.sfs 20 " + usb_boot, .after = [](installer &) { EXPECT_TRUE(exists("D:\\zerka\\x.sfs")); }},
    {.name = "name_that_would_end_its_quotes", .env = fake7z(listing({"a\"b.sfs", "vmlinuz", "initrd.gz"}, 300)), .log = "21 18 38"},
    {.name = "name_too_long_for_the_log", .env = fake7z(listing({std::string(1015, 'n'), "vmlinuz", "initrd.gz"}, 300)), .log = checks + "18 38"},
    {.name = "chatty_7z", .env = with({"ZERKA_DOUBLE_7Z_E_FLOOD=3000000"}), .log = two_files + usb_boot},
    {.name = "7z_fails_but_size_is_right", .env = with({"ZERKA_DOUBLE_7Z_E_EXIT=2", "ZERKA_DOUBLE_7Z_E_STDOUT=warning\r\n"}),
     .log = checks + "29=vmlinuz 18 $warning 20 29=initrd.gz 18 $warning 20 " + usb_boot},
    {.name = "7z_wrong_size", .env = fake7z(listing(boot_files, 300), 299), .log = checks + "29=vmlinuz 30 38"},
    {.name = "stop_during_listing", .env = with({"ZERKA_DOUBLE_7Z_L_GATE=list"}), .log = "21 20 38",
     .during = [](installer &app) { stop_at(app, msg(21), "list"); }},
    {.name = "stop_during_chkdsk", .env = with({"ZERKA_DOUBLE_CHKDSK_GATE=chkdsk"}), .log = "21 20 23 20 38",
     .during = [](installer &app) { stop_at(app, msg(23), "chkdsk"); }},
    {.name = "stop_during_extraction", .env = with({"ZERKA_DOUBLE_7Z_E_READY=extracting", "ZERKA_DOUBLE_7Z_E_GATE=never"}),
     .log = checks + "29=vmlinuz 19 38",
     .during = [](installer &app) {
         ASSERT_TRUE(wait_until([] { return running("extracting"); }));
         EXPECT_TRUE(exists("D:\\zerka\\vmlinuz"));  // written in part
         click(app.progress, IDC_STOP_CLOSE);
     },
     .after = [](installer &) {
         EXPECT_TRUE(wait_until([] { return !running("extracting"); }));  // 7z ended, not left behind
         EXPECT_TRUE(exists("D:\\zerka\\vmlinuz") && !exists("D:\\zerka\\initrd.gz"));
     }},
    {.name = "stop_during_syslinux", .env = with({"ZERKA_DOUBLE_SYSLINUX_GATE=sys"}), .log = two_files + "31 20 32 20 38",
     .during = [](installer &app) { stop_at(app, msg(32), "sys"); }, .after = [](installer &app) { EXPECT_EQ(app.bar(), 100); }},
    {.name = "syslinux_fails", .env = with({"ZERKA_DOUBLE_SYSLINUX_EXIT=1", "ZERKA_DOUBLE_SYSLINUX_STDERR=cannot open D:\r\n",
      "ZERKA_DOUBLE_SYSLINUX_STDOUT=not shown"}), .log = two_files + "31 20 32 18 $sys_error 38",
     .after = [](installer &app) { EXPECT_EQ(app.bar(), 95); }},
    {.name = "real_syslinux_on_a_folder_drive", .env = with({}), .log = two_files + "31 20 32 18 $real_syslinux 38",
     .exe = "C:\\zerka-real-syslinux\\zerka-installer-testbed.exe"},
    {.name = "no_configuration_beside_the_installer", .env = with({"ZERKA_DOUBLE_SYSLINUX_RECORD=C:\\records\\syslinux.log"}),
     .log = two_files + "31 18 $e2 $crlf 38", .exe = "C:\\zerka-no-cfg\\zerka-installer-testbed.exe",
     .after = [](installer &) { EXPECT_FALSE(exists("C:\\records\\syslinux.log")); }},
    {.name = "format_impossible", .env = {"ZERKA_FAKE_FORMAT=-3"}, .log = "17 18 38", .format = true},
    {.name = "format_cancelled", .env = {"ZERKA_FAKE_FORMAT=-2"}, .log = "17 19 38", .format = true},
    {.name = "format_error", .env = {"ZERKA_FAKE_FORMAT=-1"}, .log = "17 19 38", .format = true},
    {.name = "format_done", .env = with({"ZERKA_FAKE_FORMAT=0"}), .log = "17 20 " + two_files + usb_boot, .format = true},
    {.name = "format_by_wines_shell", .log = "17 18 38", .exe = INSTALLER_EXE, .format = true},
    {.name = "free_space_gone", .env = with({"ZERKA_DOUBLE_CHKDSK_GATE=h"}), .log = "21 20 23 20 27 18 38", .drive = 'H',
     .during = [](installer &app) {
         ASSERT_TRUE(app.log_ends_with(msg(23)));
         EXPECT_TRUE(MoveFileA(texts["$h"].c_str(), (texts["$h"] + ".away").c_str()));
         open_gate("h");
     },
     .after = [](installer &) { MoveFileA((texts["$h"] + ".away").c_str(), texts["$h"].c_str()); }},
    // Wine sees no file links and would delete a link's target: the fake reports these files
    // as links and moves a removed one aside to <name>.link, where it must arrive untouched.
    {.name = "configuration_link_is_removed", .env = with({"ZERKA_FAKE_LINKS=D:\\syslinux.cfg"}), .log = two_files + usb_boot,
     .setup = [] { write_file("D:\\syslinux.cfg", "planted"); },
     .after = [](installer &) {
         EXPECT_EQ(read_file("D:\\syslinux.cfg.link"), "planted");
         EXPECT_EQ(read_file("D:\\syslinux.cfg"), read_file(INSTALLER_DIR "\\syslinux.cfg"));
     }},
    {.name = "extracted_file_link_is_removed", .env = with({"ZERKA_FAKE_LINKS=D:\\zerka\\vmlinuz"}), .log = two_files + usb_boot,
     .setup = [] { CreateDirectoryA("D:\\zerka", nullptr); write_file("D:\\zerka\\vmlinuz", "planted"); },
     .after = [](installer &) { EXPECT_EQ(read_file("D:\\zerka\\vmlinuz.link"), "planted"); }},
    {.name = "target_folder_is_a_link", .env = with({}), .log = checks + "29=vmlinuz 18 38", .drive = 'H',  // H:\zerka links elsewhere
     .after = [](installer &) { EXPECT_FALSE(exists("C:\\victim-folder\\vmlinuz")); }},
    {.name = "installer_folder_with_a_double_byte_name", .env = with({}), .log = two_files + usb_boot,
     .exe = "C:\\zerka\xD5\x5C\\zerka-installer-testbed.exe"},
    {.name = "hard_disk_partition", .env = {fixed_e}, .log = small_files + fixed_boot, .exe = TESTBED_EXE, .drive = 'E',
     .after = [](installer &app) {
         EXPECT_EQ(app.bar(), 100);
         expect_files("E:\\zerka\\", {"vmlinuz", "initrd.gz"}, IMAGES "small\\");
         EXPECT_EQ(read_file("C:\\GRLDR"), read_file(INSTALLER_DIR "\\grldr"));
         EXPECT_EQ(read_file("C:\\menu.lst"), menu_entry);
         EXPECT_EQ(read_file("C:\\boot.ini"), "[boot loader]\r\ntimeout=5\r\n[operating systems]\r\nC:\\WINDOWS=\"Windows\"\r\n"
                                              "\r\nC:\\GRLDR=\"zerka (kestrix)\"\r\n");
         for (const char *file : {"C:\\GRLDR", "C:\\menu.lst", "C:\\boot.ini"})
             EXPECT_EQ(GetFileAttributesA(file) & 7, 7u) << file;
     }},
    {.name = "hard_disk_over_earlier_boot_files", .env = with({fixed_e}), .log = two_files + fixed_boot, .drive = 'E',
     .setup = [] {
         write_file("C:\\menu.lst", "title other\r\nroot (hd0,0)");  // no line break at its end
         write_file("C:\\GRLDR", "old loader");
         SetFileAttributesA("C:\\GRLDR", FILE_ATTRIBUTE_READONLY);
         write_file("C:\\boot.ini", boot_ini + "\r\nC:\\GRLDR=\"zerka (kestrix)\"\r\n");
     },
     .after = [](installer &) {
         EXPECT_EQ(read_file("C:\\GRLDR"), read_file("C:\\zerka-fake7z\\grldr"));
         EXPECT_EQ(read_file("C:\\menu.lst"), "title other\r\nroot (hd0,0)\r\n" + menu_entry);
         EXPECT_TRUE(ends_with(read_file("C:\\boot.ini"), "\r\nC:\\GRLDR=\"zerka (kestrix)\"\r\n\r\nC:\\GRLDR=\"zerka (kestrix)\"\r\n"));
     }},
    {.name = "hard_disk_first_of_two_equal_extents", .env = with({"ZERKA_FAKE_VOLUMES=E:device=2,start=1048576,length=4194304"}),
     .log = two_files + fixed_boot, .drive = 'E',
     .after = [](installer &) { EXPECT_NE(read_file("C:\\menu.lst").find("root (hd2,0)\r\n"), std::string::npos); }},
    {.name = "hard_disk_without_boot_ini", .env = with({fixed_e}), .log = two_files + "33 20 29C=GRLDR 20 34 20 36 35 38", .drive = 'E',
     .setup = [] { DeleteFileA("C:\\boot.ini"); },
     .after = [](installer &) { EXPECT_EQ(read_file("C:\\menu.lst"), menu_entry); }},
    {.name = "hard_disk_menu_cannot_be_opened", .env = with({fixed_e}), .log = two_files + "33 20 29C=GRLDR 20 34 35 38", .drive = 'E',
     .setup = [] { CreateDirectoryA("C:\\menu.lst", nullptr); },
     .after = [](installer &) {
         EXPECT_TRUE(RemoveDirectoryA("C:\\menu.lst"));
         EXPECT_EQ(read_file("C:\\boot.ini"), boot_ini);
     }},
    {.name = "hard_disk_without_loader", .env = with({fixed_e}), .log = two_files + "33 20 29C=GRLDR 18 $e2 $crlf 38", .exe = "C:\\zerka-no-cfg\\zerka-installer-testbed.exe",
     .drive = 'E'},
    {.name = "hard_disk_partition_not_in_the_tables", .env = with({"ZERKA_FAKE_VOLUMES=E:device=1,start=1056256,length=511488"}),
     .log = two_files + "33 18 38", .drive = 'E', .after = [](installer &) { EXPECT_FALSE(exists("C:\\GRLDR")); }},
    {.name = "hard_disk_on_disk_12", .env = with({"ZERKA_FAKE_VOLUMES=E:device=12,start=1056256,length=512000"}), .log = two_files + "33 18 38",
     .drive = 'E'},
    {.name = "hard_disk_stop_after_the_loader", .env = with({fixed_e, "ZERKA_FAKE_GATE=C:\\GRLDR=grldr"}), .log = two_files + "33 20 29C=GRLDR 20 38",
     .drive = 'E', .during = [](installer &app) { stop_at(app, msg(29, 'C', "", "GRLDR"), "grldr"); },
     .after = [](installer &) { EXPECT_FALSE(exists("C:\\menu.lst")); }},
    {.name = "hard_disk_stop_after_the_menu_entry", .env = with({fixed_e, "ZERKA_FAKE_GATE=C:\\menu.lst=menu"}),
     .log = two_files + "33 20 29C=GRLDR 20 34 20 38", .drive = 'E', .during = [](installer &app) { stop_at(app, msg(34), "menu"); },
     .after = [](installer &) {
         EXPECT_EQ(read_file("C:\\menu.lst"), menu_entry);
         EXPECT_EQ(read_file("C:\\boot.ini"), boot_ini);
     }},
    {.name = "hard_disk_menu_link_is_removed", .env = with({fixed_e, "ZERKA_FAKE_LINKS=C:\\menu.lst"}), .log = two_files + fixed_boot,
     .drive = 'E', .setup = [] { write_file("C:\\menu.lst", "planted"); },
     .after = [](installer &) {
         EXPECT_EQ(read_file("C:\\menu.lst.link"), "planted");
         EXPECT_EQ(read_file("C:\\menu.lst"), menu_entry);
     }},
    // Real kernels and the real loader, kept for the boot tests (boot.* in CTest) to start in QEMU.
    {.name = "boot_proof_usb", .log = checks + "29=initrd.gz 20 29=vmlinuz 20 29=zerka_test.sfs 20 " + usb_boot,
     .exe = INSTALLER_EXE, .image = IMAGES "boot.iso",
     .after = [](installer &) { keep("D:\\", "usb", {"syslinux.cfg", "zerka\\vmlinuz", "zerka\\initrd.gz", "zerka\\zerka_test.sfs"}); }},
    {.name = "boot_proof_hard_disk", .env = {read_file("C:\\boot-proof\\e.env")},
     .log = checks + "29=initrd.gz 20 29=vmlinuz 20 29=zerka_test.sfs 20 " + fixed_boot, .exe = "C:\\zerka-boot\\zerka-installer-testbed.exe",
     .drive = 'E', .image = IMAGES "boot.iso",
     .after = [](installer &) {
         keep("C:\\", "c", {"GRLDR", "menu.lst"});
         keep("E:\\", "e", {"zerka\\vmlinuz", "zerka\\initrd.gz"});
     }},
};

class Install : public testing::TestWithParam<row> {};

void make_texts()
{
    texts = {{"$crlf", "\r\n"}, {"$e2", system_text(ERROR_FILE_NOT_FOUND)}, {"$warning", "warning\r\n"},
             {"$sys_error", "cannot open D:\r\n"}, {"$no_totals", listing(boot_files, 300, false)},
             {"$broken", captured(INSTALLER_DIR "\\7z.exe l \"" IMAGES "broken.iso\" *.sfs vmlinuz initrd.gz")},
             {"$real_syslinux", captured("C:\\zerka-real-syslinux\\syslinux.exe -f D:", 1)},
             {"$h", std::string("\\\\?\\unix") + getenv("ZERKA_TESTBED") + "\\drives\\h"}};
    for (char &c : texts["$h"]) c = c == '/' ? '\\' : c;
}

TEST_P(Install, LogFilesAndBar)
{
    static bool made = (make_texts(), true);
    (void)made;
    const row &r = GetParam();
    for (const char *folder : {"D:\\zerka", "E:\\zerka", "H:\\zerka", "C:\\records"}) remove_tree(folder);
    for (const char *file : {"D:\\syslinux.cfg", "D:\\syslinux.cfg.link", "C:\\GRLDR", "C:\\g2ldr", "C:\\menu.lst", "C:\\menu.lst.link"}) {
        SetFileAttributesA(file, FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(file);
    }
    write_file("C:\\boot.ini", boot_ini);
    CreateDirectoryA("C:\\records", nullptr);
    if (r.setup) r.setup();
    installer app(r.exe, r.env);
    ASSERT_TRUE(app.start(r.image, r.drive, r.format));
    if (r.during) r.during(app);
    ASSERT_TRUE(app.finish()) << app.log();
    EXPECT_EQ(app.log(), expected_log(r.log, r.drive));
    if (r.after) r.after(app);
}

INSTANTIATE_TEST_SUITE_P(Rows, Install, testing::ValuesIn(rows), [](const testing::TestParamInfo<row> &info) { return std::string(info.param.name); });

}  // namespace

