// One whole installation driven through the installer's windows, as a person would do it, for the
// demo and the release check:
//   demo_install.exe INSTALLER IMAGE DRIVE [PICTURE.bmp]
// Types the image path, picks the drive, presses Start, waits for the end, prints the progress log
// (code page 936, as the installer shows it), saves a picture of the progress dialog when asked,
// then presses Close and Exit. Exit code 0 when the log ends with "installation succeeded".
#include <stdio.h>

#include <string>

#include "driver.h"
#include "resources/resource_ids.h"

// The window as it is on the screen, as a 24-bit BMP file.
static bool save_picture(HWND window, const char *path)
{
    RECT frame;
    GetWindowRect(window, &frame);
    BITMAPINFOHEADER info = {sizeof info, frame.right - frame.left, frame.bottom - frame.top, 1, 24, BI_RGB};
    HDC screen = GetDC(nullptr), memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, info.biWidth, info.biHeight);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, info.biWidth, info.biHeight, screen, frame.left, frame.top, SRCCOPY);
    SelectObject(memory, previous);
    std::string pixels((size_t)((info.biWidth * 3 + 3) & ~3) * info.biHeight, '\0');
    GetDIBits(memory, bitmap, 0, info.biHeight, &pixels[0], (BITMAPINFO *)&info, DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    BITMAPFILEHEADER file = {0x4D42, (DWORD)(sizeof file + sizeof info + pixels.size()), 0, 0,
                             sizeof file + sizeof info};
    FILE *out = fopen(path, "wb");
    bool written = out && fwrite(&file, sizeof file, 1, out) && fwrite(&info, sizeof info, 1, out) &&
                   fwrite(pixels.data(), 1, pixels.size(), out) == pixels.size();
    return out && fclose(out) == 0 && written;
}

int main(int argc, char **argv)
{
    if (argc < 4) {
        fprintf(stderr, "usage: demo_install INSTALLER IMAGE DRIVE [PICTURE.bmp]\n");
        return 2;
    }
    installer app(argv[1]);
    if (!app.main || !app.start(argv[2], argv[3][0])) {
        fprintf(stderr, "the installer did not open its %s dialog\n", app.main ? "progress" : "main");
        return 1;
    }
    bool ended = app.finish();
    std::string log = app.log();
    printf("%s\r\n[bar at %d%%]\r\n", log.c_str(), app.bar());
    fflush(stdout);
    if (argc > 4) {
        SetForegroundWindow(app.progress);
        Sleep(500);  // for the last lines to be painted
        if (!save_picture(app.progress, argv[4])) fprintf(stderr, "could not save %s\n", argv[4]);
    }
    click(app.progress, IDC_STOP_CLOSE);
    wait_until([&] { return !IsWindow(app.progress); });
    click(app.main, IDC_EXIT);
    return ended && ends_with(log, msg(37)) && wait_exit(app.process) == 0 ? 0 : 1;
}
