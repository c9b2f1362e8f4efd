#pragma once
// Drives the installer from another process through window messages, in the Wine test bed of
// scripts/wine/wine-testbed.sh and tests/win/fixtures.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#define INSTALLER_DIR "C:\\zerka-installer"  // product, real 7z, stand-ins for chkdsk and syslinux
#define INSTALLER_EXE INSTALLER_DIR "\\zerka-installer.exe"
#define TESTBED_EXE INSTALLER_DIR "\\zerka-installer-testbed.exe"  // with tests/win/fake_system_calls.cpp
#define FAKE7Z_EXE "C:\\zerka-fake7z\\zerka-installer-testbed.exe"  // and the stand-in as 7z
#define IMAGES "C:\\images\\"

std::string msg(int id, ...);  // message id of the installer's table, printf-formatted
std::string system_text(DWORD code);
std::string read_file(const std::string &path);  // "" when missing
void write_file(const std::string &path, const std::string &bytes);
bool exists(const std::string &path);
void remove_folder(const std::string &path);  // and the files in it
bool ends_with(const std::string &text, const std::string &tail);
void open_gate(const char *name);  // lets a stand-in waiting on it (..._GATE=name) go on
bool wait_until(const std::function<bool()> &condition, int timeout_ms = 20000);
// Started in folder; when that is null, a quoted program starts in its own folder.
PROCESS_INFORMATION start_program(const std::string &line, const std::vector<std::string> &env = {},
                                  const char *folder = nullptr);
long wait_exit(const PROCESS_INFORMATION &process);  // -1 when it does not end
std::string output_of(HANDLE read_end);  // a child's output through the installer's read_all, freed
std::string text_of(HWND window);
std::string item_text(HWND dialog, int id);
void set_item_text(HWND dialog, int id, const std::string &text);
void click(HWND dialog, int id);
bool is_checked(HWND dialog, int id);
HWND focused(HWND dialog);
void press_key(HWND window, UINT key);
HWND find_dialog(DWORD pid, HWND owner, bool box);  // visible, of that owner (any when null); boxes hold text 0xFFFF
std::string take_box(DWORD pid, HWND owner, std::string *caption = nullptr);  // its text, then OK

struct installer {
    PROCESS_INFORMATION process{};
    HWND main = nullptr, progress = nullptr;
    explicit installer(const char *exe = INSTALLER_EXE, const std::vector<std::string> &env = {},
                       const char *folder = nullptr);
    ~installer();
    DWORD pid() const { return process.dwProcessId; }
    std::vector<std::string> drives() const;
    void pick(char letter) const;  // CBN_DROPDOWN when letter is 0
    bool start(const std::string &image, char drive, bool format = false);  // up to the progress dialog
    std::string log() const { return item_text(progress, 1001); }
    int bar() const;
    bool log_ends_with(const std::string &tail) const;
    bool finish() const;  // the log ends with message 37 or 38, or the program has ended
};
