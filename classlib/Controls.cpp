#include "Controls.h"
#include "Graphics.h"  // before windowsx.h, whose macros share its member names

#include <windowsx.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "Forms.h"
#include "ObjectInstance.h"
#include "Streams.h"

namespace {

TControl* g_captureControl = nullptr;
TWinControl* g_creationControl = nullptr;

// Module state that the unload step still uses: plain data, never destroyed before it.
struct AtomState {
    ATOM window = 0;
    ATOM control = 0;
    char windowName[32] = {};
    char controlName[48] = {};
    bool made = false;
};
AtomState g_atoms;

void MakeAtoms()
{
    if (g_atoms.made) return;
    std::snprintf(g_atoms.windowName, sizeof g_atoms.windowName, "KervoWindow%08lX",
                  static_cast<unsigned long>(GetCurrentProcessId()));
    std::snprintf(g_atoms.controlName, sizeof g_atoms.controlName, "KervoControl%08lX%08lX",
                  static_cast<unsigned long>(reinterpret_cast<uintptr_t>(CurrentModuleInstance()) & 0xFFFFFFFFu),
                  static_cast<unsigned long>(GetCurrentThreadId()));
    g_atoms.window = GlobalAddAtomA(g_atoms.windowName);
    g_atoms.control = GlobalAddAtomA(g_atoms.controlName);
    if (!g_atoms.window || !g_atoms.control) RaiseLastOSError();
    g_atoms.made = true;
}

std::vector<std::string>& RegisteredClassNames()
{
    // Never destroyed: the unload step reads it after the static objects are gone.
    static auto* names = new std::vector<std::string>;
    return *names;
}

// The control's part of a mouse message's position, relative to the control's top-left corner.
LPARAM MovedMousePos(LPARAM pos, int dx, int dy)
{
    const int x = GET_X_LPARAM(pos) - dx;
    const int y = GET_Y_LPARAM(pos) - dy;
    return MAKELPARAM(static_cast<WORD>(static_cast<short>(x)), static_cast<WORD>(static_cast<short>(y)));
}

bool IsMouseMessage(UINT msg)
{
    return msg >= WM_MOUSEFIRST && msg <= WM_MBUTTONDBLCLK;
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

TShiftState KeyDataToShiftState(LPARAM keyData)
{
    TShiftState s;
    if (GetKeyState(VK_SHIFT) < 0) s.Include(TShiftFlag::ssShift);
    if (GetKeyState(VK_CONTROL) < 0) s.Include(TShiftFlag::ssCtrl);
    if (keyData & 0x20000000) s.Include(TShiftFlag::ssAlt);
    return s;
}

void FillControlPlugins(TControlPlugins& plugins);  // ControlGlue.cpp

TControlPlugins& ControlPlugins()
{
    // Never destroyed: forms freed at unload may still reach it.
    static auto* plugins = [] {
        auto* p = new TControlPlugins;
        FillControlPlugins(*p);
        return p;
    }();
    return *plugins;
}

TControl* CaptureControl() { return g_captureControl; }

void SetCaptureControl(TControl* control)
{
    ReleaseCapture();
    g_captureControl = nullptr;
    if (!control) return;
    if (auto* win = dynamic_cast<TWinControl*>(control)) {
        SetCapture(win->Handle());
        return;
    }
    if (!control->Parent()) return;
    g_captureControl = control;
    SetCapture(control->Parent()->Handle());
}

TWinControl* ControlBeingCreated() { return g_creationControl; }
void SetControlBeingCreated(TWinControl* control) { g_creationControl = control; }

ATOM WindowAtom()
{
    MakeAtoms();
    return g_atoms.window;
}

ATOM ControlAtom()
{
    MakeAtoms();
    return g_atoms.control;
}

std::string WindowAtomName()
{
    MakeAtoms();
    return g_atoms.windowName;
}

std::string ControlAtomName()
{
    MakeAtoms();
    return g_atoms.controlName;
}

TWinControl* FindControl(HWND window)
{
    if (!window || !g_atoms.made) return nullptr;
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != GetCurrentProcessId()) return nullptr;
    return static_cast<TWinControl*>(GetPropA(window, MAKEINTATOM(g_atoms.control)));
}

TControl* FindControlAtScreenPos(POINT screenPos, bool allowDisabled)
{
    HWND window = WindowFromPoint(screenPos);
    TWinControl* control = FindControl(window);
    if (!control) return nullptr;
    POINT p = screenPos;
    ::ScreenToClient(window, &p);
    if (TControl* child = control->ControlAtPos(p, allowDisabled)) return child;
    return control;
}

void RegisterControlWindowClass(TCreateParams& params)
{
    params.WindowClass.lpfnWndProc = StandardInitWndProc;
    params.WindowClass.lpszClassName = params.WinClassName;
    WNDCLASSA existing{};
    if (GetClassInfoA(params.WindowClass.hInstance, params.WinClassName, &existing)) {
        if (existing.lpfnWndProc == StandardInitWndProc) return;
        if (!UnregisterClassA(params.WinClassName, params.WindowClass.hInstance)) RaiseLastOSError();
    }
    if (!RegisterClassA(&params.WindowClass)) RaiseLastOSError();
    auto& names = RegisteredClassNames();
    if (std::find(names.begin(), names.end(), params.WinClassName) == names.end()) {
        names.push_back(params.WinClassName);
    }
}

void UnregisterControlWindowClasses()
{
    for (const std::string& name : RegisteredClassNames()) UnregisterClassA(name.c_str(), CurrentModuleInstance());
    RegisteredClassNames().clear();
    if (g_atoms.made) {
        GlobalDeleteAtom(g_atoms.window);
        GlobalDeleteAtom(g_atoms.control);
        g_atoms = AtomState{};
    }
}

LRESULT CALLBACK StandardInitWndProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam)
{
    try {
        TWinControl* control = g_creationControl;
        if (!control) return DefWindowProcA(window, msg, wParam, lParam);
        control->handle_ = window;
        SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(control->objectInstance_));
        if ((GetWindowLongPtrA(window, GWL_STYLE) & WS_CHILD) && GetWindowLongPtrA(window, GWLP_ID) == 0) {
            SetWindowLongPtrA(window, GWLP_ID, reinterpret_cast<LONG_PTR>(window));
        }
        SetPropA(window, MAKEINTATOM(ControlAtom()), control);
        SetPropA(window, MAKEINTATOM(WindowAtom()), control);
        g_creationControl = nullptr;
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

// ---------------------------------------------------------------------------------------------
// TSizeConstraints

KERVO_CLASS_RECORD(TSizeConstraints)
{
    b.Integer("MaxHeight", &TSizeConstraints::MaxHeight, &TSizeConstraints::SetMaxHeight).Default(0);
    b.Integer("MaxWidth", &TSizeConstraints::MaxWidth, &TSizeConstraints::SetMaxWidth).Default(0);
    b.Integer("MinHeight", &TSizeConstraints::MinHeight, &TSizeConstraints::SetMinHeight).Default(0);
    b.Integer("MinWidth", &TSizeConstraints::MinWidth, &TSizeConstraints::SetMinWidth).Default(0);
}

void TSizeConstraints::SetMaxHeight(int value)
{
    if (value == maxHeight_) return;
    maxHeight_ = value;
    if (value > 0 && value < minHeight_) minHeight_ = value;
    Changed();
}

void TSizeConstraints::SetMaxWidth(int value)
{
    if (value == maxWidth_) return;
    maxWidth_ = value;
    if (value > 0 && value < minWidth_) minWidth_ = value;
    Changed();
}

void TSizeConstraints::SetMinHeight(int value)
{
    if (value == minHeight_) return;
    minHeight_ = value;
    if (maxHeight_ > 0 && value > maxHeight_) maxHeight_ = value;
    Changed();
}

void TSizeConstraints::SetMinWidth(int value)
{
    if (value == minWidth_) return;
    minWidth_ = value;
    if (maxWidth_ > 0 && value > maxWidth_) maxWidth_ = value;
    Changed();
}

void TSizeConstraints::CopyFrom(TPersistent* source)
{
    if (auto* s = dynamic_cast<TSizeConstraints*>(source)) {
        maxHeight_ = s->maxHeight_;
        maxWidth_ = s->maxWidth_;
        minHeight_ = s->minHeight_;
        minWidth_ = s->minWidth_;
        Changed();
        return;
    }
    TPersistent::CopyFrom(source);
}

void TSizeConstraints::Changed()
{
    if (control_) control_->ConstraintsChanged();
}

// ---------------------------------------------------------------------------------------------
// TControl

KERVO_CLASS_RECORD(TControl)
{
    b.Integer("Left", &TControl::Left, &TControl::SetLeft);
    b.Integer("Top", &TControl::Top, &TControl::SetTop);
    b.Integer("Width", &TControl::Width, &TControl::SetWidth);
    b.Integer("Height", &TControl::Height, &TControl::SetHeight);
    b.Object("Constraints", &TControl::Constraints);
    b.String("Caption", &TControl::Caption, &TControl::SetCaption);
    b.Boolean("Enabled", &TControl::Enabled, &TControl::SetEnabled).Default(true);
    b.Integer("Color", &TControl::Color, &TControl::SetColor).Idents(&ColorIdents()).Stored(&TControl::IsColorStored);
    b.Boolean("ParentColor", &TControl::ParentColor, &TControl::SetParentColor).Default(false);
    b.Object("Font", &TControl::FontObject).Stored(&TControl::IsFontStored);
    b.Boolean("ParentFont", &TControl::ParentFont, &TControl::SetParentFont).Default(true);
    b.String("Hint", &TControl::Hint, &TControl::SetHint);
    b.Boolean("ShowHint", &TControl::ShowHint, &TControl::SetShowHint).Stored(&TControl::IsShowHintStored);
    b.Boolean("ParentShowHint", &TControl::ParentShowHint, &TControl::SetParentShowHint).Default(true);
    b.Object("PopupMenu", &TControl::PopupMenu, &TControl::SetPopupMenu);
    b.Object("Action", &TControl::Action, &TControl::SetAction);
    b.Boolean("Visible", &TControl::Visible, &TControl::SetVisible).Default(true);
    b.Event("OnClick", &TControl::OnClick);
    b.Event("OnDblClick", &TControl::OnDblClick);
    b.Event("OnMouseDown", &TControl::OnMouseDown);
    b.Event("OnMouseMove", &TControl::OnMouseMove);
    b.Event("OnMouseUp", &TControl::OnMouseUp);
    b.Event("OnContextPopup", &TControl::OnContextPopup);
    b.Event("OnResize", &TControl::OnResize);
    b.Event("OnCanResize", &TControl::OnCanResize);
    b.Event("OnConstrainedResize", &TControl::OnConstrainedResize);
}

TControl::TControl(TComponent* owner) : TComponent(owner)
{
    windowProc_ = DefaultWindowProc();
    constraints_ = new TSizeConstraints(this);
}

TControl::~TControl()
{
    if (font_) font_->Free();
    delete constraints_;
}

void TControl::DestructionStarting()
{
    if (g_captureControl == this) SetCaptureControl(nullptr);
    if (Application) Application->ControlDestroyed(this);
    SetParent(nullptr);
    if (action_) {
        action_->RemoveFreeNotification(this);
        action_ = nullptr;
    }
    if (popupMenu_) {
        popupMenu_->RemoveFreeNotification(this);
        popupMenu_ = nullptr;
    }
    TComponent::DestructionStarting();
}

void TControl::SetParent(TWinControl* parent)
{
    if (parent == parent_) return;
    if (parent == this) throw EComponentError(std::wstring(L"コントロールを自身の親にはできません"));
    for (TWinControl* p = parent; p; p = p->Parent()) {
        if (p == this) throw EComponentError(std::wstring(L"コントロールを自身の子の子にはできません"));
    }
    if (parent_) parent_->RemoveControl(this);
    if (parent) parent->InsertControl(this);
}

TComponent* TControl::GetParentComponent() const { return parent_; }

void TControl::SetParentComponent(TComponent* parent)
{
    if (auto* win = dynamic_cast<TWinControl*>(parent)) SetParent(win);
}

void TControl::SetBounds(int left, int top, int width, int height)
{
    if (left == left_ && top == top_ && width == width_ && height == height_) return;
    if (!CheckNewSize(width, height)) return;
    if (left == left_ && top == top_ && width == width_ && height == height_) return;
    if (visible_) Invalidate();
    const bool resized = width != width_ || height != height_;
    left_ = left;
    top_ = top;
    width_ = width;
    height_ = height;
    Invalidate();
    if (resized && !IsLoading()) Resize();
}

RECT TControl::ClientRect() { return RECT{0, 0, width_, height_}; }

void TControl::SetClientWidth(int value)
{
    const RECT c = ClientRect();
    SetBounds(left_, top_, width_ - c.right + value, height_);
}

void TControl::SetClientHeight(int value)
{
    const RECT c = ClientRect();
    SetBounds(left_, top_, width_, height_ - c.bottom + value);
}

POINT TControl::ClientToScreen(POINT p)
{
    if (auto* win = dynamic_cast<TWinControl*>(this)) {
        ::ClientToScreen(win->Handle(), &p);
        return p;
    }
    if (!parent_) return p;
    return parent_->ClientToScreen(POINT{p.x + left_, p.y + top_});
}

POINT TControl::ScreenToClient(POINT p)
{
    if (auto* win = dynamic_cast<TWinControl*>(this)) {
        ::ScreenToClient(win->Handle(), &p);
        return p;
    }
    if (!parent_) return p;
    POINT q = parent_->ScreenToClient(p);
    return POINT{q.x - left_, q.y - top_};
}

void TControl::SetVisible(bool value)
{
    if (value == visible_) return;
    if (!value) Invalidate();
    visible_ = value;
    Perform(CM_VISIBLECHANGED, value ? 1 : 0);
    if (value) Invalidate();
}

bool TControl::Showing() const { return visible_ && parent_ && parent_->Showing(); }

void TControl::SetEnabled(bool value)
{
    if (value == enabled_) return;
    enabled_ = value;
    Perform(CM_ENABLEDCHANGED);
}

std::string TControl::Text()
{
    const LRESULT length = Perform(WM_GETTEXTLENGTH);
    if (length <= 0) return {};
    std::string buffer(static_cast<size_t>(length) + 1, '\0');
    const LRESULT copied = Perform(WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()));
    buffer.resize(static_cast<size_t>(std::clamp<LRESULT>(copied, 0, length)));
    // A double-byte text may have been measured longer than it is.
    buffer.resize(std::strlen(buffer.c_str()));
    return buffer;
}

