// The action links of controls and the link class each kind of control asks for.
#include "ControlActionLinks.h"

#include "Buttons.h"
#include "StdCtrls.h"

KERVO_CLASS_RECORD(TControlActionLink) {}

TCustomAction* TControlActionLink::CustomAction() const
{
    return IsInstance<TCustomAction>(Action()) ? static_cast<TCustomAction*>(Action()) : nullptr;
}

bool TControlActionLink::CaptionFollowsAction()
{
    TCustomAction* a = CustomAction();
    return TActionLink::CaptionFollowsAction() && a && Control()->Caption() == a->Caption();
}

bool TControlActionLink::HintFollowsAction()
{
    TCustomAction* a = CustomAction();
    return TActionLink::HintFollowsAction() && a && Control()->Hint() == a->Hint();
}

bool TControlActionLink::EnabledFollowsAction()
{
    TCustomAction* a = CustomAction();
    return TActionLink::EnabledFollowsAction() && a && Control()->Enabled() == a->Enabled();
}

bool TControlActionLink::VisibleFollowsAction()
{
    TCustomAction* a = CustomAction();
    return TActionLink::VisibleFollowsAction() && a && Control()->Visible() == a->Visible();
}

void TControlActionLink::CopyCaptionToClient(const std::string& value)
{
    if (CaptionFollowsAction()) Control()->SetCaption(value);
}

void TControlActionLink::CopyHintToClient(const std::string& value)
{
    if (HintFollowsAction()) Control()->SetHint(value);
}

void TControlActionLink::CopyEnabledToClient(bool value)
{
    if (EnabledFollowsAction()) Control()->SetEnabled(value);
}

void TControlActionLink::CopyVisibleToClient(bool value)
{
    if (VisibleFollowsAction()) Control()->SetVisible(value);
}

KERVO_CLASS_RECORD(TWinControlActionLink) {}
KERVO_CLASS_RECORD(TButtonActionLink) {}
KERVO_CLASS_RECORD(TSpeedButtonActionLink) {}

TActionLink* NewActionLink(const TClassRecord& linkClass, TControl* client)
{
    TObjectPtr<TObject> made(linkClass.CreateInstance());
    if (!IsInstance<TActionLink>(made.get())) RaiseInvalidCast(made.get(), TActionLink::StaticClass());
    auto* link = static_cast<TActionLink*>(made.release());
    link->SetClient(client);
    return link;
}

// The link class each kind of control asks for.
const TClassRecord& TControl::ActionLinkClass() { return TControlActionLink::StaticClass(); }
const TClassRecord& TWinControl::ActionLinkClass() { return TWinControlActionLink::StaticClass(); }
const TClassRecord& TButton::ActionLinkClass() { return TButtonActionLink::StaticClass(); }
const TClassRecord& TSpeedButton::ActionLinkClass() { return TSpeedButtonActionLink::StaticClass(); }
