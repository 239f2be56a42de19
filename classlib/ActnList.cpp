#include "ActnList.h"

#include <algorithm>

namespace {
TWndMethod appHandler;

// A message to the application's handler about an action; false when there is none to ask.
bool OfferToApplication(UINT msg, TBasicAction* action)
{
    const TWndMethod handler = appHandler;
    if (!handler) return false;
    TMessage message{msg, 0, reinterpret_cast<LPARAM>(action), 0};
    handler(message);
    return message.Result != 0;
}
}  // namespace

void SetActionAppHandler(const TWndMethod& handler) { appHandler = handler; }
TWndMethod ActionAppHandler() { return appHandler; }

// ---------------------------------------------------------------------------------------------
// Links

KERVO_CLASS_RECORD(TBasicActionLink) {}

TBasicActionLink::~TBasicActionLink()
{
    if (action_) action_->RemoveLink(this);
}

void TBasicActionLink::SetAction(TBasicAction* action)
{
    if (action == action_) return;
    if (action_) action_->RemoveLink(this);
    action_ = action;
    if (action_) action_->AddLink(this);
}

bool TBasicActionLink::Execute(TComponent* target)
{
    TBasicAction* action = action_;
    if (!action) return false;
    action->SetActionComponent(target);
    struct Reset {
        TBasicActionLink* link;
        TBasicAction* action;
        // The action may be gone by now; the link was detached from it then.
        ~Reset()
        {
            if (link->action_ == action) action->SetActionComponent(nullptr);
        }
    } reset{this, action};
    return action->Execute();
}

bool TBasicActionLink::Update() { return action_ && action_->Update(); }

void TBasicActionLink::Change()
{
    if (OnChange) OnChange(action_);
}

KERVO_CLASS_RECORD(TActionLink) {}

bool TActionLink::CaptionFollowsAction() { return IsInstance<TCustomAction>(Action()); }
bool TActionLink::HintFollowsAction() { return IsInstance<TCustomAction>(Action()); }
bool TActionLink::EnabledFollowsAction() { return IsInstance<TCustomAction>(Action()); }
bool TActionLink::CheckedFollowsAction() { return IsInstance<TCustomAction>(Action()); }
bool TActionLink::VisibleFollowsAction() { return IsInstance<TCustomAction>(Action()); }
bool TActionLink::ShortCutFollowsAction() { return IsInstance<TCustomAction>(Action()); }

// ---------------------------------------------------------------------------------------------
// TBasicAction

KERVO_CLASS_RECORD(TBasicAction)
{
    b.Event("OnExecute", &TBasicAction::OnExecute);
    b.Event("OnUpdate", &TBasicAction::OnUpdate);
}

TBasicAction::~TBasicAction()
{
    // Reached without Free as well: no link may keep pointing here.
    for (TBasicActionLink* l : links_) l->action_ = nullptr;
    links_.clear();
}

void TBasicAction::DestructionStarting()
{
    // Clients that asked to hear of the removal drop their links on the way.
    TComponent::DestructionStarting();
    for (TBasicActionLink* l : links_) l->action_ = nullptr;
    links_.clear();
}

void TBasicAction::ComponentNotification(TComponent* component, TOperation operation)
{
    TComponent::ComponentNotification(component, operation);
    if (operation == TOperation::Removal && component == actionComponent_) actionComponent_ = nullptr;
}

void TBasicAction::SetActionComponent(TComponent* component)
{
    if (component == actionComponent_) return;
    if (actionComponent_) actionComponent_->RemoveFreeNotification(this);
    actionComponent_ = component;
    if (actionComponent_) actionComponent_->FreeNotification(this);
}

bool TBasicAction::Execute()
{
    if (!OnExecute) return false;
    OnExecute(this);
    return true;
}

bool TBasicAction::Update()
{
    if (!OnUpdate) return false;
    OnUpdate(this);
    return true;
}

void TBasicAction::Change()
{
    const std::vector<TBasicActionLink*> snapshot = links_;
    for (TBasicActionLink* l : snapshot) {
        if (std::find(links_.begin(), links_.end(), l) != links_.end()) l->Change();
    }
}

void TBasicAction::AddLink(TBasicActionLink* link)
{
    if (std::find(links_.begin(), links_.end(), link) == links_.end()) links_.push_back(link);
}

void TBasicAction::RemoveLink(TBasicActionLink* link)
{
    links_.erase(std::remove(links_.begin(), links_.end(), link), links_.end());
}

// ---------------------------------------------------------------------------------------------
// TContainedAction

KERVO_CLASS_RECORD(TContainedAction)
{
    b.String("Category", &TContainedAction::Category, &TContainedAction::SetCategory);
}

void TContainedAction::SetActionList(TActionList* list)
{
    if (list == actionList_) return;
    if (actionList_) {
        auto& v = actionList_->actions_;
        v.erase(std::remove(v.begin(), v.end(), this), v.end());
    }
    actionList_ = list;
    if (actionList_) actionList_->actions_.push_back(this);
}

int TContainedAction::Index() const
{
    if (!actionList_) return -1;
    const auto& v = actionList_->actions_;
    auto it = std::find(v.begin(), v.end(), this);
    return it == v.end() ? -1 : static_cast<int>(it - v.begin());
}

