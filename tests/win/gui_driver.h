#pragma once
// Drives the installer's windows from another process through ordinary window messages.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// UTF-8 text (as written in the test sources) in the ANSI code page 936 the installer uses.
std::string gbk(const char *utf8);
std::string utf8_of_gbk(const std::string &gbk_text);  // for readable failure messages

// The system's own text for an error code in this locale, line break included; "" if none.
std::string system_text(DWORD code);

// Starts a program with extra environment entries ("NAME=value"; "NAME=" removes one).
PROCESS_INFORMATION start_program(const std::string &command_line,
                                  const std::vector<std::string> &environment = {},
                                  const char *directory = nullptr);
// Waits for the process to end and returns its exit code; -1 after the timeout.
long wait_exit(PROCESS_INFORMATION &process, int timeout_ms = 10000);
void kill_program(PROCESS_INFORMATION &process);

bool wait_until(const std::function<bool()> &condition, int timeout_ms = 10000, int step_ms = 20);

// A visible top-level dialog ("#32770") of the process; owner null means any owner.
HWND wait_for_dialog(DWORD process_id, HWND owner = nullptr, int timeout_ms = 10000);
// The message box (a dialog with static control 0xFFFF) owned by owner.
HWND wait_for_message_box(DWORD process_id, HWND owner, int timeout_ms = 10000);
std::string message_box_text(HWND box);
void dismiss_message_box(HWND box);  // presses OK and waits until it is gone

std::string window_text(HWND window);
std::string item_text(HWND dialog, int id);
void set_item_text(HWND dialog, int id, const std::string &text);
void click(HWND dialog, int id);           // posts BM_CLICK
bool is_checked(HWND dialog, int id);
bool is_enabled(HWND dialog, int id);
void send_command(HWND dialog, int id, int notification);  // WM_COMMAND as the control would

std::vector<std::string> combo_items(HWND dialog, int id);
int combo_selection(HWND dialog, int id);
void combo_pick(HWND dialog, int id, int index);  // select + CBN_SELCHANGE
int combo_find(HWND dialog, int id, char letter); // index of the entry "X: ...", -1 if none
void combo_drop(HWND dialog, int id);             // CBN_DROPDOWN, as opening the list does

HWND focused_control(HWND dialog);            // keyboard focus of the dialog's thread
void press_key(HWND dialog, UINT virtual_key);  // key down/up at the focused control

// The installer started in its folder with its main dialog up.
struct installer_session {
    PROCESS_INFORMATION process;
    HWND main;
};
installer_session start_installer(const char *exe_path, const std::vector<std::string> &environment = {});
// Text of the progress dialog's log, its button and bar position.
HWND wait_for_progress_dialog(const installer_session &session, int timeout_ms = 10000);
std::string log_text(HWND progress);
int bar_position(HWND progress);
// Waits until the log ends with message 37 or 38 (returns true) or the timeout passes.
bool wait_for_job_end(HWND progress, int timeout_ms = 120000);