void TControl::SetText(const std::string& value)
{
    if (Text() == value) return;
    Perform(WM_SETTEXT, 0, reinterpret_cast<LPARAM>(value.c_str()));
    Perform(CM_TEXTCHANGED);
}

void TControl::SetShowHint(bool value)
{
    if (value == showHint_ && !parentShowHint_) return;
    showHint_ = value;
    parentShowHint_ = false;
    Perform(CM_SHOWHINTCHANGED);
}

void TControl::SetParentShowHint(bool value)
{
    if (value == parentShowHint_) return;
    parentShowHint_ = value;
    if (value && parent_) Perform(CM_PARENTSHOWHINTCHANGED);
}

void TControl::SetColor(TColor value)
{
    if (value == color_ && !parentColor_) return;
    const bool changed = value != color_;
    color_ = value;
    parentColor_ = false;
    if (changed) Perform(CM_COLORCHANGED);
}

void TControl::SetParentColor(bool value)
{
    if (value == parentColor_) return;
    parentColor_ = value;
    if (value && parent_) Perform(CM_PARENTCOLORCHANGED);
}

TPersistent* TControl::FontObject()
{
    if (!font_ && !fontCreated_ && ControlPlugins().NewFont) {
        fontCreated_ = true;
        font_ = ControlPlugins().NewFont();
        if (font_ && ControlPlugins().SetFontChanged) {
            ControlPlugins().SetFontChanged(font_, [this]() { FontChanged(); });
        }
        if (font_ && parentFont_ && parent_ && parent_->FontObject()) {
            const bool keep = parentFont_;
            font_->Assign(parent_->FontObject());
            parentFont_ = keep;
        }
    }
    return font_;
}

