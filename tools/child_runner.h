#pragma once
#include <windows.h>

// The program is always named by its full path: by its command line alone, the system would
// also take a program of that name from the current folder.

// Starts a hidden child with its standard output (capture_stderr 0) or standard error
// (otherwise) going into a pipe; returns the pipe's read end. Fatal on failure.
HANDLE run_captured(const char *program, char *command_line, PROCESS_INFORMATION *process_info,
                    int capture_stderr);

// Reads the pipe to its end into a process-heap text (free with HeapFree), closes it.
char *read_all(HANDLE read_end);

// Starts a hidden child in its own console, waits for it and returns its exit code. With running
// given, *running holds a handle of the child that can end it, while it runs; whoever takes the
// handle out (this, once the child has ended, or another thread to end it) closes it.
DWORD run_and_wait(const char *program, char *command_line, HANDLE volatile *running = NULL);

// Waits for a started child to end, returns its exit code (fatal if it cannot be read)
// and closes its thread and process handles.
DWORD finish_child(PROCESS_INFORMATION *process_info);

// Current size of a file in bytes, 0 when it cannot be opened or measured.
long long file_size_of(const char *path);

// For a caller that polls a child instead of reading it: a thread drains the pipe while the
// child runs, so a child never blocks on a full pipe.
struct output_drain;
output_drain *start_output_drain(HANDLE read_end);
// Waits until the pipe has broken (the child and its copies are gone) and returns the whole
// output as read_all would; frees the drain.
char *finish_output_drain(output_drain *drain);
