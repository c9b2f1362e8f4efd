// The progress dialog and the job's life, run in this process on a user-interface thread of
// its own so the dialog's end value can be read, and driven from the test's thread.
#include "gui_driver.h"
#include "install_support.h"
#include "job/job.h"
#include "main/main_dialog.h"
#include "resources/resource_ids.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>

#include <string>

namespace {

// The installer's two dialogs on a thread that pumps messages, as the program's own would.
struct ui_thread {
    HANDLE thread = nullptr;
    HANDLE start_job = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    HANDLE job_ended = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    volatile LONG quit = 0;
    INT_PTR result = -1;
    HWND main = nullptr;

    static DWORD WINAPI run(void *argument)
    {
        ui_thread *ui = (ui_thread *)argument;
        app_instance = GetModuleHandleA(nullptr);
        ui->main = CreateDialogParamA(app_instance, MAKEINTRESOURCEA(IDD_MAIN), nullptr, main_dialog_proc, 0);
        SetEvent(ui->ready);
        while (!ui->quit) {
            DWORD woke = MsgWaitForMultipleObjects(1, &ui->start_job, FALSE, 100, QS_ALLINPUT);
            if (woke == WAIT_OBJECT_0) {
                ui->result = run_progress_dialog(ui->main);
                SetEvent(ui->job_ended);
            }
            MSG message;
            while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
                if (!IsDialogMessageA(ui->main, &message)) {
                    TranslateMessage(&message);
                    DispatchMessageA(&message);
                }
            }
        }
        DestroyWindow(ui->main);
        return 0;
    }

    ui_thread(const std::string &image, char drive)
    {
        thread = CreateThread(nullptr, 0, run, this, 0, nullptr);
        WaitForSingleObject(ready, 10000);
        set_item_text(main, IDC_IMAGE_PATH, image);
        combo_pick(main, IDC_DRIVE_LIST, combo_find(main, IDC_DRIVE_LIST, drive));
    }
    ~ui_thread()
    {
        // A test that failed half-way may leave its dialog open: close it first.
        if (HWND left = wait_for_dialog(GetCurrentProcessId(), main, 0))
            PostMessageA(left, WM_CLOSE, 0, 0);
        wait_result(5000);
        quit = 1;
        WaitForSingleObject(thread, 10000);
    }

    // Starts a job and returns its progress dialog.
    HWND start()
    {
        SetEvent(start_job);
        HWND found = nullptr;
        wait_until([&] {
            found = wait_for_dialog(GetCurrentProcessId(), main, 0);
            return found != nullptr && GetDlgItem(found, IDC_PROGRESS_BAR) != nullptr;
        });
        return found;
    }
    // The end value of the job's dialog, or -1 while it has not ended.
    INT_PTR wait_result(int timeout_ms = 10000)
    {
        return WaitForSingleObject(job_ended, timeout_ms) == WAIT_OBJECT_0 ? result : -1;
    }
};

bool ends_with(const std::string &text, const std::string &tail)
{
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

RECT client_rect_of(HWND control)
{
    RECT frame;
    GetWindowRect(control, &frame);
    MapWindowPoints(nullptr, GetParent(control), (POINT *)&frame, 2);
    return frame;
}


void set_env(const char *name, const char *value)
{
    SetEnvironmentVariableA(name, value);
}

}  // namespace

TEST(ProgressDialog, ShowsItsControlsAndStopTakesEffectAtTheNextCheckpoint)
{
    set_env("ZERKA_DOUBLE_CHKDSK_SLEEP", "2500");
    ui_thread ui(IMAGES_DIR "\\small.iso", 'D');
    HWND progress = ui.start();
    ASSERT_NE(progress, nullptr);

    EXPECT_EQ(window_text(progress), msg(14));
    EXPECT_EQ(item_text(progress, IDC_STOP_CLOSE), msg(15));
    HWND log = GetDlgItem(progress, IDC_LOG);
    EXPECT_EQ((HGDIOBJ)SendMessageA(log, WM_GETFONT, 0, 0), GetStockObject(SYSTEM_FIXED_FONT));
    HWND bar = GetDlgItem(progress, IDC_PROGRESS_BAR);
    EXPECT_EQ(SendMessageA(bar, PBM_GETRANGE, TRUE, 0), 0);
    EXPECT_EQ(SendMessageA(bar, PBM_GETRANGE, FALSE, 0), 100);
    EXPECT_FALSE(IsWindowEnabled(ui.main));  // modal to the main dialog

    // Stop while chkdsk runs: Close at once, message 38 only once chkdsk is done.
    ASSERT_TRUE(wait_until([&] { return ends_with(log_text(progress), msg(23)); }))
        << utf8_of_gbk(log_text(progress));
    click(progress, IDC_STOP_CLOSE);
    EXPECT_TRUE(wait_until([&] { return item_text(progress, IDC_STOP_CLOSE) == msg(16); }, 1000));
    EXPECT_TRUE(ends_with(log_text(progress), msg(23)));
    EXPECT_TRUE(wait_until([&] { return ends_with(log_text(progress), msg(20) + msg(38)); }));
    EXPECT_EQ(ui.wait_result(300), -1);  // still open after the job ended

    click(progress, IDC_STOP_CLOSE);
    EXPECT_EQ(ui.wait_result(), 1);
    EXPECT_TRUE(IsWindowEnabled(ui.main));
    set_env("ZERKA_DOUBLE_CHKDSK_SLEEP", nullptr);
}

