// The band's menu in the shell's context menu: items copied into a real menu and read back with
// GetMenuItemInfoA, the shell's choice carried out, and the command strings.
#include <windows.h>
#include <shobjidl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "TestBand.h"
#include "TestSite.h"

using namespace bandtest;

namespace {

// One native item as the shell's menu holds it.
struct NativeItem {
    UINT type = 0, state = 0, id = 0;
    HMENU subMenu = nullptr;
    std::string text;
};

std::vector<NativeItem> ReadMenu(HMENU menu)
{
    std::vector<NativeItem> items;
    const int n = GetMenuItemCount(menu);
    for (int i = 0; i < n; ++i) {
        char text[256] = {};
        MENUITEMINFOA info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_SUBMENU | MIIM_STRING;
        info.dwTypeData = text;
        info.cch = sizeof text;
        EXPECT_TRUE(GetMenuItemInfoA(menu, static_cast<UINT>(i), TRUE, &info));
        items.push_back({info.fType, info.fState, info.wID, info.hSubMenu, text});
    }
    return items;
}

// A band shown on a site, its context menu asked for by the shell.
class ContextMenuTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(band.Whole());
        site.window = window.Handle();
        ASSERT_EQ(band.withSite->SetSite(site.Unknown()), S_OK);
        form = band.object->Form();
        ASSERT_NE(form, nullptr);
        ASSERT_EQ(form->BandContextMenu(), form->PopupMenu1);
        menu = Query<IContextMenu>(band.unknown, IID_IContextMenu);
        ASSERT_NE(menu, nullptr);
        shellMenu = CreatePopupMenu();
        AppendMenuA(shellMenu, MF_STRING, 1, "shell's own");
    }
    void TearDown() override
    {
        if (menu) menu->Release();
        DestroyMenu(shellMenu);
    }

    HRESULT Invoke(ULONG_PTR verb)
    {
        CMINVOKECOMMANDINFO info{};
        info.cbSize = sizeof info;
        info.lpVerb = reinterpret_cast<LPCSTR>(verb);
        return menu->InvokeCommand(&info);
    }

    SiteWindow window{260, 22};
    TestSite site;
    Band band;
    TTestBandForm* form = nullptr;
    IContextMenu* menu = nullptr;
    HMENU shellMenu = nullptr;
};

}  // namespace

TEST_F(ContextMenuTest, VisibleTopLevelItemsAreAppendedAfterTheShellsOwn)
{
    const HRESULT count = menu->QueryContextMenu(shellMenu, 0, 100, 200, CMF_NORMAL);
    // Largest command number among the appended items, plus one: neither the hidden item nor the
    // sub-menu's child counts.
    EXPECT_EQ(count, MakeBandResult(SEVERITY_SUCCESS, 0, form->ItemSub->Command() + 1u));
    ASSERT_LT(form->ItemSub->Command(), form->ItemSubChild->Command());

    const std::vector<NativeItem> items = ReadMenu(shellMenu);
    ASSERT_EQ(items.size(), 9u);
    EXPECT_EQ(items[0].text, "shell's own");
    const std::vector<TMenuItem*> expected = {form->ItemOption, form->ItemLine,    form->ItemDisabled, form->ItemDefault,
                                              form->ItemRadio,  form->ItemColumn, form->ItemShortCut, form->ItemSub};
    for (size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(expected[i]->Name());
        EXPECT_EQ(items[i + 1].id, expected[i]->Command() + 100u);
    }

    const NativeItem& option = items[1];
    EXPECT_EQ(option.type, static_cast<UINT>(MFT_STRING));
    EXPECT_EQ(option.state, 0u);
    EXPECT_EQ(option.text, AnsiFromWide(L"設定(&O)..."));  // the accelerator mark stays
    EXPECT_EQ(option.subMenu, nullptr);
    EXPECT_EQ(items[2].type, static_cast<UINT>(MFT_SEPARATOR));
    EXPECT_EQ(items[3].state, static_cast<UINT>(MFS_DISABLED | MFS_GRAYED));
    EXPECT_EQ(items[4].state, static_cast<UINT>(MFS_CHECKED | MFS_DEFAULT));
    EXPECT_EQ(items[5].type, static_cast<UINT>(MFT_RADIOCHECK | MFT_MENUBARBREAK));
    EXPECT_EQ(items[6].type, static_cast<UINT>(MFT_MENUBREAK));
    EXPECT_EQ(items[7].text, AnsiFromWide(L"保存(&S)") + "\tCtrl+S");
    // An item with sub-items carries its own menu and shows no shortcut.
    EXPECT_EQ(items[8].text, "Sub");
    EXPECT_EQ(items[8].subMenu, form->ItemSub->Handle());
    ASSERT_EQ(GetMenuItemCount(items[8].subMenu), 1);
}