void TControl::FontChanged()
{
    parentFont_ = false;
    Perform(CM_FONTCHANGED);
}

void TControl::SetParentFont(bool value)
{
    if (value == parentFont_) return;
    parentFont_ = value;
    if (value && parent_) Perform(CM_PARENTFONTCHANGED);
}

HFONT TControl::FontHandle()
{
    if (TPersistent* font = FontObject(); font && ControlPlugins().FontHandle) {
        if (HFONT h = ControlPlugins().FontHandle(font)) return h;
    }
    if (parent_) return parent_->FontHandle();
    return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

COLORREF TControl::FontColorRGB()
{
    if (TPersistent* font = FontObject(); font && ControlPlugins().FontColor) {
        return ColorToRGB(ControlPlugins().FontColor(font));
    }
    return GetSysColor(COLOR_WINDOWTEXT);
}

void TControl::SetPopupMenu(TComponent* menu)
{
    if (menu == popupMenu_) return;
    if (popupMenu_) popupMenu_->RemoveFreeNotification(this);
    popupMenu_ = menu;
    if (menu) menu->FreeNotification(this);
}

void TControl::SetAction(TComponent* action)
{
    if (action == action_) return;
    if (action_) action_->RemoveFreeNotification(this);
    action_ = action;
    if (action) {
        action->FreeNotification(this);
        ActionChange(action, IsLoading());
    }
}

void TControl::ActionChange(TComponent* sender, bool checkDefaults)
{
    if (!sender) return;
    const TClassRecord& cls = sender->GetClass();
    auto text = [&](const char* name) -> const TPropInfo* {
        const TPropInfo* p = cls.FindProperty(name);
        return p && p->Kind == TPropKind::String && p->GetString ? p : nullptr;
    };
    auto flag = [&](const char* name) -> const TPropInfo* {
        const TPropInfo* p = cls.FindProperty(name);
        return p && p->Kind == TPropKind::Boolean && p->GetOrd ? p : nullptr;
    };
    if (const TPropInfo* p = text("Caption"); p && (!checkDefaults || Caption().empty())) SetCaption(p->GetString(sender));
    if (const TPropInfo* p = text("Hint"); p && (!checkDefaults || hint_.empty())) SetHint(p->GetString(sender));
    if (const TPropInfo* p = flag("Enabled"); p && (!checkDefaults || enabled_)) SetEnabled(p->GetOrd(sender) != 0);
    if (const TPropInfo* p = flag("Visible"); p && (!checkDefaults || visible_)) SetVisible(p->GetOrd(sender) != 0);
}

LRESULT TControl::Perform(UINT msg, WPARAM wParam, LPARAM lParam)
{
    TMessage m{msg, wParam, lParam, 0};
    windowProc_(m);
    return m.Result;
}

void TControl::HandleWindowMessage(TMessage& message)
{
    if (IsMouseMessage(message.Msg) && !controlStyle_.Contains(TControlStyleFlag::csDoubleClicks)) {
        switch (message.Msg) {
        case WM_LBUTTONDBLCLK:
        case WM_RBUTTONDBLCLK:
        case WM_MBUTTONDBLCLK:
            message.Msg -= WM_LBUTTONDBLCLK - WM_LBUTTONDOWN;
            break;
        }
    }
    switch (message.Msg) {
    case WM_LBUTTONDOWN: HandleMouseMessage(message, TMouseButton::mbLeft, true, false); break;
    case WM_LBUTTONDBLCLK: HandleMouseMessage(message, TMouseButton::mbLeft, true, true); break;
    case WM_LBUTTONUP: HandleMouseMessage(message, TMouseButton::mbLeft, false, false); break;
    case WM_RBUTTONDOWN: HandleMouseMessage(message, TMouseButton::mbRight, true, false); break;
    case WM_RBUTTONDBLCLK: HandleMouseMessage(message, TMouseButton::mbRight, true, true); break;
    case WM_RBUTTONUP: HandleMouseMessage(message, TMouseButton::mbRight, false, false); break;
    case WM_MBUTTONDOWN: HandleMouseMessage(message, TMouseButton::mbMiddle, true, false); break;
    case WM_MBUTTONDBLCLK: HandleMouseMessage(message, TMouseButton::mbMiddle, true, true); break;
    case WM_MBUTTONUP: HandleMouseMessage(message, TMouseButton::mbMiddle, false, false); break;
    case WM_MOUSEMOVE:
        if (Application) Application->HintMouseMessage(this, message);
        DefaultHandler(message);
        if (!controlStyle_.Contains(TControlStyleFlag::csNoStdEvents)) {
            MouseMove(KeysToShiftState(message.WParam), GET_X_LPARAM(message.LParam), GET_Y_LPARAM(message.LParam));
        }
        break;
    case WM_CONTEXTMENU: HandleContextMenu(message); break;
    case WM_CANCELMODE:
        if (g_captureControl == this) SetCaptureControl(nullptr);
        clicked_ = false;
        DefaultHandler(message);
        break;
    case CM_ENABLEDCHANGED:
    case CM_COLORCHANGED:
    case CM_TEXTCHANGED:
    case CM_FONTCHANGED:
        Invalidate();
        break;
    case CM_PARENTCOLORCHANGED:
        if (parentColor_) {
            SetColor(message.WParam ? static_cast<TColor>(message.LParam) : parent_ ? parent_->Color() : color_);
            parentColor_ = true;
        }
        break;
    case CM_PARENTFONTCHANGED:
        if (parentFont_ && parent_) {
            TPersistent* own = FontObject();
            TPersistent* theirs = parent_->FontObject();
            if (own && theirs) {
                own->Assign(theirs);
                parentFont_ = true;
            } else {
                Perform(CM_FONTCHANGED);
            }
        }
        break;
    case CM_PARENTSHOWHINTCHANGED:
        if (parentShowHint_ && parent_) {
            showHint_ = parent_->ShowHint();
            Perform(CM_SHOWHINTCHANGED);
        }
        break;
    default:
        DefaultHandler(message);
        break;
    }
}

void TControl::DefaultHandler(TMessage& message)
{
    switch (message.Msg) {
    case WM_GETTEXT: {
        if (message.WParam == 0 || message.LParam == 0) {
            message.Result = 0;
            break;
        }
        const size_t n = std::min<size_t>(text_.size(), message.WParam - 1);
        char* out = reinterpret_cast<char*>(message.LParam);
        std::memcpy(out, text_.data(), n);
        out[n] = '\0';
        message.Result = static_cast<LRESULT>(n);
        break;
    }
    case WM_GETTEXTLENGTH: message.Result = static_cast<LRESULT>(text_.size()); break;
    case WM_SETTEXT:
        text_ = message.LParam ? reinterpret_cast<const char*>(message.LParam) : "";
        message.Result = 1;
        break;
    default: break;
    }
}

void TControl::HandleMouseMessage(TMessage& message, TMouseButton button, bool down, bool dbl)
{
    const int x = GET_X_LPARAM(message.LParam);
    const int y = GET_Y_LPARAM(message.LParam);
    const bool stdEvents = !controlStyle_.Contains(TControlStyleFlag::csNoStdEvents);
    if (down) {
        DefaultHandler(message);
        if (controlStyle_.Contains(TControlStyleFlag::csCaptureMouse)) SetMouseCapture(true);
        if (button == TMouseButton::mbLeft && controlStyle_.Contains(TControlStyleFlag::csClickEvents)) {
            if (dbl) DblClick();
            else clicked_ = true;
        }
        if (stdEvents) {
            TShiftState shift = KeysToShiftState(message.WParam);
            if (dbl) shift.Include(TShiftFlag::ssDouble);
            MouseDown(button, shift, x, y);
        }
        return;
    }
    DefaultHandler(message);
    if (controlStyle_.Contains(TControlStyleFlag::csCaptureMouse)) SetMouseCapture(false);
    if (button == TMouseButton::mbLeft && clicked_) {
        clicked_ = false;
        const RECT r = ClientRect();
        const POINT p{x, y};
        if (PtInRect(&r, p)) Click();
    }
    if (stdEvents) MouseUp(button, KeysToShiftState(message.WParam), x, y);
}

void TControl::HandleContextMenu(TMessage& message)
{
    if (message.Result != 0) return;
    POINT screen{GET_X_LPARAM(message.LParam), GET_Y_LPARAM(message.LParam)};
    const bool invalid = screen.x == -1 && screen.y == -1;
    const POINT client = invalid ? POINT{-1, -1} : ScreenToClient(screen);
    bool handled = false;
    DoContextPopup(client, handled);
    message.Result = handled ? 1 : 0;
    if (handled) return;
    if (popupMenu_ && ControlPlugins().PopupMenu) {
        if (invalid) screen = ClientToScreen(POINT{0, 0});
        ControlPlugins().PopupMenu(popupMenu_, screen.x, screen.y);
        message.Result = 1;
        return;
    }
    DefaultHandler(message);
}

void TControl::DoContextPopup(POINT mousePos, bool& handled)
{
    if (OnContextPopup) OnContextPopup(this, mousePos, handled);
}

void TControl::MouseDown(TMouseButton button, TShiftState shift, int x, int y)
{
    if (OnMouseDown) OnMouseDown(this, button, shift, x, y);
}

void TControl::MouseMove(TShiftState shift, int x, int y)
{
    if (OnMouseMove) OnMouseMove(this, shift, x, y);
}

void TControl::MouseUp(TMouseButton button, TShiftState shift, int x, int y)
{
    if (OnMouseUp) OnMouseUp(this, button, shift, x, y);
}

bool TControl::CanResize(int& newWidth, int& newHeight)
{
    bool resize = true;
    if (OnCanResize) OnCanResize(this, newWidth, newHeight, resize);
    return resize;
}

void TControl::ConstrainedResize(int& minWidth, int& minHeight, int& maxWidth, int& maxHeight)
{
    if (OnConstrainedResize) OnConstrainedResize(this, minWidth, minHeight, maxWidth, maxHeight);
}

bool TControl::CheckNewSize(int& newWidth, int& newHeight)
{
    if (IsReading() || IsDestroying()) return true;
    int w = newWidth, h = newHeight;
    if (!CanResize(w, h)) return false;
    int minW = constraints_->MinWidth(), minH = constraints_->MinHeight();
    int maxW = constraints_->MaxWidth(), maxH = constraints_->MaxHeight();
    ConstrainedResize(minW, minH, maxW, maxH);
    if (maxW > 0 && w > maxW) w = maxW;
    if (minW > 0 && w < minW) w = minW;
    if (maxH > 0 && h > maxH) h = maxH;
    if (minH > 0 && h < minH) h = minH;
    newWidth = w;
    newHeight = h;
    return true;
}

void TControl::ConstraintsChanged()
{
    if (!IsLoading()) SetBounds(left_, top_, width_, height_);
}

void TControl::Resize()
{
    if (OnResize) OnResize(this);
}

void TControl::Invalidate()
{
    if (!parent_ || !parent_->HandleAllocated()) return;
    const RECT r = BoundsRect();
    InvalidateRect(parent_->handle_, &r, !controlStyle_.Contains(TControlStyleFlag::csOpaque));
}

void TControl::Update()
{
    if (parent_) parent_->Update();
}

void TControl::Repaint()
{
    Invalidate();
    Update();
}

void TControl::BringToFront()
{
    if (!parent_) return;
    auto& list = parent_->controls_;
    auto it = std::find(list.begin(), list.end(), this);
    if (it != list.end()) {
        list.erase(it);
        list.push_back(this);
    }
    Invalidate();
}

void TControl::Click()
{
    if (action_ && ControlPlugins().ExecuteAction && ControlPlugins().ExecuteAction(action_)) return;
    if (OnClick) OnClick(this);
}

void TControl::DblClick()
{
    if (OnDblClick) OnDblClick(this);
}

bool TControl::MouseCapture() const
{
    if (auto* win = dynamic_cast<const TWinControl*>(this)) return win->handle_ && GetCapture() == win->handle_;
    return g_captureControl == this;
}

void TControl::SetMouseCapture(bool value)
{
    if (value == MouseCapture()) return;
    SetCaptureControl(value ? this : nullptr);
}

TControl* TControl::TopParent()
{
    TControl* c = this;
    while (c->parent_) c = c->parent_;
    return c;
}

TCustomForm* TControl::ParentForm() { return GetParentForm(this); }

void TControl::AfterLoad()
{
    TComponent::AfterLoad();
    if (action_) ActionChange(action_, true);
}

void TControl::ComponentNotification(TComponent* component, TOperation operation)
{
    TComponent::ComponentNotification(component, operation);
    if (operation != TOperation::Removal) return;
    if (component == popupMenu_) popupMenu_ = nullptr;
    if (component == action_) action_ = nullptr;
}

// ---------------------------------------------------------------------------------------------
// TWinControl

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
    if (brush_) DeleteObject(brush_);
}

