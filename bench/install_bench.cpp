// Install benchmark, run under Wine by bench/install_benchmark.sh:
//   install_bench.exe IMAGE ROUNDS
// Times (a) a whole installation onto D: through the installer's windows and (b) one
// direct "7z e" of the same three files by the same 7z.exe into a fresh folder on D:.
// Prints the best time of each over the rounds and their ratio.
#include <windows.h>

#include <stdio.h>
#include <string.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "install_support.h"
#include "resources/resource_ids.h"

static double seconds_since(LARGE_INTEGER start)
{
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return (double)(now.QuadPart - start.QuadPart) / (double)frequency.QuadPart;
}

// Seconds from Start to message 37, or a negative value when the installation failed.
static double time_installation(const std::string &image)
{
    remove_tree("D:\\zerka");
    install_run run;
    run.session = start_installer(INSTALLER_EXE);
    if (run.session.main == nullptr) return -1;
    set_item_text(run.session.main, IDC_IMAGE_PATH, image);
    combo_pick(run.session.main, IDC_DRIVE_LIST, combo_find(run.session.main, IDC_DRIVE_LIST, 'D'));
    LARGE_INTEGER start;
    QueryPerformanceCounter(&start);
    click(run.session.main, IDC_START);
    run.progress = wait_for_progress_dialog(run.session, 15000);
    if (run.progress == nullptr) return -1;
    // With ZERKA_BENCH_TRACE set, each change of the log is printed with its time.
    const bool trace = getenv("ZERKA_BENCH_TRACE") != nullptr;
    size_t seen = 0;
    bool ended = wait_until([&] {
        std::string log = run.log();
        if (trace && log.size() != seen) {
            printf("  %6.3f s  %s\n", seconds_since(start), utf8_of_gbk(log.substr(seen)).c_str());
            seen = log.size();
        }
        const std::string done = msg(37), stopped = msg(38);
        return (log.size() >= done.size() && log.compare(log.size() - done.size(), done.size(), done) == 0) ||
               (log.size() >= stopped.size() && log.compare(log.size() - stopped.size(), stopped.size(), stopped) == 0);
    }, 600000, 10);
    double elapsed = seconds_since(start);
    std::string log = run.log();
    if (!ended || log.compare(log.size() - msg(37).size(), msg(37).size(), msg(37)) != 0) {
        fprintf(stderr, "installation failed:\n%s\n", utf8_of_gbk(log).c_str());
        return -1;
    }
    return elapsed;
}

static double time_direct(const std::string &image)
{
    remove_tree("D:\\direct");
    std::string output;
    LARGE_INTEGER start;
    QueryPerformanceCounter(&start);
    DWORD code = run_capture(std::string(INSTALLER_DIR "\\7z.exe e -y -oD:\\direct\\ \"") + image +
                                 "\" vmlinuz initrd.gz *.sfs",
                             &output);
    double elapsed = seconds_since(start);
    if (code != 0) {
        fprintf(stderr, "7z failed (%lu):\n%s\n", code, output.c_str());
        return -1;
    }
    return elapsed;
}

int main(int argc, char **argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: install_bench IMAGE [ROUNDS] | install_bench IMAGE 1 install|direct\n");
        return 2;
    }
    std::string image = argv[1];
    int rounds = argc > 2 ? atoi(argv[2]) : 2;
    // One side alone, as it comes: the script empties the page cache before each call.
    if (argc > 3) {
        bool install = strcmp(argv[3], "install") == 0;
        double seconds = install ? time_installation(image) : time_direct(image);
        if (seconds < 0)
            return 1;
        remove_tree("D:\\direct");
        printf("%s %.2f\n", install ? "installation" : "direct", seconds);
        return 0;
    }
    // One read of the whole image first, so neither side pays for a cold cache.
    long long image_bytes = 0;
    if (FILE *file = fopen(image.c_str(), "rb")) {
        static char chunk[1 << 20];
        size_t got;
        while ((got = fread(chunk, 1, sizeof chunk, file)) > 0) image_bytes += (long long)got;
        fclose(file);
    }
    printf("image: %s (%.1f MB)\n", image.c_str(), image_bytes / 1048576.0);

    double best_install = 1e9, best_direct = 1e9;
    for (int round = 1; round <= rounds; round++) {
        double installed = time_installation(image);
        double direct = time_direct(image);
        if (installed < 0 || direct < 0) return 1;
        printf("round %d: installation %.2f s, direct 7z e %.2f s\n", round, installed, direct);
        if (installed < best_install) best_install = installed;
        if (direct < best_direct) best_direct = direct;
    }
    remove_tree("D:\\direct");
    printf("best: installation %.2f s, direct 7z e %.2f s, ratio %.2f (target <= 1.30)\n", best_install,
           best_direct, best_install / best_direct);
    return 0;
}
