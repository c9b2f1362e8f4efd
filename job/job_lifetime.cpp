#include "job/job_lifetime.h"

#include "job/phase_common.h"
#include "messages/messages.h"

install_job *job_create(void)
{
    install_job *job = (install_job *)HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof *job);
    if (job != NULL)
        job->references = 1;
    return job;
}

void job_hold(install_job *job)
{
    InterlockedIncrement(&job->references);
}

void job_release(install_job *job)
{
    if (InterlockedDecrement(&job->references) != 0)
        return;
    discard_listing(job);
    HeapFree(GetProcessHeap(), 0, job);
}

// Only the user-interface thread starts workers and waits for them: no lock.
static HANDLE *workers;
static int worker_count;
static int worker_capacity;

void job_keep_worker(HANDLE thread)
{
    // Ended workers need no waiting for.
    int kept = 0;
    for (int i = 0; i < worker_count; i++) {
        if (WaitForSingleObject(workers[i], 0) == WAIT_OBJECT_0)
            CloseHandle(workers[i]);
        else
            workers[kept++] = workers[i];
    }
    worker_count = kept;
    if (worker_count == worker_capacity) {
        int capacity = worker_capacity == 0 ? 4 : worker_capacity * 2;
        SIZE_T size = capacity * sizeof *workers;
        HANDLE heap = GetProcessHeap();
        void *grown = workers == NULL ? HeapAlloc(heap, 0, size) : HeapReAlloc(heap, 0, workers, size);
        if (grown == NULL)
            fail_heap_alloc();
        workers = (HANDLE *)grown;
        worker_capacity = capacity;
    }
    workers[worker_count++] = thread;
}

void wait_for_workers(void)
{
    for (int i = 0; i < worker_count; i++) {
        WaitForSingleObject(workers[i], INFINITE);
        CloseHandle(workers[i]);
    }
    worker_count = 0;
}
