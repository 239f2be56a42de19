// The windowed control: its window made on demand from its creation parameters, re-created when
// a style changes, its message handling with reflected commands, keys, focus and tab order, and
// the windowless children it hosts and paints. Also the windowless control base.
#include "Controls.h"
#include "Graphics.h"  // before windowsx.h, whose macros share its member names
#include "GdiScopes.h"

#include <windowsx.h>

#include <algorithm>
#include <cstring>

#include "Forms.h"
#include "ObjectInstance.h"
#include "Streams.h"

namespace {

// The control's part of a mouse message's position, relative to the control's top-left corner.
LPARAM MovedMousePos(LPARAM pos, int dx, int dy)
{
    const int x = GET_X_LPARAM(pos) - dx;
    const int y = GET_Y_LPARAM(pos) - dy;
    return MAKELPARAM(static_cast<WORD>(static_cast<short>(x)), static_cast<WORD>(static_cast<short>(y)));
}

// The structure that a system notification (WM_NOTIFY, WM_DRAWITEM, WM_MEASUREITEM) points to,
// when the control it names by its identifier (wParam) is a child of this window on this
// thread: that child's own notifications are read, inside another thread's send too. Any thread
// or program can send these with any values, and Windows passes WM_NOTIFY between processes
// unmarshalled: the structure is read only where this process can read it, and only when it
// names the same child.
template <class T>
T* NotificationData(const TMessage& message, HWND window, HWND& child)
{
    child = message.WParam ? GetDlgItem(window, static_cast<int>(message.WParam)) : nullptr;
    if (!child || GetWindowThreadProcessId(child, nullptr) != GetCurrentThreadId()) return nullptr;
    auto* data = reinterpret_cast<T*>(message.LParam);
    return IsReadableMemory(data, sizeof(T)) ? data : nullptr;
}

}  // namespace

KERVO_CLASS_RECORD(TWinControl)
{
    b.Integer("TabOrder", &TWinControl::TabOrder, &TWinControl::SetTabOrder).Default(-1);
    b.Boolean("TabStop", &TWinControl::TabStop, &TWinControl::SetTabStop).Default(false);
    b.Event("OnEnter", &TWinControl::OnEnter);
    b.Event("OnExit", &TWinControl::OnExit);
    b.Event("OnKeyDown", &TWinControl::OnKeyDown);
    b.Event("OnKeyPress", &TWinControl::OnKeyPress);
    b.Event("OnKeyUp", &TWinControl::OnKeyUp);
}

TWinControl::TWinControl(TComponent* owner) : TControl(owner)
{
    objectInstance_ = MakeObjectInstance(TWndMethod::Bind<&TWinControl::MainWndProc>(this));
}

TWinControl::~TWinControl()
{
    if (handle_) DestroyWindowHandle();
    FreeObjectInstance(objectInstance_);
}

void TWinControl::DestructionStarting()
{
    // Destroying from the start, so that what the window's destruction runs can tell it from a
    // re-creation.
    SetState(TComponentFlag::Destroying, true);
    if (TCustomForm* form = GetParentForm(this); form && form != this) form->DefocusControl(this, true);
    if (handle_) DestroyWindowHandle();
    // A parent frees its children, also those it does not own.
    while (!controls_.empty()) {
        TControl* child = controls_.back();
        child->Free();
        if (!controls_.empty() && controls_.back() == child) RemoveControl(child);
    }
    TControl::DestructionStarting();
}

HWND TWinControl::Handle()
{
    HandleNeeded();
    return handle_;
}

