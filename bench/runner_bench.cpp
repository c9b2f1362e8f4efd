// Runner benchmark, run under Wine by bench/runner-bench.sh:
//   runner_bench.exe [ROUNDS]
// For children writing 1, 4, 16 and 64 MiB to standard output, times the whole capture
// (run_captured, reading to the end, waiting for the child) three ways: read_all, the drain
// thread, and a plain 64 KiB ReadFile loop as the yardstick for the 1023-byte reads. Prints
// the median milliseconds and MiB/s of each; exits 1 if any text is not exactly what the
// child wrote.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "runner_pattern.h"
#include "tools/child_runner.h"

static std::string child_path()
{
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
    std::string p(path, n);
    return p.substr(0, p.find_last_of('\\') + 1) + "runner_child.exe";
}

static double now_ms()
{
    LARGE_INTEGER count, frequency;
    QueryPerformanceCounter(&count);
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * (double)count.QuadPart / (double)frequency.QuadPart;
}

// Reads the pipe in 64 KiB pieces into a std::string.
static char *read_big_pieces(HANDLE read_end)
{
    std::string text;
    std::vector<char> piece(65536);
    DWORD got;
    while (ReadFile(read_end, piece.data(), (DWORD)piece.size(), &got, nullptr) && got > 0)
        text.append(piece.data(), got);
    CloseHandle(read_end);
    char *copy = (char *)HeapAlloc(GetProcessHeap(), 0, text.size() + 1);
    memcpy(copy, text.c_str(), text.size() + 1);
    return copy;
}

enum way { by_read_all, by_drain, by_big_pieces };

static bool capture_once(way how, size_t bytes, double *ms)
{
    std::string line = "\"" + child_path() + "\" chunk=65536 out=" + std::to_string(bytes) + ",9";
    double start = now_ms();
    PROCESS_INFORMATION process;
    HANDLE read_end = run_captured(&line[0], &process, 0);
    char *text;
    if (how == by_read_all) {
        text = read_all(read_end);
    } else if (how == by_drain) {
        output_drain *drain = start_output_drain(read_end);
        WaitForSingleObject(process.hProcess, INFINITE);
        text = finish_output_drain(drain);
    } else {
        text = read_big_pieces(read_end);
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    *ms = now_ms() - start;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);

    bool exact = strlen(text) == bytes;
    std::vector<char> expected(65536);
    for (size_t at = 0; exact && at < bytes; at += expected.size()) {
        size_t part = std::min(expected.size(), bytes - at);
        runner_pattern_fill(9, at, expected.data(), part);
        exact = memcmp(text + at, expected.data(), part) == 0;
    }
    HeapFree(GetProcessHeap(), 0, text);
    return exact;
}

int main(int argc, char **argv)
{
    int rounds = argc > 1 ? atoi(argv[1]) : 5;
    if (rounds < 1)
        rounds = 1;
    const char *names[] = {"read_all", "drain", "64k_reads"};
    bool all_exact = true;
    for (size_t mib : {1u, 4u, 16u, 64u}) {
        for (way how : {by_read_all, by_drain, by_big_pieces}) {
            std::vector<double> times;
            for (int round = 0; round < rounds; ++round) {
                double ms;
                if (!capture_once(how, mib << 20, &ms)) {
                    printf("%s %u MiB: text differs from what the child wrote\n", names[how], (unsigned)mib);
                    all_exact = false;
                }
                times.push_back(ms);
            }
            std::sort(times.begin(), times.end());
            double median = times[times.size() / 2];
            printf("%-9s %3u MiB  min_ms=%8.1f median_ms=%8.1f max_ms=%8.1f  MiB/s=%6.1f\n", names[how],
                   (unsigned)mib, times.front(), median, times.back(), (double)mib * 1000.0 / median);
        }
    }
    return all_exact ? 0 : 1;
}
