// Forms through real windows: show and hide events, closing with the release message, the modal
// loop with ModalResult, Enter and Esc on the default and cancel buttons, form focusing, and a
// form parented on a window that is not the library's.
#include <windows.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Buttons.h"
#include "ControlsTestSupport.h"
#include "Forms.h"
#include "StdCtrls.h"

using namespace ctltest;

namespace {

struct FormEvents : TObject {
    std::vector<std::string> log;
    TCloseAction closeAction = TCloseAction::caHide;
    void Show(TObject*) { log.push_back("show"); }
    void Hide(TObject*) { log.push_back("hide"); }
    void Destroy(TObject*) { log.push_back("destroy"); }
    void Close(TObject*, TCloseAction& action)
    {
        log.push_back("close");
        action = closeAction;
    }
    void Click(TObject* sender) { log.push_back("click " + static_cast<TComponent*>(sender)->Name()); }
};

// Tells when the component it watches is freed.
class TWatcher : public TComponent {
    KERVO_CLASS(TWatcher, TComponent)
public:
    TWatcher() : TComponent(nullptr) {}
    TComponent* watched = nullptr;
    bool freed = false;
    void Watch(TComponent* c)
    {
        watched = c;
        c->FreeNotification(this);
    }

protected:
    void ComponentNotification(TComponent* component, TOperation operation) override
    {
        TComponent::ComponentNotification(component, operation);
        if (operation == TOperation::Removal && component == watched) freed = true;
    }
};

// A dialog with OK (default), Cancel (cancel) and another button; key messages are posted to
// the focused button when the form shows, then the modal loop runs.
struct Dialog : TObject {
    TForm* form;
    TButton* ok;
    TButton* cancel;
    TButton* other;
    FormEvents events;
    std::vector<std::pair<TButton*, WPARAM>> keys;  // posted on show

    Dialog()
    {
        form = MakeNewForm<TForm>(nullptr);
        form->SetBorderStyle(TFormBorderStyle::bsDialog);
        form->SetBounds(40, 40, 260, 160);
        ok = Add("OKBtn", 10, mrOk);
        ok->SetDefault(true);
        cancel = Add("CancelBtn", 90, mrCancel);
        cancel->SetCancel(true);
        other = Add("OtherBtn", 170, mrNone);
        form->OnShow.Bind(this, &Dialog::Shown);
    }
    ~Dialog() { form->Free(); }
    TButton* Add(const char* name, int x, TModalResult result)
    {
        auto* b = new TButton(form);
        b->SetName(name);
        b->SetParent(form);
        b->SetBounds(x, 50, 75, 25);
        b->SetModalResult(result);
        b->OnClick.Bind(&events, &FormEvents::Click);
        return b;
    }
    void Shown(TObject*)
    {
        for (auto& [button, key] : keys) {
            PostMessageA(button->Handle(), WM_KEYDOWN, key, 1);
            PostMessageA(button->Handle(), WM_KEYUP, key, 0xC0000001);
        }
    }
};

}  // namespace

KERVO_CLASS_RECORD(TWatcher) {}

TEST(Form, ShowAndHideEventsFollowTheVisibleProperty)
{
    FormEvents events;
    TForm* form = MakeNewForm<TForm>(nullptr);
    form->OnShow.Bind(&events, &FormEvents::Show);
    form->OnHide.Bind(&events, &FormEvents::Hide);
    form->OnDestroy.Bind(&events, &FormEvents::Destroy);
    EXPECT_FALSE(form->Visible());

    form->Show();
    EXPECT_TRUE(IsWindowVisible(form->Handle()));
    form->Show();  // again while visible: no event
    form->SetVisible(true);
    form->Hide();
    EXPECT_FALSE(IsWindowVisible(form->Handle()));
    form->Hide();
    form->Show();
    ASSERT_EQ(events.log, (std::vector<std::string>{"show", "hide", "show"}));

    // Freed while visible: OnHide comes first, while the window still exists, then OnDestroy.
    const HWND h = form->Handle();
    struct WindowCheck : TObject {
        HWND h;
        bool existed = false;
        void Hide(TObject*) { existed = IsWindow(h) != 0; }
    } check;
    check.h = h;
    form->OnHide.Bind(&check, &WindowCheck::Hide);
    events.log.clear();
    form->Free();
    EXPECT_TRUE(check.existed);
    EXPECT_FALSE(IsWindow(h));
    EXPECT_EQ(events.log, (std::vector<std::string>{"destroy"}));
}

TEST(Form, ShowBringsTheFormToTheTopOfItsSiblings)
{
    TForm* parent = MakeNewForm<TForm>(nullptr);
    parent->SetBounds(0, 0, 300, 200);
    TForm* a = MakeNewForm<TForm>(nullptr);
    TForm* b = MakeNewForm<TForm>(nullptr);
    for (TForm* f : {a, b}) {
        f->SetBorderStyle(TFormBorderStyle::bsNone);
        f->SetParent(parent);
        f->SetBounds(10, 10, 50, 50);
        f->Show();
    }
    parent->Show();
    EXPECT_EQ(GetWindow(parent->Handle(), GW_CHILD), b->Handle());
    a->Show();  // already visible: only brought up
    EXPECT_EQ(GetWindow(parent->Handle(), GW_CHILD), a->Handle());
    parent->Free();
}

