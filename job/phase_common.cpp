#include "job/phase_common.h"

#include <stdarg.h>

#include "disk/sector_zero.h"
#include "job/path_parts.h"
#include "messages/format_text.h"
#include "messages/messages.h"
#include "platform/system_calls.h"

void discard_listing(install_job *job)
{
    HANDLE heap = GetProcessHeap();
    if (job->listing_text != NULL)
        HeapFree(heap, 0, job->listing_text);
    if (job->files != NULL)
        HeapFree(heap, 0, job->files);
    job->listing_text = NULL;
    job->files = NULL;
    job->file_count = 0;
}

void fail_text_too_long(install_job *job)
{
    log_message(job, 18);
    job_fail(job);
}

void fail_with_system_text(install_job *job)
{
    // Copied at once: the log calls below may change the thread's last error.
    char reason[text_buffer_size];
    format_text(reason, "%s", last_error_text());
    log_message(job, 18);
    log_append(job, reason);
    log_append(job, "\r\n");
    job_fail(job);
}

int log_formatted(install_job *job, const char *format, ...)
{
    char text[text_buffer_size];
    va_list args;
    va_start(args, format);
    int length = vformat_text(text, format, args);
    va_end(args);
    if (!text_fits(length)) {
        fail_text_too_long(job);
        return 1;
    }
    log_append(job, text);
    return 0;
}

// The installer's own folder with its final backslash ("C:\zerka\"). 1 when its path does not
// fit the buffer.
static int installer_folder(char *buffer)
{
    DWORD length = GetModuleFileNameA(NULL, buffer, text_buffer_size);
    if (length == 0 || length >= text_buffer_size)
        return 1;
    // Without a folder, a name would be looked for in the current one.
    int cut = last_backslash(buffer);
    if (cut < 0)
        return 1;
    buffer[cut + 1] = '\0';
    return 0;
}

int enter_installer_folder(void)
{
    char folder[text_buffer_size];
    if (installer_folder(folder))
        return 1;
    if (!SetCurrentDirectoryA(folder))
        fail_api_call("SetCurrentDirectory");
    return 0;
}

int installer_file_path(char *buffer, const char *name)
{
    char folder[text_buffer_size];
    return installer_folder(folder) || !text_fits(format_text(buffer, "%s%s", folder, name));
}

int system_file_path(char *buffer, const char *name)
{
    char folder[text_buffer_size];
    UINT length = GetSystemDirectoryA(folder, sizeof folder);
    return length == 0 || length >= sizeof folder || !text_fits(format_text(buffer, "%s\\%s", folder, name));
}

int is_link(const char *path)
{
    DWORD attributes = path_attributes(path);
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return 0;
    DWORD tag = reparse_tag(path);
    return tag == IO_REPARSE_TAG_SYMLINK || tag == IO_REPARSE_TAG_MOUNT_POINT;
}

int remove_link_at(const char *path)
{
    return is_link(path) && !remove_link(path);
}

int read_sector_zero(install_job *job, DWORD disk, uint8_t *sector, DWORD *size)
{
    if (sector_zero_read(disk, sector, size) == 0)
        return 0;
    // The log line may change the thread's last error.
    DWORD error = GetLastError();
    log_message(job, 43);
    SetLastError(error);
    fail_with_system_text(job);
    return 1;
}
