// Read-back: every file the job wrote is read again from the drive, past the system's cache, and
// its SHA-256 compared with what it must hold. A worn or counterfeit stick that does not keep what
// is written to it fails here, not halfway through starting zerka.
#include <windows.h>
#include <wincrypt.h>
#include <string.h>

#include "job/job.h"
#include "job/listing.h"
#include "job/phase_common.h"
#include "messages/format_text.h"
#include "messages/messages.h"
#include "platform/system_calls.h"

// Unbuffered reads go by whole sectors into sector-aligned memory: 1 MiB is a multiple of any
// sector size, and VirtualAlloc gives page-aligned blocks.
enum { block_size = 1 << 20 };
enum { read_back_done, read_back_failed, read_back_stopped };

// The bar over all the files read back, and the job whose Stop ends the reading.
struct read_back_bar {
    install_job *job;
    long long done, total;
};

struct block_read {
    OVERLAPPED overlapped;
    BOOL started;
    DWORD error;  // why it did not start
};

static void start_read(HANDLE file, block_read *read, BYTE *buffer, long long offset)
{
    read->overlapped.Offset = (DWORD)offset;
    read->overlapped.OffsetHigh = (DWORD)(offset >> 32);
    read->started = ReadFile(file, buffer, block_size, NULL, &read->overlapped) || GetLastError() == ERROR_IO_PENDING;
    read->error = read->started ? 0 : GetLastError();
}

// The bytes the read brought, 0 at the file's end; -1 when it failed (the last error says why).
static long finish_read(HANDLE file, block_read *read)
{
    DWORD got = 0;
    if (read->started && GetOverlappedResult(file, &read->overlapped, &got, TRUE))
        return (long)got;
    DWORD error = read->started ? GetLastError() : read->error;
    if (error == ERROR_HANDLE_EOF)
        return 0;
    SetLastError(error);
    return -1;
}

// Hashes the file block by block, the next block on its way from the drive while the last one is
// hashed. Sets *length to the bytes read.
static int hash_blocks(HANDLE file, BYTE *blocks, block_read *read, HCRYPTHASH hash, long long *length,
                       read_back_bar *bar)
{
    long long offset = 0;
    start_read(file, read, blocks, 0);
    for (int which = 0;; which ^= 1) {
        long got = finish_read(file, read);
        if (got < 0)
            return read_back_failed;
        BYTE *block = blocks + which * block_size;
        offset += got;
        int more = got == block_size, result = read_back_done;
        if (more)
            start_read(file, read, blocks + (which ^ 1) * block_size, offset);
        DWORD error = got > 0 && !CryptHashData(hash, block, (DWORD)got, 0) ? GetLastError() : 0;
        if (error != 0)
            result = read_back_failed;
        if (bar != NULL) {
            progress_set(bar->job, bar_position(offset, bar->done, bar->total, bar_extracted, bar_read_back));
            if (!job_is_running(bar->job))
                result = read_back_stopped;
        }
        if (result != read_back_done || !more) {
            if (more)
                finish_read(file, read);  // the buffers must outlive the read
            *length = offset;
            SetLastError(error);
            return result;
        }
    }
}

// Reads path back from the drive and hashes it, bar NULL for a file too small to need the bar or
// a Stop. read_back_done with digest and *length set; read_back_failed with the last error saying
// why; read_back_stopped.
static int read_back(const char *path, BYTE digest[sha256_size], long long *length, read_back_bar *bar)
{
    int result = read_back_failed;
    HCRYPTPROV provider = 0;
    HCRYPTHASH hash = 0;
    block_read read = {};
    BYTE *blocks = (BYTE *)VirtualAlloc(NULL, 2 * block_size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    read.overlapped.hEvent = blocks != NULL ? CreateEventA(NULL, TRUE, FALSE, NULL) : NULL;
    // Unbuffered: Windows reads the device, not the copy of what was written that it still holds.
    const DWORD flags = FILE_FLAG_NO_BUFFERING | FILE_FLAG_OVERLAPPED | FILE_FLAG_SEQUENTIAL_SCAN;
    HANDLE file = read.overlapped.hEvent != NULL ? open_read_back(path, flags) : INVALID_HANDLE_VALUE;
    if (file != INVALID_HANDLE_VALUE &&
        CryptAcquireContextA(&provider, NULL, NULL, PROV_RSA_AES, CRYPT_VERIFYCONTEXT) &&
        CryptCreateHash(provider, CALG_SHA_256, 0, 0, &hash))
        result = hash_blocks(file, blocks, &read, hash, length, bar);
    DWORD size = sha256_size;
    if (result == read_back_done && !CryptGetHashParam(hash, HP_HASHVAL, digest, &size, 0))
        result = read_back_failed;
    DWORD error = GetLastError();
    if (hash != 0)
        CryptDestroyHash(hash);
    if (provider != 0)
        CryptReleaseContext(provider, 0);
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    if (read.overlapped.hEvent != NULL)
        CloseHandle(read.overlapped.hEvent);
    if (blocks != NULL)
        VirtualFree(blocks, 0, MEM_RELEASE);
    SetLastError(error);
    return result;
}

// The drive gave back other bytes than were written: it cannot be trusted with zerka.
static void fail_changed(install_job *job, const char *path)
{
    if (log_formatted(job, load_message(52), path) == 0)
        job_fail(job);
}

int check_copy(install_job *job, const char *source, const char *target)
{
    BYTE written[sha256_size], kept[sha256_size];
    long long written_length, kept_length;
    if (read_back(source, written, &written_length, NULL) != read_back_done ||
        read_back(target, kept, &kept_length, NULL) != read_back_done) {
        fail_with_system_text(job);
        return 1;
    }
    if (kept_length == written_length && memcmp(kept, written, sha256_size) == 0)
        return 0;
    fail_changed(job, target);
    return 1;
}

static void read_back_files(install_job *job)
{
    read_back_bar bar = {job, 0, 0};
    for (int i = 0; i < job->file_count; i++)
        bar.total += job->files[i].size;
    for (int i = 0; i < job->file_count; i++) {
        const listing_file *file = &job->files[i];
        char path[text_buffer_size];
        BYTE digest[sha256_size];
        long long length = 0;
        extraction_target(path, job->drive, file->name);  // it fitted for the extraction
        int result = read_back(path, digest, &length, &bar);
        if (result == read_back_stopped) {
            log_message(job, 19);
            return;
        }
        if (result == read_back_failed) {
            // Named, as the line names only the folder. Copied first: logging may change the last error.
            char reason[text_buffer_size];
            format_text(reason, "%s", last_error_text());
            log_message(job, 18);
            if (log_formatted(job, "%s: %s\r\n", path, reason) == 0)
                job_fail(job);
            return;
        }
        if (length != file->size || memcmp(digest, file->sha256, sha256_size) != 0) {
            fail_changed(job, path);
            return;
        }
        bar.done += file->size;
    }
    log_message(job, 20);
    progress_set(job, bar_read_back);
}

int run_read_back(install_job *job)
{
    if (log_formatted(job, load_message(51), job->drive) == 0)
        read_back_files(job);
    discard_listing(job);
    return checkpoint(job);
}
