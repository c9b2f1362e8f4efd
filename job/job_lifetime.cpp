#include "job/job_lifetime.h"

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
    if (job->listing_text != NULL)
        HeapFree(GetProcessHeap(), 0, job->listing_text);
    HeapFree(GetProcessHeap(), 0, job);
}
