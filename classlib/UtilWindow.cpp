#include "UtilWindow.h"

#include "Controls.h"
#include "ObjectInstance.h"
#include "Streams.h"
#include "SysUtils.h"

namespace {

const wchar_t kClassName[] = L"TKervoUtilWindow";

// Registered with the module's instance on first use, once for all threads (Threading.h), and
// unregistered when the module goes (the shell loads and unloads the band library): its procedure
// is DefWindowProcW, which lives in user32, so a class left behind by a previous load of the
// module never calls into code that is gone. Each window gets its object's procedure after
// creation.
void EnsureClass()
{
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = CurrentModuleInstance();
    wc.lpszClassName = kClassName;
    RegisterWindowClass(wc, true);
}

}  // namespace

HWND AllocateUtilWindow(const TWndMethod& method, bool messageOnly)
{
    EnsureClass();
    HWND window = CreateWindowExW(messageOnly ? 0 : WS_EX_TOOLWINDOW, kClassName, L"", WS_POPUP, 0, 0, 0, 0,
                                  messageOnly ? HWND_MESSAGE : nullptr, nullptr, CurrentModuleInstance(), nullptr);
    if (!window) RaiseLastOSError();
    WNDPROC stub = nullptr;
    try {
        stub = MakeObjectInstance(method);
    } catch (...) {
        DestroyWindow(window);
        throw;
    }
    SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(stub));
    return window;
}

void DeallocateUtilWindow(HWND window)
{
    if (!window) return;
    // The object may be on its way out: the window's last messages go to the default procedure.
    auto stub = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(DefWindowProcW)));
    DestroyWindow(window);
    if (stub && stub != DefWindowProcW) FreeObjectInstance(stub);
}
