// The Unicode combo box through real windows: a Unicode window holding items and text as UTF-16,
// characters that code page 932 cannot hold typed as real WM_CHAR and WM_IME_CHAR messages, the
// ANSI view, re-creation of the window, the add error, the reflected selection change, the
// published properties and creation from a form resource.
#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "Filer.h"
#include "FormText.h"
#include "WideComboTestSupport.h"
#include "WideStdCtrls.h"

using namespace combotest;

namespace {

std::wstring WindowText(HWND window)
{
    wchar_t buffer[256] = {};
    GetWindowTextW(window, buffer, 256);
    return buffer;
}

// Answers CB_ERRSPACE to every added item while refusing is set, as a full list does.
struct RefusingWindow {
    static inline WNDPROC previous = nullptr;
    static inline bool refusing = false;
    static LRESULT CALLBACK Proc(HWND w, UINT msg, WPARAM wp, LPARAM lp)
    {
        if (refusing && (msg == CB_ADDSTRING || msg == CB_INSERTSTRING)) return CB_ERRSPACE;
        return CallWindowProcW(previous, w, msg, wp, lp);
    }
};

}  // namespace

TEST(WideComboBox, UnicodeWindowHoldsItemsAndTextAsUtf16)
{
    Box box;
    TWideComboBox* c = box.combo;
    const HWND window = c->Handle();
    EXPECT_TRUE(IsWindowUnicode(window));
    ASSERT_NE(c->EditHandle(), nullptr);
    EXPECT_TRUE(IsWindowUnicode(c->EditHandle()));
    wchar_t className[80] = {};
    GetClassNameW(window, className, 80);
    EXPECT_STREQ(className, L"TWideComboBox.UnicodeClass");

    for (const std::wstring& s : {Hangul, Surrogates, std::wstring(L"検索"), std::wstring(L"ABC")}) c->Items()->Add(s);
    EXPECT_EQ(box.Items(), (std::vector<std::wstring>{Hangul, Surrogates, L"検索", L"ABC"}));
    // The ANSI view shows the code page's replacement; what it can hold it holds.
    EXPECT_EQ(c->AnsiItems()->Get(0), AnsiFromWide(Hangul));
    EXPECT_NE(WideFromAnsi(c->AnsiItems()->Get(0)), Hangul);
    EXPECT_EQ(c->AnsiItems()->Get(2), AnsiFromWide(L"検索"));
    EXPECT_EQ(c->Items()->IndexOf(L"abc"), 3);
    EXPECT_EQ(c->Items()->IndexOf(L"AB"), -1);

    c->SetText(Surrogates + Hangul);
    EXPECT_EQ(c->Text(), Surrogates + Hangul);
    EXPECT_EQ(WindowText(c->EditHandle()), Surrogates + Hangul);
    EXPECT_EQ(c->TControl::Text(), AnsiFromWide(Surrogates + Hangul));

    // Setting the items copies them in; the items object stays; clearing keeps the text.
    TWideStrings* items = c->Items();
    TWideStringList other;
    other.Add(L"x");
    other.AddObject(Hangul, &other);
    c->SetItems(&other);
    EXPECT_EQ(c->Items(), items);
    EXPECT_EQ(box.Items(), (std::vector<std::wstring>{L"x", Hangul}));
    EXPECT_EQ(c->Items()->Objects(1), &other);
    c->Items()->Clear();
    EXPECT_EQ(c->Items()->Count(), 0);
    EXPECT_EQ(c->Text(), Surrogates + Hangul);
    EXPECT_THROW(c->Items()->Objects(5), EStringListError);
}

TEST(WideComboBox, TypedCharactersReachTextUnchanged)
{
    Box box;
    TWideComboBox* c = box.combo;
    const HWND edit = c->EditHandle();
    EditCharRecorder reached(c);
    Type(edit, L"a" + Hangul + Surrogates);
    EXPECT_EQ(c->Text(), L"a" + Hangul + Surrogates);
    EXPECT_EQ(EditCharRecorder::chars, (std::vector<WPARAM>{'a', 0xD55C, 0xD842, 0xDFB7}));
    // The key-press handler holds a character in one byte: above 255 it sees 255.
    EXPECT_EQ(box.events.pressed, (std::vector<char>{'a', '\xFF', '\xFF', '\xFF'}));

    // Through the class library's own (ANSI) message loop a character of the code page arrives
    // whole; one outside it needs the layer's message hook, which dispatches it wide.
    c->SetText(L"");
    PostMessageW(edit, WM_CHAR, L'検', 1);
    PostMessageW(edit, WM_IME_CHAR, L'索', 1);
    Application->ProcessMessages();
    EXPECT_EQ(c->Text(), L"検索");

    // Input-method characters take the same road.
    c->SetText(L"");
    Type(edit, Hangul + L"検", WM_IME_CHAR);
    EXPECT_EQ(c->Text(), Hangul + L"検");
    c->Items()->Add(c->Text());
    EXPECT_EQ(c->Items()->Strings(0), Hangul + L"検");

    // A key-press handler that swallows the character keeps it from the edit.
    c->SetText(L"");
    struct Swallow : TObject {
        void KeyPress(TObject*, char& key) { key = 0; }
    } swallow;
    c->OnKeyPress.Bind(&swallow, &Swallow::KeyPress);
    Type(edit, Hangul + L"b");
    EXPECT_EQ(c->Text(), L"");
}

