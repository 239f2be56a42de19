// Any program can send or post a window WM_DESTROY or WM_NCDESTROY, and Windows passes them
// between threads and processes like any other message. Taken for the window's destruction, a
// forged one makes the class library forget a window that lives on (whose next paint is then
// never validated), makes a band form free itself under its own window, or takes the Unicode
// layer's procedure off a live window. Who sent the message cannot tell them apart: a real
// destruction reaches the window as a message from another thread when that thread destroys the
// window's parent, and arrives inside the handling of any message. What the system did to the
// window before it sends them can: DestroyWindow takes the window off the screen before its
// WM_DESTROY, and destroys its child windows before its WM_NCDESTROY. The class library and the
// Unicode layer ask this one test.
#include "Controls.h"

namespace {

// The window and every window above it up to the desktop are windows with WS_VISIBLE.
// IsWindowVisible is not enough: when another thread destroys a parent, it may free the parent
// while this thread still destroys the children, which then read as visible.
bool ShownWithItsParents(HWND window)
{
    const HWND desktop = GetDesktopWindow();
    for (HWND w = window; w != desktop; w = GetAncestor(w, GA_PARENT)) {
        if (!w || !IsWindow(w) || !(GetWindowLongPtrW(w, GWL_STYLE) & WS_VISIBLE)) return false;
    }
    return true;
}

// A child window of the window's own thread. Children of other threads are told to go and may
// still be there at the window's WM_NCDESTROY (Wine frees the parent first).
bool HasChildOfItsThread(HWND window)
{
    const DWORD thread = GetWindowThreadProcessId(window, nullptr);
    for (HWND c = GetWindow(window, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        if (GetWindowThreadProcessId(c, nullptr) == thread) return true;
    }
    return false;
}

}  // namespace

bool IsRealDestruction(HWND window, UINT message)
{
    if (ShownWithItsParents(window)) return false;
    return message != WM_NCDESTROY || !HasChildOfItsThread(window);
}
