// The application object: its utility window, the forms it creates and frees, the message loop
// with idle processing, and the display of exceptions that windows could not handle.
#include "Forms.h"

#include <windowsx.h>

#include <algorithm>

#include "ActnList.h"
#include "ObjectInstance.h"
#include "Streams.h"

namespace {

void ShowErrorBox(const std::string& message, const std::string& title)
{
    MessageBoxA(GetActiveWindow(), message.c_str(), title.c_str(), MB_OK | MB_ICONERROR);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// TApplication

KERVO_CLASS_RECORD(TApplication) {}

TApplication::TApplication(TComponent* owner)
    : TComponent(owner), title_(AnsiFromWide(ExtractBaseName(ModuleFileName(nullptr))))
{
    display_ = ShowErrorBox;
}

TApplication::~TApplication()
{
    if (ActionAppHandler() == TWndMethod::Bind<&TApplication::AppMessage>(this)) SetActionAppHandler(TWndMethod());
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
    RegisterWindowClass(wc, true);
    handle_ = CreateWindowExA(0, "TApplication", title_.c_str(), WS_POPUP | WS_CAPTION | WS_CLIPSIBLINGS | WS_SYSMENU,
                              0, 0, 0, 0, nullptr, nullptr, wc.hInstance, nullptr);
    if (!handle_) RaiseLastOSError();
    SetWindowLongPtrA(handle_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(objectInstance_));
    // Actions without a handler of their own are offered here (the application-window hooks).
    SetActionAppHandler(TWndMethod::Bind<&TApplication::AppMessage>(this));
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
    TWinControl* control = FindControlOrParent(msg.hwnd);
    if (!control) return false;
    // Performed, as the library's messages are (its windows take none of them from outside). A
    // key whose handling raised is shown and still goes to the window, as one that nothing took.
    try {
        return control->Perform(CN_BASE + msg.message, msg.wParam, msg.lParam) != 0;
    } catch (...) {
        HandleException(control, std::current_exception());
        return false;
    }
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
    DisarmLibraryMessageFromOutside(message);
    AppMessage(message);
}

void TApplication::AppMessage(TMessage& message)
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
        UnregisterWindowClasses();
    }
};

}  // namespace

TApplication* Application = nullptr;
// Made ahead of the ordinary static initialisers: units of other libraries register with the
// application object at their start-up (and go again, in reverse order, before it is freed).
__attribute__((init_priority(200))) static ApplicationHolder applicationHolder;

KERVO_CLASS_RECORD(TXPManifest) {}

namespace {
const bool registered = (RegisterClassRecords({&TForm::StaticClass(), &TXPManifest::StaticClass(),
                                               &THintWindow::StaticClass()}),
                         true);
}
