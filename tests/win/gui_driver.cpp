#include "gui_driver.h"

#include "resources/resource_ids.h"

#include <commctrl.h>
#include <string.h>

#include <map>

std::string gbk(const char *utf8)
{
    int wide_length = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
    std::wstring wide(wide_length, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8, -1, &wide[0], wide_length);
    int length = WideCharToMultiByte(936, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string text(length, '\0');
    WideCharToMultiByte(936, 0, wide.c_str(), -1, &text[0], length, nullptr, nullptr);
    text.resize(length - 1);
    return text;
}

std::string utf8_of_gbk(const std::string &gbk_text)
{
    int wide_length = MultiByteToWideChar(936, 0, gbk_text.c_str(), -1, nullptr, 0);
    std::wstring wide(wide_length, L'\0');
    MultiByteToWideChar(936, 0, gbk_text.c_str(), -1, &wide[0], wide_length);
    int length = WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string text(length, '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, &text[0], length, nullptr, nullptr);
    text.resize(length - 1);
    return text;
}

std::string system_text(DWORD code)
{
    char *text = nullptr;
    DWORD length = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS |
                                      FORMAT_MESSAGE_FROM_SYSTEM,
                                  nullptr, code, LANG_USER_DEFAULT, (char *)&text, 0, nullptr);
    std::string result = length != 0 ? std::string(text, length) : std::string();
    if (text != nullptr)
        LocalFree(text);
    return result;
}

// The driver's environment with the given entries set or removed, as a CreateProcess block.
static std::string environment_block(const std::vector<std::string> &changes)
{
    std::map<std::string, std::string> entries;
    char *block = GetEnvironmentStringsA();
    for (const char *entry = block; *entry != '\0'; entry += strlen(entry) + 1) {
        const char *equals = strchr(entry + 1, '=');  // names may begin with '=' (drive cwds)
        if (equals != nullptr)
            entries[std::string(entry, equals - entry)] = equals + 1;
    }
    FreeEnvironmentStringsA(block);
    for (const std::string &change : changes) {
        size_t equals = change.find('=');
        std::string name = change.substr(0, equals), value = change.substr(equals + 1);
        if (value.empty())
            entries.erase(name);
        else
            entries[name] = value;
    }
    std::string result;
    for (const auto &entry : entries)
        result += entry.first + "=" + entry.second + '\0';
    result += '\0';
    return result;
}

PROCESS_INFORMATION start_program(const std::string &command_line, const std::vector<std::string> &environment,
                                  const char *directory)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    std::vector<char> line(command_line.begin(), command_line.end());
    line.push_back('\0');
    std::string block = environment_block(environment);
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, &block[0], directory, &startup, &process))
        process.hProcess = nullptr;
    return process;
}

long wait_exit(PROCESS_INFORMATION &process, int timeout_ms)
{
    if (process.hProcess == nullptr || WaitForSingleObject(process.hProcess, timeout_ms) != WAIT_OBJECT_0)
        return -1;
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    return (long)code;
}

void kill_program(PROCESS_INFORMATION &process)
{
    if (process.hProcess == nullptr)
        return;
    TerminateProcess(process.hProcess, 99);
    WaitForSingleObject(process.hProcess, 5000);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    process.hProcess = process.hThread = nullptr;
}

bool wait_until(const std::function<bool()> &condition, int timeout_ms, int step_ms)
{
    DWORD start = GetTickCount();
    for (;;) {
        if (condition())
            return true;
        if ((int)(GetTickCount() - start) >= timeout_ms)
            return false;
        Sleep(step_ms);
    }
}

struct dialog_search {
    DWORD process_id;
    HWND owner;
    bool want_message_box;
    HWND found;
};

static bool is_message_box(HWND window)
{
    return GetDlgItem(window, 0xFFFF) != nullptr;
}

static BOOL CALLBACK match_dialog(HWND window, LPARAM parameter)
{
    dialog_search *search = (dialog_search *)parameter;
    DWORD owner_process = 0;
    GetWindowThreadProcessId(window, &owner_process);
    char class_name[32];
    if (owner_process != search->process_id || !IsWindowVisible(window) ||
        !GetClassNameA(window, class_name, sizeof class_name) || strcmp(class_name, "#32770") != 0)
        return TRUE;
    if (search->owner != nullptr && GetWindow(window, GW_OWNER) != search->owner)
        return TRUE;
    if (is_message_box(window) != search->want_message_box)
        return TRUE;
    search->found = window;
    return FALSE;
}

static HWND find_dialog(DWORD process_id, HWND owner, bool message_box, int timeout_ms)
{
    dialog_search search = {process_id, owner, message_box, nullptr};
    wait_until([&] {
        EnumWindows(match_dialog, (LPARAM)&search);
        return search.found != nullptr;
    }, timeout_ms);
    return search.found;
}

HWND wait_for_dialog(DWORD process_id, HWND owner, int timeout_ms)
{
    return find_dialog(process_id, owner, false, timeout_ms);
}

HWND wait_for_message_box(DWORD process_id, HWND owner, int timeout_ms)
{
    return find_dialog(process_id, owner, true, timeout_ms);
}

