// The wide application object: the wide hint, the idle control that refreshes it, the wide hint
// action that replaces the class library's ANSI one, and the handling of hooked messages.
#include "WideForms.h"

#include "Forms.h"
#include "WideCodePages.h"
#include "WideControls.h"
#include "WideStreaming.h"

TWideApplication* WideApplication = nullptr;

namespace {

// A typed character that the ANSI loop would change on its way to a Unicode window: every one above
// 255, and one from 128 to 255 (é ü ß ñ ...) that the code page holds only as a look-alike or not
// at all (932 turns é into e). Below 128 every code page holds the character as it is.
bool LostByAnsiLoop(int32_t code)
{
    if (code > 255) return true;
    if (code < 128) return false;
    const std::wstring typed(1, static_cast<wchar_t>(code));
    return WideFromCodePage(WideToCodePage(typed, ConversionCodePage), ConversionCodePage) != typed;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// TWideApplication

KERVO_CLASS_RECORD(TWideApplication) {}

TWideApplication::TWideApplication(TComponent* owner) : TComponent(owner)
{
    if (Application) {
        Application->HookMainWindow(TWindowHook(this, &TWideApplication::HookAppWindowMessage));
        hooked_ = true;
    }
}

TWideApplication::~TWideApplication()
{
    if (hooked_ && Application) Application->UnhookMainWindow(TWindowHook(this, &TWideApplication::HookAppWindowMessage));
}

void TWideApplication::DestructionStarting()
{
    if (idleControl_) {
        TWideAppIdleEventControl* control = idleControl_;
        idleControl_ = nullptr;
        control->Free();
    }
    if (hooked_ && Application) Application->UnhookMainWindow(TWindowHook(this, &TWideApplication::HookAppWindowMessage));
    hooked_ = false;
    TComponent::DestructionStarting();
}

std::wstring TWideApplication::WideHint()
{
    return GetPairedWideText(wideHint_, Application ? Application->Hint() : std::string());
}

void TWideApplication::SetWideHint(const std::wstring& value)
{
    SetPairedWideText(value, wideHint_, Application ? Application->Hint() : std::string(), [](const std::string& ansi) {
        if (Application) Application->SetHint(ansi);
    });
}

bool TWideApplication::HandleHookedMessage(MSG& msg)
{
    if (!mainFormChecked_ && Application && Application->MainForm()) {
        mainFormChecked_ = true;
        new TWideAppIdleEventControl(Application->MainForm());
    }
    // WM_IME_CHAR too: the ANSI loop would turn a character outside the code page into '?' before
    // the window's default handling makes its WM_CHAR of it.
    const bool character = msg.message == WM_CHAR || msg.message == WM_IME_CHAR;
    if (!character || !LostByAnsiLoop(static_cast<int32_t>(msg.wParam)) || !IsWindowUnicode(msg.hwnd)) return false;
    bool handled = false;
    if (Application && Application->OnMessage) Application->OnMessage(msg, handled);
    if (Application) Application->CancelHint();
    if (!handled && !PassToDialog(msg)) DispatchMessageW(&msg);
    return true;
}

void TWideApplication::IdleUpdateHint()
{
    TControl* control = Application ? Application->MouseControl() : nullptr;
    SetWideHint(WideLongHintPart(GetEffectiveWideHint(control)));
}

bool TWideApplication::HookAppWindowMessage(TMessage& message)
{
    if (message.Msg != CM_ACTIONEXECUTE) return false;
    auto* action = reinterpret_cast<TObject*>(message.LParam);
    // Only the class library's own hint action; a descendant (this layer's among them) passes.
    if (!action || &action->GetClass() != &THintAction::StaticClass()) return false;
    const std::wstring hint = WideHint();
    if (static_cast<THintAction*>(action)->Hint() != AnsiFromWide(hint)) return false;
    message.Result = 1;
    TObjectPtr<TWideHintAction> wide(new TWideHintAction(this));
    wide->SetWideHintText(hint);
    wide->Execute();
    return true;
}

// ---------------------------------------------------------------------------------------------
// TWideAppIdleEventControl

KERVO_CLASS_RECORD(TWideAppIdleEventControl) {}

TWideAppIdleEventControl::TWideAppIdleEventControl(TComponent* owner) : TControl(owner)
{
    SetParentFont(false);
    if (Application && Application->MainForm()) SetParent(Application->MainForm());
    SetVisible(true);
    idleAction_ = new TWideAction(this);
    idleAction_->OnExecute.Bind(this, &TWideAppIdleEventControl::IdleActionHandler);
    idleAction_->OnUpdate.Bind(this, &TWideAppIdleEventControl::IdleActionHandler);
    SetAction(idleAction_);
    if (WideApplication) WideApplication->idleControl_ = this;
}

TWideAppIdleEventControl::~TWideAppIdleEventControl()
{
    if (WideApplication && WideApplication->idleControl_ == this) WideApplication->idleControl_ = nullptr;
}

void TWideAppIdleEventControl::DestructionStarting()
{
    if (WideApplication && WideApplication->idleControl_ == this) WideApplication->idleControl_ = nullptr;
    TControl::DestructionStarting();
}

void TWideAppIdleEventControl::IdleActionHandler(TObject*)
{
    if (WideApplication) WideApplication->IdleUpdateHint();
}

// ---------------------------------------------------------------------------------------------
// TWideHintAction

KERVO_CLASS_RECORD(TWideHintAction)
{
    b.Interface<IWideAction>(IWideAction::Iid);
    b.WideString("Hint", &TWideHintAction::WideHintText, &TWideHintAction::SetWideHintText);
}

void TWideHintAction::DefineStreamedProperties(TFiler& filer)
{
    THintAction::DefineStreamedProperties(filer);
    DefineWideStringProperties(filer, this);
}

void TWideHintAction::CopyFrom(TPersistent* source)
{
    THintAction::CopyFrom(source);
    CopyWideActionTexts(this, source);
}
