// The shell's stand-in with a band library of the framework: the band made, sited, sized and
// shown in the strip; keys passed through the band's input object; activation on click and on
// focus; the band's context menu; the shell's close and the library's unloading.
#include <windows.h>
#include <gtest/gtest.h>

#include <string>

#include "E2eSupport.h"
#include "ProbeBand.h"

namespace {

class BandHost : public e2e::HostedBand {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Host(L"probeband.dll", CLSID_ProbeBand));
        record = Export<ProbeRecordProc>("ProbeBandRecord")();
        ASSERT_NE(record->edit, nullptr);
    }
    // A message posted to a window of the band and handled by the shell's loop.
    void Post(HWND window, UINT msg, WPARAM wParam, LPARAM lParam = 0)
    {
        PostMessageW(window, msg, wParam, lParam);
        host.PumpPending();
    }
    std::wstring EditText()
    {
        wchar_t buf[64] = {};
        GetWindowTextW(record->edit, buf, 64);
        return buf;
    }

    ProbeRecord* record = nullptr;
};

UINT FindCommand(HMENU menu, const std::wstring& text)
{
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        wchar_t buf[64] = {};
        GetMenuStringW(menu, static_cast<UINT>(i), buf, 64, MF_BYPOSITION);
        if (text == buf) return GetMenuItemID(menu, i);
    }
    return 0;
}

}  // namespace

TEST_F(BandHost, ShowsTheBandInItsSiteAtTheSizeItAsksFor)
{
    HWND band = host.BandWindow();
    EXPECT_EQ(GetParent(band), host.SiteWindow());
    EXPECT_EQ(GetParent(host.SiteWindow()), host.Strip());
    EXPECT_TRUE(IsWindowVisible(host.Strip()));
    EXPECT_TRUE(IsWindowVisible(band));
    EXPECT_EQ(record->liveForms, 1);

    EXPECT_EQ(host.BandInfo().ptActual.x, 150);
    EXPECT_EQ(host.BandInfo().ptActual.y, 22);
    EXPECT_STREQ(host.BandInfo().wszTitle, L"プローブ");
    RECT rc, site;
    GetWindowRect(band, &rc);
    GetClientRect(host.SiteWindow(), &site);
    EXPECT_EQ(rc.right - rc.left, 150);
    EXPECT_EQ(rc.bottom - rc.top, site.bottom);  // variable height: the row's height
    // The strip lies along the bottom of the screen, like a taskbar.
    GetWindowRect(host.Strip(), &rc);
    EXPECT_EQ(rc.bottom, GetSystemMetrics(SM_CYSCREEN));

    // The band holds the site's input-object site and hands it back.
    IInputObjectSite* given = nullptr;
    IObjectWithSite* withSite = nullptr;
    ASSERT_EQ(host.Band()->QueryInterface(IID_IObjectWithSite, reinterpret_cast<void**>(&withSite)), S_OK);
    EXPECT_EQ(withSite->GetSite(IID_IInputObjectSite, reinterpret_cast<void**>(&given)), S_OK);
    EXPECT_EQ(given, static_cast<IInputObjectSite*>(host.Site()));
    given->Release();
    withSite->Release();
}