TEST_F(ContextMenuTest, NothingIsAddedForDefaultOnlyOrWithoutVisibleItems)
{
    EXPECT_EQ(menu->QueryContextMenu(shellMenu, 0, 100, 200, CMF_DEFAULTONLY), MakeBandResult(0, 0, 0));
    EXPECT_EQ(GetMenuItemCount(shellMenu), 1);

    TMenuItem* items = form->PopupMenu1->Items();
    for (int i = 0; i < items->Count(); ++i) items->Items(i)->SetVisible(false);
    EXPECT_EQ(menu->QueryContextMenu(shellMenu, 0, 100, 200, CMF_NORMAL), MakeBandResult(0, 0, 1));
    EXPECT_EQ(GetMenuItemCount(shellMenu), 1);

    // A freed menu leaves the form without one.
    form->PopupMenu1->Free();
    EXPECT_EQ(form->BandContextMenu(), nullptr);
    EXPECT_EQ(menu->QueryContextMenu(shellMenu, 0, 100, 200, CMF_NORMAL), MakeBandResult(0, 0, 1));
    EXPECT_EQ(Invoke(1), E_INVALIDARG);
    char name[8] = "unset";
    EXPECT_EQ(menu->GetCommandString(1, GCS_VALIDATEA, nullptr, name, sizeof name), E_INVALIDARG);
    EXPECT_STREQ(name, "unset");
}

TEST_F(ContextMenuTest, AnIdentifierBeyondTheRangeFailsTheQueryWithoutRaising)
{
    EXPECT_EQ(menu->QueryContextMenu(shellMenu, 0, 0xFFFFFFFFu - form->ItemOption->Command() + 1, 0xFFFFFFFFu,
                                     CMF_NORMAL),
              E_FAIL);
}

TEST_F(ContextMenuTest, TheShellsChoiceRunsTheItemOnce)
{
    EXPECT_EQ(Invoke(form->ItemOption->Command()), S_OK);
    EXPECT_EQ(form->clicks, std::vector<std::string>{"ItemOption"});
    // Items in a sub-menu are found by their own numbers.
    EXPECT_EQ(Invoke(form->ItemSubChild->Command()), S_OK);
    // A disabled item is found, and does nothing.
    EXPECT_EQ(Invoke(form->ItemDisabled->Command()), S_OK);
    EXPECT_EQ(form->clicks, (std::vector<std::string>{"ItemOption", "ItemSubChild"}));

    // Verbs given as text name nothing of the band, whatever their address's low word.
    EXPECT_EQ(Invoke(reinterpret_cast<ULONG_PTR>("open")), E_INVALIDARG);
    EXPECT_EQ(Invoke(0x10000u | form->ItemOption->Command()), E_INVALIDARG);
    uint16_t unused = 1;
    while (form->PopupMenu1->FindItem(unused, TFindItemKind::fkCommand)) ++unused;
    EXPECT_EQ(Invoke(unused), E_INVALIDARG);
    EXPECT_EQ(form->clicks.size(), 2u);
    EXPECT_EQ(menu->InvokeCommand(nullptr), E_INVALIDARG);
}

