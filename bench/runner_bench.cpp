// Runner benchmark, run under Wine by bench/runner-bench.sh:
//   runner_bench.exe [ROUNDS]
// For children writing 1, 4, 16 and 64 MiB to standard output, times the whole capture
// (run_captured, reading to the end, waiting for the child) three ways: read_all, the drain
// thread, and a plain 64 KiB ReadFile loop as the yardstick for the 1023-byte reads. Prints
// the min, median and max milliseconds and the MiB/s of the median; exits 1 if any text is not
// exactly what the child wrote. The child is this file built alone (runner_bench_child.exe BYTES
// SEED): a console program without the windowing libraries, which start slower under Wine.
#include <windows.h>

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#ifndef RUNNER_BENCH_CHILD
#include "tools/child_runner.h"
#endif

// A reproducible stream without NUL bytes, so a lost, doubled or moved piece shows.
static void fill_pattern(uint32_t seed, size_t from, char *out, size_t count)
{
    for (size_t i = 0; i < count; ++i) {
        uint32_t x = (uint32_t)(from + i) * 2654435761u ^ (seed + 1) * 40503u;
        x ^= x >> 15;
        x *= 2246822519u;
        x ^= x >> 13;
        out[i] = (char)(1 + x % 255);
    }
}

#ifdef RUNNER_BENCH_CHILD
// Writes in 64 KiB pieces, as 7z and most tools do.
static int child(size_t bytes, uint32_t seed)
{
    static char block[65536];
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    for (size_t at = 0; at < bytes;) {
        DWORD part = (DWORD)std::min(sizeof block, bytes - at), written;
        fill_pattern(seed, at, block, part);
        if (!WriteFile(out, block, part, &written, nullptr) || written != part) return 1;
        at += part;
    }
    return 0;
}

int main(int argc, char **argv)
{
    return argc == 3 ? child(strtoul(argv[1], nullptr, 10), strtoul(argv[2], nullptr, 10)) : 2;
}
#else
static double now_ms()
{
    LARGE_INTEGER count, frequency;
    QueryPerformanceCounter(&count);
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * (double)count.QuadPart / (double)frequency.QuadPart;
}

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

static bool capture_once(way how, size_t bytes, uint32_t seed, double *ms)
{
    char self[MAX_PATH];
    std::string child(self, GetModuleFileNameA(nullptr, self, sizeof self));
    child = child.substr(0, child.rfind('\\') + 1) + "runner_bench_child.exe";
    std::string line = "\"" + child + "\" " + std::to_string(bytes) + " " + std::to_string(seed);
    double start = now_ms();
    PROCESS_INFORMATION process;
    HANDLE read_end = run_captured(child.c_str(), &line[0], &process, 0);
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
    DWORD code = finish_child(&process);
    *ms = now_ms() - start;

    bool exact = code == 0 && strlen(text) == bytes;
    std::vector<char> expected(65536);
    for (size_t at = 0; exact && at < bytes; at += expected.size()) {
        size_t part = std::min(expected.size(), bytes - at);
        fill_pattern(seed, at, expected.data(), part);
        exact = memcmp(text + at, expected.data(), part) == 0;
    }
    HeapFree(GetProcessHeap(), 0, text);
    return exact;
}

int main(int argc, char **argv)
{
    int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 5;
    const char *names[] = {"read_all", "drain", "64k_reads"};
    bool all_exact = true;
    uint32_t seed = 0;
    for (size_t mib : {1u, 4u, 16u, 64u}) {
        for (way how : {by_read_all, by_drain, by_big_pieces}) {
            std::vector<double> times;
            for (int round = 0; round < rounds; ++round) {
                double ms;
                if (!capture_once(how, mib << 20, ++seed, &ms)) {
                    printf("%s %u MiB: text differs from what the child wrote\n", names[how], (unsigned)mib);
                    all_exact = false;
                }
                times.push_back(ms);
            }
            std::sort(times.begin(), times.end());
            double median = times[times.size() / 2];
            printf("%-9s %3u MiB  min_ms=%8.1f median_ms=%8.1f max_ms=%8.1f  MiB/s=%6.1f\n", names[how],
                   (unsigned)mib, times.front(), median, times.back(), (double)mib * 1000.0 / median);
            fflush(stdout);
        }
    }
    return all_exact ? 0 : 1;
}
#endif
