// The start-up drive log, timed, with its sector reads counted: every table sector (each
// MBR and each EBR) must be read exactly once. Runs under Wine in a prefix prepared by
// disk-bench.sh. Prints one line of results; exit code 1 when the reads are not as expected.
//   drive_log_bench.exe EXPECTED_READS REPEATS
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <vector>

#include "disk/drive_log.h"
#include "disk/xdio.h"

static long sector_reads;
static long failed_reads;

extern "C" int __real__Z9xdio_readP11xdio_handlePvi(xdio_handle *, void *, int);
extern "C" int __wrap__Z9xdio_readP11xdio_handlePvi(xdio_handle *handle, void *buffer, int count)
{
    ++sector_reads;
    int result = __real__Z9xdio_readP11xdio_handlePvi(handle, buffer, count);
    if (result != 0) ++failed_reads;
    return result;
}

int main(int argc, char **argv)
{
    long expected = argc > 1 ? atol(argv[1]) : -1;
    int repeats = argc > 2 ? atoi(argv[2]) : 20;
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);

    std::vector<double> times;
    long reads_per_log = -1, failed_per_log = -1;
    bool steady = true;
    for (int i = 0; i < repeats; ++i) {
        sector_reads = failed_reads = 0;
        LARGE_INTEGER begin, end;
        QueryPerformanceCounter(&begin);
        drive_log();
        QueryPerformanceCounter(&end);
        times.push_back((double)(end.QuadPart - begin.QuadPart) * 1000.0 / frequency.QuadPart);
        if (reads_per_log >= 0 && (sector_reads != reads_per_log || failed_reads != failed_per_log))
            steady = false;
        reads_per_log = sector_reads;
        failed_per_log = failed_reads;
    }
    std::sort(times.begin(), times.end());
    printf("reads=%ld failed_reads=%ld runs=%d min_ms=%.2f median_ms=%.2f max_ms=%.2f\n",
           reads_per_log, failed_per_log, repeats, times.front(), times[times.size() / 2],
           times.back());
    if (!steady) {
        printf("reads differ between runs\n");
        return 1;
    }
    if (expected >= 0 && reads_per_log - failed_per_log != expected) {
        printf("expected %ld successful reads\n", expected);
        return 1;
    }
    return 0;
}
