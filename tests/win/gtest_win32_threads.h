#pragma once
// MinGW's win32 thread model has no std::mutex, which gtest's Notification needs: this one waits
// on a Win32 event instead.
#ifdef __cplusplus
#include <windows.h>
namespace testing::internal {
struct Notification {
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ~Notification() { CloseHandle(event); }
    void Notify() { SetEvent(event); }
    void WaitForNotification() { WaitForSingleObject(event, INFINITE); }
};
}  // namespace testing::internal
#endif
