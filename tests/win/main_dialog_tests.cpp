// The main dialog, driven from another process like a person would use it.
#include "expected_messages.h"
#include "gui_driver.h"
#include "resources/resource_ids.h"
#include "testbed.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

namespace {

std::string message(int id)
{
    return gbk(expected_messages[id]);
}

struct running_installer {
    installer_session session;
    explicit running_installer(const char *exe = INSTALLER_EXE, const std::vector<std::string> &env = {})
        : session(start_installer(exe, env)) {}
    ~running_installer() { kill_program(session.process); }
    HWND main() const { return session.main; }
    DWORD pid() const { return session.process.dwProcessId; }
};

// The box the Start sequence shows, checked for caption and owner, then dismissed.
std::string take_error_box(const running_installer &installer)
{
    HWND box = wait_for_message_box(installer.pid(), installer.main());
    if (box == nullptr)
        return "<no box>";
    EXPECT_EQ(utf8_of_gbk(window_text(box)), expected_messages[11]);
    std::string text = message_box_text(box);
    dismiss_message_box(box);
    return text;
}

std::string c_drive_entry()
{
    char label[128] = {};
    if (!GetVolumeInformationA("C:\\", label, sizeof label, nullptr, nullptr, nullptr, nullptr, 0))
        return "C: ";
    return std::string("C: [") + label + "]";
}

// Nothing happens for a while: the dialog is still there and the process runs on.
void expect_still_open(const running_installer &installer)
{
    Sleep(300);
    EXPECT_TRUE(IsWindow(installer.main()));
    EXPECT_EQ(WaitForSingleObject(installer.session.process.hProcess, 0), (DWORD)WAIT_TIMEOUT);
}

std::string make_file(const char *path, DWORD attributes)
{
    SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
    std::ofstream(path, std::ios::binary) << "not really an image";
    SetFileAttributesA(path, attributes);
    return path;
}

}  // namespace

TEST(MainDialog, StartsWithTableTextsFocusOnPathAndTheOfferedDrives)
{
    DeleteFileA("C:\\kestrix_drive.log");
    running_installer installer;
    HWND main = installer.main();
    ASSERT_NE(main, nullptr);

    EXPECT_EQ(window_text(main), message(1));
    const std::pair<int, int> texts[] = {{IDC_IMAGE_GROUP, 2}, {IDC_IMAGE_TEXT, 3}, {IDC_DRIVE_GROUP, 4},
                                         {IDC_DRIVE_TEXT, 5},  {IDC_BROWSE, 6},     {IDC_FORMAT, 7},
                                         {IDC_START, 8},       {IDC_EXIT, 9}};
    for (const auto &text : texts)
        EXPECT_EQ(utf8_of_gbk(item_text(main, text.first)), expected_messages[text.second]) << text.first;

    EXPECT_EQ(focused_control(main), GetDlgItem(main, IDC_IMAGE_PATH));
    EXPECT_EQ(item_text(main, IDC_IMAGE_PATH), "");
    EXPECT_EQ(combo_selection(main, IDC_DRIVE_LIST), -1);
    EXPECT_TRUE(is_enabled(main, IDC_FORMAT));
    EXPECT_FALSE(is_checked(main, IDC_FORMAT));

    // Letter order from C:, removable and fixed alike; CD-ROM and network letters left out.
    std::vector<std::string> expected = {c_drive_entry(), "D: [ZERKA_USB]", "E: [DATA]", "H: []",
                                         "R: ",           "S: [SMALL]",     "U: [USBDISK]"};
    EXPECT_EQ(combo_items(main, IDC_DRIVE_LIST), expected);

    // The drive log was written before the dialog came up.
    EXPECT_NE(GetFileAttributesA("C:\\kestrix_drive.log"), INVALID_FILE_ATTRIBUTES);

    // Help: a plain box owned by the dialog.
    click(main, IDC_HELP_BUTTON);
    HWND help = wait_for_message_box(installer.pid(), main);
    ASSERT_NE(help, nullptr);
    EXPECT_EQ(utf8_of_gbk(window_text(help)), expected_messages[39]);
    EXPECT_EQ(utf8_of_gbk(message_box_text(help)), expected_messages[40]);
    dismiss_message_box(help);

    // Escape and Enter in the path box do nothing.
    SetForegroundWindow(main);
    press_key(main, VK_ESCAPE);
    expect_still_open(installer);
    press_key(main, VK_RETURN);
    expect_still_open(installer);
    EXPECT_EQ(wait_for_message_box(installer.pid(), main, 200), nullptr);

    click(main, IDC_EXIT);
    EXPECT_EQ(wait_exit(installer.session.process), 0);
}

