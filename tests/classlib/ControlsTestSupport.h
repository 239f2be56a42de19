#pragma once
// Shared by the tests of the windowed classes: message pumping, other threads that send or own
// windows, the exception recorder, pixels read back from a memory device context, and small
// controls that record what reaches them.
#include <windows.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "TestEnv.h"
#include "Controls.h"
#include "Forms.h"

namespace ctltest {

// Dispatches every waiting message of the thread (not through the application's loop).
inline void Pump() { testenv::PumpPending(); }

inline DWORD WINAPI RunFunction(void* f)
{
    (*static_cast<const std::function<void()>*>(f))();
    return 0;
}

// Runs f on a thread of its own; this thread handles only what it sends meanwhile.
inline void OnAnotherThread(const std::function<void()>& f)
{
    HANDLE thread = CreateThread(nullptr, 0, &RunFunction, const_cast<std::function<void()>*>(&f), 0, nullptr);
    MSG msg;
    while (MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_SENDMESSAGE) != WAIT_OBJECT_0)
        PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    CloseHandle(thread);
}

// Dispatches the messages of one number posted to the window, and nothing else.
inline void DispatchPosted(HWND window, UINT number)
{
    MSG msg;
    while (PeekMessageA(&msg, window, number, number, PM_REMOVE)) DispatchMessageA(&msg);
}

// What any program can do to a window: WM_NCDESTROY and WM_DESTROY sent from another thread and
// posted (the posted ones are dispatched here, nothing else).
inline void ForgeDestructionMessages(HWND window)
{
    OnAnotherThread([window] {
        SendMessageA(window, WM_NCDESTROY, 0, 0);
        SendMessageA(window, WM_DESTROY, 0, 0);
        PostMessageA(window, WM_NCDESTROY, 0, 0);
        PostMessageA(window, WM_DESTROY, 0, 0);
    });
    MSG msg;
    for (UINT number : {WM_NCDESTROY, WM_DESTROY}) {
        while (PeekMessageA(&msg, window, number, number, PM_REMOVE)) DispatchMessageA(&msg);
    }
}

// A shown top-level window made and served by a thread of its own, as another program's window
// is. Destroy has that thread destroy it while this thread pumps.
class ForeignWindow {
public:
    ForeignWindow()
    {
        ready_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        thread_ = CreateThread(nullptr, 0, &ForeignWindow::Run, this, 0, &threadId_);
        WaitForSingleObject(ready_, INFINITE);
    }
    ~ForeignWindow()
    {
        PostThreadMessageA(threadId_, WM_QUIT, 0, 0);
        testenv::PumpUntil([this] { return WaitForSingleObject(thread_, 0) == WAIT_OBJECT_0; });
        CloseHandle(thread_);
        CloseHandle(ready_);
    }
    void Destroy()
    {
        PostThreadMessageA(threadId_, WM_APP, 0, 0);
        testenv::PumpUntil([this] { return !IsWindow(window); });
    }
    HWND window = nullptr;

private:
    static DWORD WINAPI Run(void* p)
    {
        auto* self = static_cast<ForeignWindow*>(p);
        self->window = CreateWindowExA(0, "STATIC", "", WS_POPUP | WS_VISIBLE, 20, 100, 300, 24, nullptr, nullptr,
                                       nullptr, nullptr);
        MSG msg;
        PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);  // the queue exists before the test goes on
        SetEvent(self->ready_);
        while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
            if (!msg.hwnd && msg.message == WM_APP) DestroyWindow(self->window);
            else DispatchMessageA(&msg);
        }
        if (IsWindow(self->window)) DestroyWindow(self->window);
        return 0;
    }
    HANDLE ready_ = nullptr, thread_ = nullptr;
    DWORD threadId_ = 0;
};

// Records the exceptions that the application would show, instead of a blocking message box.
class ExceptionRecorder {
public:
    ExceptionRecorder()
    {
        previous_ = Application->SetExceptionDisplay([this](const std::string& message, const std::string& title) {
            messages.push_back(message);
            titles.push_back(title);
        });
    }
    ~ExceptionRecorder() { Application->SetExceptionDisplay(previous_); }
    std::vector<std::string> messages;
    std::vector<std::string> titles;

private:
    TApplication::TExceptionDisplay previous_;
};

