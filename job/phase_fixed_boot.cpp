// Boot set-up of a hard-disk partition: the GRUB loader on C:, an entry in C:\menu.lst that
// boots the installed kernel from the partition, and C:\boot.ini offering the loader at boot.
#include <stdio.h>
#include <string.h>

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
static const char boot_ini_new_path[] = "C:\\boot.ini.zerka-new";

// A boot menu is a few hundred bytes: a file past a megabyte is none, and is not read whole.
enum { boot_ini_size_limit = 1 << 20 };

// 1 when both files can be read and hold the same bytes.
static int same_contents(const char *path, const char *other_path)
{
    FILE *file = fopen(path, "rb"), *other = fopen(other_path, "rb");
    int same = file != NULL && other != NULL;
    char bytes[4096], other_bytes[4096];
    for (size_t read = sizeof bytes; same && read == sizeof bytes;) {
        read = fread(bytes, 1, sizeof bytes, file);
        same = fread(other_bytes, 1, sizeof other_bytes, other) == read && memcmp(bytes, other_bytes, read) == 0;
    }
    if (file != NULL)
        fclose(file);
    if (other != NULL)
        fclose(other);
    return same;
}

// The user's own boot file is copied beside it, as <path>.before-zerka, before an installation
// first changes it; a later installation keeps that first copy. 1 when the copy failed (the last
// error says why).
static int keep_original(const char *path)
{
    DWORD attributes = path_attributes(path);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return 0;
    char copy[text_buffer_size];
    if (!text_fits(format_text(copy, "%s.before-zerka", path))) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return 1;
    }
    if (!CopyFileA(path, copy, TRUE))
        return GetLastError() != ERROR_FILE_EXISTS;
    // Not hidden like the file it keeps, so that the user finds it.
    SetFileAttributesA(copy, FILE_ATTRIBUTE_READONLY);
    return 0;
}

