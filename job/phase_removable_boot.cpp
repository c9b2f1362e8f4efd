#include "job/job.h"

int run_removable_boot_setup(install_job *job)
{
    (void)job;
    return 0;
}
