// The search band's form inside the test program: its settings load, the search with its history
// and saves, the mode buttons, the hotkey and reload, focus, the size answers, the hover tracking
// and the band menu. The engine URLs point into a folder that does not exist, so the shell's open
// fails quietly and no browser starts; the URLs themselves are checked end to end.
#include <windows.h>
#include <gtest/gtest.h>

#include "ControlsTestSupport.h"
#include "HostedBand.h"
#include "SysUtils.h"
#include "TestEnv.h"

using namespace bandtest;

namespace {

std::string A(const std::wstring& w) { return AnsiFromWide(w); }

const char kNowhere[] = "C:\\kervo-no-such-folder\\q=";

class BandForm : public testing::Test {
protected:
    void SetUp() override
    {
        folder.Write("SEARCH0", "TITLE", "nowhere");
        folder.Write("SEARCH0", "URL", kNowhere);
        folder.Write("DIC0", "TITLE", "nowhere");
        folder.Write("DIC0", "URL", kNowhere);
    }
    // Types the text into the box and presses Enter through the band, as the shell passes keys.
    void Search(HostedBand& band, const std::wstring& text, BYTE modifier = 0)
    {
        TquormelForm* form = band.Form();
        querybox::SetText(form->ComboBox1, text);
        HWND edit = form->ComboBox1->EditHandle();
        SetFocus(edit);
        BYTE keys[256];
        GetKeyboardState(keys);
        if (modifier) keys[modifier] = 0x80, SetKeyboardState(keys);
        PostMessageA(edit, WM_KEYDOWN, VK_RETURN, 1);
        PostMessageA(edit, WM_KEYUP, VK_RETURN, 0xC0000001);
        band.PumpThroughBand();
        if (modifier) keys[modifier] = 0, SetKeyboardState(keys);
    }
    static std::vector<std::wstring> History(TquormelForm* form)
    {
        std::vector<std::wstring> items;
        for (int i = 0; i < querybox::Count(form->ComboBox1); ++i) items.push_back(querybox::Item(form->ComboBox1, i));
        return items;
    }
    static bool HotKeyFree(UINT modifiers, UINT key)
    {
        if (!RegisterHotKey(nullptr, 0x7001, modifiers, key)) return false;
        UnregisterHotKey(nullptr, 0x7001);
        return true;
    }

    BandFolder folder;
    ctltest::ExceptionRecorder errors;
};

}  // namespace

TEST_F(BandForm, LoadsCaptionsHistoryModeAndEngines)
{
    {
        // No file but the engines: default captions, no history, SEARCH down, the built-ins.
        HostedBand band;
        TquormelForm* form = band.Form();
        ASSERT_NE(form, nullptr);
        EXPECT_EQ(form->SpeedButtonSearch1->Caption(), A(L"検索"));
        EXPECT_EQ(form->SpeedButtonCache1->Caption(), A(L"ｷｬｯｼｭ"));
        EXPECT_EQ(form->SpeedButtonDic1->Caption(), A(L"辞書"));
        EXPECT_EQ(form->SpeedButtonFile1->Caption(), A(L"ﾌｧｲﾙ"));
        EXPECT_EQ(form->SpeedButtonExec1->Caption(), A(L"実行"));
        EXPECT_TRUE(History(form).empty());
        EXPECT_EQ(form->SelectedModeNumber(), 1);
        EXPECT_EQ(form->Engines().FSearchUrls.Get(0), kNowhere);
        EXPECT_EQ(form->Engines().FCacheTitles.Get(0), "Internet Archive");
        char className[64] = {};
        GetClassNameA(form->Handle(), className, sizeof className);
        EXPECT_STREQ(className, "TquormelForm");
        EXPECT_EQ(GetParent(form->Handle()), band.siteWindow);
    }
    folder.Write("CACHE", "CAPTION", A(L"魚拓"));
    folder.Write("DIC", "CAPTION", "");
    folder.Write("HIST", "0", A(L"日本"));
    folder.Write("HIST", "5", "abc");
    folder.Write("HIST", "6", "abc");
    folder.Write("BUTTON", "SELECTED", "3");
    HostedBand band;
    TquormelForm* form = band.Form();
    EXPECT_EQ(form->SpeedButtonCache1->Caption(), A(L"魚拓"));
    EXPECT_EQ(form->SpeedButtonDic1->Caption(), A(L"辞書"));
    EXPECT_EQ(History(form), (std::vector<std::wstring>{L"日本", L"abc", L"abc"}));
    EXPECT_EQ(form->SelectedModeNumber(), 3);
    EXPECT_TRUE(form->SettingsLoaded());
    band.Close();
    for (const char* bad : {"0", "5", "x"}) {
        folder.Write("BUTTON", "SELECTED", bad);
        HostedBand other;
        EXPECT_EQ(other.Form()->SelectedModeNumber(), 1) << bad;
    }
}

