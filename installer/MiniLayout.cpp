// Position, size, styles and the big icon of window objects. Each works on the object alone
// before its window exists and on the window at once afterwards.
#include "miniwin.h"

namespace miniwin {

namespace {

bool HasWindow(const TMiniControl* obj) { return obj->Handle && !obj->WindowDestroyed; }

}  // namespace

RECT GetBounds(TMiniControl* obj)
{
    if (HasWindow(obj)) {
        RECT r;
        GetWindowRect(obj->Handle, &r);
        if (obj->IsControl && obj->Parent && HasWindow(obj->Parent)) {
            POINT origin{0, 0};
            ClientToScreen(obj->Parent->Handle, &origin);
            OffsetRect(&r, -origin.x, -origin.y);
        }
        obj->Bounds = r;
    }
    return obj->Bounds;
}

void SetBounds(TMiniControl* obj, const RECT& r)
{
    const RECT current = GetBounds(obj);
    if (RectsEqual(current, r)) return;
    if (r.left != current.left) obj->LeftSet = true;
    if (r.top != current.top) obj->TopSet = true;
    obj->Bounds = r;
    if (HasWindow(obj)) {
        SetWindowPos(obj->Handle, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        Invalidate(obj);
    }
}

int Width(TMiniControl* obj)
{
    RECT r = GetBounds(obj);
    return r.right - r.left;
}

int Height(TMiniControl* obj)
{
    RECT r = GetBounds(obj);
    return r.bottom - r.top;
}

void SetLeft(TMiniControl* obj, int left)
{
    RECT r = GetBounds(obj);
    r.right = left + (r.right - r.left);
    r.left = left;
    SetBounds(obj, r);
}

void SetTop(TMiniControl* obj, int top)
{
    RECT r = GetBounds(obj);
    r.bottom = top + (r.bottom - r.top);
    r.top = top;
    SetBounds(obj, r);
}

void SetWidth(TMiniControl* obj, int width)
{
    RECT r = GetBounds(obj);
    r.right = r.left + width;
    SetBounds(obj, r);
}

void SetHeight(TMiniControl* obj, int height)
{
    RECT r = GetBounds(obj);
    r.bottom = r.top + height;
    SetBounds(obj, r);
}

void PlaceAt(TMiniControl* obj, int left, int top)
{
    SetLeft(obj, left);
    SetTop(obj, top);
}

void SizeTo(TMiniControl* obj, int width, int height)
{
    if (width > 0) SetWidth(obj, width);
    if (height > 0) SetHeight(obj, height);
}

RECT GetClientRect(TMiniControl* obj)
{
    RECT r;
    if (HWND wnd = GetWindowHandle(obj))
        ::GetClientRect(wnd, &r);
    else
        r = obj->Bounds;
    r.top += obj->ClientMargins.Top;
    r.bottom -= obj->ClientMargins.Bottom;
    r.left += obj->ClientMargins.Left;
    r.right -= obj->ClientMargins.Right;
    return r;
}

int ClientWidth(TMiniControl* obj)
{
    RECT r = GetClientRect(obj);
    return r.right - r.left;
}

int ClientHeight(TMiniControl* obj)
{
    RECT r = GetClientRect(obj);
    return r.bottom - r.top;
}

void SetClientWidth(TMiniControl* obj, int width)
{
    const int client = ClientWidth(obj);   // makes the window, so the frame is known
    SetWidth(obj, Width(obj) - client + width);
}

void SetClientHeight(TMiniControl* obj, int height)
{
    const int client = ClientHeight(obj);
    SetHeight(obj, Height(obj) - client + height);
}

void ClientSizeTo(TMiniControl* obj, int width, int height)
{
    if (width > 0) SetClientWidth(obj, width);
    if (height > 0) SetClientHeight(obj, height);
}

void CenterOnParentOrScreen(TMiniControl* obj)
{
    RECT area;
    if (obj->IsControl && obj->Parent)
        area = GetClientRect(obj->Parent);
    else
        area = RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    GetWindowHandle(obj);
    SetLeft(obj, (area.right - area.left - Width(obj)) >> 1);
    SetTop(obj, (area.bottom - area.top - Height(obj)) >> 1);
}

namespace {

void ApplyStyleLong(TMiniControl* obj, int index, DWORD value)
{
    if (!HasWindow(obj)) return;
    SetWindowLongA(obj->Handle, index, static_cast<LONG>(value));
    SetWindowPos(obj->Handle, nullptr, 0, 0, 0, 0,
                 SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    Invalidate(obj);
}

}  // namespace

void SetStyle(TMiniControl* obj, DWORD style)
{
    if (style == obj->Style) return;
    obj->Style = style;
    ApplyStyleLong(obj, GWL_STYLE, style);
}

void SetExStyle(TMiniControl* obj, DWORD style)
{
    if (style == obj->ExStyle) return;
    obj->ExStyle = style;
    ApplyStyleLong(obj, GWL_EXSTYLE, style);
}

void SetWindowIcon(TMiniControl* obj, HICON icon)
{
    if (icon == obj->BigIcon) return;
    obj->BigIcon = icon;
    if (!HasWindow(obj)) return;
    HICON send = icon == MiniNoIcon() ? nullptr : icon;
    auto previous = reinterpret_cast<HICON>(
        SendMessageA(obj->Handle, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(send)));
    if (previous && previous != send) DestroyIcon(previous);
}

void Invalidate(TMiniControl* obj)
{
    if (!AppletTerminated && HasWindow(obj)) InvalidateRect(obj->Handle, nullptr, TRUE);
}

}  // namespace miniwin
