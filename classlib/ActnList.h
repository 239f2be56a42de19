#pragma once
// Actions: commands with a caption, hint, shortcut and states that menu items and controls take
// over through action links, and the action list that holds them in a form.
//
// A client (menu item, control) keeps one link to its action. When a property of the action
// changes, the action tells every link first (Copy...ToClient, with the new value, while the
// action still holds the old one; a link copies only while its client follows the action, that
// is while the client's value still equals the action's old value), then stores the value and
// signals a change. Setting a property to its present value does nothing.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "Classes.h"
#include "Messages.h"

// A keyboard shortcut: the virtual-key code in the low byte with modifier bits.
using TShortCut = uint16_t;
constexpr TShortCut scShift = 0x2000;
constexpr TShortCut scCtrl = 0x4000;
constexpr TShortCut scAlt = 0x8000;
constexpr TShortCut scNone = 0;

class TBasicAction;
class TActionList;

// The handler that takes actions without a handler of their own (CM_ACTIONEXECUTE and
// CM_ACTIONUPDATE, LParam the action; a non-zero Result: taken care of); the application sets
// its own here. Called directly, never through a window: the application's window takes none of
// the library's messages, whose pointers any program could fill in. Empty: none.
void SetActionAppHandler(const TWndMethod& handler);
TWndMethod ActionAppHandler();

// ---------------------------------------------------------------------------------------------
// Links

class TBasicActionLink : public TObject {
    KERVO_CLASS(TBasicActionLink, TObject)
public:
    explicit TBasicActionLink(TObject* client = nullptr) : client_(client) {}
    ~TBasicActionLink() override;

    TObject* Client() const { return client_; }
    // For a link made from its class record, before it joins an action.
    void SetClient(TObject* client) { client_ = client; }
    TBasicAction* Action() const { return action_; }
    // Leaves the previous action and joins the new one (null: none).
    void SetAction(TBasicAction* action);

    // Runs the action on behalf of target (the action's ActionComponent meanwhile).
    virtual bool Execute(TComponent* target = nullptr);
    virtual bool Update();

    // Told when the action signals a change as a whole.
    std::function<void(TBasicAction*)> OnChange;

protected:
    friend class TBasicAction;
    virtual void Change();

private:
    TObject* client_;
    TBasicAction* action_ = nullptr;
};

// The link of a client that follows a TCustomAction's properties. The base follows nothing and
// copies nothing; a client's link class answers whether the client still shows the action's
// value and copies a new value into the client.
class TActionLink : public TBasicActionLink {
    KERVO_CLASS(TActionLink, TBasicActionLink)
public:
    using TBasicActionLink::TBasicActionLink;

    // Whether the client takes the property from the action (base: the action is a
    // TCustomAction).
    virtual bool CaptionFollowsAction();
    virtual bool HintFollowsAction();
    virtual bool EnabledFollowsAction();
    virtual bool CheckedFollowsAction();
    virtual bool VisibleFollowsAction();
    virtual bool ShortCutFollowsAction();

    // A new value of the action, told before the action stores it.
    virtual void CopyCaptionToClient(const std::string&) {}
    virtual void CopyHintToClient(const std::string&) {}
    virtual void CopyEnabledToClient(bool) {}
    virtual void CopyCheckedToClient(bool) {}
    virtual void CopyVisibleToClient(bool) {}
    virtual void CopyShortCutToClient(TShortCut) {}
};

// ---------------------------------------------------------------------------------------------
// Actions

class TBasicAction : public TComponent {
    KERVO_CLASS(TBasicAction, TComponent)
public:
    explicit TBasicAction(TComponent* owner) : TComponent(owner) {}
    ~TBasicAction() override;

    TNotifyEvent OnExecute;
    TNotifyEvent OnUpdate;

    // OnExecute with the action as sender: true when there was one.
    virtual bool Execute();
    // OnUpdate: true when there was one.
    virtual bool Update();

    // The component that asked for the running execution (through its link), else null.
    TComponent* ActionComponent() const { return actionComponent_; }
    void SetActionComponent(TComponent* component);