TEST(ProgressDialog, EscapeAndEnterDoNothingAndTheCloseBoxEndsItWithZeroWhileTheWorkerRuns)
{
    set_env("ZERKA_DOUBLE_CHKDSK_SLEEP", "2000");
    ui_thread ui(IMAGES_DIR "\\small.iso", 'D');
    HWND progress = ui.start();
    ASSERT_NE(progress, nullptr);
    SetFocus(GetDlgItem(progress, IDC_LOG));
    for (UINT key : {(UINT)VK_ESCAPE, (UINT)VK_RETURN}) {
        press_key(progress, key);
        EXPECT_EQ(ui.wait_result(300), -1) << key;
        EXPECT_EQ(item_text(progress, IDC_STOP_CLOSE), msg(15)) << key;
    }
    PostMessageA(progress, WM_CLOSE, 0, 0);
    EXPECT_EQ(ui.wait_result(), 0);
    // The choices are as they were, and a new job can start at once while the old worker
    // still waits for chkdsk: the new dialog hears nothing from the old worker.
    EXPECT_EQ(item_text(ui.main, IDC_IMAGE_PATH), IMAGES_DIR "\\small.iso");
    EXPECT_EQ(item_text(ui.main, IDC_DRIVE_LIST).substr(0, 2), "D:");
    EXPECT_TRUE(is_enabled(ui.main, IDC_FORMAT));
    set_env("ZERKA_DOUBLE_CHKDSK_SLEEP", nullptr);
    HWND second = ui.start();
    ASSERT_NE(second, nullptr);
    ASSERT_TRUE(wait_for_job_end(second, 60000));
    Sleep(2500);  // long enough for the first worker to have reached its checkpoint
    std::string log = log_text(second);
    EXPECT_EQ(log.compare(0, msg(21).size(), msg(21)), 0) << utf8_of_gbk(log);
    EXPECT_TRUE(ends_with(log, msg(37))) << utf8_of_gbk(log);
    EXPECT_EQ(log.find(msg(38)), std::string::npos) << utf8_of_gbk(log);
    EXPECT_EQ(item_text(second, IDC_STOP_CLOSE), msg(16));
    click(second, IDC_STOP_CLOSE);
    EXPECT_EQ(ui.wait_result(), 1);
}

TEST(ProgressDialog, ResizingKeepsTheButtonSizeAndSixPixelMargins)
{
    set_env("ZERKA_DOUBLE_CHKDSK_SLEEP", "1500");
    ui_thread ui(IMAGES_DIR "\\small.iso", 'D');
    HWND progress = ui.start();
    ASSERT_NE(progress, nullptr);
    HWND button = GetDlgItem(progress, IDC_STOP_CLOSE);
    RECT original = client_rect_of(button);
    int bw = original.right - original.left, bh = original.bottom - original.top;
    ASSERT_GT(bw, 0);
    ASSERT_GT(bh, 0);
    for (SIZE size : {SIZE{700, 500}, SIZE{420, 260}, SIZE{900, 300}}) {
        SetWindowPos(progress, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER);
        RECT client;
        GetClientRect(progress, &client);
        int w = client.right, h = client.bottom;
        RECT b = client_rect_of(button), l = client_rect_of(GetDlgItem(progress, IDC_LOG)),
             p = client_rect_of(GetDlgItem(progress, IDC_PROGRESS_BAR));
        EXPECT_EQ(b.left, w - bw - 6);
        EXPECT_EQ(b.top, h - bh - 6);
        EXPECT_EQ(b.right - b.left, bw);
        EXPECT_EQ(b.bottom - b.top, bh);
        EXPECT_EQ(l.left, 6);
        EXPECT_EQ(l.top, 6);
        EXPECT_EQ(l.right, w - 6);
        EXPECT_EQ(l.bottom, h - bh - 12);
        EXPECT_EQ(p.left, 6);
        EXPECT_EQ(p.top, h - bh - 5);
        EXPECT_EQ(p.right, w - bw - 12);
        EXPECT_EQ(p.bottom, h - 7);
    }
    PostMessageA(progress, WM_CLOSE, 0, 0);
    EXPECT_EQ(ui.wait_result(), 0);
    set_env("ZERKA_DOUBLE_CHKDSK_SLEEP", nullptr);
    Sleep(1600);  // let the worker finish before the process's statics go
}

// The installer finds its tools beside itself; this program holds the installer's code, so it
// runs from the installer's folder: a copy of it is started there.
int main(int argc, char **argv)
{
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, sizeof self);
    std::string folder(self, strrchr(self, '\\') - self);
    if (_stricmp(folder.c_str(), INSTALLER_DIR) != 0) {
        std::string copy = INSTALLER_DIR "\\progress_dialog_tests.exe";
        if (!CopyFileA(self, copy.c_str(), FALSE))
            return 2;
        std::string line = "\"" + copy + "\"";
        for (int i = 1; i < argc; i++)
            line += std::string(" \"") + argv[i] + "\"";
        PROCESS_INFORMATION process = start_program(line, {}, INSTALLER_DIR);
        long code = wait_exit(process, INFINITE);
        DeleteFileA(copy.c_str());
        return (int)code;
    }
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