void TContainedAction::SetCategory(const std::string& category)
{
    if (category == category_) return;
    category_ = category;
    Change();
}

bool TContainedAction::Execute()
{
    return TBasicAction::Execute() || OfferToApplication(CM_ACTIONEXECUTE, this);
}

bool TContainedAction::Update()
{
    return TBasicAction::Update() || OfferToApplication(CM_ACTIONUPDATE, this);
}

TComponent* TContainedAction::GetParentComponent() const { return actionList_; }

void TContainedAction::SetParentComponent(TComponent* parent)
{
    if (IsInstance<TActionList>(parent)) SetActionList(static_cast<TActionList*>(parent));
}

void TContainedAction::DestructionStarting()
{
    SetActionList(nullptr);
    TBasicAction::DestructionStarting();
}

// ---------------------------------------------------------------------------------------------
// TCustomAction

KERVO_CLASS_RECORD(TCustomAction) {}

void TCustomAction::SetCaption(const std::string& caption)
{
    if (caption == caption_) return;
    ForEachActionLink([&](TActionLink* l) { l->CopyCaptionToClient(caption); });
    caption_ = caption;
    Change();
}

void TCustomAction::SetHint(const std::string& hint)
{
    if (hint == hint_) return;
    ForEachActionLink([&](TActionLink* l) { l->CopyHintToClient(hint); });
    hint_ = hint;
    Change();
}

void TCustomAction::SetEnabled(bool enabled)
{
    if (enabled == enabled_) return;
    ForEachActionLink([&](TActionLink* l) { l->CopyEnabledToClient(enabled); });
    enabled_ = enabled;
    Change();
}

void TCustomAction::SetChecked(bool checked)
{
    if (checked == checked_) return;
    ForEachActionLink([&](TActionLink* l) { l->CopyCheckedToClient(checked); });
    checked_ = checked;
    Change();
}

void TCustomAction::SetVisible(bool visible)
{
    if (visible == visible_) return;
    ForEachActionLink([&](TActionLink* l) { l->CopyVisibleToClient(visible); });
    visible_ = visible;
    Change();
}

void TCustomAction::SetShortCut(TShortCut shortCut)
{
    if (shortCut == shortCut_) return;
    ForEachActionLink([&](TActionLink* l) { l->CopyShortCutToClient(shortCut); });
    shortCut_ = shortCut;
    Change();
}

void TCustomAction::CopyTo(TPersistent* destination)
{
    if (!IsInstance<TCustomAction>(destination)) {
        TContainedAction::CopyTo(destination);
        return;
    }
    auto* to = static_cast<TCustomAction*>(destination);
    to->SetCategory(Category());
    to->SetCaption(caption_);
    to->SetHint(hint_);
    to->SetEnabled(enabled_);
    to->SetChecked(checked_);
    to->SetVisible(visible_);
    to->SetShortCut(shortCut_);
    to->OnExecute = OnExecute;
    to->OnUpdate = OnUpdate;
}

KERVO_CLASS_RECORD(TAction)
{
    b.String("Caption", &TCustomAction::Caption, &TCustomAction::SetCaption);
    b.Boolean("Checked", &TCustomAction::Checked, &TCustomAction::SetChecked).Default(false);
    b.Boolean("Enabled", &TCustomAction::Enabled, &TCustomAction::SetEnabled).Default(true);
    b.String("Hint", &TCustomAction::Hint, &TCustomAction::SetHint);
    b.Integer("ShortCut", &TCustomAction::ShortCut, &TCustomAction::SetShortCut).Default(0);
    b.Boolean("Visible", &TCustomAction::Visible, &TCustomAction::SetVisible).Default(true);
}

KERVO_CLASS_RECORD(THintAction)
{
    b.String("Hint", &TCustomAction::Hint, &TCustomAction::SetHint);
}

// ---------------------------------------------------------------------------------------------
// TActionList

KERVO_CLASS_RECORD(TActionList) {}

TContainedAction* TActionList::Actions(int index) const
{
    if (index < 0 || index >= ActionCount()) throw EComponentError(ListIndexErrorText(index));
    return actions_[static_cast<size_t>(index)];
}

void TActionList::UpdateActions()
{
    const std::vector<TContainedAction*> snapshot = actions_;
    for (TContainedAction* a : snapshot) {
        if (std::find(actions_.begin(), actions_.end(), a) != actions_.end()) a->Update();
    }
}

void TActionList::DestructionStarting()
{
    while (!actions_.empty()) {
        TContainedAction* a = actions_.back();
        a->Free();
        // One already on its way out (its Free returned at once) leaves the list here.
        if (!actions_.empty() && actions_.back() == a) {
            actions_.pop_back();
            a->actionList_ = nullptr;
        }
    }
    TComponent::DestructionStarting();
}

void TActionList::GetChildren(const std::function<void(TComponent*)>& proc, TComponent* root)
{
    const std::vector<TContainedAction*> snapshot = actions_;
    for (TContainedAction* a : snapshot) {
        if (a->Owner() == root) proc(a);
    }
}
