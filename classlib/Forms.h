#pragma once
// Forms and the application object.
//
// A form is a windowed control read from its form resource (RCDATA named after its class in
// upper case) by its after-construction step, so that the whole object exists when the resource
// binds its fields and events; OnCreate follows. Make<TMyForm>(owner) or
// Application->CreateForm(ref) make one; a form parented on a window that is not the library's
// (a band site) gets SetParentWindow before its after-construction step.
//
// Events of showing and hiding follow the Visible property: OnShow when it turns true, OnHide
// when it turns false. A form that is freed while visible gets OnHide first, while its window
// and its components still exist, so that what OnShow registered on the window (a drop target,
// a hotkey) is released before the window goes.
#include <windows.h>

#include <cstdint>
#include <exception>
#include <functional>
#include <string>
#include <vector>

#include "Controls.h"

enum class TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
enum class TBorderIcon { biSystemMenu, biMinimize, biMaximize, biHelp };
using TBorderIcons = TSmallSet<TBorderIcon>;
enum class TFormStyle { fsNormal, fsMDIChild, fsMDIForm, fsStayOnTop };
enum class TPosition {
    poDesigned,
    poDefault,
    poDefaultPosOnly,
    poDefaultSizeOnly,
    poScreenCenter,
    poDesktopCenter,
    poMainFormCenter,
    poOwnerFormCenter
};
enum class TCloseAction { caNone, caHide, caFree, caMinimize };

using TModalResult = int;
constexpr TModalResult mrNone = 0;
constexpr TModalResult mrOk = IDOK;
constexpr TModalResult mrCancel = IDCANCEL;
constexpr TModalResult mrAbort = IDABORT;
constexpr TModalResult mrRetry = IDRETRY;
constexpr TModalResult mrIgnore = IDIGNORE;
constexpr TModalResult mrYes = IDYES;
constexpr TModalResult mrNo = IDNO;

using TCloseEvent = TEvent<void(TObject* sender, TCloseAction& action)>;
using TCloseQueryEvent = TEvent<void(TObject* sender, bool& canClose)>;

KERVO_EXCEPTION(EInvalidOperation, Exception)

class TCustomForm : public TWinControl {
    KERVO_CLASS(TCustomForm, TWinControl)
public:
    explicit TCustomForm(TComponent* owner);
    ~TCustomForm() override;
    // Reads the form resources (InitializeForm, unless done), then OnCreate.
    void ConstructionDone() override;
    // OnHide when visible, OnDestroy, then the controls and components.
    void DestructionStarting() override;

    // Reads the resources of the form's class and its ancestors below TForm, the most basic
    // first, once. None found raises EResNotFound.
    virtual void InitializeForm();
    bool FormInitialized() const { return initialized_; }
    // For a form built in code: no resource is read.
    void InitializeWithoutResource() { initialized_ = true; }

    // Visible := true and to the top of its siblings; again while visible: only the latter.
    void Show();
    // OnCloseQuery, OnClose (default caHide), then by the action: hide, free (Release), nothing;
    // the main form ends the application. A modal form only sets ModalResult to mrCancel.
    void Close();
    // Frees the form from its own message queue: a release message posted to its window.
    void Release();
    // Runs the form modally: ModalResult 0, the thread's other windows disabled, a message loop
    // until ModalResult is not 0, then hidden and the windows enabled again.
    TModalResult ShowModal();
    TModalResult ModalResult() const { return modalResult_; }
    void SetModalResult(TModalResult value) { modalResult_ = value; }
    bool IsModal() const { return modal_; }
    bool CloseQuery();

    // The focus is on the form's window or inside it.
    bool Active();
    // Gives the form the keyboard focus (its active control when it can take it). A form that
    // is already active, hidden or disabled is left alone.
    void SetFocus() override;
    TWinControl* ActiveControl() const { return activeControl_; }
    void SetActiveControl(TWinControl* control);
    // Bookkeeping of the windowed control that took the focus (OnExit, OnEnter, CM_FOCUSCHANGED).
    void SetFocusedControl(TWinControl* control);
    // A control that goes away, hides or is disabled stops being the active control.
    void DefocusControl(TWinControl* control, bool removing);