// Counts the access violations raised in the test program's own code while it lives, handled or
// not: a fault in a window procedure that serves another thread's message is swallowed on the way
// back (the sender gets 0), so only this shows it.
class AccessViolationWatch {
public:
    AccessViolationWatch() : handler_(AddVectoredExceptionHandler(1, &Seen)) { count_ = 0; }
    ~AccessViolationWatch() { RemoveVectoredExceptionHandler(handler_); }
    AccessViolationWatch(const AccessViolationWatch&) = delete;
    AccessViolationWatch& operator=(const AccessViolationWatch&) = delete;
    static LONG Count() { return count_; }

private:
    static LONG CALLBACK Seen(EXCEPTION_POINTERS* e)
    {
        HMODULE module = nullptr;
        if (e->ExceptionRecord->ExceptionCode == EXCEPTION_ACCESS_VIOLATION &&
            GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                               static_cast<LPCWSTR>(e->ExceptionRecord->ExceptionAddress), &module) &&
            module == GetModuleHandleW(nullptr))
            InterlockedIncrement(&count_);
        return EXCEPTION_CONTINUE_SEARCH;
    }
    static inline LONG count_ = 0;
    void* handler_;
};

// A memory bitmap with its device context; pixels are compared after GetNearestColor.
class MemoryCanvas {
public:
    MemoryCanvas(int width, int height)
    {
        HDC screen = GetDC(nullptr);
        dc_ = CreateCompatibleDC(screen);
        bitmap_ = CreateCompatibleBitmap(screen, width, height);
        ReleaseDC(nullptr, screen);
        old_ = SelectObject(dc_, bitmap_);
        RECT r{0, 0, width, height};
        FillRect(dc_, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    }
    ~MemoryCanvas()
    {
        SelectObject(dc_, old_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    HDC Dc() const { return dc_; }
    COLORREF Pixel(int x, int y) const { return GetPixel(dc_, x, y); }
    COLORREF Nearest(COLORREF c) const { return GetNearestColor(dc_, c); }

private:
    HDC dc_;
    HBITMAP bitmap_;
    HGDIOBJ old_;
};

// A windowless control that fills its area with one colour and records its mouse calls.
class TProbeControl : public TGraphicControl {
    KERVO_CLASS(TProbeControl, TGraphicControl)
public:
    explicit TProbeControl(TComponent* owner) : TGraphicControl(owner) {}
    COLORREF fill = RGB(200, 0, 0);
    bool overpaint = false;  // fills far beyond its bounds (the clip must stop it)
    int paints = 0;
    std::vector<std::string> calls;

protected:
    static std::string Call(const char* what, int x, int y)
    {
        char text[64];
        std::snprintf(text, sizeof text, "%s %d,%d", what, x, y);
        return text;
    }
    void Paint() override
    {
        ++paints;
        HBRUSH b = CreateSolidBrush(fill);
        RECT r = overpaint ? RECT{-500, -500, 500, 500} : RECT{0, 0, Width(), Height()};
        FillRect(PaintDC(), &r, b);
        DeleteObject(b);
    }
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override
    {
        TGraphicControl::MouseDown(button, shift, x, y);
        calls.push_back(Call("down", x, y) + (shift.Contains(TShiftFlag::ssDouble) ? " dbl" : ""));
    }
    void MouseMove(TShiftState shift, int x, int y) override
    {
        TGraphicControl::MouseMove(shift, x, y);
        calls.push_back(Call("move", x, y));
    }
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override
    {
        TGraphicControl::MouseUp(button, shift, x, y);
        calls.push_back(Call("up", x, y));
    }
};

inline LPARAM Pos(int x, int y) { return MAKELPARAM(x, y); }

// Closes a modal form that a failing test would leave running: after a few seconds the form
// gets WM_CLOSE (ModalResult mrCancel). Disarmed when it goes out of scope.
class Deadline {
public:
    explicit Deadline(HWND form, UINT milliseconds = 4000)
    {
        Target() = form;
        id_ = SetTimer(nullptr, 0, milliseconds, &Deadline::Fire);
    }
    ~Deadline()
    {
        KillTimer(nullptr, id_);
        Target() = nullptr;
    }

private:
    static HWND& Target()
    {
        static HWND target = nullptr;
        return target;
    }
    static void CALLBACK Fire(HWND, UINT, UINT_PTR, DWORD)
    {
        if (Target()) PostMessageA(Target(), WM_CLOSE, 0, 0);
    }
    UINT_PTR id_;
};

}  // namespace ctltest
