// Pre-install checks: the user's choices, the optional format, the kind of file system on a
// removable target, the image listing, the target's file system and its free space.
#include <limits.h>
#include <string.h>

#include "disk/boot_record.h"
#include "disk/grub_name.h"
#include "disk/sector_zero.h"
#include "disk/volume_format.h"
#include "job/job.h"
#include "job/listing.h"
#include "job/phase_common.h"
#include "main/drive_list.h"
#include "main/main_dialog.h"
#include "messages/format_text.h"
#include "messages/messages.h"
#include "platform/system_calls.h"
#include "tools/child_runner.h"

enum { format_impossible = -3, format_cancelled = -2, format_error = -1 };

static void read_choices(install_job *job)
{
    job->drive = target_drive();
    // Once: a storage query that fails later must not send a fixed partition to the removable
    // set-up, whose syslinux would rewrite that partition's boot sector.
    job->kind = drive_kind(job->drive);
    if (job->kind != drive_removable && job->kind != drive_fixed) {
        // Nor one that fails now: the job ends before anything is written.
        DWORD error = GetLastError();
        log_formatted(job, load_message(47), job->drive);
        SetLastError(error);
        fail_with_system_text(job);
    }
    const char *path = image_path();
    size_t length = strlen(path);
    if (length >= sizeof job->image)
        length = sizeof job->image - 1;  // image_path() never holds more than 1023
    memcpy(job->image, path, length);
    job->image[length] = '\0';
}

static void format_with_dialog(install_job *job)
{
    if (log_formatted(job, load_message(17), job->drive))
        return;
    int result = format_drive_dialog(job->dialog, (UINT)(job->drive - 'A'), 0xFFFF, 1);
    if (result == format_impossible) {
        log_message(job, 18);
        job_fail(job);
    } else if (result == format_cancelled || result == format_error) {
        log_message(job, 19);
        job_fail(job);
    } else {
        log_message(job, 20);
    }
}

// A new serial from the clock, and the time of the label's entry, as a format gives them.
static void stamp(fat32_identity *identity)
{
    SYSTEMTIME now;
    FILETIME tick;
    GetLocalTime(&now);
    GetSystemTimeAsFileTime(&tick);
    identity->serial = tick.dwLowDateTime ^ tick.dwHighDateTime ^ GetTickCount();
    identity->date = (uint16_t)((now.wYear - 1980) << 9 | now.wMonth << 5 | now.wDay);
    identity->time = (uint16_t)(now.wHour << 11 | now.wMinute << 5 | now.wSecond / 2);
}

// The box that must say yes before anything is written (No is its default): the drive, its label
// and its size in GB, as sticks are sold.
static int erase_confirmed(install_job *job, const char *label, uint64_t size)
{
    char text[text_buffer_size];
    unsigned gb = (unsigned)((size + 500000000) / 1000000000);
    if (!text_fits(format_text(text, load_message(54), job->drive, label, gb)))
        return 0;
    return MessageBoxA(job->dialog, text, load_message(14), MB_YESNO | MB_DEFBUTTON2 | MB_ICONWARNING) == IDYES;
}

// A volume in an MBR partition of another type (exFAT's 0x07) gets FAT32's type in sector 0, and
// nothing else there changes: firmware and other systems go by it.
static void set_partition_type(install_job *job, DWORD disk, int partition)
{
    uint8_t sector[sector_zero_max];
    DWORD size;
    if (read_sector_zero(job, disk, sector, &size))
        return;
    if (!boot_record_fat32_type(sector, partition))
        return;
    log_message(job, 59);
    if (sector_zero_write(disk, sector, size)) {
        fail_with_system_text(job);
        return;
    }
    log_message(job, 20);
}

// Above 32 GiB Windows' format dialog offers no FAT32, the one file system that both SYSLINUX
// and UEFI firmware read: the installer makes it itself, once the user has said yes.
static void format_fat32(install_job *job, uint64_t size, uint64_t start)
{
    if (log_formatted(job, load_message(55), job->drive))
        return;
    DWORD sector_size, disk;
    if (volume_sector_size(job->drive, &sector_size)) {
        fail_with_system_text(job);
        return;
    }
    fat32_layout layout;
    int verdict = fat32_plan(size, start, sector_size, 1 << 20, &layout);
    if (verdict != fat32_ok || volume_disk_number(job->drive, &disk) != volume_found || is_system_disk(disk)) {
        if (verdict == fat32_sector_size)
            log_formatted(job, load_message(56), (unsigned)sector_size);
        else
            log_message(job, verdict == fat32_ok ? 60 : 57);
        job_fail(job);
        return;
    }
    int partition, in_table = volume_partition(job->drive, &disk, &partition) == volume_found;
    char root[4] = {job->drive, ':', '\\', '\0'}, old_label[MAX_PATH + 1] = "";
    fat32_identity identity;
    GetVolumeInformationA(root, old_label, sizeof old_label, NULL, NULL, NULL, NULL, 0);
    if (fat32_label(old_label, identity.label))
        fat32_label("ZERKA", identity.label);
    if (!erase_confirmed(job, old_label, size)) {
        log_message(job, 19);
        job_fail(job);
        return;
    }
    stamp(&identity);
    HANDLE volume = volume_open_locked(job->drive);
    if (volume == INVALID_HANDLE_VALUE) {
        fail_with_system_text(job);
        return;
    }
    if (volume_write_fat32(volume, &layout, &identity)) {
        fail_with_system_text(job);
        log_message(job, 58);
    } else {
        log_message(job, 20);
        if (in_table)
            set_partition_type(job, disk, partition);
    }
    // Windows mounts what was written once the handle is gone.
    CloseHandle(volume);
}

