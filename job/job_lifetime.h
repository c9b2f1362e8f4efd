#pragma once
#include "job/job.h"

// A job is shared by its dialog and its worker; whichever lets go last frees it.
install_job *job_create(void);
void job_hold(install_job *job);
void job_release(install_job *job);
