// Drives one whole installation for scripts/demo.sh, as a person would:
//   demo_install.exe IMAGE DRIVE [PICTURE.bmp]
// Types the image path, picks the drive, presses Start, waits for the end, prints the
// progress log (code page 936, as the installer shows it), saves a picture of the progress
// dialog when asked, and closes the installer.
// Exit code 0 when the log ends with "installation succeeded".
#include <windows.h>

#include <stdio.h>

#include <string>

#include "install_support.h"
#include "resources/resource_ids.h"

// The window as it is on the screen, as a 24-bit BMP file.
static bool save_window_picture(HWND window, const char *path)
{
    RECT frame;
    GetWindowRect(window, &frame);
    int width = frame.right - frame.left, height = frame.bottom - frame.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, frame.left, frame.top, SRCCOPY);
    SelectObject(memory, previous);

    BITMAPINFOHEADER info = {};
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    DWORD row = ((DWORD)width * 3 + 3) & ~3u;
    std::string pixels((size_t)row * height, '\0');
    GetDIBits(memory, bitmap, 0, height, &pixels[0], (BITMAPINFO *)&info, DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);

    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + (DWORD)pixels.size();
    FILE *out = fopen(path, "wb");
    if (out == nullptr)
        return false;
    bool written = fwrite(&file, sizeof file, 1, out) == 1 && fwrite(&info, sizeof info, 1, out) == 1 &&
                   fwrite(pixels.data(), 1, pixels.size(), out) == pixels.size();
    return fclose(out) == 0 && written;
}

int main(int argc, char **argv)
{
    if (argc < 3) {
        fprintf(stderr, "usage: demo_install IMAGE DRIVE\n");
        return 2;
    }
    const char drive = argv[2][0];
    install_run run;
    run.session = start_installer(INSTALLER_EXE);
    HWND main = run.session.main;
    if (main == nullptr) {
        fprintf(stderr, "the installer's main dialog did not appear\n");
        return 1;
    }
    set_item_text(main, IDC_IMAGE_PATH, argv[1]);
    int entry = combo_find(main, IDC_DRIVE_LIST, drive);
    if (entry < 0) {
        fprintf(stderr, "drive %c: is not offered\n", drive);
        return 1;
    }
    combo_pick(main, IDC_DRIVE_LIST, entry);
    click(main, IDC_START);
    run.progress = wait_for_progress_dialog(run.session, 15000);
    if (run.progress == nullptr) {
        fprintf(stderr, "no progress dialog\n");
        return 1;
    }
    bool ended = run.finish(600000);
    std::string log = run.log();
    fwrite(log.data(), 1, log.size(), stdout);
    printf("\r\n[bar at %d%%]\r\n", run.bar());
    fflush(stdout);
    if (argc > 3) {
        SetForegroundWindow(run.progress);
        Sleep(500);  // let the last lines paint
        if (!save_window_picture(run.progress, argv[3]))
            fprintf(stderr, "could not save %s\n", argv[3]);
    }

    // Close, then Exit, as the user would.
    click(run.progress, IDC_STOP_CLOSE);
    wait_until([&] { return !IsWindow(run.progress); }, 5000);
    click(main, IDC_EXIT);
    wait_exit(run.session.process, 5000);

    const std::string done = msg(37);
    bool succeeded = ended && log.size() >= done.size() && log.compare(log.size() - done.size(), done.size(), done) == 0;
    return succeeded ? 0 : 1;
}
