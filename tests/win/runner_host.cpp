// A windowed program without a console, like the installer, that runs one child through the
// runner and writes what came back into a result file ("exit=CODE\n" then the text).
//   runner_host capture FLAG RESULT PROGRAM ARGS...  run_captured + read_all
//   runner_host wait RESULT PROGRAM ARGS...          run_and_wait
//   runner_host readfail PATH                        read_all on a handle that cannot read
//   runner_host readfail-drain PATH                  the same through the drain thread
//   runner_host nomem PROGRAM ARGS...                read_all with little address space left;
//                                                    the child waits for zerka-runner-room-ready
// (Wine cannot end a thread with its address space used up, so nomem has no drain variant.)
// PROGRAM "child" stands for runner_child.exe beside this program.
#include "tools/child_runner.h"

#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

static std::string command_from(int first, int argc, char **argv)
{
    std::string line;
    for (int i = first; i < argc; ++i) {
        std::string arg = argv[i];
        if (i == first && arg == "child") {
            char self[MAX_PATH];
            DWORD n = GetModuleFileNameA(NULL, self, sizeof self);
            std::string path(self, n);
            arg = "\"" + path.substr(0, path.find_last_of('\\') + 1) + "runner_child.exe\"";
        }
        if (!line.empty())
            line += ' ';
        line += arg;
    }
    return line;
}

static void write_result(const char *path, DWORD exit_code, const char *text)
{
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        ExitProcess(201);
    char head[32];
    int n = snprintf(head, sizeof head, "exit=%lu\n", (unsigned long)exit_code);
    DWORD written;
    WriteFile(file, head, (DWORD)n, &written, NULL);
    if (text != NULL)
        WriteFile(file, text, (DWORD)strlen(text), &written, NULL);
    CloseHandle(file);
}

static DWORD exit_code_of(PROCESS_INFORMATION &process)
{
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    if (!GetExitCodeProcess(process.hProcess, &code))
        ExitProcess(202);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

// Leaves the process 16 MiB of address space in one piece, so an output block can grow to
// 8 MiB and no further (growing needs the old block and the new one at the same time).
static void *reserved[65536];
static int reserved_count;

static void leave_16_mib(void)
{
    void *room = VirtualAlloc(NULL, 16 << 20, MEM_RESERVE, PAGE_NOACCESS);
    for (SIZE_T size = (SIZE_T)1 << 30; size >= 65536; size /= 2) {
        void *taken;
        while (reserved_count < 65536 && (taken = VirtualAlloc(NULL, size, MEM_RESERVE, PAGE_NOACCESS)) != NULL)
            reserved[reserved_count++] = taken;
    }
    VirtualFree(room, 0, MEM_RELEASE);
}

// Wine needs room of its own to end the process quietly.
static void give_back_room(void)
{
    while (reserved_count > 0)
        VirtualFree(reserved[--reserved_count], 0, MEM_RELEASE);
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    int argc = __argc;
    char **argv = __argv;
    if (argc < 3)
        return 200;
    std::string mode = argv[1];
    if (mode == "capture" && argc >= 5) {
        int flag = atoi(argv[2]);
        std::string line = command_from(4, argc, argv);
        PROCESS_INFORMATION process;
        HANDLE read_end = run_captured(&line[0], &process, flag);
        char *text = read_all(read_end);
        write_result(argv[3], exit_code_of(process), text);
        HeapFree(GetProcessHeap(), 0, text);
        return 0;
    }
    if (mode == "wait" && argc >= 4) {
        std::string line = command_from(3, argc, argv);
        write_result(argv[2], run_and_wait(&line[0]), NULL);
        return 0;
    }
    if (mode == "readfail" || mode == "readfail-drain") {
        HANDLE file = CreateFileA(argv[2], GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
        if (file == INVALID_HANDLE_VALUE)
            return 203;
        if (mode == "readfail")
            read_all(file);
        else
            finish_output_drain(start_output_drain(file));
        return 0;
    }
    if (mode == "nomem") {
        // The child waits for this before it writes, so every block is taken from the room left.
        HANDLE room_ready = CreateEventA(NULL, TRUE, FALSE, "zerka-runner-room-ready");
        std::string line = command_from(2, argc, argv);
        PROCESS_INFORMATION process;
        HANDLE read_end = run_captured(&line[0], &process, 0);
        leave_16_mib();
        SetEvent(room_ready);
        char *text = read_all(read_end);
        give_back_room();
        HeapFree(GetProcessHeap(), 0, text);
        exit_code_of(process);
        return 0;
    }
    return 200;
}
