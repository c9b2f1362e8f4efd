#pragma once
// Small helpers the install phases share.
#include "job/job.h"

// Formats a log text and appends it. A text that does not fit its 1024-byte buffer is
// never shown cut: the step fails instead (message 18 and a line saying why) and 1 is
// returned; the caller then goes to its checkpoint.
int log_formatted(install_job *job, const char *format, ...);

// Frees the job's listing once nothing needs it any more.
void discard_listing(install_job *job);

// The failure of a step whose path or command line does not fit its buffer.
void fail_text_too_long(install_job *job);