TEST(MainDialog, StartChecksThePathFirstThenTheDrive)
{
    running_installer installer;
    HWND main = installer.main();
    ASSERT_NE(main, nullptr);

    // Empty path, with or without a drive: message 10 and the focus back on the path.
    click(main, IDC_START);
    EXPECT_EQ(take_error_box(installer), message(10));
    EXPECT_TRUE(wait_until([&] { return focused_control(main) == GetDlgItem(main, IDC_IMAGE_PATH); }, 2000));
    combo_pick(main, IDC_DRIVE_LIST, combo_find(main, IDC_DRIVE_LIST, removable_letter));
    click(main, IDC_START);
    EXPECT_EQ(take_error_box(installer), message(10));

    // Paths that name no ordinary file: message 12 with the path exactly as typed.
    CreateDirectoryA("C:\\images", nullptr);
    std::string system_file = make_file("C:\\images\\system.iso", FILE_ATTRIBUTE_SYSTEM);
    ASSERT_TRUE(GetFileAttributesA(system_file.c_str()) & FILE_ATTRIBUTE_SYSTEM);
    for (std::string path : {std::string("   "), std::string("C:\\windows"), std::string("C:\\images\\missing.iso"),
                             system_file}) {
        set_item_text(main, IDC_IMAGE_PATH, path);
        click(main, IDC_START);
        char expected[1200];
        snprintf(expected, sizeof expected, message(12).c_str(), path.c_str());
        EXPECT_EQ(take_error_box(installer), expected) << path;
        EXPECT_TRUE(wait_until([&] { return focused_control(main) == GetDlgItem(main, IDC_IMAGE_PATH); }, 2000));
    }

    // Hidden and read-only files pass, whatever their extension; then the missing drive is reported.
    combo_drop(main, IDC_DRIVE_LIST);
    ASSERT_EQ(combo_selection(main, IDC_DRIVE_LIST), -1);
    for (DWORD attributes : {(DWORD)FILE_ATTRIBUTE_HIDDEN, (DWORD)FILE_ATTRIBUTE_READONLY}) {
        std::string path = make_file(attributes == FILE_ATTRIBUTE_HIDDEN ? "C:\\images\\hidden.bin"
                                                                         : "C:\\images\\readonly.txt",
                                     attributes);
        set_item_text(main, IDC_IMAGE_PATH, path);
        click(main, IDC_START);
        EXPECT_EQ(take_error_box(installer), message(13)) << path;
        EXPECT_TRUE(wait_until([&] { return focused_control(main) == GetDlgItem(main, IDC_DRIVE_LIST); }, 2000));
    }

    // The close box ends the program with exit code 0.
    PostMessageA(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(wait_exit(installer.session.process), 0);
}

TEST(MainDialog, PathTooLongForTheMessageIsShownWholeAndNeverCut)
{
    running_installer installer;
    HWND main = installer.main();
    ASSERT_NE(main, nullptr);
    std::string path = "C:\\images\\" + std::string(990, 'a') + "\\end-of-path.iso";
    set_item_text(main, IDC_IMAGE_PATH, path);
    ASSERT_EQ(item_text(main, IDC_IMAGE_PATH), path);
    click(main, IDC_START);
    std::string text = take_error_box(installer);
    std::string tail = gbk(" 不是一个有效的光盘镜像文件。");
    ASSERT_GT(text.size(), tail.size());
    EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
    EXPECT_EQ(text.compare(0, 10, "C:\\images\\"), 0);
    // Head and tail of the path with the elision between them; the sentence itself whole.
    EXPECT_EQ(text.substr(text.size() - tail.size() - 16, 16), "\\end-of-path.iso");
    EXPECT_NE(text.find("aaa...aaa"), std::string::npos) << text;
    EXPECT_LT(text.size(), 1024u);
}

TEST(MainDialog, FormatBoxFollowsTheKindOfTheChosenDrive)
{
    running_installer installer;
    HWND main = installer.main();
    ASSERT_NE(main, nullptr);
    int removable = combo_find(main, IDC_DRIVE_LIST, removable_letter);
    int fixed = combo_find(main, IDC_DRIVE_LIST, fixed_letter);
    ASSERT_GE(removable, 0);
    ASSERT_GE(fixed, 0);

    combo_pick(main, IDC_DRIVE_LIST, removable);
    click(main, IDC_FORMAT);
    ASSERT_TRUE(wait_until([&] { return is_checked(main, IDC_FORMAT); }, 2000));

    combo_pick(main, IDC_DRIVE_LIST, fixed);
    EXPECT_FALSE(is_checked(main, IDC_FORMAT));
    EXPECT_FALSE(is_enabled(main, IDC_FORMAT));

    combo_pick(main, IDC_DRIVE_LIST, removable);
    EXPECT_TRUE(is_enabled(main, IDC_FORMAT));
    EXPECT_FALSE(is_checked(main, IDC_FORMAT));

    // Opening the list refills it and clears the choice; the Format box keeps its state.
    combo_pick(main, IDC_DRIVE_LIST, fixed);
    std::vector<std::string> before = combo_items(main, IDC_DRIVE_LIST);
    combo_drop(main, IDC_DRIVE_LIST);
    EXPECT_EQ(combo_selection(main, IDC_DRIVE_LIST), -1);
    EXPECT_EQ(combo_items(main, IDC_DRIVE_LIST), before);
    EXPECT_FALSE(is_enabled(main, IDC_FORMAT));
    CreateDirectoryA("C:\\images", nullptr);
    set_item_text(main, IDC_IMAGE_PATH, make_file("C:\\images\\plain.iso", FILE_ATTRIBUTE_NORMAL));
    click(main, IDC_START);
    EXPECT_EQ(take_error_box(installer), message(13));
}

TEST(MainDialog, UsbHardDiskIsOfferedAsRemovableAndUnqueryableFixedDrivesAreNot)
{
    // Wine reports no bus; the test bed's storage double answers for U: and E:.
    running_installer installer(TESTBED_EXE, {"ZERKA_FAKE_VOLUMES=U:bus=7;E:fail_property=50"});
    HWND main = installer.main();
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(combo_find(main, IDC_DRIVE_LIST, fixed_letter), -1);
    int usb = combo_find(main, IDC_DRIVE_LIST, usb_fixed_letter);
    ASSERT_GE(usb, 0);
    combo_pick(main, IDC_DRIVE_LIST, combo_find(main, IDC_DRIVE_LIST, 'C'));
    EXPECT_FALSE(is_enabled(main, IDC_FORMAT));
    combo_pick(main, IDC_DRIVE_LIST, usb);
    EXPECT_TRUE(is_enabled(main, IDC_FORMAT));
}

TEST(MainDialog, OpensEvenWhenTheDriveLogCannotBeCreated)
{
    DeleteFileA("C:\\kestrix_drive.log");
    ASSERT_TRUE(CreateDirectoryA("C:\\kestrix_drive.log", nullptr));
    running_installer installer;
    EXPECT_NE(installer.main(), nullptr);
    EXPECT_EQ(window_text(installer.main()), message(1));
    click(installer.main(), IDC_EXIT);
    EXPECT_EQ(wait_exit(installer.session.process), 0);
    RemoveDirectoryA("C:\\kestrix_drive.log");
}

TEST(MainDialog, PictureClickAsksTheShellToOpenTheHomePage)
{
    DeleteFileA("C:\\browser-requests.log");
    running_installer installer;
    HWND main = installer.main();
    ASSERT_NE(main, nullptr);
    HWND picture = GetDlgItem(main, IDC_PICTURE);
    RECT area;
    GetClientRect(picture, &area);
    LPARAM middle = MAKELPARAM(area.right / 2, area.bottom / 2);
    PostMessageA(picture, WM_LBUTTONDOWN, MK_LBUTTON, middle);
    PostMessageA(picture, WM_LBUTTONUP, 0, middle);
    std::string requests;
    EXPECT_TRUE(wait_until([&] {
        std::ifstream log("C:\\browser-requests.log");
        requests.assign(std::istreambuf_iterator<char>(log), std::istreambuf_iterator<char>());
        return !requests.empty();
    }, 15000));
    EXPECT_NE(requests.find("https://zerka.org/"), std::string::npos) << requests;
    // The click reaches the dialog as a command it ignores: nothing else happens.
    expect_still_open(installer);
    EXPECT_EQ(wait_for_message_box(installer.pid(), main, 200), nullptr);
}

TEST(MainDialog, AToolThatCannotBeStartedEndsTheInstallerWithTheCreateProcessBox)
{
    // An installer folder without its 7z.
    const char *folder = "C:\\zerka-without-7z";
    CreateDirectoryA(folder, nullptr);
    std::string exe = std::string(folder) + "\\zerka-installer.exe";
    ASSERT_TRUE(CopyFileA(INSTALLER_EXE, exe.c_str(), FALSE));
    running_installer installer(exe.c_str());
    HWND main = installer.main();
    ASSERT_NE(main, nullptr);
    set_item_text(main, IDC_IMAGE_PATH, "C:\\images\\small.iso");
    combo_pick(main, IDC_DRIVE_LIST, combo_find(main, IDC_DRIVE_LIST, removable_letter));
    click(main, IDC_START);
    HWND box = wait_for_message_box(installer.pid(), nullptr);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(window_text(box), "Error");
    std::string text = message_box_text(box);
    EXPECT_EQ(text.compare(0, 19, "CreateProcess (2): "), 0) << utf8_of_gbk(text);
    dismiss_message_box(box);
    EXPECT_EQ(wait_exit(installer.session.process), 3);
}

TEST(MainDialog, BrowseSetsTheChosenPathAndCancelKeepsTheTypedOne)
{
    CreateDirectoryA("C:\\images", nullptr);
    std::string chosen = make_file("C:\\images\\browsed.iso", FILE_ATTRIBUTE_NORMAL);
    running_installer installer;
    HWND main = installer.main();
    ASSERT_NE(main, nullptr);

    auto open_file_dialog = [&]() -> HWND {
        click(main, IDC_BROWSE);
        HWND dialog = wait_for_dialog(installer.pid(), main);
        if (dialog != nullptr)  // the file name box of the system's dialog
            wait_until([&] { return GetDlgItem(dialog, 0x480) != nullptr || GetDlgItem(dialog, 0x47C) != nullptr; });
        return dialog;
    };

    set_item_text(main, IDC_IMAGE_PATH, "C:\\typed\\path.iso");
    HWND dialog = open_file_dialog();
    ASSERT_NE(dialog, nullptr);
    click(dialog, IDCANCEL);
    ASSERT_TRUE(wait_until([&] { return !IsWindow(dialog); }));
    EXPECT_EQ(item_text(main, IDC_IMAGE_PATH), "C:\\typed\\path.iso");

    dialog = open_file_dialog();
    ASSERT_NE(dialog, nullptr);
    HWND name_box = GetDlgItem(dialog, 0x480) != nullptr ? GetDlgItem(dialog, 0x480) : GetDlgItem(dialog, 0x47C);
    SendMessageA(name_box, WM_SETTEXT, 0, (LPARAM)chosen.c_str());
    click(dialog, IDOK);
    ASSERT_TRUE(wait_until([&] { return !IsWindow(dialog); }));
    EXPECT_TRUE(wait_until([&] { return item_text(main, IDC_IMAGE_PATH) == chosen; }, 3000))
        << item_text(main, IDC_IMAGE_PATH);
    EXPECT_EQ(wait_for_message_box(installer.pid(), main, 200), nullptr);
}
