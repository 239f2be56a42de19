// Unicode windows for the class library's windowed controls.
//
// The class library talks to its windows in ANSI. Here a control's window is created with the wide
// functions from a wide window class of its own, and a trap is put around the class library's
// message handling: it answers the few messages whose meaning differs between ANSI and Unicode
// windows (text messages, characters, the notify format) and leaves everything else as the class
// library would have it. A trap serves every window its control has: it waits among the pending
// traps between one window's destruction and the next window's creation, and it carries the
// control's wide text across in the caption holder.
#include "WideControls.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <vector>

#include "Forms.h"
#include "ObjectInstance.h"
#include "Streams.h"
#include "SysUtils.h"
#include "WideClasses.h"
#include "WideCodePages.h"

bool LegacyImeCharMode = false;

namespace {

// Set when the unit's static state goes at the end of the process or library: from then on the
// traps answer 0 and reach nobody.
bool LayerShutDown = false;
struct ShutDownMarker {
    ~ShutDownMarker() { LayerShutDown = true; }
} shutDownMarker;

// Traps not attached to a window, waiting for their control's next window; searched from the end.
// They are not owned here: a trap leaves the list when it is freed. Never destroyed, so that
// controls freed late in an unload still find it. Every thread's controls keep their traps here,
// so the list is changed under pendingTrapsLock only (Threading.h); a trap itself belongs to its
// control's thread.
std::vector<TWinControlTrap*>& PendingTraps()
{
    static auto* traps = new std::vector<TWinControlTrap*>;
    return *traps;
}
std::mutex pendingTrapsLock;

void AddPendingTrap(TWinControlTrap* trap)
{
    std::lock_guard<std::mutex> guard(pendingTrapsLock);
    PendingTraps().push_back(trap);
}

void DropPendingTrap(TWinControlTrap* trap)
{
    std::lock_guard<std::mutex> guard(pendingTrapsLock);
    auto& traps = PendingTraps();
    traps.erase(std::remove(traps.begin(), traps.end(), trap), traps.end());
}

// The control whose window CreateUnicodeWindow is creating now. Per thread, as the class
// library's own creation record.
thread_local TWinControl* CreatingControl = nullptr;

// The pending trap of the control (taken out of the list), else a new one.
TWinControlTrap* TakeTrapFor(TWinControl* control)
{
    {
        std::lock_guard<std::mutex> guard(pendingTrapsLock);
        auto& traps = PendingTraps();
        for (auto it = traps.rbegin(); it != traps.rend(); ++it) {
            if ((*it)->Control() == control) {
                TWinControlTrap* trap = *it;
                traps.erase(std::next(it).base());
                return trap;
            }
        }
    }
    return new TWinControlTrap(control);
}

constexpr wchar_t UnicodeClassSuffix[] = L".UnicodeClass";

// Registers the control class's wide window class under this module (once, for every thread:
// Threading.h) and answers its name.
std::wstring RegisterUnicodeWindowClass(const TCreateParams& params, bool standardCreation)
{
    const std::string ansiName(params.WinClassName, strnlen(params.WinClassName, sizeof params.WinClassName));
    const std::wstring name = WideFromAnsi(ansiName) + UnicodeClassSuffix;
    const WNDCLASSA& a = params.WindowClass;
    WNDCLASSW w{};
    w.style = a.style;
    w.lpfnWndProc = standardCreation ? StandardInitWndProc : UnicodeInitWndProc;
    w.cbClsExtra = a.cbClsExtra;
    w.cbWndExtra = a.cbWndExtra;
    w.hInstance = CurrentModuleInstance();
    w.hIcon = a.hIcon;
    w.hCursor = a.hCursor;
    w.hbrBackground = a.hbrBackground;
    std::wstring menuName;
    if (IS_INTRESOURCE(a.lpszMenuName)) {
        w.lpszMenuName = reinterpret_cast<LPCWSTR>(a.lpszMenuName);
    } else {
        menuName = WideFromAnsi(a.lpszMenuName);
        w.lpszMenuName = menuName.c_str();
    }
    w.lpszClassName = name.c_str();
    RegisterWindowClass(w);
    return name;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Window creation

void CreateUnicodeWindow(TWinControl* control, const TCreateParams& params, const std::wstring& systemClassName,
                         bool standardCreation)
{
    if (!UnicodePlatform) {
        HWND window = CreateWindowExA(params.ExStyle, params.WinClassName, params.Caption.c_str(), params.Style,
                                      params.X, params.Y, params.Width, params.Height, params.WndParent, nullptr,
                                      params.WindowClass.hInstance, params.Param);
        if (!window) RaiseLastOSError();
        control->AttachHandle(window);
        return;
    }
    WNDPROC defaultProc = DefWindowProcW;
    if (!systemClassName.empty()) {
        WNDCLASSW system{};
        if (GetClassInfoW(params.WindowClass.hInstance, systemClassName.c_str(), &system) ||
            GetClassInfoW(nullptr, systemClassName.c_str(), &system)) {
            defaultProc = system.lpfnWndProc;
        }
    }
    control->SetDefWndProc(defaultProc);
    const std::wstring className = RegisterUnicodeWindowClass(params, standardCreation);

    CreatingControl = control;
    HWND window = CreateWindowExW(params.ExStyle, className.c_str(), nullptr, params.Style, params.X, params.Y,
                                  params.Width, params.Height, params.WndParent, nullptr, CurrentModuleInstance(),
                                  params.Param);
    const DWORD error = GetLastError();
    CreatingControl = nullptr;
    if (!window) RaiseLastOSError(error);
    control->AttachHandle(window);
    if (standardCreation) {
        // The class library's creation procedure installed its procedure as ANSI; writing it back
        // with the wide function makes the window Unicode.
        SetWindowLongPtrW(window, GWLP_WNDPROC, GetWindowLongPtrA(window, GWLP_WNDPROC));
    }
    SubClassUnicodeControl(control, params.Caption, standardCreation);
}

void SubClassUnicodeControl(TWinControl* control, const std::string& caption, bool standardCreation)
{
    if (!IsWindowUnicode(control->Handle())) {
        throw Exception(std::string("Unicode layer internal error: SubClassUnicodeControl.Control is not Unicode."));
    }
    TWinControlTrap* trap = TakeTrapFor(control);
    trap->SubclassWindow(caption);
    trap->standardCreation_ = standardCreation;
}

LRESULT CALLBACK UnicodeInitWndProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam)
{
    try {
        TWinControl* control = ControlBeingCreated();
        if (!control) return DefWindowProcW(window, msg, wParam, lParam);
        control->AttachHandle(window);
        TWinControlTrap* trap = TakeTrapFor(control);
        AddPendingTrap(trap);
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(trap->controlProcStub_));
        if ((GetWindowLongPtrW(window, GWL_STYLE) & WS_CHILD) && GetWindowLongPtrW(window, GWLP_ID) == 0) {
            SetWindowLongPtrW(window, GWLP_ID, reinterpret_cast<LONG_PTR>(window));
        }
        SetPropA(window, MAKEINTATOM(ControlAtom()), control);
        SetPropA(window, MAKEINTATOM(WindowAtom()), control);
        SetControlBeingCreated(nullptr);
        return CallWindowProcW(trap->controlProcStub_, window, msg, wParam, lParam);
    } catch (...) {
        SetControlBeingCreated(nullptr);
        if (Application) Application->HandleException(nullptr, std::current_exception());
        return 0;
    }
}

