#include "job/job_lifetime.h"

#include "job/phase_common.h"
#include "messages/messages.h"
#include "platform/system_calls.h"

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
struct kept_worker {
    HANDLE thread;
    install_job *job;  // held while kept
};
static kept_worker *workers;
static int worker_count;
static int worker_capacity;

// Ended workers need no waiting for.
static void forget_ended_workers(void)
{
    int kept = 0;
    for (int i = 0; i < worker_count; i++) {
        if (WaitForSingleObject(workers[i].thread, 0) == WAIT_OBJECT_0) {
            CloseHandle(workers[i].thread);
            job_release(workers[i].job);
        } else {
            workers[kept++] = workers[i];
        }
    }
    worker_count = kept;
}

void job_keep_worker(HANDLE thread, install_job *job)
{
    forget_ended_workers();
    if (worker_count == worker_capacity) {
        int capacity = worker_capacity == 0 ? 4 : worker_capacity * 2;
        void *grown = grow_heap_block(workers, capacity * sizeof *workers);
        if (grown == NULL)
            fail_heap_alloc();
        workers = (kept_worker *)grown;
        worker_capacity = capacity;
    }
    job_hold(job);
    workers[worker_count].thread = thread;
    workers[worker_count++].job = job;
}

int workers_running(void)
{
    forget_ended_workers();
    return worker_count > 0;
}

void end_reading_tools(void)
{
    for (int i = 0; i < worker_count; i++) {
        // Whoever takes the handle out closes it: the worker once the tool has ended, or this.
        HANDLE tool = InterlockedExchangePointer(&workers[i].job->reading_tool, NULL);
        if (tool != NULL) {
            TerminateProcess(tool, 1);
            CloseHandle(tool);
        }
    }
}

void wait_for_workers(void)
{
    for (int i = 0; i < worker_count; i++)
        WaitForSingleObject(workers[i].thread, INFINITE);
    forget_ended_workers();
}
