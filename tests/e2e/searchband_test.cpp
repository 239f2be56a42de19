// The search band, kervodll.dll, registered from a folder whose name holds a blank and hosted by
// the shell's stand-in: typed queries and Enter reach the browser byte for byte, the settings
// file beside the library keeps the history and the mode, the settings program's notification
// reloads engine and hotkey, text dragged with OLE's own loop lands in the box, and registration
// writes and removes the class's entries.
#include <windows.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "BandSettings.h"
#include "E2eSupport.h"
#include "SysUtils.h"
#include "TestUserInput.h"
#include "TestEnv.h"
#include "TestRegistry.h"

namespace {

const std::string kClassKey = std::string("CLSID\\") + BandClassIdText;
const char kEngine[] = "http://search.example/find?lang=ja&q=";

std::string ReadValue(const std::string& key, const char* name = nullptr)
{
    char buf[1024] = {};
    DWORD size = sizeof buf - 1;
    if (RegGetValueA(HKEY_CLASSES_ROOT, key.c_str(), name, RRF_RT_REG_SZ, nullptr, buf, &size) != 0) return "<none>";
    return buf;
}

struct FindClass {
    const char* name;
    HWND found = nullptr;
};

BOOL CALLBACK FindChildOfClass(HWND window, LPARAM param)
{
    auto* f = reinterpret_cast<FindClass*>(param);
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    if (lstrcmpiA(name, f->name) != 0) return TRUE;
    f->found = window;
    return FALSE;
}

class SearchBand : public e2e::HostedBand {
protected:
    void SetUp() override
    {
        dir = testenv::MakeScratchDir("search band");
        ASSERT_FALSE(dir.empty());
        dll = dir + "\\kervodll.dll";
        ini = dir + "\\kervodll.ini";
        ASSERT_TRUE(CopyFileA((testenv::ProgramDir() + "kervodll.dll").c_str(), dll.c_str(), FALSE));
        Write("SEARCH0", "TITLE", "example");
        Write("SEARCH0", "URL", kEngine);
        Write("DIC0", "TITLE", "dictionary");
        Write("DIC0", "URL", "https://dict.example/?p=");
        ASSERT_TRUE(sink.Installed());
        // Registered first and loaded afresh, so that the library finds its path at start-up as
        // it does in the shell.
        ASSERT_TRUE(library.Load(WideFromAnsi(dll)));
        ASSERT_EQ(library.Register(), S_OK);
        ASSERT_TRUE(library.UnloadIfUnused());
        ASSERT_TRUE(library.Load(WideFromAnsi(dll)));
    }
    void TearDown() override
    {
        host.Close();
        if (library.Loaded()) library.Unregister();
        e2e::HostedBand::TearDown();
        testenv::RemoveTree(dir);
    }
    void Open()
    {
        ASSERT_EQ(host.Open(library, BandClassId), S_OK) << AnsiFromWide(host.Error());
        FindClass find{"Edit"};
        EnumChildWindows(host.BandWindow(), &FindChildOfClass, reinterpret_cast<LPARAM>(&find));
        edit = find.found;
        ASSERT_NE(edit, nullptr);
        box = GetParent(edit);
    }
    void Write(const char* section, const char* key, const std::string& value)
    {
        WritePrivateProfileStringA(section, key, value.c_str(), ini.c_str());
    }
    std::string Read(const char* section, const char* key)
    {
        char buf[2048] = {};
        GetPrivateProfileStringA(section, key, "<none>", buf, sizeof buf, ini.c_str());
        return buf;
    }
    // Types the text as characters into the box and presses Enter, each through the shell's loop.
    void TypeAndEnter(const std::wstring& text, BYTE modifier = 0)
    {
        SetWindowTextW(edit, L"");
        SetFocus(edit);
        for (const wchar_t c : text) PostMessageW(edit, WM_CHAR, c, 1);
        host.PumpPending();
        bandtest::PressEnter(edit, modifier, [&] { host.PumpPending(); });
    }
    std::wstring BoxText()
    {
        wchar_t buf[256] = {};
        GetWindowTextW(edit, buf, 256);
        return buf;
    }