TEST_F(BandHost, KeysForTheBandGoThroughItsInputObjectAndClicksActivateIt)
{
    SetFocus(record->edit);
    ASSERT_EQ(GetFocus(), record->edit);

    // The band leaves the key to the shell: translated and dispatched once, the character too.
    Post(record->edit, WM_KEYDOWN, 'A', 0x001E0001);
    EXPECT_EQ(record->translateCalls, 2);  // the key and the character it made
    EXPECT_EQ(record->lastMessage, static_cast<UINT>(WM_CHAR));
    EXPECT_EQ(EditText(), L"a");
    EXPECT_EQ(host.KeysTakenByBand(), 0);

    // The band takes the key itself: the shell must not dispatch it a second time.
    record->handleKeys = true;
    Post(record->edit, WM_KEYDOWN, 'B', 0x00300001);
    EXPECT_EQ(EditText(), L"ab");
    EXPECT_EQ(host.KeysTakenByBand(), 2);
    EXPECT_EQ(record->lastKey, static_cast<WPARAM>('b'));

    // Keys of windows outside the band are none of its business.
    const int offered = host.KeysOffered();
    Post(host.Strip(), WM_KEYDOWN, 'C', 0x002E0001);
    EXPECT_EQ(host.KeysOffered(), offered);

    // A press in the band activates it with the message, before the press is dispatched.
    const int activations = record->activateCalls;
    Post(record->edit, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    Post(record->edit, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    EXPECT_EQ(record->activateCalls, activations + 1);
    EXPECT_TRUE(record->lastActivate);
    EXPECT_TRUE(record->lastHadMessage);
    // Moving the focus into the strip moves it into the band, without a message.
    SetFocus(host.Strip());
    EXPECT_EQ(record->activateCalls, activations + 2);
    EXPECT_FALSE(record->lastHadMessage);
}

TEST_F(BandHost, RightClickOffersTheBandsMenuAfterTheShellsOwn)
{
    HMENU menu = host.BuildContextMenu();
    ASSERT_EQ(GetMenuItemCount(menu), 4);  // 閉じる, a separator, the band's two items
    const UINT recordCommand = FindCommand(menu, L"記録");
    EXPECT_EQ(FindCommand(menu, L"閉じる(&C)"), bandhost::TBandHost::kCloseCommand);
    EXPECT_GE(recordCommand, bandhost::TBandHost::kFirstBandCommand);
    DestroyMenu(menu);
    EXPECT_EQ(host.InvokeContextCommand(recordCommand), S_OK);
    EXPECT_EQ(record->menuClicks, 1);

    // A right-click on the band's panel comes up to the site, which shows the menu.
    HWND panel = GetParent(record->edit);
    int shown = 0;
    host.ChooseMenuCommand = [&](HMENU m, POINT) {
        ++shown;
        return FindCommand(m, L"記録");
    };
    SendMessageW(panel, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(panel), MAKELPARAM(20, 900));
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(record->menuClicks, 2);

    // The shell's own 閉じる closes the band and the strip.
    host.ChooseMenuCommand = [](HMENU, POINT) { return bandhost::TBandHost::kCloseCommand; };
    SendMessageW(panel, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(panel), MAKELPARAM(20, 900));
    host.PumpPending();
    EXPECT_FALSE(host.IsOpen());
    EXPECT_EQ(host.Strip(), nullptr);
    EXPECT_EQ(record->liveForms, 0);
}

TEST_F(BandHost, ClosingAsTheShellDoesFreesTheFormAndLetsTheLibraryGo)
{
    EXPECT_EQ(library.CanUnloadNow(), S_FALSE);
    // The site is held by the band (input-object site and command target) until SetSite(NULL).
    const ULONG held = host.Site()->AddRef() - 1;
    host.Site()->Release();
    EXPECT_GE(held, 3u);

    host.Close();
    EXPECT_FALSE(host.IsOpen());
    EXPECT_EQ(record->liveForms, 0);
    EXPECT_EQ(host.Site()->AddRef() - 1, 1u);  // the host's own reference only
    host.Site()->Release();
    EXPECT_EQ(library.CanUnloadNow(), S_OK);

    // The smallest band of the framework goes through the same cycle, in the same strip.
    ASSERT_TRUE(Host(L"probeband.dll", CLSID_MinimalBand));
    EXPECT_EQ(record->liveForms, 1);
    EXPECT_TRUE(IsWindowVisible(host.BandWindow()));
    host.Close();
    EXPECT_EQ(record->liveForms, 0);
    EXPECT_TRUE(library.UnloadIfUnused());
    EXPECT_EQ(GetModuleHandleW(L"probeband.dll"), nullptr);
}