// ---------------------------------------------------------------------------------------------
// Message routines

LRESULT NotifyFormatAnswer(HWND window)
{
    if (!UnicodePlatform) return NFR_ANSI;
    if (IsWindowUnicode(window)) return NFR_UNICODE;
    if (CreatingControl && CreatingControl->HandleAllocated() && CreatingControl->Handle() == window) {
        return NFR_UNICODE;
    }
    return NFR_ANSI;
}

bool IsTextMessage(UINT msg)
{
    return msg == WM_SETTEXT || msg == WM_GETTEXT || msg == WM_GETTEXTLENGTH;
}

void PackCharForAnsi(TMessage& message)
{
    uint32_t w = static_cast<uint32_t>(message.WParam);
    if (LegacyImeCharMode && (w >> 16) != 0) w = ((w >> 16) << 8 | w) & 0xFFFF;
    if ((w & 0xFFFF) > 255) w = (w & 0xFFFF) << 16 | 0xFF;
    message.WParam = w;
}

void UnpackChar(TMessage& message)
{
    uint32_t w = static_cast<uint32_t>(message.WParam);
    if ((w >> 16) != 0 && (w & 0xFFFF) == 0xFF) w = w >> 16;
    message.WParam = w & 0xFFFF;
}

wchar_t CharOfCharMessage(const TMessage& message)
{
    const auto w = static_cast<uint32_t>(message.WParam);
    if ((w & 0xFFFF) == 0xFF && (w >> 16) != 0) return static_cast<wchar_t>(w >> 16);
    return static_cast<wchar_t>(w & 0xFFFF);
}

