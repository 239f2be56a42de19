// The Unicode combo box through real windows: characters that code page 932 cannot hold typed as
// WM_CHAR and WM_IME_CHAR through the class library's message loop (with the layer's message
// hook), items and text kept across re-creation and through forged destruction messages, the add
// error, the reflected selection change, creation from a form resource, the list styles'
// type-ahead, the edit styles' completion, and Enter and Escape closing an open list. Time is
// driven through the box's last-key tick.
#include <windows.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "../classlib/ControlsTestSupport.h"
#include "FormText.h"
#include "WideForms.h"
#include "WideStdCtrls.h"

using namespace ctltest;

namespace {

const std::wstring Hangul = L"한";
const std::wstring Surrogates = L"\xD842\xDFB7";  // U+20BB7
using Log = std::vector<std::string>;
using Items = std::vector<std::wstring>;

struct Box : TObject {
    TObjectPtr<TForm> form{MakeNewForm<TForm>(nullptr)};
    TWideComboBox* combo = new TWideComboBox(form.get());
    Log log;
    std::vector<char> pressed;
    explicit Box(TComboBoxStyle style, const Items& items = {})
    {
        combo->SetParent(form.get());
        combo->SetStyle(style);
        combo->OnClick.Bind(this, &Box::Click);
        combo->OnSelect.Bind(this, &Box::Select);
        combo->OnKeyPress.Bind(this, &Box::KeyPress);
        form->Show();
        for (const std::wstring& s : items) combo->Items()->Add(s);
    }
    void Click(TObject*) { log.push_back("click"); }
    void Select(TObject*) { log.push_back("select"); }
    void KeyPress(TObject*, char& key) { pressed.push_back(key); }
    Items List() const
    {
        Items out;
        for (int i = 0; i < combo->Items()->Count(); ++i) out.push_back(combo->Items()->Strings(i));
        return out;
    }
};

// Posts the UTF-16 units as typed characters and runs the class library's loop.
void Type(HWND window, const std::wstring& text, UINT msg = WM_CHAR)
{
    for (wchar_t c : text) PostMessageW(window, msg, c, 1);
    Application->ProcessMessages();
}

// The edit's default procedure while recording: the characters that reach the edit.
std::vector<WPARAM> editChars;
WNDPROC editProc = nullptr;
LRESULT CALLBACK RecordEditChar(HWND w, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_CHAR) editChars.push_back(wp);
    return CallWindowProcW(editProc, w, msg, wp, lp);
}

// Answers CB_ERRSPACE to every added or inserted item, as a full list does.
WNDPROC comboProc = nullptr;
LRESULT CALLBACK RefuseItems(HWND w, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == CB_ADDSTRING || msg == CB_INSERTSTRING) return CB_ERRSPACE;
    return CallWindowProcW(comboProc, w, msg, wp, lp);
}

}  // namespace