TEST(Form, CloseWithCaFreeReleasesThroughAPostedMessageWithoutTheApplicationLoop)
{
    FormEvents events;
    TWatcher watcher;
    TForm* form = MakeNewForm<TForm>(nullptr);
    form->OnClose.Bind(&events, &FormEvents::Close);
    form->OnHide.Bind(&events, &FormEvents::Hide);
    watcher.Watch(form);
    form->Show();

    events.closeAction = TCloseAction::caHide;
    form->Close();
    EXPECT_FALSE(form->Visible());
    EXPECT_FALSE(watcher.freed);

    form->Show();
    events.closeAction = TCloseAction::caFree;
    const HWND h = form->Handle();
    form->Close();
    EXPECT_FALSE(watcher.freed) << "not freed inside Close";
    Pump();  // a plain message pump, as a host program's
    EXPECT_TRUE(watcher.freed);
    EXPECT_FALSE(IsWindow(h));

    events.log.clear();
    TForm* keep = MakeNewForm<TForm>(nullptr);
    keep->OnClose.Bind(&events, &FormEvents::Close);
    events.closeAction = TCloseAction::caNone;
    keep->Show();
    SendMessageA(keep->Handle(), WM_CLOSE, 0, 0);  // the close box
    EXPECT_TRUE(keep->Visible());
    EXPECT_EQ(events.log, (std::vector<std::string>{"close"}));

    // Inside another thread's send (here its WM_CLOSE to the kept form) a nested loop, as an error
    // box's, dispatches the release that a closing form posted: that release is the form's own.
    struct NestedLoop : TObject {
        TForm* closing = nullptr;
        void Close(TObject*, TCloseAction& action)
        {
            action = TCloseAction::caNone;
            closing->Close();
            Pump();
        }
    } nested;
    nested.closing = MakeNewForm<TForm>(nullptr);
    nested.closing->OnClose.Bind(&events, &FormEvents::Close);
    events.closeAction = TCloseAction::caFree;
    watcher.freed = false;
    watcher.Watch(nested.closing);
    nested.closing->HandleNeeded();
    keep->OnClose.Bind(&nested, &NestedLoop::Close);
    const HWND keepWindow = keep->Handle();
    OnAnotherThread([keepWindow] { SendMessageA(keepWindow, WM_CLOSE, 0, 0); });
    const bool released = watcher.freed;
    EXPECT_TRUE(released) << "the release was dropped";
    if (!released) nested.closing->Free();
    keep->Free();
}

TEST(Form, ModalLoopRunsUntilModalResultAndDisablesTheOtherWindows)
{
    TForm* main = MakeNewForm<TForm>(nullptr);
    main->Show();
    Dialog dlg;
    struct Probe : TObject {
        HWND other;
        bool otherEnabled = true;
        void Click(TObject*) { otherEnabled = IsWindowEnabled(other) != 0; }
    } probe;
    probe.other = main->Handle();
    dlg.ok->OnClick.Bind(&probe, &Probe::Click);
    dlg.keys = {};
    struct Clicker : TObject {
        TButton* b;
        void Show(TObject*) { PostMessageA(b->Handle(), BM_CLICK, 0, 0); }
    } clicker;
    clicker.b = dlg.ok;
    dlg.form->OnShow.Bind(&clicker, &Clicker::Show);
    Deadline deadline(dlg.form->Handle());

    EXPECT_EQ(dlg.form->ShowModal(), mrOk);
    EXPECT_FALSE(probe.otherEnabled) << "the other window was disabled while modal";
    EXPECT_TRUE(IsWindowEnabled(main->Handle()));
    EXPECT_FALSE(dlg.form->Visible());
    EXPECT_FALSE(dlg.form->IsModal());

    // Shown again, ModalResult starts at 0; closing the window gives mrCancel.
    struct Closer : TObject {
        TForm* f;
        void Show(TObject*) { PostMessageA(f->Handle(), WM_CLOSE, 0, 0); }
    } closer;
    closer.f = dlg.form;
    dlg.form->OnShow.Bind(&closer, &Closer::Show);
    EXPECT_EQ(dlg.form->ShowModal(), mrCancel);
    EXPECT_THROW(
        {
            dlg.form->Show();
            dlg.form->ShowModal();
        },
        EInvalidOperation);
    dlg.form->Hide();
    main->Free();
}