    e2e::UrlSink sink;
    std::string dir, dll, ini;
    HWND edit = nullptr, box = nullptr;
};

}  // namespace

TEST_F(SearchBand, TypedQueriesAndEnterReachTheBrowserByteForByte)
{
    Open();
    EXPECT_EQ(host.BandInfo().ptActual.x, 260);
    EXPECT_EQ(host.BandInfo().ptActual.y, 21);
    EXPECT_EQ(host.BandInfo().ptMinSize.x, 260);
    EXPECT_EQ(host.BandInfo().ptMaxSize.y, 21);

    TypeAndEnter(L"a b&c", VK_SHIFT);
    TypeAndEnter(L"abc ", VK_CONTROL);
    TypeAndEnter(L"");  // nothing
    ASSERT_TRUE(sink.WaitFor(2));
    const std::string engine = kEngine;
    EXPECT_EQ(sink.Received(), (std::vector<std::string>{engine + "a+b%26c", engine + "abc+"}));

    // The history and the mode in the file beside the library, most recent first (the profile
    // functions drop the trailing blank).
    EXPECT_EQ(Read("HIST", "0"), "abc");
    EXPECT_EQ(Read("HIST", "1"), "a b&c");
    EXPECT_EQ(Read("HIST", "2"), "<none>");
    EXPECT_EQ(Read("BUTTON", "SELECTED"), "1");
    EXPECT_EQ(SendMessageW(box, CB_GETCOUNT, 0, 0), 2);
}

TEST_F(SearchBand, TypedJapaneseIsEscapedInShiftJis)
{
    // A character above 255 typed into a Unicode window reaches it whole only through the Unicode
    // layer's message hook: the band dispatches the keys the shell hands it in their ANSI form.
#if !__has_include("../../unicodeui/WideForms.h")
    GTEST_SKIP() << "the Unicode layer's message hook is not in this tree";
#endif
    Open();
    ASSERT_TRUE(IsWindowUnicode(box));
    TypeAndEnter(L"日本");
    ASSERT_TRUE(sink.WaitFor(1));
    EXPECT_EQ(sink.Received(), (std::vector<std::string>{std::string(kEngine) + "%93%FA%96%7B"}));
    EXPECT_EQ(Read("HIST", "0"), AnsiFromWide(L"日本"));
}

TEST_F(SearchBand, TheSettingsProgramsNotificationReloadsEngineAndHotKey)
{
    Write("HOTKEY", "CHAR", "75");  // Ctrl+Shift+K
    Open();
    EXPECT_FALSE(bandtest::HotKeyFree(MOD_CONTROL | MOD_SHIFT, 'K'));

    Write("SEARCH0", "URL", "http://other.example/?q=");
    Write("HOTKEY", "CHAR", "74");
    Write("HOTKEY", "SHIFT", "0");
    SendMessageA(host.BandWindow(), WM_SETFOCUS, 0, 0);
    EXPECT_TRUE(bandtest::HotKeyFree(MOD_CONTROL | MOD_SHIFT, 'K'));
    EXPECT_FALSE(bandtest::HotKeyFree(MOD_CONTROL, 'J'));
    TypeAndEnter(L"x");
    ASSERT_TRUE(sink.WaitFor(1));
    EXPECT_EQ(sink.Received().back(), "http://other.example/?q=x");

    // Hidden by the shell, the band lets the combination go.
    host.DeskBand()->ShowDW(FALSE);
    EXPECT_TRUE(bandtest::HotKeyFree(MOD_CONTROL, 'J'));
}

