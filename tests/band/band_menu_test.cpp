// The band's own context menu, by where the cursor is, and the band object's answers on focus
// and unloading.
#include <windows.h>
#include <gtest/gtest.h>

#include "ControlsTestSupport.h"
#include "HostedBand.h"
#include "SysUtils.h"
#include "TestUserInput.h"

using namespace bandtest;

namespace {

// Right-click at the point of the control's client area, on the form.
bool MenuShownAt(TquormelForm* form, TControl* control, POINT client, std::vector<std::wstring>* items = nullptr)
{
    return MenuShownWhile([&] { RightClick(form->Handle(), control->ClientToScreen(client)); }, items);
}

}  // namespace

TEST(BandMenu, ShownEverywhereButOverTheEditPartOfTheBox)
{
    BandFolder folder;
    HostedBand band;
    TquormelForm* form = band.Form();
    TControl* box = form->ComboBox1;
    const int w = box->ClientWidth();
    EXPECT_FALSE(MenuShownAt(form, box, POINT{10, 8}));
    EXPECT_FALSE(MenuShownAt(form, box, POINT{w - 16, 8}));
    std::vector<std::wstring> items;
    EXPECT_TRUE(MenuShownAt(form, box, POINT{w - 15, 8}, &items));
    EXPECT_EQ(items, (std::vector<std::wstring>{L"Palvenorの設定(&O)", L"作者ホームページ(&W)"}));
    EXPECT_TRUE(MenuShownAt(form, form->PanelMain, POINT{10, 5}));
    EXPECT_TRUE(MenuShownAt(form, form->PanelMain, POINT{240, 5}));

    // The shell gets the same two commands through the band object.
    IContextMenu* menu = nullptr;
    ASSERT_EQ(band.unknown->QueryInterface(IID_IContextMenu, reinterpret_cast<void**>(&menu)), S_OK);
    HMENU shell = CreatePopupMenu();
    EXPECT_GT(HRESULT_CODE(menu->QueryContextMenu(shell, 0, 100, 200, CMF_NORMAL)), 0);
    EXPECT_EQ(GetMenuItemCount(shell), 2);
    DestroyMenu(shell);
    menu->Release();
}

TEST(BandObject, FocusAndUnloadingAnswers)
{
    BandFolder folder;
    {
        HostedBand band;
        TquormelForm* form = band.Form();
        SetFocus(form->ComboBox1->EditHandle());
        // The edit field is a window of its own: no focus as the shell counts it.
        EXPECT_EQ(band.input->HasFocusIO(), S_FALSE);
        SetFocus(band.siteWindow);
        EXPECT_EQ(band.input->HasFocusIO(), S_FALSE);
        EXPECT_EQ(ComServer().CanUnloadNow(), S_FALSE);
        MSG msg{};
        EXPECT_EQ(band.input->TranslateAcceleratorIO(&msg), S_OK);
        EXPECT_EQ(band.input->TranslateAcceleratorIO(nullptr), S_OK);
    }
    EXPECT_EQ(ComServer().CanUnloadNow(), S_OK);
}