    TFormBorderStyle BorderStyle() const { return borderStyle_; }
    void SetBorderStyle(TFormBorderStyle value);
    TBorderIcons BorderIcons() const { return borderIcons_; }
    void SetBorderIcons(TBorderIcons value);
    int BorderWidth() const { return borderWidth_; }
    void SetBorderWidth(int value);
    TFormStyle FormStyle() const { return formStyle_; }
    void SetFormStyle(TFormStyle value);
    TPosition Position() const { return position_; }
    void SetPosition(TPosition value) { position_ = value; }
    bool KeyPreview() const { return keyPreview_; }
    void SetKeyPreview(bool value) { keyPreview_ = value; }
    bool OldCreateOrder() const { return oldCreateOrder_; }
    void SetOldCreateOrder(bool value) { oldCreateOrder_ = value; }
    int FormClientWidth() { return ClientWidth(); }
    int FormClientHeight() { return ClientHeight(); }
    void SetFormClientWidth(int value);
    void SetFormClientHeight(int value);

    // Updates the actions of the visible controls (idle time).
    void UpdateActions();

    TNotifyEvent OnCreate;
    TNotifyEvent OnDestroy;
    TNotifyEvent OnShow;
    TNotifyEvent OnHide;
    TCloseEvent OnClose;
    TCloseQueryEvent OnCloseQuery;
    TNotifyEvent OnActivate;
    TNotifyEvent OnDeactivate;

    void HandleWindowMessage(TMessage& message) override;

protected:
    void AdjustCreateParams(TCreateParams& params) override;
    void AfterLoad() override;
    // The client size the form resource stored, applied once (the resource is read before it can
    // be): nothing when none is pending.
    void ApplyStoredClientSize();
    void ComponentNotification(TComponent* component, TOperation operation) override;
    virtual void DoCreate();
    virtual void DoDestroy();
    virtual void DoShow();
    virtual void DoHide();
    virtual void DoClose(TCloseAction& action);

private:
    void CloseModal();
    void PlaceOnScreen();

    bool initialized_ = false;
    bool created_ = false;
    TFormBorderStyle borderStyle_ = TFormBorderStyle::bsSizeable;
    TBorderIcons borderIcons_{TBorderIcon::biSystemMenu, TBorderIcon::biMinimize, TBorderIcon::biMaximize};
    int borderWidth_ = 0;
    TFormStyle formStyle_ = TFormStyle::fsNormal;
    TPosition position_ = TPosition::poDesigned;
    bool placed_ = false;
    bool keyPreview_ = false;
    bool oldCreateOrder_ = false;
    bool modal_ = false;
    // The mark that Release put on its release message, 0 before: only a message with it is acted
    // on (any program can post the message's number to the window).
    uint64_t releaseMark_ = 0;
    TModalResult modalResult_ = mrNone;
    TWinControl* activeControl_ = nullptr;
    TWinControl* focusedControl_ = nullptr;
    int pendingClientWidth_ = -1;
    int pendingClientHeight_ = -1;
};

class TForm : public TCustomForm {
    KERVO_CLASS(TForm, TCustomForm)
public:
    explicit TForm(TComponent* owner) : TCustomForm(owner) {}
};

// Makes a form that has no form resource (its controls made in code), OnCreate included.
template <class T>
T* MakeNewForm(TComponent* owner)
{
    return FinishConstruction(new T(owner), [](T* form) { form->InitializeWithoutResource(); });
}

// ---------------------------------------------------------------------------------------------
// Hints

// What the application knows of a hint about to show; the control under the cursor receives it
// with CM_HINTSHOW (LParam points to it) and may change it, or answer non-zero to show none.
struct THintInfo {
    TControl* HintControl = nullptr;
    const TClassRecord* HintWindowClass = nullptr;
    POINT HintPos{};       // screen position of the hint's top-left corner
    int HintMaxWidth = 0;
    TColor HintColor = SysColorValue(COLOR_INFOBK);
    RECT CursorRect{};     // the hint goes when the cursor leaves it (control's client coordinates)
    POINT CursorPos{};     // in the control's client coordinates
    int ReshowTimeout = 0;
    int HideTimeout = 0;
    std::string HintStr;   // ANSI
    void* HintData = nullptr;
};

