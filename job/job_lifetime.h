#pragma once
#include "job/job.h"

// A job is shared by its dialog and its worker; whichever lets go last frees it.
install_job *job_create(void);
void job_hold(install_job *job);
void job_release(install_job *job);

// Worker threads are kept until they end, so that the process never ends under one (a 7z or
// syslinux left running, a boot file left unprotected). Both run on the user-interface thread.
void job_keep_worker(HANDLE thread);
// Waits for every kept worker. Each one's job is stopped already, since a progress dialog ends
// only with its job stopped: the worker ends a running extraction at its next poll, finishes
// the step in hand and ends at its next checkpoint.
void wait_for_workers(void);
