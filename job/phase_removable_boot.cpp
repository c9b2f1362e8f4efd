// Boot set-up of a removable drive: syslinux.cfg from beside the installer to the drive's
// root, then the SYSLINUX installer run on the drive.
#include "job/job.h"
#include "job/phase_common.h"
#include "messages/format_text.h"
#include "messages/messages.h"
#include "tools/child_runner.h"

static void copy_configuration(install_job *job)
{
    if (enter_installer_folder()) {
        fail_text_too_long(job);
        return;
    }
    char target[text_buffer_size];
    format_text(target, "%c:\\syslinux.cfg", job->drive);
    if (remove_link_at(target) || !CopyFileA("syslinux.cfg", target, FALSE)) {
        fail_with_system_text(job);
        return;
    }
    log_message(job, 20);
    progress_set(job, 95);
}

static void install_boot_loader(install_job *job)
{
    log_message(job, 32);
    char command[text_buffer_size];
    char program[text_buffer_size];
    format_text(command, "syslinux -f %c:", job->drive);
    if (installer_file_path(program, "syslinux.exe")) {
        fail_text_too_long(job);
        return;
    }
    PROCESS_INFORMATION process;
    HANDLE errors = run_captured(program, command, &process, 1);
    char *text = read_all(errors);
    DWORD exit_code = finish_child(&process);
    if (exit_code != 0) {
        log_message(job, 18);
        log_append(job, text);
        job_fail(job);
    } else {
        log_message(job, 20);
        progress_set(job, 100);
    }
    HeapFree(GetProcessHeap(), 0, text);
}

int run_removable_boot_setup(install_job *job)
{
    if (log_formatted(job, load_message(31), job->drive) == 0)
        copy_configuration(job);
    if (checkpoint(job))
        return 1;
    install_boot_loader(job);
    // The worker's own last checkpoint follows.
    return 0;
}
