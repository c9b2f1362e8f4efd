// Boot set-up of a hard-disk partition: the GRUB loader on C:, an entry in C:\menu.lst that
// boots the installed kernel from the partition, and C:\boot.ini offering the loader at boot.
#include <stdio.h>

#include "disk/grub_name.h"
#include "job/boot_menus.h"
#include "job/job.h"
#include "job/phase_common.h"
#include "messages/format_text.h"
#include "messages/messages.h"
#include "platform/system_calls.h"

// Set around every write: the boot files stay read-only, hidden and system, as Windows
// keeps its own.
enum { boot_file_attributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM };

static const char menu_path[] = "C:\\menu.lst";
static const char boot_ini_path[] = "C:\\boot.ini";

// Copies a loader file from beside the installer to C:\name. 0 when done.
static int copy_loader(install_job *job, const char *source, const char *name)
{
    char target[text_buffer_size];
    format_text(target, "C:\\%s", name);
    if (log_formatted(job, load_message(29), 'C', "", name))
        return 1;
    if (remove_link_at(target)) {
        fail_with_system_text(job);
        return 1;
    }
    SetFileAttributesA(target, FILE_ATTRIBUTE_NORMAL);
    if (!CopyFileA(source, target, FALSE)) {
        fail_with_system_text(job);
        return 1;
    }
    SetFileAttributesA(target, boot_file_attributes);
    log_message(job, 20);
    return 0;
}

// A GRUB 2 loader comes in two files: GRLDR, which the Windows boot menu starts, looks for
// g2ldr on the disks. A loader of one file has no g2ldr beside the installer.
static void copy_loaders(install_job *job)
{
    if (copy_loader(job, "grldr", "GRLDR"))
        return;
    DWORD second = path_attributes("g2ldr");
    if (second != INVALID_FILE_ATTRIBUTES && !(second & FILE_ATTRIBUTE_DIRECTORY) &&
        copy_loader(job, "g2ldr", "g2ldr"))
        return;
    progress_set(job, 95);
}

// Opens a boot file on C: for a write, links removed and attributes cleared first; logs
// "cannot open" and fails the step when that does not work.
static FILE *open_boot_file(install_job *job, const char *path, const char *mode)
{
    FILE *file = NULL;
    if (!remove_link_at(path)) {
        SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
        file = fopen(path, mode);
    }
    if (file == NULL) {
        log_message(job, 35);
        job_fail(job);
    }
    return file;
}

// Closes a written boot file and sets its attributes back; 1 when a write failed.
static int close_boot_file(FILE *file, const char *path, int failed)
{
    if (fclose(file) != 0)
        failed = 1;
    SetFileAttributesA(path, boot_file_attributes);
    return failed;
}

static void finish_step(install_job *job, int failed)
{
    log_message(job, failed ? 18 : 20);
    if (failed)
        job_fail(job);
}

static void add_menu_entry(install_job *job, const char *root)
{
    log_message(job, 34);
    FILE *menu = open_boot_file(job, menu_path, "a+");
    if (menu == NULL)
        return;
    finish_step(job, close_boot_file(menu, menu_path, menu_lst_append_entry(menu, root)));
}

static void offer_in_boot_menu(install_job *job)
{
    log_message(job, 36);
    FILE *boot_ini = open_boot_file(job, boot_ini_path, "r+");
    if (boot_ini == NULL)
        return;
    // At "timeout=0" Windows would start at once and never show the new entry.
    boot_ini_set_timeout(boot_ini);
    int failed = fclose(boot_ini) != 0;
    if ((boot_ini = open_boot_file(job, boot_ini_path, "a+")) == NULL)
        return;
    // Its own line break first: the file's last line may have none.
    fputs("\nC:\\GRLDR=\"zerka (kestrix)\"\n", boot_ini);
    failed = close_boot_file(boot_ini, boot_ini_path, failed || ferror(boot_ini));
    finish_step(job, failed);
    if (!failed)
        progress_set(job, 100);
}

int run_fixed_boot_setup(install_job *job)
{
    log_message(job, 33);
    if (enter_installer_folder()) {
        fail_text_too_long(job);
        return checkpoint(job);
    }
    const char *name = grub_device_name(job->drive);
    if (name == NULL) {
        log_message(job, 18);
        job_fail(job);
        return checkpoint(job);
    }
    // A copy: the name lives in the naming's own buffer, which its next call overwrites.
    char root[text_buffer_size];
    format_text(root, "%s", name);
    log_message(job, 20);

    copy_loaders(job);
    if (checkpoint(job))
        return 1;
    add_menu_entry(job, root);
    if (checkpoint(job))
        return 1;
    offer_in_boot_menu(job);
    // The worker's own last checkpoint follows.
    return 0;
}
