#pragma once
// Action links of controls. A control joins its action through a link of the class its
// ActionLinkClass answers; the action tells the link of each new caption, hint, enabled and
// visible state before it stores it, and the link copies the value into the control while the
// control still shows the action's old value (so a text the user changed by hand stays).
#include "ActnList.h"
#include "Controls.h"

class TControlActionLink : public TActionLink {
    KERVO_CLASS(TControlActionLink, TActionLink)
public:
    TControlActionLink() = default;
    TControl* Control() const { return static_cast<TControl*>(Client()); }
    // The action as a TCustomAction, or null.
    TCustomAction* CustomAction() const;

    bool CaptionFollowsAction() override;
    bool HintFollowsAction() override;
    bool EnabledFollowsAction() override;
    bool VisibleFollowsAction() override;
    void CopyCaptionToClient(const std::string& value) override;
    void CopyHintToClient(const std::string& value) override;
    void CopyEnabledToClient(bool value) override;
    void CopyVisibleToClient(bool value) override;
};

class TWinControlActionLink : public TControlActionLink {
    KERVO_CLASS(TWinControlActionLink, TControlActionLink)
};

class TButtonActionLink : public TWinControlActionLink {
    KERVO_CLASS(TButtonActionLink, TWinControlActionLink)
};

class TSpeedButtonActionLink : public TControlActionLink {
    KERVO_CLASS(TSpeedButtonActionLink, TControlActionLink)
};

// A new link of the class (a TActionLink descendant) for the control, not yet joined to an action.
TActionLink* NewActionLink(const TClassRecord& linkClass, TControl* client);