std::string message_box_text(HWND box)
{
    return item_text(box, 0xFFFF);
}

void dismiss_message_box(HWND box)
{
    HWND ok = GetDlgItem(box, IDOK);
    if (ok == nullptr)
        ok = GetDlgItem(box, IDCANCEL);
    PostMessageA(ok, BM_CLICK, 0, 0);
    wait_until([&] { return !IsWindow(box); }, 5000);
}

std::string window_text(HWND window)
{
    std::vector<char> text(1 << 16);
    LRESULT length = SendMessageA(window, WM_GETTEXTLENGTH, 0, 0);
    if ((size_t)length + 1 > text.size())
        text.resize(length + 1);
    length = SendMessageA(window, WM_GETTEXT, text.size(), (LPARAM)text.data());
    return std::string(text.data(), length > 0 ? (size_t)length : 0);
}

std::string item_text(HWND dialog, int id)
{
    return window_text(GetDlgItem(dialog, id));
}

void set_item_text(HWND dialog, int id, const std::string &text)
{
    SendMessageA(GetDlgItem(dialog, id), WM_SETTEXT, 0, (LPARAM)text.c_str());
}

void click(HWND dialog, int id)
{
    PostMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

bool is_checked(HWND dialog, int id)
{
    return SendMessageA(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

bool is_enabled(HWND dialog, int id)
{
    return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE;
}

void send_command(HWND dialog, int id, int notification)
{
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, notification), (LPARAM)GetDlgItem(dialog, id));
}

std::vector<std::string> combo_items(HWND dialog, int id)
{
    HWND combo = GetDlgItem(dialog, id);
    std::vector<std::string> items;
    LRESULT count = SendMessageA(combo, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; i++) {
        // Wine hands CB_GETLBTEXT across processes as UTF-16 whatever the caller's
        // character set, so ask for it as such and convert.
        wchar_t wide[1024] = {};
        SendMessageW(combo, CB_GETLBTEXT, i, (LPARAM)wide);
        char text[2048];
        int length = WideCharToMultiByte(CP_ACP, 0, wide, -1, text, sizeof text, nullptr, nullptr);
        items.push_back(std::string(text, length > 0 ? length - 1 : 0));
    }
    return items;
}

int combo_selection(HWND dialog, int id)
{
    return (int)SendMessageA(GetDlgItem(dialog, id), CB_GETCURSEL, 0, 0);
}

void combo_pick(HWND dialog, int id, int index)
{
    SendMessageA(GetDlgItem(dialog, id), CB_SETCURSEL, index, 0);
    send_command(dialog, id, CBN_SELCHANGE);
}

int combo_find(HWND dialog, int id, char letter)
{
    std::vector<std::string> items = combo_items(dialog, id);
    for (size_t i = 0; i < items.size(); i++)
        if (!items[i].empty() && items[i][0] == letter)
            return (int)i;
    return -1;
}

void combo_drop(HWND dialog, int id)
{
    send_command(dialog, id, CBN_DROPDOWN);
}

HWND focused_control(HWND dialog)
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info))
        return nullptr;
    return info.hwndFocus;
}

void press_key(HWND dialog, UINT virtual_key)
{
    HWND target = focused_control(dialog);
    if (target == nullptr)
        target = dialog;
    UINT scan = MapVirtualKeyA(virtual_key, 0);
    PostMessageA(target, WM_KEYDOWN, virtual_key, 1 | (scan << 16));
    PostMessageA(target, WM_KEYUP, virtual_key, 1 | (scan << 16) | (3u << 30));
}

installer_session start_installer(const char *exe_path, const std::vector<std::string> &environment)
{
    installer_session session = {};
    std::string directory(exe_path);
    directory.resize(directory.rfind('\\'));
    session.process = start_program(std::string("\"") + exe_path + "\"", environment, directory.c_str());
    if (session.process.hProcess != nullptr)
        session.main = wait_for_dialog(session.process.dwProcessId, nullptr, 15000);
    return session;
}

HWND wait_for_progress_dialog(const installer_session &session, int timeout_ms)
{
    HWND found = nullptr;
    wait_until([&] {
        found = wait_for_dialog(session.process.dwProcessId, session.main, 0);
        return found != nullptr && GetDlgItem(found, IDC_PROGRESS_BAR) != nullptr;
    }, timeout_ms);
    return found != nullptr && GetDlgItem(found, IDC_PROGRESS_BAR) != nullptr ? found : nullptr;
}

std::string log_text(HWND progress)
{
    return item_text(progress, IDC_LOG);
}

int bar_position(HWND progress)
{
    return (int)SendMessageA(GetDlgItem(progress, IDC_PROGRESS_BAR), PBM_GETPOS, 0, 0);
}

bool wait_for_job_end(HWND progress, int timeout_ms)
{
    const std::string succeeded = gbk("安装成功！"), interrupted = gbk("安装中断！");
    auto ends_with = [](const std::string &text, const std::string &tail) {
        return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
    };
    return wait_until([&] {
        std::string text = log_text(progress);
        return ends_with(text, succeeded) || ends_with(text, interrupted);
    }, timeout_ms, 50);
}
