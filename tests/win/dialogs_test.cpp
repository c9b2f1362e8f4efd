// The installer's dialogs, driven from another process like a person would use them.
#include "driver.h"

#include <commctrl.h>
#include <gtest/gtest.h>
#include <tlhelp32.h>

#include <set>

#include "resources/resource_ids.h"

namespace {

std::set<DWORD> threads_of(DWORD pid)
{
    std::set<DWORD> threads;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 entry = {sizeof entry};
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        if (entry.th32OwnerProcessID == pid) threads.insert(entry.th32ThreadID);
    return CloseHandle(snapshot), threads;
}

// Posted messages are handled in order: once the bar shows a value posted after them, they are done.
void settle(HWND progress, int mark)
{
    PostMessageA(GetDlgItem(progress, IDC_PROGRESS_BAR), PBM_SETPOS, mark, 0);
    wait_until([&] { return SendDlgItemMessageA(progress, IDC_PROGRESS_BAR, PBM_GETPOS, 0, 0) == mark; });
}

}  // namespace

TEST(MainDialog, TextsDrivesFormatBoxHelpStartChecksAndThePicture)
{
    CreateDirectoryA("C:\\kestrix_drive.log", nullptr);  // a drive log that cannot be written stops nothing
    DeleteFileA("C:\\browser-requests.log");
    // Wine knows no bus types: U: is said to be a USB disk, E: a fixed drive that cannot be queried.
    installer app(TESTBED_EXE, {"ZERKA_FAKE_VOLUMES=U:bus=7;E:fail_property=50"});
    RemoveDirectoryA("C:\\kestrix_drive.log");
    ASSERT_NE(app.main, nullptr);
    EXPECT_EQ(text_of(app.main), msg(1));
    EXPECT_EQ(focused(app.main), GetDlgItem(app.main, IDC_IMAGE_PATH));
    char label[64] = "";
    GetVolumeInformationA("C:\\", label, sizeof label, nullptr, nullptr, nullptr, nullptr, 0);
    std::vector<std::string> drives = {"C: [" + std::string(label) + "]", "D: [ZERKA_USB]", "H: []", "R: ",
                                       "U: [USBDISK]"};
    EXPECT_EQ(app.drives(), drives);  // no CD-ROM F:, no network G:

    // Format: enabled and unchecked at first; a fixed disk unchecks and disables it, other kinds enable it.
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(app.main, IDC_FORMAT)) && !is_checked(app.main, IDC_FORMAT));
    app.pick('D');
    click(app.main, IDC_FORMAT);
    ASSERT_TRUE(wait_until([&] { return is_checked(app.main, IDC_FORMAT); }));
    for (char letter : {'C', 'U', 'D', 'C', '\0'}) {
        app.pick(letter);  // 0: opening the list refills it, clears the choice and leaves the box alone
        EXPECT_FALSE(is_checked(app.main, IDC_FORMAT)) << letter;
        EXPECT_EQ(IsWindowEnabled(GetDlgItem(app.main, IDC_FORMAT)) != 0, letter == 'U' || letter == 'D') << letter;
    }
    EXPECT_EQ(SendDlgItemMessageA(app.main, IDC_DRIVE_LIST, CB_GETCURSEL, 0, 0), CB_ERR);
    std::string caption;

    // Start checks the path first, then the drive; each box puts the focus where the fault is.
    for (const char *file : {"C:\\hidden.bin", "C:\\system.iso"}) write_file(file, "x");
    SetFileAttributesA("C:\\hidden.bin", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY);
    SetFileAttributesA("C:\\system.iso", FILE_ATTRIBUTE_SYSTEM);
    const struct { std::string path; char drive; std::string box; int focus; } cases[] = {
        {"", 'D', msg(10), IDC_IMAGE_PATH}, {IMAGES "missing.iso", 'D', msg(12, IMAGES "missing.iso"), IDC_IMAGE_PATH},
        {"C:\\system.iso", 'D', msg(12, "C:\\system.iso"), IDC_IMAGE_PATH},
        {"C:\\windows", 'D', msg(12, "C:\\windows"), IDC_IMAGE_PATH}, {"C:\\hidden.bin", 0, msg(13), IDC_DRIVE_LIST},
    };
    for (const auto &c : cases) {
        set_item_text(app.main, IDC_IMAGE_PATH, c.path);
        app.pick(c.drive);
        click(app.main, IDC_START);
        EXPECT_EQ(take_box(app.pid(), app.main, &caption), c.box) << c.path;
        EXPECT_EQ(caption, msg(11));
        EXPECT_TRUE(wait_until([&] { return focused(app.main) == GetDlgItem(app.main, c.focus); })) << c.path;
    }
    // Too long for the box: the path's head and tail around "...", the sentence whole.
    set_item_text(app.main, IDC_IMAGE_PATH, "C:\\images\\" + std::string(990, 'a') + "\\end.iso");
    click(app.main, IDC_START);
    std::string text = take_box(app.pid(), app.main);
    EXPECT_TRUE(text.size() < 1024 && text.find("C:\\images\\aaa") == 0 && text.find("aaa...aaa") != std::string::npos);
    EXPECT_TRUE(ends_with(text, msg(12, "a\\end.iso"))) << text;

    // The picture shows its hover look while the mouse is over it, every time, and opens the home page.
    HWND picture = GetDlgItem(app.main, IDC_PICTURE);
    auto image = [&] { return SendMessageA(picture, STM_GETIMAGE, IMAGE_BITMAP, 0); };
    LRESULT normal = image();
    RECT area;
    GetWindowRect(picture, &area);
    for (int visit = 0; visit < 2; visit++) {  // each visit asks anew to hear of the mouse leaving
        SetCursorPos(area.left + 5, area.top + 5);
        EXPECT_TRUE(wait_until([&] { return image() != normal; }));
        SetCursorPos(area.right + 40, area.bottom + 40);
        EXPECT_TRUE(wait_until([&] { return image() == normal; }));
    }
    PostMessageA(picture, WM_LBUTTONDOWN, MK_LBUTTON, 0), PostMessageA(picture, WM_LBUTTONUP, 0, 0);
    EXPECT_TRUE(wait_until(
        [] { return read_file("C:\\browser-requests.log").find("https://zerka.org/") != std::string::npos; }));
    click(app.main, IDC_EXIT);
    EXPECT_EQ(wait_exit(app.process), 0);
}

