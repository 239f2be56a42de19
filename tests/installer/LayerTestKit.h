#pragma once
// What the window-layer tests share: a clean set of layer globals per test, the message pump,
// typed keys, wide texts in the system code page, and a recorder of what reaches a control's
// system window procedure.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "miniwin.h"

namespace kit {

inline std::string Ansi(const wchar_t* text)
{
    int n = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? static_cast<size_t>(n - 1) : 0, '\0');
    if (n > 1) WideCharToMultiByte(CP_ACP, 0, text, -1, out.data(), n, nullptr, nullptr);
    return out;
}

// Dispatches what is queued, the way the layer's loop does.
inline void Pump()
{
    for (int round = 0; round < 3; ++round) {
        miniwin::PumpMessages(nullptr);
        Sleep(1);
    }
}

inline LPARAM KeyLParam(UINT vk, bool up)
{
    LPARAM l = 1 | (static_cast<LPARAM>(MapVirtualKeyA(vk, 0)) << 16);
    if (up) l |= static_cast<LPARAM>(0xC0000000u);
    return l;
}

// A key typed on the focused window: down, dispatched, then up on whatever has the focus then.
inline void Type(UINT vk)
{
    PostMessageA(GetFocus(), WM_KEYDOWN, vk, KeyLParam(vk, false));
    Pump();
    PostMessageA(GetFocus(), WM_KEYUP, vk, KeyLParam(vk, true));
    Pump();
}

inline void TypeShifted(UINT vk)
{
    keybd_event(VK_SHIFT, 0, 0, 0);
    Pump();
    Type(vk);
    keybd_event(VK_SHIFT, 0, KEYEVENTF_KEYUP, 0);
    Pump();
}

// Puts a recorder between a control and its system window procedure: every message that the
// layer passes on as default processing is noted.
struct DefaultProcRecorder {
    static std::vector<MSG>& Seen()
    {
        static std::vector<MSG> seen;
        return seen;
    }
    static WNDPROC& Next()
    {
        static WNDPROC next = nullptr;
        return next;
    }
    static LRESULT CALLBACK Proc(HWND w, UINT m, WPARAM wp, LPARAM lp)
    {
        MSG msg{};
        msg.hwnd = w;
        msg.message = m;
        msg.wParam = wp;
        msg.lParam = lp;
        Seen().push_back(msg);
        return CallWindowProcA(Next(), w, m, wp, lp);
    }
    static void Install(miniwin::TMiniControl* control)
    {
        Next() = control->PrevWndProc;
        control->PrevWndProc = &Proc;
        Seen().clear();
    }
    static int Count(UINT message, WPARAM wParam)
    {
        int n = 0;
        for (const MSG& m : Seen())
            if (m.message == message && m.wParam == wParam) ++n;
        return n;
    }
};

// Every test starts from the layer's idle state and leaves it so.
class LayerTest : public testing::Test {
protected:
    void SetUp() override { ResetGlobals(); }
    void TearDown() override
    {
        Pump();
        ResetGlobals();
    }
    static void ResetGlobals()
    {
        miniwin::MainMiniWindow = nullptr;
        miniwin::AppletRunning = false;
        miniwin::AppletTerminated = false;
        miniwin::CreatingObject = nullptr;
        miniwin::FocusChangeInProgress = false;
    }
};

}  // namespace kit