void TWinControl::DestructionStarting()
{
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
    // Siblings' windows stack in the order of the parent's list: the later ones above.
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
    params.WindowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
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
    if (g_captureControl && g_captureControl->Parent() == this) g_captureControl = nullptr;
    DestroyWindow(handle_);
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

void TWinControl::MainWndProc(TMessage& message)
{
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
    if (g_captureControl == control) SetCaptureControl(nullptr);
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
        if (g_captureControl && g_captureControl->Parent() == this) target = g_captureControl;
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
    case WM_NOTIFY:
        if (!ReflectToChild(message, reinterpret_cast<NMHDR*>(message.LParam)->hwndFrom)) DefaultHandler(message);
        break;
    case WM_DRAWITEM: {
        auto* item = reinterpret_cast<DRAWITEMSTRUCT*>(message.LParam);
        if (item->CtlType == ODT_MENU || !ReflectToChild(message, item->hwndItem)) DefaultHandler(message);
        break;
    }
    case WM_MEASUREITEM: {
        auto* item = reinterpret_cast<MEASUREITEMSTRUCT*>(message.LParam);
        HWND child = item->CtlType == ODT_MENU ? nullptr : GetDlgItem(handle_, static_cast<int>(item->CtlID));
        if (!child || !ReflectToChild(message, child)) DefaultHandler(message);
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
    case CN_CTLCOLORSTATIC: {
        HDC dc = reinterpret_cast<HDC>(message.WParam);
        SetTextColor(dc, FontColorRGB());
        SetBkColor(dc, ColorToRGB(Color()));
        message.Result = reinterpret_cast<LRESULT>(BrushHandle());
        break;
    }
    case WM_ERASEBKGND: {
        RECT r;
        GetClientRect(handle_, &r);
        FillRect(reinterpret_cast<HDC>(message.WParam), &r, BrushHandle());
        message.Result = 1;
        break;
    }
    case WM_PAINT:
        if (ControlCount() > 0) PaintHandler(message);
        else DefaultHandler(message);
        break;
    case WM_CONTEXTMENU: {
        if (message.Result != 0) break;
        const POINT screen{GET_X_LPARAM(message.LParam), GET_Y_LPARAM(message.LParam)};
        if (!(screen.x == -1 && screen.y == -1)) {
            if (TControl* c = ControlAtPos(ScreenToClient(screen), false)) {
                message.Result = c->Perform(WM_CONTEXTMENU, 0, message.LParam);
            }
        }
        if (message.Result == 0) TControl::HandleWindowMessage(message);
        break;
    }
    case WM_WINDOWPOSCHANGING: {
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
        break;
    }
    case WM_WINDOWPOSCHANGED:
        DefaultHandler(message);
        UpdateBoundsFromWindow();
        break;
    case WM_SIZE: {
        DefaultHandler(message);
        const int oldW = Width(), oldH = Height();
        UpdateBoundsFromWindow();
        (void)oldW;
        (void)oldH;
        if (!IsLoading()) Resize();
        break;
    }
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
    case CN_SYSKEYDOWN: {
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
                if (form->Perform(CM_DIALOGKEY, key, message.LParam) != 0) break;
            }
        }
        message.Result = 0;
        break;
    }
    case CN_SYSCHAR:
        message.Result = 0;
        if (TCustomForm* form = GetParentForm(this)) {
            if (form->Perform(CM_DIALOGCHAR, message.WParam, message.LParam) != 0) message.Result = 1;
        }
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
        if (handle_) {
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
        if (brush_) {
            DeleteObject(brush_);
            brush_ = nullptr;
        }
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
        if (brush_) {
            DeleteObject(brush_);
            brush_ = nullptr;
        }
        NotifyControls(CM_SYSCOLORCHANGE);
        break;
    case WM_SYSCOLORCHANGE:
        Perform(CM_SYSCOLORCHANGE);
        DefaultHandler(message);
        break;
    case WM_CAPTURECHANGED:
        if (g_captureControl && g_captureControl->Parent() == this &&
            reinterpret_cast<HWND>(message.LParam) != handle_) {
            g_captureControl = nullptr;
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
    if (handle_) SetWindowPos(handle_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TWinControl::SetBounds(int left, int top, int width, int height)
{
    if (left == Left() && top == Top() && width == Width() && height == Height()) return;
    if (handle_ && !IsIconic(handle_)) {
        if (!CheckNewSize(width, height)) return;
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
    if (brush_ && brushColor_ == Color()) return brush_;
    if (brush_) DeleteObject(brush_);
    brushColor_ = Color();
    brush_ = CreateSolidBrush(ColorToRGB(brushColor_));
    return brush_;
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
        const int saved = SaveDC(dc);
        POINT origin;
        GetViewportOrgEx(dc, &origin);
        SetViewportOrgEx(dc, origin.x + c->Left(), origin.y + c->Top(), nullptr);
        IntersectClipRect(dc, 0, 0, c->Width(), c->Height());
        c->Perform(WM_PAINT, reinterpret_cast<WPARAM>(dc), 0);
        RestoreDC(dc, saved);
    }
}

void TWinControl::PaintHandler(TMessage& message)
{
    HDC dc = reinterpret_cast<HDC>(message.WParam);
    PAINTSTRUCT ps{};
    if (!dc) dc = BeginPaint(handle_, &ps);
    try {
        const int saved = SaveDC(dc);
        // Opaque windowless children paint every pixel of theirs: the window leaves them out.
        for (TControl* c : controls_) {
            if (!dynamic_cast<TWinControl*>(c) && c->Visible() &&
                c->ControlStyle().Contains(TControlStyleFlag::csOpaque)) {
                ExcludeClipRect(dc, c->Left(), c->Top(), c->Left() + c->Width(), c->Top() + c->Height());
            }
        }
        PaintWindow(dc);
        RestoreDC(dc, saved);
        PaintControls(dc, nullptr);
    } catch (...) {
        if (!message.WParam) EndPaint(handle_, &ps);
        throw;
    }
    if (!message.WParam) EndPaint(handle_, &ps);
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
            paintDC_ = reinterpret_cast<HDC>(message.WParam);
            try {
                Paint();
            } catch (...) {
                paintDC_ = nullptr;
                throw;
            }
            paintDC_ = nullptr;
        }
        break;
    default:
        TControl::HandleWindowMessage(message);
        break;
    }
}
