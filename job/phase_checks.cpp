#include "job/job.h"

int run_pre_install_checks(install_job *job)
{
    (void)job;
    return 0;
}
