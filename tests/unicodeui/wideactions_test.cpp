// Wide actions and their links: captions and hints that code page 932 cannot hold flow from a
// TWideAction into a linked control and a wide menu item (and its Windows menu) exactly, while a
// client whose text was changed by hand keeps it.
#include <windows.h>
#include <gtest/gtest.h>

#include <string>

#include "../classlib/ControlsTestSupport.h"
#include "ActnList.h"
#include "StdCtrls.h"
#include "WideActions.h"
#include "WideControls.h"
#include "WideMenus.h"
#include "WideStdCtrls.h"

namespace {

const std::wstring Korea = L"\xD55C\xAD6D";     // 한국, "??" in code page 932
const std::wstring Joseon = L"\xC870\xC120";    // 조선, "??" as well
const std::wstring Yoshi = L"\xD842\xDFB7";     // 𠮷

std::wstring MenuText(HMENU menu, UINT command)
{
    wchar_t buffer[128] = {};
    GetMenuStringW(menu, command, buffer, 128, MF_BYCOMMAND);
    return buffer;
}

}  // namespace

TEST(WideActions, CaptionAndHintPairWithTheAnsiTexts)
{
    TObjectPtr<TWideAction> action(new TWideAction(nullptr));
    EXPECT_NE(QueryInterfaceOf<IWideAction>(action.get()), nullptr);
    action->SetWideCaption(Korea + Yoshi);
    action->SetWideHint(L"short|" + Korea);
    EXPECT_EQ(action->WideCaption(), Korea + Yoshi);
    EXPECT_EQ(action->Caption(), "????");
    EXPECT_EQ(action->WideHint(), L"short|" + Korea);
    EXPECT_EQ(action->Hint(), "short|??");
    // The published properties are the wide ones.
    EXPECT_EQ(action->GetClass().FindProperty("Caption")->Kind, TPropKind::WideString);
    // The class library's own change wins.
    action->SetCaption("abc");
    EXPECT_EQ(action->WideCaption(), L"abc");
    // An action without wide texts answers (and takes) its ANSI ones.
    TObjectPtr<TAction> plain(new TAction(nullptr));
    EXPECT_EQ(FindActionHelper(plain.get()), nullptr);
    SetWideActionCaption(plain.get(), Korea);
    EXPECT_EQ(plain->Caption(), "??");
    EXPECT_EQ(GetWideActionCaption(plain.get()), L"??");
    // Assignment goes through ANSI: the copy reads as the ANSI form converted back.
    TObjectPtr<TWideAction> copy(new TWideAction(nullptr));
    action->SetWideCaption(Korea);
    copy->Assign(action.get());
    EXPECT_EQ(copy->WideCaption(), L"??");
    EXPECT_EQ(copy->WideHint(), L"short|??");
}

TEST(WideActions, WideMenuItemFollowsTheActionIntoItsWindowsMenu)
{
    TObjectPtr<TPopupMenu> menu(new TPopupMenu(nullptr));
    auto* item = new TWideMenuItem(menu.get());
    menu->Items()->Add(item);
    TObjectPtr<TWideAction> action(new TWideAction(nullptr));
    action->SetWideCaption(L"&" + Korea);
    action->SetWideHint(L"tip|" + Yoshi);
    action->SetShortCut(scCtrl | 'A');
    HMENU handle = menu->Handle();
    item->SetAction(action.get());
    EXPECT_EQ(&item->ActionLink()->GetClass(), &TWideMenuActionLink::StaticClass());
    EXPECT_EQ(item->WideCaption(), L"&" + Korea);
    EXPECT_EQ(MenuItemWideHint(item), L"tip|" + Yoshi);
    EXPECT_EQ(MenuText(handle, item->Command()), L"&" + Korea + L"\t" + ShortCutToWideText(scCtrl | 'A'));

    // The item follows a caption equal apart from hot-key marks and case.
    item->SetWideCaption(Korea);
    action->SetWideCaption(Joseon);
    EXPECT_EQ(item->WideCaption(), Joseon);
    EXPECT_EQ(MenuText(handle, item->Command()).substr(0, 2), Joseon);
    action->SetWideHint(Korea);
    EXPECT_EQ(item->WideHint(), Korea);
    // One changed by hand stays.
    item->SetWideCaption(L"mine");
    action->SetWideCaption(Yoshi);
    EXPECT_EQ(item->WideCaption(), L"mine");

    // A menu link takes only wide menu items.
    TObjectPtr<TMenuItem> plain(new TMenuItem(nullptr));
    EXPECT_THROW(TWideMenuActionLink link(plain.get()), EInvalidCast);
}

TEST(WideActions, UnicodeComboBoxFollowsTheActionWhileItShowsItsOldCaption)
{
    TObjectPtr<TForm> form(MakeNewForm<TForm>(nullptr));
    form->SetBounds(0, 0, 300, 200);
    auto* combo = new TWideComboBox(form.get());
    combo->SetParent(form.get());
    combo->SetBounds(10, 10, 150, 21);
    form->Show();
    ASSERT_TRUE(IsWindowUnicode(combo->Handle()));
    TObjectPtr<TWideAction> action(new TWideAction(nullptr));
    action->SetWideCaption(Korea);
    action->SetWideHint(Yoshi);
    combo->SetAction(action.get());
    EXPECT_EQ(&combo->ActionLink()->GetClass(), &TWideWinControlActionLink::StaticClass());
    EXPECT_EQ(GetWideControlText(combo), Korea);
    EXPECT_EQ(GetWideControlHint(combo), Yoshi);
    // A new caption with the same ANSI form reaches the box (through the empty text).
    action->SetWideCaption(Joseon);
    EXPECT_EQ(GetWideControlText(combo), Joseon);
    EXPECT_EQ(combo->Caption(), "??");
    action->SetWideHint(Korea);
    EXPECT_EQ(GetWideControlHint(combo), Korea);
    // Typed over by hand: the box keeps its text.
    SetWideControlText(combo, L"mine");
    action->SetWideCaption(Yoshi);
    EXPECT_EQ(GetWideControlText(combo), L"mine");

    // Applying with check-defaults keeps the box's own text and hint, but replaces a text that
    // is only its name.
    SetWideControlHint(combo, L"own hint");
    ApplyWideActionTexts(combo, action.get(), true);
    EXPECT_EQ(GetWideControlText(combo), L"mine");
    EXPECT_EQ(GetWideControlHint(combo), L"own hint");
    combo->SetName("Box1");
    SetWideControlText(combo, L"Box1");
    ApplyWideActionTexts(combo, action.get(), true);
    EXPECT_EQ(GetWideControlText(combo), Yoshi);
    EXPECT_EQ(GetWideControlHint(combo), L"own hint");

    // The class library's own controls take the ANSI form through their own links.
    TObjectPtr<TButton> button(new TButton(nullptr));
    EXPECT_EQ(&ActionLinkClassFor(button.get()), &TWideButtonActionLink::StaticClass());
    button->SetAction(action.get());
    EXPECT_EQ(button->Caption(), "??");
    action->SetCaption("plain");
    EXPECT_EQ(button->Caption(), "plain");
    form->Hide();
}
