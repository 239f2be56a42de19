// The search band's form made inside the test program on a window standing in for the band site:
// the history rules of a search and its saves, a refused save shown by the library, the drop
// target's answers called directly, and the hover tracking. The engine URLs point into a folder
// that does not exist, so the shell's open fails quietly; the URLs are checked end to end.
#include <windows.h>
#include <gtest/gtest.h>

#include "ControlsTestSupport.h"
#include "QuormelForm.h"
#include "SysUtils.h"
#include "TestEnv.h"
#include "TestUserInput.h"

namespace {

class BandForm : public testing::Test {
protected:
    void SetUp() override
    {
        OleInitialize(nullptr);
        dir = testenv::MakeScratchDir("bandform");
        ini = dir + "\\kervodll.ini";
        CachedLibraryPath = dir + "\\kervodll.dll";
        Write("SEARCH0", "URL", "C:\\kervo-no-such-folder\\q=");
        Write("SEARCH0", "TITLE", "nowhere");
        Write("HIST", "0", "abc");
        Write("HIST", "1", "x");
        Write("HIST", "5", "old");
        site = CreateWindowExA(0, "STATIC", "", WS_POPUP | WS_VISIBLE, 20, 20, 300, 24, nullptr, nullptr, nullptr, nullptr);
        form = TzBandForm::CreateForBand<TquormelForm>(site, nullptr);
        form->Show();
        box = form->ComboBox1;
    }
    void TearDown() override
    {
        form->Free();
        DestroyWindow(site);
        CachedLibraryPath.clear();
        testenv::RemoveTree(dir);
    }
    void Write(const char* section, const char* key, const std::string& value)
    {
        WritePrivateProfileStringA(section, key, value.c_str(), ini.c_str());
    }
    std::string Read(const char* section, const char* key)
    {
        char buf[256] = {};
        GetPrivateProfileStringA(section, key, "-", buf, sizeof buf, ini.c_str());
        return buf;
    }
    void Search(const std::wstring& text)
    {
        box->SetText(text);
        form->ActionBrowse1->Execute();
    }

    ctltest::ExceptionRecorder errors;
    std::string dir, ini;
    HWND site = nullptr;
    TquormelForm* form = nullptr;
    TFlatComboBox* box = nullptr;
};

}  // namespace

TEST_F(BandForm, HistoryReplacesCaseInsensitivelyAndSavesTheTenMostRecent)
{
    Search(L"ABC");
    EXPECT_EQ(box->Items()->JoinedText(), L"ABC\r\nx\r\nold\r\n");
    EXPECT_EQ(box->Text(), L"ABC");
    // Keys beyond the count keep what the file held.
    EXPECT_EQ(Read("HIST", "0") + Read("HIST", "1") + Read("HIST", "2") + Read("HIST", "3") + Read("HIST", "5"),
              "ABCxold-old");
    EXPECT_EQ(Read("BUTTON", "SELECTED"), "1");

    Search(L"");
    Search(L"\x14");
    EXPECT_EQ(box->Items()->ItemCount(), 3);
    for (int i = 0; i < 11; ++i) Search(L"q" + std::to_wstring(i));
    EXPECT_EQ(box->Items()->ItemCount(), 14);
    for (int n = 0; n < 10; ++n) EXPECT_EQ(WideFromAnsi(Read("HIST", std::to_string(n).c_str())), L"q" + std::to_wstring(10 - n));

    form->SpeedButtonDic1->Click();
    EXPECT_EQ(Read("BUTTON", "SELECTED"), "3");
    EXPECT_FALSE(form->SpeedButtonSearch1->Down());
    EXPECT_TRUE(errors.messages.empty());
}

TEST_F(BandForm, ARefusedSaveIsShownByTheLibraryAndNeverLeavesTheWindowProcedure)
{
    // The settings file is a folder: the write guard passes, the system refuses the write.
    ASSERT_TRUE(DeleteFileA(ini.c_str()) && CreateDirectoryA(ini.c_str(), nullptr));
    box->SetText(L"abc");
    SetFocus(box->EditHandle());
    bandtest::PressEnter(box->EditHandle(), 0, [] { testenv::PumpPending(); });
    ASSERT_EQ(errors.messages.size(), 1u);
    EXPECT_NE(errors.messages[0].find(AnsiFromWide(L"に書き込めません")), std::string::npos);
    EXPECT_EQ(box->Items()->ItemAt(0), L"abc");
}

TEST_F(BandForm, ADropAfterAnEnterThatFoundNoTextFetchesNothingAndEmptyBlocksAreIgnored)
{
    IDropTarget* target = form;
    bandtest::TestDataObject text, files, empty;
    text.OfferText(CF_TEXT, "text");
    files.Offer(CF_HDROP, std::string(16, '\0'));
    empty.Offer(CF_TEXT, "");
    box->SetText(L"kept");
    DWORD effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
    target->DragEnter(&files, 0, POINTL{}, &effect);
    target->DragOver(0, POINTL{}, &(effect = DROPEFFECT_MOVE));
    EXPECT_EQ(effect, DWORD{DROPEFFECT_NONE});
    target->Drop(&text, 0, POINTL{}, &(effect = DROPEFFECT_MOVE));
    EXPECT_EQ(effect, DWORD{DROPEFFECT_NONE});
    EXPECT_EQ(text.fetches, 0);
    target->DragEnter(&empty, 0, POINTL{}, &effect);
    target->Drop(&empty, 0, POINTL{}, &(effect = DROPEFFECT_MOVE));
    EXPECT_EQ(effect, DWORD{DROPEFFECT_COPY});
    EXPECT_EQ(empty.fetches, 1);
    EXPECT_EQ(box->Text(), L"kept");
}

TEST_F(BandForm, TrackHoverLightsTheControlUnderTheCursorsX)
{
    TFlatSpeedButton* const buttons[] = {form->SpeedButtonSearch1, form->SpeedButtonCache1, form->SpeedButtonDic1,
                                         form->SpeedButtonFile1, form->SpeedButtonExec1};
    // Which of the five buttons is hot, or 5 for the box, after a tick with the cursor there.
    auto hot = [&](int x, int y) {
        const POINT p = form->PanelMain->ClientToScreen(POINT{x, y});
        SetCursorPos(p.x, p.y);
        form->TrackHover();
        std::string lit;
        for (int i = 0; i < 5; ++i)
            if (buttons[i]->Hot()) lit += static_cast<char>('0' + i);
        if (box->Hovered()) lit += '5';
        return lit;
    };
    EXPECT_EQ(hot(32, 5), "0");
    EXPECT_EQ(hot(33, 5), "1");
    EXPECT_EQ(hot(125, 21), "3");
    EXPECT_EQ(hot(150, 5), "5");
    EXPECT_EQ(hot(240, 5), "4");
    EXPECT_EQ(hot(150, 22), "");
    EXPECT_EQ(hot(-1, 5), "");
}
