// The child process runner with real child processes under Wine: runner_child.exe does what
// its arguments say; runner_host.exe is a windowed program like the installer that runs one
// child through the runner (for the standard handles it passes on and the fatal endings).
#include <gtest/gtest.h>

#include <windows.h>

#include <string.h>

#include <string>
#include <vector>

#include "gui_driver.h"
#include "runner_pattern.h"
#include "tools/child_runner.h"

namespace {

// A child that hangs must fail the test, not the whole run.
const DWORD child_limit_ms = 120000;

std::string own_dir()
{
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
    std::string p(path, n);
    return p.substr(0, p.find_last_of('\\') + 1);
}

std::string child(const std::string &steps)
{
    return "\"" + own_dir() + "runner_child.exe\" " + steps;
}

std::string host(const std::string &arguments)
{
    return "\"" + own_dir() + "runner_host.exe\" " + arguments;
}

std::string pattern(size_t count, uint32_t seed = 0)
{
    std::string text(count, '\0');
    runner_pattern_fill(seed, 0, &text[0], count);
    return text;
}

std::string scratch_dir()
{
    static std::string dir;
    if (dir.empty()) {
        char temp[MAX_PATH];
        GetTempPathA(sizeof temp, temp);
        dir = std::string(temp) + "zerka-runner-" + std::to_string(GetCurrentProcessId()) + "\\";
        CreateDirectoryA(dir.c_str(), nullptr);
    }
    return dir;
}

std::string read_file(const std::string &path)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return "<missing>";
    std::string text;
    char buffer[4096];
    DWORD got;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0)
        text.append(buffer, got);
    CloseHandle(file);
    return text;
}

void write_file(const std::string &path, const std::string &content)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
    DWORD written = 0;
    if (!content.empty())
        WriteFile(file, content.data(), (DWORD)content.size(), &written, nullptr);
    CloseHandle(file);
    ASSERT_EQ(written, content.size());
}

// Waits for a child of the test (bounded) and returns its exit code; closes its handles.
DWORD finish_child(PROCESS_INFORMATION &process)
{
    DWORD waited = WaitForSingleObject(process.hProcess, child_limit_ms);
    if (waited != WAIT_OBJECT_0)
        TerminateProcess(process.hProcess, 99);
    EXPECT_EQ(waited, (DWORD)WAIT_OBJECT_0) << "the child did not end";
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeProcess(process.hProcess, &code));
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

struct captured_output {
    std::string text;
    SIZE_T block_size;
    DWORD exit_code;
};

captured_output capture(const std::string &steps, int capture_stderr = 0)
{
    std::string line = child(steps);
    PROCESS_INFORMATION process = {};
    HANDLE read_end = run_captured(&line[0], &process, capture_stderr);
    char *text = read_all(read_end);
    captured_output out;
    out.text = text;
    out.block_size = HeapSize(GetProcessHeap(), 0, text);
    HeapFree(GetProcessHeap(), 0, text);
    out.exit_code = finish_child(process);
    return out;
}

HANDLE make_event(const char *name)
{
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, name);
    EXPECT_NE(event, nullptr);
    return event;
}

// ---- What reaches the pipe, and what the other standard handles do ----

// Runs the host with its standard input, output and error on files of the test, and the
// host captures one of its child's streams.
struct host_run {
    std::string result;   // "exit=CODE\n" and the captured text
    std::string host_out; // what reached the host's own standard output
    std::string host_err; // and its standard error
    DWORD host_exit;
};

