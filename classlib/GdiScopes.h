#pragma once
// What a paint or a measurement borrows from GDI, held for the length of a scope: a context (of
// a window or the screen, in memory, of a WM_PAINT), an object selected into a context, a
// context's saved state, an object made for the scope, a context lent to a canvas or to the
// object that paints. Each gives back what it took when the scope ends, also when an exception
// passes, so that no path leaks a GDI object or leaves a borrowed context changed. An object
// that a control keeps between paints (its background brush) is a member of the same kind, and
// its scope is the control's life. The class library and the controls built on it pair no GDI
// calls by hand but use these.
//
// A brush or a window's or the screen's context that GDI cannot give (its objects have run out)
// leaves the scope empty instead of raising: paints and measurements run on every invalidation,
// and a raise there would open an error box in the host for each one. They check and leave out
// what needs the missing object. What makes something that lasts (a bitmap, with its memory
// context) raises.
#include <windows.h>

#include <utility>

#include "Graphics.h"
#include "SysUtils.h"

// What every scope is: bound to the scope it was made in, never copied.
class TGdiScope {
public:
    TGdiScope(const TGdiScope&) = delete;
    TGdiScope& operator=(const TGdiScope&) = delete;

protected:
    TGdiScope() = default;
    ~TGdiScope() = default;
};

// A GDI object (bitmap, brush, pen) deleted at the end of the scope unless handed over with
// Release; Reset deletes it at once and holds the one given (or none) instead.
template <class Handle>
class TGdiObject : TGdiScope {
public:
    explicit TGdiObject(Handle handle = nullptr) : handle_(handle) {}
    ~TGdiObject() { Reset(); }
    Handle Get() const { return handle_; }
    Handle Release() { return std::exchange(handle_, nullptr); }
    void Reset(Handle handle = nullptr)
    {
        if (handle_) DeleteObject(handle_);
        handle_ = handle;
    }

private:
    Handle handle_;
};

// A solid brush of one colour, empty when it cannot be made: then it fills and frames nothing.
class TSolidBrush : public TGdiObject<HBRUSH> {
public:
    explicit TSolidBrush(COLORREF color) : TGdiObject(CreateSolidBrush(color)) {}
    void Fill(HDC dc, const RECT& rect) const
    {
        if (Get()) FillRect(dc, &rect, Get());
    }
    void Frame(HDC dc, const RECT& rect) const
    {
        if (Get()) FrameRect(dc, &rect, Get());
    }
};

// An object selected into a context; the object it replaced goes back at the end.
class TSelectedObject : TGdiScope {
public:
    TSelectedObject(HDC dc, HGDIOBJ object) : dc_(dc), old_(SelectObject(dc, object)) {}
    ~TSelectedObject()
    {
        if (old_) SelectObject(dc_, old_);
    }

private:
    HDC dc_;
    HGDIOBJ old_;
};

// The whole state of a context (selected objects, colours, modes, clipping, origin), put back
// at the end.
class TSavedDC : TGdiScope {
public:
    explicit TSavedDC(HDC dc) : dc_(dc), saved_(SaveDC(dc)) {}
    ~TSavedDC()
    {
        if (saved_) RestoreDC(dc_, saved_);
    }

private:
    HDC dc_;
    int saved_;
};

// Text and background colour of a context, put back at the end (a monochrome image takes them
// for its black and white).
class TDCColors : TGdiScope {
public:
    TDCColors(HDC dc, COLORREF text, COLORREF back)
        : dc_(dc), text_(SetTextColor(dc, text)), back_(SetBkColor(dc, back))
    {
    }
    ~TDCColors()
    {
        SetTextColor(dc_, text_);
        SetBkColor(dc_, back_);
    }

private:
    HDC dc_;
    COLORREF text_;
    COLORREF back_;
};

// GetDC (or with wholeWindow GetWindowDC) of a window, the screen's for none; released at the
// end. Get() is null when the system had no context to give.
class TWindowDC : TGdiScope {
public:
    explicit TWindowDC(HWND window, bool wholeWindow = false)
        : window_(window), dc_(wholeWindow ? GetWindowDC(window) : GetDC(window))
    {
    }
    ~TWindowDC()
    {
        if (dc_) ReleaseDC(window_, dc_);
    }
    HDC Get() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

// The screen's context with a font selected, for measuring text; Get() is null when there is
// no context (the measurement is left out).
class TMeasureDC : TGdiScope {
public:
    explicit TMeasureDC(HFONT font) : screen_(nullptr), font_(screen_.Get(), font) {}
    HDC Get() const { return screen_.Get(); }

private:
    TWindowDC screen_;
    TSelectedObject font_;
};

// A memory context compatible with the screen, with a bitmap selected when one is given;
// deleted at the end.
class TMemoryDC : TGdiScope {
public:
    explicit TMemoryDC(HBITMAP bitmap) : dc_(CreateCompatibleDC(nullptr))
    {
        if (!dc_) RaiseLastOSError();
        if (bitmap) old_ = SelectObject(dc_, bitmap);
    }
    ~TMemoryDC()
    {
        if (old_) SelectObject(dc_, old_);
        DeleteDC(dc_);
    }
    HDC Get() const { return dc_; }

private:
    HDC dc_;
    HGDIOBJ old_ = nullptr;
};

// The context of a WM_PAINT: the one given in wParam (printing, a parent painting its windowless
// children, tests) as it is, else BeginPaint's, ended at the end.
class TPaintDC : TGdiScope {
public:
    TPaintDC(HWND window, HDC given) : window_(window), dc_(given)
    {
        if (!dc_) {
            dc_ = BeginPaint(window_, &ps_);
            began_ = true;
        } else {
            GetClientRect(window_, &ps_.rcPaint);
        }
    }
    ~TPaintDC()
    {
        if (began_) EndPaint(window_, &ps_);
    }
    HDC Get() const { return dc_; }
    // The part to paint: BeginPaint's update rectangle, the whole client area of a given context.
    const RECT& Update() const { return ps_.rcPaint; }

private:
    HWND window_;
    HDC dc_;
    PAINTSTRUCT ps_{};
    bool began_ = false;
};

// A context lent to the object that paints (the member its paint reads) for the length of a call;
// the member is empty again at the end.
class TLentDC : TGdiScope {
public:
    TLentDC(HDC& holder, HDC dc) : holder_(holder) { holder_ = dc; }
    ~TLentDC() { holder_ = nullptr; }

private:
    HDC& holder_;
};

// A context lent to a canvas; the objects the canvas selected leave the context at the end.
class TCanvasBinding : TGdiScope {
public:
    TCanvasBinding(TCanvas& canvas, HDC dc) : canvas_(canvas) { canvas_.SetHandle(dc); }
    ~TCanvasBinding() { canvas_.SetHandle(nullptr); }

private:
    TCanvas& canvas_;
};
