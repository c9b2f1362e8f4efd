// Install benchmark, run under Wine by bench/install_benchmark.sh from an installer folder of the
// test bed (C:\zerka-installer for D:, C:\zerka-boot for E:), whose installer and tools it uses:
//   install_bench.exe SIDE IMAGE DRIVE [ENV_FILE]
// Sides, each timed alone:
//   install  a whole installation through the installer's windows, from Start to "installation
//            succeeded": zerka-installer.exe, or with ENV_FILE zerka-installer-testbed.exe with the
//            settings in that file (the storage answers that make E: a hard-disk partition); the
//            installer started without a console, as from the desktop. Also prints, as "read-back",
//            the time of its read-back (from its log line's header to its outcome); then, as "read",
//            one plain sequential read of the installed files (unbuffered, as the read-back opens
//            them, 1 MiB blocks, no hash), and as "hash", CryptoAPI's SHA-256 of as many bytes in memory
//   direct   one "7z e" of the image's kernel, initrd and .sfs files into DRIVE:\direct\, as typed
//            in a console window; direct-sha256 the same with -scrcSHA256, as the installer runs it
//   tools    the installer's tool runs alone, back to back, with its command lines and in its order:
//            the listing, chkdsk, one "7z e" per listed file, then syslinux.cfg and "syslinux -f",
//            or for a fixed drive the loader copied to C:\GRLDR; made without a console, as the
//            installer makes them
//   tools-console  the same from this program's console, which the tools then share
// Prints "SIDE SECONDS"; exit code 1 when the side did not succeed. What it wrote is removed.
// With ZERKA_BENCH_TRACE set, it also prints when each step ended: each change of the installer's
// log (in UTF-8), each tool run.
#include <windows.h>
#include <wincrypt.h>

#include <ctype.h>
#include <stdio.h>
#include <stdlib.h>

#include <string>
#include <utility>
#include <vector>

#include "driver.h"
#include "job/listing.h"
#include "resources/resource_ids.h"
#include "tools/child_runner.h"

static std::string folder;  // this program's, with its backslash: the installer's folder
static char drive;
static LARGE_INTEGER start;  // of the side being timed

static double elapsed()
{
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return (double)(now.QuadPart - start.QuadPart) / (double)frequency.QuadPart;
}

static const bool trace = getenv("ZERKA_BENCH_TRACE") != nullptr;

static void trace_step(const std::string &ansi)
{
    std::wstring wide(ansi.size() + 1, L'\0');
    wide.resize(MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, &wide[0], (int)wide.size()));
    std::string utf8(wide.size() * 3 + 1, '\0');
    utf8.resize(WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, &utf8[0], (int)utf8.size(), nullptr, nullptr));
    printf("  %7.3f s  %s\n", elapsed(), utf8.c_str());
}

static double failed(const std::string &why)
{
    fprintf(stderr, "%s\n", why.c_str());
    return -1;
}

// Removes what a side writes, and puts back a Windows boot.ini without the installer's line.
static void clean()
{
    std::string root = std::string(1, drive) + ":\\";
    remove_folder(root + "zerka");
    remove_folder(root + "direct");
    for (std::string file : {root + "syslinux.cfg", std::string("C:\\GRLDR"), std::string("C:\\menu.lst")}) {
        SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(file.c_str());
    }
    write_file("C:\\boot.ini", "[boot loader]\r\ntimeout=0\r\n[operating systems]\r\nC:\\WINDOWS=\"Windows\"\r\n");
}

