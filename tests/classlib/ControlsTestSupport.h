#pragma once
// Shared by the tests of the windowed classes: message pumping, the exception recorder, pixels
// read back from a memory device context, and small controls that record what reaches them.
#include <windows.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "TestEnv.h"
#include "Controls.h"
#include "Forms.h"

namespace ctltest {

// Dispatches every waiting message of the thread (not through the application's loop).
inline void Pump() { testenv::PumpPending(); }

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
