#include "Forms.h"

#include <windowsx.h>

#include <algorithm>

#include "Filer.h"
#include "FormText.h"
#include "ObjectInstance.h"
#include "Streams.h"

namespace {

// Reads one form resource, text or binary, into the root.
void ReadFormResource(HINSTANCE module, const std::string& name, TComponent* root)
{
    TResourceStream stream(module, name, MAKEINTRESOURCEA(10) /* RT_RCDATA */);
    ReadComponentFromStream(stream, root);
}

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

std::string ProgramTitle()
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string name = path;
    const size_t slash = name.find_last_of("\\/:");
    if (slash != std::string::npos) name.erase(0, slash + 1);
    const size_t dot = name.find_last_of('.');
    if (dot != std::string::npos) name.erase(dot);
    return name;
}

void ShowErrorBox(const std::string& message, const std::string& title)
{
    MessageBoxA(GetActiveWindow(), message.c_str(), title.c_str(), MB_OK | MB_ICONERROR);
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
    TWinControl::AfterLoad();
    if (pendingClientWidth_ >= 0) SetClientWidth(pendingClientWidth_);
    if (pendingClientHeight_ >= 0) SetClientHeight(pendingClientHeight_);
    pendingClientWidth_ = pendingClientHeight_ = -1;
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
    PostMessageA(Handle(), CM_RELEASE, 0, 0);
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
        if (c->Action() && ControlPlugins().UpdateAction) ControlPlugins().UpdateAction(c->Action());
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

// ---------------------------------------------------------------------------------------------
// TApplication

KERVO_CLASS_RECORD(TApplication) {}

TApplication::TApplication(TComponent* owner) : TComponent(owner), title_(ProgramTitle())
{
    display_ = ShowErrorBox;
}

TApplication::~TApplication()
{
    if (handle_) DestroyWindow(handle_);
    FreeObjectInstance(objectInstance_);
}

void TApplication::Initialize()
{
    if (handle_) return;
    objectInstance_ = MakeObjectInstance(TWndMethod::Bind<&TApplication::AppWndProc>(this));
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = CurrentModuleInstance();
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.lpszClassName = "TApplication";
    WNDCLASSA existing{};
    if (!GetClassInfoA(wc.hInstance, wc.lpszClassName, &existing) && !RegisterClassA(&wc)) RaiseLastOSError();
    handle_ = CreateWindowExA(0, "TApplication", title_.c_str(), WS_POPUP | WS_CAPTION | WS_CLIPSIBLINGS | WS_SYSMENU,
                              0, 0, 0, 0, nullptr, nullptr, wc.hInstance, nullptr);
    if (!handle_) RaiseLastOSError();
    SetWindowLongPtrA(handle_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(objectInstance_));
}

void TApplication::SetTitle(const std::string& title)
{
    title_ = title;
    if (handle_) SetWindowTextA(handle_, title.c_str());
}

void TApplication::FormCreated(TComponent* form)
{
    if (!mainForm_ && IsInstance<TCustomForm>(form)) {
        mainForm_ = static_cast<TCustomForm*>(form);
        mainForm_->HandleNeeded();
    }
}

void TApplication::Run()
{
    terminated_ = false;
    if (mainForm_ && showMainForm_) mainForm_->SetVisible(true);
    while (!terminated_) {
        try {
            HandleMessage();
        } catch (...) {
            HandleException(this, std::current_exception());
        }
        if (!mainForm_) terminated_ = true;
    }
    // The request that stopped this loop is served; a later loop of the same object runs.
    terminated_ = false;
}

bool TApplication::IsKeyMsg(MSG& msg)
{
    if (msg.message < WM_KEYFIRST || msg.message > WM_KEYLAST) return false;
    if (GetCapture()) return false;
    HWND window = msg.hwnd;
    while (window && !FindControl(window)) window = GetParent(window);
    if (!window) return false;
    return SendMessageA(window, CN_BASE + msg.message, msg.wParam, msg.lParam) != 0;
}

bool TApplication::ProcessMessage(MSG& msg)
{
    if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) return false;
    if (msg.message == WM_QUIT) {
        terminated_ = true;
        return true;
    }
    bool handled = false;
    if (OnMessage) OnMessage(msg, handled);
    if (handled || IsHintMsg(msg) || IsKeyMsg(msg)) return true;
    if (dialogHandle_ && IsDialogMessageA(dialogHandle_, &msg)) return true;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
    return true;
}

void TApplication::HandleMessage()
{
    MSG msg;
    if (!ProcessMessage(msg)) {
        Idle();
        if (!terminated_) WaitMessage();
    }
}

void TApplication::ProcessMessages()
{
    MSG msg;
    while (ProcessMessage(msg)) {
    }
}

