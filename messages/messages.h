#pragma once
// The message table and the reporting of failed system calls.

// Text of message id (1..40) in the ANSI code page, in one of 16 rotating buffers.
// An id that cannot be loaded shows the "LoadString" box and ends the process with code 3.
const char *load_message(int id);

// The system's text for the calling thread's last-error code, trailing line break included.
const char *last_error_text(void);

// The "Error" box "%s (%u): %s" for a failed call; returns when it is dismissed.
void report_api_error(const char *call_name);
// Its text, in a 1024-byte buffer, cut at 1023 bytes when it is longer.
void format_error_box_text(char *buffer, const char *call_name, unsigned long code, const char *system_text);

// report_api_error, then ExitProcess(3): for calls the program cannot go on without.
[[noreturn]] void fail_api_call(const char *call_name);

// fail_api_call("HeapAlloc") with the code of a lack of memory: the heap functions set no
// last-error code of their own, and the box would show whatever an earlier call left.
[[noreturn]] void fail_heap_alloc(void);

// 1 once fail_api_call has begun: the process then ends with exit code 3 on every path.
int fatal_error_reported(void);

// Exit codes of the process.
enum { exit_api_failure = 3, exit_out_of_memory = 2 };
