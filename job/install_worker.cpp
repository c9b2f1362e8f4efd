#include "job/job.h"

#include "job/job_lifetime.h"
#include "main/drive_list.h"

static void run_job(install_job *job)
{
    if (run_pre_install_checks(job))
        return;
    if (run_extraction(job) || run_read_back(job))
        return;
    if (job->kind == drive_fixed ? run_fixed_boot_setup(job) : run_removable_boot_setup(job))
        return;
    if (checkpoint(job))
        return;
    log_message(job, 37);
    job_fail(job);
}

DWORD WINAPI install_worker(void *argument)
{
    install_job *job = (install_job *)argument;
    run_job(job);
    job_release(job);
    return 0;
}
