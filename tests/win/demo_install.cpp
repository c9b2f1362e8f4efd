// Drives one whole installation for scripts/demo.sh, as a person would:
//   demo_install.exe IMAGE DRIVE
// Types the image path, picks the drive, presses Start, waits for the end, prints the
// progress log (code page 936, as the installer shows it) and closes the installer.
// Exit code 0 when the log ends with "installation succeeded".
#include <windows.h>

#include <stdio.h>

#include <string>

#include "install_support.h"
#include "resources/resource_ids.h"

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

    // Close, then Exit, as the user would.
    click(run.progress, IDC_STOP_CLOSE);
    wait_until([&] { return !IsWindow(run.progress); }, 5000);
    click(main, IDC_EXIT);
    wait_exit(run.session.process, 5000);

    const std::string done = msg(37);
    bool succeeded = ended && log.size() >= done.size() && log.compare(log.size() - done.size(), done.size(), done) == 0;
    return succeeded ? 0 : 1;
}
