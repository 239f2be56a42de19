// Wide action texts: the text store of an action, the routines over any action, TWideAction, and
// the links that copy wide texts into controls and menu items.
#include "WideActions.h"

#include "Buttons.h"
#include "StdCtrls.h"
#include "WideControls.h"
#include "WideMenus.h"
#include "WideStreaming.h"

namespace {

TCustomAction* AsWideCustomAction(TObject* object)
{
    if (!IsInstance<TCustomAction>(object) || !QueryInterfaceOf<IWideAction>(object)) return nullptr;
    return static_cast<TCustomAction*>(object);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// TCustomActionHelper

KERVO_CLASS_RECORD(TCustomActionHelper) {}

std::wstring TCustomActionHelper::PairedText::Get(const std::string& actionAnsi)
{
    if (SetInProgress(actionAnsi)) return beforeSet;
    return GetPairedWideText(wide, actionAnsi);
}

void TCustomActionHelper::PairedText::Set(const std::wstring& value, const std::function<std::string()>& actionAnsi,
                                          const std::function<void(const std::string&)>& setAnsi)
{
    beforeSet = Get(actionAnsi());
    ansiBeingSet = AnsiFromWide(value);
    setting = true;
    try {
        SetPairedWideText(value, wide, actionAnsi(), [&](const std::string& ansi) {
            setAnsi(ansi);
            // A pass through the empty text leaves the following clients showing it: the next
            // pass compares them with that, not with the text before the set.
            if (ansi != ansiBeingSet) beforeSet = WideFromAnsi(ansi);
        });
    } catch (...) {
        setting = false;
        throw;
    }
    setting = false;
}

bool TCustomActionHelper::CaptionSetInProgress() const { return caption_.SetInProgress(ownerAction_->Caption()); }

std::wstring TCustomActionHelper::GetWideCaption() { return caption_.Get(ownerAction_->Caption()); }

void TCustomActionHelper::SetWideCaption(const std::wstring& value)
{
    caption_.Set(
        value, [this] { return ownerAction_->Caption(); }, [this](const std::string& a) { ownerAction_->SetCaption(a); });
}

bool TCustomActionHelper::HintSetInProgress() const { return hint_.SetInProgress(ownerAction_->Hint()); }

std::wstring TCustomActionHelper::GetWideHint() { return hint_.Get(ownerAction_->Hint()); }

void TCustomActionHelper::SetWideHint(const std::wstring& value)
{
    hint_.Set(
        value, [this] { return ownerAction_->Hint(); }, [this](const std::string& a) { ownerAction_->SetHint(a); });
}

// ---------------------------------------------------------------------------------------------
// Routines over any action

TCustomActionHelper* FindActionHelper(TCustomAction* action)
{
    if (!AsWideCustomAction(action)) return nullptr;
    for (TComponent* c : action->ComponentList()) {
        if (IsInstance<TCustomActionHelper>(c)) return static_cast<TCustomActionHelper*>(c);
    }
    auto* helper = new TCustomActionHelper(action);
    helper->SetOwnerAction(action);
    return helper;
}

std::wstring GetWideActionCaption(TCustomAction* action)
{
    if (TCustomActionHelper* helper = FindActionHelper(action)) return helper->GetWideCaption();
    return action ? WideFromAnsi(action->Caption()) : std::wstring();
}

void SetWideActionCaption(TCustomAction* action, const std::wstring& value)
{
    if (TCustomActionHelper* helper = FindActionHelper(action)) helper->SetWideCaption(value);
    else if (action) action->SetCaption(AnsiFromWide(value));
}

std::wstring GetWideActionHint(TCustomAction* action)
{
    if (TCustomActionHelper* helper = FindActionHelper(action)) return helper->GetWideHint();
    return action ? WideFromAnsi(action->Hint()) : std::wstring();
}

void SetWideActionHint(TCustomAction* action, const std::wstring& value)
{
    if (TCustomActionHelper* helper = FindActionHelper(action)) helper->SetWideHint(value);
    else if (action) action->SetHint(AnsiFromWide(value));
}

std::wstring LinkWideCaption(TCustomAction* action, const std::wstring& value)
{
    TCustomActionHelper* helper = FindActionHelper(action);
    return helper && helper->CaptionSetInProgress() ? helper->WideCaptionText() : value;
}

std::wstring LinkWideHint(TCustomAction* action, const std::wstring& value)
{
    TCustomActionHelper* helper = FindActionHelper(action);
    return helper && helper->HintSetInProgress() ? helper->WideHintText() : value;
}

void CopyWideActionTexts(TCustomAction* action, TPersistent* source)
{
    if (IsInstance<TCustomAction>(source)) {
        auto* from = static_cast<TCustomAction*>(source);
        action->SetCaption(AnsiFromWide(GetWideActionCaption(from)));
        action->SetHint(AnsiFromWide(GetWideActionHint(from)));
    } else if (IsInstance<TControl>(source)) {
        auto* from = static_cast<TControl*>(source);
        action->SetCaption(AnsiFromWide(GetWideControlText(from)));
        action->SetHint(AnsiFromWide(GetWideControlHint(from)));
    }
}

// ---------------------------------------------------------------------------------------------
// TWideAction

KERVO_CLASS_RECORD(TWideAction)
{
    b.Interface<IWideAction>(IWideAction::Iid);
    b.WideString("Caption", &TWideAction::WideCaption, &TWideAction::SetWideCaption);
    b.WideString("Hint", &TWideAction::WideHint, &TWideAction::SetWideHint);
}

void TWideAction::DefineStreamedProperties(TFiler& filer)
{
    TAction::DefineStreamedProperties(filer);
    DefineWideStringProperties(filer, this);
}

void TWideAction::CopyFrom(TPersistent* source)
{
    TAction::CopyFrom(source);
    CopyWideActionTexts(this, source);
}

// ---------------------------------------------------------------------------------------------
// Links

KERVO_CLASS_RECORD(TWideMenuActionLink) {}

TWideMenuActionLink::TWideMenuActionLink(TMenuItem* client) : TMenuActionLink(CheckedCast<TWideMenuItem>(client)) {}

TWideMenuItem* TWideMenuActionLink::WideMenuItem() const { return static_cast<TWideMenuItem*>(MenuItem()); }

bool TWideMenuActionLink::CaptionFollowsAction()
{
    TCustomAction* a = IsInstance<TCustomAction>(Action()) ? static_cast<TCustomAction*>(Action()) : nullptr;
    return TActionLink::CaptionFollowsAction() && a &&
           SameCaptionIgnoringHotkeys(GetWideActionCaption(a), WideMenuItem()->WideCaption());
}

bool TWideMenuActionLink::HintFollowsAction()
{
    TCustomAction* a = IsInstance<TCustomAction>(Action()) ? static_cast<TCustomAction*>(Action()) : nullptr;
    return TActionLink::HintFollowsAction() && a && GetWideActionHint(a) == WideMenuItem()->WideHint();
}

void TWideMenuActionLink::CopyCaptionToClient(const std::string& value)
{
    if (!CaptionFollowsAction()) return;
    auto* a = static_cast<TCustomAction*>(Action());
    WideMenuItem()->SetWideCaption(LinkWideCaption(a, WideFromAnsi(value)));
}

void TWideMenuActionLink::CopyHintToClient(const std::string& value)
{
    if (!HintFollowsAction()) return;
    auto* a = static_cast<TCustomAction*>(Action());
    WideMenuItem()->SetWideHint(LinkWideHint(a, WideFromAnsi(value)));
}

template <class Base>
bool TWideControlLinkOf<Base>::CaptionFollowsAction()
{
    return Base::CaptionFollowsAction() && GetWideActionCaption(this->CustomAction()) == GetWideControlText(this->Control());
}

template <class Base>
bool TWideControlLinkOf<Base>::HintFollowsAction()
{
    return Base::HintFollowsAction() && GetWideActionHint(this->CustomAction()) == GetWideControlHint(this->Control());
}

template <class Base>
void TWideControlLinkOf<Base>::CopyCaptionToClient(const std::string& value)
{
    if (CaptionFollowsAction()) SetWideControlText(this->Control(), LinkWideCaption(this->CustomAction(), WideFromAnsi(value)));
}

template <class Base>
void TWideControlLinkOf<Base>::CopyHintToClient(const std::string& value)
{
    if (HintFollowsAction()) SetWideControlHint(this->Control(), LinkWideHint(this->CustomAction(), WideFromAnsi(value)));
}

template class TWideControlLinkOf<TSpeedButtonActionLink>;
template class TWideControlLinkOf<TButtonActionLink>;
template class TWideControlLinkOf<TWinControlActionLink>;
template class TWideControlLinkOf<TControlActionLink>;

KERVO_CLASS_RECORD(TWideSpeedButtonActionLink) {}
KERVO_CLASS_RECORD(TWideButtonActionLink) {}
KERVO_CLASS_RECORD(TWideWinControlActionLink) {}
KERVO_CLASS_RECORD(TWideControlActionLink) {}

const TClassRecord& ActionLinkClassFor(TControl* control)
{
    // The class library has no list view, tool button or extended combo box: their links are
    // not needed.
    if (IsInstance<TSpeedButton>(control)) return TWideSpeedButtonActionLink::StaticClass();
    if (IsInstance<TButton>(control)) return TWideButtonActionLink::StaticClass();
    if (IsInstance<TWinControl>(control)) return TWideWinControlActionLink::StaticClass();
    return TWideControlActionLink::StaticClass();
}

void ApplyWideActionTexts(TControl* control, TBasicAction* action, bool checkDefaults)
{
    TCustomAction* a = AsWideCustomAction(action);
    if (!a || !control) return;
    const std::wstring text = GetWideControlText(control);
    if (!checkDefaults || text.empty() || text == WideFromAnsi(control->Name())) {
        SetWideControlText(control, GetWideActionCaption(a));
    }
    if (!checkDefaults || GetWideControlHint(control).empty()) SetWideControlHint(control, GetWideActionHint(a));
}