// The small window that shows a hint.
class THintWindow : public TWinControl {
    KERVO_CLASS(THintWindow, TWinControl)
public:
    explicit THintWindow(TComponent* owner);

    // Sets the caption and shows the window over the rectangle (screen), without activation.
    virtual void ShowHintAt(RECT rect, const std::string& hint);
    virtual void ShowHintWithData(RECT rect, const std::string& hint, void* data);
    // The rectangle the hint needs, from (0, 0), at most maxWidth wide.
    virtual RECT MeasureHint(int maxWidth, const std::string& hint, void* data);
    void HideHint();

    void HandleWindowMessage(TMessage& message) override;

protected:
    void AdjustCreateParams(TCreateParams& params) override;
    // Prepares HintDC (font, transparent background, info-text colour) and draws the hint text
    // into the client area less a 2-pixel margin through DrawHintText.
    virtual void PaintHint();
    // Draws the text itself: the caption, as ANSI text.
    virtual void DrawHintText(HDC dc, RECT& rect);
    HDC HintDC() const { return hintDC_; }
    // The window rectangle around a text rectangle measured from (0, 0) in the window's font:
    // the text stands 2 pixels in from the client's left and top (PaintHint), inside a 1-pixel
    // border, so the window is 6 wider and 4 taller than the text; any less clips the last row
    // of glyphs (a substitute font's descenders).
    static RECT HintRectAroundText(RECT text);

private:
    HDC hintDC_ = nullptr;
};

// The parts of a hint: the short one before the first "|", the long one after it (each the whole
// hint without a bar).
std::string GetShortHint(const std::string& hint);
std::string GetLongHint(const std::string& hint);
// The first non-empty hint of the control and its parents.
std::string GetHint(TControl* control);

// ---------------------------------------------------------------------------------------------
// TApplication

using TMessageEvent = TEvent<void(MSG& msg, bool& handled)>;
using TShowHintEvent = TEvent<void(std::string& hintStr, bool& canShow, THintInfo& hintInfo)>;
// A hook on the application window's messages; true when it handled the message.
using TWindowHook = TEvent<bool(TMessage& message)>;

class TApplication : public TComponent {
    KERVO_CLASS(TApplication, TComponent)
public:
    explicit TApplication(TComponent* owner);
    ~TApplication() override;

    // The application window of a program (a library has none): a hidden window that receives
    // the application-wide messages and carries the title.
    void Initialize();
    HWND Handle() const { return handle_; }

    // The caption of error boxes and of the application window; the program's name by default.
    const std::string& Title() const { return title_; }
    void SetTitle(const std::string& title);

    TCustomForm* MainForm() const { return mainForm_; }
    bool ShowMainForm() const { return showMainForm_; }
    void SetShowMainForm(bool value) { showMainForm_ = value; }

    // Makes a form owned by the application; the first becomes the main form. The reference is
    // set before the form's OnCreate runs, and is null when the creation raises.
    template <class T>
    void CreateForm(T*& reference)
    {
        T* form = nullptr;
        try {
            form = FinishConstruction(new T(this), [&reference](T* made) { reference = made; });
        } catch (...) {
            reference = nullptr;
            throw;
        }
        FormCreated(form);
    }

    // The message loop until the main form closes (Terminate).
    void Run();
    // One message, or the idle step and a wait when there is none.
    void HandleMessage();
    // Every message now waiting, then back.
    void ProcessMessages();
    // Asks the loop to stop (a modal loop ends with mrCancel). Terminated is true from then until
    // the Run that it stopped returns.
    void Terminate();
    bool Terminated() const { return terminated_; }
    int ModalLevel() const { return modalLevel_; }

    // An exception that a message handler let out: shown in a message box with the error icon,
    // captioned with the title. The display is replaceable (tests record instead of blocking);
    // the window-procedure stubs' exception hook leads here too.
    void HandleException(TObject* sender, std::exception_ptr error);
    void ShowException(const std::string& message);
    using TExceptionDisplay = std::function<void(const std::string& message, const std::string& title)>;
    TExceptionDisplay SetExceptionDisplay(TExceptionDisplay display);
    // True while the display runs (a timer leaves its ticks alone meanwhile).
    bool ShowingException() const { return showingException_; }
    // The message of an exception: the library's own, a standard exception's, or a fixed text.
    static std::string ExceptionMessage(std::exception_ptr error);

