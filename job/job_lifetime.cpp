#include "job/job_lifetime.h"

#include "job/phase_common.h"

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
