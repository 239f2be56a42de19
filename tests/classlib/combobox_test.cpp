// The combo-box base over a real COMBOBOX window: items kept by the window, the clearing that
// keeps the edit text, index errors, re-creation that keeps items, selection and text, the
// reflected selection change, and the subclassed edit and list children and their colours.
#include <windows.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ControlsTestSupport.h"
#include "Forms.h"
#include "StdCtrls.h"

using namespace ctltest;

namespace {

// Records the messages of the children as InnerWindowProc sees them.
class TRecordingCombo : public TCustomComboBox {
    KERVO_CLASS(TRecordingCombo, TCustomComboBox)
public:
    explicit TRecordingCombo(TComponent* owner) : TCustomComboBox(owner) {}
    std::vector<std::pair<HWND, UINT>> inner;
    void InnerWindowProc(TMessage& message, HWND child, WNDPROC defaultProc) override
    {
        inner.emplace_back(child, message.Msg);
        TCustomComboBox::InnerWindowProc(message, child, defaultProc);
    }
    bool Saw(HWND child, UINT msg) const
    {
        for (auto& [h, m] : inner) {
            if (h == child && m == msg) return true;
        }
        return false;
    }
};

struct ComboEvents : TObject {
    std::vector<std::string> log;
    void Click(TObject*) { log.push_back("click"); }
    void Select(TObject*) { log.push_back("select"); }
    void Change(TObject*) { log.push_back("change"); }
    void KeyDown(TObject*, WORD& key, TShiftState)
    {
        log.push_back("keydown " + std::to_string(key));
        if (key == VK_RETURN) key = 0;
    }
};

struct Fixture {
    TForm* form;
    TRecordingCombo* combo;
    Fixture(TComboBoxStyle style = TComboBoxStyle::csDropDown)
    {
        form = MakeNewForm<TForm>(nullptr);
        combo = new TRecordingCombo(form);
        combo->SetParent(form);
        combo->SetBounds(10, 10, 150, 21);
        combo->SetStyle(style);
    }
    ~Fixture() { form->Free(); }
};

}  // namespace

KERVO_CLASS_RECORD(TRecordingCombo) {}

TEST(ComboBox, ItemsLiveInTheWindowAndClearingKeepsTheEditText)
{
    Fixture f;
    TCustomComboBoxStrings* items = f.combo->Items();
    EXPECT_FALSE(f.combo->HandleAllocated());
    items->Add("Apple");
    EXPECT_TRUE(f.combo->HandleAllocated()) << "an item operation makes the window";
    items->AddObject(AnsiFromWide(L"検索"), reinterpret_cast<void*>(42));
    items->Insert(0, "ABC");
    EXPECT_EQ(SendMessageA(f.combo->Handle(), CB_GETCOUNT, 0, 0), 3);
    EXPECT_EQ(items->Get(0), "ABC");
    EXPECT_EQ(WideFromAnsi(items->Get(2)), L"検索");
    EXPECT_EQ(items->Objects(2), reinterpret_cast<void*>(42));
    EXPECT_EQ(items->IndexOf("abc"), 0) << "whole item, without regard to case";
    EXPECT_EQ(items->IndexOf("App"), -1) << "a prefix is not a match";
    EXPECT_EQ(items->Get(7), "");
    try {
        items->Objects(7);
        ADD_FAILURE() << "no error for a bad index";
    } catch (const EStringListError& e) {
        EXPECT_EQ(WideFromAnsi(e.Message()), L"リストのインデックスが範囲を超えています (7)");
    }

    f.combo->SetText("abc");
    items->Clear();
    EXPECT_EQ(items->Count(), 0);
    EXPECT_EQ(f.combo->Text(), "abc");
}

TEST(ComboBox, ItemIndexOutOfRangeSelectsNothingSilently)
{
    Fixture f(TComboBoxStyle::csDropDownList);
    f.combo->Items()->Add("a");
    f.combo->Items()->Add("b");
    f.combo->SetItemIndex(1);
    EXPECT_EQ(f.combo->ItemIndex(), 1);
    EXPECT_EQ(f.combo->Text(), "b");
    f.combo->SetItemIndex(26);  // CHAR - 64 for a stored CHAR outside the letters
    EXPECT_EQ(f.combo->ItemIndex(), -1);
}

TEST(ComboBox, RecreationKeepsItemsSelectionAndText)
{
    Fixture f;
    for (const char* s : {"one", "two", "three"}) f.combo->Items()->Add(s);
    f.combo->SetItemIndex(1);
    const HWND old = f.combo->Handle();
    f.combo->SetStyle(TComboBoxStyle::csSimple);
    EXPECT_NE(f.combo->Handle(), old);
    EXPECT_EQ(f.combo->Items()->Count(), 3);
    EXPECT_EQ(f.combo->ItemIndex(), 1);
    EXPECT_EQ(f.combo->Text(), "two");
    EXPECT_TRUE(GetWindowLongPtrA(f.combo->Handle(), GWL_STYLE) & CBS_SIMPLE);
    f.combo->SetCharCase(TEditCharCase::ecUpperCase);
    EXPECT_EQ(f.combo->Items()->Count(), 3);
    EXPECT_EQ(f.combo->ItemIndex(), 1);
}

