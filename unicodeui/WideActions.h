#pragma once
// Actions with UTF-16 captions and hints, and action links that compare and copy them.
//
// The class library's actions keep ANSI texts. An action that answers IWideAction keeps a wide
// copy of its caption and hint beside them in a text store (TCustomActionHelper, owned by the
// action), paired with the ANSI text: the wide copy stands while its ANSI form still equals the
// action's ANSI text; once something changed the ANSI text behind the layer's back, the ANSI text
// converted wins.
//
// While the action's ANSI setter tells its client links (before it stores the new value), the
// text store answers the old wide text to GetWideActionCaption (the links compare a client's text
// with it) and the new one to LinkWideCaption (the value the links copy into the client).
#include <windows.h>
#include <unknwn.h>

#include <functional>
#include <string>

#include "ActnList.h"
#include "ControlActionLinks.h"
#include "Controls.h"
#include "Menus.h"

// The marker of an action that keeps wide texts; no methods beyond IUnknown's, answered by the
// component without reference counting.
struct IWideAction : public IUnknown {
    static constexpr GUID Iid = {0x59D0AE37, 0x8161, 0x4AD6, {0x91, 0x02, 0x14, 0xB2, 0x8E, 0x57, 0x61, 0xEB}};
};

// The wide caption and hint of one action.
class TCustomActionHelper : public TComponent {
    KERVO_CLASS(TCustomActionHelper, TComponent)
public:
    explicit TCustomActionHelper(TComponent* owner) : TComponent(owner) {}

    TCustomAction* OwnerAction() const { return ownerAction_; }
    void SetOwnerAction(TCustomAction* action) { ownerAction_ = action; }

    // True while SetWideCaption tells the links and the action still holds the old ANSI caption.
    bool CaptionSetInProgress() const;
    std::wstring GetWideCaption();
    void SetWideCaption(const std::wstring& value);
    bool HintSetInProgress() const;
    std::wstring GetWideHint();
    void SetWideHint(const std::wstring& value);

    // The wide copies as they stand (the value being set, during a set).
    const std::wstring& WideCaptionText() const { return caption_.wide; }
    const std::wstring& WideHintText() const { return hint_.wide; }

private:
    // One text of the store: its wide copy, and the state of a set that is telling the links.
    struct PairedText {
        std::wstring wide;
        bool setting = false;
        std::wstring beforeSet;    // the wide text read when the running set began
        std::string ansiBeingSet;  // the ANSI form of the text being set

        bool SetInProgress(const std::string& actionAnsi) const { return setting && actionAnsi != ansiBeingSet; }
        std::wstring Get(const std::string& actionAnsi);
        // actionAnsi reads the action's ANSI text; setAnsi is the class library's setter.
        void Set(const std::wstring& value, const std::function<std::string()>& actionAnsi,
                 const std::function<void(const std::string&)>& setAnsi);
    };

    TCustomAction* ownerAction_ = nullptr;
    PairedText caption_;
    PairedText hint_;
};

// The action's text store: null unless the action answers IWideAction; made (owned by the
// action) when it has none yet.
TCustomActionHelper* FindActionHelper(TCustomAction* action);
// The wide texts of any action: the text store's for an IWideAction action, else the ANSI texts
// converted (and set through their ANSI form).
std::wstring GetWideActionCaption(TCustomAction* action);
void SetWideActionCaption(TCustomAction* action, const std::wstring& value);
std::wstring GetWideActionHint(TCustomAction* action);
void SetWideActionHint(TCustomAction* action, const std::wstring& value);
// The text a link copies into its client: the given one, except while the action's text store is
// setting it: then the new wide text.
std::wstring LinkWideCaption(TCustomAction* action, const std::wstring& value);
std::wstring LinkWideHint(TCustomAction* action, const std::wstring& value);
// Copies the caption and hint of another action or of a control into the action, through the
// action's ANSI setters (so the wide texts afterwards read as the ANSI forms converted back).
void CopyWideActionTexts(TCustomAction* action, TPersistent* source);

// The action of form resources with a wide Caption and Hint.
class TWideAction : public TAction, public IWideAction {
    KERVO_CLASS(TWideAction, TAction)
public:
    explicit TWideAction(TComponent* owner) : TAction(owner) {}
    KERVO_UNCOUNTED_IUNKNOWN

    std::wstring WideCaption() { return GetWideActionCaption(this); }
    void SetWideCaption(const std::wstring& value) { SetWideActionCaption(this, value); }
    std::wstring WideHint() { return GetWideActionHint(this); }
    void SetWideHint(const std::wstring& value) { SetWideActionHint(this, value); }

    void DefineStreamedProperties(TFiler& filer) override;
    void CopyFrom(TPersistent* source) override;
};

// ---------------------------------------------------------------------------------------------
// Links that compare the client's wide text with the action's and copy the wide text.

class TWideMenuItem;

class TWideMenuActionLink : public TMenuActionLink {
    KERVO_CLASS(TWideMenuActionLink, TMenuActionLink)
public:
    // The client must be a TWideMenuItem (else the invalid-cast error).
    explicit TWideMenuActionLink(TMenuItem* client);
    TWideMenuItem* WideMenuItem() const;

    bool CaptionFollowsAction() override;
    bool HintFollowsAction() override;
    void CopyCaptionToClient(const std::string& value) override;
    void CopyHintToClient(const std::string& value) override;
};

// The same four overrides over each of the class library's control links.
template <class Base>
class TWideControlLinkOf : public Base {
public:
    bool CaptionFollowsAction() override;
    bool HintFollowsAction() override;
    void CopyCaptionToClient(const std::string& value) override;
    void CopyHintToClient(const std::string& value) override;
};

class TWideSpeedButtonActionLink : public TWideControlLinkOf<TSpeedButtonActionLink> {
    KERVO_CLASS(TWideSpeedButtonActionLink, TSpeedButtonActionLink)
};
class TWideButtonActionLink : public TWideControlLinkOf<TButtonActionLink> {
    KERVO_CLASS(TWideButtonActionLink, TButtonActionLink)
};
class TWideWinControlActionLink : public TWideControlLinkOf<TWinControlActionLink> {
    KERVO_CLASS(TWideWinControlActionLink, TWinControlActionLink)
};
class TWideControlActionLink : public TWideControlLinkOf<TControlActionLink> {
    KERVO_CLASS(TWideControlActionLink, TControlActionLink)
};

// The link class for a control: the speed button's, the button's, the windowed control's, else
// the control's.
const TClassRecord& ActionLinkClassFor(TControl* control);
// Takes an IWideAction action's wide caption and hint into the control; with checkDefaults only
// where the control's text is empty or its name, and its hint empty.
void ApplyWideActionTexts(TControl* control, TBasicAction* action, bool checkDefaults);
