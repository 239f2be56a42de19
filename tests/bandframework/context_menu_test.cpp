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

using namespace bandtest;

namespace {

struct NativeItem {
    UINT type, state, id;
    HMENU subMenu;
    std::string text;
};

NativeItem ReadItem(HMENU menu, int index)
{
    char text[256] = {};
    MENUITEMINFOA info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_SUBMENU | MIIM_STRING;
    info.dwTypeData = text;
    info.cch = sizeof text;
    EXPECT_TRUE(GetMenuItemInfoA(menu, static_cast<UINT>(index), TRUE, &info));
    return {info.fType, info.fState, info.wID, info.hSubMenu, text};
}

class BandContextMenu : public ::testing::Test {
protected:
    void SetUp() override
    {
        site.window = window.handle;
        ASSERT_EQ(band.withSite->SetSite(site.Unknown()), S_OK);
        form = band.object->Form();
        menu = Query<IContextMenu>(band.unknown, IID_IContextMenu);
        AppendMenuA(shellMenu, MF_STRING, 1, "shell's own");
        unused = 1;
        while (form->PopupMenu1->FindItem(unused, TFindItemKind::fkCommand)) ++unused;
    }
    void TearDown() override
    {
        menu->Release();
        DestroyMenu(shellMenu);
    }
    HRESULT Invoke(ULONG_PTR verb)
    {
        CMINVOKECOMMANDINFO info{sizeof info, 0, nullptr, reinterpret_cast<LPCSTR>(verb), nullptr, nullptr, 0, 0, nullptr};
        return menu->InvokeCommand(&info);
    }

    SiteWindow window{260, 22};
    TestSite site;
    Band band;
    TTestBandForm* form = nullptr;
    IContextMenu* menu = nullptr;
    HMENU shellMenu = CreatePopupMenu();
    uint16_t unused = 1;  // a number that no item of the menu carries
};

}  // namespace

TEST_F(BandContextMenu, VisibleTopLevelItemsFollowTheShellsOwn)
{
    EXPECT_EQ(menu->QueryContextMenu(shellMenu, 0, 100, 200, CMF_DEFAULTONLY), MakeBandResult(0, 0, 0));
    EXPECT_EQ(GetMenuItemCount(shellMenu), 1);

    // The count is the largest number appended, plus one: the hidden item after the sub-menu
    // and the sub-menu's child have larger numbers and do not count.
    EXPECT_EQ(menu->QueryContextMenu(shellMenu, 0, 100, 200, CMF_NORMAL),
              MakeBandResult(0, 0, form->ItemSub->Command() + 1u));
    ASSERT_EQ(GetMenuItemCount(shellMenu), 9);
    const TMenuItem* root = form->PopupMenu1->Items();
    for (int i = 0; i < 8; ++i) EXPECT_EQ(ReadItem(shellMenu, i + 1).id, root->Items(i)->Command() + 100u) << i;

    const NativeItem option = ReadItem(shellMenu, 1);
    EXPECT_EQ(option.type, static_cast<UINT>(MFT_STRING));
    EXPECT_EQ(option.state, 0u);
    EXPECT_EQ(option.text, AnsiFromWide(L"設定(&O)..."));
    EXPECT_EQ(ReadItem(shellMenu, 2).type, static_cast<UINT>(MFT_SEPARATOR));
    EXPECT_EQ(ReadItem(shellMenu, 3).state, static_cast<UINT>(MFS_DISABLED | MFS_GRAYED));
    EXPECT_EQ(ReadItem(shellMenu, 4).state, static_cast<UINT>(MFS_CHECKED | MFS_DEFAULT));
    EXPECT_EQ(ReadItem(shellMenu, 5).type, static_cast<UINT>(MFT_RADIOCHECK | MFT_MENUBARBREAK));
    EXPECT_EQ(ReadItem(shellMenu, 6).type, static_cast<UINT>(MFT_MENUBREAK));
    EXPECT_EQ(ReadItem(shellMenu, 7).text, AnsiFromWide(L"保存(&S)") + "\tCtrl+S");
    const NativeItem sub = ReadItem(shellMenu, 8);
    EXPECT_EQ(sub.text, "Sub");  // with sub-items: no shortcut text, its own menu
    EXPECT_EQ(sub.subMenu, form->ItemSub->Handle());

    // A range too small for every item: only the items whose identifiers fit are added, and the
    // count reaches no further than the range.
    HMENU shared = CreatePopupMenu();
    const UINT last = 100 + root->Items(3)->Command();
    std::vector<UINT> fitting;
    for (int i = 0; i < root->Count(); ++i) {
        const TMenuItem* item = root->Items(i);
        if (item->Visible() && item->Command() + 100u <= last) fitting.push_back(item->Command() + 100u);
    }
    ASSERT_LT(fitting.size(), 8u);
    const HRESULT partial = menu->QueryContextMenu(shared, 0, 100, last, CMF_NORMAL);
    ASSERT_EQ(GetMenuItemCount(shared), static_cast<int>(fitting.size()));
    for (size_t i = 0; i < fitting.size(); ++i) EXPECT_EQ(ReadItem(shared, static_cast<int>(i)).id, fitting[i]) << i;
    EXPECT_EQ(partial, MakeBandResult(0, 0, *std::max_element(fitting.begin(), fitting.end()) - 100 + 1));
    DestroyMenu(shared);

    // A number beyond the identifier range fails the query, without raising into the shell.
    EXPECT_EQ(menu->QueryContextMenu(shellMenu, 0, 0xFFFFFFFFu, 0xFFFFFFFFu, CMF_NORMAL), E_FAIL);

    TMenuItem* items = form->PopupMenu1->Items();
    for (int i = 0; i < items->Count(); ++i) items->Items(i)->SetVisible(false);
    HMENU empty = CreatePopupMenu();
    EXPECT_EQ(menu->QueryContextMenu(empty, 0, 100, 200, CMF_NORMAL), MakeBandResult(0, 0, 1));
    EXPECT_EQ(GetMenuItemCount(empty), 0);
    form->PopupMenu1->Free();
    EXPECT_EQ(menu->QueryContextMenu(empty, 0, 100, 200, CMF_NORMAL), MakeBandResult(0, 0, 1));
    DestroyMenu(empty);
}

