// Extraction: one 7z run per listed file into X:\zerka\, the bar following the growing
// file, and each finished file checked against its listed size.
#include "job/job.h"
#include "job/listing.h"
#include "job/phase_common.h"
#include "messages/format_text.h"
#include "messages/messages.h"
#include "tools/child_runner.h"

enum { poll_interval_ms = 250 };

// Size of a file another program is writing; 0 when it cannot be opened. 64 bits, since
// a squashfs image may pass 4 GiB on NTFS.
static long long size_of_file(const char *path)
{
    HANDLE file = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING,
                              FILE_ATTRIBUTE_READONLY, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    LARGE_INTEGER size;
    BOOL known = GetFileSizeEx(file, &size);
    CloseHandle(file);
    return known ? size.QuadPart : 0;
}

static void free_text(char *text)
{
    HeapFree(GetProcessHeap(), 0, text);
}

// The outcome of one file: 0 to go on with the next, 1 to leave the loop.
static int extract_one(install_job *job, const listing_file *file)
{
    if (log_formatted(job, load_message(29), job->drive, "zerka\\", file->name))
        return 1;
    // Inside double quotes 7z would still take these for a switch, a list file or a
    // wildcard; a quote would end the argument early.
    if (!listing_name_is_safe(file->name)) {
        log_message(job, 18);
        job_fail(job);
        return 1;
    }
    char command[text_buffer_size];
    char target[text_buffer_size];
    if (extraction_command(command, job->drive, job->image, file->name) ||
        extraction_target(target, job->drive, file->name)) {
        fail_text_too_long(job);
        return 1;
    }

    PROCESS_INFORMATION process;
    HANDLE output = run_captured(command, &process, 0);
    // Read while it runs, so a talkative 7z never stalls on a full pipe.
    output_drain *drain = start_output_drain(output);

    for (;;) {
        // The wait ends at once when 7z exits, so the next file starts without delay.
        DWORD waited = WaitForSingleObject(process.hProcess, poll_interval_ms);
        long long current = size_of_file(target);
        progress_set(job, extraction_position(current, job->copied_size, job->total_size));

        if (!job_is_running(job)) {
            TerminateProcess(process.hProcess, 1);
            CloseHandle(process.hThread);
            CloseHandle(process.hProcess);
            free_text(finish_output_drain(drain));
            log_message(job, 19);
            return 1;
        }
        DWORD exit_code;
        if (!GetExitCodeProcess(process.hProcess, &exit_code))
            fail_api_call("GetExitCodeProcess");
        if (waited == WAIT_TIMEOUT)
            continue;

        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        char *text = finish_output_drain(drain);
        if (exit_code != 0) {
            log_message(job, 18);
            log_append(job, text);
        }
        free_text(text);

        if (size_of_file(target) != file->size) {
            log_message(job, 30);
            job_fail(job);
            return 1;
        }
        job->copied_size += file->size;
        log_message(job, 20);
        return 0;
    }
}

int run_extraction(install_job *job)
{
    listing_cursor cursor;
    listing_file file;
    int completed = 1;
    if (job->listing_text != NULL) {
        listing_begin(&cursor, job->listing_text);
        while (listing_next(&cursor, &file)) {
            if (!job_is_running(job) || extract_one(job, &file)) {
                completed = 0;
                break;
            }
        }
    }
    // A listing whose total reads 0 gives the bar nothing to divide by; show the share done.
    if (completed && job->total_size <= 0)
        progress_set(job, 90);
    discard_listing(job);
    return checkpoint(job);
}
