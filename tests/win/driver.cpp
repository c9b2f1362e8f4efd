#include "driver.h"

#include <commctrl.h>
#include <mbstring.h>
#include <stdarg.h>
#include <stdio.h>

#include <fstream>
#include <sstream>

#include "resources/resource_ids.h"
#include "tools/child_runner.h"

std::string msg(int id, ...)
{
    static HMODULE table = LoadLibraryExA(INSTALLER_EXE, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    char format[1024] = "", text[4096];
    va_list args;
    LoadStringA(table, id, format, sizeof format);
    va_start(args, id);
    vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return text;
}

std::string system_text(DWORD code)
{
    char text[1024] = "";
    return FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, LANG_USER_DEFAULT,
                          text, 1024, nullptr), text;
}

std::string read_file(const std::string &path)
{
    std::ostringstream bytes;
    bytes << std::ifstream(path, std::ios::binary).rdbuf();
    return bytes.str();
}

void write_file(const std::string &path, const std::string &bytes)
{
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    std::ofstream(path, std::ios::binary) << bytes;
}

bool exists(const std::string &path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void remove_folder(const std::string &path)
{
    if (GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT) return;  // never into a link's target
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((path + "\\*").c_str(), &found);
    for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileA(search, &found))
        DeleteFileA((path + "\\" + found.cFileName).c_str());
    FindClose(search), RemoveDirectoryA(path.c_str());
}

bool ends_with(const std::string &text, const std::string &tail)
{
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// Never closed: a stand-in that opens the event only later must still find it set.
void open_gate(const char *name) { SetEvent(CreateEventA(nullptr, TRUE, FALSE, name)); }

bool wait_until(const std::function<bool()> &condition, int timeout_ms)
{
    for (DWORD start = GetTickCount(); !condition(); Sleep(20))
        if ((int)(GetTickCount() - start) > timeout_ms) return false;
    return true;
}

PROCESS_INFORMATION start_program(const std::string &line, const std::vector<std::string> &env, const char *folder)
{
    for (const std::string &e : env)
        SetEnvironmentVariableA(e.substr(0, e.find('=')).c_str(), e.substr(e.find('=') + 1).c_str());
    STARTUPINFOA startup = {sizeof startup};
    PROCESS_INFORMATION process = {};
    const unsigned char *text = (const unsigned char *)line.c_str();
    std::string command = line, own = line.substr(1, _mbsrchr(text, '\\') - text - 1);
    if (!folder && line[0] == '"') folder = own.c_str();
    CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, folder, &startup, &process);
    for (const std::string &e : env) SetEnvironmentVariableA(e.substr(0, e.find('=')).c_str(), nullptr);
    return process;
}

long wait_exit(const PROCESS_INFORMATION &process)
{
    DWORD code = (DWORD)-1;
    return WaitForSingleObject(process.hProcess, 20000) == WAIT_OBJECT_0 && GetExitCodeProcess(process.hProcess, &code)
               ? code : -1;
}

std::string output_of(HANDLE read_end)
{
    char *text = read_all(read_end);
    std::string result = text;
    return HeapFree(GetProcessHeap(), 0, text), result;
}

std::string text_of(HWND window)
{
    std::string text(SendMessageA(window, WM_GETTEXTLENGTH, 0, 0) + 1, '\0');
    return text.resize(SendMessageA(window, WM_GETTEXT, text.size(), (LPARAM)&text[0])), text;
}
std::string item_text(HWND dialog, int id) { return text_of(GetDlgItem(dialog, id)); }
void set_item_text(HWND dialog, int id, const std::string &text) { SetDlgItemTextA(dialog, id, text.c_str()); }
void click(HWND dialog, int id) { PostMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }
bool is_checked(HWND dialog, int id) { return SendDlgItemMessageA(dialog, id, BM_GETCHECK, 0, 0) == BST_CHECKED; }

HWND focused(HWND dialog)
{
    GUITHREADINFO info = {sizeof info};
    return GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info) ? info.hwndFocus : nullptr;
}

