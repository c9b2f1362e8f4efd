// Extraction: one 7z run per listed file into X:\zerka\, the bar following the growing
// file, and each finished file checked against its listed size. 7z also reports the SHA-256 of
// what it extracted, which the read-back compares with what the drive gives back.
#include "job/job.h"
#include "job/listing.h"
#include "job/path_parts.h"
#include "job/phase_common.h"
#include "messages/format_text.h"
#include "messages/messages.h"
#include "tools/child_runner.h"

enum { poll_interval_ms = 250 };

static void free_text(char *text)
{
    HeapFree(GetProcessHeap(), 0, text);
}

// The outcome of one file: 0 to go on with the next, 1 to leave the loop.
static int extract_one(install_job *job, listing_file *file)
{
    // The line names the file where "7z e", which drops the folders, puts it.
    if (log_formatted(job, load_message(29), job->drive, "zerka\\", last_component(file->name)))
        return 1;
    char command[text_buffer_size];
    char target[text_buffer_size];
    char program[text_buffer_size];
    if (extraction_command(command, job->drive, job->image, file->name) ||
        extraction_target(target, job->drive, file->name) || installer_file_path(program, "7z.exe")) {
        fail_text_too_long(job);
        return 1;
    }
    // A linked folder would take the files wherever it points; a linked file is removed.
    char folder[] = {job->drive, ':', '\\', 'z', 'e', 'r', 'k', 'a', '\0'};
    if (is_link(folder)) {
        log_message(job, 18);
        job_fail(job);
        return 1;
    }
    if (remove_link_at(target)) {
        fail_with_system_text(job);
        return 1;
    }

    PROCESS_INFORMATION process;
    HANDLE output = run_captured(program, command, &process, 0);
    // Read while it runs, so a talkative 7z never stalls on a full pipe.
    output_drain *drain = start_output_drain(output);

    for (;;) {
        // The wait ends at once when 7z exits, so the next file starts without delay.
        DWORD waited = WaitForSingleObject(process.hProcess, poll_interval_ms);
        long long current = file_size_of(target);
        progress_set(job, bar_position(current, job->copied_size, job->total_size, 0, bar_extracted));

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
        // The shipped 7z always prints the digest: without it, nothing can prove the file.
        int digest_missing = extraction_digest(text, file->sha256);
        free_text(text);

        int size_wrong = file_size_of(target) != file->size;
        if (size_wrong || digest_missing) {
            log_message(job, size_wrong ? 30 : 53);
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
    int completed = 1;
    for (int i = 0; i < job->file_count; i++) {
        if (!job_is_running(job) || extract_one(job, &job->files[i])) {
            completed = 0;
            break;
        }
    }
    // A listing whose total reads 0 gives the bar nothing to divide by; show the share done.
    if (completed && job->total_size <= 0)
        progress_set(job, bar_extracted);
    // The file table stays for the read-back.
    return checkpoint(job);
}
