// The settings program and a running band together: the search band library (kervodll.dll) hosted
// in this process by the shell's stand-in, the settings dialog beside it as the user sees both.
// OK in the dialog with a new engine URL makes the band's very next search go there, with no
// restart of the band; the browser is the tests' URL sink.
#include <windows.h>
#include <gtest/gtest.h>

#include <string>

#include "BandSettings.h"
#include "DialogDriving.h"
#include "E2eSupport.h"
#include "Registry.h"
#include "TestEnv.h"
#include "dlgunit.h"

namespace {

using namespace settingstest;

class SettingsWithRunningBand : public e2e::HostedBand {
protected:
    void SetUp() override
    {
        dir_ = testenv::MakeScratchDir("palvenor-band");
        TRegistry r;
        r.SetRootKey(HKEY_CLASSES_ROOT);
        ASSERT_TRUE(r.OpenKey(kServerKey, true));
        r.WriteString("", dir_ + "\\kervodll.dll");
        ASSERT_TRUE(Host(L"kervodll.dll", BandClassId));
        Application->SetTitle(AnsiFromWide(kPalvenorTitle));
        AddEngine = Make<TAddEngine>(nullptr);
    }
    void TearDown() override
    {
        e2e::HostedBand::TearDown();
        if (dlg) dlg->Free();
        AddEngine->Free();
        AddEngine = nullptr;
        TRegistry r;
        r.SetRootKey(HKEY_CLASSES_ROOT);
        r.DeleteKey(std::string("CLSID\\") + BandClassIdText);
        testenv::RemoveTree(dir_);
    }
    // Types the query into the band's input box and presses Enter, the keys going through the
    // band as the shell passes them.
    void Search(const std::wstring& query)
    {
        HWND edit = nullptr;
        EnumChildWindows(host.BandWindow(), &FindEdit, reinterpret_cast<LPARAM>(&edit));
        ASSERT_TRUE(edit) << "no input box";
        SetWindowTextW(edit, query.c_str());
        SetFocus(edit);
        PostMessageA(edit, WM_KEYDOWN, VK_RETURN, 1);
        PostMessageA(edit, WM_KEYUP, VK_RETURN, 0xC0000001);
        host.PumpPending();
    }
    static BOOL CALLBACK FindEdit(HWND window, LPARAM found)
    {
        char name[16] = {};
        GetClassNameA(window, name, sizeof name);
        if (lstrcmpiA(name, "Edit") != 0) return TRUE;
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }

    const std::string kServerKey = std::string("CLSID\\") + BandClassIdText + "\\InProcServer32";
    std::string dir_;
    TkervoOKDlg* dlg = nullptr;
};

TEST_F(SettingsWithRunningBand, OkWithANewEngineUrlMakesTheBandsNextSearchGoThere)
{
    e2e::UrlSink sink;
    ASSERT_TRUE(sink.Installed());
    dlg = Make<TkervoOKDlg>(nullptr);
    dlg->Show();
    WhileModal edit([] {
        SetTextOf(AddEngine->EditU1, L"http://kervo.example/find?q=");
        AddEngine->OKBtn->Click();
    });
    dlg->SpeedButtonSearch1Click(nullptr);
    dlg->OKBtnClick(nullptr);
    EXPECT_FALSE(dlg->Visible());

    Search(L"palvenor");
    ASSERT_TRUE(sink.WaitFor(1));
    EXPECT_EQ(sink.Received()[0], "http://kervo.example/find?q=palvenor");
}

}  // namespace
