// The library's per-process window machinery: the window classes it registers and removes at
// unload, the two window-property atoms that lead from a window to its control, the hand-off of
// the control being created to its window's first message, and the windowless control that holds
// the mouse. As Threading.h has it, the hand-off and the capture are per thread (each thread's
// creation must find its own control), and the classes and the atoms, shared by every thread,
// are made under a lock: every window class of the library, the controls' and the others', is
// registered here through RegisterWindowClass.
#include "Controls.h"
#include "Graphics.h"  // before windowsx.h, whose macros share its member names

#include <windowsx.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <mutex>

#include "Forms.h"
#include "ObjectInstance.h"
#include "Streams.h"
#include "SysUtils.h"

namespace {

thread_local TControl* captureControl = nullptr;
thread_local TWinControl* creationControl = nullptr;

// Module state that the unload step still uses: plain data, never destroyed before it. The
// atoms are made once, by the first thread to ask; the others wait for them under the lock, and
// read them without it once made is set.
struct AtomState {
    ATOM window = 0;
    ATOM control = 0;
    char windowName[32] = {};
    char controlName[48] = {};
    std::atomic<bool> made{false};
};
AtomState atoms;
// Over the atoms and the window classes.
std::mutex windowStateLock;

void MakeAtoms()
{
    if (atoms.made.load(std::memory_order_acquire)) return;
    std::lock_guard<std::mutex> guard(windowStateLock);
    if (atoms.made.load(std::memory_order_relaxed)) return;
    std::snprintf(atoms.windowName, sizeof atoms.windowName, "KervoWindow%08lX",
                  static_cast<unsigned long>(GetCurrentProcessId()));
    std::snprintf(atoms.controlName, sizeof atoms.controlName, "KervoControl%08lX%08lX",
                  static_cast<unsigned long>(reinterpret_cast<uintptr_t>(CurrentModuleInstance()) & 0xFFFFFFFFu),
                  static_cast<unsigned long>(GetCurrentThreadId()));
    atoms.window = GlobalAddAtomA(atoms.windowName);
    atoms.control = GlobalAddAtomA(atoms.controlName);
    if (!atoms.window || !atoms.control) RaiseLastOSError();
    atoms.made.store(true, std::memory_order_release);
}

std::vector<std::wstring>& RegisteredClassNames()
{
    // Never destroyed: the unload step reads it after the static objects are gone.
    static auto* names = new std::vector<std::wstring>;
    return *names;
}

// The ANSI and the wide calls, so that one routine registers classes of both kinds.
BOOL ClassInfo(const WNDCLASSA& c, WNDCLASSA* found) { return GetClassInfoA(c.hInstance, c.lpszClassName, found); }
BOOL ClassInfo(const WNDCLASSW& c, WNDCLASSW* found) { return GetClassInfoW(c.hInstance, c.lpszClassName, found); }
BOOL Unregister(const WNDCLASSA& c) { return UnregisterClassA(c.lpszClassName, c.hInstance); }
BOOL Unregister(const WNDCLASSW& c) { return UnregisterClassW(c.lpszClassName, c.hInstance); }
ATOM Register(const WNDCLASSA& c) { return RegisterClassA(&c); }
ATOM Register(const WNDCLASSW& c) { return RegisterClassW(&c); }
std::wstring NameOf(const WNDCLASSA& c) { return WideFromAnsi(c.lpszClassName); }
std::wstring NameOf(const WNDCLASSW& c) { return c.lpszClassName; }

// The check, the removal of a class with another procedure, the registration and the note for
// the unload step are one step for the other threads: two threads making their first window of a
// class must neither both register it nor remove it under each other.
template <class WindowClass>
void RegisterUnderLock(const WindowClass& windowClass, bool systemProcedure)
{
    std::lock_guard<std::mutex> guard(windowStateLock);
    WindowClass existing{};
    if (ClassInfo(windowClass, &existing)) {
        if (systemProcedure || existing.lpfnWndProc == windowClass.lpfnWndProc) return;
        if (!Unregister(windowClass)) RaiseLastOSError();
    }
    if (!Register(windowClass)) RaiseLastOSError();
    const std::wstring name = NameOf(windowClass);
    auto& names = RegisteredClassNames();
    if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
}


}  // namespace

// ---------------------------------------------------------------------------------------------
// Free functions

TShiftState KeysToShiftState(WPARAM keys)
{
    TShiftState s;
    if (keys & MK_SHIFT) s.Include(TShiftFlag::ssShift);
    if (keys & MK_CONTROL) s.Include(TShiftFlag::ssCtrl);
    if (keys & MK_LBUTTON) s.Include(TShiftFlag::ssLeft);
    if (keys & MK_RBUTTON) s.Include(TShiftFlag::ssRight);
    if (keys & MK_MBUTTON) s.Include(TShiftFlag::ssMiddle);
    if (GetKeyState(VK_MENU) < 0) s.Include(TShiftFlag::ssAlt);
    return s;
}

