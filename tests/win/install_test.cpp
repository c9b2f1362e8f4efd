// Whole installations driven through the installer's windows, one table row each. The expected
// log lists message ids (formatted with the row's drive; 29=name copies name into zerka\, 29C=name
// onto C:\, 29E=name into EFI\BOOT\, 28=n needs n MB, 42=fs refuses fs, 52=path read back changed) and $names
// of texts made at the start.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <sstream>

#include "digest_line.h"
#include "driver.h"
#include "resources/resource_ids.h"
#include "tools/child_runner.h"

namespace {

const std::vector<std::string> boot_files = {"vmlinuz", "initrd.gz"};

// A listing as current 7-Zip prints it, every file of one size.
std::string listing(const std::vector<std::string> &names, long long size, bool totals = true)
{
    const std::string dashes = "------------------- ----- ------------ ------------  ------------------------\r\n";
    std::string text = "7-Zip\r\n\r\n--\r\nType = Iso\r\n\r\n"
                       "   Date      Time    Attr         Size   Compressed  Name\r\n" + dashes;
    char line[256];
    for (const std::string &name : names)
        text += (snprintf(line, 256, "2026-12-06 20:13:54 ..... %12lld %12lld  ", size, size), line) + name + "\r\n";
    long long total = size * (long long)names.size();
    snprintf(line, sizeof line, "2026-12-06 20:13:54       %12lld %12lld  %u files\r\n", total, total,
             (unsigned)names.size());
    return text + dashes + (totals ? line : "");
}

// env, and the 7z stand-in listing names of size bytes and extracting files of written bytes.
std::vector<std::string> with(std::vector<std::string> env, const std::vector<std::string> &names = boot_files,
                              long long size = 300, long long written = -1)
{
    env.push_back("ZERKA_DOUBLE_7Z_L_STDOUT=" + listing(names, size));
    env.push_back("ZERKA_DOUBLE_7Z_E_WRITE=" + std::to_string(written < 0 ? size : written));
    return env;
}

const std::string checks = "21 20 23 20 27 20 ", extracted = checks + "29=vmlinuz 20 29=initrd.gz 20 ";
const std::string small = checks + "29=initrd.gz 20 29=vmlinuz 20 29=zerka_100.sfs 20 29=zerka_200.sfs 20 ";
const std::string two_files = extracted + "51 20 ", small_files = small + "51 20 ";  // and read back
const std::string efi_and_mbr = "31 20 29E=BOOTX64.EFI 20 29E=BOOTIA32.EFI 20 29E=grub.cfg 20 32 20 44 20 45 20 37";
const std::string usb_boot = "31 20 32 20 37", fixed_boot = "33 20 29C=GRLDR 20 34 20 36 20 37";
const std::string absent = "<absent>", ini_line = "\r\nC:\\GRLDR=\"zerka (kestrix)\"\r\n";
const std::string boot_ini = "[boot loader]\r\ntimeout=0\r\n[operating systems]\r\nC:\\WINDOWS=\"Windows\"\r\n";
const std::string boot_ini_5 = "[boot loader]\r\ntimeout=5" + boot_ini.substr(24) + ini_line;  // as installed
void old_loader() { write_file("C:\\GRLDR", "old loader"), SetFileAttributesA("C:\\GRLDR", 7); }  // hidden etc.
std::string menu(const char *root)
{
    return "title zerka (kestrix)\r\nroot " + std::string(root) +
           "\r\nkernel /zerka/vmlinuz PMEDIA=idehd PSUBDIR=zerka\r\ninitrd /zerka/initrd.gz\r\n";
}
const std::string menu_entry = menu("(hd1,4)");
const std::string fixed_e = "ZERKA_FAKE_VOLUMES=E:device=1,partition=5,"
                            "start=1056256,length=512000";  // partition 4 of disk 1
const std::string usb_d1 = "ZERKA_FAKE_VOLUMES=D:device=1,start=32256,length=479744";  // partition 0 of disk 1
const std::string usb_d1_logical = "ZERKA_FAKE_VOLUMES=D:device=1,start=1056256,length=512000";  // and its partition 4
std::map<std::string, std::string> texts;
HANDLE held;  // a file or disk held open as another program would

// Sector 0 of a volume or of \\.\PhysicalDrive<n> (tests/win/fixtures/30-disk-images.sh), after writing put there.
std::string disk(int n) { return "\\\\.\\PhysicalDrive" + std::to_string(n); }
std::string sector_0(const std::string &path, const std::string &put = "")
{
    std::string s(512, '\0');
    DWORD done;
    HANDLE disk = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 3, nullptr, OPEN_EXISTING, 0, nullptr);
    if (!put.empty()) WriteFile(disk, put.data(), 512, &done, nullptr), SetFilePointer(disk, 0, nullptr, FILE_BEGIN);
    ReadFile(disk, &s[0], 512, &done, nullptr);
    return CloseHandle(disk), s;
}
// That sector with this code area ("": all zero), the disk signature "disk12" and the boot flags of slots 0-3.
std::string mbr(int n, const std::string &code, const char *flags)
{
    std::string s = sector_0(disk(n)).replace(0, 446, code + std::string(440 - code.size(), '\0') + "disk12");
    for (int slot = 0; slot < 4; ++slot) s[446 + 16 * slot] = flags[slot];
    return s;
}
std::function<void()> put_mbr(int n, const std::string &code, const char *flags)
{
    return [=] { sector_0(disk(n), mbr(n, code, flags)); };
}
const char *none = "\0\0\0", *disk1 = "\\\\.\\PhysicalDrive1";
const std::string mbr_bin = read_file(INSTALLER_DIR "\\mbr.bin"), owner = "\xeb\x63 the owner's boot manager";
// S: is the 64 GB exFAT stick behind disk 2 (scripts/boot/big-stick.sh). Its sector 0 is written first, sector 0
// of the disk last: where both stay, nothing was written.
std::string stick(const std::string &first = "")
{
    return "ZERKA_FAKE_VOLUMES=S:" + first + "bus=7,device=2,start=1048576,length=63998951424,sector=512";
}
const std::vector<std::pair<std::string, std::string>> untouched = {{"\\\\.\\S:", sector_0("\\\\.\\S:")},
                                                                    {disk(2), sector_0(disk(2))}};

