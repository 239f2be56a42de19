// Actions and their links: what the links are told and when, menu items that follow an action
// until changed by hand, execution with and without a handler (offered to the application's
// handler as CM_ACTIONEXECUTE), lists and lifetimes.
#include <windows.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ActnList.h"
#include "ControlActionLinks.h"
#include "Menus.h"
#include "StdCtrls.h"

namespace {

// A link that records what it is told, and whether the action still held the old value then.
class TRecordingLink : public TActionLink {
public:
    using TActionLink::TActionLink;
    std::vector<std::string> told;
    TCustomAction* A() const { return static_cast<TCustomAction*>(Action()); }
    void CopyCaptionToClient(const std::string& v) override { told.push_back("caption " + v + " was " + A()->Caption()); }
    void CopyHintToClient(const std::string& v) override { told.push_back("hint " + v); }
    void CopyEnabledToClient(bool v) override { told.push_back(std::string("enabled ") + (v ? "1" : "0")); }
    void CopyCheckedToClient(bool v) override { told.push_back(std::string("checked ") + (v ? "1" : "0")); }
    void CopyVisibleToClient(bool v) override { told.push_back(std::string("visible ") + (v ? "1" : "0")); }
    void CopyShortCutToClient(TShortCut v) override { told.push_back("shortcut " + std::to_string(v)); }
};

class TActionHost : public TComponent {
    KERVO_CLASS(TActionHost, TComponent)
public:
    explicit TActionHost(TComponent* owner) : TComponent(owner) {}
    std::vector<std::string> log;
    void Execute(TObject* sender) { log.push_back("execute " + static_cast<TComponent*>(sender)->Name()); }
    void Click(TObject* sender) { log.push_back("click " + static_cast<TComponent*>(sender)->Name()); }
    void Update(TObject* sender) { log.push_back("update " + static_cast<TComponent*>(sender)->Name()); }
    void ExecuteAndLookAtCaller(TObject* sender)
    {
        TComponent* caller = static_cast<TBasicAction*>(sender)->ActionComponent();
        log.push_back("by " + (caller ? caller->Name() : std::string("nobody")));
    }
};

KERVO_CLASS_RECORD(TActionHost) {}

// Stands in for the application's handler: records the action messages and answers as told.
struct AppHandler : TObject {
    static LRESULT answer;
    static std::vector<std::pair<UINT, LPARAM>> seen;
    void Handle(TMessage& m)
    {
        seen.push_back({m.Msg, m.LParam});
        m.Result = answer;
    }
    AppHandler()
    {
        seen.clear();
        SetActionAppHandler(TWndMethod::Bind<&AppHandler::Handle>(this));
    }
    ~AppHandler() override { SetActionAppHandler(TWndMethod()); }
};
LRESULT AppHandler::answer = 1;
std::vector<std::pair<UINT, LPARAM>> AppHandler::seen;

}  // namespace

TEST(Actions, LinksAreToldNewValuesBeforeTheActionStoresThem)
{
    TObjectPtr<TActionHost> host(new TActionHost(nullptr));
    auto* action = new TAction(host.get());
    TRecordingLink link(host.get());
    link.SetAction(action);
    ASSERT_EQ(action->ClientLinks().size(), 1u);

    action->SetCaption("Run");
    action->SetCaption("Go");
    action->SetHint("hint");
    action->SetEnabled(false);
    action->SetChecked(true);
    action->SetVisible(false);
    action->SetShortCut(scCtrl | 'R');
    EXPECT_EQ(link.told, (std::vector<std::string>{"caption Run was ", "caption Go was Run", "hint hint", "enabled 0",
                                                   "checked 1", "visible 0",
                                                   "shortcut " + std::to_string(scCtrl | 'R')}));
    EXPECT_EQ(action->Caption(), "Go");
    EXPECT_FALSE(action->Enabled());

    // Equal values tell nobody.
    link.told.clear();
    action->SetCaption("Go");
    action->SetHint("hint");
    action->SetEnabled(false);
    action->SetChecked(true);
    action->SetVisible(false);
    action->SetShortCut(scCtrl | 'R');
    EXPECT_TRUE(link.told.empty());

    // A link that left is not told; a whole change reaches the links that are there.
    int changes = 0;
    TRecordingLink second(host.get());
    second.OnChange = [&](TBasicAction* a) {
        EXPECT_EQ(a, action);
        ++changes;
    };
    second.SetAction(action);
    link.SetAction(nullptr);
    action->SetCaption("Again");
    EXPECT_TRUE(link.told.empty());
    EXPECT_EQ(second.told.size(), 1u);
    EXPECT_EQ(changes, 1);
    action->SetCategory("Internet");
    EXPECT_EQ(changes, 2);
}

