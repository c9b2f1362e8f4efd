// The compiled resources as the Windows loaders see them under code page 936:
// LoadStringA, LoadImageA, LoadBitmapA and the dialog manager, in-process.
#include "expected_messages.h"
#include "gui_driver.h"
#include "resources/resource_ids.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <string>

namespace {

HINSTANCE self() { return GetModuleHandleA(nullptr); }

TEST(ResourceLoading, MessagesComeBackInCodePage936) {
    ASSERT_EQ(GetACP(), 936u) << "the test bed runs with the Chinese (PRC) locale";
    for (int id = 1; id <= MESSAGE_COUNT; ++id) {
        SCOPED_TRACE("message " + std::to_string(id));
        char text[1024];
        int length = LoadStringA(self(), (UINT)id, text, sizeof text);
        std::string expected = gbk(expected_messages[id]);
        EXPECT_EQ(std::string(text, length > 0 ? length : 0), expected)
            << utf8_of_gbk(std::string(text, length > 0 ? length : 0));
        EXPECT_EQ(length, (int)expected.size());
    }
    char text[16];
    EXPECT_EQ(LoadStringA(self(), 0, text, sizeof text), 0);
    EXPECT_EQ(LoadStringA(self(), MESSAGE_COUNT + 1, text, sizeof text), 0);
}

// What the AND mask and colour bitmap of a loaded icon look like.
struct icon_bits {
    int width = 0, height = 0, colour_bits = 0;
    int transparent = 0, opaque = 0;
};

icon_bits inspect_icon(HICON icon) {
    icon_bits out;
    ICONINFO info = {};
    if (!GetIconInfo(icon, &info))
        return out;
    BITMAP colour = {}, mask = {};
    GetObjectA(info.hbmColor, sizeof colour, &colour);
    GetObjectA(info.hbmMask, sizeof mask, &mask);
    out.width = colour.bmWidth;
    out.height = colour.bmHeight;
    out.colour_bits = colour.bmBitsPixel;
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, info.hbmMask);
    for (int y = 0; y < mask.bmHeight; ++y)
        for (int x = 0; x < mask.bmWidth; ++x)
            (GetPixel(dc, x, y) == RGB(255, 255, 255) ? out.transparent : out.opaque)++;
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    return out;
}

TEST(ResourceLoading, IconsLoadAtTheirSizesWithTransparentCorners) {
    struct { int id, size; } icons[] = {
        {IDI_PROGRAM_LARGE, 48}, {IDI_PROGRAM_SMALL, 16}, {IDI_HELP_MARK, 20}};
    for (auto icon : icons) {
        SCOPED_TRACE("icon " + std::to_string(icon.id));
        HICON handle = (HICON)LoadImageA(self(), MAKEINTRESOURCEA(icon.id), IMAGE_ICON,
                                         icon.size, icon.size, 0);
        ASSERT_NE(handle, nullptr);
        icon_bits bits = inspect_icon(handle);
        EXPECT_EQ(bits.width, icon.size);
        EXPECT_EQ(bits.height, icon.size);
        EXPECT_GT(bits.transparent, 0) << "round emblem: the corners show through";
        EXPECT_GT(bits.opaque, icon.size * icon.size / 2);
        DestroyIcon(handle);
    }
    // the main dialog loads icon 102 with LoadIconA for the window class
    HICON small = LoadIconA(self(), MAKEINTRESOURCEA(IDI_PROGRAM_SMALL));
    EXPECT_NE(small, nullptr);
}

TEST(ResourceLoading, PictureBitmapsAre96By96) {
    for (int id : {IDB_PICTURE_NORMAL, IDB_PICTURE_HOVER}) {
        SCOPED_TRACE("bitmap " + std::to_string(id));
        HBITMAP bitmap = LoadBitmapA(self(), MAKEINTRESOURCEA(id));
        ASSERT_NE(bitmap, nullptr);
        BITMAP info = {};
        ASSERT_NE(GetObjectA(bitmap, sizeof info, &info), 0);
        EXPECT_EQ(info.bmWidth, 96);
        EXPECT_EQ(info.bmHeight, 96);
        DeleteObject(bitmap);
    }
}

INT_PTR CALLBACK close_at_once(HWND dialog, UINT message, WPARAM, LPARAM) {
    if (message != WM_INITDIALOG)
        return FALSE;
    // report what the dialog manager built, then leave
    RECT client;
    GetClientRect(dialog, &client);
    int controls = 0;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        ++controls;
    EndDialog(dialog, controls * 100000 + client.right);
    return TRUE;
}

TEST(ResourceLoading, DialogManagerBuildsBothTemplates) {
    // every control class resolves (the progress bar's class comes from comctl32)
    INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&classes);
    INT_PTR main = DialogBoxParamA(self(), MAKEINTRESOURCEA(IDD_MAIN), nullptr, close_at_once, 0);
    ASSERT_GT(main, 0) << "error " << GetLastError();
    EXPECT_EQ(main / 100000, 12);
    EXPECT_GT(main % 100000, 300) << "300 dialog units are wider than 300 pixels";
    INT_PTR progress = DialogBoxParamA(self(), MAKEINTRESOURCEA(IDD_PROGRESS), nullptr, close_at_once, 0);
    ASSERT_GT(progress, 0) << "error " << GetLastError();
    EXPECT_EQ(progress / 100000, 3);
}

TEST(ResourceLoading, ManifestAsksForAdministrator) {
    HRSRC found = FindResourceA(self(), MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
    ASSERT_NE(found, nullptr);
    const char *text = (const char *)LockResource(LoadResource(self(), found));
    std::string manifest(text, SizeofResource(self(), found));
    EXPECT_NE(manifest.find("level=\"requireAdministrator\""), std::string::npos);
}

}  // namespace