static void format_target(install_job *job)
{
    uint64_t size, start;
    if (job->kind == drive_removable && volume_extent(job->drive, &size, &start) == 0 && size > (32ull << 30))
        format_fat32(job, size, start);
    else
        format_with_dialog(job);
}

// UEFI firmware reads FAT only, and SYSLINUX installs on no exFAT: a removable target with
// any other file system is refused before anything is written to it. Quiet when it is FAT,
// so the log of an installation stays as it was.
static void check_file_system_kind(install_job *job)
{
    static const char *const fat_names[] = {"FAT", "FAT12", "FAT16", "FAT32"};
    char root[4] = {job->drive, ':', '\\', '\0'};
    char name[MAX_PATH + 1];
    if (!volume_file_system(root, name, sizeof name)) {
        DWORD error = GetLastError();
        log_formatted(job, load_message(41), job->drive);
        SetLastError(error);
        fail_with_system_text(job);
        return;
    }
    for (const char *fat : fat_names)
        if (strcmp(name, fat) == 0)
            return;
    log_formatted(job, load_message(41), job->drive);
    log_formatted(job, load_message(42), name);
    job_fail(job);
}

// The listing's file lines into the job's table; the walk cuts the names out in place.
static void read_files(install_job *job)
{
    int capacity = 0;
    listing_cursor cursor;
    listing_file file;
    listing_begin(&cursor, job->listing_text);
    while (listing_next(&cursor, &file)) {
        if (job->file_count == capacity) {
            capacity = capacity == 0 ? 16 : capacity * 2;
            SIZE_T size = capacity * sizeof file;
            void *grown = grow_heap_block(job->files, size);
            if (grown == NULL)
                fail_heap_alloc();
            job->files = (listing_file *)grown;
        }
        job->files[job->file_count++] = file;
    }
}

static void list_image(install_job *job)
{
    log_message(job, 21);
    char command[text_buffer_size];
    char program[text_buffer_size];
    if (listing_command(command, job->image) || installer_file_path(program, "7z.exe")) {
        fail_text_too_long(job);
        return;
    }
    PROCESS_INFORMATION process;
    HANDLE output = run_captured(program, command, &process, 0);
    job->listing_text = read_all(output);
    DWORD exit_code = finish_child(&process);

    if (exit_code != 0) {
        log_message(job, 18);
        log_append(job, job->listing_text);
        discard_listing(job);
        job_fail(job);
        return;
    }
    long long total;
    if (listing_total(job->listing_text, &total)) {
        log_message(job, 22);
        log_append(job, job->listing_text);
        discard_listing(job);
        job_fail(job);
        return;
    }
    read_files(job);
    if (listing_verdict(job->files, job->file_count) != listing_usable) {
        log_message(job, 18);
        discard_listing(job);
        job_fail(job);
        return;
    }
    job->total_size = total;
    job->copied_size = 0;
    log_message(job, 20);
}

static void check_file_system(install_job *job)
{
    log_message(job, 23);
    char command[text_buffer_size];
    char program[text_buffer_size];
    format_text(command, "chkdsk %c:", job->drive);
    if (system_file_path(program, "chkdsk.exe")) {
        fail_text_too_long(job);
        return;
    }
    // It only reads (no /F): Exit may end it rather than wait for a large drive.
    DWORD exit_code = run_and_wait(program, command, &job->reading_tool);
    int failed = 0;
    if (exit_code == 0) {
        log_message(job, 20);
        return;
    } else if (exit_code == 2) {
        log_message(job, 24);
    } else if (exit_code == 3) {
        log_message(job, 18);
        failed = 1;
    } else {
        log_message(job, 25);
    }
    log_formatted(job, load_message(26), job->drive);
    if (failed)
        job_fail(job);
}

static void check_space(install_job *job)
{
    log_message(job, 27);
    char root[4] = {job->drive, ':', '\\', '\0'};
    ULARGE_INTEGER available;
    if (!GetDiskFreeSpaceExA(root, &available, NULL, NULL)) {
        log_message(job, 18);
        job_fail(job);
        return;
    }
    if (!space_is_enough(available.QuadPart, job->total_size)) {
        long long need = space_needed_mb(job->total_size);
        log_formatted(job, load_message(28), need > INT_MAX ? INT_MAX : (int)need);
        job_fail(job);
        return;
    }
    log_message(job, 20);
}

int run_pre_install_checks(install_job *job)
{
    read_choices(job);
    if (checkpoint(job))
        return 1;
    if (job->kind == drive_fixed)
        check_boot_ini(job);
    if (checkpoint(job))
        return 1;
    if (format_requested())
        format_target(job);
    if (checkpoint(job))
        return 1;
    // After the format, which may have changed it.
    if (job->kind != drive_fixed)
        check_file_system_kind(job);
    if (checkpoint(job))
        return 1;
    list_image(job);
    if (checkpoint(job))
        return 1;
    check_file_system(job);
    if (checkpoint(job))
        return 1;
    check_space(job);
    return checkpoint(job);
}