TEST(Actions, MenuItemFollowsItsActionUntilChangedByHand)
{
    TObjectPtr<TActionHost> host(new TActionHost(nullptr));
    auto* action = new TAction(host.get());
    action->SetCaption(AnsiFromWide(L"作者ホームページ(&W)"));
    action->SetHint("home");
    action->SetShortCut(scCtrl | 'H');
    auto* menu = new TPopupMenu(host.get());
    auto* item = new TMenuItem(host.get());
    menu->Items()->Add(item);
    auto* other = new TMenuItem(host.get());
    menu->Items()->Add(other);

    item->SetAction(action);
    other->SetAction(action);
    EXPECT_EQ(item->Caption(), AnsiFromWide(L"作者ホームページ(&W)"));
    EXPECT_EQ(item->Hint(), "home");
    EXPECT_EQ(item->ShortCut(), scCtrl | 'H');
    EXPECT_EQ(action->ClientLinks().size(), 2u);
    EXPECT_TRUE(IsInstance<TMenuActionLink>(item->ActionLink()));

    // The handle shows what the action says.
    HMENU h = menu->Handle();
    action->SetEnabled(false);
    EXPECT_FALSE(item->Enabled());
    EXPECT_TRUE(GetMenuState(h, item->Command(), MF_BYCOMMAND) & MF_GRAYED);
    action->SetChecked(true);
    EXPECT_TRUE(item->Checked());
    action->SetCaption("New");
    EXPECT_EQ(item->Caption(), "New");
    char text[64] = {};
    GetMenuStringA(h, item->Command(), text, sizeof text, MF_BYCOMMAND);
    EXPECT_EQ(std::string(text), "New\tCtrl+H");

    // Changed by hand, the caption stays; the other item follows on. Captions are compared
    // without hot-key marks and case.
    item->SetCaption("Mine");
    other->SetCaption("&new");
    action->SetCaption("Newer");
    EXPECT_EQ(item->Caption(), "Mine");
    EXPECT_EQ(other->Caption(), "Newer");
    action->SetVisible(false);
    EXPECT_FALSE(other->Visible());
    EXPECT_EQ(GetMenuItemCount(h), 0);

    // Freed, the action leaves its clients without one.
    action->Free();
    EXPECT_EQ(item->Action(), nullptr);
    EXPECT_EQ(other->Action(), nullptr);
    EXPECT_EQ(item->Caption(), "Mine");
}

TEST(Actions, ClickRunsTheItemsOwnHandlerElseTheAction)
{
    TObjectPtr<TActionHost> host(new TActionHost(nullptr));
    auto* action = new TAction(host.get());
    action->SetName("ActionHome1");
    action->OnExecute.Bind(host.get(), &TActionHost::Execute);
    auto* menu = new TPopupMenu(host.get());
    auto* item = new TMenuItem(host.get());
    item->SetName("W1");
    menu->Items()->Add(item);
    item->SetAction(action);

    EXPECT_TRUE(menu->DispatchCommand(item->Command()));
    EXPECT_EQ(host->log, std::vector<std::string>{"execute ActionHome1"});

    // The action's own handler set on the item still goes through the action.
    item->OnClick = action->OnExecute;
    item->Click();
    EXPECT_EQ(host->log.size(), 2u);
    EXPECT_EQ(host->log.back(), "execute ActionHome1");
    // Another handler of the item's runs instead.
    item->OnClick.Bind(host.get(), &TActionHost::Click);
    item->Click();
    EXPECT_EQ(host->log.back(), "click W1");

    // The action knows who asked while it runs, and forgets afterwards.
    item->OnClick.Clear();
    action->OnExecute.Bind(host.get(), &TActionHost::ExecuteAndLookAtCaller);
    item->Click();
    EXPECT_EQ(host->log.back(), "by W1");
    EXPECT_EQ(action->ActionComponent(), nullptr);

    // A disabled action disables its item, which then does not click.
    const size_t before = host->log.size();
    action->SetEnabled(false);
    item->Click();
    EXPECT_EQ(host->log.size(), before);
}