TEST(WideComboBox, TypedTextAndItemsStayUtf16)
{
    ASSERT_NE(MessageHookHandle(), nullptr);
    Box box(TComboBoxStyle::csDropDown);
    TWideComboBox* c = box.combo;
    EXPECT_TRUE(IsWindowUnicode(c->Handle()));
    EXPECT_TRUE(IsWindowUnicode(c->EditHandle()));
    editProc = c->DefEditProc();
    c->SetDefEditProc(&RecordEditChar);
    Type(c->EditHandle(), L"a" + Hangul + Surrogates);
    Type(c->EditHandle(), L"検索" + Hangul, WM_IME_CHAR);
    c->SetDefEditProc(editProc);
    const std::wstring typed = L"a" + Hangul + Surrogates + L"検索" + Hangul;
    EXPECT_EQ(c->Text(), typed);
    EXPECT_EQ(editChars, (std::vector<WPARAM>{'a', 0xD55C, 0xD842, 0xDFB7, 0x691C, 0x7D22, 0xD55C}));
    // The key-press handler holds one byte: a character above 255 shows as 255.
    EXPECT_EQ(box.pressed, (std::vector<char>{'a', '\xFF', '\xFF', '\xFF', '\xFF', '\xFF', '\xFF'}));

    // Items hold the text as it is; the ANSI view shows the code page's replacement.
    c->Items()->Add(typed);
    c->Items()->Add(L"ABC");
    EXPECT_EQ(c->Items()->Strings(0), typed);
    EXPECT_EQ(c->AnsiItems()->Get(0), AnsiFromWide(typed));
    EXPECT_NE(WideFromAnsi(c->AnsiItems()->Get(0)), typed);
    EXPECT_EQ(c->Items()->IndexOf(L"abc"), 1);
    EXPECT_EQ(c->Items()->IndexOf(L"AB"), -1);

    // An exception in a child's message handling is shown, not passed to Windows.
    ExceptionRecorder shown;
    struct Raise : TObject {
        void KeyPress(TObject*, char&) { throw Exception("typed"); }
    } raise;
    c->OnKeyPress.Bind(&raise, &Raise::KeyPress);
    Type(c->EditHandle(), Hangul);
    EXPECT_EQ(shown.messages, std::vector<std::string>{"typed"});
    EXPECT_EQ(c->Text(), typed);
}

TEST(WideComboBox, ItemsKeptAcrossRecreationAndRefusedItems)
{
    Box box(TComboBoxStyle::csDropDown, {Hangul, Surrogates, L"three"});
    TWideComboBox* c = box.combo;
    c->SetItemIndex(1);
    c->SetText(Hangul + Surrogates);
    c->SetStyle(TComboBoxStyle::csSimple);
    EXPECT_TRUE(IsWindowUnicode(c->Handle()));
    EXPECT_TRUE(IsWindowUnicode(c->ListHandle()));
    EXPECT_EQ(box.List(), (Items{Hangul, Surrogates, L"three"}));
    EXPECT_EQ(c->ItemIndex(), 1);
    EXPECT_EQ(c->Text(), Hangul + Surrogates);

    // A refused item raises the insert-line error; the list stays as it was, and so does the
    // text when the list is cleared.
    comboProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(c->Handle(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&RefuseItems)));
    try {
        c->Items()->Add(L"four");
        ADD_FAILURE() << "no error";
    } catch (const EOutOfResources& e) {
        EXPECT_EQ(e.Message(), AnsiFromWide(L"行を挿入できません"));
    }
    EXPECT_THROW(c->Items()->Insert(0, L"four"), EOutOfResources);
    SetWindowLongPtrW(c->Handle(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(comboProc));
    EXPECT_EQ(box.List(), (Items{Hangul, Surrogates, L"three"}));
    c->Items()->Clear();
    EXPECT_EQ(c->Text(), Hangul + Surrogates);
}

TEST(WideComboBox, DestructionMessagesFromOutsideLeaveTheBoxUnicodeShownOrHidden)
{
    Box box(TComboBoxStyle::csDropDown);
    TWideComboBox* c = box.combo;
    const HWND window = c->Handle();
    ForgeDestructionMessages(window);
    SendMessageW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>((Hangul + Surrogates).c_str()));
    EXPECT_EQ(c->Text(), Hangul + Surrogates);
    // The class library's ANSI text still reaches the window converted.
    static_cast<TControl*>(c)->SetText(AnsiFromWide(L"検索"));
    EXPECT_EQ(c->Text(), L"検索");

    box.form->Hide();
    ForgeDestructionMessages(window);
    SendMessageW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(Hangul.c_str()));
    EXPECT_EQ(c->Text(), Hangul);
    EXPECT_EQ(c->Handle(), window);
}

