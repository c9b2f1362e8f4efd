#pragma once
// MinGW's win32 thread model has no std::mutex or std::condition_variable, which gtest's
// Notification needs; this one waits on a Win32 event instead (gtest skips its own).
// Declared by hand: <windows.h> here would come before every file's own includes.
#ifdef __cplusplus
struct _SECURITY_ATTRIBUTES;
extern "C" {
__declspec(dllimport) void *__stdcall CreateEventA(struct _SECURITY_ATTRIBUTES *, int, int, const char *);
__declspec(dllimport) int __stdcall SetEvent(void *);
__declspec(dllimport) unsigned long __stdcall WaitForSingleObject(void *, unsigned long);
__declspec(dllimport) int __stdcall CloseHandle(void *);
}
namespace testing {
namespace internal {
class Notification {
public:
    Notification() : event_(CreateEventA(nullptr, 1, 0, nullptr)) {}
    Notification(const Notification &) = delete;
    Notification &operator=(const Notification &) = delete;
    ~Notification() { CloseHandle(event_); }
    void Notify() { SetEvent(event_); }
    void WaitForNotification() { WaitForSingleObject(event_, 0xFFFFFFFFul); }

private:
    void *event_;
};
}  // namespace internal
}  // namespace testing
#endif