void SetCharOfCharMessage(TMessage& message, wchar_t ch)
{
    message.WParam = static_cast<uint16_t>(ch);
    PackCharForAnsi(message);
}

// ---------------------------------------------------------------------------------------------
// TWinControlTrap

KERVO_CLASS_RECORD(TWinControlTrap) {}

TWinControlTrap::TWinControlTrap(TComponent* control) : TComponent(nullptr)
{
    control_ = CheckedCast<TWinControl>(control);
    control_->FreeNotification(this);
    controlProcStub_ = WideMakeObjectInstance(TWndMethod::Bind<&TWinControl::MainWndProc>(control_));
    trapProcStub_ = WideMakeObjectInstance(TWndMethod::Bind<&TWinControlTrap::TrapWindowProc>(this));
    defaultProcStub_ = WideMakeObjectInstance(TWndMethod::Bind<&TWinControlTrap::TrapDefaultProc>(this));
}

TWinControlTrap::~TWinControlTrap()
{
    DropPendingTrap(this);
    WideFreeObjectInstance(controlProcStub_);
    WideFreeObjectInstance(trapProcStub_);
    WideFreeObjectInstance(defaultProcStub_);
}

void TWinControlTrap::ComponentNotification(TComponent* component, TOperation operation)
{
    TComponent::ComponentNotification(component, operation);
    if (operation != TOperation::Removal || !component || component != control_) return;
    control_ = nullptr;
    if (win32Depth_ == 0) {
        Free();
    } else {
        destroyPending_ = true;
    }
}

void TWinControlTrap::TrapWindowProc(TMessage& message)
{
    if (LayerShutDown) {
        message.Result = 0;
        return;
    }
    ++win32Depth_;
    try {
        if (message.Msg == WM_DESTROY || message.Msg == WM_NCDESTROY) DestructionMessage(message.Msg);
        lastWin32Msg_ = message.Msg;
        message.Result = CallWindowProcW(prevWindowProc_, handle_, message.Msg, message.WParam, message.LParam);
    } catch (...) {
        if (--win32Depth_ == 0 && destroyPending_) Free();
        throw;
    }
    if (--win32Depth_ == 0 && destroyPending_) Free();
}

void TWinControlTrap::TrapMessageHandler(TMessage& message)
{
    if (chainTestRunning_ && message.Msg == 0) chainTestFound_ = true;
    if (!control_) return;
    if (!control_->HandleAllocated()) {
        control_->HandleWindowMessage(message);
        return;
    }
    const bool cameThroughWindows = lastWin32Msg_ != 0;
    lastWin32Msg_ = 0;
    if (message.Msg == CM_HINTSHOW) PrepareWideHint(message);
    if (IsTextMessage(message.Msg) && !cameThroughWindows) {
        // ANSI data of the class library: Windows converts it on the way into the wide window.
        message.Result = SendMessageA(handle_, message.Msg, message.WParam, message.LParam);
        return;
    }
    if (message.Msg == WM_CHAR) PackCharForAnsi(message);
    prevHandler_(message);
}

