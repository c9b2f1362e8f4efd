#pragma once
#include <windows.h>

#include "job/listing.h"

// One install job: its progress dialog, its running flag and its working state. Every job
// has its own, so a worker that outlives its dialog can never write into a later job's
// dialog nor see its flag set back to 1 by it.
struct install_job {
    HWND dialog;                 // the job's progress dialog; stale once it has ended
    volatile LONG job_running;   // 1 while the job may go on; cleared only by job_fail
    volatile LONG references;    // held by the dialog and by the worker; the last frees it
    char drive;                  // target drive letter, read once at the worker's start
    int kind;                    // its drive_kind, read then too: it chooses the boot set-up
    char image[1024];            // image path, read once at the worker's start
    char *listing_text;          // 7z listing (process heap), cut in place while parsed
    listing_file *files;         // its file lines (process heap), checked before any write
    int file_count;
    long long total_size;        // bytes named by the listing's totals line
    long long copied_size;       // bytes extracted whose size matched the listing
    HANDLE volatile reading_tool;  // while chkdsk runs: a handle that may end it (it only reads)
};

// Reporting of the worker; from either thread, through synchronous window messages.
// log_append sends the text to the dialog as one message, which the dialog handles on the
// user-interface thread by writing the text at the end of the log.
void log_append(install_job *job, const char *text);
enum { log_append_message = WM_APP + 1 };
void log_message(install_job *job, int message_id);  // log_append of load_message(id)
void progress_set(install_job *job, int position);
void job_fail(install_job *job);                     // clears the flag, button reads Close
int job_is_running(install_job *job);                // the flag alone, read atomically

// A checkpoint: 0 while the job may go on; otherwise logs message 38 and returns 1, after
// which the worker must end at once.
int checkpoint(install_job *job);

// The phases. Each returns 0 to go on, 1 when a checkpoint found the job stopped.
int run_pre_install_checks(install_job *job);
int run_extraction(install_job *job);
int run_read_back(install_job *job);
int run_removable_boot_setup(install_job *job);
int run_fixed_boot_setup(install_job *job);

// Before anything is written for a fixed disk: C:\boot.ini, which the set-up ends with, must be
// there to be changed (Windows Vista and later start without it). Fails the step otherwise.
void check_boot_ini(install_job *job);

DWORD WINAPI install_worker(void *job);
INT_PTR CALLBACK progress_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
int progress_dialog_layout(HWND dialog, int width, int height);

// Runs the progress dialog modally, owned by the main dialog; returns its end value.
INT_PTR run_progress_dialog(HWND owner);
