// Boot set-up of a removable drive: syslinux.cfg from beside the installer to the drive's
// root and the UEFI loaders to X:\EFI\BOOT\, the SYSLINUX installer run on the drive, then what
// a BIOS needs in sector 0 of a partitioned stick.
#include <string.h>

#include "disk/boot_record.h"
#include "disk/grub_name.h"
#include "disk/sector_zero.h"
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
    if (check_copy(job, "syslinux.cfg", target))
        return;
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
    int failed = remove_link_at(path);
    if (!failed) {
        // Another tool may have left it read-only or hidden, which CopyFile refuses to replace.
        SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
        failed = !CopyFileA(source, path, FALSE);
    }
    if (failed) {
        fail_with_system_text(job);
        return 1;
    }
    if (check_copy(job, source, path))
        return 1;
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

// SYSLINUX's boot code from beside the installer (mbr.bin). 0 when read; else 1, the last
// error saying why.
static int load_boot_code(uint8_t code[boot_code_size])
{
    HANDLE file = CreateFileA("mbr.bin", GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return 1;
    uint8_t bytes[boot_code_size + 1];
    DWORD size = 0;
    BOOL read = ReadFile(file, bytes, sizeof bytes, &size, NULL);
    DWORD error = read ? ERROR_INVALID_DATA : GetLastError();
    CloseHandle(file);
    if (!read || size != boot_code_size) {
        SetLastError(error);
        return 1;
    }
    memcpy(code, bytes, boot_code_size);
    return 0;
}

// A BIOS starts a partitioned stick only through boot code in sector 0 and an active primary
// entry. What is missing is added; code or an active entry already there (a USB hard disk may
// carry its owner's boot manager) stays. A volume outside an MBR table (a superfloppy, a GPT
// disk) needs nothing here; a partition whose sector 0 cannot be examined is said to be one that
// may not start.
static void update_boot_record(install_job *job)
{
    DWORD disk;
    int partition;
    int found = volume_partition(job->drive, &disk, &partition);
    if ((found != volume_found && found != volume_not_in_tables) || is_system_disk(disk))
        return;
    if (found == volume_not_in_tables) {
        log_message(job, 43);
        log_message(job, 48);
        return;
    }
    uint8_t code[boot_code_size], sector[sector_zero_max];
    DWORD size;
    int have_code = load_boot_code(code) == 0;
    DWORD code_error = GetLastError();
    if (read_sector_zero(job, disk, sector, &size))
        return;
    for (;;) {
        // The table lies in the first 512 bytes whatever the sector's size.
        int change = boot_record_next_change(sector, partition, have_code ? code : NULL);
        if (change == boot_record_unchanged)
            return;
        log_message(job, change == boot_record_code || change == boot_record_no_code ? 44 : 45);
        if (change == boot_record_logical) {
            log_message(job, 46);
            return;
        }
        if (change == boot_record_no_code)
            SetLastError(code_error);
        if (change == boot_record_no_code || sector_zero_write(disk, sector, size)) {
            fail_with_system_text(job);
            return;
        }
        log_message(job, 20);
    }
}

int run_removable_boot_setup(install_job *job)
{
    if (log_formatted(job, load_message(31), job->drive) == 0)
        copy_boot_files(job);
    if (checkpoint(job))
        return 1;
    install_boot_loader(job);
    if (checkpoint(job))
        return 1;
    update_boot_record(job);
    // The worker's own last checkpoint follows.
    return 0;
}
