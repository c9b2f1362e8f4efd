// The message table read back through the program's own lookup, and the error reporting.
#include "expected_messages.h"
#include "gui_driver.h"
#include "messages/messages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>
#include <string>

namespace {


std::string probe_path()
{
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string folder(path);
    return folder.substr(0, folder.rfind('\\')) + "\\messages_probe.exe";
}

struct probe_run {
    PROCESS_INFORMATION process;
    std::string caption, text;
    bool box_shown = false;
};

// Starts the probe, takes the box it shows (if any) and dismisses it.
probe_run run_probe(const std::string &arguments)
{
    probe_run run;
    run.process = start_program("\"" + probe_path() + "\" " + arguments);
    HWND box = wait_for_message_box(run.process.dwProcessId, nullptr, 5000);
    if (box != nullptr) {
        run.box_shown = true;
        run.caption = window_text(box);
        run.text = message_box_text(box);
        dismiss_message_box(box);
    }
    return run;
}

enum { claims_per_thread = 50000 };
unsigned long claims[2][claims_per_thread];

DWORD WINAPI claim_repeatedly(void *argument)
{
    unsigned long *mine = claims[(INT_PTR)argument];
    for (int i = 0; i < claims_per_thread; i++)
        mine[i] = claim_message_slot();
    return 0;
}

}  // namespace

TEST(MessageTable, EveryMessageReadsBackByteForByteInCodePage936)
{
    ASSERT_EQ(GetACP(), 936u);
    for (int id = 1; id <= 40; id++)
        EXPECT_EQ(load_message(id), gbk(expected_messages[id])) << "message " << id;
    // The line conventions the log is built on.
    std::string announcement = load_message(21), outcome = load_message(20);
    EXPECT_EQ((announcement + outcome).find("\r\n"), (announcement + outcome).size() - 2);
    char advice[256];
    snprintf(advice, sizeof advice, load_message(26), 'D');
    EXPECT_NE(std::string(advice).find("\r\n chkdsk /F /V D:\r\n"), std::string::npos);
    for (int id : {37, 38})
        EXPECT_EQ(std::string(load_message(id)).find('\n'), std::string::npos);
}

TEST(MessageTable, ALookupStaysValidForFifteenMoreAndIsReusedByTheSixteenth)
{
    const char *first = load_message(1);
    const std::string expected = gbk(expected_messages[1]);
    for (int i = 0; i < 15; i++)
        load_message(2);
    EXPECT_EQ(first, expected);
    EXPECT_EQ(load_message(2), first);  // the sixteenth lands in the same buffer
    EXPECT_EQ(first, gbk(expected_messages[2]));
}

TEST(MessageTable, TwoThreadsNeverClaimTheSameBuffer)
{
    HANDLE threads[2] = {CreateThread(nullptr, 0, claim_repeatedly, (void *)0, 0, nullptr),
                         CreateThread(nullptr, 0, claim_repeatedly, (void *)1, 0, nullptr)};
    WaitForMultipleObjects(2, threads, TRUE, INFINITE);
    CloseHandle(threads[0]);
    CloseHandle(threads[1]);
    std::vector<unsigned long> all(claims[0], claims[0] + claims_per_thread);
    all.insert(all.end(), claims[1], claims[1] + claims_per_thread);
    std::sort(all.begin(), all.end());
    EXPECT_EQ(std::adjacent_find(all.begin(), all.end()), all.end()) << "two lookups got the same claim";
    EXPECT_EQ(all.back() - all.front(), all.size() - 1);  // and none was skipped
    // Lookups go on from there through the same ring.
    const char *text = load_message(7);
    EXPECT_EQ(text, gbk(expected_messages[7]));
}

TEST(ErrorReporting, SystemTextKeepsItsLineBreakAndUnknownCodesGiveAnEmptyText)
{
    SetLastError(5);
    std::string text = last_error_text();
    EXPECT_EQ(text, system_text(5));
    ASSERT_GE(text.size(), 2u);
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
    EXPECT_EQ(GetLastError(), 5u);  // asking for the text does not lose the code
    SetLastError(0x2000ABCD);
    EXPECT_STREQ(last_error_text(), "");
}

TEST(ErrorReporting, BoxesNameTheCallTheCodeAndTheSystemText)
{
    probe_run report = run_probe("report 5 CreatePipe");
    ASSERT_TRUE(report.box_shown);
    EXPECT_EQ(report.caption, "Error");
    EXPECT_EQ(report.text, "CreatePipe (5): " + system_text(5));
    EXPECT_EQ(wait_exit(report.process), 0);  // the report alone does not end the program

    probe_run fatal = run_probe("fail 2 CreateProcess");
    ASSERT_TRUE(fatal.box_shown);
    EXPECT_EQ(fatal.text, "CreateProcess (2): " + system_text(2));
    EXPECT_EQ(wait_exit(fatal.process), 3);

    // A text longer than the buffer is cut, and still shown.
    probe_run long_name = run_probe("report 5 " + std::string(1500, 'N'));
    ASSERT_TRUE(long_name.box_shown);
    EXPECT_EQ(long_name.text, std::string(1023, 'N'));
    EXPECT_EQ(wait_exit(long_name.process), 0);
}

TEST(ErrorReporting, AMessageOutsideTheTableEndsTheProgramWithTheLoadStringBox)
{
    for (const char *id : {"41", "0", "-1"}) {
        probe_run run = run_probe(std::string("load ") + id);
        ASSERT_TRUE(run.box_shown) << id;
        EXPECT_EQ(run.caption, "Error");
        ASSERT_EQ(run.text.compare(0, 12, "LoadString ("), 0) << run.text;
        DWORD code = strtoul(run.text.c_str() + 12, nullptr, 10);
        EXPECT_EQ(run.text, "LoadString (" + std::to_string(code) + "): " + system_text(code));
        EXPECT_EQ(wait_exit(run.process), 3) << id;
    }
    probe_run valid = run_probe("load 40");
    EXPECT_FALSE(valid.box_shown);
    EXPECT_EQ(wait_exit(valid.process), 0);
}