TEST_F(BandForm, SearchesKeepTheHistoryAndTheModeInTheFile)
{
    folder.Write("HIST", "0", "abc");
    folder.Write("HIST", "1", "x");
    folder.Write("HIST", "5", "old");
    HostedBand band;
    TquormelForm* form = band.Form();
    EXPECT_EQ(History(form), (std::vector<std::wstring>{L"abc", L"x", L"old"}));

    // An entry equal but for case is replaced, and the keys beyond the count keep their values.
    Search(band, L"ABC");
    EXPECT_EQ(History(form), (std::vector<std::wstring>{L"ABC", L"x", L"old"}));
    EXPECT_EQ(querybox::Text(form->ComboBox1), L"ABC");
    EXPECT_EQ(folder.Read("HIST", "0"), "ABC");
    EXPECT_EQ(folder.Read("HIST", "1"), "x");
    EXPECT_EQ(folder.Read("HIST", "2"), "old");
    EXPECT_EQ(folder.Read("HIST", "3"), "<none>");
    EXPECT_EQ(folder.Read("HIST", "5"), "old");
    EXPECT_EQ(folder.Read("BUTTON", "SELECTED"), "1");

    // Shift+Enter and Ctrl+Enter search too; a trailing U+0014 is not part of the query.
    Search(band, L"shift", VK_SHIFT);
    Search(band, L"ctrl\x14", VK_CONTROL);
    EXPECT_EQ(History(form)[0], L"ctrl");
    EXPECT_EQ(History(form)[1], L"shift");

    // Eleven more: the box keeps all, the file the ten most recent.
    for (int i = 0; i < 11; ++i) Search(band, L"q" + std::to_wstring(i));
    EXPECT_EQ(History(form).size(), 16u);
    for (int n = 0; n < 10; ++n) EXPECT_EQ(WideFromAnsi(folder.Read("HIST", std::to_string(n))), L"q" + std::to_wstring(10 - n));
    EXPECT_EQ(folder.Read("HIST", "10"), "<none>");
    EXPECT_TRUE(errors.messages.empty());
}