void TWinControl::HandleNeeded()
{
    if (handle_) return;
    if (Parent()) Parent()->HandleNeeded();
    if (handle_) return;
    AfterWindowCreated();
    // Siblings' windows stack in the order of the parent's list: the later ones above. A new
    // window is made at the top of its siblings, so it is mostly in place already; the move is
    // then left out (it would change nothing but tell the window it is being moved).
    if (Parent() && handle_) {
        HWND above = HWND_TOP;
        const auto& list = Parent()->controls_;
        for (auto it = std::find(list.begin(), list.end(), this); it != list.end(); ++it) {
            auto* win = dynamic_cast<TWinControl*>(*it);
            if (win && win != this && win->handle_) {
                above = win->handle_;
                break;
            }
        }
        const HWND wanted = above == HWND_TOP ? nullptr : above;
        if (GetWindow(handle_, GW_HWNDPREV) != wanted)
            SetWindowPos(handle_, above, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
}

void TWinControl::AdjustCreateParams(TCreateParams& params)
{
    const std::string& name = ClassName();
    const size_t n = std::min<size_t>(name.size(), sizeof params.WinClassName - 1);
    std::memcpy(params.WinClassName, name.data(), n);
    params.WinClassName[n] = '\0';
    params.Caption = TextField();
    params.Style = WS_CHILD | WS_CLIPSIBLINGS;
    if (ControlStyle().Contains(TControlStyleFlag::csAcceptsControls)) params.Style |= WS_CLIPCHILDREN;
    if (!Enabled()) params.Style |= WS_DISABLED;
    if (tabStop_) params.Style |= WS_TABSTOP;
    params.X = Left();
    params.Y = Top();
    params.Width = Width();
    params.Height = Height();
    params.WndParent = Parent() ? Parent()->handle_ : parentWindow_;
    params.WindowClass.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
    params.WindowClass.lpfnWndProc = DefWindowProcA;
    // The system's cursor, shared: the same handle for every window, never destroyed.
    static const HCURSOR arrow = LoadCursor(nullptr, IDC_ARROW);
    params.WindowClass.hCursor = arrow;
    params.WindowClass.hbrBackground = nullptr;
    params.WindowClass.hInstance = CurrentModuleInstance();
}

void TWinControl::CreateSubClass(TCreateParams& params, const char* systemClassName)
{
    const HINSTANCE instance = params.WindowClass.hInstance;
    if (!GetClassInfoA(instance, systemClassName, &params.WindowClass)) {
        GetClassInfoA(nullptr, systemClassName, &params.WindowClass);
    }
    params.WindowClass.hInstance = instance;
    params.WindowClass.style =
        (params.WindowClass.style & ~(CS_OWNDC | CS_CLASSDC | CS_PARENTDC | CS_GLOBALCLASS)) | CS_VREDRAW | CS_HREDRAW;
}

void TWinControl::MakeWindowHandle(const TCreateParams& params)
{
    HWND window = CreateWindowExA(params.ExStyle, params.WinClassName, params.Caption.c_str(), params.Style, params.X,
                                  params.Y, params.Width, params.Height, params.WndParent, nullptr,
                                  params.WindowClass.hInstance, params.Param);
    if (!window) RaiseLastOSError();
    handle_ = window;
}

void TWinControl::AfterWindowCreated()
{
    TCreateParams params;
    AdjustCreateParams(params);
    if ((params.Style & WS_CHILD) && !params.WndParent) {
        throw EComponentError(FormatText(L"コントロール '%s' には親ウィンドウがありません", {WideFromAnsi(Name())}));
    }
    defWndProc_ = params.WindowClass.lpfnWndProc;
    RegisterControlWindowClass(params);
    SetControlBeingCreated(this);
    try {
        MakeWindowHandle(params);
    } catch (...) {
        SetControlBeingCreated(nullptr);
        throw;
    }
    SetControlBeingCreated(nullptr);
    if (!handle_) RaiseLastOSError();
    UpdateBoundsFromWindow();
    SendMessageA(handle_, WM_SETFONT, reinterpret_cast<WPARAM>(FontHandle()), FALSE);
    CreateChildHandles();
}

void TWinControl::CreateChildHandles()
{
    for (TControl* c : std::vector<TControl*>(controls_)) {
        auto* win = dynamic_cast<TWinControl*>(c);
        if (win && win->Visible() && !win->IsReading()) win->HandleNeeded();
    }
}

void TWinControl::BeforeWindowDestroyed()
{
    TextField() = Text();
    DestroyWindowHandle();
}

void TWinControl::DestroyWindowHandle()
{
    if (!handle_) return;
    if (CaptureControl() && CaptureControl()->Parent() == this) ForgetCaptureControl();
    destroyingWindow_ = true;
    DestroyWindow(handle_);
    destroyingWindow_ = false;
    handle_ = nullptr;
}

void TWinControl::DestroyHandle()
{
    if (!handle_) return;
    for (TControl* c : controls_) {
        if (auto* win = dynamic_cast<TWinControl*>(c)) win->DestroyHandle();
    }
    BeforeWindowDestroyed();
    showing_ = false;
}

void TWinControl::RecreateWnd()
{
    if (!handle_) return;
    const bool wasFocused = Focused();
    recreating_ = true;
    try {
        DestroyHandle();
        UpdateControlState();
    } catch (...) {
        recreating_ = false;
        throw;
    }
    recreating_ = false;
    if (!handle_) HandleNeeded();
    if (wasFocused && handle_) ::SetFocus(handle_);
}

void TWinControl::UpdateControlState()
{
    TControl* c = this;
    while (c->Parent()) {
        c = c->Parent();
        if (!c->Showing()) {
            // Not shown yet: a window that exists keeps up with the visibility all the same.
            return;
        }
    }
    auto* top = dynamic_cast<TWinControl*>(c);
    if (IsInstance<TCustomForm>(c) || (top && top->parentWindow_)) UpdateShowing();
}

void TWinControl::UpdateShowing()
{
    const bool show = Visible() && !IsReading();
    if (show) {
        if (!handle_) HandleNeeded();
        for (TControl* c : std::vector<TControl*>(controls_)) {
            if (auto* win = dynamic_cast<TWinControl*>(c)) win->UpdateShowing();
        }
    }
    if (handle_ && showing_ != show) {
        showing_ = show;
        try {
            Perform(CM_SHOWINGCHANGED);
        } catch (...) {
            showing_ = !show;
            throw;
        }
    }
    if (!show) {
        for (TControl* c : std::vector<TControl*>(controls_)) {
            if (auto* win = dynamic_cast<TWinControl*>(c)) win->UpdateShowing();
        }
    }
}

bool TWinControl::Showing() const { return showing_; }

void TWinControl::SetParentWindow(HWND window)
{
    if (window == parentWindow_) return;
    if (Parent()) throw EComponentError(std::wstring(L"親コントロールのあるコントロールに親ウィンドウは設定できません"));
    parentWindow_ = window;
    if (handle_) RecreateWnd();
}

bool TWinControl::IsForgedDestruction(const TMessage& message) const
{
    if (message.Msg != WM_DESTROY && message.Msg != WM_NCDESTROY) return false;
    // The library's own DestroyWindow needs no test.
    return handle_ && !destroyingWindow_ && !IsRealDestruction(handle_, message.Msg);
}

void TWinControl::MainWndProc(TMessage& message)
{
    if (IsForgedDestruction(message)) return;
    DisarmLibraryMessageFromOutside(message);
    try {
        WindowProc()(message);
    } catch (...) {
        Application->HandleException(this, std::current_exception());
    }
}

void TWinControl::InsertControl(TControl* control)
{
    controls_.push_back(control);
    control->parent_ = this;
    if (auto* win = dynamic_cast<TWinControl*>(control)) tabList_.push_back(win);
    control->Perform(CM_PARENTCOLORCHANGED);
    control->Perform(CM_PARENTFONTCHANGED);
    control->Perform(CM_PARENTSHOWHINTCHANGED);
    if (auto* win = dynamic_cast<TWinControl*>(control)) {
        if (!control->IsLoading()) win->UpdateControlState();
    } else {
        control->Invalidate();
    }
}

void TWinControl::RemoveControl(TControl* control)
{
    if (auto* win = dynamic_cast<TWinControl*>(control)) {
        if (TCustomForm* form = GetParentForm(this)) form->DefocusControl(win, true);
        if (!win->IsDestroying()) win->DestroyHandle();
        tabList_.erase(std::remove(tabList_.begin(), tabList_.end(), win), tabList_.end());
    } else {
        control->Invalidate();
    }
    if (CaptureControl() == control) SetCaptureControl(nullptr);
    controls_.erase(std::remove(controls_.begin(), controls_.end(), control), controls_.end());
    control->parent_ = nullptr;
}

bool TWinControl::ContainsControl(TControl* control) const
{
    for (TControl* c = control; c; c = c->Parent()) {
        if (c == this) return true;
    }
    return false;
}

TControl* TWinControl::ControlAtPos(POINT p, bool allowDisabled, bool allowWinControls)
{
    for (auto it = controls_.rbegin(); it != controls_.rend(); ++it) {
        TControl* c = *it;
        const bool windowed = dynamic_cast<TWinControl*>(c) != nullptr;
        if (windowed && !allowWinControls) continue;
        if (!c->Visible() || (!c->Enabled() && !allowDisabled)) continue;
        const RECT r = c->BoundsRect();
        if (PtInRect(&r, p)) return c;
    }
    return nullptr;
}

bool TWinControl::RouteMouseToChild(TMessage& message)
{
    TControl* target = nullptr;
    if (handle_ && GetCapture() == handle_) {
        if (CaptureControl() && CaptureControl()->Parent() == this) target = CaptureControl();
    } else {
        target = ControlAtPos(POINT{GET_X_LPARAM(message.LParam), GET_Y_LPARAM(message.LParam)}, false);
    }
    if (!target) return false;
    message.Result = target->Perform(message.Msg, message.WParam,
                                     MovedMousePos(message.LParam, target->Left(), target->Top()));
    return true;
}

bool TWinControl::ReflectToChild(TMessage& message, HWND child)
{
    // A notification names its sender, and any program can name any window: only a window below
    // this one, on this thread, is asked.
    if (!child || !handle_ || !IsChild(handle_, child) || GetWindowThreadProcessId(child, nullptr) != GetCurrentThreadId())
        return false;
    TWinControl* control = FindControl(child);
    if (!control || control == this) return false;
    message.Result = control->Perform(CN_BASE + message.Msg, message.WParam, message.LParam);
    return true;
}

void TWinControl::HandleWindowMessage(TMessage& message)
{
    if (IsMouseMessage(message.Msg) && message.Msg != WM_MOUSEWHEEL && RouteMouseToChild(message)) return;
    switch (message.Msg) {
    case WM_SETFOCUS:
        if (TCustomForm* form = GetParentForm(this)) form->SetFocusedControl(this);
        DefaultHandler(message);
        break;
    case WM_KILLFOCUS:
        DefaultHandler(message);
        break;
    case WM_COMMAND:
        if (message.LParam == 0 || !ReflectToChild(message, reinterpret_cast<HWND>(message.LParam))) {
            DefaultHandler(message);
        }
        break;
    case WM_NOTIFY: {
        HWND child = nullptr;
        auto* header = NotificationData<NMHDR>(message, handle_, child);
        if (!header || header->hwndFrom != child || !ReflectToChild(message, child)) DefaultHandler(message);
        break;
    }
    case WM_DRAWITEM: {
        HWND child = nullptr;
        auto* item = NotificationData<DRAWITEMSTRUCT>(message, handle_, child);
        if (!item || item->CtlType == ODT_MENU || item->hwndItem != child || !ReflectToChild(message, child))
            DefaultHandler(message);
        break;
    }
    case WM_MEASUREITEM: {
        HWND child = nullptr;
        auto* item = NotificationData<MEASUREITEMSTRUCT>(message, handle_, child);
        if (!item || item->CtlType == ODT_MENU || item->CtlID != message.WParam || !ReflectToChild(message, child))
            DefaultHandler(message);
        break;
    }
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
        if (!ReflectToChild(message, reinterpret_cast<HWND>(message.LParam))) DefaultHandler(message);
        break;
    case CN_BASE + WM_CTLCOLORMSGBOX:
    case CN_CTLCOLOREDIT:
    case CN_CTLCOLORLISTBOX:
    case CN_CTLCOLORBTN:
    case CN_BASE + WM_CTLCOLORDLG:
    case CN_BASE + WM_CTLCOLORSCROLLBAR:
    case CN_CTLCOLORSTATIC:
        ColorChildMessage(message);
        break;
    case WM_ERASEBKGND:
        EraseBackgroundMessage(message);
        break;
    case WM_PAINT:
        if (ControlCount() > 0) PaintHandler(message);
        else DefaultHandler(message);
        break;
    case WM_CONTEXTMENU:
        ContextMenuMessage(message);
        break;
    case WM_WINDOWPOSCHANGING:
        PositionChangingMessage(message);
        break;
    case WM_WINDOWPOSCHANGED:
        DefaultHandler(message);
        UpdateBoundsFromWindow();
        break;
    case WM_SIZE:
        SizeMessage(message);
        break;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        if (!DoKeyDown(message)) DefaultHandler(message);
        break;
    case WM_KEYUP:
    case WM_SYSKEYUP:
        if (!DoKeyUp(message)) DefaultHandler(message);
        break;
    case WM_CHAR:
        if (!DoKeyPress(message)) DefaultHandler(message);
        break;
    case CN_KEYDOWN:
    case CN_SYSKEYDOWN:
        ChildKeyDownMessage(message);
        break;
    case CN_SYSCHAR:
        ChildSysCharMessage(message);
        break;
    case CM_DIALOGKEY:
    case CM_DIALOGCHAR:
    case CM_FOCUSCHANGED:
        Broadcast(message);
        break;
    case CM_ENTER:
        if (OnEnter) OnEnter(this);
        break;
    case CM_EXIT:
        if (OnExit) OnExit(this);
        break;
    case CM_SHOWINGCHANGED:
        // A window made visible by its own styles is shown already (a band form's is on its site
        // before the shell shows the form): shown again, it would be told of a move for nothing.
        if (handle_ && ((GetWindowLongPtrA(handle_, GWL_STYLE) & WS_VISIBLE) != 0) != showing_) {
            SetWindowPos(handle_, nullptr, 0, 0, 0, 0,
                         (showing_ ? SWP_SHOWWINDOW : SWP_HIDEWINDOW) | SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER |
                             SWP_NOACTIVATE);
        }
        break;
    case CM_VISIBLECHANGED:
        if (!Visible() && Parent()) {
            if (TCustomForm* form = GetParentForm(this)) form->DefocusControl(this, false);
        }
        UpdateControlState();
        break;
    case CM_ENABLEDCHANGED:
        if (!Enabled() && Parent()) {
            if (TCustomForm* form = GetParentForm(this)) form->DefocusControl(this, false);
        }
        if (handle_) EnableWindow(handle_, Enabled());
        break;
    case CM_COLORCHANGED:
        brush_.Reset();
        Invalidate();
        NotifyControls(CM_PARENTCOLORCHANGED);
        break;
    case CM_FONTCHANGED:
        if (handle_) SendMessageA(handle_, WM_SETFONT, reinterpret_cast<WPARAM>(FontHandle()), TRUE);
        NotifyControls(CM_PARENTFONTCHANGED);
        break;
    case CM_SHOWHINTCHANGED:
        NotifyControls(CM_PARENTSHOWHINTCHANGED);
        break;
    case CM_TEXTCHANGED:
        break;
    case CM_SYSCOLORCHANGE:
        brush_.Reset();
        NotifyControls(CM_SYSCOLORCHANGE);
        break;
    case WM_SYSCOLORCHANGE:
        Perform(CM_SYSCOLORCHANGE);
        DefaultHandler(message);
        break;
    case WM_CAPTURECHANGED:
        if (CaptureControl() && CaptureControl()->Parent() == this &&
            reinterpret_cast<HWND>(message.LParam) != handle_) {
            ForgetCaptureControl();
        }
        DefaultHandler(message);
        break;
    case WM_NCDESTROY:
        if (handle_) {
            RemovePropA(handle_, MAKEINTATOM(ControlAtom()));
            RemovePropA(handle_, MAKEINTATOM(WindowAtom()));
        }
        DefaultHandler(message);
        handle_ = nullptr;
        showing_ = false;
        break;
    default:
        TControl::HandleWindowMessage(message);
        break;
    }
}

void TWinControl::ColorChildMessage(TMessage& message)
{
    HDC dc = reinterpret_cast<HDC>(message.WParam);
    SetTextColor(dc, FontColorRGB());
    SetBkColor(dc, ColorToRGB(Color()));
    message.Result = reinterpret_cast<LRESULT>(BrushHandle());
}

void TWinControl::EraseBackgroundMessage(TMessage& message)
{
    RECT r;
    GetClientRect(handle_, &r);
    FillRect(reinterpret_cast<HDC>(message.WParam), &r, BrushHandle());
    message.Result = 1;
}

void TWinControl::ContextMenuMessage(TMessage& message)
{
    if (message.Result != 0) return;
    // (-1, -1) is the keyboard's menu key: no control under a point to ask.
    const POINT screen{GET_X_LPARAM(message.LParam), GET_Y_LPARAM(message.LParam)};
    if (!(screen.x == -1 && screen.y == -1)) {
        if (TControl* c = ControlAtPos(ScreenToClient(screen), false)) {
            message.Result = c->Perform(WM_CONTEXTMENU, 0, message.LParam);
        }
    }
    if (message.Result == 0) TControl::HandleWindowMessage(message);
}

void TWinControl::PositionChangingMessage(TMessage& message)
{
    auto* pos = reinterpret_cast<WINDOWPOS*>(message.LParam);
    if (!(pos->flags & SWP_NOSIZE)) {
        int w = pos->cx, h = pos->cy;
        if (!CheckNewSize(w, h)) {
            pos->flags |= SWP_NOSIZE;
        } else {
            pos->cx = w;
            pos->cy = h;
        }
    }
    DefaultHandler(message);
}

void TWinControl::SizeMessage(TMessage& message)
{
    DefaultHandler(message);
    UpdateBoundsFromWindow();
    if (!IsLoading()) Resize();
}

void TWinControl::ChildKeyDownMessage(TMessage& message)
{
    // Result 1: the key was a dialog key that the form took; 0: the control gets it.
    message.Result = 1;
    const WORD key = LOWORD(message.WParam);
    LRESULT mask = 0;
    switch (key) {
    case VK_TAB: mask = DLGC_WANTTAB; break;
    case VK_LEFT:
    case VK_RIGHT:
    case VK_UP:
    case VK_DOWN: mask = DLGC_WANTARROWS; break;
    case VK_RETURN:
    case VK_EXECUTE:
    case VK_ESCAPE:
    case VK_CANCEL: mask = DLGC_WANTALLKEYS; break;
    }
    if (mask != 0 && Perform(CM_WANTSPECIALKEY, key) == 0 && (Perform(WM_GETDLGCODE) & mask) == 0) {
        if (TCustomForm* form = GetParentForm(this)) {
            if (form->Perform(CM_DIALOGKEY, key, message.LParam) != 0) return;
        }
    }
    message.Result = 0;
}

void TWinControl::ChildSysCharMessage(TMessage& message)
{
    message.Result = 0;
    if (TCustomForm* form = GetParentForm(this)) {
        if (form->Perform(CM_DIALOGCHAR, message.WParam, message.LParam) != 0) message.Result = 1;
    }
}

void TWinControl::DefaultHandler(TMessage& message)
{
    if (!handle_) {
        TControl::DefaultHandler(message);
        return;
    }
    message.Result = CallWindowProcA(defWndProc_, handle_, message.Msg, message.WParam, message.LParam);
}

void TWinControl::Broadcast(TMessage& message)
{
    for (TControl* c : std::vector<TControl*>(controls_)) {
        c->WindowProc()(message);
        if (message.Result != 0) return;
    }
}

void TWinControl::NotifyControls(UINT msg, WPARAM wParam, LPARAM lParam)
{
    for (TControl* c : std::vector<TControl*>(controls_)) c->Perform(msg, wParam, lParam);
}

bool TWinControl::DoKeyDown(TMessage& message)
{
    TCustomForm* form = GetParentForm(this);
    if (form && form != this && form->KeyPreview() && form->DoKeyDown(message)) return true;
    if (ControlStyle().Contains(TControlStyleFlag::csNoStdEvents)) return false;
    WORD key = LOWORD(message.WParam);
    KeyDown(key, KeyDataToShiftState(message.LParam));
    message.WParam = (message.WParam & ~static_cast<WPARAM>(0xFFFF)) | key;
    return key == 0;
}

bool TWinControl::DoKeyUp(TMessage& message)
{
    TCustomForm* form = GetParentForm(this);
    if (form && form != this && form->KeyPreview() && form->DoKeyUp(message)) return true;
    if (ControlStyle().Contains(TControlStyleFlag::csNoStdEvents)) return false;
    WORD key = LOWORD(message.WParam);
    KeyUp(key, KeyDataToShiftState(message.LParam));
    message.WParam = (message.WParam & ~static_cast<WPARAM>(0xFFFF)) | key;
    return key == 0;
}

bool TWinControl::DoKeyPress(TMessage& message)
{
    TCustomForm* form = GetParentForm(this);
    if (form && form != this && form->KeyPreview() && form->DoKeyPress(message)) return true;
    if (ControlStyle().Contains(TControlStyleFlag::csNoStdEvents)) return false;
    char ch = static_cast<char>(message.WParam & 0xFF);
    KeyPress(ch);
    // Only the low 16 bits carry the character; a wide character parked above them stays.
    message.WParam = (message.WParam & ~static_cast<WPARAM>(0xFFFF)) | static_cast<uint8_t>(ch);
    return ch == 0;
}

void TWinControl::KeyDown(WORD& key, TShiftState shift)
{
    if (OnKeyDown) OnKeyDown(this, key, shift);
}

void TWinControl::KeyUp(WORD& key, TShiftState shift)
{
    if (OnKeyUp) OnKeyUp(this, key, shift);
}

void TWinControl::KeyPress(char& key)
{
    if (OnKeyPress) OnKeyPress(this, key);
}

bool TWinControl::Focused() const { return handle_ && GetFocus() == handle_; }

bool TWinControl::CanFocus()
{
    TCustomForm* form = GetParentForm(this);
    if (!form) return Visible() && Enabled();
    for (TControl* c = this; c != form; c = c->Parent()) {
        if (!c->Visible() || !c->Enabled()) return false;
    }
    return true;
}

void TWinControl::SetFocus()
{
    if (TCustomForm* form = GetParentForm(this); form && form != this) form->SetActiveControl(this);
    ::SetFocus(Handle());
}

int TWinControl::TabOrder() const
{
    if (!Parent()) return -1;
    const auto& list = Parent()->tabList_;
    auto it = std::find(list.begin(), list.end(), this);
    return it == list.end() ? -1 : static_cast<int>(it - list.begin());
}

void TWinControl::SetTabOrder(int value)
{
    if (IsReading()) {
        pendingTabOrder_ = value;
        return;
    }
    if (!Parent()) return;
    auto& list = Parent()->tabList_;
    auto it = std::find(list.begin(), list.end(), this);
    if (it == list.end()) return;
    list.erase(it);
    const int count = static_cast<int>(list.size());
    if (value < 0 || value > count) value = count;
    list.insert(list.begin() + value, this);
}

void TWinControl::SetTabStop(bool value)
{
    if (value == tabStop_) return;
    tabStop_ = value;
    if (handle_) {
        LONG_PTR style = GetWindowLongPtrA(handle_, GWL_STYLE);
        style = value ? (style | WS_TABSTOP) : (style & ~static_cast<LONG_PTR>(WS_TABSTOP));
        SetWindowLongPtrA(handle_, GWL_STYLE, style);
    }
}

void TWinControl::GetTabOrderList(std::vector<TWinControl*>& list)
{
    for (TWinControl* c : tabList_) {
        list.push_back(c);
        c->GetTabOrderList(list);
    }
}

TWinControl* TWinControl::FindNextControl(TWinControl* current, bool goForward, bool checkTabStop, bool checkParent)
{
    std::vector<TWinControl*> list;
    GetTabOrderList(list);
    if (list.empty()) return nullptr;
    const int count = static_cast<int>(list.size());
    auto found = std::find(list.begin(), list.end(), current);
    int start = found == list.end() ? (goForward ? count - 1 : 0) : static_cast<int>(found - list.begin());
    int i = start;
    do {
        i = goForward ? (i + 1) % count : (i + count - 1) % count;
        TWinControl* c = list[i];
        if (c != current && c->CanFocus() && (!checkTabStop || c->TabStop()) && (!checkParent || c->Parent() == this)) {
            return c;
        }
    } while (i != start);
    return nullptr;
}

void TWinControl::SelectNext(TWinControl* current, bool goForward, bool checkTabStop)
{
    if (TWinControl* next = FindNextControl(current, goForward, checkTabStop, false)) next->SetFocus();
}

void TWinControl::Invalidate()
{
    if (handle_) InvalidateRect(handle_, nullptr, !ControlStyle().Contains(TControlStyleFlag::csOpaque));
}

void TWinControl::Update()
{
    if (handle_) UpdateWindow(handle_);
}

void TWinControl::BringToFront()
{
    TControl::BringToFront();
    // Already on top (a form shown again, the only child of its parent): nothing to move.
    if (handle_ && GetWindow(handle_, GW_HWNDPREV))
        SetWindowPos(handle_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TWinControl::SetBounds(int left, int top, int width, int height)
{
    if (left == Left() && top == Top() && width == Width() && height == Height()) return;
    if (handle_ && !IsIconic(handle_)) {
        if (!CheckNewSize(width, height)) return;
        // The form's resize events may have kept the bounds as they are: nothing to move.
        if (left == Left() && top == Top() && width == Width() && height == Height()) return;
        SetWindowPos(handle_, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
        UpdateBoundsFromWindow();
        return;
    }
    TControl::SetBounds(left, top, width, height);
}

void TWinControl::UpdateBoundsFromWindow()
{
    if (!handle_) return;
    RECT r;
    GetWindowRect(handle_, &r);
    if (GetWindowLongPtrA(handle_, GWL_STYLE) & WS_CHILD) {
        MapWindowPoints(nullptr, GetParent(handle_), reinterpret_cast<POINT*>(&r), 2);
    }
    left_ = r.left;
    top_ = r.top;
    width_ = r.right - r.left;
    height_ = r.bottom - r.top;
}

RECT TWinControl::ClientRect()
{
    if (handle_) {
        RECT r;
        GetClientRect(handle_, &r);
        return r;
    }
    // Without a window: the size less the frame that the window's styles would give it.
    TCreateParams params;
    AdjustCreateParams(params);
    RECT frame{0, 0, 0, 0};
    AdjustWindowRectEx(&frame, params.Style, FALSE, params.ExStyle);
    const LONG w = Width() - (frame.right - frame.left);
    const LONG h = Height() - (frame.bottom - frame.top);
    return RECT{0, 0, std::max<LONG>(0, w), std::max<LONG>(0, h)};
}

HBRUSH TWinControl::BrushHandle()
{
    if (brush_.Get() && brushColor_ == Color()) return brush_.Get();
    brushColor_ = Color();
    brush_.Reset(CreateSolidBrush(ColorToRGB(brushColor_)));
    return brush_.Get();
}

void TWinControl::PaintControls(HDC dc, TControl* first)
{
    bool started = first == nullptr;
    for (TControl* c : std::vector<TControl*>(controls_)) {
        if (!started) {
            if (c != first) continue;
            started = true;
        }
        if (dynamic_cast<TWinControl*>(c) || !c->Visible()) continue;
        const RECT r = c->BoundsRect();
        if (!RectVisible(dc, &r)) continue;
        const TSavedDC saved(dc);
        POINT origin;
        GetViewportOrgEx(dc, &origin);
        SetViewportOrgEx(dc, origin.x + c->Left(), origin.y + c->Top(), nullptr);
        IntersectClipRect(dc, 0, 0, c->Width(), c->Height());
        c->Perform(WM_PAINT, reinterpret_cast<WPARAM>(dc), 0);
    }
}

void TWinControl::PaintHandler(TMessage& message)
{
    const TPaintDC paint(handle_, reinterpret_cast<HDC>(message.WParam));
    const HDC dc = paint.Get();
    {
        const TSavedDC saved(dc);
        // Opaque windowless children paint every pixel of theirs: the window leaves them out.
        for (TControl* c : controls_) {
            if (!dynamic_cast<TWinControl*>(c) && c->Visible() &&
                c->ControlStyle().Contains(TControlStyleFlag::csOpaque)) {
                ExcludeClipRect(dc, c->Left(), c->Top(), c->Left() + c->Width(), c->Top() + c->Height());
            }
        }
        PaintWindow(dc);
    }
    PaintControls(dc, nullptr);
    message.Result = 0;
}

void TWinControl::PaintWindow(HDC dc)
{
    TMessage m{WM_PAINT, reinterpret_cast<WPARAM>(dc), 0, 0};
    DefaultHandler(m);
}

void TWinControl::AfterLoad()
{
    // Tab orders read from the resource, applied once every sibling is in the list.
    std::stable_sort(tabList_.begin(), tabList_.end(), [](TWinControl* a, TWinControl* b) {
        const int ta = a->pendingTabOrder_ < 0 ? INT32_MAX : a->pendingTabOrder_;
        const int tb = b->pendingTabOrder_ < 0 ? INT32_MAX : b->pendingTabOrder_;
        return ta < tb;
    });
    for (TWinControl* c : tabList_) c->pendingTabOrder_ = -1;
    TControl::AfterLoad();
    UpdateControlState();
}

void TWinControl::ComponentNotification(TComponent* component, TOperation operation)
{
    TControl::ComponentNotification(component, operation);
}

// ---------------------------------------------------------------------------------------------
// TGraphicControl

KERVO_CLASS_RECORD(TGraphicControl) {}

TGraphicControl::TGraphicControl(TComponent* owner) : TControl(owner) {}

void TGraphicControl::HandleWindowMessage(TMessage& message)
{
    switch (message.Msg) {
    case WM_PAINT:
        if (message.WParam) {
            const TLentDC lent(paintDC_, reinterpret_cast<HDC>(message.WParam));
            Paint();
        }
        break;
    default:
        TControl::HandleWindowMessage(message);
        break;
    }
}
