#include "install_support.h"

#include <gtest/gtest.h>
#include <tlhelp32.h>

#include <stdarg.h>
#include <stdio.h>

#include <fstream>
#include <sstream>

#include "expected_messages.h"
#include "resources/resource_ids.h"

std::string msg(int id)
{
    return gbk(expected_messages[id]);
}

std::string msgf(int id, ...)
{
    std::string format = msg(id);
    char text[2048];
    va_list args;
    va_start(args, id);
    vsnprintf(text, sizeof text, format.c_str(), args);
    va_end(args);
    return text;
}

install_run::~install_run()
{
    kill_program(session.process);
}

bool install_run::wait_log_ends_with(const std::string &tail, int timeout_ms) const
{
    return wait_until([&] {
        std::string text = log();
        return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
    }, timeout_ms, 20);
}

std::string install_run::button_text() const
{
    return item_text(progress, IDC_STOP_CLOSE);
}

void start_install(install_run &run, const char *exe, const std::string &image, char drive,
                   const std::vector<std::string> &environment, bool format)
{
    run.session = start_installer(exe, environment);
    HWND main = run.session.main;
    ASSERT_NE(main, nullptr) << "no main dialog from " << exe;
    set_item_text(main, IDC_IMAGE_PATH, image);
    int index = combo_find(main, IDC_DRIVE_LIST, drive);
    ASSERT_GE(index, 0) << "drive " << drive << " not offered";
    combo_pick(main, IDC_DRIVE_LIST, index);
    if (format != is_checked(main, IDC_FORMAT)) {
        click(main, IDC_FORMAT);
        ASSERT_TRUE(wait_until([&] { return is_checked(main, IDC_FORMAT) == format; }, 5000));
    }
    click(main, IDC_START);
    run.progress = wait_for_progress_dialog(run.session, 15000);
    ASSERT_NE(run.progress, nullptr) << "no progress dialog";
}

std::string read_file(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

bool file_exists(const std::string &path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void write_file(const std::string &path, const std::string &bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

void remove_tree(const std::string &path)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((path + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::string name = found.cFileName;
            if (name == "." || name == "..") continue;
            std::string child = path + "\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                remove_tree(child);
            else {
                SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(child.c_str());
            }
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(path.c_str());
}

long long file_size(const std::string &path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return -1;
    return ((long long)data.nFileSizeHigh << 32) | data.nFileSizeLow;
}

DWORD run_capture(const std::string &command_line, std::string *output)
{
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE read_end, write_end;
    if (!CreatePipe(&read_end, &write_end, &inherit, 0)) return (DWORD)-1;
    SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    startup.hStdOutput = write_end;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process;
    std::vector<char> line(command_line.begin(), command_line.end());
    line.push_back('\0');
    BOOL started = CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process);
    CloseHandle(write_end);
    if (!started) {
        CloseHandle(read_end);
        return (DWORD)-1;
    }
    output->clear();
    char chunk[4096];
    DWORD got;
    while (ReadFile(read_end, chunk, sizeof chunk, &got, nullptr) && got > 0) output->append(chunk, got);
    CloseHandle(read_end);
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}


int processes_named(const char *exe_name)
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return -1;
    PROCESSENTRY32 entry;
    entry.dwSize = sizeof entry;
    int count = 0;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
        if (lstrcmpiA(entry.szExeFile, exe_name) == 0) count++;
    CloseHandle(snapshot);
    return count;
}

std::string fake_listing(const std::vector<std::pair<long long, std::string>> &files, long long total,
                         bool with_totals)
{
    const char *separator = "------------------- ----- ------------ ------------  ------------------------\r\n";
    std::string text =
        "\r\n7-Zip (z) 26.02 (x86) : Copyright (c) 1999-2026 Igor Pavlov : 2026-06-25\r\n\r\n"
        "Listing archive: C:\\images\\small.iso\r\n\r\n--\r\nPath = C:\\images\\small.iso\r\nType = Iso\r\n\r\n"
        "   Date      Time    Attr         Size   Compressed  Name\r\n";
    text += separator;
    char line[512];
    for (const auto &file : files) {
        snprintf(line, sizeof line, "2026-12-06 20:13:54 ..... %12lld %12lld  ", file.first, file.first);
        text += line + file.second + "\r\n";
    }
    text += separator;
    if (with_totals) {
        snprintf(line, sizeof line, "2026-12-06 20:13:54       %12lld %12lld  %u files\r\n", total, total,
                 (unsigned)files.size());
        text += line;
    }
    return text;
}
