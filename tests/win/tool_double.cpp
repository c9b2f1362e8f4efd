// Stand-in for the console tools (chkdsk, syslinux, a 7z that lists or extracts what no real
// image holds) and the runner's test child. Copied under each tool's name, it does what
// ZERKA_DOUBLE_<NAME>_<ARG>_<FIELD>, else ZERKA_DOUBLE_<NAME>_<FIELD> says: NAME is its own base
// name, ARG its first argument (7Z_L lists, 7Z_E extracts), in capitals. Fields, in this order:
//   RECORD=path  append the command line        PROBE=h  exit 1 when handle h is valid here
//   STDERR, STDOUT=text; FLOOD=n bytes to standard output
//   WRITE=n      a file of n bytes named like the last argument, without its folder, in -o<folder>, and
//                its SHA-256 on standard output as 7z -scrcSHA256 prints it; NO_DIGEST=1 leaves that out
//   SPAWN=args   start this program again with those arguments, sharing its handles
//   READY=name   set that event                 GATE=name  wait for that event    EXIT=n  exit code
#include <windows.h>

#include <stdlib.h>

#include <fstream>
#include <string>

#include "digest_line.h"

static std::string keys[2];

static bool setting(const char *field, std::string *value)
{
    static char text[65536];
    for (const std::string &key : keys)
        if (DWORD n = GetEnvironmentVariableA(("ZERKA_DOUBLE_" + key + "_" + field).c_str(), text, sizeof text))
            return value->assign(text, n), true;
    return false;
}

static void write_all(HANDLE to, const std::string &bytes)
{
    DWORD written;
    for (size_t at = 0; at < bytes.size() && WriteFile(to, &bytes[at], (DWORD)(bytes.size() - at), &written, nullptr);)
        at += written;
}

int main(int argc, char **argv)
{
    char self[MAX_PATH];
    std::string name(self, GetModuleFileNameA(nullptr, self, sizeof self)), value;
    name = name.substr(name.rfind('\\') + 1, name.rfind('.') - name.rfind('\\') - 1);
    keys[1] = CharUpperA(&name[0]);
    keys[0] = argc > 1 ? keys[1] + "_" + CharUpperA(argv[1]) : keys[1];
    if (setting("RECORD", &value))
        std::ofstream(value, std::ios::app | std::ios::binary) << GetCommandLineA() << "\r\n";
    DWORD flags;
    if (setting("PROBE", &value) &&
        GetHandleInformation((HANDLE)(ULONG_PTR)strtoull(value.c_str(), nullptr, 0), &flags)) return 1;
    if (setting("STDERR", &value)) write_all(GetStdHandle(STD_ERROR_HANDLE), value);
    if (setting("STDOUT", &value)) write_all(GetStdHandle(STD_OUTPUT_HANDLE), value);
    if (setting("FLOOD", &value))
        for (long long left = atoll(value.c_str()); left > 0; left -= 65536)
            write_all(GetStdHandle(STD_OUTPUT_HANDLE), std::string(left < 65536 ? left : 65536, 'f'));
    if (setting("WRITE", &value)) {
        std::string folder, target = argv[argc - 1];
        for (int i = 1; i < argc; i++) folder = strncmp(argv[i], "-o", 2) ? folder : argv[i] + 2;
        CreateDirectoryA(folder.c_str(), nullptr);
        HANDLE file = CreateFileA((folder + target.substr(target.rfind('\\') + 1)).c_str(), GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS, 0, nullptr);
        LARGE_INTEGER size = {.QuadPart = atoll(value.c_str())};
        SetFilePointerEx(file, size, nullptr, FILE_BEGIN);  // sparse on the host: any size costs nothing
        SetEndOfFile(file), CloseHandle(file);
        if (!setting("NO_DIGEST", &target)) write_all(GetStdHandle(STD_OUTPUT_HANDLE), digest_line(size.QuadPart));
    }
    if (setting("SPAWN", &value)) {
        STARTUPINFOA startup = {sizeof startup};
        PROCESS_INFORMATION child;
        std::string line = std::string("\"") + self + "\" " + value;
        CreateProcessA(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &child);
    }
    if (setting("READY", &value)) SetEvent(CreateEventA(nullptr, TRUE, FALSE, value.c_str()));
    if (setting("GATE", &value)) WaitForSingleObject(CreateEventA(nullptr, TRUE, FALSE, value.c_str()), INFINITE);
    return setting("EXIT", &value) ? atoi(value.c_str()) : 0;
}