void TApplication::Idle()
{
    try {
        DoMouseIdle();
        if (mainForm_ && mainForm_->Visible() && mainForm_->Enabled() && mainForm_->HandleAllocated() &&
            IsWindowEnabled(mainForm_->Handle())) {
            mainForm_->UpdateActions();
        }
    } catch (...) {
        HandleException(this, std::current_exception());
    }
}

void TApplication::Terminate()
{
    terminated_ = true;
    PostQuitMessage(0);
}

std::string TApplication::ExceptionMessage(std::exception_ptr error)
{
    try {
        std::rethrow_exception(error);
    } catch (const Exception& e) {
        return e.Message();
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return AnsiFromWide(L"不明な例外が発生しました");
    }
}

void TApplication::HandleException(TObject*, std::exception_ptr error)
{
    if (!error) return;
    ShowException(ExceptionMessage(error));
}

void TApplication::ShowException(const std::string& message)
{
    if (!display_) return;
    const bool outer = !showingException_;
    showingException_ = true;
    try {
        display_(message, title_);
    } catch (...) {
    }
    if (outer) showingException_ = false;
}

TApplication::TExceptionDisplay TApplication::SetExceptionDisplay(TExceptionDisplay display)
{
    TExceptionDisplay previous = std::move(display_);
    display_ = display ? std::move(display) : TExceptionDisplay(ShowErrorBox);
    return previous;
}

void TApplication::HookMainWindow(const TWindowHook& hook) { hooks_.push_back(hook); }

void TApplication::UnhookMainWindow(const TWindowHook& hook)
{
    auto it = std::find(hooks_.begin(), hooks_.end(), hook);
    if (it != hooks_.end()) hooks_.erase(it);
}

void TApplication::AppWndProc(TMessage& message)
{
    try {
        for (size_t i = hooks_.size(); i-- > 0;) {
            TWindowHook hook = hooks_[i];
            if (hook && hook(message)) return;
        }
        switch (message.Msg) {
        case WM_CLOSE:
            if (mainForm_) mainForm_->Close();
            break;
        default:
            message.Result = DefWindowProcA(handle_, message.Msg, message.WParam, message.LParam);
            break;
        }
    } catch (...) {
        HandleException(this, std::current_exception());
    }
}

void TApplication::ControlDestroyed(TControl* control)
{
    if (control == mainForm_) mainForm_ = nullptr;
    if (control == mouseControl_) mouseControl_ = nullptr;
    if (control == hintControl_) {
        hintControl_ = nullptr;
        CancelHint();
    }
    if (control == hintWindow_) hintWindow_ = nullptr;
}

// ---------------------------------------------------------------------------------------------
// Hints

std::string GetShortHint(const std::string& hint)
{
    const size_t bar = hint.find('|');
    return bar == std::string::npos ? hint : hint.substr(0, bar);
}

std::string GetLongHint(const std::string& hint)
{
    const size_t bar = hint.find('|');
    return bar == std::string::npos ? hint : hint.substr(bar + 1);
}

std::string GetHint(TControl* control)
{
    for (TControl* c = control; c; c = c->Parent()) {
        if (!c->Hint().empty()) return c->Hint();
    }
    return {};
}

void TApplication::SetShowHint(bool value)
{
    showHint_ = value;
    if (!value) CancelHint();
}

void TApplication::SetHint(const std::string& value)
{
    if (value == hint_) return;
    hint_ = value;
    if (OnHint) OnHint(this);
    else if (ControlPlugins().HintChanged) ControlPlugins().HintChanged(value);
}

void TApplication::StartHintTimer(int ms, bool hide)
{
    StopHintTimer();
    hintTimerHides_ = hide;
    hintTimer_ = SetTimer(nullptr, 0, static_cast<UINT>(std::max(1, ms)), &TApplication::HintTimerProc);
}

void TApplication::StopHintTimer()
{
    if (hintTimer_) KillTimer(nullptr, hintTimer_);
    hintTimer_ = 0;
}

void CALLBACK TApplication::HintTimerProc(HWND, UINT, UINT_PTR id, DWORD)
{
    try {
        if (!Application || id != Application->hintTimer_) {
            KillTimer(nullptr, id);
            return;
        }
        Application->StopHintTimer();
        if (Application->hintTimerHides_) {
            Application->CancelHint();
            return;
        }
        POINT p;
        GetCursorPos(&p);
        Application->ActivateHint(p);
    } catch (...) {
        if (Application) Application->HandleException(nullptr, std::current_exception());
    }
}