TEST_F(ContextMenuTest, CommandStringsAreTheItemsTextAndHint)
{
    char buffer[64];
    std::memset(buffer, 'z', sizeof buffer);
    EXPECT_EQ(menu->GetCommandString(form->ItemShortCut->Command(), GCS_VERBA, nullptr, buffer, sizeof buffer), S_OK);
    EXPECT_EQ(std::string(buffer), AnsiFromWide(L"保存(&S)") + "\tCtrl+S");

    // The hint is 11 bytes; room for 5 takes four of them and a zero, and nothing beyond.
    const std::string hint = AnsiFromWide(L"ヒント12345");
    ASSERT_EQ(hint.size(), 11u);
    std::memset(buffer, 'z', sizeof buffer);
    EXPECT_EQ(menu->GetCommandString(form->ItemOption->Command(), GCS_HELPTEXTA, nullptr, buffer, 5), S_OK);
    EXPECT_EQ(std::memcmp(buffer, hint.data(), 4), 0);
    EXPECT_EQ(buffer[4], '\0');
    EXPECT_EQ(buffer[5], 'z');

    std::memset(buffer, 'z', sizeof buffer);
    EXPECT_EQ(menu->GetCommandString(form->ItemOption->Command(), GCS_VERBA, nullptr, buffer, 0), S_OK);
    EXPECT_EQ(buffer[0], 'z');

    EXPECT_EQ(menu->GetCommandString(0xFFFF, GCS_VALIDATEA, nullptr, buffer, sizeof buffer), S_OK);
    for (UINT wide : {GCS_VERBW, GCS_HELPTEXTW, GCS_VALIDATEW})
        EXPECT_EQ(menu->GetCommandString(form->ItemOption->Command(), wide, nullptr, buffer, sizeof buffer),
                  E_INVALIDARG);
    uint16_t unused = 1;
    while (form->PopupMenu1->FindItem(unused, TFindItemKind::fkCommand)) ++unused;
    EXPECT_EQ(menu->GetCommandString(unused, GCS_VERBA, nullptr, buffer, sizeof buffer), E_INVALIDARG);
    EXPECT_EQ(menu->GetCommandString(0x10000u + form->ItemOption->Command(), GCS_HELPTEXTA, nullptr, buffer,
                                     sizeof buffer),
              E_INVALIDARG);
}

TEST(BandMenuText, TopLevelItemsOfAMainMenuShowNoShortcut)
{
    TObjectPtr<TMainMenu> mainMenu(new TMainMenu(nullptr));
    auto* top = new TMenuItem(mainMenu.get());
    top->SetCaption("&File");
    top->SetShortCut(scCtrl | 'S');
    mainMenu->Items()->Add(top);
    auto* inner = new TMenuItem(mainMenu.get());
    inner->SetCaption("&Save");
    inner->SetShortCut(scCtrl | 'S');
    top->Add(inner);
    EXPECT_EQ(TzContextMenuBandObject::MenuItemCaptionText(inner), "&Save\tCtrl+S");
    top->Remove(inner);
    EXPECT_EQ(TzContextMenuBandObject::MenuItemCaptionText(top), "&File");

    TObjectPtr<TPopupMenu> popup(new TPopupMenu(nullptr));
    auto* item = new TMenuItem(popup.get());
    item->SetCaption("&File");
    item->SetShortCut(scCtrl | 'S');
    popup->Items()->Add(item);
    EXPECT_EQ(TzContextMenuBandObject::MenuItemCaptionText(item), "&File\tCtrl+S");
    // An item in no menu at all has no parent: its shortcut shows.
    EXPECT_EQ(TzContextMenuBandObject::MenuItemCaptionText(inner), "&Save\tCtrl+S");
    inner->Free();
}
