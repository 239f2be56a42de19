// The settings dialog and the engine editor in this process, read from their own form resources:
// what they show for a settings file, what OK writes, what the engine editor's OK, Cancel, Escape
// and close box do, and what a refused save leaves behind. Modal loops are driven by a thread
// timer of the test and close themselves on a deadline should a test go wrong.
#include <windows.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "../classlib/ControlsTestSupport.h"
#include "BandRegistration.h"
#include "DialogDriving.h"
#include "IniFiles.h"
#include "SettingsProgram.h"
#include "TestEnv.h"
#include "WideForms.h"
#include "adden.h"
#include "dlgunit.h"

namespace {

using namespace settingstest;

std::wstring W(const std::string& ansi) { return WideFromAnsi(ansi); }

// A band form stand-in: a child window of class "TquormelForm" that counts its WM_SETFOCUS (its
// own procedure, whoever registered the class).
class BandWindow {
public:
    BandWindow()
    {
        WNDCLASSA wc{};
        if (!GetClassInfoA(GetModuleHandleA(nullptr), "TquormelForm", &wc)) {
            wc = WNDCLASSA{};
            wc.lpfnWndProc = DefWindowProcA;
            wc.hInstance = GetModuleHandleA(nullptr);
            wc.lpszClassName = "TquormelForm";
            RegisterClassA(&wc);
        }
        shell_ = CreateWindowExA(0, "STATIC", "", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
        band_ = CreateWindowExA(0, "TquormelForm", "", WS_CHILD, 0, 0, 5, 5, shell_, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
        SetWindowLongPtrA(band_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Proc));
        Count() = 0;
    }
    ~BandWindow() { DestroyWindow(shell_); }
    static int& Count()
    {
        static int count = 0;
        return count;
    }

private:
    static LRESULT CALLBACK Proc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam)
    {
        if (msg == WM_SETFOCUS) ++Count();
        return DefWindowProcA(window, msg, wParam, lParam);
    }
    HWND shell_, band_;
};

class DialogTest : public settingstest::BandRegistration {
protected:
    void SetUp() override
    {
        BandRegistration::SetUp();
        Application->SetTitle(AnsiFromWide(kPalvenorTitle));
        dir_ = testenv::MakeScratchDir("palvenor-dlg");
        ini_ = dir_ + "\\kervodll.ini";
        Register(dir_ + "\\kervodll.dll");
        AddEngine = Make<TAddEngine>(nullptr);
    }
    void TearDown() override
    {
        if (dlg_) dlg_->Free();
        AddEngine->Free();
        AddEngine = nullptr;
        testenv::RemoveTree(dir_);
        BandRegistration::TearDown();
    }
    TkervoOKDlg* Open()
    {
        if (dlg_) dlg_->Free();
        dlg_ = Make<TkervoOKDlg>(nullptr);
        dlg_->Show();
        ctltest::Pump();
        return dlg_;
    }
    void WriteIni(const std::wstring& text) { ASSERT_TRUE(testenv::WriteFileBytes(ini_, AnsiFromWide(text))); }
    std::string Read(const char* section, const char* key) const
    {
        return TIniFile(ini_).ReadString(section, key, "<none>");
    }
    // The engine editor of a mode: the action runs while it is shown.
    void EditEngines(void (TkervoOKDlg::*handler)(TObject*), std::function<void()> action)
    {
        ctltest::Deadline deadline(AddEngine->Handle());
        WhileModal run(std::move(action));
        (dlg_->*handler)(nullptr);
    }