TEST(WideComboBox, ItemsSelectionAndTextSurviveRecreation)
{
    Box box;
    TWideComboBox* c = box.combo;
    for (const std::wstring& s : {Hangul, Surrogates, std::wstring(L"three")}) c->Items()->Add(s);
    c->SetItemIndex(1);
    c->SetText(Hangul + Surrogates);
    c->SetStyle(TComboBoxStyle::csSimple);
    EXPECT_TRUE(IsWindowUnicode(c->Handle()));
    EXPECT_TRUE(IsWindowUnicode(c->EditHandle()));
    ASSERT_NE(c->ListHandle(), nullptr);
    EXPECT_TRUE(IsWindowUnicode(c->ListHandle()));
    EXPECT_EQ(box.Items(), (std::vector<std::wstring>{Hangul, Surrogates, L"three"}));
    EXPECT_EQ(c->ItemIndex(), 1);
    EXPECT_EQ(c->Text(), Hangul + Surrogates);

    c->SetStyle(TComboBoxStyle::csDropDownList);
    EXPECT_EQ(box.Items(), (std::vector<std::wstring>{Hangul, Surrogates, L"three"}));
    EXPECT_EQ(c->ItemIndex(), 1);
    EXPECT_EQ(c->Text(), Surrogates);
    EXPECT_EQ(c->WideSelText(), L"");
}

TEST(WideComboBox, RefusedItemRaisesAndLeavesTheListUnchanged)
{
    Box box;
    TWideComboBox* c = box.combo;
    c->Items()->Add(L"one");
    const std::string message = AnsiFromWide(L"行を挿入できません");
    try {
        c->Items()->Insert(5, Hangul);  // past the end: the window refuses it
        ADD_FAILURE() << "no error";
    } catch (const EOutOfResources& e) {
        EXPECT_EQ(e.Message(), message);
    }
    RefusingWindow::previous = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(c->Handle(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&RefusingWindow::Proc)));
    RefusingWindow::refusing = true;
    EXPECT_THROW(c->Items()->Add(Hangul), EOutOfResources);
    EXPECT_THROW(c->AppendWideItem(Hangul, nullptr), EOutOfResources);
    RefusingWindow::refusing = false;
    SetWindowLongPtrW(c->Handle(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RefusingWindow::previous));
    EXPECT_EQ(box.Items(), std::vector<std::wstring>{L"one"});
}

TEST(WideComboBox, ChosenItemBecomesTheTextWithClickThenSelect)
{
    Box box(TComboBoxStyle::csDropDown);
    TWideComboBox* c = box.combo;
    c->Items()->Add(Hangul + L"1");
    c->Items()->Add(Surrogates + L"2");
    // The list open, a key moves the selection: the window reports the change to the form.
    c->SetFocus();
    c->SetDroppedDown(true);
    SendMessageW(c->EditHandle(), WM_KEYDOWN, VK_DOWN, 0);
    EXPECT_EQ(c->ItemIndex(), 0);
    EXPECT_EQ(c->Text(), Hangul + L"1");
    EXPECT_EQ(box.events.log, (std::vector<std::string>{"click", "select"}));
    c->SetDroppedDown(false);

    // Without OnSelect the change event stands in.
    box.events.log.clear();
    c->OnSelect = {};
    c->OnChange.Bind(&box.events, &ComboEvents::Change);
    SendMessageW(c->EditHandle(), WM_KEYDOWN, VK_DOWN, 0);
    EXPECT_EQ(c->Text(), Surrogates + L"2");
    EXPECT_EQ(box.events.log, (std::vector<std::string>{"click", "change"}));
}

TEST(WideComboBox, PublishedForFormResources)
{
    const TClassRecord& record = TWideComboBox::StaticClass();
    std::vector<std::string> names;
    for (const TPropInfo* p : record.Properties()) names.push_back(p->Name);
    auto position = [&](const std::string& name) {
        return std::find(names.begin(), names.end(), name) - names.begin();
    };
    EXPECT_EQ(names.back(), "Items");
    const char* order[] = {"AutoComplete", "Style", "CharCase", "Color", "DropDownCount", "ItemIndex",
                           "Sorted", "TabStop", "Text", "Visible", "OnChange", "OnSelect", "Items"};
    for (size_t i = 1; i < std::size(order); ++i) EXPECT_LT(position(order[i - 1]), position(order[i])) << order[i];
    EXPECT_EQ(record.FindProperty("Text")->Kind, TPropKind::WideString);
    EXPECT_EQ(record.FindProperty("Hint")->Kind, TPropKind::WideString);
    EXPECT_EQ(FindRegisteredClass("TWideComboBox"), &record);

    // A form resource creates the box; the items, the wide text and the index come through.
    FormPtr form(MakeNewForm<TForm>(nullptr));
    TMemoryStream stream(ObjectTextToBinary(R"(object Form1: TForm
  object Box1: TWideComboBox
    Left = 4
    ItemIndex = 1
    Style = csDropDownList
    Items.WideStrings = ('a' '한' 'c')
  end
  object Box2: TWideComboBox
    Text = '𠮷한'
    Hint = '한|long'
  end
end
)"));
    ReadBinaryComponent(stream, form.get());
    auto* box1 = dynamic_cast<TWideComboBox*>(form->FindComponent("Box1"));
    auto* box2 = dynamic_cast<TWideComboBox*>(form->FindComponent("Box2"));
    ASSERT_TRUE(box1 && box2);
    EXPECT_TRUE(IsWindowUnicode(box1->Handle()));
    EXPECT_EQ(box1->Items()->Strings(1), Hangul);
    EXPECT_EQ(box1->ItemIndex(), 1);
    EXPECT_EQ(box1->Text(), Hangul);
    EXPECT_EQ(box2->Text(), Surrogates + Hangul);
    EXPECT_EQ(box2->Hint(), Hangul + L"|long");
}