TEST(ProgressDialog, StopEscapeTheCloseBoxAndASecondJob)
{
    installer app(INSTALLER_EXE, {"ZERKA_DOUBLE_CHKDSK_GATE=gui"});
    std::set<DWORD> old_worker = threads_of(app.pid());
    ASSERT_TRUE(app.start(IMAGES "small.iso", 'D'));
    EXPECT_EQ(text_of(app.progress), msg(14));
    EXPECT_EQ(item_text(app.progress, IDC_STOP_CLOSE), msg(15));
    EXPECT_EQ(SendDlgItemMessageA(app.progress, IDC_PROGRESS_BAR, PBM_GETRANGE, FALSE, 0), 100);
    EXPECT_FALSE(IsWindowEnabled(app.main));
    ASSERT_TRUE(app.log_ends_with(msg(23)));
    for (DWORD thread : threads_of(app.pid()))
        old_worker.count(thread) ? (void)old_worker.erase(thread) : (void)old_worker.insert(thread);

    // Escape and Enter in the log neither stop the job nor close the dialog.
    HWND log = GetDlgItem(app.progress, IDC_LOG);
    PostMessageA(log, WM_LBUTTONDOWN, MK_LBUTTON, 0), PostMessageA(log, WM_LBUTTONUP, 0, 0);
    press_key(log, VK_ESCAPE), press_key(log, VK_RETURN);
    settle(app.progress, 77), settle(app.progress, 78);  // and whatever they posted in turn
    EXPECT_EQ(item_text(app.progress, IDC_STOP_CLOSE), msg(15));

    // The close box ends the dialog at once, while the worker still waits for chkdsk.
    HWND first = app.progress;
    PostMessageA(first, WM_CLOSE, 0, 0);
    EXPECT_TRUE(wait_until([&] { return !IsWindow(first) && IsWindowEnabled(app.main); }));
    EXPECT_EQ(item_text(app.main, IDC_IMAGE_PATH), IMAGES "small.iso");
    EXPECT_EQ(item_text(app.main, IDC_DRIVE_LIST), "D: [ZERKA_USB]");

    // A second job at once; the first worker ends during it and must not be heard there.
    ASSERT_TRUE(app.start(IMAGES "small.iso", 'D'));
    ASSERT_TRUE(app.log_ends_with(msg(23)));
    SendMessageA(log = GetDlgItem(app.progress, IDC_LOG), EM_SETSEL, 0, 2);  // the user's selection outlives appends
    open_gate("gui");
    EXPECT_TRUE(wait_until([&] {
        std::set<DWORD> now = threads_of(app.pid());
        for (DWORD thread : old_worker) if (now.count(thread)) return false;
        return true;
    }));
    ASSERT_TRUE(app.finish());
    EXPECT_TRUE(ends_with(app.log(), msg(37)) && app.log().find(msg(38)) == std::string::npos) << app.log();
    EXPECT_EQ(SendMessageA(log, EM_GETSEL, 0, 0), MAKELONG(0, 2));
    click(app.progress, IDC_STOP_CLOSE);
    EXPECT_TRUE(wait_until([&] { return !IsWindow(app.progress); }));
}

