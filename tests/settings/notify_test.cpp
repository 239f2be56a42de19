// The reload walk over real windows: band forms are recognised by their class name at any depth
// below a top-level window, on this thread and on others; a band whose thread does not answer
// does not hold the walk.
#include <windows.h>
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "BandNotify.h"

namespace {

// WM_SETFOCUS count per window, written by the windows' own threads.
std::map<HWND, int>& Counts()
{
    static std::map<HWND, int> counts;
    return counts;
}
CRITICAL_SECTION& CountLock()
{
    static CRITICAL_SECTION lock = [] {
        CRITICAL_SECTION cs;
        InitializeCriticalSection(&cs);
        return cs;
    }();
    return lock;
}

LRESULT CALLBACK CountingProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_SETFOCUS && wParam == 0 && lParam == 0) {
        EnterCriticalSection(&CountLock());
        ++Counts()[window];
        LeaveCriticalSection(&CountLock());
        return 0;
    }
    return DefWindowProcA(window, msg, wParam, lParam);
}

int CountOf(HWND window)
{
    EnterCriticalSection(&CountLock());
    const int n = Counts()[window];
    LeaveCriticalSection(&CountLock());
    return n;
}

// Window classes of this test, registered once per name.
void RegisterTestClass(const char* name)
{
    WNDCLASSA wc{};
    if (GetClassInfoA(GetModuleHandleA(nullptr), name, &wc)) return;
    wc = WNDCLASSA{};
    wc.lpfnWndProc = CountingProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = name;
    ASSERT_TRUE(RegisterClassA(&wc)) << name;
}

HWND MakeWindow(const char* cls, HWND parent)
{
    return CreateWindowExA(0, cls, "", parent ? WS_CHILD : WS_OVERLAPPED, 0, 0, 50, 50, parent, nullptr,
                           GetModuleHandleA(nullptr), nullptr);
}

// A top-level window with a band form child on a thread of its own, which pumps its messages or,
// when told to hang, does not look at its queue until released.
struct BandThread {
    explicit BandThread(bool hang) : hang(hang)
    {
        ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        thread = CreateThread(nullptr, 0, &BandThread::Run, this, 0, nullptr);
        WaitForSingleObject(ready, 10000);
    }
    ~BandThread()
    {
        SetEvent(release);
        PostThreadMessageA(threadId, WM_QUIT, 0, 0);
        WaitForSingleObject(thread, 10000);
        CloseHandle(thread);
        CloseHandle(ready);
        CloseHandle(release);
    }
    static DWORD WINAPI Run(LPVOID p)
    {
        auto* self = static_cast<BandThread*>(p);
        self->threadId = GetCurrentThreadId();
        self->top = MakeWindow("KervoTestShell", nullptr);
        self->band = MakeWindow("TquormelForm", MakeWindow("KervoTestShell", self->top));
        MSG msg;
        PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);  // the queue exists before the test goes on
        SetEvent(self->ready);
        if (self->hang) WaitForSingleObject(self->release, 30000);
        while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
        DestroyWindow(self->top);
        return 0;
    }
    bool hang;
    HANDLE ready, release, thread;
    DWORD threadId = 0;
    HWND top = nullptr, band = nullptr;
};

TEST(NotifyBands, BandFormsAtAnyDepthGetOneSetFocusAndNothingElseDoes)
{
    // Class names compare with regard to case, but window classes do not: the lower-case class
    // has the stage to itself first.
    RegisterTestClass("KervoTestShell");
    UnregisterClassA("TquormelForm", GetModuleHandleA(nullptr));
    RegisterTestClass("tquormelform");
    HWND top = MakeWindow("KervoTestShell", nullptr);
    HWND otherCase = MakeWindow("tquormelform", top);
    NotifyRunningBands();
    EXPECT_EQ(CountOf(otherCase), 0);
    DestroyWindow(top);
    ASSERT_TRUE(UnregisterClassA("tquormelform", GetModuleHandleA(nullptr)));

    RegisterTestClass("TquormelForm");
    RegisterTestClass("TquormelFormOfALongerName");
    top = MakeWindow("KervoTestShell", nullptr);
    HWND direct = MakeWindow("TquormelForm", top);
    HWND middle = MakeWindow("KervoTestShell", top);
    HWND deep = MakeWindow("TquormelForm", MakeWindow("KervoTestShell", middle));
    HWND longer = MakeWindow("TquormelFormOfALongerName", middle);
    HWND topLevelBand = MakeWindow("TquormelForm", nullptr);
    HWND bandsChild = MakeWindow("TquormelForm", direct);  // a band form below a band form counts too
    NotifyRunningBands();
    EXPECT_EQ(CountOf(direct), 1);
    EXPECT_EQ(CountOf(deep), 1);
    EXPECT_EQ(CountOf(longer), 1);
    EXPECT_EQ(CountOf(bandsChild), 1);
    EXPECT_EQ(CountOf(topLevelBand), 0);
    EXPECT_EQ(CountOf(top), 0);
    EXPECT_EQ(CountOf(middle), 0);
    DestroyWindow(top);
    DestroyWindow(topLevelBand);
}

TEST(NotifyBands, BandOnAnotherThreadReloadsBeforeTheWalkEndsAndAHungOneIsLeftBehind)
{
    RegisterTestClass("KervoTestShell");
    RegisterTestClass("TquormelForm");
    BandThread live(false);
    NotifyRunningBands();
    EXPECT_EQ(CountOf(live.band), 1);

    // Without the bound the walk would wait for this thread for good.
    BandThread hung(true);
    NotifyRunningBands(200);
    EXPECT_EQ(CountOf(hung.band), 0);
    EXPECT_EQ(CountOf(live.band), 2);
}

}  // namespace