void TApplication::HintMouseMessage(TControl* control, TMessage& message)
{
    if (!showHint_ || !control) return;
    POINT p{GET_X_LPARAM(message.LParam), GET_Y_LPARAM(message.LParam)};
    TControl* target = FindControlAtScreenPos(control->ClientToScreen(p), true);
    // The control that has a hint to show: itself, or the nearest parent whose hint it takes.
    if (!target || !target->ShowHint()) {
        CancelHint();
        return;
    }
    if (target == hintControl_) {
        const POINT local = target->ScreenToClient(control->ClientToScreen(p));
        if (hintActive_ && !PtInRect(&hintCursorRect_, local)) CancelHint();
        else return;
    }
    hintControl_ = target;
    StartHintTimer(hintActive_ ? 50 : hintPause_, false);
}

void TApplication::CancelHint()
{
    StopHintTimer();
    if (hintWindow_) hintWindow_->HideHint();
    hintActive_ = false;
    hintControl_ = nullptr;
}

void TApplication::ActivateHint(POINT cursorPos)
{
    TControl* control = FindControlAtScreenPos(cursorPos, true);
    if (!control || !control->ShowHint()) {
        CancelHint();
        return;
    }
    hintControl_ = control;
    THintInfo info;
    info.HintControl = control;
    info.HintWindowClass = hintWindowClass_ ? hintWindowClass_ : &THintWindow::StaticClass();
    info.CursorPos = control->ScreenToClient(cursorPos);
    info.CursorRect = control->ClientRect();
    info.HintPos = POINT{cursorPos.x, cursorPos.y + GetSystemMetrics(SM_CYCURSOR) / 2 + 4};
    info.HintMaxWidth = GetSystemMetrics(SM_CXSCREEN);
    info.HideTimeout = hintHidePause_;
    info.HintStr = GetShortHint(GetHint(control));
    if (hintShortCuts_ && control->Action() && ControlPlugins().ActionShortCutText) {
        const std::string shortcut = ControlPlugins().ActionShortCutText(control->Action());
        if (!shortcut.empty()) info.HintStr += " (" + shortcut + ")";
    }
    bool canShow = control->Perform(CM_HINTSHOW, 0, reinterpret_cast<LPARAM>(&info)) == 0;
    if (canShow && OnShowHint) OnShowHint(info.HintStr, canShow, info);
    if (!canShow || info.HintStr.empty()) {
        CancelHint();
        hintControl_ = control;
        return;
    }
    if (hintWindow_ && &hintWindow_->GetClass() != info.HintWindowClass) {
        THintWindow* old = hintWindow_;
        hintWindow_ = nullptr;
        old->Free();
    }
    if (!hintWindow_) hintWindow_ = CheckedCast<THintWindow>(info.HintWindowClass->CreateInstance(this));
    hintWindow_->SetColor(info.HintColor);
    RECT r = hintWindow_->MeasureHint(info.HintMaxWidth, info.HintStr, info.HintData);
    OffsetRect(&r, info.HintPos.x, info.HintPos.y);
    hintWindow_->ShowHintWithData(r, info.HintStr, info.HintData);
    hintCursorRect_ = info.CursorRect;
    hintActive_ = true;
    if (info.HideTimeout > 0) StartHintTimer(info.HideTimeout, true);
}

bool TApplication::IsHintMsg(MSG& msg)
{
    if (hintActive_ && ((msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST) ||
                        msg.message == WM_LBUTTONDOWN || msg.message == WM_RBUTTONDOWN ||
                        msg.message == WM_MBUTTONDOWN || msg.message == WM_ACTIVATE)) {
        CancelHint();
    }
    return false;
}

void TApplication::DoMouseIdle()
{
    POINT p;
    GetCursorPos(&p);
    TControl* control = FindControlAtScreenPos(p, true);
    if (control != mouseControl_) {
        if (mouseControl_) mouseControl_->Perform(CM_MOUSELEAVE);
        mouseControl_ = control;
        if (control) control->Perform(CM_MOUSEENTER);
    }
    if (!control && hintActive_) CancelHint();
    SetHint(GetLongHint(GetHint(control)));
}

// ---------------------------------------------------------------------------------------------
// THintWindow

KERVO_CLASS_RECORD(THintWindow) {}

THintWindow::THintWindow(TComponent* owner) : TWinControl(owner)
{
    SetVisibleField(false);
    SetColor(SysColorValue(COLOR_INFOBK));
}

void THintWindow::AdjustCreateParams(TCreateParams& params)
{
    TWinControl::AdjustCreateParams(params);
    params.Style = WS_POPUP | WS_BORDER;
    params.ExStyle = WS_EX_TOOLWINDOW | WS_EX_TOPMOST;
    params.WndParent = nullptr;
    params.WindowClass.style |= CS_SAVEBITS;
}