TEST_F(BandForm, AnEmptyQueryDoesNothingAndAGuardedFileIsNotWritten)
{
    HostedBand band;
    TquormelForm* form = band.Form();
    Search(band, L"");
    Search(band, L"\x14");
    EXPECT_TRUE(History(form).empty());
    EXPECT_EQ(folder.Read("HIST", "0"), "<none>");
    EXPECT_EQ(folder.Read("BUTTON", "SELECTED"), "<none>");

    // A mode button saves the mode, puts the focus into the box and searches nothing.
    form->SpeedButtonDic1->Click();
    EXPECT_EQ(form->SelectedModeNumber(), 3);
    EXPECT_EQ(folder.Read("BUTTON", "SELECTED"), "3");
    EXPECT_TRUE(form->SpeedButtonDic1->Down());
    EXPECT_FALSE(form->SpeedButtonSearch1->Down());
    EXPECT_TRUE(IsChild(form->ComboBox1->Handle(), GetFocus()) || GetFocus() == form->ComboBox1->Handle());
    EXPECT_TRUE(History(form).empty());

    // A read-only file is read but never written; the search itself still goes ahead.
    SetFileAttributesA(folder.ini.c_str(), FILE_ATTRIBUTE_READONLY);
    Search(band, L"kept");
    SetFileAttributesA(folder.ini.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(History(form)[0], L"kept");
    EXPECT_EQ(folder.Read("HIST", "0"), "<none>");
    EXPECT_TRUE(errors.messages.empty());
}

TEST_F(BandForm, ARefusedWriteIsShownByTheLibraryAndNeverReachesTheShell)
{
    HostedBand band;
    // The settings file is a folder: the write guard passes, the system refuses the write.
    ASSERT_TRUE(DeleteFileA(folder.ini.c_str()));
    ASSERT_TRUE(CreateDirectoryA(folder.ini.c_str(), nullptr));
    Search(band, L"abc");
    ASSERT_EQ(errors.messages.size(), 1u);
    EXPECT_NE(errors.messages[0].find(A(L"に書き込めません")), std::string::npos);
    EXPECT_EQ(querybox::Item(band.Form()->ComboBox1, 0), L"abc");
    RemoveDirectoryA(folder.ini.c_str());
}

TEST_F(BandForm, HotKeyFollowsLoadReloadAndHide)
{
    folder.Write("HOTKEY", "CHAR", "321");  // the low 8 bits: 'A'
    HostedBand band;
    TquormelForm* form = band.Form();
    EXPECT_FALSE(HotKeyFree(MOD_CONTROL | MOD_SHIFT, 'A'));
    EXPECT_TRUE(HotKeyFree(MOD_CONTROL, 'A'));
    {
        // A second band of the process fails silently on the same combination.
        HostedBand second;
        EXPECT_FALSE(HotKeyFree(MOD_CONTROL | MOD_SHIFT, 'A'));
    }

    // The settings program's notification: new engine and hotkey, history and mode unchanged.
    folder.Write("SEARCH0", "URL", "C:\\elsewhere\\q=");
    folder.Write("HOTKEY", "CHAR", "0x42");
    folder.Write("HOTKEY", "SHIFT", "0");
    folder.Write("HIST", "0", "not reread");
    SetFocus(band.siteWindow);
    SendMessageA(form->Handle(), WM_SETFOCUS, 0, 0);
    EXPECT_EQ(form->Engines().FSearchUrls.Get(0), "C:\\elsewhere\\q=");
    EXPECT_TRUE(HotKeyFree(MOD_CONTROL | MOD_SHIFT, 'A'));
    EXPECT_FALSE(HotKeyFree(MOD_CONTROL, 'B'));
    EXPECT_TRUE(History(form).empty());
    EXPECT_TRUE(IsChild(form->ComboBox1->Handle(), GetFocus()));

    // The hotkey's message puts the focus into the box.
    SetFocus(band.siteWindow);
    SendMessageA(form->Handle(), WM_HOTKEY, HotKeyAtom, MAKELPARAM(MOD_CONTROL, 'B'));
    EXPECT_TRUE(IsChild(form->ComboBox1->Handle(), GetFocus()));

    // Hidden, the band holds no hotkey, and shown again none until the next reload.
    band.deskBand->ShowDW(FALSE);
    EXPECT_TRUE(HotKeyFree(MOD_CONTROL, 'B'));
    band.deskBand->ShowDW(TRUE);
    EXPECT_TRUE(HotKeyFree(MOD_CONTROL, 'B'));
    folder.Write("HOTKEY", "CHAR", "97");  // a lower-case letter is no hotkey
    SendMessageA(form->Handle(), WM_SETFOCUS, 0, 0);
    EXPECT_TRUE(HotKeyFree(MOD_CONTROL, 'a' - 32));
    EXPECT_TRUE(HotKeyFree(MOD_CONTROL, 'a'));
    EXPECT_TRUE(errors.messages.empty());
}

TEST_F(BandForm, AnswersOneFixedSizeInTheNormalViewModeOnly)
{
    HostedBand band;
    TquormelForm* form = band.Form();
    DESKBANDINFO info{};
    info.dwMask = DBIM_MINSIZE | DBIM_MAXSIZE | DBIM_ACTUAL;
    form->Hide();
    ASSERT_EQ(band.deskBand->GetBandInfo(1, DBIF_VIEWMODE_NORMAL, &info), S_OK);
    EXPECT_TRUE(form->Visible());  // the minimum-size answer shows the form
    for (const POINTL& p : {info.ptMinSize, info.ptMaxSize, info.ptActual}) {
        EXPECT_EQ(p.x, 260);
        EXPECT_EQ(p.y, 21);
    }
    DESKBANDINFO untouched{};
    untouched.dwMask = DBIM_MINSIZE;
    untouched.ptMinSize = POINTL{-5, -5};
    EXPECT_EQ(band.deskBand->GetBandInfo(1, DBIF_VIEWMODE_VERTICAL, &untouched), E_FAIL);
    EXPECT_EQ(untouched.ptMinSize.x, -5);
    // Whatever the shell asks, the form keeps the panel's size.
    EXPECT_EQ(form->Width(), 260);
    EXPECT_EQ(form->Height(), 21);
    SetWindowPos(form->Handle(), nullptr, 0, 0, 400, 40, SWP_NOZORDER | SWP_NOMOVE);
    form->SetBounds(0, 0, 500, 50);
    EXPECT_EQ(form->Width(), 260);
    EXPECT_EQ(form->Height(), 21);
    const LONG style = GetWindowLongA(form->Handle(), GWL_STYLE);
    EXPECT_EQ(style & (WS_CHILD | WS_CLIPSIBLINGS | WS_BORDER), WS_CHILD | WS_CLIPSIBLINGS | WS_BORDER);
}

TEST_F(BandForm, TrackHoverFollowsTheCursorsXInThePanel)
{
    HostedBand band;
    TquormelForm* form = band.Form();
    std::vector<std::unique_ptr<MessageLog>> logs;
    TControl* const controls[] = {form->SpeedButtonSearch1, form->SpeedButtonCache1, form->SpeedButtonDic1,
                                  form->SpeedButtonFile1, form->SpeedButtonExec1};
    for (TControl* c : controls) logs.push_back(std::make_unique<MessageLog>(c));
    // What each of the five received on one tick: 'E' enter, 'L' leave.
    auto tick = [&](int x, int y) {
        const POINT screen = form->PanelMain->ClientToScreen(POINT{x, y});
        SetCursorPos(screen.x, screen.y);
        for (auto& log : logs) log->messages.clear();
        form->TrackHover();
        std::string seen;
        for (auto& log : logs) {
            std::string one;
            for (UINT m : log->messages) one += m == CM_MOUSEENTER ? 'E' : m == CM_MOUSELEAVE ? 'L' : '?';
            seen += one.empty() ? "-" : one;
            seen += ' ';
        }
        return seen;
    };
    EXPECT_EQ(tick(32, 5), "E L L L L ");
    EXPECT_EQ(tick(33, 5), "L E L L L ");
    EXPECT_EQ(tick(125, 20), "L L L E L ");
    EXPECT_EQ(tick(150, 5), "L L L L L ");
    EXPECT_EQ(tick(240, 5), "L L L L E ");
    EXPECT_EQ(tick(150, 22), "L L L L L ");
    EXPECT_EQ(tick(-1, 5), "L L L L L ");
}