    std::string dir_, ini_;
    TkervoOKDlg* dlg_ = nullptr;
};

TEST_F(DialogTest, FormsCarryTheirComponentsPlacesAndTabOrder)
{
    Open();
    EXPECT_EQ(dlg_->Caption(), AnsiFromWide(kPalvenorTitle));
    EXPECT_EQ(dlg_->ClientWidth(), 352);
    EXPECT_EQ(dlg_->ClientHeight(), 232);
    EXPECT_EQ(AddEngine->Caption(), AnsiFromWide(L"詳細設定"));
    EXPECT_EQ(AddEngine->ClientWidth(), 313);
    EXPECT_EQ(AddEngine->ClientHeight(), 274);
    struct Place { TComponent* form; const char* name; int left, top, width, height, tab; };
    const Place places[] = {
        {dlg_, "GroupBox1", 4, 8, 237, 217, 0},        {dlg_, "GroupBox2", 248, 8, 97, 81, 1},
        {dlg_, "OKBtn", 272, 168, 75, 25, 2},          {dlg_, "CancelBtn", 272, 200, 75, 25, 3},
        {dlg_, "EditSearch1", 8, 40, 49, 20, 0},       {dlg_, "ComboBoxSearch1", 56, 40, 153, 20, 1},
        {dlg_, "EditFile1", 8, 184, 49, 20, 6},        {dlg_, "ComboBoxFile1", 56, 184, 153, 20, 7},
        {dlg_, "SpeedButtonDic1", 208, 136, 20, 20, -1}, {dlg_, "ComboBoxShift1", 8, 16, 81, 20, 0},
        {dlg_, "ComboBoxChar1", 8, 48, 81, 20, 1},     {AddEngine, "Bevel1", 8, 8, 297, 225, -1},
        {AddEngine, "GroupBox3", 16, 160, 281, 65, 4}, {AddEngine, "EditU3", 56, 37, 217, 20, 1},
        {AddEngine, "OKBtn", 79, 244, 75, 25, 0},      {AddEngine, "CancelBtn", 159, 244, 75, 25, 1},
    };
    for (const Place& p : places) {
        auto* control = static_cast<TControl*>(p.form->FindComponent(p.name));
        ASSERT_TRUE(control) << p.name;
        EXPECT_EQ(control->Left(), p.left) << p.name;
        EXPECT_EQ(control->Top(), p.top) << p.name;
        EXPECT_EQ(control->Width(), p.width) << p.name;
        if (p.tab >= 0) {
            EXPECT_EQ(static_cast<TWinControl*>(control)->TabOrder(), p.tab) << p.name;
        }
    }
    EXPECT_EQ(dlg_->SpeedButtonFile1->Caption(), "...");
    EXPECT_EQ(dlg_->SpeedButtonFile1->Hint(), AnsiFromWide(L"タイトルとURLの編集"));
    EXPECT_EQ(dlg_->GroupBox2->Caption(), AnsiFromWide(L"呼出キー"));
    EXPECT_EQ(dlg_->Label5->Caption(), AnsiFromWide(L"ファイル"));
    EXPECT_TRUE(dlg_->OKBtn->Default());
    EXPECT_TRUE(dlg_->CancelBtn->Cancel());
    EXPECT_EQ(dlg_->ComboBoxChar1->Items()->Count(), 27);
    EXPECT_EQ(dlg_->ComboBoxChar1->Items()->Strings(26), L"Z");
    EXPECT_EQ(AddEngine->Label6->Caption(), "URL");
}

TEST_F(DialogTest, ARunBesideAnOpenDialogEndsAndLeavesTheUnicodeLayerStartedOnce)
{
    // Started once by the layer itself before the program; the program's run adds no start, or
    // the layer's shut-down (the hook's removal) would never come.
    ASSERT_EQ(WideFormsStartCount(), 1);
    Open();
    EXPECT_EQ(RunSettingsProgram(), 0);
    EXPECT_EQ(WideFormsStartCount(), 1);
    EXPECT_EQ(FindWindowA("TkervoOKDlg", nullptr), dlg_->Handle()) << "no second dialog";
}

TEST_F(DialogTest, WithoutAFileShowsDefaultCaptionsBuiltInEnginesAndNoHotkey)
{
    Open();
    EXPECT_EQ(TextOf(dlg_->EditSearch1), L"検索");
    EXPECT_EQ(TextOf(dlg_->EditCache1), L"ｷｬｯｼｭ");
    EXPECT_EQ(TextOf(dlg_->EditDic1), L"辞書");
    EXPECT_EQ(TextOf(dlg_->EditFile1), L"ﾌｧｲﾙ");
    EXPECT_EQ(ItemsOf(dlg_->ComboBoxSearch1), (std::vector<std::wstring>{L"Google 日本語", L"Google ウェブ全体"}));
    EXPECT_EQ(ItemsOf(dlg_->ComboBoxCache1), (std::vector<std::wstring>{L"Internet Archive", L"Google キャッシュ"}));
    EXPECT_EQ(ItemsOf(dlg_->ComboBoxDic1), (std::vector<std::wstring>{L"Yahoo! 辞書"}));
    EXPECT_EQ(ItemsOf(dlg_->ComboBoxFile1), (std::vector<std::wstring>{L"AlltheWeb", L"File Avenue"}));
    for (TSearchMode mode : {TSearchMode::SEARCH, TSearchMode::CACHE, TSearchMode::DIC, TSearchMode::FILE})
        EXPECT_EQ(dlg_->EngineField(mode)->ItemIndex(), 0);
    EXPECT_EQ(TextOf(dlg_->ComboBoxShift1), L"Shift+Ctrl+");
    EXPECT_EQ(TextOf(dlg_->ComboBoxChar1), L"なし");
}

TEST_F(DialogTest, CustomEnginesShownAndTheChosenOneWrittenFirst)
{
    WriteIni(L"[SEARCH]\r\nCAPTION=ウェブ\r\n"
             L"[SEARCH0]\r\nTITLE=Abc\r\nURL=http://a/\r\n[SEARCH1]\r\nTITLE=aBC\r\nURL=http://b/\r\n"
             L"[SEARCH2]\r\nTITLE=Def\r\nURL=http://d/\r\n"
             L"[CACHE0]\r\nTITLE=x\r\nURL=http://x/\r\n[CACHE1]\r\nTITLE=y\r\nURL=http://y/\r\n"
             L"[CACHE2]\r\nTITLE=z\r\nURL=http://z/\r\n[HIST]\r\n0=kept\r\n");
    BandWindow band;
    Open();
    EXPECT_EQ(TextOf(dlg_->EditSearch1), L"ウェブ");
    // The repeated title is ignored and the next engines move up; the built-ins come behind.
    EXPECT_EQ(ItemsOf(dlg_->ComboBoxSearch1), (std::vector<std::wstring>{L"Abc", L"Def", L"Google 日本語"}));
    EXPECT_EQ(ItemsOf(dlg_->ComboBoxCache1), (std::vector<std::wstring>{L"x", L"y", L"z"}));
    EXPECT_EQ(dlg_->EngineLists().FCacheTitles.Count(), 5);

    dlg_->ComboBoxCache1->SetItemIndex(2);
    SendMessageA(dlg_->OKBtn->Handle(), BM_CLICK, 0, 0);
    ctltest::Pump();
    EXPECT_FALSE(dlg_->Visible());
    EXPECT_EQ(BandWindow::Count(), 1);
    EXPECT_EQ(Read("CACHE0", "TITLE"), "z");
    EXPECT_EQ(Read("CACHE1", "TITLE"), "x");
    EXPECT_EQ(Read("CACHE2", "TITLE"), "y");
    EXPECT_EQ(Read("CACHE2", "URL"), "http://y/");
    EXPECT_EQ(Read("SEARCH1", "TITLE"), "Def");
    EXPECT_EQ(Read("SEARCH2", "TITLE"), AnsiFromWide(L"Google 日本語"));
    EXPECT_EQ(Read("SEARCH", "CAPTION"), AnsiFromWide(L"ウェブ"));
    EXPECT_EQ(Read("HIST", "0"), "kept");
    EXPECT_EQ(Read("HOTKEY", "SHIFT"), "1");
    EXPECT_EQ(Read("HOTKEY", "CHAR"), "64");
}

// Four custom captions and three engines in every mode: the fields show them as stored; OK
// writes the captions back and each mode's engines in the order its drop-down then shows, the
// chosen one first and the others as they stood.
TEST_F(DialogTest, CaptionsAndEnginesShownAsStoredAndOkWritesEachModesEnginesInTheOrderShown)
{
    const char* const sections[] = {"SEARCH", "CACHE", "DIC", "FILE"};
    const std::wstring captions[] = {L"ウェブ", L"魚拓", L"英和", L"ＦＴＰ"};
    std::wstring file;
    for (int m = 0; m < kModeCount; ++m) {
        file += L"[" + W(sections[m]) + L"]\r\nCAPTION=" + captions[m] + L"\r\n";
        for (int slot = 0; slot < 3; ++slot) {
            const std::wstring s = std::to_wstring(slot);
            file += L"[" + W(sections[m]) + s + L"]\r\nTITLE=" + W(sections[m]) + L"題" + s +
                    L"\r\nURL=http://" + s + L"." + W(sections[m]) + L"/?q=\r\n";
        }
    }
    WriteIni(file);
    Open();
    // The item chosen in each mode, and the slots that OK then writes.
    const int chosen[] = {2, 1, 0, 2};
    const int written[][3] = {{2, 0, 1}, {1, 0, 2}, {0, 1, 2}, {2, 0, 1}};
    for (int m = 0; m < kModeCount; ++m) {
        const auto mode = static_cast<TSearchMode>(m);
        EXPECT_EQ(TextOf(dlg_->CaptionField(mode)), captions[m]) << sections[m];
        const std::wstring title = W(sections[m]) + L"題";
        EXPECT_EQ(ItemsOf(dlg_->EngineField(mode)), (std::vector<std::wstring>{title + L"0", title + L"1", title + L"2"}))
            << sections[m];
        dlg_->EngineField(mode)->SetItemIndex(chosen[m]);
    }
    SendMessageA(dlg_->OKBtn->Handle(), BM_CLICK, 0, 0);
    ctltest::Pump();
    EXPECT_FALSE(dlg_->Visible());
    for (int m = 0; m < kModeCount; ++m) {
        EXPECT_EQ(W(Read(sections[m], "CAPTION")), captions[m]) << sections[m];
        for (int slot = 0; slot < 3; ++slot) {
            const std::string section = sections[m] + std::to_string(slot);
            const std::wstring was = std::to_wstring(written[m][slot]);
            EXPECT_EQ(W(Read(section.c_str(), "TITLE")), W(sections[m]) + L"題" + was) << section;
            EXPECT_EQ(W(Read(section.c_str(), "URL")), L"http://" + was + L"." + W(sections[m]) + L"/?q=") << section;
        }
    }
}

TEST_F(DialogTest, HotkeyTheBandHonoursSurvivesAndOneItIgnoresBecomesNone)
{
    struct Case {
        const wchar_t* stored;
        const wchar_t *shiftShown, *charShown;
        int chosen;  // the letter item chosen before OK, -1 for none
        const char *shiftWritten, *charWritten;
    };
    const Case cases[] = {
        {L"SHIFT=0\r\nCHAR=321", L"Ctrl+", L"A", -1, "0", "65"},  // the band uses the low 8 bits
        {L"SHIFT=2\r\nCHAR=91", L"Shift+Ctrl+", L"なし", -1, "1", "64"},
        {L"CHAR=0x5A", L"Shift+Ctrl+", L"Z", 17, "1", "81"},
    };
    for (const Case& c : cases) {
        WriteIni(std::wstring(L"[HOTKEY]\r\n") + c.stored + L"\r\n");
        Open();
        EXPECT_EQ(TextOf(dlg_->ComboBoxShift1), c.shiftShown) << AnsiFromWide(c.stored);
        EXPECT_EQ(TextOf(dlg_->ComboBoxChar1), c.charShown) << AnsiFromWide(c.stored);
        if (c.chosen >= 0) dlg_->ComboBoxChar1->SetItemIndex(c.chosen);
        dlg_->OKBtnClick(nullptr);
        EXPECT_EQ(Read("HOTKEY", "SHIFT"), c.shiftWritten);
        EXPECT_EQ(Read("HOTKEY", "CHAR"), c.charWritten);
    }
}

TEST_F(DialogTest, EngineEditorOkRebuildsTheModeAndCancelEscCloseChangeNothing)
{
    WriteIni(L"[DIC0]\r\nTITLE=mine\r\nURL=http://mine/\r\n");
    Open();
    dlg_->ComboBoxCache1->SetItemIndex(1);
    std::vector<std::wstring> shown;
    EditEngines(&TkervoOKDlg::SpeedButtonDic1Click, [&] {
        shown = {W(AddEngine->GroupBox1->Caption()), W(AddEngine->GroupBox3->Caption()), TextOf(AddEngine->EditT1),
                 TextOf(AddEngine->EditU1), TextOf(AddEngine->EditT2), TextOf(AddEngine->EditT3)};
        SetTextOf(AddEngine->EditT1, L"");  // the built-in comes back behind the user's pairs
        SetTextOf(AddEngine->EditT2, L"yahoo! 辞書");
        SetTextOf(AddEngine->EditU2, L"http://new/");
        SetTextOf(AddEngine->EditT3, L"Half");
        AddEngine->OKBtn->Click();
    });
    EXPECT_EQ(shown, (std::vector<std::wstring>{L"辞書1", L"辞書3", L"mine", L"http://mine/", L"Yahoo! 辞書", L""}));
    EXPECT_EQ(ItemsOf(dlg_->ComboBoxDic1), (std::vector<std::wstring>{L"yahoo! 辞書"}));
    EXPECT_EQ(dlg_->EngineLists().FDicUrls.Strings(0), "http://new/");
    EXPECT_EQ(dlg_->ComboBoxCache1->ItemIndex(), 0);  // every drop-down back to its first item

    // Cancel, Escape and the close box: lists and selections stay.
    dlg_->ComboBoxSearch1->SetItemIndex(1);
    const std::vector<std::wstring> before = ItemsOf(dlg_->ComboBoxSearch1);
    const std::vector<std::function<void()>> cancels = {
        [] { AddEngine->CancelBtn->Click(); },
        [] { PostMessageA(AddEngine->EditT1->EditHandle(), WM_KEYDOWN, VK_ESCAPE, 1); },
        [] { PostMessageA(AddEngine->Handle(), WM_CLOSE, 0, 0); },
    };
    for (const auto& cancel : cancels) {
        EditEngines(&TkervoOKDlg::SpeedButtonSearch1Click, [&] {
            SetTextOf(AddEngine->EditT1, L"");
            SetTextOf(AddEngine->EditT2, L"");
            cancel();
        });
        EXPECT_EQ(AddEngine->ModalResult(), mrCancel);
        EXPECT_EQ(ItemsOf(dlg_->ComboBoxSearch1), before);
        EXPECT_EQ(dlg_->ComboBoxSearch1->ItemIndex(), 1);
        EXPECT_EQ(dlg_->EngineLists().FSearchTitles.Strings(0), AnsiFromWide(L"Google 日本語"));
    }
}

TEST_F(DialogTest, CancelEscapeAndCloseBoxWriteNothingAndNotifyNobody)
{
    WriteIni(L"[SEARCH]\r\nCAPTION=x\r\n");
    BandWindow band;
    const std::vector<std::function<void()>> closes = {
        [this] { SendMessageA(dlg_->CancelBtn->Handle(), BM_CLICK, 0, 0); },
        [this] { PostMessageA(dlg_->EditSearch1->EditHandle(), WM_KEYDOWN, VK_ESCAPE, 1); },
        [this] { PostMessageA(dlg_->Handle(), WM_CLOSE, 0, 0); },
    };
    for (const auto& close : closes) {
        Open();
        SetTextOf(dlg_->EditSearch1, L"changed");
        close();
        ASSERT_TRUE(PumpApplicationUntil([this] { return !dlg_->Visible(); }));
    }
    EXPECT_EQ(testenv::ReadFileBytes(ini_), "[SEARCH]\r\nCAPTION=x\r\n");
    EXPECT_EQ(BandWindow::Count(), 0);
}

// Another program held the file without sharing while the dialog loaded: what it shows are the
// defaults, which OK must not write over the user's settings. OK is refused as a refused write is:
// the box, the dialog open, no band notified.
TEST_F(DialogTest, OkAfterALoadThatCouldNotReadTheFileIsRefusedAndTheDialogStaysOpen)
{
    WriteIni(L"[SEARCH]\r\nCAPTION=ウェブ\r\n[HOTKEY]\r\nCHAR=75\r\n");
    const std::string before = testenv::ReadFileBytes(ini_);
    BandWindow band;
    HANDLE held = CreateFileA(ini_.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    Open();
    CloseHandle(held);
    EXPECT_EQ(TextOf(dlg_->EditSearch1), L"検索");
    ctltest::ExceptionRecorder recorder;
    SendMessageA(dlg_->OKBtn->Handle(), BM_CLICK, 0, 0);
    ctltest::Pump();
    ASSERT_EQ(recorder.messages.size(), 1u);
    EXPECT_EQ(recorder.messages[0], ini_ + AnsiFromWide(L" に書き込めません"));
    EXPECT_TRUE(dlg_->Visible());
    EXPECT_EQ(BandWindow::Count(), 0);
    EXPECT_EQ(testenv::ReadFileBytes(ini_), before);
}

TEST_F(DialogTest, RefusedWriteShowsTheErrorKeepsTheDialogOpenAndNotifiesNobody)
{
    BandWindow band;
    const std::string missing = dir_ + "\\missing\\kervodll.ini";
    Register(dir_ + "\\missing\\kervodll.dll");
    Open();
    dlg_->ComboBoxSearch1->SetItemIndex(1);
    ctltest::ExceptionRecorder recorder;
    SendMessageA(dlg_->OKBtn->Handle(), BM_CLICK, 0, 0);
    ASSERT_EQ(recorder.messages.size(), 1u);
    EXPECT_EQ(recorder.messages[0], missing + AnsiFromWide(L" に書き込めません"));
    EXPECT_EQ(recorder.titles[0], AnsiFromWide(kPalvenorTitle));
    EXPECT_TRUE(dlg_->Visible());
    EXPECT_EQ(BandWindow::Count(), 0);
    // The drop-down follows the new order: a second OK keeps the engine chosen the first time.
    EXPECT_EQ(TextOf(dlg_->ComboBoxSearch1), L"Google ウェブ全体");
    SendMessageA(dlg_->OKBtn->Handle(), BM_CLICK, 0, 0);
    EXPECT_EQ(dlg_->EngineLists().FSearchTitles.Strings(0), AnsiFromWide(L"Google ウェブ全体"));

    // A save that the guard skips (here: not registered) still notifies and closes.
    Unregister();
    Open();
    SendMessageA(dlg_->OKBtn->Handle(), BM_CLICK, 0, 0);
    EXPECT_FALSE(dlg_->Visible());
    EXPECT_EQ(BandWindow::Count(), 1);
}

}  // namespace
