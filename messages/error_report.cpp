#include "messages/format_text.h"
#include "messages/messages.h"

#include <string.h>
#include <windows.h>

static char error_text_buffer[text_buffer_size];

// Bytes of text that hold only whole characters, so a cut never splits a double-byte one.
static size_t whole_characters(const char *text, size_t limit)
{
    size_t at = 0;
    while (at < limit) {
        size_t step = IsDBCSLeadByte((BYTE)text[at]) ? 2 : 1;
        if (at + step > limit)
            break;
        at += step;
    }
    return at;
}

const char *last_error_text(void)
{
    DWORD code = GetLastError();
    char *system_text = NULL;
    DWORD length = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS |
                                      FORMAT_MESSAGE_FROM_SYSTEM,
                                  NULL, code, LANG_USER_DEFAULT, (char *)&system_text, 0, NULL);
    if (length == 0 || system_text == NULL) {
        // No text for this code: an empty text, never an unterminated one.
        error_text_buffer[0] = '\0';
    } else {
        size_t copied =
            length < sizeof error_text_buffer ? length : whole_characters(system_text, sizeof error_text_buffer - 1);
        memcpy(error_text_buffer, system_text, copied);
        error_text_buffer[copied] = '\0';
    }
    if (system_text != NULL)
        LocalFree(system_text);
    SetLastError(code);
    return error_text_buffer;
}

void format_error_box_text(char *buffer, const char *call_name, unsigned long code, const char *system_text)
{
    // A cut text is still shown: the box is the last thing the user learns. The cut falls
    // between characters, never behind the first byte of a double-byte one.
    if (!text_fits(format_text(buffer, "%s (%lu): %s", call_name, code, system_text)))
        buffer[whole_characters(buffer, text_buffer_size - 1)] = '\0';
}

void report_api_error(const char *call_name)
{
    DWORD code = GetLastError();
    const char *system_text = last_error_text();
    char text[text_buffer_size];
    format_error_box_text(text, call_name, code, system_text);
    MessageBoxA(NULL, text, "Error", MB_ICONERROR);
}

static volatile LONG fatal_report_begun;

int fatal_error_reported(void)
{
    return InterlockedCompareExchange(&fatal_report_begun, 0, 0) != 0;
}

void fail_api_call(const char *call_name)
{
    // The box has no owner: the user may close every window meanwhile, and the program must
    // still end as failed however it ends.
    InterlockedExchange(&fatal_report_begun, 1);
    report_api_error(call_name);
    ExitProcess(exit_api_failure);
}

void fail_heap_alloc(void)
{
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    fail_api_call("HeapAlloc");
}