// Copies a loader file from beside the installer to C:\name. 0 when done.
static int copy_loader(install_job *job, const char *source, const char *name)
{
    char target[text_buffer_size];
    format_text(target, "C:\\%s", name);
    if (log_formatted(job, load_message(29), 'C', "", name))
        return 1;
    // Our own loader from an earlier installation needs no keeping.
    if (remove_link_at(target) || (!same_contents(source, target) && keep_original(target))) {
        fail_with_system_text(job);
        return 1;
    }
    SetFileAttributesA(target, FILE_ATTRIBUTE_NORMAL);
    BOOL copied = CopyFileA(source, target, FALSE);
    if (!copied)
        fail_with_system_text(job);
    else
        copied = !check_copy(job, source, target);
    SetFileAttributesA(target, boot_file_attributes);
    if (!copied)
        return 1;
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

static void fail_cannot_open(install_job *job)
{
    log_message(job, 35);
    job_fail(job);
}

static void add_menu_entry(install_job *job, const char *root)
{
    log_message(job, 34);
    // A link is left alone: removing it would lose the user's menu behind it.
    if (is_link(menu_path)) {
        fail_cannot_open(job);
        return;
    }
    if (keep_original(menu_path)) {
        fail_with_system_text(job);
        return;
    }
    SetFileAttributesA(menu_path, FILE_ATTRIBUTE_NORMAL);
    FILE *menu = fopen(menu_path, "a+");
    if (menu == NULL) {
        fail_cannot_open(job);
    } else {
        int failed = menu_lst_append_entry(menu, root);
        failed = fclose(menu) != 0 || failed;
        log_message(job, failed ? 18 : 20);
        if (failed)
            job_fail(job);
    }
    SetFileAttributesA(menu_path, boot_file_attributes);
}

// C:\boot.ini read whole and in binary (the runtime's text mode miscounts positions in a file
// with LF line ends, and a byte written there lands in another line), with room behind it for
// the loader's line; NULL when it cannot be read. The caller frees it from the process heap.
static char *read_boot_ini(DWORD *length)
{
    HANDLE file = CreateFileA(boot_ini_path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return NULL;
    char *text = NULL;
    LARGE_INTEGER size;
    if (GetFileSizeEx(file, &size) && size.QuadPart <= boot_ini_size_limit) {
        text = (char *)grow_heap_block(NULL, (SIZE_T)size.QuadPart + boot_ini_line_size);
        if (text == NULL)
            fail_heap_alloc();
        if (!ReadFile(file, text, (DWORD)size.QuadPart, length, NULL) || *length != size.QuadPart) {
            HeapFree(GetProcessHeap(), 0, text);
            text = NULL;
        }
    }
    CloseHandle(file);
    return text;
}

// Writes the new boot.ini beside the old one, then puts it in the old one's place in one step: a
// crash or a full disk leaves the one or the other whole, never a boot.ini that Windows cannot
// start from. 1 when that failed (the last error says why); the old one is then unchanged.
static int replace_boot_ini(const char *text, DWORD length)
{
    // What a cut-off earlier run left there; a link there is never written through.
    if (!is_link(boot_ini_new_path)) {
        SetFileAttributesA(boot_ini_new_path, FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(boot_ini_new_path);
    }
    HANDLE file = CreateFileA(boot_ini_new_path, GENERIC_WRITE, 0, NULL, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return 1;
    DWORD written = 0;
    BOOL done = WriteFile(file, text, length, &written, NULL) && FlushFileBuffers(file);
    if (done && written != length) {
        SetLastError(ERROR_DISK_FULL);
        done = FALSE;
    }
    DWORD error = GetLastError();
    CloseHandle(file);
    if (done) {
        // Windows refuses to replace a read-only file.
        SetFileAttributesA(boot_ini_path, FILE_ATTRIBUTE_NORMAL);
        done = MoveFileExA(boot_ini_new_path, boot_ini_path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
        error = GetLastError();
    }
    if (!done)
        DeleteFileA(boot_ini_new_path);
    SetLastError(error);
    return !done;
}

// Windows Vista and later start through their own boot manager, which shows boot.ini's entries only
// behind its entry for an earlier Windows, if it has one. RtlGetVersion tells the true version,
// where GetVersionEx tells a program without a manifest entry for that Windows an older one.
static int windows_vista_or_later(void)
{
    typedef LONG(WINAPI * get_version)(OSVERSIONINFOW *);
    get_version get = (get_version)(void *)GetProcAddress(GetModuleHandleA("ntdll.dll"), "RtlGetVersion");
    OSVERSIONINFOW version = {};
    version.dwOSVersionInfoSize = sizeof version;
    return get != NULL && get(&version) == 0 && version.dwMajorVersion >= 6;
}

static void offer_in_boot_menu(install_job *job)
{
    log_message(job, 36);
    DWORD length = 0;
    char *text = is_link(boot_ini_path) ? NULL : read_boot_ini(&length);
    if (text == NULL) {
        fail_cannot_open(job);
        return;
    }
    length = (DWORD)boot_ini_edit(text, length);
    int failed = keep_original(boot_ini_path) || replace_boot_ini(text, length);
    if (failed)
        fail_with_system_text(job);
    HeapFree(GetProcessHeap(), 0, text);
    SetFileAttributesA(boot_ini_path, boot_file_attributes);
    if (!failed) {
        log_message(job, 20);
        // A dual-boot machine does start it that way: the installation stands, and says where to look.
        if (windows_vista_or_later())
            log_message(job, 49);
        progress_set(job, 100);
    }
}

void check_boot_ini(install_job *job)
{
    DWORD attributes = path_attributes(boot_ini_path);
    HANDLE file = INVALID_HANDLE_VALUE;
    if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY) && !is_link(boot_ini_path)) {
        // Read-only as Windows keeps it: the set-up clears that first. Left as it was found.
        SetFileAttributesA(boot_ini_path, attributes & ~FILE_ATTRIBUTE_READONLY);
        file = CreateFileA(boot_ini_path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
        SetFileAttributesA(boot_ini_path, attributes);
    }
    if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
        return;
    }
    log_message(job, 36);
    fail_cannot_open(job);
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