TEST_F(SearchBand, DraggedTextLandsInTheBoxAsItsFirstLine)
{
    Open();
    RECT r;
    GetWindowRect(edit, &r);
    const POINT over{r.left + 5, r.top + 5};
    const auto url = static_cast<CLIPFORMAT>(RegisterClipboardFormatA("UniformResourceLocator"));

    bandtest::TestDataObject text;
    text.OfferText(CF_TEXT, AnsiFromWide(L"検索語\r\n二行目"));
    EXPECT_EQ(bandtest::DragOnto(over, &text), DWORD{DROPEFFECT_COPY});
    EXPECT_EQ(BoxText(), L"検索語");

    bandtest::TestDataObject link;
    link.OfferText(url, "http://example.com/page");
    link.OfferText(CF_TEXT, "http://example.com/page");
    EXPECT_EQ(bandtest::DragOnto(over, &link), DWORD{DROPEFFECT_LINK});
    EXPECT_EQ(BoxText(), L"http://example.com/page");

    bandtest::TestDataObject files;
    files.Offer(CF_HDROP, std::string(32, '\0'));
    EXPECT_EQ(bandtest::DragOnto(over, &files), DWORD{DROPEFFECT_NONE});
    EXPECT_EQ(BoxText(), L"http://example.com/page");

    bandtest::TestDataObject unterminated;
    unterminated.Offer(CF_TEXT, "12345");
    EXPECT_EQ(bandtest::DragOnto(over, &unterminated), DWORD{DROPEFFECT_COPY});
    EXPECT_EQ(BoxText(), L"12345");

    // No search and no history from a drop.
    EXPECT_TRUE(sink.Received().empty());
    EXPECT_EQ(Read("HIST", "0"), "<none>");
}

TEST_F(SearchBand, TheBandsMenuIsNotShownOverTheEditPartOfTheBox)
{
    Open();
    RECT r;
    GetWindowRect(box, &r);
    HWND band = host.BandWindow();
    EXPECT_FALSE(bandtest::MenuShownWhile([&] { bandtest::RightClick(band, POINT{r.left + 10, r.top + 8}); }));
    std::vector<std::wstring> items;
    EXPECT_TRUE(bandtest::MenuShownWhile([&] { bandtest::RightClick(band, POINT{r.right - 6, r.top + 8}); }, &items));
    EXPECT_EQ(items, (std::vector<std::wstring>{L"Palvenorの設定(&O)", L"作者ホームページ(&W)"}));
}

TEST_F(SearchBand, RegistrationWritesTheClassEntriesAndUnregistrationRemovesThem)
{
    // Only the band's class is served.
    using GetClassObjectProc = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    void* factory = reinterpret_cast<void*>(1);
    EXPECT_EQ(Export<GetClassObjectProc>("DllGetClassObject")(IID_IUnknown, IID_IClassFactory, &factory),
              CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(factory, nullptr);

    // Registered in SetUp; a second registration leaves the same entries.
    ASSERT_EQ(library.Register(), S_OK);
    const std::string server = ReadValue(kClassKey + "\\InprocServer32");
    EXPECT_EQ(server.find(' '), std::string::npos) << server;
    char longPath[MAX_PATH] = {};
    GetLongPathNameA(server.c_str(), longPath, MAX_PATH);
    EXPECT_EQ(lstrcmpiA(longPath, dll.c_str()), 0) << longPath;
    EXPECT_EQ(ReadValue(kClassKey), AnsiFromWide(L"Palvenor 日本語版"));
    EXPECT_EQ(ReadValue(kClassKey + "\\InprocServer32", "ThreadingModel"), "Apartment");
    EXPECT_EQ(ReadValue(kClassKey + "\\ProgID"), "kervodll.quormeljp");
    EXPECT_EQ(ReadValue("kervodll.quormeljp"), AnsiFromWide(L"Palvenor 日本語版"));
    EXPECT_EQ(ReadValue("kervodll.quormeljp\\Clsid"), BandClassIdText);
    EXPECT_TRUE(testenv::KeyExists(HKEY_CLASSES_ROOT,
                                   kClassKey + "\\Implemented Categories\\{00021492-0000-0000-C000-000000000046}"));

    // The band finds its settings file through that entry, also in its short form.
    Open();
    TypeAndEnter(L"saved");
    EXPECT_EQ(Read("HIST", "0"), "saved");
    host.Close();

    ASSERT_EQ(library.Unregister(), S_OK);
    for (const std::string& key : {kClassKey, std::string("kervodll.quormeljp")})
        EXPECT_FALSE(testenv::KeyExists(HKEY_CLASSES_ROOT, key)) << key;
    EXPECT_EQ(library.CanUnloadNow(), S_OK);
}
