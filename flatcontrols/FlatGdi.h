#pragma once
// Scoped GDI resources of the flat controls' paints, so that every object and device context a
// paint takes goes back also when a step fails.
#include <windows.h>

#include "Graphics.h"

namespace flatgdi {

// Lends a canvas a device context for a scope; the canvas's objects leave the context again.
class CanvasBinding {
public:
    CanvasBinding(TCanvas& canvas, HDC dc) : canvas_(canvas) { canvas_.SetHandle(dc); }
    ~CanvasBinding() { canvas_.SetHandle(nullptr); }
    CanvasBinding(const CanvasBinding&) = delete;
    CanvasBinding& operator=(const CanvasBinding&) = delete;

private:
    TCanvas& canvas_;
};

// GetDC or GetWindowDC of a window, released at the end of the scope.
class WindowDC {
public:
    WindowDC(HWND window, bool wholeWindow)
        : window_(window), dc_(wholeWindow ? GetWindowDC(window) : GetDC(window))
    {
        if (!dc_) RaiseLastOSError();
    }
    ~WindowDC() { ReleaseDC(window_, dc_); }
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;
    HDC Get() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

// A solid brush of a colour (system colours resolved), deleted at the end of the scope.
class SolidBrush {
public:
    explicit SolidBrush(TColor color) : brush_(CreateSolidBrush(ColorToRGB(color)))
    {
        if (!brush_) RaiseLastOSError();
    }
    ~SolidBrush() { DeleteObject(brush_); }
    SolidBrush(const SolidBrush&) = delete;
    SolidBrush& operator=(const SolidBrush&) = delete;
    HBRUSH Get() const { return brush_; }

private:
    HBRUSH brush_;
};

}  // namespace flatgdi
