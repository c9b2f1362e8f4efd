#pragma once
// Whole installations driven through the installer's windows, and what the suites compare
// them with.
#include <windows.h>

#include <string>
#include <vector>

#include "gui_driver.h"
#include "testbed.h"

// The installer folders of the test bed (tests/win/fixtures/10-installer-folder.sh).
#define FAKE7Z_DIR "C:\\zerka-fake7z"
#define FAKE7Z_EXE FAKE7Z_DIR "\\zerka-installer.exe"
#define IMAGES_DIR "C:\\images"

// Message id as the installer logs it (code page 936), optionally formatted printf-style.
std::string msg(int id);
std::string msgf(int id, ...);

// One installer with a job started: path typed, drive picked, Start pressed.
struct install_run {
    installer_session session{};
    HWND progress = nullptr;
    install_run() = default;
    install_run(const install_run &) = delete;
    ~install_run();
    std::string log() const { return log_text(progress); }
    int bar() const { return bar_position(progress); }
    // Waits for message 37 or 38; false after the timeout.
    bool finish(int timeout_ms = 120000) const { return wait_for_job_end(progress, timeout_ms); }
    // Waits until the log ends with the given text.
    bool wait_log_ends_with(const std::string &tail, int timeout_ms = 20000) const;
    std::string button_text() const;
};

// Starts exe, types the image path, picks the drive, ticks Format when asked and presses
// Start. The run's progress is null when any of that failed (the test then fails itself).
void start_install(install_run &run, const char *exe, const std::string &image, char drive,
                   const std::vector<std::string> &environment = {}, bool format = false);

// Files and folders on the Windows side.
std::string read_file(const std::string &path);     // "" when missing
bool file_exists(const std::string &path);
void write_file(const std::string &path, const std::string &bytes);
void remove_tree(const std::string &path);           // a folder and all below it
long long file_size(const std::string &path);        // -1 when missing

// Runs a console program with its standard output captured; returns its exit code.
DWORD run_capture(const std::string &command_line, std::string *output);


// Number of running processes whose executable has this name (e.g. "7z.exe").
int processes_named(const char *exe_name);

// A listing as current 7-Zip prints it, from file lines "size name" and a total.
std::string fake_listing(const std::vector<std::pair<long long, std::string>> &files, long long total,
                         bool with_totals = true);