RECT THintWindow::MeasureHint(int maxWidth, const std::string& hint, void*)
{
    RECT r{0, 0, maxWidth, 0};
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, FontHandle());
    DrawTextA(dc, hint.c_str(), -1, &r, DT_CALCRECT | DT_LEFT | DT_WORDBREAK | DT_NOPREFIX);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    r.right += 6;
    r.bottom += 2;
    return r;
}

void THintWindow::ShowHintAt(RECT rect, const std::string& hint)
{
    SetCaption(hint);
    // Kept on the screen.
    const int screenW = GetSystemMetrics(SM_CXSCREEN), screenH = GetSystemMetrics(SM_CYSCREEN);
    if (rect.right > screenW) OffsetRect(&rect, screenW - rect.right, 0);
    if (rect.bottom > screenH) OffsetRect(&rect, 0, screenH - rect.bottom);
    if (rect.left < 0) OffsetRect(&rect, -rect.left, 0);
    if (rect.top < 0) OffsetRect(&rect, 0, -rect.top);
    SetWindowPos(Handle(), HWND_TOPMOST, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                 SWP_SHOWWINDOW | SWP_NOACTIVATE);
    Invalidate();
}

void THintWindow::ShowHintWithData(RECT rect, const std::string& hint, void*) { ShowHintAt(rect, hint); }

void THintWindow::HideHint()
{
    if (HandleAllocated() && IsWindowVisible(Handle())) ShowWindow(Handle(), SW_HIDE);
}

void THintWindow::PaintHint()
{
    RECT r;
    GetClientRect(Handle(), &r);
    r.left += 2;
    r.top += 2;
    HGDIOBJ old = SelectObject(hintDC_, FontHandle());
    SetBkMode(hintDC_, TRANSPARENT);
    SetTextColor(hintDC_, GetSysColor(COLOR_INFOTEXT));
    const std::string text = Caption();
    DrawTextA(hintDC_, text.c_str(), -1, &r, DT_LEFT | DT_WORDBREAK | DT_NOPREFIX);
    SelectObject(hintDC_, old);
}

void THintWindow::HandleWindowMessage(TMessage& message)
{
    switch (message.Msg) {
    case WM_PAINT: {
        PAINTSTRUCT ps{};
        HDC dc = message.WParam ? reinterpret_cast<HDC>(message.WParam) : BeginPaint(Handle(), &ps);
        RECT r;
        GetClientRect(Handle(), &r);
        FillRect(dc, &r, BrushHandle());
        hintDC_ = dc;
        try {
            PaintHint();
        } catch (...) {
            hintDC_ = nullptr;
            if (!message.WParam) EndPaint(Handle(), &ps);
            throw;
        }
        hintDC_ = nullptr;
        if (!message.WParam) EndPaint(Handle(), &ps);
        break;
    }
    case WM_NCHITTEST:
        message.Result = HTTRANSPARENT;
        break;
    case CM_TEXTCHANGED: {
        const std::string text = Caption();
        HDC dc = GetDC(nullptr);
        HGDIOBJ old = SelectObject(dc, FontHandle());
        SIZE size{};
        GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
        TEXTMETRICA tm{};
        GetTextMetricsA(dc, &tm);
        SelectObject(dc, old);
        ReleaseDC(nullptr, dc);
        SetBounds(Left(), Top(), size.cx + 6, tm.tmHeight + 6);
        break;
    }
    default:
        TWinControl::HandleWindowMessage(message);
        break;
    }
}

void TApplication::ComponentNotification(TComponent* component, TOperation operation)
{
    TComponent::ComponentNotification(component, operation);
    if (operation == TOperation::Removal && component == mainForm_) mainForm_ = nullptr;
}

namespace {

// The module's application object, made at start-up; at unload its forms go first, then the
// window classes and the atoms of the module.
struct ApplicationHolder {
    ApplicationHolder()
    {
        Application = new TApplication(nullptr);
        SetStubExceptionHook([](std::exception_ptr error) {
            if (Application) Application->HandleException(nullptr, error);
        });
    }
    ~ApplicationHolder()
    {
        SetStubExceptionHook(nullptr);
        TApplication* app = Application;
        try {
            app->Free();
        } catch (...) {
        }
        Application = nullptr;
        UnregisterControlWindowClasses();
        UnregisterClassA("TApplication", CurrentModuleInstance());
    }
};

}  // namespace

TApplication* Application = nullptr;
static ApplicationHolder g_applicationHolder;

KERVO_CLASS_RECORD(TXPManifest) {}

namespace {
const bool registered = (RegisterClassRecords({&TForm::StaticClass(), &TXPManifest::StaticClass(),
                                               &THintWindow::StaticClass()}),
                         true);
}