host_run run_host_with_files(const std::string &arguments, const std::string &input)
{
    std::string dir = scratch_dir();
    std::string in_path = dir + "host-in.txt", out_path = dir + "host-out.txt",
                err_path = dir + "host-err.txt", result_path = dir + "host-result.txt";
    write_file(in_path, input);
    DeleteFileA(result_path.c_str());
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE in = CreateFileA(in_path.c_str(), GENERIC_READ, FILE_SHARE_READ, &inherit, OPEN_EXISTING, 0, nullptr);
    HANDLE out = CreateFileA(out_path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
    HANDLE err = CreateFileA(err_path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
    EXPECT_NE(in, INVALID_HANDLE_VALUE);
    EXPECT_NE(out, INVALID_HANDLE_VALUE);
    EXPECT_NE(err, INVALID_HANDLE_VALUE);

    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in;
    startup.hStdOutput = out;
    startup.hStdError = err;
    std::string line = host("capture " + arguments.substr(0, arguments.find(' ')) + " \"" + result_path + "\"" +
                            arguments.substr(arguments.find(' ')));
    PROCESS_INFORMATION process = {};
    host_run run;
    run.host_exit = 0xDEAD;
    if (CreateProcessA(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process))
        run.host_exit = finish_child(process);
    else
        ADD_FAILURE() << "host not started: " << GetLastError();
    CloseHandle(in);
    CloseHandle(out);
    CloseHandle(err);
    run.result = read_file(result_path);
    run.host_out = read_file(out_path);
    run.host_err = read_file(err_path);
    return run;
}

TEST(RunCaptured, CapturesOneStreamAndLeavesTheOtherHandlesAsTheCallerGotThem)
{
    const std::string steps = " child say-out=OUT1 say-err=ERR1 copy-in say-out=OUT2 say-err=ERR2 exit=0";

    host_run out = run_host_with_files("0" + steps, "IN");
    EXPECT_EQ(out.host_exit, 0u);
    EXPECT_EQ(out.result, "exit=0\nOUT1INOUT2") << "standard output and input go to the pipe";
    EXPECT_EQ(out.host_err, "ERR1ERR2") << "standard error stays the caller's";
    EXPECT_EQ(out.host_out, "");

    for (const char *flag : {"1", "7"}) {
        host_run err = run_host_with_files(flag + steps, "IN");
        EXPECT_EQ(err.host_exit, 0u) << flag;
        EXPECT_EQ(err.result, "exit=0\nERR1ERR2") << flag;
        EXPECT_EQ(err.host_out, "OUT1INOUT2") << "output and input stay the caller's, flag " << flag;
        EXPECT_EQ(err.host_err, "") << flag;
    }
}

TEST(RunCaptured, ChildStartsHidden)
{
    // (dwFlags << 16) | wShowWindow as the child sees them.
    EXPECT_EQ(capture("startup-code").exit_code, (DWORD)((STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW) << 16 | SW_HIDE));
    std::string line = child("startup-code");
    EXPECT_EQ(run_and_wait(&line[0]), (DWORD)(STARTF_USESHOWWINDOW << 16 | SW_HIDE));
}

TEST(RunCaptured, ExitCodesComeBackWhole)
{
    for (DWORD code : {0ul, 3ul, 259ul + 1, 0xC0000005ul, 4000000000ul}) {
        captured_output out = capture("say-out=x exit=" + std::to_string(code));
        EXPECT_EQ(out.exit_code, code);
        EXPECT_EQ(out.text, "x");
    }
}

// A child whose reader has gone away must get a broken pipe, not wait for ever on a full one
// (which would also keep the files it writes open).
TEST(RunCaptured, ChildOfAClosedReadEndEnds)
{
    std::string line = child("out=4194304,3 exit=0");
    PROCESS_INFORMATION process = {};
    HANDLE read_end = run_captured(&line[0], &process, 0);
    CloseHandle(read_end);
    EXPECT_EQ(finish_child(process), 250u) << "the child's write fails once nobody can read";
}

// The command line's first token is found by the platform's search, which starts in the
// directory of the running program (the tools lie beside the installer), not in the
// current directory.
TEST(RunCaptured, FindsAToolBesideTheProgramByItsBareName)
{
    std::string dir = scratch_dir();
    std::string result = dir + "beside.txt";
    const struct {
        std::string arguments, expected;
    } cases[] = {{"capture 0 \"" + result + "\" runner_child say-out=found exit=7", "exit=7\nfound"},
                 {"wait \"" + result + "\" runner_child exit=7", "exit=7\n"}};
    for (const auto &c : cases) {
        DeleteFileA(result.c_str());
        PROCESS_INFORMATION host_process = start_program(host(c.arguments), {}, dir.c_str());
        ASSERT_NE(host_process.hProcess, nullptr);
        EXPECT_EQ(wait_exit(host_process, child_limit_ms), 0) << c.arguments;
        kill_program(host_process);
        EXPECT_EQ(read_file(result), c.expected) << c.arguments;
    }
}

// Paths and arguments are ANSI text in the system's code page (936 here).
TEST(RunCaptured, CommandLinesAreAnsiText)
{
    std::string folder = scratch_dir() + gbk("工具目录");
    CreateDirectoryA(folder.c_str(), nullptr);
    std::string program = folder + "\\runner_child.exe";
    ASSERT_TRUE(CopyFileA((own_dir() + "runner_child.exe").c_str(), program.c_str(), FALSE));

    std::string line = "\"" + program + "\" say-out=" + gbk("中文镜像") + " exit=5";
    PROCESS_INFORMATION process = {};
    char *text = read_all(run_captured(&line[0], &process, 0));
    EXPECT_EQ(std::string(text), gbk("中文镜像")) << utf8_of_gbk(text);
    HeapFree(GetProcessHeap(), 0, text);
    EXPECT_EQ(finish_child(process), 5u);

    line = "\"" + program + "\" exit=6";
    EXPECT_EQ(run_and_wait(&line[0]), 6u);
}

// ---- read_all ----

TEST(ReadAll, EmptyOutputIsAnEmptyTextInTheFirstBlock)
{
    captured_output out = capture("exit=0");
    EXPECT_EQ(out.text, "");
    EXPECT_EQ(out.block_size, 1024u);
}

TEST(ReadAll, BlockDoublesOnlyWhenTheTextAndItsEndDoNotFit)
{
    const struct {
        size_t bytes;
        const char *chunk;
        SIZE_T block;
    } cases[] = {{1023, "100", 1024}, {1023, "1", 1024}, {1024, "1000", 2048}, {2047, "0", 2048},
                 {2048, "511", 4096}, {5000, "3", 8192}};
    for (const auto &c : cases) {
        captured_output out = capture("chunk=" + std::string(c.chunk) + " out=" + std::to_string(c.bytes) + ",7");
        EXPECT_EQ(out.text.size(), c.bytes) << c.bytes << " in writes of " << c.chunk;
        EXPECT_TRUE(out.text == pattern(c.bytes, 7)) << c.bytes << " in writes of " << c.chunk;
        EXPECT_EQ(out.block_size, c.block) << c.bytes << " in writes of " << c.chunk;
    }
}

TEST(ReadAll, MegabytesArriveWholeAndExact)
{
    captured_output big = capture("chunk=65536 out=6000000,11 exit=3");
    EXPECT_EQ(big.exit_code, 3u);
    ASSERT_EQ(big.text.size(), 6000000u);
    EXPECT_TRUE(big.text == pattern(6000000, 11)) << "bytes differ";
    EXPECT_EQ(big.block_size, 8u << 20);

    // Odd write sizes never line up with the reads.
    captured_output odd = capture("chunk=777 out=300001,12");
    ASSERT_EQ(odd.text.size(), 300001u);
    EXPECT_TRUE(odd.text == pattern(300001, 12)) << "bytes differ";
    EXPECT_EQ(odd.block_size, 512u << 10);
}

TEST(ReadAll, ANulByteEndsTheTextForItsReaders)
{
    // The child cannot be told to write a NUL on its command line; a file read the same way
    // shows what read_all keeps of one.
    std::string path = scratch_dir() + "text-with-nul.bin";
    write_file(path, std::string("before\0after", 12));
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    char *text = read_all(file);
    EXPECT_STREQ(text, "before");
    EXPECT_EQ(memcmp(text, "before\0after\0", 13), 0) << "every byte read is kept";
    HeapFree(GetProcessHeap(), 0, text);
}

// A read of zero bytes ends the text like a broken pipe (a file at its end reads so).
TEST(ReadAll, ZeroByteReadEndsTheTextAndClosesTheHandle)
{
    std::string path = scratch_dir() + "zero-read.txt";
    std::string content = pattern(3000, 5);
    write_file(path, content);
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    char *text = read_all(file);
    EXPECT_TRUE(std::string(text) == content);
    EXPECT_EQ(HeapSize(GetProcessHeap(), 0, text), 4096u);
    HeapFree(GetProcessHeap(), 0, text);
    DWORD flags;
    EXPECT_FALSE(GetHandleInformation(file, &flags)) << "read_all closes what it read";
    // Closed, the file can be opened exclusively again.
    HANDLE again = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(again, INVALID_HANDLE_VALUE);
    CloseHandle(again);
}

// The text ends when every copy of the write end is closed: a child that closes its output
// early is still running when read_all returns, and output of a grandchild that outlives the
// child still belongs to the text.
TEST(ReadAll, EndsWhenTheLastWriterIsGoneNotWhenTheChildEnds)
{
    HANDLE go = make_event("zerka-runner-go");
    std::string line = child("say-out=early close-out wait-event=zerka-runner-go exit=9");
    PROCESS_INFORMATION process = {};
    char *text = read_all(run_captured(&line[0], &process, 0));
    EXPECT_STREQ(text, "early");
    HeapFree(GetProcessHeap(), 0, text);
    EXPECT_EQ(WaitForSingleObject(process.hProcess, 0), (DWORD)WAIT_TIMEOUT) << "the child is still waiting";
    SetEvent(go);
    EXPECT_EQ(finish_child(process), 9u);
    ResetEvent(go);

    line = child("say-out=A spawn wait-event=zerka-runner-go say-out=B exit=0");
    HANDLE read_end = run_captured(&line[0], &process, 0);
    ASSERT_EQ(WaitForSingleObject(process.hProcess, child_limit_ms), (DWORD)WAIT_OBJECT_0);
    SetEvent(go);  // only now, with the child gone, does the grandchild write
    text = read_all(read_end);
    EXPECT_STREQ(text, "AB");
    HeapFree(GetProcessHeap(), 0, text);
    EXPECT_EQ(finish_child(process), 0u);
    CloseHandle(go);
}

// ---- run_and_wait ----

TEST(RunAndWait, ReturnsTheExitCode)
{
    for (DWORD code : {0ul, 2ul, 3ul, 0xC0000005ul, 4000000000ul}) {
        std::string line = child("exit=" + std::to_string(code));
        EXPECT_EQ(run_and_wait(&line[0]), code);
    }
    // It waits: the child's last act is visible when it returns.
    std::string marker = scratch_dir() + "waited.txt";
    DeleteFileA(marker.c_str());
    std::string line = child("sleep=300 touch=\"" + marker + "\" exit=3");
    EXPECT_EQ(run_and_wait(&line[0]), 3u);
    EXPECT_NE(GetFileAttributesA(marker.c_str()), INVALID_FILE_ATTRIBUTES);
}

// run_captured hands the child our inheritable handles, run_and_wait does not.
TEST(RunAndWait, HandsNoHandlesToTheChild)
{
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE read_end, write_end;
    ASSERT_TRUE(CreatePipe(&read_end, &write_end, &inherit, 0));
    std::string probe = "write-handle=" + std::to_string((ULONG_PTR)write_end) + ",LEAK";

    std::string line = child(probe);
    EXPECT_EQ(run_and_wait(&line[0]), 0u);
    DWORD available = 99;
    ASSERT_TRUE(PeekNamedPipe(read_end, nullptr, 0, nullptr, &available, nullptr));
    EXPECT_EQ(available, 0u) << "run_and_wait's child wrote into our pipe";

    captured_output out = capture(probe);
    ASSERT_TRUE(PeekNamedPipe(read_end, nullptr, 0, nullptr, &available, nullptr));
    EXPECT_EQ(available, 4u) << "the probe itself must work";
    CloseHandle(read_end);
    CloseHandle(write_end);
}

// ---- file_size_of ----

TEST(FileSizeOf, MissingAndEmptyGiveZero)
{
    std::string dir = scratch_dir();
    EXPECT_EQ(file_size_of((dir + "no-such-file").c_str()), 0u);
    EXPECT_EQ(file_size_of((dir + "no-such-dir\\file").c_str()), 0u);
    write_file(dir + "empty.txt", "");
    EXPECT_EQ(file_size_of((dir + "empty.txt").c_str()), 0u);
    write_file(dir + "some.txt", pattern(12345));
    EXPECT_EQ(file_size_of((dir + "some.txt").c_str()), 12345u);
}

// The size of a file another program is writing and shares with nobody.
TEST(FileSizeOf, FollowsAGrowingFileHeldOpenByItsWriter)
{
    std::string path = scratch_dir() + "growing.bin";
    HANDLE writer = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    EXPECT_EQ(file_size_of(path.c_str()), 0u);
    std::string block = pattern(70000);
    DWORD total = 0;
    for (DWORD step : {1u, 999u, 70000u, 4096u}) {
        DWORD written = 0;
        ASSERT_TRUE(WriteFile(writer, block.data(), step, &written, nullptr));
        total += written;
        EXPECT_EQ(file_size_of(path.c_str()), total);
    }
    CloseHandle(writer);
    EXPECT_EQ(file_size_of(path.c_str()), total);
}

// Sizes past 4 GiB: only the low 32 bits count, and all ones there reads as unknown.
TEST(FileSizeOf, LargeFilesGiveTheirLow32Bits)
{
    const struct {
        ULONGLONG size;
        DWORD expected;
    } cases[] = {{0x100000005ull, 5}, {0x100000000ull, 0}, {0xFFFFFFFFull, 0}, {0x1FFFFFFFFull, 0},
                 {0xFFFFFFFEull, 0xFFFFFFFEu}};
    for (const auto &c : cases) {
        std::string path = scratch_dir() + "sparse.bin";
        HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        LONG high = (LONG)(c.size >> 32);
        SetFilePointer(file, (LONG)(DWORD)c.size, &high, FILE_BEGIN);
        ASSERT_TRUE(SetEndOfFile(file)) << std::hex << c.size;
        CloseHandle(file);
        EXPECT_EQ(file_size_of(path.c_str()), c.expected) << std::hex << c.size;
        DeleteFileA(path.c_str());
    }
}

// ---- the drain, for callers that poll the exit code instead of reading ----

DWORD poll_exit_code(PROCESS_INFORMATION &process)
{
    DWORD code = STILL_ACTIVE;
    DWORD start = GetTickCount();
    while (GetExitCodeProcess(process.hProcess, &code) && code == STILL_ACTIVE &&
           GetTickCount() - start < child_limit_ms)
        Sleep(20);
    return code;
}

TEST(OutputDrain, ChildWritingMegabytesFinishesWhileTheCallerOnlyPolls)
{
    std::string line = child("chunk=65536 out=4194304,21 exit=5");
    PROCESS_INFORMATION process = {};
    output_drain *drain = start_output_drain(run_captured(&line[0], &process, 0));
    DWORD code = poll_exit_code(process);
    EXPECT_EQ(code, 5u) << "the child must not block on a full pipe";
    if (code == STILL_ACTIVE)
        TerminateProcess(process.hProcess, 1);
    char *text = finish_output_drain(drain);
    EXPECT_EQ(strlen(text), 4194304u);
    EXPECT_TRUE(std::string(text) == pattern(4194304, 21)) << "bytes differ";
    EXPECT_EQ(HeapSize(GetProcessHeap(), 0, text), 8u << 20);
    HeapFree(GetProcessHeap(), 0, text);
    finish_child(process);
}

TEST(OutputDrain, EmptyOutputAndStderr)
{
    std::string line = child("say-out=ignored exit=1");
    PROCESS_INFORMATION process = {};
    output_drain *drain = start_output_drain(run_captured(&line[0], &process, 1));
    EXPECT_EQ(poll_exit_code(process), 1u);
    char *text = finish_output_drain(drain);
    EXPECT_STREQ(text, "");
    EXPECT_EQ(HeapSize(GetProcessHeap(), 0, text), 1024u);
    HeapFree(GetProcessHeap(), 0, text);
    finish_child(process);
}

// A stopped child: what it wrote before it was ended is all there.
TEST(OutputDrain, TerminatedChildLeavesWhatItWrote)
{
    HANDLE wrote = make_event("zerka-runner-wrote");
    HANDLE never = make_event("zerka-runner-never");
    std::string line = child("out=100000,4 set-event=zerka-runner-wrote wait-event=zerka-runner-never");
    PROCESS_INFORMATION process = {};
    output_drain *drain = start_output_drain(run_captured(&line[0], &process, 0));
    ASSERT_EQ(WaitForSingleObject(wrote, child_limit_ms), (DWORD)WAIT_OBJECT_0);
    ASSERT_TRUE(TerminateProcess(process.hProcess, 1));
    char *text = finish_output_drain(drain);
    EXPECT_TRUE(std::string(text) == pattern(100000, 4)) << "bytes differ";
    HeapFree(GetProcessHeap(), 0, text);
    EXPECT_EQ(finish_child(process), 1u);
    CloseHandle(wrote);
    CloseHandle(never);
}

// ---- endings of the process ----


// Expects the host to show the "Error" box with text, then to end with exit code 3.
void expect_fatal_box(const std::string &arguments, const std::string &text)
{
    PROCESS_INFORMATION process = start_program(host(arguments));
    ASSERT_NE(process.hProcess, nullptr);
    HWND box = wait_for_message_box(process.dwProcessId, nullptr);
    if (box == nullptr) {
        kill_program(process);
        FAIL() << "no box for " << arguments;
    }
    EXPECT_EQ(window_text(box), "Error");
    EXPECT_EQ(message_box_text(box), text) << utf8_of_gbk(message_box_text(box));
    dismiss_message_box(box);
    EXPECT_EQ(wait_exit(process), 3);
    kill_program(process);
}

TEST(RunnerFatal, MissingProgramShowsTheCreateProcessBoxAndEndsWith3)
{
    std::string result = scratch_dir() + "never-written.txt";
    DeleteFileA(result.c_str());
    std::string expected = "CreateProcess (2): " + system_text(2);
    expect_fatal_box("capture 0 \"" + result + "\" zerka-no-such-tool -y", expected);
    expect_fatal_box("capture 1 \"" + result + "\" C:\\zerka-no-such-dir\\syslinux.exe -f D:", expected);
    expect_fatal_box("wait \"" + result + "\" zerka-no-such-chkdsk D:", expected);
    EXPECT_EQ(GetFileAttributesA(result.c_str()), INVALID_FILE_ATTRIBUTES) << "no call returned";
}

TEST(RunnerFatal, ReadFailureShowsTheReadFileBoxAndEndsWith3)
{
    // The code that reading a handle opened for writing only gives here.
    std::string path = scratch_dir() + "write-only.txt";
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    char buffer[16];
    DWORD got;
    ASSERT_FALSE(ReadFile(file, buffer, sizeof buffer, &got, nullptr));
    DWORD code = GetLastError();
    CloseHandle(file);
    ASSERT_NE(code, (DWORD)ERROR_BROKEN_PIPE);
    std::string expected = "ReadFile (" + std::to_string(code) + "): " + system_text(code);
    expect_fatal_box("readfail \"" + path + "\"", expected);
    expect_fatal_box("readfail-drain \"" + path + "\"", expected);
}

// Output that cannot be held ends the process with 2 and no box; the host leaves itself room
// for a block of 8 MiB and no more.
TEST(RunnerFatal, OutputBeyondMemoryEndsWith2WithoutABox)
{
    const std::string steps = "nomem child wait-event=zerka-runner-room-ready chunk=65536 out=";
    PROCESS_INFORMATION fits = start_program(host(steps + "7000000"));
    EXPECT_EQ(wait_exit(fits, child_limit_ms), 0) << "7 MB fit in the room left";
    kill_program(fits);

    PROCESS_INFORMATION too_big = start_program(host(steps + "12000000"));
    EXPECT_EQ(wait_exit(too_big, child_limit_ms), 2);
    EXPECT_EQ(wait_for_message_box(too_big.dwProcessId, nullptr, 0), nullptr);
    kill_program(too_big);
}

}  // namespace