bool IsMouseMessage(UINT msg)
{
    return msg >= WM_MOUSEFIRST && msg <= WM_MBUTTONDBLCLK;
}

TShiftState KeyDataToShiftState(LPARAM keyData)
{
    TShiftState s;
    if (GetKeyState(VK_SHIFT) < 0) s.Include(TShiftFlag::ssShift);
    if (GetKeyState(VK_CONTROL) < 0) s.Include(TShiftFlag::ssCtrl);
    if (keyData & 0x20000000) s.Include(TShiftFlag::ssAlt);
    return s;
}

TControl* CaptureControl() { return captureControl; }

void ForgetCaptureControl() { captureControl = nullptr; }

void SetCaptureControl(TControl* control)
{
    ReleaseCapture();
    captureControl = nullptr;
    if (!control) return;
    if (auto* win = dynamic_cast<TWinControl*>(control)) {
        SetCapture(win->Handle());
        return;
    }
    if (!control->Parent()) return;
    captureControl = control;
    SetCapture(control->Parent()->Handle());
}

TWinControl* ControlBeingCreated() { return creationControl; }
void SetControlBeingCreated(TWinControl* control) { creationControl = control; }

ATOM WindowAtom()
{
    MakeAtoms();
    return atoms.window;
}

ATOM ControlAtom()
{
    MakeAtoms();
    return atoms.control;
}

std::string WindowAtomName()
{
    MakeAtoms();
    return atoms.windowName;
}

std::string ControlAtomName()
{
    MakeAtoms();
    return atoms.controlName;
}

TWinControl* FindControl(HWND window)
{
    if (!window || !atoms.made.load(std::memory_order_acquire)) return nullptr;
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != GetCurrentProcessId()) return nullptr;
    return static_cast<TWinControl*>(GetPropA(window, MAKEINTATOM(atoms.control)));
}

TWinControl* FindControlOrParent(HWND window)
{
    while (window) {
        if (TWinControl* control = FindControl(window)) return control;
        window = GetParent(window);
    }
    return nullptr;
}

TControl* FindControlAtScreenPos(POINT screenPos, bool allowDisabled)
{
    TWinControl* control = FindControlOrParent(WindowFromPoint(screenPos));
    if (!control) return nullptr;
    POINT p = screenPos;
    ::ScreenToClient(control->Handle(), &p);
    if (TControl* child = control->ControlAtPos(p, allowDisabled)) return child;
    return control;
}

void RegisterWindowClass(const WNDCLASSA& windowClass, bool systemProcedure)
{
    RegisterUnderLock(windowClass, systemProcedure);
}

void RegisterWindowClass(const WNDCLASSW& windowClass, bool systemProcedure)
{
    RegisterUnderLock(windowClass, systemProcedure);
}

void RegisterControlWindowClass(TCreateParams& params)
{
    params.WindowClass.lpfnWndProc = StandardInitWndProc;
    params.WindowClass.lpszClassName = params.WinClassName;
    RegisterWindowClass(params.WindowClass);
}

void UnregisterWindowClasses()
{
    // Held now, the lock belongs to a thread that the process's end cut off inside a
    // registration (a library that is freed has no band left on any thread): the classes and
    // atoms go with the process, and waiting would hang its exit.
    std::unique_lock<std::mutex> guard(windowStateLock, std::try_to_lock);
    if (!guard.owns_lock()) return;
    for (const std::wstring& name : RegisteredClassNames()) UnregisterClassW(name.c_str(), CurrentModuleInstance());
    RegisteredClassNames().clear();
    if (atoms.made.load(std::memory_order_relaxed)) {
        GlobalDeleteAtom(atoms.window);
        GlobalDeleteAtom(atoms.control);
        atoms.window = atoms.control = 0;
        atoms.windowName[0] = atoms.controlName[0] = '\0';
        atoms.made.store(false, std::memory_order_release);
    }
}

LRESULT CALLBACK StandardInitWndProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam)
{
    try {
        TWinControl* control = creationControl;
        if (!control) return DefWindowProcA(window, msg, wParam, lParam);
        control->handle_ = window;
        SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(control->objectInstance_));
        if ((GetWindowLongPtrA(window, GWL_STYLE) & WS_CHILD) && GetWindowLongPtrA(window, GWLP_ID) == 0) {
            SetWindowLongPtrA(window, GWLP_ID, reinterpret_cast<LONG_PTR>(window));
        }
        SetPropA(window, MAKEINTATOM(ControlAtom()), control);
        SetPropA(window, MAKEINTATOM(WindowAtom()), control);
        creationControl = nullptr;
        return CallWindowProcA(control->objectInstance_, window, msg, wParam, lParam);
    } catch (...) {
        Application->HandleException(nullptr, std::current_exception());
        return 0;
    }
}

TCustomForm* GetParentForm(TControl* control)
{
    if (!control) return nullptr;
    TControl* top = control->TopParent();
    return IsInstance<TCustomForm>(top) ? static_cast<TCustomForm*>(top) : nullptr;
}
