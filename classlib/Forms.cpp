// The form: a top-level or parented window read from its form resource, shown and hidden with
// its events, closed with an action, focused on its active control, and run modally.
#include "Forms.h"

#include <windowsx.h>

#include <algorithm>
#include <utility>

#include "ActnList.h"
#include "Filer.h"
#include "FormText.h"
#include "ObjectInstance.h"
#include "Streams.h"

namespace {

// Forms read inside the reading of a form, on this thread (per thread: Threading.h). Each nested
// form has a reader of its own, whose nesting limit cannot see the others: a resource holding a
// form of its own class would recurse until the stack ends.
thread_local int formResourceNesting = 0;
constexpr int kMaxFormResourceNesting = 16;

// Reads one form resource, text or binary, into the root.
void ReadFormResource(HINSTANCE module, const std::string& name, TComponent* root)
{
    if (formResourceNesting >= kMaxFormResourceNesting)
        throw EReadError(std::wstring(L"フォームリソースの入れ子が深すぎます"));
    ++formResourceNesting;
    struct Leave {
        ~Leave() { --formResourceNesting; }
    } leave;
    TResourceStream stream(module, name, MAKEINTRESOURCEA(10) /* RT_RCDATA */);
    ReadComponentFromStream(stream, root);
}

// A form's release mark: 64 bits that a message from outside matches only by chance, made of the
// performance counter at the release, the form's address and the thread, mixed through a 64-bit
// finaliser. Never 0.
uint64_t NewReleaseMark(const void* form)
{
    LARGE_INTEGER now{};
    QueryPerformanceCounter(&now);
    uint64_t x = static_cast<uint64_t>(now.QuadPart) ^ (uint64_t{reinterpret_cast<uintptr_t>(form)} << 16) ^
                 (uint64_t{GetCurrentThreadId()} << 40) ^ GetTickCount();
    x ^= x >> 30;
    x *= 0xBF58476D1CE4E5B9ull;
    x ^= x >> 27;
    x *= 0x94D049BB133111EBull;
    x ^= x >> 31;
    return x ? x : 1;
}

// The release message carries the mark in two 32-bit halves, the same on both word sizes.
WPARAM ReleaseMarkLow(uint64_t mark) { return static_cast<WPARAM>(mark & 0xFFFFFFFFu); }
LPARAM ReleaseMarkHigh(uint64_t mark) { return static_cast<LPARAM>(mark >> 32); }

struct DisabledWindows {
    HWND keep;
    std::vector<HWND> windows;
};

BOOL CALLBACK DisableThreadWindow(HWND window, LPARAM data)
{
    auto* state = reinterpret_cast<DisabledWindows*>(data);
    try {
        if (window != state->keep && IsWindowVisible(window) && IsWindowEnabled(window)) {
            state->windows.push_back(window);
            EnableWindow(window, FALSE);
        }
    } catch (...) {
        return FALSE;
    }
    return TRUE;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// TCustomForm

KERVO_CLASS_RECORD(TCustomForm)
{
    b.Object("ActiveControl", &TCustomForm::ActiveControl, &TCustomForm::SetActiveControl);
    b.Set("BorderIcons", &TCustomForm::BorderIcons, &TCustomForm::SetBorderIcons,
          {"biSystemMenu", "biMinimize", "biMaximize", "biHelp"})
        .Default(TBorderIcons{TBorderIcon::biSystemMenu, TBorderIcon::biMinimize, TBorderIcon::biMaximize});
    b.Enum("BorderStyle", &TCustomForm::BorderStyle, &TCustomForm::SetBorderStyle,
           {"bsNone", "bsSingle", "bsSizeable", "bsDialog", "bsToolWindow", "bsSizeToolWin"})
        .Default(TFormBorderStyle::bsSizeable);
    b.Integer("BorderWidth", &TCustomForm::BorderWidth, &TCustomForm::SetBorderWidth).Default(0);
    b.Integer("ClientHeight", &TCustomForm::FormClientHeight, &TCustomForm::SetFormClientHeight);
    b.Integer("ClientWidth", &TCustomForm::FormClientWidth, &TCustomForm::SetFormClientWidth);
    b.Enum("FormStyle", &TCustomForm::FormStyle, &TCustomForm::SetFormStyle,
           {"fsNormal", "fsMDIChild", "fsMDIForm", "fsStayOnTop"})
        .Default(TFormStyle::fsNormal);
    b.Boolean("KeyPreview", &TCustomForm::KeyPreview, &TCustomForm::SetKeyPreview).Default(false);
    b.Boolean("OldCreateOrder", &TCustomForm::OldCreateOrder, &TCustomForm::SetOldCreateOrder);
    b.Enum("Position", &TCustomForm::Position, &TCustomForm::SetPosition,
           {"poDesigned", "poDefault", "poDefaultPosOnly", "poDefaultSizeOnly", "poScreenCenter", "poDesktopCenter",
            "poMainFormCenter", "poOwnerFormCenter"})
        .Default(TPosition::poDesigned);
    b.Boolean("Visible", &TCustomForm::Visible, &TCustomForm::SetVisible).Default(false);
    b.Event("OnActivate", &TCustomForm::OnActivate);
    b.Event("OnClose", &TCustomForm::OnClose);
    b.Event("OnCloseQuery", &TCustomForm::OnCloseQuery);
    b.Event("OnCreate", &TCustomForm::OnCreate);
    b.Event("OnDeactivate", &TCustomForm::OnDeactivate);
    b.Event("OnDestroy", &TCustomForm::OnDestroy);
    b.Event("OnHide", &TCustomForm::OnHide);
    b.Event("OnShow", &TCustomForm::OnShow);
}

KERVO_CLASS_RECORD(TForm) {}

TCustomForm::TCustomForm(TComponent* owner) : TWinControl(owner)
{
    SetControlStyle({TControlStyleFlag::csAcceptsControls, TControlStyleFlag::csCaptureMouse,
                     TControlStyleFlag::csClickEvents, TControlStyleFlag::csDoubleClicks});
    SetVisibleField(false);
    SetColor(SysColorValue(COLOR_BTNFACE));
    SetParentFont(false);
    SetBounds(0, 0, 320, 240);
}

TCustomForm::~TCustomForm() = default;

void TCustomForm::ConstructionDone()
{
    TWinControl::ConstructionDone();
    InitializeForm();
    if (!created_) {
        created_ = true;
        DoCreate();
    }
}

void TCustomForm::InitializeForm()
{
    if (initialized_) return;
    initialized_ = true;
    const HINSTANCE module = CurrentModuleInstance();
    std::vector<const TClassRecord*> chain;
    for (const TClassRecord* r = &GetClass(); r && r != &TForm::StaticClass() && r != &TCustomForm::StaticClass();
         r = r->Parent()) {
        chain.push_back(r);
    }
    bool found = false;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        const std::string name = FormResourceName(**it);
        if (!FindResourceA(module, name.c_str(), MAKEINTRESOURCEA(10))) continue;
        found = true;
        ReadFormResource(module, name, this);
    }
    if (!found) {
        throw EResNotFound(FormatText(L"リソース %s が見つかりません", {WideFromAnsi(FormResourceName(GetClass()))}));
    }
}

void TCustomForm::DestructionStarting()
{
    if (Visible() && HandleAllocated()) {
        SetVisibleField(false);
        try {
            DoHide();
        } catch (...) {
            Application->HandleException(this, std::current_exception());
        }
        ShowWindow(Handle(), SW_HIDE);
    }
    if (created_) {
        try {
            DoDestroy();
        } catch (...) {
            Application->HandleException(this, std::current_exception());
        }
    }
    TWinControl::DestructionStarting();
}

void TCustomForm::DoCreate()
{
    if (OnCreate) OnCreate(this);
}

void TCustomForm::DoDestroy()
{
    if (OnDestroy) OnDestroy(this);
}

void TCustomForm::DoShow()
{
    if (OnShow) OnShow(this);
}

void TCustomForm::DoHide()
{
    if (OnHide) OnHide(this);
}

void TCustomForm::DoClose(TCloseAction& action)
{
    if (OnClose) OnClose(this, action);
}

void TCustomForm::AdjustCreateParams(TCreateParams& params)
{
    TWinControl::AdjustCreateParams(params);
    params.Style |= WS_CLIPCHILDREN;
    const bool topLevel = !Parent() && !ParentWindow();
    if (topLevel) {
        params.Style &= ~static_cast<DWORD>(WS_CHILD | WS_GROUP | WS_TABSTOP);
        TCustomForm* main = Application ? Application->MainForm() : nullptr;
        params.WndParent = (main && main != this && main->HandleAllocated()) ? main->Handle() : nullptr;
    }
    switch (borderStyle_) {
    case TFormBorderStyle::bsNone:
        if (topLevel) params.Style |= WS_POPUP;
        break;
    case TFormBorderStyle::bsSingle:
    case TFormBorderStyle::bsToolWindow:
        params.Style |= WS_CAPTION | WS_BORDER;
        break;
    case TFormBorderStyle::bsSizeable:
    case TFormBorderStyle::bsSizeToolWin:
        params.Style |= WS_CAPTION | WS_THICKFRAME;
        break;
    case TFormBorderStyle::bsDialog:
        params.Style |= WS_POPUP | WS_CAPTION;
        params.ExStyle |= WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE;
        break;
    }
    if (borderStyle_ == TFormBorderStyle::bsToolWindow || borderStyle_ == TFormBorderStyle::bsSizeToolWin) {
        params.ExStyle |= WS_EX_TOOLWINDOW;
    }
    if (borderStyle_ != TFormBorderStyle::bsNone) {
        if (borderIcons_.Contains(TBorderIcon::biSystemMenu)) params.Style |= WS_SYSMENU;
        if (borderStyle_ != TFormBorderStyle::bsDialog && borderStyle_ != TFormBorderStyle::bsToolWindow &&
            borderStyle_ != TFormBorderStyle::bsSizeToolWin) {
            if (borderIcons_.Contains(TBorderIcon::biMinimize)) params.Style |= WS_MINIMIZEBOX;
            if (borderIcons_.Contains(TBorderIcon::biMaximize)) params.Style |= WS_MAXIMIZEBOX;
        }
        if (borderIcons_.Contains(TBorderIcon::biHelp) &&
            (borderStyle_ == TFormBorderStyle::bsDialog ||
             (!borderIcons_.Contains(TBorderIcon::biMinimize) && !borderIcons_.Contains(TBorderIcon::biMaximize)))) {
            params.ExStyle |= WS_EX_CONTEXTHELP;
        }
    }
    if (formStyle_ == TFormStyle::fsStayOnTop && topLevel) params.ExStyle |= WS_EX_TOPMOST;
    if (topLevel && (position_ == TPosition::poDefault || position_ == TPosition::poDefaultPosOnly)) {
        params.X = CW_USEDEFAULT;
        params.Y = CW_USEDEFAULT;
    }
}

void TCustomForm::AfterLoad()
{
    // A form with a parent gets its windows from the inherited AfterLoad. Sized before, they are
    // made at the size they keep; sized after, the form's window is made (and shown and painted)
    // at the design size, then moved, with its children drawn again. Without windows the client
    // size comes from the frame the window's styles would give it, which for a child window is
    // the frame it gets.
    if (!HandleAllocated() && (Parent() || ParentWindow())) ApplyStoredClientSize();
    TWinControl::AfterLoad();
    ApplyStoredClientSize();
}

void TCustomForm::ApplyStoredClientSize()
{
    const int width = std::exchange(pendingClientWidth_, -1);
    const int height = std::exchange(pendingClientHeight_, -1);
    if (width >= 0) SetClientWidth(width);
    if (height >= 0) SetClientHeight(height);
}

void TCustomForm::SetFormClientWidth(int value)
{
    if (IsReading()) {
        pendingClientWidth_ = value;
        return;
    }
    SetClientWidth(value);
}

void TCustomForm::SetFormClientHeight(int value)
{
    if (IsReading()) {
        pendingClientHeight_ = value;
        return;
    }
    SetClientHeight(value);
}

void TCustomForm::SetBorderStyle(TFormBorderStyle value)
{
    if (value == borderStyle_) return;
    borderStyle_ = value;
    if (HandleAllocated()) RecreateWnd();
}

void TCustomForm::SetBorderIcons(TBorderIcons value)
{
    if (value == borderIcons_) return;
    borderIcons_ = value;
    if (HandleAllocated()) RecreateWnd();
}

void TCustomForm::SetBorderWidth(int value)
{
    borderWidth_ = std::max(0, value);
}

void TCustomForm::SetFormStyle(TFormStyle value)
{
    if (value == formStyle_) return;
    formStyle_ = value;
    if (HandleAllocated()) RecreateWnd();
}

void TCustomForm::Show()
{
    SetVisible(true);
    BringToFront();
}

void TCustomForm::PlaceOnScreen()
{
    if (placed_ || Parent() || ParentWindow()) return;
    placed_ = true;
    if (position_ != TPosition::poScreenCenter && position_ != TPosition::poDesktopCenter) return;
    const int x = (GetSystemMetrics(SM_CXSCREEN) - Width()) / 2;
    const int y = (GetSystemMetrics(SM_CYSCREEN) - Height()) / 2;
    SetBounds(std::max(0, x), std::max(0, y), Width(), Height());
}

bool TCustomForm::CloseQuery()
{
    bool canClose = true;
    if (OnCloseQuery) OnCloseQuery(this, canClose);
    return canClose;
}

void TCustomForm::Close()
{
    if (modal_) {
        modalResult_ = mrCancel;
        return;
    }
    if (!CloseQuery()) return;
    TCloseAction action = TCloseAction::caHide;
    DoClose(action);
    switch (action) {
    case TCloseAction::caNone: break;
    case TCloseAction::caHide:
        if (Application && Application->MainForm() == this) Application->Terminate();
        else Hide();
        break;
    case TCloseAction::caMinimize:
        if (Application && Application->MainForm() == this) Application->Terminate();
        else if (HandleAllocated()) ShowWindow(Handle(), SW_MINIMIZE);
        break;
    case TCloseAction::caFree:
        if (Application && Application->MainForm() == this) Application->Terminate();
        else Release();
        break;
    }
}

void TCustomForm::CloseModal()
{
    TCloseAction action = TCloseAction::caNone;
    if (CloseQuery()) {
        action = TCloseAction::caHide;
        DoClose(action);
    }
    if (action == TCloseAction::caNone) modalResult_ = mrNone;
    else if (action == TCloseAction::caFree) Release();
}

void TCustomForm::Release()
{
    if (!releaseMark_) releaseMark_ = NewReleaseMark(this);
    PostMessageA(Handle(), CM_RELEASE, ReleaseMarkLow(releaseMark_), ReleaseMarkHigh(releaseMark_));
}

TModalResult TCustomForm::ShowModal()
{
    if (Visible() || !Enabled() || modal_) {
        throw EInvalidOperation(std::wstring(L"表示中または無効なウィンドウはモーダルにできません"));
    }
    if (GetCapture()) SendMessageA(GetCapture(), WM_CANCELMODE, 0, 0);
    ReleaseCapture();
    HandleNeeded();
    const HWND activeBefore = GetActiveWindow();
    DisabledWindows disabled{Handle(), {}};
    EnumThreadWindows(GetCurrentThreadId(), DisableThreadWindow, reinterpret_cast<LPARAM>(&disabled));
    modal_ = true;
    modalResult_ = mrNone;
    ++Application->modalLevel_;
    auto restore = [&]() {
        modal_ = false;
        try {
            Hide();
        } catch (...) {
            Application->HandleException(this, std::current_exception());
        }
        for (HWND w : disabled.windows) {
            if (IsWindow(w)) EnableWindow(w, TRUE);
        }
        if (activeBefore && IsWindow(activeBefore)) SetActiveWindow(activeBefore);
        --Application->modalLevel_;
    };
    try {
        Show();
        if (HandleAllocated()) SetForegroundWindow(Handle());
        do {
            Application->HandleMessage();
            if (Application->Terminated()) modalResult_ = mrCancel;
            else if (modalResult_ != mrNone) CloseModal();
        } while (modalResult_ == mrNone);
    } catch (...) {
        restore();
        throw;
    }
    restore();
    return modalResult_;
}

bool TCustomForm::Active()
{
    if (!HandleAllocated()) return false;
    const HWND focus = GetFocus();
    return focus && (focus == Handle() || IsChild(Handle(), focus));
}

void TCustomForm::SetFocus()
{
    if (Active()) return;
    if (!Visible() || !Enabled() || !HandleAllocated()) return;
    if (activeControl_ && activeControl_->CanFocus()) ::SetFocus(activeControl_->Handle());
    else ::SetFocus(Handle());
}

void TCustomForm::SetActiveControl(TWinControl* control)
{
    if (control == this) control = nullptr;
    if (control && !ContainsControl(control)) return;
    activeControl_ = control;
}

void TCustomForm::SetFocusedControl(TWinControl* control)
{
    if (control != this && control) activeControl_ = control;
    if (focusedControl_ == control) return;
    TWinControl* previous = focusedControl_;
    focusedControl_ = control;
    if (previous && previous != this) previous->Perform(CM_EXIT);
    Perform(CM_FOCUSCHANGED, 0, reinterpret_cast<LPARAM>(control));
    if (control && control != this && focusedControl_ == control) control->Perform(CM_ENTER);
}

void TCustomForm::DefocusControl(TWinControl* control, bool removing)
{
    if (!control) return;
    if (removing && control->ContainsControl(focusedControl_)) focusedControl_ = nullptr;
    if (control->ContainsControl(activeControl_)) activeControl_ = nullptr;
}

void TCustomForm::UpdateActions()
{
    std::vector<TControl*> pending{this};
    while (!pending.empty()) {
        TControl* c = pending.back();
        pending.pop_back();
        if (!c->Visible()) continue;
        if (auto* action = dynamic_cast<TBasicAction*>(c->Action())) action->Update();
        if (auto* win = dynamic_cast<TWinControl*>(c)) {
            for (TControl* child : win->ControlList()) pending.push_back(child);
        }
    }
}

void TCustomForm::ComponentNotification(TComponent* component, TOperation operation)
{
    TWinControl::ComponentNotification(component, operation);
    if (operation == TOperation::Removal) {
        if (component == activeControl_) activeControl_ = nullptr;
        if (component == focusedControl_) focusedControl_ = nullptr;
    }
}

void TCustomForm::HandleWindowMessage(TMessage& message)
{
    switch (message.Msg) {
    case CM_SHOWINGCHANGED:
        if (Showing()) {
            PlaceOnScreen();
            if (!Recreating()) DoShow();
            if (!Parent() && !ParentWindow()) ShowWindow(Handle(), SW_SHOWNORMAL);
            else TWinControl::HandleWindowMessage(message);
        } else {
            if (!Recreating()) DoHide();
            if (!Parent() && !ParentWindow()) ShowWindow(Handle(), SW_HIDE);
            else TWinControl::HandleWindowMessage(message);
        }
        break;
    case CM_RELEASE:
        if (releaseMark_ && message.WParam == ReleaseMarkLow(releaseMark_) &&
            message.LParam == ReleaseMarkHigh(releaseMark_))
            Free();
        break;
    case WM_CLOSE:
        Close();
        break;
    case WM_ACTIVATE:
        if (LOWORD(message.WParam) != WA_INACTIVE) {
            if (!activeControl_) {
                if (TWinControl* first = FindNextControl(nullptr, true, true, false)) activeControl_ = first;
            }
            if (activeControl_ && activeControl_->CanFocus() && !HIWORD(message.WParam)) {
                ::SetFocus(activeControl_->Handle());
            } else {
                DefaultHandler(message);
            }
            if (OnActivate) OnActivate(this);
        } else {
            DefaultHandler(message);
            if (OnDeactivate) OnDeactivate(this);
        }
        break;
    case CM_DIALOGKEY: {
        const WORD key = LOWORD(message.WParam);
        if (key == VK_TAB && GetKeyState(VK_CONTROL) >= 0) {
            SelectNext(activeControl_, GetKeyState(VK_SHIFT) >= 0, true);
            message.Result = 1;
            break;
        }
        if ((key == VK_LEFT || key == VK_RIGHT || key == VK_UP || key == VK_DOWN) && activeControl_ &&
            activeControl_->Parent()) {
            activeControl_->Parent()->SelectNext(activeControl_, key == VK_RIGHT || key == VK_DOWN, false);
            message.Result = 1;
            break;
        }
        TWinControl::HandleWindowMessage(message);
        break;
    }
    default:
        TWinControl::HandleWindowMessage(message);
        break;
    }
}

