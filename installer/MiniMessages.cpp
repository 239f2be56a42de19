// The layer's message machinery: the one window procedure every window shares, the central
// handler of a window object, attached hooks, the main window and the message loop.
#include "MiniInternal.h"

namespace miniwin {

TMiniControl* MainMiniWindow = nullptr;
bool AppletRunning = false;
bool AppletTerminated = false;
TMiniControl* CreatingObject = nullptr;
bool FocusChangeInProgress = false;
const char* const SelfProperty = "SELF_";

namespace {


bool RunMessageHook(const TMiniMessageHook& hook, MSG& msg, LRESULT& result)
{
    return hook.Code && hook.Code(hook.Object, msg, result);
}

}  // namespace

LRESULT CALLBACK MiniWindowProc(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    try {
        MSG msg{};
        msg.hwnd = wnd;
        msg.message = message;
        msg.wParam = wParam;
        msg.lParam = lParam;

        TMiniControl* obj = wnd ? static_cast<TMiniControl*>(GetPropA(wnd, SelfProperty)) : nullptr;
        // The first message of a window under creation binds it to its object. A window that
        // already has an object keeps it, and an object is bound to one window only.
        if (!obj && wnd && CreatingObject && !CreatingObject->Handle) {
            obj = CreatingObject;
            obj->Handle = wnd;
            SetPropA(wnd, SelfProperty, obj);
            CreatingObject = nullptr;
        }
        if (obj) return obj->WndProc(msg);
        if (MainMiniWindow) return MainMiniWindow->WndProc(msg);
        return DefWindowProcA(wnd, message, wParam, lParam);
    } catch (...) {
        // Nothing may unwind into the system's frames; the installer reports no errors.
        return 0;
    }
}

LRESULT CallDefaultProc(TMiniControl* obj, const MSG& msg)
{
    if (obj && obj->PrevWndProc)
        return CallWindowProcA(obj->PrevWndProc, msg.hwnd, msg.message, msg.wParam, msg.lParam);
    return DefWindowProcA(msg.hwnd, msg.message, msg.wParam, msg.lParam);
}

void AttachProc(TMiniControl* obj, TMiniHookProc hook, bool keepAfterQuit)
{
    if (!obj || !obj->Hooks || !hook) return;
    void* code = reinterpret_cast<void*>(hook);
    for (int i = 0; i + 1 < obj->Hooks->Count; i += 2)
        if (obj->Hooks->Item(i) == code) return;
    obj->Hooks->Add(code);
    obj->Hooks->Add(reinterpret_cast<void*>(static_cast<UINT_PTR>(keepAfterQuit ? 1 : 0)));
}

bool IsMainWindow(const TMiniControl* obj)
{
    if (!obj || obj->IsControl) return false;
    if (!obj->Parent) return true;
    const TMiniControl* parent = obj->Parent;
    if (parent->Parent) return false;
    return parent->Children && parent->Children->Count > 0 && parent->Children->Item(0) == obj;
}

LRESULT TMiniControl::WndProc(MSG& msg)
{
    LRESULT result = 0;

    // 1. The main window's message hook (dialog keys), then this object's own.
    if (AppletRunning && MainMiniWindow && MainMiniWindow != this &&
        RunMessageHook(MainMiniWindow->MessageHook, msg, result))
        return result;
    if (RunMessageHook(MessageHook, msg, result)) return result;

    // 2. Attached hooks, newest first, with the object kept alive while they run.
    if (Hooks && Hooks->Count > 0) {
        RefInc();
        bool handled = false;
        try {
            for (int i = Hooks->Count - 2; i >= 0; i -= 2) {
                if (!Hooks || i + 1 >= Hooks->Count) break;
                bool keep = Hooks->Item(i + 1) != nullptr;
                if (AppletTerminated && !keep) continue;
                auto hook = reinterpret_cast<TMiniHookProc>(Hooks->Item(i));
                if (hook(this, msg, result)) {
                    handled = true;
                    break;
                }
            }
        } catch (...) {
            RefDec();
            throw;
        }
        // Freed by a hook with no other reference left: this RefDec destroys it.
        bool freed = RefCount == 1;
        RefDec();
        if (freed || handled) return result;
    }

    const bool ownWindow = msg.hwnd == Handle;
    switch (msg.message) {
    case WM_CLOSE:
        if (IsMainWindow(this)) {
            if (MainMiniWindow && MainMiniWindow != this && MainMiniWindow->Handle)
                SendMessageA(MainMiniWindow->Handle, WM_CLOSE, 0, 0);
            PostQuitMessage(0);
            return 0;
        }
        return CallDefaultProc(this, msg);

    case WM_NCDESTROY:
        RemovePropA(msg.hwnd, SelfProperty);
        if (ownWindow) WindowDestroyed = true;
        // The window goes away because the object is being destroyed: the object finishes
        // its own destruction.
        if (destroyRunning_ || !ownWindow || this == MainMiniWindow)
            return CallDefaultProc(this, msg);
        if (IsMainWindow(this)) {
            PostMessageA(msg.hwnd, CM_DESTROYSELF, 0, 0);
            return CallDefaultProc(this, msg);
        }
        if (Parent && Parent == MainMiniWindow) {
            Free(this);
            return 0;
        }
        return CallDefaultProc(this, msg);

    case CM_DESTROYSELF:
        BeingDestroyed = true;
        Free(this);
        return 0;

    case WM_SIZE: {
        LRESULT r = CallDefaultProc(this, msg);
        SizeType = msg.wParam;
        return r;
    }

    case WM_SHOWWINDOW:
        if (msg.lParam == SW_PARENTCLOSING) {
            if (IsIconic(msg.hwnd))
                ShowAgain = SW_SHOWMINNOACTIVE;
            else if (IsZoomed(msg.hwnd))
                ShowAgain = SW_SHOWMAXIMIZED;
            else
                ShowAgain = SW_SHOWNOACTIVATE;
        } else if (msg.lParam == SW_PARENTOPENING && ShowAgain) {
            ShowWindow(msg.hwnd, ShowAgain);
            ShowAgain = 0;
            return 0;
        }
        return CallDefaultProc(this, msg);

    case WM_SYSCOMMAND:
        if ((msg.wParam & 0xFFF0) == SC_MINIMIZE && IsMainWindow(this) && MainMiniWindow &&
            MainMiniWindow != this && MainMiniWindow->Handle) {
            PostMessageA(MainMiniWindow->Handle, WM_SYSCOMMAND, msg.wParam, msg.lParam);
            return 0;
        }
        return CallDefaultProc(this, msg);

    case WM_SETFOCUS:
        if (Enabled && TabStop) {
            {
                LayerFocusChange mark;
                ::SetFocus(msg.hwnd);
            }
            return CallDefaultProc(this, msg);
        }
        return 0;

    case WM_SETCURSOR:
        if (LOWORD(msg.lParam) == HTCLIENT && !GetCapture()) {
            SetCursor(Cursor);
            return 1;
        }
        return CallDefaultProc(this, msg);

    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC: {
        // Each control of the layer answers its own colours.
        HWND child = reinterpret_cast<HWND>(msg.lParam);
        if (child && GetPropA(child, SelfProperty))
            return SendMessageA(child, msg.message + CN_COLORBASE, msg.wParam, msg.lParam);
        return CallDefaultProc(this, msg);
    }

    case WM_COMMAND: {
        HWND child = reinterpret_cast<HWND>(msg.lParam);
        if (child && GetPropA(child, SelfProperty))
            return SendMessageA(child, CM_COMMAND, msg.wParam, msg.lParam);
        return CallDefaultProc(this, msg);
    }

    default:
        break;
    }

    if (msg.message >= WM_KEYDOWN && msg.message <= 0x108) {
        if (::GetFocus() != msg.hwnd) return 0;
        if (GetKeyState(VK_CONTROL) < 0 || GetKeyState(VK_MENU) < 0) return CallDefaultProc(this, msg);
        if (msg.message == WM_CHAR && msg.wParam == VK_TAB) {
            msg.wParam = 0;
            return 0;
        }
        TMiniControl* form = ParentForm(this);
        if (form && form->TabKeyHandler &&
            form->TabKeyHandler(this, static_cast<UINT>(msg.wParam), msg.message != WM_KEYDOWN)) {
            msg.wParam = 0;
            return 0;
        }
        return CallDefaultProc(this, msg);
    }

    return CallDefaultProc(this, msg);
}

LRESULT Perform(TMiniControl* obj, UINT message, WPARAM wParam, LPARAM lParam)
{
    return SendMessageA(GetWindowHandle(obj), message, wParam, lParam);
}

void PostClose(TMiniControl* obj)
{
    if (obj && obj->Handle) PostMessageA(obj->Handle, WM_CLOSE, 0, 0);
}

bool PumpOneMessage(TMiniControl*)
{
    MSG m;
    if (!PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) return false;
    if (m.message == WM_QUIT) {
        AppletTerminated = true;
    } else {
        TranslateMessage(&m);
        DispatchMessageA(&m);
    }
    return m.message != 0;
}

void PumpMessages(TMiniControl* mainWindow)
{
    while (PumpOneMessage(mainWindow)) {}
}

void RunMainWindow(TMiniControl*& window)
{
    AppletRunning = true;
    MainMiniWindow = window;
    if (MainMiniWindow) MainMiniWindow->CreateWindow();

    while (!AppletTerminated) {
        WaitMessage();
        PumpMessages(MainMiniWindow);
    }

    const bool sawQuit = AppletTerminated;
    AppletTerminated = true;
    AppletRunning = false;
    TMiniControl* w = MainMiniWindow;
    MainMiniWindow = nullptr;
    if (w) {
        w->RefInc();
        if (!sawQuit) {
            PumpMessages(w);
            if (w->Handle && !w->WindowDestroyed) SendMessageA(w->Handle, WM_CLOSE, 0, 0);
        }
    }
    window = nullptr;
    if (w) {
        Free(w);
        w->RefDec();
    }
}

bool FormHook(TMiniControl* self, MSG& msg, LRESULT& result)
{
    if (msg.message == WM_ENDSESSION && msg.wParam) {
        AppletRunning = false;
        TMiniControl* w = MainMiniWindow;
        MainMiniWindow = nullptr;
        AppletTerminated = true;
        Free(w);
        ExitProcess(0);
    }
    if (msg.message == WM_SETFOCUS) {
        if (MainMiniWindow && MainMiniWindow != self) MainMiniWindow->CurrentControl = self;
        if (self->CurrentControl) {
            if (HWND h = GetWindowHandle(self->CurrentControl)) ::SetFocus(h);
            result = 0;
            return true;
        }
    }
    return false;
}

}  // namespace miniwin