void press_key(HWND window, UINT key)
{
    PostMessageA(window, WM_KEYDOWN, key, 1);
    PostMessageA(window, WM_KEYUP, key, 0xC0000001);
}

struct dialog_search { DWORD pid; HWND owner; bool box; HWND found; };

static BOOL CALLBACK match_dialog(HWND window, LPARAM parameter)
{
    dialog_search *s = (dialog_search *)parameter;
    DWORD process = 0;
    char name[16] = "";
    GetWindowThreadProcessId(window, &process);
    bool box = GetDlgItem(window, 0xFFFF) != nullptr, owned = !s->owner || GetWindow(window, GW_OWNER) == s->owner;
    if (process == s->pid && IsWindowVisible(window) && GetClassNameA(window, name, 16) && !strcmp(name, "#32770") &&
        owned && box == s->box)
        s->found = window;
    return s->found == nullptr;
}

HWND find_dialog(DWORD pid, HWND owner, bool box)
{
    dialog_search s = {pid, owner, box, nullptr};
    return wait_until([&] { return EnumWindows(match_dialog, (LPARAM)&s), s.found != nullptr; }), s.found;
}

std::string take_box(DWORD pid, HWND owner, std::string *caption)
{
    HWND box = find_dialog(pid, owner, true);
    if (caption) *caption = text_of(box);
    std::string text = box ? item_text(box, 0xFFFF) : "<no box>";
    click(box, IDOK);
    return wait_until([&] { return !IsWindow(box); }), text;
}

installer::installer(const char *exe, const std::vector<std::string> &env, const char *folder)
    : process(start_program(std::string("\"") + exe + "\"", env, folder)), main(find_dialog(pid(), nullptr, false)) {}

installer::~installer()
{
    TerminateProcess(process.hProcess, 99), WaitForSingleObject(process.hProcess, 5000);
    CloseHandle(process.hProcess), CloseHandle(process.hThread);
}

std::vector<std::string> installer::drives() const
{
    std::vector<std::string> entries;
    for (int i = 0; i < SendDlgItemMessageA(main, IDC_DRIVE_LIST, CB_GETCOUNT, 0, 0); i++) {
        wchar_t wide[256] = {};  // Wine hands CB_GETLBTEXT across processes as UTF-16 only
        char text[512] = "";
        SendDlgItemMessageW(main, IDC_DRIVE_LIST, CB_GETLBTEXT, i, (LPARAM)wide);
        WideCharToMultiByte(CP_ACP, 0, wide, -1, text, sizeof text, nullptr, nullptr);
        entries.push_back(text);
    }
    return entries;
}

void installer::pick(char letter) const
{
    char prefix[] = {letter, ':', '\0'};
    if (letter) SendDlgItemMessageA(main, IDC_DRIVE_LIST, CB_SELECTSTRING, -1, (LPARAM)prefix);
    SendMessageA(main, WM_COMMAND, MAKEWPARAM(IDC_DRIVE_LIST, letter ? CBN_SELCHANGE : CBN_DROPDOWN), 0);
}

bool installer::start(const std::string &image, char drive, bool format)
{
    set_item_text(main, IDC_IMAGE_PATH, image);
    pick(drive);
    if (format != is_checked(main, IDC_FORMAT)) SendDlgItemMessageA(main, IDC_FORMAT, BM_CLICK, 0, 0);
    click(main, IDC_START);
    return (progress = find_dialog(pid(), main, false)) != nullptr;
}

int installer::bar() const { return (int)SendDlgItemMessageA(progress, IDC_PROGRESS_BAR, PBM_GETPOS, 0, 0); }
bool installer::log_ends_with(const std::string &tail) const
{
    return wait_until([&] { return ends_with(log(), tail); });
}
bool installer::finish() const
{
    auto ended = [&] { return ends_with(log(), msg(37)) || ends_with(log(), msg(38)); };
    return wait_until([&] { return ended() || WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0; }, 120000);
}