void TWinControlTrap::TrapDefaultProc(TMessage& message)
{
    switch (message.Msg) {
    case WM_NOTIFYFORMAT:
        message.Result = NotifyFormatAnswer(reinterpret_cast<HWND>(message.WParam));
        return;
    case WM_CHAR:
        UnpackChar(message);
        break;
    case WM_IME_CHAR:
        if (LegacyImeCharMode) {
            wchar_t className[8] = {};
            GetClassNameW(handle_, className, 8);
            if (lstrcmpiW(className, L"EDIT") == 0 && control_ && GetParent(handle_) == control_->Handle()) {
                PostMessageW(handle_, WM_CHAR, message.WParam, message.LParam);
            } else {
                message.Result = SendMessageW(handle_, WM_CHAR, message.WParam, message.LParam);
            }
            return;
        }
        if (!XPOrLaterPlatform) {
            message.Result = SendMessageW(handle_, WM_CHAR, message.WParam, message.LParam);
            return;
        }
        break;
    default:
        break;
    }
    message.Result = CallWindowProcW(prevDefaultProc_, handle_, message.Msg, message.WParam, message.LParam);
}

void TWinControlTrap::SubclassWindow(const std::string& caption)
{
    handle_ = control_->Handle();
    prevWindowProc_ = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(handle_, GWLP_WNDPROC));
    prevDefaultProc_ = control_->DefWndProc();
    SetWindowLongPtrW(handle_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(trapProcStub_));
    control_->SetDefWndProc(defaultProcStub_);
    HookWindowProc();
    // A wide text kept while the control had no window wins over the ANSI caption it matches.
    SetWideControlText(control_, HeldWideText(control_, caption));
}

void TWinControlTrap::DestructionMessage(UINT msg)
{
    if (!control_ || !IsRealDestruction(handle_, msg)) return;
    if (msg == WM_NCDESTROY) {
        UnsubclassWindow();
    } else if (!control_->IsDestroying()) {
        // Kept for the control's next window. Read now, while the window still has its children
        // (a combo box's text is its edit's); a hidden window that lives on keeps its text anyway.
        StoreWideText(control_, GetWideControlText(control_));
    }
}

void TWinControlTrap::UnsubclassWindow()
{
    if (!control_) return;
    if (control_->WindowProc().Code() == TWndMethod::ProcedureOf<&TWinControlTrap::TrapMessageHandler>()) {
        control_->SetWindowProc(prevHandler_);
    }
    control_->SetDefWndProc(prevDefaultProc_);
    SetWindowLongPtrW(handle_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(prevWindowProc_));
    if (standardCreation_) {
        destroyPending_ = true;
    } else if (!control_->IsDestroying()) {
        AddPendingTrap(this);
    }
}

void TWinControlTrap::HookWindowProc()
{
    if (IsHandlerInChain()) return;
    prevHandler_ = control_->WindowProc();
    control_->SetWindowProc(TWndMethod::Bind<&TWinControlTrap::TrapMessageHandler>(this));
}

bool TWinControlTrap::IsHandlerInChain()
{
    const TWndMethod::Procedure head = control_->WindowProc().Code();
    if (head == control_->DefaultWindowProc().Code()) return false;
    if (head == TWndMethod::ProcedureOf<&TWinControlTrap::TrapMessageHandler>()) return true;
    chainTestRunning_ = true;
    chainTestFound_ = false;
    TMessage test{};
    try {
        control_->WindowProc()(test);
    } catch (...) {
        chainTestRunning_ = false;
        throw;
    }
    chainTestRunning_ = false;
    return chainTestFound_;
}