TEST(Fatal, AMissingToolEndsTheProgramWith3HoweverItIsClosed)
{
    installer app("C:\\zerka-without-7z\\zerka-installer.exe");
    ASSERT_TRUE(app.start(IMAGES "small.iso", 'D'));
    HWND box = find_dialog(app.pid(), nullptr, true);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(text_of(box), "Error");
    EXPECT_EQ(item_text(box, 0xFFFF), "CreateProcess (2): " + system_text(2));
    // The box has no owner: the user can close the job and the program while it shows.
    PostMessageA(app.progress, WM_CLOSE, 0, 0);
    ASSERT_TRUE(wait_until([&] { return IsWindowEnabled(app.main); }));
    click(app.main, IDC_EXIT);
    EXPECT_EQ(wait_exit(app.process), 3);
}

TEST(Fatal, EndingsWithAndWithoutABox)
{
    char self[MAX_PATH];
    std::string helper = "\"" + std::string(self, GetModuleFileNameA(nullptr, self, sizeof self)) + "\" --helper ";
    const struct { std::string arguments, box; long code; } cases[] = {
        {"message 999", "LoadString", 3},  // with whatever code the system leaves
        {"nomem", "", 2},
    };
    for (const auto &c : cases) {
        PROCESS_INFORMATION process = start_program(helper + c.arguments, {"ZERKA_DOUBLE_TOOL_DOUBLE_FLOOD=67108864",
                                                                           "ZERKA_FAKE_HEAP_LIMIT=8388608"});
        std::string caption, text = c.box.empty() ? "" : take_box(process.dwProcessId, nullptr, &caption);
        unsigned long code = 0;
        if (sscanf(text.c_str(), "LoadString (%lu)", &code) == 1)
            EXPECT_EQ(text, "LoadString (" + std::to_string(code) + "): " + system_text(code));
        else EXPECT_EQ(text, c.box) << c.arguments.substr(0, 20);
        EXPECT_EQ(caption, c.box.empty() ? "" : "Error");
        EXPECT_EQ(wait_exit(process), c.code) << c.arguments.substr(0, 20);
    }
}