    const std::vector<TBasicActionLink*>& ClientLinks() const { return links_; }

    void DestructionStarting() override;
    void ComponentNotification(TComponent* component, TOperation operation) override;

protected:
    friend class TBasicActionLink;
    // Tells every link of a change as a whole.
    void Change();
    // Every link that follows properties (a TActionLink), for the property setters.
    template <class F>
    void ForEachActionLink(F f)
    {
        const std::vector<TBasicActionLink*> snapshot = links_;
        for (TBasicActionLink* l : snapshot) {
            if (IsInstance<TActionLink>(l)) f(static_cast<TActionLink*>(l));
        }
    }

private:
    void AddLink(TBasicActionLink* link);
    void RemoveLink(TBasicActionLink* link);

    std::vector<TBasicActionLink*> links_;
    TComponent* actionComponent_ = nullptr;
};

// An action that may belong to an action list, with a category.
class TContainedAction : public TBasicAction {
    KERVO_CLASS(TContainedAction, TBasicAction)
public:
    explicit TContainedAction(TComponent* owner) : TBasicAction(owner) {}

    TActionList* ActionList() const { return actionList_; }
    void SetActionList(TActionList* list);
    int Index() const;
    const std::string& Category() const { return category_; }
    void SetCategory(const std::string& category);

    // OnExecute; without one the application window is offered the action (CM_ACTIONEXECUTE).
    bool Execute() override;
    // OnUpdate; without one the application window is offered it (CM_ACTIONUPDATE).
    bool Update() override;

    TComponent* GetParentComponent() const override;
    void SetParentComponent(TComponent* parent) override;
    void DestructionStarting() override;

private:
    friend class TActionList;
    TActionList* actionList_ = nullptr;
    std::string category_;
};

class TCustomAction : public TContainedAction {
    KERVO_CLASS(TCustomAction, TContainedAction)
public:
    explicit TCustomAction(TComponent* owner) : TContainedAction(owner) {}

    const std::string& Caption() const { return caption_; }
    void SetCaption(const std::string& caption);
    const std::string& Hint() const { return hint_; }
    void SetHint(const std::string& hint);
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);
    bool Checked() const { return checked_; }
    void SetChecked(bool checked);
    bool Visible() const { return visible_; }
    void SetVisible(bool visible);
    TShortCut ShortCut() const { return shortCut_; }
    void SetShortCut(TShortCut shortCut);

    // Assigning an action to another copies its properties (through the setters, so links hear).
    void CopyTo(TPersistent* destination) override;

private:
    std::string caption_;
    std::string hint_;
    bool enabled_ = true;
    bool checked_ = false;
    bool visible_ = true;
    TShortCut shortCut_ = 0;
};

// The action of form resources: the properties above published.
class TAction : public TCustomAction {
    KERVO_CLASS(TAction, TCustomAction)
public:
    explicit TAction(TComponent* owner) : TCustomAction(owner) {}
};

// The action that carries a new application hint to whatever consumes hint actions: the
// application fires one (through the application window, having no handler of its own) each time
// its hint changes while it has no OnHint handler.
class THintAction : public TCustomAction {
    KERVO_CLASS(THintAction, TCustomAction)
public:
    explicit THintAction(TComponent* owner) : TCustomAction(owner) {}
};

// ---------------------------------------------------------------------------------------------
// Action list

class TActionList : public TComponent {
    KERVO_CLASS(TActionList, TComponent)
public:
    explicit TActionList(TComponent* owner) : TComponent(owner) {}

    int ActionCount() const { return static_cast<int>(actions_.size()); }
    TContainedAction* Actions(int index) const;
    // Runs Update of every action; the application's idle processing calls it.
    void UpdateActions();

    // The list frees the actions it still holds.
    void DestructionStarting() override;
    // Form resources write the actions inside their list, in list order.
    void GetChildren(const std::function<void(TComponent*)>& proc, TComponent* root) override;

private:
    friend class TContainedAction;
    std::vector<TContainedAction*> actions_;
};
