#pragma once
// The Unicode side of the application object.
//
// The class library's message loop takes messages with the ANSI functions, so a typed character
// outside the ANSI code page reaches a window as code-page bytes. A thread-local message hook,
// installed at this unit's start-up on the thread that runs it (a program's main thread; in the
// band library the shell's thread that loads it), takes every WM_CHAR above 255 for a Unicode
// window, and one from 128 to 255 that the ANSI code page does not hold as it is, and dispatches
// it itself with DispatchMessageW; the loop then receives WM_NULL instead.
//
// Beside it the unit keeps the application's hint as UTF-16 (WideApplication->WideHint), refreshed
// at every idle pass of a program through a windowless control on its main form, and it replaces
// the class library's ANSI hint action by a THintAction descendant that carries the wide hint.
//
// Only the thread that ran the start-up uses any of it; nothing is locked.
#include <windows.h>

#include <string>

#include "ActnList.h"
#include "Controls.h"
#include "WideActions.h"

class TWideAppIdleEventControl;

class TWideApplication : public TComponent {
    KERVO_CLASS(TWideApplication, TComponent)
public:
    // Registers HookAppWindowMessage with the class library's application.
    explicit TWideApplication(TComponent* owner);
    ~TWideApplication() override;
    void DestructionStarting() override;

    // The application's hint as UTF-16, paired with the class library's ANSI application hint:
    // the wide text stands while its ANSI form equals the ANSI hint. Writing sets the ANSI hint to
    // the value's ANSI form (through the empty text first when only characters outside the code
    // page differ), which fires a hint action.
    std::wstring WideHint();
    void SetWideHint(const std::wstring& value);

    // A message retrieved (and removed from the queue) by the thread: true when it was a WM_CHAR
    // (or WM_IME_CHAR) for a Unicode window that the ANSI loop would have changed, which has then
    // been dispatched here (or taken by the application's message event or its dialog).
    bool HandleHookedMessage(MSG& msg);
    // The idle step: the long part of the effective wide hint of the control under the mouse.
    void IdleUpdateHint();
    // The application-window hook: replaces the class library's hint action that carries the
    // current ANSI hint by a TWideHintAction that carries WideHint.
    bool HookAppWindowMessage(TMessage& message);

    TWideAppIdleEventControl* IdleControl() const { return idleControl_; }

private:
    friend class TWideAppIdleEventControl;
    bool mainFormChecked_ = false;
    std::wstring wideHint_;
    TWideAppIdleEventControl* idleControl_ = nullptr;
    bool hooked_ = false;
};

// The one wide application object of the module (made at start-up, freed at shut-down).
extern TWideApplication* WideApplication;

// A windowless, sizeless control on the main form, there only so that the class library's
// idle-time action update reaches its action, whose handlers run IdleUpdateHint.
class TWideAppIdleEventControl : public TControl {
    KERVO_CLASS(TWideAppIdleEventControl, TControl)
public:
    explicit TWideAppIdleEventControl(TComponent* owner);
    ~TWideAppIdleEventControl() override;
    void DestructionStarting() override;

    void IdleActionHandler(TObject* sender);
    TWideAction* IdleAction() const { return idleAction_; }

private:
    TWideAction* idleAction_ = nullptr;
};

// The hint action of the Unicode layer: its Hint is UTF-16.
class TWideHintAction : public THintAction, public IWideAction {
    KERVO_CLASS(TWideHintAction, THintAction)
public:
    explicit TWideHintAction(TComponent* owner) : THintAction(owner) {}
    KERVO_UNCOUNTED_IUNKNOWN

    std::wstring WideHintText() { return GetWideActionHint(this); }
    void SetWideHintText(const std::wstring& value) { SetWideActionHint(this, value); }

    void DefineStreamedProperties(TFiler& filer) override;
    void CopyFrom(TPersistent* source) override;
};

// IsDialogMessageA for the application's dialog window, when it has one.
bool PassToDialog(MSG& msg);

// The WH_GETMESSAGE hook procedure.
LRESULT CALLBACK GetMessageHookProc(int code, WPARAM removal, LPARAM lParam);
// Installs the hook for the calling thread; a failure raises the operating-system error.
void InstallMessageHook();
// The installed hook, or null (none installed, or it could not be installed in a library).
HHOOK MessageHookHandle();

// The unit's start-up and shut-down, run once per module by a static object (a counter makes
// repeated calls do nothing). A hook that cannot be installed raises the operating-system error,
// which ends a program's start-up; in a library (loaded into a process that is not ours) the
// static object lets nothing leave the start-up or the shut-down, and the library works on
// without the hook. The shut-down removes the hook before the module that holds the hook
// procedure goes, and raises a failure to remove it only in a program.
void StartWideForms();
void StopWideForms();
// How many starts the shut-down has still to match (1 while the unit's own start stands alone).
int WideFormsStartCount();