static double time_installation(const std::string &image, const std::string &env_file)
{
    std::vector<std::string> env;
    if (!env_file.empty()) env.push_back(read_file(env_file));
    std::string exe = folder + (env_file.empty() ? "zerka-installer.exe" : "zerka-installer-testbed.exe");
    installer app(exe.c_str(), env);
    if (!app.main) return failed("no main dialog from " + exe);
    set_item_text(app.main, IDC_IMAGE_PATH, image);
    app.pick(drive);
    QueryPerformanceCounter(&start);
    click(app.main, IDC_START);
    app.progress = find_dialog(app.pid(), app.main, false);
    if (!app.progress) return failed("no progress dialog");
    // Polled every 10 ms: the end, and each end of the read-back, is seen at most that late.
    const std::string done = msg(37), stopped = msg(38), reading = msg(51, drive);
    std::string log;
    double read_back_began = -1, read_back_ended = -1;
    for (DWORD begun = GetTickCount(); GetTickCount() - begun < 600000; Sleep(10)) {
        std::string now = app.log();
        if (trace && now.size() > log.size()) trace_step(now.substr(log.size()));
        size_t header = now.find(reading);
        if (header != std::string::npos && read_back_began < 0) read_back_began = elapsed();
        if (read_back_began >= 0 && read_back_ended < 0 && now.size() > header + reading.size())
            read_back_ended = elapsed();
        if (ends_with(log = now, done) || ends_with(log, stopped)) break;
    }
    double seconds = elapsed();
    if (!ends_with(log, done)) return failed("installation failed:\n" + log);
    printf("read-back %.3f\n", read_back_ended - read_back_began);
    return seconds;
}