TEST(ComboBox, SelectionChangeClicksThenSelectsOrChanges)
{
    Fixture f(TComboBoxStyle::csDropDownList);
    ComboEvents events;
    f.combo->OnClick.Bind(&events, &ComboEvents::Click);
    f.combo->OnSelect.Bind(&events, &ComboEvents::Select);
    f.combo->OnChange.Bind(&events, &ComboEvents::Change);
    f.combo->Items()->Add("Apple");
    f.combo->Items()->Add("Banana");
    f.combo->SetItemIndex(0);
    // The window's own selection by key notifies its parent, which reflects it to the control.
    SendMessageA(f.combo->Handle(), WM_KEYDOWN, VK_DOWN, 0);
    EXPECT_EQ(f.combo->ItemIndex(), 1);
    EXPECT_EQ(events.log, (std::vector<std::string>{"click", "select"}));
    events.log.clear();
    f.combo->OnSelect.Clear();
    SendMessageA(f.combo->Handle(), WM_KEYDOWN, VK_UP, 0);
    EXPECT_EQ(events.log, (std::vector<std::string>{"click", "change"}));
}

TEST(ComboBox, EditAndListChildrenPassInnerWindowProcWithTheirDefaultProcedures)
{
    Fixture f(TComboBoxStyle::csSimple);
    ComboEvents events;
    f.combo->OnKeyDown.Bind(&events, &ComboEvents::KeyDown);
    f.combo->Items()->Add("Hello");
    const HWND edit = f.combo->EditHandle();
    const HWND list = f.combo->ListHandle();
    ASSERT_TRUE(edit);
    ASSERT_TRUE(list);
    EXPECT_EQ(reinterpret_cast<WNDPROC>(GetWindowLongPtrA(edit, GWLP_WNDPROC)), f.combo->EditInstance());
    EXPECT_EQ(reinterpret_cast<WNDPROC>(GetWindowLongPtrA(list, GWLP_WNDPROC)), f.combo->ListInstance());
    EXPECT_TRUE(f.combo->DefEditProc());

    SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("typed"));
    EXPECT_TRUE(f.combo->Saw(edit, WM_SETTEXT));
    EXPECT_EQ(f.combo->Text(), "typed") << "the default procedure still ran";
    SendMessageA(list, LB_GETCOUNT, 0, 0);
    EXPECT_TRUE(f.combo->Saw(list, LB_GETCOUNT));

    // Both are painted in the box's colours.
    f.combo->SetColor(0x00336699);
    f.combo->Font()->SetColor(0x00102030);
    MemoryCanvas canvas(4, 4);
    for (const auto& [msg, child] : {std::pair{WM_CTLCOLOREDIT, edit}, std::pair{WM_CTLCOLORLISTBOX, list}}) {
        const auto brush = reinterpret_cast<HBRUSH>(SendMessageA(f.combo->Handle(), msg,
                                                                 reinterpret_cast<WPARAM>(canvas.Dc()),
                                                                 reinterpret_cast<LPARAM>(child)));
        LOGBRUSH lb{};
        ASSERT_EQ(GetObjectA(brush, sizeof lb, &lb), static_cast<int>(sizeof lb));
        EXPECT_EQ(lb.lbColor, 0x00336699u);
        EXPECT_EQ(GetBkColor(canvas.Dc()), 0x00336699u);
        EXPECT_EQ(GetTextColor(canvas.Dc()), 0x00102030u);
    }

    // Keys of the edit are the control's: Enter swallowed by the handler, others passed on.
    SendMessageA(edit, WM_KEYDOWN, VK_RETURN, 0);
    SendMessageA(edit, WM_KEYDOWN, 'A', 0);
    EXPECT_EQ(events.log, (std::vector<std::string>{"keydown 13", "keydown 65"}));

    // A drop-down combo subclasses its edit only.
    f.combo->SetStyle(TComboBoxStyle::csDropDown);
    EXPECT_TRUE(f.combo->EditHandle());
    EXPECT_FALSE(f.combo->ListHandle());
    f.combo->SetStyle(TComboBoxStyle::csDropDownList);
    EXPECT_FALSE(f.combo->EditHandle());
}

TEST(ComboBox, EnterAndEscInTheEditReachTheDialogsDefaultAndCancelButtons)
{
    for (const auto& [key, expected] : {std::pair<WPARAM, TModalResult>{VK_RETURN, mrOk}, {VK_ESCAPE, mrCancel}}) {
        Fixture f(TComboBoxStyle::csSimple);
        f.form->SetBorderStyle(TFormBorderStyle::bsDialog);
        f.combo->SetBounds(10, 10, 150, 60);
        auto* ok = new TButton(f.form);
        ok->SetParent(f.form);
        ok->SetBounds(10, 100, 75, 25);
        ok->SetDefault(true);
        ok->SetModalResult(mrOk);
        auto* cancel = new TButton(f.form);
        cancel->SetParent(f.form);
        cancel->SetBounds(90, 100, 75, 25);
        cancel->SetCancel(true);
        cancel->SetModalResult(mrCancel);
        f.form->SetActiveControl(f.combo);
        struct Keys : TObject {
            TRecordingCombo* combo;
            WPARAM key;
            void Show(TObject*)
            {
                PostMessageA(combo->EditHandle(), WM_KEYDOWN, key, 1);
                PostMessageA(combo->EditHandle(), WM_KEYUP, key, 0xC0000001);
            }
        } keys;
        keys.combo = f.combo;
        keys.key = key;
        f.combo->Items()->Add("x");  // the window and its edit exist before the keys are posted
        f.form->OnShow.Bind(&keys, &Keys::Show);
        Deadline deadline(f.form->Handle());
        EXPECT_EQ(f.form->ShowModal(), expected) << "key " << key;
    }
}