TEST(Actions, WithoutAHandlerTheApplicationIsOffered)
{
    TObjectPtr<TActionHost> host(new TActionHost(nullptr));
    auto* action = new TAction(host.get());

    // No application: nobody runs it.
    EXPECT_FALSE(action->Execute());
    EXPECT_FALSE(action->Update());

    AppHandler app;
    AppHandler::answer = 1;
    EXPECT_TRUE(action->Execute());
    EXPECT_TRUE(action->Update());
    ASSERT_EQ(AppHandler::seen.size(), 2u);
    EXPECT_EQ(AppHandler::seen[0].first, CM_ACTIONEXECUTE);
    EXPECT_EQ(AppHandler::seen[0].second, reinterpret_cast<LPARAM>(action));
    EXPECT_EQ(AppHandler::seen[1].first, CM_ACTIONUPDATE);

    AppHandler::answer = 0;
    EXPECT_FALSE(action->Execute());

    // With handlers, the application hears nothing.
    AppHandler::seen.clear();
    action->OnExecute.Bind(host.get(), &TActionHost::Execute);
    action->OnUpdate.Bind(host.get(), &TActionHost::Update);
    action->SetName("A1");
    EXPECT_TRUE(action->Execute());
    EXPECT_TRUE(action->Update());
    EXPECT_TRUE(AppHandler::seen.empty());
    EXPECT_EQ(host->log, (std::vector<std::string>{"execute A1", "update A1"}));
}

TEST(Actions, ListHoldsItsActionsInOrderAndFreesThem)
{
    TObjectPtr<TActionHost> host(new TActionHost(nullptr));
    auto* list = new TActionList(host.get());
    auto* a = new TAction(host.get());
    auto* b = new TAction(host.get());
    a->SetActionList(list);
    b->SetActionList(list);
    a->SetCategory(AnsiFromWide(L"インターネット"));
    ASSERT_EQ(list->ActionCount(), 2);
    EXPECT_EQ(list->Actions(1), b);
    EXPECT_EQ(b->Index(), 1);
    EXPECT_EQ(a->GetParentComponent(), list);
    EXPECT_THROW(list->Actions(2), EComponentError);

    b->OnUpdate.Bind(host.get(), &TActionHost::Update);
    b->SetName("B");
    list->UpdateActions();
    EXPECT_EQ(host->log, std::vector<std::string>{"update B"});

    b->Free();
    EXPECT_EQ(list->ActionCount(), 1);
    TRecordingLink link(host.get());
    link.SetAction(a);
    list->Free();  // takes its actions along
    EXPECT_EQ(host->ComponentCount(), 0);
    EXPECT_EQ(link.Action(), nullptr);
    EXPECT_FALSE(link.Execute());
}

TEST(Actions, ControlFollowsItsActionThroughItsLinkClass)
{
    TObjectPtr<TAction> action(new TAction(nullptr));
    action->SetCaption("Run");
    action->SetHint("tip");
    TObjectPtr<TButton> button(new TButton(nullptr));
    TObjectPtr<TLabel> label(new TLabel(nullptr));
    button->SetAction(action.get());
    label->SetAction(action.get());
    EXPECT_EQ(&button->ActionLink()->GetClass(), &TButtonActionLink::StaticClass());
    EXPECT_EQ(&label->ActionLink()->GetClass(), &TControlActionLink::StaticClass());
    EXPECT_EQ(button->Caption(), "Run");
    action->SetCaption("Go");
    action->SetEnabled(false);
    EXPECT_EQ(button->Caption(), "Go");
    EXPECT_EQ(label->Hint(), "tip");
    EXPECT_FALSE(label->Enabled());
    // Changed by hand: no longer follows.
    label->SetCaption("mine");
    action->SetCaption("Stop");
    EXPECT_EQ(label->Caption(), "mine");
    EXPECT_EQ(button->Caption(), "Stop");
    // The action's going takes the links along.
    action.reset();
    EXPECT_EQ(button->Action(), nullptr);
    EXPECT_EQ(button->ActionLink(), nullptr);
}
