#pragma once
#include "job/job.h"

// A job is shared by its dialog and its worker; whichever lets go last frees it.
install_job *job_create(void);
void job_hold(install_job *job);
void job_release(install_job *job);

// Worker threads, with their jobs, are kept until they end, so that the process never ends under
// one (a 7z or syslinux left running, a boot file left unprotected). All run on the user-interface
// thread.
void job_keep_worker(HANDLE thread, install_job *job);
// 1 while a kept worker runs. Each one's job is stopped already, since a progress dialog ends only
// with its job stopped: the worker ends a running extraction at its next poll, finishes the step
// in hand and ends at its next checkpoint.
int workers_running(void);
// Ends the tools the kept workers wait for that only read (chkdsk), so that they end at once.
void end_reading_tools(void);
// Waits for every kept worker.
void wait_for_workers(void);
