// Boot set-up of a removable drive: syslinux.cfg from beside the installer to the drive's
// root and the UEFI loaders to X:\EFI\BOOT\, then the SYSLINUX installer run on the drive.
#include "job/job.h"
#include "job/phase_common.h"
#include "messages/format_text.h"
#include "messages/messages.h"
#include "platform/system_calls.h"
#include "tools/child_runner.h"

// Where UEFI firmware looks on a removable drive, and what lies there beside the installer.
static const char efi_folder[] = "EFI\\BOOT\\";
static const char *const efi_folders[] = {"EFI", "EFI\\BOOT"};
static const char *const efi_files[] = {"BOOTX64.EFI", "BOOTIA32.EFI", "grub.cfg"};

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
}

// Copies EFI\BOOT\name from beside the installer to the same path on the drive. A file that is
// not there is skipped without a word: a folder without the loaders installs as before.
// 0 when done or skipped.
static int copy_efi_file(install_job *job, const char *name)
{
    char source[text_buffer_size];
    format_text(source, "%s%s", efi_folder, name);
    DWORD attributes = path_attributes(source);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return 0;
    if (log_formatted(job, load_message(29), job->drive, efi_folder, name))
        return 1;
    // As for zerka\: a linked folder would take the file wherever it points.
    char path[text_buffer_size];
    for (const char *folder : efi_folders) {
        format_text(path, "%c:\\%s", job->drive, folder);
        if (is_link(path)) {
            log_message(job, 18);
            job_fail(job);
            return 1;
        }
        CreateDirectoryA(path, NULL);
    }
    format_text(path, "%c:\\%s", job->drive, source);
    if (remove_link_at(path) || !CopyFileA(source, path, FALSE)) {
        fail_with_system_text(job);
        return 1;
    }
    log_message(job, 20);
    return 0;
}

// The bar shows 95 once every file is on the drive; the boot loader's run follows.
static void copy_boot_files(install_job *job)
{
    copy_configuration(job);
    for (const char *name : efi_files)
        if (!job_is_running(job) || copy_efi_file(job, name))
            return;
    progress_set(job, 95);
}

static void install_boot_loader(install_job *job)
{
    log_message(job, 32);
    char command[text_buffer_size];
    format_text(command, "syslinux -f %c:", job->drive);
    PROCESS_INFORMATION process;
    HANDLE errors = run_captured(command, &process, 1);
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
        copy_boot_files(job);
    if (checkpoint(job))
        return 1;
    install_boot_loader(job);
    // The worker's own last checkpoint follows.
    return 0;
}