// The installed files read once more, as the read-back opens them but without hashing; sets *bytes.
static double time_plain_read(long long *bytes)
{
    std::string folder = std::string(1, drive) + ":\\zerka\\";
    BYTE *block = (BYTE *)VirtualAlloc(nullptr, 1 << 20, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    WIN32_FIND_DATAA found;
    DWORD got;
    *bytes = 0;
    QueryPerformanceCounter(&start);
    HANDLE search = FindFirstFileA((folder + "*").c_str(), &found);
    for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileA(search, &found)) {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        HANDLE file = CreateFileA((folder + found.cFileName).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_NO_BUFFERING | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
        while (ReadFile(file, block, 1 << 20, &got, nullptr) && got > 0) *bytes += got;
        CloseHandle(file);
    }
    FindClose(search);
    double seconds = elapsed();
    VirtualFree(block, 0, MEM_RELEASE);
    return seconds;
}

// CryptoAPI's SHA-256 of bytes in memory, in the read-back's 1 MiB blocks: what it adds to reading.
static double time_hash(long long bytes)
{
    std::vector<BYTE> block(1 << 20, 0x5a);
    HCRYPTPROV provider;
    HCRYPTHASH hash;
    BYTE digest[32];
    DWORD size = sizeof digest;
    QueryPerformanceCounter(&start);
    if (!CryptAcquireContextA(&provider, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT) ||
        !CryptCreateHash(provider, CALG_SHA_256, 0, 0, &hash))
        return failed("no SHA-256 from CryptoAPI");
    for (long long left = bytes; left > 0; left -= (long long)block.size())
        CryptHashData(hash, block.data(), (DWORD)(left < (long long)block.size() ? left : block.size()), 0);
    CryptGetHashParam(hash, HP_HASHVAL, digest, &size, 0);
    double seconds = elapsed();
    CryptDestroyHash(hash);
    CryptReleaseContext(provider, 0);
    return seconds;
}

// Runs a tool of the installer's folder with one of its outputs captured, as the installer does;
// its exit code.
static DWORD run_tool(const char *tool, std::string line, int capture_stderr, std::string *output = nullptr)
{
    PROCESS_INFORMATION process;
    char *text = read_all(run_captured((folder + tool).c_str(), &line[0], &process, capture_stderr));
    if (output) *output = text;
    HeapFree(GetProcessHeap(), 0, text);
    DWORD code = finish_child(&process);
    if (trace) trace_step(line);
    return code;
}

static double time_direct(const std::string &image, bool sha256)
{
    std::string output, line = "\"" + folder + "7z.exe\" e -y " + (sha256 ? "-scrcSHA256 " : "") + "-o" + drive +
                                ":\\direct\\ \"" + image + "\"";
    line += " vmlinuz initrd.gz *.sfs";
    QueryPerformanceCounter(&start);
    DWORD code = run_tool("7z.exe", line, 0, &output);
    double seconds = elapsed();
    return code == 0 ? seconds : failed("7z e failed (" + std::to_string(code) + "):\n" + output);
}

static double time_tools(const std::string &image)
{
    char command[1024], target[1024];
    std::string listing, root = std::string(1, drive) + ":\\";
    std::vector<std::pair<std::string, long long>> files;
    bool fixed = GetDriveTypeA(root.c_str()) == DRIVE_FIXED, ok = true;
    QueryPerformanceCounter(&start);
    listing_command(command, image.c_str());
    ok = run_tool("7z.exe", command, 0, &listing) == 0;
    snprintf(command, sizeof command, "chkdsk %c:", drive);
    char chkdsk[MAX_PATH];
    GetSystemDirectoryA(chkdsk, sizeof chkdsk);
    ok = run_and_wait((std::string(chkdsk) + "\\chkdsk.exe").c_str(), command) == 0 && ok;
    if (trace) trace_step(command);
    listing_cursor cursor;
    listing_file file;
    listing_begin(&cursor, &listing[0]);
    while (listing_next(&cursor, &file)) {
        files.push_back({file.name, file.size});
        extraction_command(command, drive, image.c_str(), file.name);
        ok = run_tool("7z.exe", command, 0) == 0 && ok;
    }
    if (fixed) {
        ok = CopyFileA((folder + "grldr").c_str(), "C:\\GRLDR", FALSE) && ok;
        if (trace) trace_step("copy grldr C:\\GRLDR");
    } else {
        ok = CopyFileA((folder + "syslinux.cfg").c_str(), (root + "syslinux.cfg").c_str(), FALSE) && ok;
        snprintf(command, sizeof command, "syslinux -f %c:", drive);
        ok = run_tool("syslinux.exe", command, 1) == 0 && ok;
    }
    double seconds = elapsed();
    for (const auto &f : files) {
        extraction_target(target, drive, f.first.c_str());
        ok = file_size_of(target) == f.second && ok;
    }
    return ok && !files.empty() ? seconds : failed("a tool failed or a file has not its listed size");
}

int main(int argc, char **argv)
{
    if (argc < 4) {
        fprintf(stderr, "usage: install_bench install|direct|direct-sha256|tools|tools-console IMAGE DRIVE"
                        " [ENV_FILE]\n");
        return 2;
    }
    char self[MAX_PATH];
    folder.assign(self, GetModuleFileNameA(nullptr, self, sizeof self));
    folder.erase(folder.rfind('\\') + 1);
    std::string side = argv[1], image = argv[2];
    drive = (char)toupper((unsigned char)argv[3][0]);
    clean();
    // Started from the desktop, the installer has no console, and Windows makes one for each tool
    // it starts. Wine would hand it ours, which the tools would then share.
    if (side == "install" || side == "tools") FreeConsole();
    double seconds = side == "install"         ? time_installation(image, argc > 4 ? argv[4] : "")
                     : side == "direct"        ? time_direct(image, false)
                     : side == "direct-sha256" ? time_direct(image, true)
                     : side == "tools" || side == "tools-console" ? time_tools(image)
                                               : failed("unknown side " + side);
    long long bytes = 0;
    if (side == "install" && seconds >= 0) {
        double read = time_plain_read(&bytes), hash = time_hash(bytes);
        if (bytes == 0) seconds = failed("nothing read back under " + std::string(1, drive) + ":\\zerka\\");
        printf("read %.3f\nhash %.3f\n", read, hash);
    }
    clean();
    if (seconds < 0) return 1;
    printf("%s %.3f\n", side.c_str(), seconds);
    return 0;
}
