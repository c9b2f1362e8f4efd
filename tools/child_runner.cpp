#include "tools/child_runner.h"

#include "messages/messages.h"
#include "platform/system_calls.h"

#include <string.h>

enum { chunk_size = 1024, first_capacity = 1024 };

HANDLE run_captured(const char *program, char *command_line, PROCESS_INFORMATION *process_info,
                    int capture_stderr)
{
    STARTUPINFOA startup;
    GetStartupInfoA(&startup);
    startup.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;

    SECURITY_ATTRIBUTES attributes;
    attributes.nLength = sizeof attributes;
    attributes.lpSecurityDescriptor = NULL;
    attributes.bInheritHandle = TRUE;

    HANDLE read_end;
    HANDLE write_end;
    if (!CreatePipe(&read_end, &write_end, &attributes, 0))
        fail_api_call("CreatePipe");
    // A child holding a copy of the read end never sees the pipe break: if we stop reading
    // (or end), it would block for ever on a full pipe, keeping its files open. Should this
    // fail, the child only gets the copy it would have had anyway.
    SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);

    if (capture_stderr == 0)
        startup.hStdOutput = write_end;
    else
        startup.hStdError = write_end;

    if (!CreateProcessA(program, command_line, NULL, NULL, TRUE, 0, NULL, NULL, &startup, process_info))
        fail_api_call("CreateProcess");

    // Our copy would keep the pipe open after the child is gone.
    CloseHandle(write_end);
    return read_end;
}

// Memory for a child's output is the one failure that shows no box: a box needs memory too.
[[noreturn]] static void fail_out_of_memory(void)
{
    ExitProcess(exit_out_of_memory);
}

char *read_all(HANDLE read_end)
{
    HANDLE heap = GetProcessHeap();
    char *text = (char *)HeapAlloc(heap, 0, first_capacity);
    if (text == NULL)
        fail_out_of_memory();
    text[0] = '\0';
    SIZE_T used = 0;
    SIZE_T capacity = first_capacity;

    char chunk[chunk_size];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(read_end, chunk, chunk_size - 1, &got, NULL)) {
            // A broken pipe is the normal end: every copy of the write end is closed.
            if (GetLastError() == ERROR_BROKEN_PIPE)
                break;
            fail_api_call("ReadFile");
        }
        if (got == 0)
            break;
        chunk[got] = '\0';
        if (used + got + 1 > capacity) {
            // One doubling is enough: got < 1024 <= capacity and used + 1 <= capacity.
            char *grown = (char *)grow_heap_block(text, capacity * 2);
            if (grown == NULL)
                fail_out_of_memory();
            text = grown;
            capacity *= 2;
        }
        memcpy(text + used, chunk, got + 1);
        used += got;
    }
    CloseHandle(read_end);
    return text;
}

DWORD run_and_wait(const char *program, char *command_line, HANDLE volatile *running)
{
    STARTUPINFOA startup;
    memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;

    PROCESS_INFORMATION process;
    if (!CreateProcessA(program, command_line, NULL, NULL, FALSE, CREATE_NEW_CONSOLE, NULL, NULL,
                        &startup, &process))
        fail_api_call("CreateProcess");

    HANDLE copy;
    if (running != NULL && DuplicateHandle(GetCurrentProcess(), process.hProcess, GetCurrentProcess(), &copy,
                                           PROCESS_TERMINATE, FALSE, 0))
        InterlockedExchangePointer(running, copy);
    DWORD exit_code = finish_child(&process);
    HANDLE left = running != NULL ? InterlockedExchangePointer(running, NULL) : NULL;
    if (left != NULL)
        CloseHandle(left);
    return exit_code;
}

DWORD finish_child(PROCESS_INFORMATION *process_info)
{
    // The output's end does not prove the child has ended; its exit code must be final.
    WaitForSingleObject(process_info->hProcess, INFINITE);
    DWORD exit_code;
    if (!GetExitCodeProcess(process_info->hProcess, &exit_code))
        fail_api_call("GetExitCodeProcess");
    CloseHandle(process_info->hThread);
    CloseHandle(process_info->hProcess);
    return exit_code;
}

long long file_size_of(const char *path)
{
    // No access asked, so a file another program holds open for writing can still be measured.
    HANDLE file = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING,
                              FILE_ATTRIBUTE_READONLY, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    // All 64 bits: a squashfs image may pass 4 GiB on NTFS.
    LARGE_INTEGER size;
    BOOL known = GetFileSizeEx(file, &size);
    CloseHandle(file);
    return known ? size.QuadPart : 0;
}

struct output_drain {
    HANDLE read_end;
    HANDLE thread;
    char *text;
};

static DWORD WINAPI drain_output(void *parameter)
{
    output_drain *drain = (output_drain *)parameter;
    drain->text = read_all(drain->read_end);
    return 0;
}

output_drain *start_output_drain(HANDLE read_end)
{
    output_drain *drain = (output_drain *)HeapAlloc(GetProcessHeap(), 0, sizeof(output_drain));
    if (drain == NULL)
        fail_out_of_memory();
    drain->read_end = read_end;
    drain->text = NULL;
    drain->thread = CreateThread(NULL, 0, drain_output, drain, 0, NULL);
    if (drain->thread == NULL)
        fail_api_call("CreateThread");
    return drain;
}

char *finish_output_drain(output_drain *drain)
{
    // The thread ends when the pipe breaks, i.e. once the child and any copies of its
    // write end are gone (also after TerminateProcess).
    WaitForSingleObject(drain->thread, INFINITE);
    CloseHandle(drain->thread);
    char *text = drain->text;
    HeapFree(GetProcessHeap(), 0, drain);
    return text;
}
