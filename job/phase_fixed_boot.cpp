#include "job/job.h"

// The boot set-up of a hard-disk partition (GRLDR chained from the Windows boot menu) is not
// part of this program yet. Claiming success without a boot loader would leave a partition
// that never starts, so the step reports that the partition could not be set up.
int run_fixed_boot_setup(install_job *job)
{
    log_message(job, 33);
    log_message(job, 18);
    job_fail(job);
    return checkpoint(job);
}
