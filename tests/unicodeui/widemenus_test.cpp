// Wide shortcut texts, hot-key marks (code page 932 is a Far East system) and wide menu items in
// a real Windows menu.
#include <windows.h>
#include <gtest/gtest.h>

#include <string>

#include "Menus.h"
#include "WideForms.h"
#include "WideMenus.h"

namespace {

std::wstring MenuText(HMENU menu, UINT command)
{
    wchar_t buffer[128] = {};
    GetMenuStringW(menu, command, buffer, 128, MF_BYCOMMAND);
    return buffer;
}

const std::wstring Korea = L"\xD55C\xAD6D";  // 한국

}  // namespace

TEST(WideShortCuts, TextsOfKeysAndModifiers)
{
    const wchar_t a = static_cast<wchar_t>(MapVirtualKeyW('A', MAPVK_VK_TO_CHAR));
    EXPECT_EQ(ShortCutToWideText(scCtrl | 'A'), std::wstring(L"Ctrl+") + a);
    // Keys the class library names itself keep its text.
    EXPECT_EQ(ShortCutToWideText(scShift | VK_F5), L"Shift+F5");
    EXPECT_EQ(ShortCutToWideText(scCtrl | scAlt | VK_DELETE), WideFromAnsi(ShortCutToText(scCtrl | scAlt | VK_DELETE)));
    // Other keys by the name Windows gives them; none without a scan code, not even modifiers.
    const UINT scan = MapVirtualKeyW(VK_OEM_1, MAPVK_VK_TO_VSC);
    wchar_t name[256] = {};
    GetKeyNameTextW(static_cast<LONG>(scan << 16), name, 256);
    EXPECT_EQ(ShortCutToWideText(scShift | scCtrl | scAlt | VK_OEM_1), std::wstring(L"Shift+Ctrl+Alt+") + name);
    ASSERT_EQ(MapVirtualKeyW(0xFF, MAPVK_VK_TO_VSC), 0u);
    EXPECT_EQ(ShortCutToWideText(scCtrl | 0xFF), L"");
}

TEST(WideShortCuts, HotkeyMarks)
{
    ASSERT_TRUE(SysLocale().FarEast);
    EXPECT_EQ(HotkeyPosition(L"a&bc"), 3);
    EXPECT_EQ(HotkeyPosition(L"a&&b"), 0);
    EXPECT_EQ(HotkeyPosition(L"&a&b"), 4);
    EXPECT_EQ(StripHotkeyMarks(L"A&&B &Cd"), L"A&B Cd");
    EXPECT_EQ(StripHotkeyMarks(Korea + L"(&K)"), Korea);
    EXPECT_EQ(StripHotkeyMarks(L"(&K)"), L"(K)");
    EXPECT_TRUE(SameCaptionIgnoringHotkeys(L"&File", L"fi&LE"));
    EXPECT_FALSE(SameCaptionIgnoringHotkeys(L"File", L"Files"));
    EXPECT_EQ(ApplyAnsiHotkey(L"Fi&le", L"&File"), L"Fi&le");
    EXPECT_EQ(ApplyAnsiHotkey(L"?\x3F(&K)", Korea), Korea + L"(&K)");
    EXPECT_EQ(ApplyAnsiHotkey(L"ab&c", L"ab"), L"ab");  // the position lies outside
}

TEST(WideMenuItems, WideCaptionsInTheWindowsMenu)
{
    TObjectPtr<TPopupMenu> menu(new TPopupMenu(nullptr));
    auto* first = new TWideMenuItem(menu.get());
    auto* second = new TWideMenuItem(menu.get());
    first->SetWideCaption(L"&" + Korea);
    second->SetWideCaption(L"\xD842\xDFB7");
    second->SetShortCut(scCtrl | 'B');
    menu->Items()->Add(first);
    menu->Items()->Add(second);
    HMENU handle = menu->Handle();
    EXPECT_EQ(MenuText(handle, first->Command()), L"&" + Korea);
    EXPECT_EQ(MenuText(handle, second->Command()), L"\xD842\xDFB7\t" + ShortCutToWideText(scCtrl | 'B'));
    // A change of one item keeps its sibling's wide text in the rebuilt menu.
    second->SetWideCaption(L"x" + Korea);
    EXPECT_EQ(MenuText(handle, first->Command()), L"&" + Korea);
    EXPECT_EQ(MenuText(handle, second->Command()).substr(0, 3), L"x" + Korea);
    // The class library moving the hot key of the ANSI caption moves the wide one along.
    first->SetCaption("?&?");
    EXPECT_EQ(first->WideCaption(), L"\xD55C&\xAD6D");
    // The class library's own new text wins.
    first->SetCaption("Plain");
    EXPECT_EQ(first->WideCaption(), L"Plain");
    EXPECT_EQ(MenuText(handle, first->Command()), L"Plain");
    second->SetWideHint(L"a|" + Korea);
    EXPECT_EQ(MenuItemWideHint(second), L"a|" + Korea);
    EXPECT_EQ(second->Hint(), "a|??");
}

TEST(WideMenuItems, PopupListSendsTheSelectedItemsHintToTheWideHint)
{
    // Menus join the list in force when they are made: the wide one, for this test.
    SetPopupList(WidePopupList());
    TObjectPtr<TPopupMenu> menu(new TPopupMenu(nullptr));
    SetPopupList(nullptr);
    auto* leaf = new TWideMenuItem(menu.get());
    leaf->SetWideHint(L"short|" + Korea);
    auto* branch = new TWideMenuItem(menu.get());
    branch->SetWideHint(L"\xD842\xDFB7");
    branch->Add(new TMenuItem(menu.get()));
    menu->Items()->Add(leaf);
    menu->Items()->Add(branch);
    HMENU handle = menu->Handle();
    HWND window = WidePopupList()->Window();

    SendMessageW(window, WM_MENUSELECT, MAKEWPARAM(leaf->Command(), 0), reinterpret_cast<LPARAM>(handle));
    EXPECT_EQ(WideApplication->WideHint(), Korea);
    SendMessageW(window, WM_MENUSELECT, MAKEWPARAM(1, MF_POPUP), reinterpret_cast<LPARAM>(handle));
    EXPECT_EQ(WideApplication->WideHint(), L"\xD842\xDFB7");
    SendMessageW(window, WM_MENUSELECT, MAKEWPARAM(0, 0xFFFF), 0);
    EXPECT_EQ(WideApplication->WideHint(), L"");
}
