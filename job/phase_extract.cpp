#include "job/job.h"

int run_extraction(install_job *job)
{
    (void)job;
    return 0;
}
