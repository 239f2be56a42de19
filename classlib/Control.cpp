// The control every visible piece of a form is: bounds, parent, text, font, colour, actions,
// mouse handling and the replaceable window procedure, for windowed and windowless controls alike;
// and the size constraints a control checks its new sizes against.
#include "Controls.h"
#include "Graphics.h"  // before windowsx.h, whose macros share its member names
#include "Menus.h"

#include <windowsx.h>

#include <algorithm>
#include <cstring>
#include <optional>

#include "ControlActionLinks.h"
#include "Forms.h"
#include "Streams.h"

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
    b.Object("Font", &TControl::Font).Stored(&TControl::IsFontStored);
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
    constraints_.reset(new TSizeConstraints(this));
}

TControl::~TControl() = default;

void TControl::DestructionStarting()
{
    if (CaptureControl() == this) SetCaptureControl(nullptr);
    if (Application) Application->ControlDestroyed(this);
    SetParent(nullptr);
    if (action_) {
        action_->RemoveFreeNotification(this);
        action_ = nullptr;
    }
    actionLink_.reset();
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

TFont* TControl::Font()
{
    if (!font_) {
        font_.reset(new TFont);
        font_->OnChange = [this] { FontChanged(); };
        if (parentFont_ && parent_) {
            const bool keep = parentFont_;
            font_->Assign(parent_->Font());
            parentFont_ = keep;
        }
    }
    return font_.get();
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
    if (HFONT h = Font()->Handle()) return h;
    if (parent_) return parent_->FontHandle();
    return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

COLORREF TControl::FontColorRGB()
{
    return ColorToRGB(Font()->Color());
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
    if (!IsInstance<TBasicAction>(action)) actionLink_.reset();
    if (action) {
        action->FreeNotification(this);
        if (IsInstance<TBasicAction>(action)) {
            if (!actionLink_) actionLink_.reset(NewActionLink(ActionLinkClass(), this));
            actionLink_->SetAction(static_cast<TBasicAction*>(action));
        }
        ActionChange(action, IsLoading());
    }
}

void TControl::ActionChange(TComponent* sender, bool checkDefaults)
{
    if (!sender) return;
    const TClassRecord& cls = sender->GetClass();
    // Caption and hint may be published as ANSI or as wide strings (taken in their ANSI form).
    auto text = [&](const char* name) -> std::optional<std::string> {
        const TPropInfo* p = cls.FindProperty(name);
        if (p && p->Kind == TPropKind::String && p->GetString) return p->GetString(sender);
        if (p && p->Kind == TPropKind::WideString && p->GetWide) return AnsiFromWide(p->GetWide(sender));
        return std::nullopt;
    };
    auto flag = [&](const char* name) -> const TPropInfo* {
        const TPropInfo* p = cls.FindProperty(name);
        return p && p->Kind == TPropKind::Boolean && p->GetOrd ? p : nullptr;
    };
    if (auto t = text("Caption"); t && (!checkDefaults || Caption().empty())) SetCaption(*t);
    if (auto t = text("Hint"); t && (!checkDefaults || hint_.empty())) SetHint(*t);
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
        if (CaptureControl() == this) SetCaptureControl(nullptr);
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
            Font()->Assign(parent_->Font());
            parentFont_ = true;
        }
        break;
    case CM_PARENTSHOWHINTCHANGED:
        if (parentShowHint_ && parent_) {
            showHint_ = parent_->ShowHint();
            Perform(CM_SHOWHINTCHANGED);
        }
        break;
    case CM_HINTSHOW:
        // The control's own part of its hint: the shortcut of its action, when the application
        // shows shortcuts in hints (after whatever handled the message before this class).
        if (auto* action = dynamic_cast<TCustomAction*>(action_);
            Application && Application->HintShortCuts() && action && action->ShortCut() && message.LParam) {
            const std::string shortcut = ShortCutToText(action->ShortCut());
            if (!shortcut.empty()) reinterpret_cast<THintInfo*>(message.LParam)->HintStr += " (" + shortcut + ")";
        }
        DefaultHandler(message);
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
    if (popupMenu_) {
        if (invalid) screen = ClientToScreen(POINT{0, 0});
        if (auto* menu = dynamic_cast<TPopupMenu*>(popupMenu_)) menu->Popup(screen.x, screen.y);
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
    if (auto* action = dynamic_cast<TBasicAction*>(action_); action && action->Execute()) return;
    if (OnClick) OnClick(this);
}

void TControl::DblClick()
{
    if (OnDblClick) OnDblClick(this);
}

bool TControl::MouseCapture() const
{
    if (auto* win = dynamic_cast<const TWinControl*>(this)) return win->handle_ && GetCapture() == win->handle_;
    return CaptureControl() == this;
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
    if (component == action_) {
        action_ = nullptr;
        actionLink_.reset();
    }
}

// ---------------------------------------------------------------------------------------------
// TWinControl