    // A window whose dialog keys IsDialogMessage handles in the loop (0: none).
    HWND DialogHandle() const { return dialogHandle_; }
    void SetDialogHandle(HWND window) { dialogHandle_ = window; }
    TMessageEvent OnMessage;

    void HookMainWindow(const TWindowHook& hook);
    void UnhookMainWindow(const TWindowHook& hook);

    // Hints: shown after HintPause over a control whose ShowHint is set, in a window of
    // HintWindowClass; the long part of the hint under the cursor is the application hint.
    bool ShowHint() const { return showHint_; }
    void SetShowHint(bool value);
    const std::string& Hint() const { return hint_; }
    void SetHint(const std::string& value);
    bool HintShortCuts() const { return hintShortCuts_; }
    void SetHintShortCuts(bool value) { hintShortCuts_ = value; }
    const TClassRecord* HintWindowClass() const { return hintWindowClass_; }
    void SetHintWindowClass(const TClassRecord* cls) { hintWindowClass_ = cls; }
    int HintPause() const { return hintPause_; }
    void SetHintPause(int ms) { hintPause_ = ms; }
    THintWindow* HintWindow() const { return hintWindow_; }
    TControl* HintControl() const { return hintControl_; }
    // The control under the mouse as the idle step last found it.
    TControl* MouseControl() const { return mouseControl_; }
    TShowHintEvent OnShowHint;
    TNotifyEvent OnHint;
    // The mouse moved over a control (its WM_MOUSEMOVE).
    void HintMouseMessage(TControl* control, TMessage& message);
    // Shows the hint of the control under the screen point now.
    void ActivateHint(POINT cursorPos);
    void CancelHint();

    // Called by every control on its way out.
    void ControlDestroyed(TControl* control);

protected:
    void ComponentNotification(TComponent* component, TOperation operation) override;

private:
    friend class TCustomForm;
    void FormCreated(TComponent* form);
    bool ProcessMessage(MSG& msg);
    bool IsKeyMsg(MSG& msg);
    bool IsHintMsg(MSG& msg);
    void Idle();
    void DoMouseIdle();
    void StartHintTimer(int ms, bool hide);
    void StopHintTimer();
    static void CALLBACK HintTimerProc(HWND, UINT, UINT_PTR, DWORD);
    // The window's procedure: AppMessage, with the library's messages disarmed as a control's
    // window does (DisarmLibraryMessageFromOutside): they come only through the action handler.
    void AppWndProc(TMessage& message);
    // The hooks, then the application's own handling, inside the exception barrier.
    void AppMessage(TMessage& message);

    HWND handle_ = nullptr;
    WNDPROC objectInstance_ = nullptr;
    std::string title_;
    TCustomForm* mainForm_ = nullptr;
    bool showMainForm_ = true;
    bool terminated_ = false;
    int modalLevel_ = 0;
    HWND dialogHandle_ = nullptr;
    bool showingException_ = false;
    TExceptionDisplay display_;
    std::vector<TWindowHook> hooks_;
    bool showHint_ = true;
    bool hintShortCuts_ = true;
    std::string hint_;
    const TClassRecord* hintWindowClass_ = nullptr;
    int hintPause_ = 500;
    int hintHidePause_ = 2500;
    THintWindow* hintWindow_ = nullptr;
    TControl* hintControl_ = nullptr;
    TControl* mouseControl_ = nullptr;
    RECT hintCursorRect_{};
    UINT_PTR hintTimer_ = 0;
    bool hintTimerHides_ = false;
    bool hintActive_ = false;
};

// The application object of this module.
extern TApplication* Application;

// The component that links the application manifest (the manifest resource does the work).
class TXPManifest : public TComponent {
    KERVO_CLASS(TXPManifest, TComponent)
public:
    explicit TXPManifest(TComponent* owner) : TComponent(owner) {}
};