std::string captured(std::string command, int standard_error = 0)  // a tool's output, read as the installer reads it
{
    PROCESS_INFORMATION process;
    std::string program = command.substr(0, command.find(' '));
    std::string text = output_of(run_captured(program.c_str(), &command[0], &process, standard_error));
    return finish_child(&process), text;
}

std::string expected_log(const std::string &tokens, char drive)
{
    std::istringstream in(tokens);
    std::string log;
    for (std::string t; in >> t;) {
        const char *arg = t.c_str() + t.find('=') + 1;
        int id = atoi(t.c_str());
        log += t[0] == '$' ? texts.at(t) : id == 28 || id == 56 ? msg(id, atoi(arg))
               : id == 42 || id == 52 ? msg(id, arg)
               : id != 29 ? msg(id, drive) : t[2] == 'C' ? msg(29, 'C', "", arg)
               : msg(29, drive, t[2] == 'E' ? "EFI\\BOOT\\" : "zerka\\", arg);
    }
    return log;
}

struct row {
    const char *name;
    std::vector<std::string> env;  // what the stand-ins and the fakes do
    std::string log;
    std::vector<std::pair<std::string, std::string>> files = {};  // path, bytes afterwards (or absent)
    const char *exe = FAKE7Z_EXE;
    const char *folder = nullptr;  // the installer's current folder; its own when null
    char drive = 'D';
    std::string image = IMAGES "small.iso";
    int bar = -1;  // at the end
    bool format = false;
    std::function<void()> setup = nullptr;
    std::function<void(installer &)> during = nullptr;  // acts while the job runs, then opens its gates
};

void PrintTo(const row &r, std::ostream *out) { *out << r.name; }

// The box before a FAT32 of the installer's own; Enter answers No. Wine reads no label from exFAT.
std::function<void(installer &)> answer(int button)
{
    return [=](installer &app) {
        HWND box = find_dialog(app.pid(), app.progress, true);
        EXPECT_EQ(item_text(box, 0xFFFF), msg(54, 'S', "", 64));
        button == IDNO ? press_key(focused(box), VK_RETURN) : click(box, button);
    };
}

bool running(const char *event)  // a stand-in's READY event lives as long as the stand-in
{
    HANDLE h = OpenEventA(SYNCHRONIZE, FALSE, event);
    return h && CloseHandle(h);
}

std::function<void(installer &)> stop_at(int message, const char *gate, std::function<void()> then = [] {})
{
    return [=](installer &app) {
        ASSERT_TRUE(app.log_ends_with(message == 29 ? msg(29, 'C', "", "GRLDR") : msg(message, 'D')));
        std::string before = app.log();
        click(app.progress, IDC_STOP_CLOSE);
        EXPECT_TRUE(wait_until([&] { return item_text(app.progress, IDC_STOP_CLOSE) == msg(16); }));
        EXPECT_EQ(app.log(), before);  // the running step is not cut short
        then();
        open_gate(gate);
    };
}

// Closes the job and presses Exit while a tool runs (its READY event is up): one that only reads (chkdsk) or a
// 7z cut short ends; one that writes (syslinux, let go through its gate) is waited for, with the window saying so.
std::function<void(installer &)> exit_during(const char *tool, const char *gate = nullptr)
{
    return [=](installer &app) {
        ASSERT_TRUE(wait_until([=] { return running(tool); }));
        PostMessageA(app.progress, WM_CLOSE, 0, 0);
        PostMessageA(app.main, WM_COMMAND, IDC_EXIT, 0);  // handled right after the close
        if (gate) {
            EXPECT_TRUE(wait_until([&] { return text_of(app.main) == msg(50) && IsWindowVisible(app.main); }));
            EXPECT_TRUE(running(tool));
            open_gate(gate);
        }
        EXPECT_EQ(wait_exit(app.process), 0);
        EXPECT_FALSE(running(tool));  // the program ended only after its worker had ended
    };
}
void heap_box(installer &app)
{
    EXPECT_EQ(take_box(app.pid(), nullptr), "HeapAlloc (8): " + system_text(ERROR_NOT_ENOUGH_MEMORY));
    EXPECT_EQ(wait_exit(app.process), 3);
}

// Copies what an installation wrote into C:\boot-proof\<as>\ for the boot tests.
void keep(const std::string &from, const std::string &as, const std::vector<std::string> &files)
{
    for (const char *sub : {"", "\\zerka", "\\EFI", "\\EFI\\BOOT"})
        CreateDirectoryA(("C:\\boot-proof\\" + as + sub).c_str(), nullptr);
    for (const std::string &file : files)
        EXPECT_TRUE(CopyFileA((from + file).c_str(), ("C:\\boot-proof\\" + as + "\\" + file).c_str(), FALSE));
}