TEST(Form, EnterPressesTheDefaultButtonUnlessAnotherButtonHasTheFocusAndEscTheCancelButton)
{
    {
        Dialog dlg;
        dlg.form->SetActiveControl(dlg.cancel);
        dlg.keys = {{dlg.cancel, VK_ESCAPE}};
        Deadline deadline(dlg.form->Handle());
        EXPECT_EQ(dlg.form->ShowModal(), mrCancel);
        EXPECT_EQ(dlg.events.log, (std::vector<std::string>{"click CancelBtn"}));
    }
    {
        // The focus on another button: Enter clicks that one (ModalResult 0 keeps the loop), so
        // Esc ends it afterwards.
        Dialog dlg;
        dlg.form->SetActiveControl(dlg.other);
        dlg.keys = {{dlg.other, VK_RETURN}, {dlg.other, VK_ESCAPE}};
        Deadline deadline(dlg.form->Handle());
        EXPECT_EQ(dlg.form->ShowModal(), mrCancel);
        EXPECT_EQ(dlg.events.log, (std::vector<std::string>{"click OtherBtn", "click CancelBtn"}));
    }
    {
        // The focus on a control that is not a button: Enter is the default button's.
        Dialog dlg;
        auto* panel = new TGroupBox(dlg.form);
        panel->SetParent(dlg.form);
        panel->SetBounds(10, 90, 100, 40);
        auto* inner = new TButton(dlg.form);
        inner->SetParent(panel);
        inner->SetName("Inner");
        inner->SetBounds(5, 12, 60, 22);
        dlg.form->SetActiveControl(dlg.ok);
        dlg.keys = {{dlg.ok, VK_RETURN}};
        Deadline deadline(dlg.form->Handle());
        EXPECT_EQ(dlg.form->ShowModal(), mrOk);
        EXPECT_EQ(dlg.events.log, (std::vector<std::string>{"click OKBtn"}));
    }
}

TEST(Form, FocusingAFormLeavesAnActiveHiddenOrDisabledFormAlone)
{
    TForm* form = MakeNewForm<TForm>(nullptr);
    auto* button = new TButton(form);
    button->SetParent(form);
    form->SetActiveControl(button);
    form->SetFocus();  // hidden: nothing, no exception
    EXPECT_FALSE(form->Active());

    form->Show();
    SetForegroundWindow(form->Handle());
    form->SetEnabled(false);
    ::SetFocus(nullptr);
    form->SetFocus();
    EXPECT_FALSE(form->Active());
    form->SetEnabled(true);
    form->SetFocus();
    EXPECT_TRUE(form->Active());
    EXPECT_EQ(GetFocus(), button->Handle()) << "the active control takes the focus";
    form->SetFocus();  // already active: left as it is
    EXPECT_EQ(GetFocus(), button->Handle());
    form->Free();
}

TEST(Form, ParentedOnAForeignWindowAsAChild)
{
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "ForeignSiteWindow";
    RegisterClassA(&wc);
    HWND site = CreateWindowExA(0, "ForeignSiteWindow", "site", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 300, 100,
                                nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_TRUE(site);

    TForm* form = new TForm(nullptr);
    form->SetParentWindow(site);
    form->InitializeWithoutResource();
    form->ConstructionDone();
    form->SetBorderStyle(TFormBorderStyle::bsNone);
    form->SetClientWidth(151);
    form->SetClientHeight(21);
    const HWND h = form->Handle();
    EXPECT_EQ(GetParent(h), site);
    EXPECT_TRUE(GetWindowLongPtrA(h, GWL_STYLE) & WS_CHILD);
    RECT client;
    GetClientRect(h, &client);
    EXPECT_EQ(client.right, 151);
    EXPECT_EQ(client.bottom, 21);
    form->Show();
    EXPECT_TRUE(IsWindowVisible(h));
    form->Free();
    EXPECT_FALSE(IsWindow(h));
    EXPECT_TRUE(IsWindow(site));
    DestroyWindow(site);
}

TEST(Form, SizeAnswersHoldAlsoWhenTheWindowIsSizedDirectly)
{
    struct Sizing : TObject {
        int canResize = 0;
        void CanResize(TObject*, int& w, int& h, bool& resize)
        {
            ++canResize;
            w = 260;
            h = 21;
            resize = true;
        }
        void Constrained(TObject*, int& minW, int& minH, int& maxW, int& maxH)
        {
            minW = maxW = 200;
            minH = maxH = 30;
        }
    } sizing;
    TForm* form = MakeNewForm<TForm>(nullptr);
    form->SetBorderStyle(TFormBorderStyle::bsNone);
    form->OnCanResize.Bind(&sizing, &Sizing::CanResize);
    const HWND h = form->Handle();
    SetWindowPos(h, nullptr, 0, 0, 500, 300, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);  // as a host would
    RECT r;
    GetWindowRect(h, &r);
    EXPECT_EQ(r.right - r.left, 260);
    EXPECT_EQ(r.bottom - r.top, 21);
    EXPECT_EQ(form->Width(), 260);
    EXPECT_GT(sizing.canResize, 0);
    // The constraints event comes after the resize answer and has the last word.
    form->OnConstrainedResize.Bind(&sizing, &Sizing::Constrained);
    form->SetBounds(0, 0, 400, 400);
    EXPECT_EQ(form->Width(), 200);
    EXPECT_EQ(form->Height(), 30);
    form->Free();
}
