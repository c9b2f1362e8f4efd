// The picture link inside a main dialog of this process: bitmaps and cursors are per-process
// handles, so only here can the test see which one the picture shows.
#include "gui_driver.h"
#include "main/main_dialog.h"
#include "main/picture_link.h"
#include "resources/resource_ids.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

WNDPROC spied_proc;
std::vector<HBITMAP> images_set;

LRESULT CALLBACK spy_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message == STM_SETIMAGE && wparam == IMAGE_BITMAP)
        images_set.push_back((HBITMAP)lparam);
    return CallWindowProcA(spied_proc, window, message, wparam, lparam);
}

void pump()
{
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

std::string browser_requests()
{
    std::ifstream log("C:\\browser-requests.log");
    return std::string(std::istreambuf_iterator<char>(log), std::istreambuf_iterator<char>());
}

}  // namespace

TEST(PictureLink, HoverShowsTheHandAndBitmap103OnceAndLeavingRestoresEveryTime)
{
    app_instance = GetModuleHandleA(nullptr);
    HWND main = CreateDialogParamA(app_instance, MAKEINTRESOURCEA(IDD_MAIN), nullptr, main_dialog_proc, 0);
    ASSERT_NE(main, nullptr);
    HWND picture = GetDlgItem(main, IDC_PICTURE);
    ASSERT_NE(picture_normal_bitmap, nullptr);
    ASSERT_NE(picture_hover_bitmap, nullptr);
    EXPECT_NE(picture_normal_bitmap, picture_hover_bitmap);
    EXPECT_EQ((HBITMAP)SendMessageA(picture, STM_GETIMAGE, IMAGE_BITMAP, 0), picture_normal_bitmap);
    spied_proc = (WNDPROC)SetWindowLongPtrA(picture, GWLP_WNDPROC, (LONG_PTR)spy_proc);
    const HCURSOR hand = LoadCursorA(nullptr, IDC_HAND), arrow = LoadCursorA(nullptr, IDC_ARROW);

    for (int entry = 0; entry < 2; entry++) {
        images_set.clear();
        SendMessageA(picture, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
        EXPECT_EQ(picture_tracking, 1);
        EXPECT_EQ(picture_hover, 1);
        EXPECT_EQ(GetCursor(), hand);
        EXPECT_EQ(images_set, std::vector<HBITMAP>{picture_hover_bitmap});
        // The system must not put the arrow back, and further moves change nothing.
        EXPECT_EQ(SendMessageA(picture, WM_SETCURSOR, (WPARAM)picture, MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)), TRUE);
        SendMessageA(picture, WM_MOUSEMOVE, 0, MAKELPARAM(20, 30));
        EXPECT_EQ(GetCursor(), hand);
        EXPECT_EQ(images_set.size(), 1u);

        SendMessageA(picture, WM_MOUSELEAVE, 0, 0);
        EXPECT_EQ(picture_tracking, 0);
        EXPECT_EQ(picture_hover, 0);
        EXPECT_EQ(GetCursor(), arrow);
        EXPECT_EQ(images_set, (std::vector<HBITMAP>{picture_hover_bitmap, picture_normal_bitmap}));
        EXPECT_EQ((HBITMAP)SendMessageA(picture, STM_GETIMAGE, IMAGE_BITMAP, 0), picture_normal_bitmap);
    }

    // Every press opens the home page, in either state; the dialog ignores the click itself.
    DeleteFileA("C:\\browser-requests.log");
    SendMessageA(picture, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    SendMessageA(picture, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    SendMessageA(picture, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    SendMessageA(picture, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    SendMessageA(picture, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    std::string requests;
    EXPECT_TRUE(wait_until([&] {
        pump();
        requests = browser_requests();
        size_t first = requests.find(home_page_url);
        return first != std::string::npos && requests.find(home_page_url, first + 1) != std::string::npos;
    }, 15000)) << requests;
    pump();
    EXPECT_TRUE(IsWindow(main));
    EXPECT_EQ(wait_for_message_box(GetCurrentProcessId(), main, 200), nullptr);
    DestroyWindow(main);
}