const std::string cfg = read_file(INSTALLER_DIR "\\syslinux.cfg"), kernel = read_file(IMAGES "small\\vmlinuz");

const row rows[] = {
    // D: is partition 0 of the stick that boot.usb_* start: its blank sector 0 gets SYSLINUX's code and the flag.
    {.name = "whole_installation", .env = {read_file("C:\\boot-proof\\d.env"), "ZERKA_DOUBLE_SYSLINUX_GATE=syslinux",
      "ZERKA_DOUBLE_CHKDSK_RECORD=C:\\records\\tools", "ZERKA_DOUBLE_SYSLINUX_RECORD=C:\\records\\tools"},
     .log = small_files + efi_and_mbr, .files = {{"D:\\syslinux.cfg", cfg}, {"D:\\zerka\\vmlinuz", kernel},
               {"D:\\zerka\\initrd.gz", read_file(IMAGES "small\\initrd.gz")},
               {"D:\\zerka\\zerka_100.sfs", read_file(IMAGES "small\\zerka_100.sfs")},
               {"D:\\zerka\\zerka_200.sfs", read_file(IMAGES "small\\zerka_200.sfs")},
               {"D:\\zerka\\README.txt", absent}, {"D:\\zerka\\nested.sfs", absent}, {"D:\\zerka\\folder.sfs", absent},
               {"C:\\records\\tools", "chkdsk D:\r\nsyslinux -f D:\r\n"},
               {disk(3), mbr(3, mbr_bin, "\x80\0\0")}},
     .exe = TESTBED_EXE, .bar = 100, .setup = [] {
         write_file("D:\\syslinux.cfg", "old"), CreateDirectoryA("D:\\zerka", nullptr);
         write_file("D:\\zerka\\vmlinuz", "old"), put_mbr(3, "", none)();
         CreateDirectoryA("D:\\EFI", nullptr), CreateDirectoryA("D:\\EFI\\BOOT", nullptr);  // another tool's loader
         write_file("D:\\EFI\\BOOT\\BOOTX64.EFI", "old"), SetFileAttributesA("D:\\EFI\\BOOT\\BOOTX64.EFI", 3);
     },
     .during = [](installer &app) {
         ASSERT_TRUE(app.log_ends_with(msg(32)));
         EXPECT_EQ(app.bar(), 95);
         open_gate("syslinux");
         ASSERT_TRUE(app.finish());  // kept for the boot tests (boot.* in CTest) to start in QEMU
         // Windows refuses to replace it while it is read-only or hidden; Wine replaces it and keeps its attributes.
         EXPECT_EQ(GetFileAttributesA("D:\\EFI\\BOOT\\BOOTX64.EFI") & 3, 0u);
         keep("D:\\", "usb", {"syslinux.cfg", "zerka\\vmlinuz", "zerka\\initrd.gz", "zerka\\zerka_100.sfs",
                               "EFI\\BOOT\\BOOTX64.EFI", "EFI\\BOOT\\BOOTIA32.EFI", "EFI\\BOOT\\grub.cfg"});
     }},
    // The drive gives back another byte than 7z wrote (its own digest): no boot set-up follows.
    {.name = "byte_changed_on_the_drive", .env = {"ZERKA_FAKE_READ_BACK=D:\\zerka\\zerka_100.sfs=flip:300000"},
     .log = small + "51 52=D:\\zerka\\zerka_100.sfs 38", .files = {{"D:\\syslinux.cfg", absent}}, .exe = TESTBED_EXE},
    {.name = "image_7z_cannot_open", .log = "21 18 $broken 38", .exe = INSTALLER_EXE, .image = IMAGES "broken.iso"},
    {.name = "image_without_boot_files", .log = "21 18 38", .files = {{"D:\\zerka", absent}}, .exe = INSTALLER_EXE,
     .image = IMAGES "empty.iso"},
    {.name = "image_with_only_the_kernel", .env = with({}, {"vmlinuz", "zerka.sfs"}), .log = "21 18 38"},
    // Rows with D: on disk 1 check its sector 0 afterwards. Here an owner's code and active entry stay.
    {.name = "chkdsk_1_goes_on_and_owner_mbr_kept", .env = with({"ZERKA_DOUBLE_CHKDSK_EXIT=1", usb_d1}),
     .log = "21 20 23 25 26 27 20 29=vmlinuz 20 29=initrd.gz 20 51 20 " + usb_boot,
     .files = {{disk1, mbr(1, owner, "\0\0\0\x80")}}, .setup = put_mbr(1, owner, "\0\0\0\x80")},
    {.name = "chkdsk_2_goes_on_and_owner_code_gets_active_flag", .env = with({"ZERKA_DOUBLE_CHKDSK_EXIT=2", usb_d1}),
     .log = "21 20 23 24 26 27 20 29=vmlinuz 20 29=initrd.gz 20 51 20 31 20 32 20 45 20 37",
     .files = {{disk1, mbr(1, owner, "\x80\0\0")}}, .setup = put_mbr(1, owner, none)},
    {.name = "chkdsk_3_stops", .env = with({"ZERKA_DOUBLE_CHKDSK_EXIT=3"}), .log = "21 20 23 18 26 38"},
    {.name = "not_enough_space", .env = with({}, boot_files, 1LL << 49), .log = "21 20 23 20 27 28=1073741824 38"},
    {.name = "no_totals_line", .env = {"ZERKA_DOUBLE_7Z_L_STDOUT=" + listing(boot_files, 300, false)},
     .log = "21 22 $no_totals 38"},
    {.name = "total_of_zero_and_code_in_blank_area_beside_active_one", .env = with({usb_d1}, boot_files, 0),
     .log = two_files + "31 20 32 20 44 20 37", .files = {{disk1, mbr(1, mbr_bin, "\0\0\0\x80")}}, .bar = 100,
     .setup = put_mbr(1, "", "\0\0\0\x80")},
    // 7z's output without its digest line: nothing proves the file. (So no 4 GiB are read back here.)
    {.name = "files_past_2_gib_and_7z_without_digest",
     .env = with({"ZERKA_DOUBLE_7Z_E_GATE=extract", "ZERKA_DOUBLE_7Z_E_NO_DIGEST=1"}, boot_files, (2LL << 30) + 512),
     .log = checks + "29=vmlinuz 53 38", .during = [](installer &app) {
         EXPECT_TRUE(wait_until([&] { return app.bar() == 35; })) << app.bar();  // the first of two files written
         open_gate("extract");
     }},
    // D: is the logical partition 4 of disk 1: code, but no primary entry to flag.
    {.name = "name_in_a_folder_lands_flat_on_a_logical_partition",
     .env = with({usb_d1_logical}, {"vmlinuz", "initrd.gz", "boot\\x.sfs"}),
     .log = extracted + "29=x.sfs 20 51 20 31 20 32 20 44 20 45 46 37",
     .files = {{"D:\\zerka\\x.sfs", std::string(300, '\0')}, {disk1, mbr(1, mbr_bin, none)}},
     .setup = put_mbr(1, "", none)},
    // Disk 1 again, as \\.\PhysicalDrive12, in 4096-byte sectors: its partition 0 at sector 63.
    {.name = "stick_on_disk_12_of_4096_byte_sectors",
     .env = with({"ZERKA_FAKE_VOLUMES=D:device=12,start=258048,length=3837952,sector=4096"}),
     .log = two_files + "31 20 32 20 44 20 45 20 37", .files = {{disk1, mbr(1, mbr_bin, "\x80\0\0")}},
     .setup = put_mbr(1, "", none)},
    {.name = "stick_partition_not_in_its_tables", .env = with({"ZERKA_FAKE_VOLUMES=D:device=1,start=32256,length=5"}),
     .log = two_files + "31 20 32 20 43 48 37", .files = {{disk1, mbr(1, "", none)}}, .setup = put_mbr(1, "", none)},
    // In code page 936: α and Α, я and Я, ａ and Ａ. Extracted flat, the second would replace the first.
    {.name = "greek_twins", .env = with({}, {"vmlinuz", "initrd.gz", "\xA6\xC1", "\xA6\xA1"}), .log = "21 18 38"},
    {.name = "cyrillic_twins", .env = with({}, {"vmlinuz", "initrd.gz", "\xA7\xF1", "\xA7\xC1"}), .log = "21 18 38"},
    {.name = "full_width_twins", .env = with({}, {"vmlinuz", "initrd.gz", "\xA3\xE1", "\xA3\xC1"}), .log = "21 18 38"},
    {.name = "name_that_would_end_its_quotes", .env = with({}, {"a\"b.sfs", "vmlinuz", "initrd.gz"}),
     .log = "21 18 38"},
    {.name = "name_too_long_for_the_log", .env = with({}, {std::string(1015, 'n'), "vmlinuz", "initrd.gz"}),
     .log = checks + "18 38"},
    {.name = "chatty_7z_and_system_disk_not_written",
     .env = with({"ZERKA_DOUBLE_7Z_E_FLOOD=3000000", "ZERKA_FAKE_VOLUMES=C:device=1;" + usb_d1.substr(19)}),
     .log = two_files + usb_boot, .files = {{disk1, mbr(1, "", none)}}, .setup = put_mbr(1, "", none)},
    {.name = "7z_fails_but_size_is_right",
     .env = with({"ZERKA_DOUBLE_7Z_E_EXIT=2", "ZERKA_DOUBLE_7Z_E_STDOUT=warning\r\n"}),
     .log = checks + "29=vmlinuz 18 $warning 20 29=initrd.gz 18 $warning 20 51 20 " + usb_boot},
    {.name = "7z_wrong_size", .env = with({}, boot_files, 300, 299), .log = checks + "29=vmlinuz 30 38"},
    {.name = "file_cut_short_after_its_size_check", .env = with({"ZERKA_FAKE_READ_BACK=D:\\zerka\\initrd.gz=cut:299"}),
     .log = extracted + "51 52=D:\\zerka\\initrd.gz 38"},
    {.name = "file_cannot_be_read_back", .env = with({"ZERKA_FAKE_READ_BACK=D:\\zerka\\initrd.gz=refuse:32"}),
     .log = extracted + "51 18 $refused 38"},
    // Short lines of the old layout: the listing fits its first block, and only the file table has to grow.
    {.name = "file_table_cannot_grow", .env = {"ZERKA_FAKE_HEAP_LIMIT=300", "ZERKA_DOUBLE_7Z_L_STDOUT=" + [] {
         std::string text = " 17 17 17 files, 0 folders\r\n:0 1 1 vmlinuz\r\n:0 1 1 initrd.gz\r\n";
         for (char name = 'a'; name < 'p'; name++) text += ":0 1 1 " + std::string(1, name) + "\r\n";
         return text;
     }()}, .during = heap_box},
    {.name = "stop_during_listing", .env = with({"ZERKA_DOUBLE_7Z_L_GATE=list"}), .log = "21 20 38",
     .during = stop_at(21, "list")},
    {.name = "stop_during_chkdsk", .env = with({"ZERKA_DOUBLE_CHKDSK_GATE=chkdsk"}), .log = "21 20 23 20 38",
     .during = stop_at(23, "chkdsk")},
    {.name = "stop_during_extraction", .env = with({"ZERKA_DOUBLE_7Z_E_READY=extracting",
      "ZERKA_DOUBLE_7Z_E_GATE=never"}), .log = checks + "29=vmlinuz 19 38",
     .files = {{"D:\\zerka\\vmlinuz", std::string(300, '\0')}, {"D:\\zerka\\initrd.gz", absent}},
     .during = [](installer &app) {
         ASSERT_TRUE(wait_until([] { return running("extracting"); }));  // its file written
         click(app.progress, IDC_STOP_CLOSE);
         ASSERT_TRUE(app.finish());
         EXPECT_TRUE(wait_until([] { return !running("extracting"); }));  // 7z ended, not left behind
     }},
    {.name = "stop_during_read_back", .env = with({"ZERKA_FAKE_READ_BACK=D:\\zerka\\vmlinuz=gate:reading"}),
     .log = extracted + "51 19 38", .files = {{"D:\\syslinux.cfg", absent}}, .bar = 80,  // one of two files read
     .during = stop_at(51, "reading")},
    {.name = "exit_after_close_during_extraction",
     .env = with({"ZERKA_DOUBLE_7Z_E_READY=exiting", "ZERKA_DOUBLE_7Z_E_GATE=no"}), .during = exit_during("exiting")},
    {.name = "exit_after_close_during_chkdsk", .env = with({"ZERKA_DOUBLE_CHKDSK_READY=checking",
      "ZERKA_DOUBLE_CHKDSK_GATE=no"}), .during = exit_during("checking")},
    {.name = "exit_after_close_during_syslinux", .env = with({"ZERKA_DOUBLE_SYSLINUX_READY=installing",
      "ZERKA_DOUBLE_SYSLINUX_GATE=installed"}), .during = exit_during("installing", "installed")},
    {.name = "stop_during_syslinux", .env = with({"ZERKA_DOUBLE_SYSLINUX_GATE=sys"}),
     .log = two_files + "31 20 32 20 38", .bar = 100, .during = stop_at(32, "sys")},
    {.name = "syslinux_fails", .env = with({"ZERKA_DOUBLE_SYSLINUX_EXIT=1",
      "ZERKA_DOUBLE_SYSLINUX_STDERR=cannot open D:\r\n", "ZERKA_DOUBLE_SYSLINUX_STDOUT=not shown"}),
     .log = two_files + "31 20 32 18 $sys_error 38", .bar = 95},
    {.name = "real_syslinux_on_a_folder_drive", .env = with({}), .log = two_files + "31 20 32 18 $real_syslinux 38",
     .exe = "C:\\zerka-real-syslinux\\zerka-installer-testbed.exe"},
    {.name = "no_configuration_beside_the_installer", .env = with({"ZERKA_DOUBLE_SYSLINUX_RECORD=C:\\records\\tools"}),
     .log = two_files + "31 18 $e2 $crlf 38", .files = {{"C:\\records\\tools", absent}},
     .exe = "C:\\zerka-no-cfg\\zerka-installer-testbed.exe"},
    {.name = "format_impossible", .env = {"ZERKA_FAKE_FORMAT=-3"}, .log = "17 18 38", .format = true},
    {.name = "format_failed_in_its_dialog", .env = {"ZERKA_FAKE_FORMAT=-1"}, .log = "17 19 38", .format = true},
    {.name = "format_done_and_mbr_write_refused", .env = with({"ZERKA_FAKE_FORMAT=0", usb_d1}),
     .log = "17 20 " + two_files + "31 20 32 20 44 18 $e32 $crlf 38", .files = {{disk1, mbr(1, "", none)}},
     .format = true, .setup = [] {
         put_mbr(1, "", none)();
         held = CreateFileA(disk1, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
     }, .during = [](installer &app) { app.finish(); CloseHandle(held); }},
    {.name = "formatted_as_exfat", .env = with({"ZERKA_FAKE_FORMAT=0", "ZERKA_FAKE_FILE_SYSTEMS=D:exFAT"}),
     .log = "17 20 41 42=exFAT 38", .files = {{"D:\\zerka", absent}}, .format = true},
    // Above 32 GiB the installer makes FAT32 itself, once the box says yes: then the file-system check finds it.
    {.name = "big_stick_no_in_the_box", .env = {stick()}, .log = "55 19 38", .files = untouched, .drive = 'S',
     .format = true, .during = answer(IDNO)},
    {.name = "big_stick_cannot_be_locked", .env = {stick("fail_lock=5,")}, .log = "55 18 $e5 $crlf 38",
     .files = untouched, .drive = 'S', .format = true, .during = answer(IDYES)},
    {.name = "big_stick_of_4096_byte_sectors", .env = {stick("sector=4096,")}, .log = "55 56=4096 38",
     .files = untouched, .drive = 'S', .format = true},
    {.name = "big_stick_too_large", .env = {stick("length=0x20000000000,")}, .log = "55 57 38", .files = untouched,
     .drive = 'S', .format = true},
    {.name = "big_stick_on_the_system_disk", .env = {"ZERKA_FAKE_VOLUMES=C:device=2;" + stick().substr(19)},
     .log = "55 60 38", .files = untouched, .drive = 'S', .format = true},
    {.name = "big_stick_write_fails_half_way", .env = {stick("fail_write=5,")}, .log = "55 18 $e5 $crlf 58 38",
     .files = {{"\\\\.\\S:", std::string(512, '\0')}, untouched[1]}, .drive = 'S', .format = true,
     .during = answer(IDYES)},
    // Judged by format.big_stick, started by boot.big_stick_*. Wine's mount manager keeps the file system it saw first.
    {.name = "big_stick_made_fat32_and_installed", .env = {stick(), "ZERKA_FAKE_FILE_SYSTEMS=S:FAT32"},
     .log = "55 20 59 20 " + small_files + efi_and_mbr,
     .files = {{disk(2), [] { std::string s = sector_0(disk(2)).replace(0, 440, mbr_bin);
         return s[446] = '\x80', s[450] = 0x0C, s; }()}}, .exe = TESTBED_EXE, .drive = 'S', .bar = 100, .format = true,
     .during = answer(IDYES)},
    {.name = "ntfs_usb_disk", .env = with({"ZERKA_FAKE_VOLUMES=U:bus=7"}), .log = "41 42=NTFS 38",
     .files = {{"U:\\zerka", absent}}, .drive = 'U'},
    {.name = "file_system_cannot_be_read", .env = with({"ZERKA_FAKE_FILE_SYSTEMS=D:!5"}), .log = "41 18 $e5 $crlf 38",
     .files = {{"D:\\zerka", absent}}},
    // Wine sees no file links and would delete a link's target: the fake reports these files as
    // links and moves a removed one aside to <name>.link, where it must arrive untouched.
    {.name = "links_removed_then_a_copy_fails",
     .env = {"ZERKA_FAKE_LINKS=D:\\syslinux.cfg;D:\\EFI\\BOOT\\BOOTX64.EFI"},
     .log = small_files + "31 20 29E=BOOTX64.EFI 20 29E=BOOTIA32.EFI 18 $e5 $crlf 38",  // its target is a folder
     .files = {{"D:\\syslinux.cfg.link", "planted"}, {"D:\\syslinux.cfg", cfg}, {"D:\\EFI\\BOOT\\BOOTX64.EFI.link",
               "planted"}, {"D:\\EFI\\BOOT\\BOOTX64.EFI", read_file(INSTALLER_DIR "\\EFI\\BOOT\\BOOTX64.EFI")}},
     .exe = "C:\\zerka-boot\\zerka-installer-testbed.exe", .bar = 90, .setup = [] {
         for (const char *f : {"D:\\EFI", "D:\\EFI\\BOOT", "D:\\EFI\\BOOT\\BOOTIA32.EFI"}) CreateDirectoryA(f, nullptr);
         for (const char *f : {"D:\\syslinux.cfg", "D:\\EFI\\BOOT\\BOOTX64.EFI"}) write_file(f, "planted");
     }},
    {.name = "efi_folder_link", .env = {"ZERKA_FAKE_LINKS=D:\\EFI"},
     .log = small_files + "31 20 29E=BOOTX64.EFI 18 38", .files = {{"D:\\EFI\\BOOT", absent}},
     .exe = "C:\\zerka-boot\\zerka-installer-testbed.exe", .setup = [] { CreateDirectoryA("D:\\EFI", nullptr); }},
    {.name = "boot_file_changed_on_the_drive", .env = {"ZERKA_FAKE_READ_BACK=D:\\EFI\\BOOT\\grub.cfg=flip:0"},
     .log = small_files + "31 20 29E=BOOTX64.EFI 20 29E=BOOTIA32.EFI 20 29E=grub.cfg 52=D:\\EFI\\BOOT\\grub.cfg 38",
     .exe = "C:\\zerka-boot\\zerka-installer-testbed.exe"},
    {.name = "extracted_file_link_is_removed", .env = with({"ZERKA_FAKE_LINKS=D:\\zerka\\vmlinuz"}),
     .log = two_files + usb_boot, .files = {{"D:\\zerka\\vmlinuz.link", "planted"}},
     .setup = [] { CreateDirectoryA("D:\\zerka", nullptr); write_file("D:\\zerka\\vmlinuz", "planted"); }},
    {.name = "target_folder_is_a_link", .env = with({"ZERKA_FAKE_LINKS=H:\\zerka"}),  // a real link; Wine gives no tag
     .log = checks + "29=vmlinuz 18 38", .files = {{"C:\\victim-folder\\vmlinuz", absent}}, .drive = 'H'},
    {.name = "installer_named_with_a_double_byte_character_without_mbr_bin", .env = with({usb_d1}),
     .log = two_files + "31 20 32 20 44 18 $e2 $crlf 38", .files = {{disk1, mbr(1, "", none)}},
     .exe = "C:\\zerka-double-byte\\zerka\xD5\x5C.exe", .setup = put_mbr(1, "", none)},
    // Browse makes the image's folder the current one; the chkdsk.exe there, no program at all, is never started.
    {.name = "chkdsk_beside_the_image_is_not_run", .env = with({}), .log = two_files + usb_boot, .folder = IMAGES},
    // Partition 5 of the disk that boot.hard_disk starts in QEMU, with the real GRUB loader.
    {.name = "hard_disk_partition", .env = {read_file("C:\\boot-proof\\e.env")}, .log = small_files + fixed_boot,
     .files = {{"E:\\zerka\\vmlinuz", kernel}, {"C:\\GRLDR", read_file("C:\\zerka-boot\\grldr")},
               {"C:\\menu.lst", menu("(hd0,4)")}, {"C:\\boot.ini", boot_ini_5}},
     .exe = "C:\\zerka-boot\\zerka-installer-testbed.exe", .drive = 'E', .bar = 100, .during = [](installer &app) {
         ASSERT_TRUE(app.finish());
         keep("C:\\", "c", {"GRLDR", "menu.lst"});
         keep("E:\\", "e", {"zerka\\vmlinuz", "zerka\\initrd.gz"});
     }},
    // E:'s kind is read once: the storage query fails after the job has started. menu.lst is a deduplicated file.
    {.name = "hard_disk_over_earlier_boot_files", .env = with({fixed_e + ",fail_property=21,property_answers=4",
      "ZERKA_FAKE_LINKS=C:\\menu.lst=0x80000013"}), .log = two_files + fixed_boot,
     .files = {{"C:\\GRLDR", read_file("C:\\zerka-fake7z\\grldr")}, {"C:\\GRLDR.before-zerka", "old loader"},
               {"C:\\menu.lst", "title other\r\nroot (hd0,0)\r\n" + menu_entry},
               {"C:\\menu.lst.before-zerka", "title other\r\nroot (hd0,0)"}, {"C:\\boot.ini", boot_ini_5 + ini_line},
               {"C:\\boot.ini.before-zerka", boot_ini}},  // the first installation's copy is kept
     .drive = 'E', .setup = [] {
         write_file("C:\\menu.lst", "title other\r\nroot (hd0,0)");  // no line break at its end
         old_loader();
         write_file("C:\\boot.ini.before-zerka", boot_ini), write_file("C:\\boot.ini", boot_ini + ini_line);
     }},
    // The storage query fails already when the job reads E:'s kind: taken for a stick, E: would get syslinux.
    {.name = "hard_disk_whose_kind_cannot_be_read", .env = with({fixed_e + ",fail_property=21,property_answers=3"}),
     .log = "47 18 $e21 $crlf 38", .files = {{"E:\\zerka", absent}, {"C:\\GRLDR", absent}}, .drive = 'E'},
    // Windows 7 (Wine's own default) with an earlier XP's boot.ini: the entry shows behind the earlier Windows.
    {.name = "hard_disk_on_windows_7", .env = with({fixed_e}),
     .log = two_files + "33 20 29C=GRLDR 20 34 20 36 20 49 37",
     .files = {{"C:\\boot.ini", boot_ini_5}}, .exe = "C:\\zerka-win7\\zerka-installer-win7.exe", .drive = 'E'},
    {.name = "hard_disk_boot_ini_beyond_the_heap", .env = with({fixed_e, "ZERKA_FAKE_HEAP_LIMIT=4096"}), .drive = 'E',
     .setup = [] { write_file("C:\\boot.ini", boot_ini + std::string(8192, ' ')),
                   SetFileAttributesA("C:\\boot.ini", 7); },
     .during = heap_box},
    // As on Windows Vista and later: nothing is written that could not be finished.
    {.name = "hard_disk_without_boot_ini", .env = with({fixed_e}), .log = "36 35 38",
     .files = {{"C:\\menu.lst", absent}, {"C:\\GRLDR", absent}, {"E:\\zerka", absent}}, .drive = 'E',
     .setup = [] { SetFileAttributesA("C:\\boot.ini", FILE_ATTRIBUTE_NORMAL); DeleteFileA("C:\\boot.ini"); }},
    {.name = "hard_disk_boot_ini_link_is_left_alone", .env = with({fixed_e, "ZERKA_FAKE_LINKS=C:\\boot.ini"}),
     .log = "36 35 38", .files = {{"C:\\boot.ini", boot_ini}, {"C:\\GRLDR", absent}}, .drive = 'E'},
    // Held open by another program that does not let it be deleted: the replace fails.
    {.name = "hard_disk_boot_ini_cannot_be_replaced", .env = with({fixed_e}),
     .log = two_files + "33 20 29C=GRLDR 20 34 20 36 18 $e5 $crlf 38", .files = {{"C:\\boot.ini", boot_ini},
     {"C:\\boot.ini.zerka-new", absent}}, .drive = 'E', .setup = [] { held = CreateFileA("C:\\boot.ini", GENERIC_READ,
         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr); },
     .during = [](installer &app) { app.finish(), CloseHandle(held); }},
    {.name = "hard_disk_menu_cannot_be_opened", .env = with({fixed_e}),
     .log = two_files + "33 20 29C=GRLDR 20 34 35 38", .files = {{"C:\\boot.ini", boot_ini}}, .drive = 'E',
     .setup = [] { CreateDirectoryA("C:\\menu.lst", nullptr); }},
    {.name = "hard_disk_without_loader", .env = with({fixed_e}), .log = two_files + "33 20 29C=GRLDR 18 $e2 $crlf 38",
     .files = {{"C:\\GRLDR", "old loader"}}, .exe = "C:\\zerka-no-cfg\\zerka-installer-testbed.exe", .drive = 'E',
     .setup = old_loader},
    {.name = "hard_disk_loader_cut_on_the_drive", .env = with({fixed_e, "ZERKA_FAKE_READ_BACK=C:\\GRLDR=cut:3"}),
     .log = two_files + "33 20 29C=GRLDR 52=C:\\GRLDR 38", .files = {{"C:\\menu.lst", absent}}, .drive = 'E'},
    {.name = "hard_disk_partition_not_in_the_tables",
     .env = with({"ZERKA_FAKE_VOLUMES=E:device=1,start=1056256,length=511488"}), .log = two_files + "33 18 38",
     .files = {{"C:\\GRLDR", absent}}, .drive = 'E'},
    {.name = "hard_disk_stop_after_the_loader", .env = with({fixed_e, "ZERKA_FAKE_GATE=C:\\GRLDR=grldr"}),
     .log = two_files + "33 20 29C=GRLDR 20 38", .files = {{"C:\\menu.lst", absent}}, .drive = 'E', .bar = 95,
     .during = stop_at(29, "grldr")},
    {.name = "hard_disk_stop_after_the_menu_entry", .env = with({fixed_e, "ZERKA_FAKE_GATE=C:\\menu.lst=menu"}),
     .log = two_files + "33 20 29C=GRLDR 20 34 20 38", .files = {{"C:\\menu.lst", menu_entry},
               {"C:\\boot.ini", boot_ini}}, .drive = 'E', .during = stop_at(34, "menu")},
    // Removing the link would lose the user's menu behind it. Our own loader from before is not kept.
    {.name = "hard_disk_menu_link_is_left_alone", .env = with({fixed_e, "ZERKA_FAKE_LINKS=C:\\menu.lst"}),
     .log = two_files + "33 20 29C=GRLDR 20 34 35 38", .files = {{"C:\\menu.lst", "planted"}, {"C:\\GRLDR.before-zerka",
     absent}}, .drive = 'E', .setup = [] { write_file("C:\\menu.lst", "planted");
         SetFileAttributesA("C:\\menu.lst", 7), CopyFileA("C:\\zerka-fake7z\\grldr", "C:\\GRLDR", 0); }},
};

class Install : public testing::TestWithParam<row> {
    void SetUp() override
    {
        if (texts.empty()) texts = {{"$crlf", "\r\n"}, {"$e2", system_text(ERROR_FILE_NOT_FOUND)},
            {"$e5", system_text(ERROR_ACCESS_DENIED)}, {"$e21", system_text(ERROR_NOT_READY)},
            {"$e32", system_text(ERROR_SHARING_VIOLATION)},
            {"$warning", "warning\r\n" + digest_line(300)}, {"$sys_error", "cannot open D:\r\n"},
            {"$refused", "D:\\zerka\\initrd.gz: " + system_text(ERROR_SHARING_VIOLATION) + "\r\n"},
            {"$no_totals", listing(boot_files, 300, false)},
            {"$broken", captured(INSTALLER_DIR "\\7z.exe l \"" IMAGES "broken.iso\" *.sfs vmlinuz initrd.gz")},
            {"$real_syslinux", captured("C:\\zerka-real-syslinux\\syslinux.exe -f D:", 1)}};
        for (const char *folder : {"D:\\zerka", "D:\\EFI\\BOOT\\BOOTIA32.EFI", "D:\\EFI\\BOOT", "D:\\EFI", "E:\\zerka",
                                   "H:\\zerka", "C:\\records"}) remove_folder(folder);
        for (std::string file : {"D:\\syslinux.cfg", "C:\\GRLDR", "C:\\menu.lst", "C:\\boot.ini"})
            for (const char *suffix : {"", ".link", ".before-zerka", ".zerka-new"}) {
                SetFileAttributesA((file + suffix).c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA((file + suffix).c_str());
            }
        RemoveDirectoryA("C:\\menu.lst");
        write_file("C:\\boot.ini", boot_ini);
        SetFileAttributesA("C:\\boot.ini", 7);  // read-only, hidden and system, as Windows keeps it
        CreateDirectoryA("C:\\records", nullptr);
    }
};

TEST_P(Install, LogFilesAndBar)
{
    const row &r = GetParam();
    if (r.setup) r.setup();
    installer app(r.exe, r.env, r.folder);
    ASSERT_TRUE(app.start(r.image, r.drive, r.format));
    if (r.during) r.during(app);
    ASSERT_TRUE(app.finish()) << app.log();
    EXPECT_EQ(app.log(), expected_log(r.log, r.drive));
    for (const auto &[path, bytes] : r.files)  // a disk path stands for its sector 0
        EXPECT_TRUE((path[0] == '\\' ? sector_0(path) : exists(path) ? read_file(path) : absent) == bytes)
            << path;
    if (r.bar >= 0) EXPECT_EQ(app.bar(), r.bar);
    for (const char *file : {"C:\\GRLDR", "C:\\menu.lst", "C:\\boot.ini"}) {
        DWORD a = GetFileAttributesA(file);  // read-only, hidden and system, failed or not; a folder is no boot file
        if (r.drive == 'E') EXPECT_TRUE(a == INVALID_FILE_ATTRIBUTES || (a & 0x10) || (a & 7) == 7) << file;
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, Install, testing::ValuesIn(rows),
                         [](const testing::TestParamInfo<row> &info) { return std::string(info.param.name); });

}  // namespace
