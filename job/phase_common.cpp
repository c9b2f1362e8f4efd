#include "job/phase_common.h"

#include <stdarg.h>

#include "messages/format_text.h"
#include "messages/messages.h"

void discard_listing(install_job *job)
{
    HeapFree(GetProcessHeap(), 0, job->listing_text);
    job->listing_text = NULL;
}

void fail_text_too_long(install_job *job)
{
    log_message(job, 18);
    log_append(job, "(path or command line longer than 1023 bytes)\r\n");
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