TEST(WideComboBox, ChosenItemBecomesTheTextAndFormsCreateTheBox)
{
    Box box(TComboBoxStyle::csDropDown, {Hangul + L"1", Surrogates + L"2"});
    TWideComboBox* c = box.combo;
    c->SetFocus();
    SendMessageW(c->EditHandle(), WM_KEYDOWN, VK_DOWN, 0);  // the window reports the change
    EXPECT_EQ(c->Text(), Hangul + L"1");
    EXPECT_EQ(box.log, (Log{"click", "select"}));

    TObjectPtr<TForm> form(MakeNewForm<TForm>(nullptr));
    TMemoryStream stream(ObjectTextToBinary(R"(object Form1: TForm
  object Box1: TWideComboBox
    ItemIndex = 1
    Text = '𠮷'
    Hint = '한|long'
    Items.WideStrings = ('a' '한')
  end
end
)"));
    ReadBinaryComponent(stream, form.get());
    auto* loaded = dynamic_cast<TWideComboBox*>(form->FindComponent("Box1"));
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->Items()->Strings(1), Hangul);
    EXPECT_EQ(loaded->ItemIndex(), 1);
    EXPECT_EQ(loaded->Hint(), Hangul + L"|long");
    EXPECT_EQ(TWideComboBox::StaticClass().Properties().back()->Name, "Items");
}

TEST(WideComboBox, ListStylesTypeAheadWithinTheTimeWindow)
{
    Box box(TComboBoxStyle::csDropDownList, {L"Apple", L"Banana", L"Blueberry", L"한국"});
    TWideComboBox* c = box.combo;
    auto keyAgo = [c](DWORD ms) { c->SetLastTypeAheadTick(GetTickCount() - ms); };
    Type(c->Handle(), L"bl");  // selecting keys are swallowed
    EXPECT_EQ(c->ItemIndex(), 2);
    EXPECT_EQ(box.log, (Log{"click", "select", "click", "select"}));
    EXPECT_TRUE(box.pressed.empty());
    keyAgo(1200);
    Type(c->Handle(), L"a");  // "bla" finds nothing: the window's own first-letter selection acts
    EXPECT_EQ(c->TypeAheadText(), L"bl");
    EXPECT_EQ(box.pressed, std::vector<char>{'a'});
    EXPECT_EQ(c->ItemIndex(), 0);
    Type(c->Handle(), L"\b");
    EXPECT_EQ(c->TypeAheadText(), L"b");
    keyAgo(1250);  // from 1250 ms on the filter starts anew
    Type(c->Handle(), Hangul);
    EXPECT_EQ(c->TypeAheadText(), Hangul);
    EXPECT_EQ(c->Text(), L"한국");
}

TEST(WideComboBox, EditStylesCompleteAndEnterOrEscapeCloseTheList)
{
    Box box(TComboBoxStyle::csDropDown, {L"Hello", L"検索エンジン"});
    TWideComboBox* c = box.combo;
    const HWND edit = c->EditHandle();
    Type(edit, L"he");  // typed case kept, the tail from the item selected
    EXPECT_EQ(c->Text(), L"hello");
    EXPECT_EQ(c->WideSelStart(), 2);
    EXPECT_EQ(c->WideSelLength(), 3);
    EXPECT_EQ(c->ItemIndex(), 0);
    c->SetText(L"");
    Type(edit, L"検");
    EXPECT_EQ(c->Text(), L"検索エンジン");
    c->SetText(L"xy");
    c->SetWideSelStart(1);
    Type(edit, L"H");  // before the end of the text: no completion
    EXPECT_EQ(c->Text(), L"xHy");

    c->SetFocus();
    editProc = c->DefEditProc();
    c->SetDefEditProc(&RecordEditChar);
    editChars.clear();
    for (const wchar_t* key : {L"\r", L"\x1B"}) {
        c->SetDroppedDown(true);
        Type(edit, key);
        EXPECT_FALSE(c->DroppedDown());
    }
    EXPECT_TRUE(editChars.empty());
    Type(edit, L"\r\x1B");  // with the list closed both reach the edit
    c->SetDefEditProc(editProc);
    EXPECT_EQ(editChars, (std::vector<WPARAM>{'\r', 0x1B}));
    EXPECT_EQ(c->Text(), L"xHy");
}
