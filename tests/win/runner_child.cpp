// A console program that the runner tests start as a child. Its arguments are steps done
// in order:
//   out=N[,SEED] / err=N[,SEED]   write N pattern bytes to standard output / error
//   say-out=TEXT / say-err=TEXT   write TEXT
//   chunk=N                       size of each WriteFile in the following writes (0: one write)
//   copy-in                       copy standard input, to its end, to standard output
//   close-out / close-err         close that standard handle
//   sleep=MS
//   wait-event=NAME / set-event=NAME   named events, for handshakes with the test
//   write-handle=VALUE,TEXT       write TEXT to a handle value given by the test
//   touch=PATH                    create an empty file
//   startup-code                  exit code becomes (dwFlags << 16) | wShowWindow of its
//                                 start-up information
//   spawn ARGS...                 start this program again with ARGS (the rest of the line),
//                                 inheriting its handles, and go on without waiting
//   exit=CODE                     exit code (unsigned, decimal or 0x hex); default 0
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "runner_pattern.h"

static DWORD chunk = 0;

static void write_all(HANDLE handle, const char *data, size_t size)
{
    while (size > 0) {
        DWORD part = (DWORD)size;
        if (chunk != 0 && part > chunk)
            part = chunk;
        DWORD written = 0;
        if (!WriteFile(handle, data, part, &written, NULL) || written == 0)
            ExitProcess(250);
        data += written;
        size -= written;
    }
}

static void write_pattern(HANDLE handle, const char *size_text)
{
    char *rest = NULL;
    size_t count = strtoul(size_text, &rest, 10);
    uint32_t seed = (*rest == ',') ? (uint32_t)strtoul(rest + 1, NULL, 10) : 0;
    static char block[1 << 16];
    size_t done = 0;
    while (done < count) {
        size_t part = count - done < sizeof block ? count - done : sizeof block;
        runner_pattern_fill(seed, done, block, part);
        write_all(handle, block, part);
        done += part;
    }
}

static bool starts(const char *arg, const char *prefix, const char **value)
{
    size_t n = strlen(prefix);
    if (strncmp(arg, prefix, n) != 0)
        return false;
    *value = arg + n;
    return true;
}

static HANDLE open_event(const char *name)
{
    HANDLE event = OpenEventA(EVENT_MODIFY_STATE | SYNCHRONIZE, FALSE, name);
    if (event == NULL)
        ExitProcess(251);
    return event;
}

int main(int argc, char **argv)
{
    DWORD exit_code = 0;
    for (int i = 1; i < argc; ++i) {
        const char *arg = argv[i];
        const char *value;
        if (starts(arg, "out=", &value)) {
            write_pattern(GetStdHandle(STD_OUTPUT_HANDLE), value);
        } else if (starts(arg, "err=", &value)) {
            write_pattern(GetStdHandle(STD_ERROR_HANDLE), value);
        } else if (starts(arg, "say-out=", &value)) {
            write_all(GetStdHandle(STD_OUTPUT_HANDLE), value, strlen(value));
        } else if (starts(arg, "say-err=", &value)) {
            write_all(GetStdHandle(STD_ERROR_HANDLE), value, strlen(value));
        } else if (starts(arg, "chunk=", &value)) {
            chunk = strtoul(value, NULL, 10);
        } else if (strcmp(arg, "copy-in") == 0) {
            char buffer[4096];
            DWORD got = 0;
            while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), buffer, sizeof buffer, &got, NULL) && got > 0)
                write_all(GetStdHandle(STD_OUTPUT_HANDLE), buffer, got);
        } else if (strcmp(arg, "close-out") == 0) {
            CloseHandle(GetStdHandle(STD_OUTPUT_HANDLE));
            SetStdHandle(STD_OUTPUT_HANDLE, NULL);
        } else if (strcmp(arg, "close-err") == 0) {
            CloseHandle(GetStdHandle(STD_ERROR_HANDLE));
            SetStdHandle(STD_ERROR_HANDLE, NULL);
        } else if (starts(arg, "sleep=", &value)) {
            Sleep(strtoul(value, NULL, 10));
        } else if (starts(arg, "wait-event=", &value)) {
            HANDLE event = open_event(value);
            WaitForSingleObject(event, INFINITE);
            CloseHandle(event);
        } else if (starts(arg, "set-event=", &value)) {
            HANDLE event = open_event(value);
            SetEvent(event);
            CloseHandle(event);
        } else if (starts(arg, "write-handle=", &value)) {
            char *rest = NULL;
            HANDLE target = (HANDLE)(ULONG_PTR)strtoul(value, &rest, 0);
            if (*rest == ',') {
                DWORD written = 0;
                WriteFile(target, rest + 1, (DWORD)strlen(rest + 1), &written, NULL);
            }
        } else if (starts(arg, "touch=", &value)) {
            HANDLE file = CreateFileA(value, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
            if (file == INVALID_HANDLE_VALUE)
                ExitProcess(252);
            CloseHandle(file);
        } else if (strcmp(arg, "startup-code") == 0) {
            STARTUPINFOA startup;
            GetStartupInfoA(&startup);
            exit_code = (startup.dwFlags << 16) | startup.wShowWindow;
        } else if (strcmp(arg, "spawn") == 0) {
            char self[MAX_PATH];
            GetModuleFileNameA(NULL, self, sizeof self);
            std::string line = std::string("\"") + self + "\"";
            for (++i; i < argc; ++i)
                line += std::string(" ") + argv[i];
            STARTUPINFOA startup;
            memset(&startup, 0, sizeof startup);
            startup.cb = sizeof startup;
            startup.dwFlags = STARTF_USESTDHANDLES;
            startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
            startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
            startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
            PROCESS_INFORMATION process;
            if (!CreateProcessA(NULL, &line[0], NULL, NULL, TRUE, 0, NULL, NULL, &startup, &process))
                ExitProcess(253);
            CloseHandle(process.hThread);
            CloseHandle(process.hProcess);
        } else if (starts(arg, "exit=", &value)) {
            exit_code = strtoul(value, NULL, 0);
        } else {
            fprintf(stderr, "runner_child: unknown step %s\n", arg);
            return 254;
        }
    }
    ExitProcess(exit_code);
}
