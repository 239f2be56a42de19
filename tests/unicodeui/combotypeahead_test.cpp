// Typed characters of the Unicode combo box through real windows: the list styles' type-ahead
// within its time window, the edit styles' completion at the end of the text, Enter and Escape
// closing an open list. Time is driven through the box's record of its last key, not by waiting.
#include <windows.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "WideComboTestSupport.h"
#include "WideStdCtrls.h"

using namespace combotest;

namespace {

// As if the last type-ahead key came ms milliseconds ago.
void KeyAgo(TWideCustomComboBox* c, DWORD ms) { c->SetLastTypeAheadTick(GetTickCount() - ms); }

DWORD SelStart(TWideCustomComboBox* c) { return static_cast<DWORD>(c->WideSelStart()); }
DWORD SelEnd(TWideCustomComboBox* c) { return static_cast<DWORD>(c->WideSelStart() + c->WideSelLength()); }

using Log = std::vector<std::string>;

}  // namespace

TEST(ComboTypeAhead, ListStylesSelectByPrefixWithinTheTimeWindow)
{
    Box box(TComboBoxStyle::csDropDownList);
    TWideComboBox* c = box.combo;
    for (const wchar_t* s : {L"Apple", L"Banana", L"Blueberry", L"한국", L"日本"}) c->Items()->Add(s);
    const HWND window = c->Handle();

    // A key that selects is swallowed: the key-press handler never sees it.
    Type(window, L"b");
    EXPECT_EQ(c->ItemIndex(), 1);
    EXPECT_EQ(box.events.log, (Log{"click", "select"}));
    Type(window, L"l");
    EXPECT_EQ(c->ItemIndex(), 2);
    EXPECT_EQ(c->TypeAheadText(), L"bl");
    EXPECT_TRUE(box.events.pressed.empty());

    // Just inside the window the filter goes on; from 1250 ms on it starts anew.
    KeyAgo(c, 1200);
    Type(window, L"a");  // "bla" finds nothing: the window's own first-letter selection acts
    EXPECT_EQ(c->TypeAheadText(), L"bl");
    EXPECT_EQ(box.events.pressed, std::vector<char>{'a'});
    EXPECT_EQ(c->ItemIndex(), 0);
    KeyAgo(c, 1250);
    box.events.log.clear();
    Type(window, L"b");
    EXPECT_EQ(c->ItemIndex(), 1);
    EXPECT_EQ(c->TypeAheadText(), L"b");
    // Across the wrap of the tick count the difference still counts forward.
    c->SetLastTypeAheadTick(GetTickCount() + 5);
    Type(window, Hangul);
    EXPECT_EQ(c->ItemIndex(), 3);
    EXPECT_EQ(c->TypeAheadText(), Hangul);
    EXPECT_EQ(c->Text(), L"한국");

    // Backspace shortens the filter and selects nothing; reselecting fires nothing.
    Type(window, L"\b");
    EXPECT_EQ(c->TypeAheadText(), L"");
    EXPECT_EQ(c->ItemIndex(), 3);
    box.events.log.clear();
    Type(window, Hangul);
    EXPECT_EQ(c->TypeAheadText(), Hangul);
    EXPECT_TRUE(box.events.log.empty());

    // Without AutoComplete the characters reach the key-press handler and the window unchanged.
    c->SetAutoComplete(false);
    KeyAgo(c, 5000);
    box.events.pressed.clear();
    Type(window, L"日");
    EXPECT_EQ(box.events.pressed, std::vector<char>{'\xFF'});
    EXPECT_EQ(c->TypeAheadText(), Hangul);
}

TEST(ComboTypeAhead, EditStylesCompleteAtTheEndOfTheText)
{
    Box box(TComboBoxStyle::csDropDown);
    TWideComboBox* c = box.combo;
    for (const wchar_t* s : {L"Hello", L"検索エンジン", L"한국어"}) c->Items()->Add(s);
    const HWND edit = c->EditHandle();

    // The typed character keeps its case, the rest comes from the item, selected.
    Type(edit, L"h");
    EXPECT_EQ(c->Text(), L"hello");
    EXPECT_EQ(c->ItemIndex(), 0);
    EXPECT_EQ(SelStart(c), 1u);
    EXPECT_EQ(SelEnd(c), 5u);
    EXPECT_EQ(box.events.log, (Log{"click", "select"}));
    Type(edit, L"e");  // replaces the selected tail and completes again
    EXPECT_EQ(c->Text(), L"hello");
    EXPECT_EQ(SelStart(c), 2u);
    EXPECT_TRUE(box.events.pressed.size() == 2);  // the key-press step runs before the completion

    c->SetText(L"");
    Type(edit, L"検");
    EXPECT_EQ(c->Text(), L"検索エンジン");
    EXPECT_EQ(SelStart(c), 1u);
    EXPECT_EQ(SelEnd(c), 6u);
    c->SetText(L"");
    Type(edit, Hangul);
    EXPECT_EQ(c->Text(), L"한국어");
    EXPECT_EQ(c->ItemIndex(), 2);

    // Typed before the end of the text, or with nothing matching, the character just goes in.
    c->SetText(L"xy");
    c->SetWideSelStart(1);
    c->SetWideSelLength(0);
    Type(edit, L"H");
    EXPECT_EQ(c->Text(), L"xHy");
    c->SetText(L"zz");
    c->SetWideSelStart(2);
    Type(edit, L"h");
    EXPECT_EQ(c->Text(), L"zzh");
    c->SetAutoComplete(false);
    c->SetText(L"");
    Type(edit, L"h");
    EXPECT_EQ(c->Text(), L"h");
}

TEST(ComboTypeAhead, EnterAndEscapeCloseAnOpenList)
{
    Box box(TComboBoxStyle::csDropDown);
    TWideComboBox* c = box.combo;
    c->Items()->Add(L"one");
    c->SetText(L"ab");
    c->SetFocus();
    EditCharRecorder edit(c);
    for (const wchar_t* key : {L"\r", L"\x1B"}) {
        c->SetDroppedDown(true);
        ASSERT_TRUE(c->DroppedDown());
        Type(c->EditHandle(), key);
        EXPECT_FALSE(c->DroppedDown());
        EXPECT_EQ(c->Text(), L"ab");
    }
    EXPECT_TRUE(EditCharRecorder::chars.empty());
    // With the list closed both reach the edit.
    Type(c->EditHandle(), L"\r\x1B");
    EXPECT_FALSE(c->DroppedDown());
    EXPECT_EQ(c->Text(), L"ab");
    EXPECT_EQ(EditCharRecorder::chars, (std::vector<WPARAM>{'\r', 0x1B}));
    EXPECT_EQ(box.events.pressed, (std::vector<char>{'\r', '\x1B', '\r', '\x1B'}));
}