TEST_F(BandContextMenu, TheShellsChoiceRunsTheItemOnce)
{
    EXPECT_EQ(Invoke(form->ItemOption->Command()), S_OK);
    EXPECT_EQ(Invoke(form->ItemSubChild->Command()), S_OK);  // found by its own number
    EXPECT_EQ(Invoke(form->ItemDisabled->Command()), S_OK);  // found, and does nothing
    EXPECT_EQ(form->clicks, (std::vector<std::string>{"ItemOption", "ItemSubChild"}));

    // A verb given as text names nothing of the band, whatever the low word of its address.
    EXPECT_EQ(Invoke(reinterpret_cast<ULONG_PTR>("open")), E_INVALIDARG);
    EXPECT_EQ(Invoke(0x10000u | form->ItemOption->Command()), E_INVALIDARG);
    EXPECT_EQ(Invoke(unused), E_INVALIDARG);
    EXPECT_EQ(menu->InvokeCommand(nullptr), E_INVALIDARG);
    EXPECT_EQ(form->clicks.size(), 2u);

    form->PopupMenu1->Free();
    EXPECT_EQ(Invoke(1), E_INVALIDARG);
}

TEST_F(BandContextMenu, CommandStringsAreTheItemsTextAndHint)
{
    char buffer[64] = {};
    EXPECT_EQ(menu->GetCommandString(form->ItemShortCut->Command(), GCS_VERBA, nullptr, buffer, sizeof buffer), S_OK);
    EXPECT_EQ(std::string(buffer), AnsiFromWide(L"保存(&S)") + "\tCtrl+S");

    const std::string hint = AnsiFromWide(L"ヒント12345");  // 11 bytes
    std::memset(buffer, 'z', sizeof buffer);
    EXPECT_EQ(menu->GetCommandString(form->ItemOption->Command(), GCS_HELPTEXTA, nullptr, buffer, 5), S_OK);
    EXPECT_EQ(std::string(buffer, 6), hint.substr(0, 4) + std::string("\0z", 2));
    EXPECT_EQ(menu->GetCommandString(form->ItemOption->Command(), GCS_VERBA, nullptr, buffer + 10, 0), S_OK);
    EXPECT_EQ(buffer[10], 'z');

    EXPECT_EQ(menu->GetCommandString(unused, GCS_VALIDATEA, nullptr, buffer, sizeof buffer), S_OK);
    EXPECT_EQ(menu->GetCommandString(unused, GCS_VERBA, nullptr, buffer, sizeof buffer), E_INVALIDARG);
    for (UINT wide : {GCS_VERBW, GCS_HELPTEXTW, GCS_VALIDATEW})
        EXPECT_EQ(menu->GetCommandString(form->ItemOption->Command(), wide, nullptr, buffer, sizeof buffer),
                  E_INVALIDARG);
    form->PopupMenu1->Free();
    EXPECT_EQ(menu->GetCommandString(1, GCS_VALIDATEA, nullptr, buffer, sizeof buffer), E_INVALIDARG);
}

TEST(BandMenuText, TopLevelItemsOfAMainMenuShowNoShortcut)
{
    TObjectPtr<TMainMenu> mainMenu(new TMainMenu(nullptr));
    auto* top = new TMenuItem(mainMenu.get());
    auto* inner = new TMenuItem(mainMenu.get());
    for (TMenuItem* item : {top, inner}) {
        item->SetCaption("&Save");
        item->SetShortCut(scCtrl | 'S');
    }
    mainMenu->Items()->Add(top);
    top->Add(inner);
    EXPECT_EQ(TzContextMenuBandObject::MenuItemCaptionText(inner), "&Save\tCtrl+S");
    top->Remove(inner);
    EXPECT_EQ(TzContextMenuBandObject::MenuItemCaptionText(top), "&Save");
}
