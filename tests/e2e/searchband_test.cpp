// The search band, kervodll.dll, registered from a folder whose name holds a blank and hosted by
// the shell's stand-in: typed queries and Enter reach the browser byte for byte, the settings file
// beside the library keeps history and mode (a clicked mode is the one searched after the band
// opens again), the settings program's notification reloads engine and hotkey, text dragged with
// OLE's own loop lands in the box, the band's menu, registration, and bands opened on several of
// the shell's threads at once.
#include <windows.h>
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "BandSettings.h"
#include "E2eSupport.h"
#include "SysUtils.h"
#include "TestEnv.h"
#include "TestRegistry.h"
#include "TestUserInput.h"

namespace {

using Urls = std::vector<std::string>;
const std::string kClassKey = std::string("CLSID\\") + BandClassIdText;
const std::string kEngine = "http://search.example/find?lang=ja&q=";

std::string ClassesValue(const std::string& key, const char* name = nullptr)
{
    char buf[1024] = {};
    DWORD size = sizeof buf - 1;
    if (RegGetValueA(HKEY_CLASSES_ROOT, key.c_str(), name, RRF_RT_REG_SZ, nullptr, buf, &size) != 0) return "-";
    return buf;
}

class SearchBand : public e2e::HostedBand {
protected:
    void SetUp() override
    {
        dir = testenv::MakeScratchDir("search band");
        dll = dir + "\\kervodll.dll";
        ini = dir + "\\kervodll.ini";
        ASSERT_TRUE(CopyFileA((testenv::ProgramDir() + "kervodll.dll").c_str(), dll.c_str(), FALSE));
        Write("SEARCH0", "TITLE", "example");
        Write("SEARCH0", "URL", kEngine);
        ASSERT_TRUE(sink.Installed());
        // Registered, then loaded afresh: the library finds its path at start-up, as in the shell.
        ASSERT_TRUE(library.Load(WideFromAnsi(dll)));
        ASSERT_EQ(library.Register(), S_OK);
        ASSERT_TRUE(library.UnloadIfUnused());
        ASSERT_TRUE(library.Load(WideFromAnsi(dll)));
    }
    void TearDown() override
    {
        host.Close();
        if (library.Loaded()) library.Unregister();
        e2e::HostedBand::TearDown();  // expects DllCanUnloadNow to answer S_OK
        testenv::RemoveTree(dir);
    }
    void Open()
    {
        ASSERT_EQ(host.Open(library, BandClassId), S_OK) << AnsiFromWide(host.Error());
        // The form holds the panel, the panel the box, the box its edit field.
        HWND panel = FindWindowExA(host.BandWindow(), nullptr, "TPanel", nullptr);
        for (box = GetWindow(panel, GW_CHILD); box && !edit; box = GetWindow(box, GW_HWNDNEXT))
            edit = FindWindowExA(box, nullptr, "Edit", nullptr);
        box = GetParent(edit);
        ASSERT_NE(edit, nullptr);
    }
    void Write(const char* section, const char* key, const std::string& value)
    {
        WritePrivateProfileStringA(section, key, value.c_str(), ini.c_str());
    }
    std::string Read(const char* section, const char* key)
    {
        char buf[2048] = {};
        GetPrivateProfileStringA(section, key, "-", buf, sizeof buf, ini.c_str());
        return buf;
    }
    // Types the text as characters into the box and presses Enter, through the shell's loop.
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
    const DESKBANDINFO& info = host.BandInfo();
    EXPECT_EQ(std::vector<LONG>({info.ptMinSize.x, info.ptMinSize.y, info.ptMaxSize.x, info.ptMaxSize.y,
                                 info.ptActual.x, info.ptActual.y}),
              std::vector<LONG>({260, 21, 260, 21, 260, 21}));

    // Each URL is waited for: the browser processes start in their own time.
    TypeAndEnter(L"日本");
    ASSERT_TRUE(sink.WaitFor(1));
    TypeAndEnter(L"a b&c", VK_SHIFT);
    ASSERT_TRUE(sink.WaitFor(2));
    TypeAndEnter(L"");  // nothing at all
    TypeAndEnter(L"abc ", VK_CONTROL);
    ASSERT_TRUE(sink.WaitFor(3));
    EXPECT_EQ(sink.Received(), (Urls{kEngine + "%93%FA%96%7B", kEngine + "a+b%26c", kEngine + "abc+"}));
    // Most recent first, the trailing blank kept.
    EXPECT_EQ(Read("HIST", "0") + "|" + Read("HIST", "1") + "|" + Read("HIST", "2") + "|" + Read("HIST", "3"),
              "abc |a b&c|" + AnsiFromWide(L"日本") + "|-");
    EXPECT_EQ(Read("BUTTON", "SELECTED"), "1");
    EXPECT_EQ(SendMessageW(box, CB_GETCOUNT, 0, 0), 3);

    // Text set by another program may hold line breaks: the search keeps them, the file does not.
    SetWindowTextW(edit, L"pa1\r\n[HOTKEY]\r\nCHAR=90");
    bandtest::PressEnter(edit, 0, [&] { host.PumpPending(); });
    ASSERT_TRUE(sink.WaitFor(4));
    EXPECT_EQ(sink.Received().back(), kEngine + "pa1%0D%0A%5BHOTKEY%5D%0D%0ACHAR%3D90");
    EXPECT_EQ(Read("HIST", "0"), "pa1[HOTKEY]CHAR=90");
    EXPECT_EQ(Read("HOTKEY", "CHAR"), "-");
}

TEST_F(SearchBand, AModeClickedIsSavedAndIsTheOneSearchedWhenTheBandOpensAgain)
{
    Write("FILE0", "TITLE", "files");
    Write("FILE0", "URL", "http://files.example/?q=");
    Open();
    // The mode buttons have no windows of their own: the click lands on the panel, over the
    // button of the FILE mode (left 94, top 1, 31 x 17).
    const HWND panel = FindWindowExA(host.BandWindow(), nullptr, "TPanel", nullptr);
    PostMessageA(panel, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(110, 9));
    PostMessageA(panel, WM_LBUTTONUP, 0, MAKELPARAM(110, 9));
    host.PumpPending();
    EXPECT_EQ(Read("BUTTON", "SELECTED"), "4");
    EXPECT_EQ(GetFocus(), edit);

    host.Close();
    edit = nullptr;
    Open();
    TypeAndEnter(L"日本.zip");
    ASSERT_TRUE(sink.WaitFor(1));
    EXPECT_EQ(sink.Received(), (Urls{"http://files.example/?q=%93%FA%96%7B.zip"}));
}

// A shell extension built with MinGW's shared run time brings its unwinder (on i686
// libgcc_s_dw2-1.dll) into the shell's process before the band loads. Another program then holds
// the settings file without sharing: the save after a search is refused, and the error raised
// inside the band's window procedure shows in the band's box; the shell lives on, the search has
// reached the browser, and the band searches and saves again once the file is free. The shared
// run time stays in the process, as in the shell (its own start-up code finds itself loaded and
// takes one more reference that only its unloading would give back): the band libraries that
// later tests load find it there.
TEST_F(SearchBand, ARefusedSaveShowsItsBoxBesideAnotherRuntimesUnwinder)
{
#if defined(__i386__)
    ASSERT_NE(LoadLibraryA((testenv::ProgramDir() + "libgcc_s_dw2-1.dll").c_str()), nullptr);
    ASSERT_TRUE(library.UnloadIfUnused());
    ASSERT_TRUE(library.Load(WideFromAnsi(dll)));
#endif
    Open();
    HANDLE held = CreateFileA(ini.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    {
        e2e::MessageBoxes boxes;
        TypeAndEnter(L"held");
        ASSERT_TRUE(sink.WaitFor(1));
        ASSERT_EQ(boxes.seen.size(), 1u);
        // Captioned with the host program's name; the path is the one the band found at start-up.
        EXPECT_EQ(boxes.seen[0].caption, "test_e2e");
        const std::string& text = boxes.seen[0].text;
        const std::string refused = AnsiFromWide(L" に書き込めません");
        ASSERT_GT(text.size(), refused.size());
        EXPECT_EQ(text.substr(text.size() - refused.size()), refused);
        char longPath[MAX_PATH] = {};
        GetLongPathNameA(text.substr(0, text.size() - refused.size()).c_str(), longPath, MAX_PATH);
        EXPECT_EQ(lstrcmpiA(longPath, ini.c_str()), 0) << text;
    }
    CloseHandle(held);
    TypeAndEnter(L"free");
    ASSERT_TRUE(sink.WaitFor(2));
    EXPECT_EQ(sink.Received(), (Urls{kEngine + "held", kEngine + "free"}));
    EXPECT_EQ(Read("HIST", "0") + "|" + Read("HIST", "1"), "free|held");
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
    EXPECT_EQ(GetFocus(), edit);
    // The hotkey's message puts the focus into the box from nowhere.
    SetFocus(nullptr);
    SendMessageA(host.BandWindow(), WM_HOTKEY, 0, MAKELPARAM(MOD_CONTROL, 'J'));
    EXPECT_EQ(GetFocus(), edit);
    TypeAndEnter(L"x");
    ASSERT_TRUE(sink.WaitFor(1));
    EXPECT_EQ(sink.Received(), (Urls{"http://other.example/?q=x"}));

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
    bandtest::TestDataObject text, link, files, unterminated;
    text.OfferText(CF_TEXT, AnsiFromWide(L"検索語\r\n二行目"));
    link.OfferText(static_cast<CLIPFORMAT>(RegisterClipboardFormatA("UniformResourceLocator")), "http://example.com/");
    link.OfferText(CF_TEXT, "http://example.com/");
    files.Offer(CF_HDROP, std::string(32, '\0'));
    unterminated.Offer(CF_TEXT, "12345");

    // The source learns COPY or LINK, never the MOVE that it offered as well.
    EXPECT_EQ(bandtest::DragOnto(over, &text), DWORD{DROPEFFECT_COPY});
    EXPECT_EQ(BoxText(), L"検索語");
    EXPECT_EQ(bandtest::DragOnto(over, &link), DWORD{DROPEFFECT_LINK});
    EXPECT_EQ(BoxText(), L"http://example.com/");
    EXPECT_EQ(bandtest::DragOnto(over, &files), DWORD{DROPEFFECT_NONE});
    EXPECT_EQ(BoxText(), L"http://example.com/");
    EXPECT_EQ(bandtest::DragOnto(over, &unterminated), DWORD{DROPEFFECT_COPY});
    EXPECT_EQ(BoxText(), L"12345");
    EXPECT_TRUE(sink.Received().empty());
    EXPECT_EQ(Read("HIST", "0"), "-");
}

TEST_F(SearchBand, TheBandsMenuStaysAwayFromTheEditPartAndOpensTheHomePage)
{
    Open();
    RECT r;
    GetWindowRect(box, &r);
    std::vector<std::wstring> items;
    EXPECT_FALSE(bandtest::MenuShownOnRightClick(host.BandWindow(), POINT{r.left + 10, r.top + 8}));
    EXPECT_TRUE(bandtest::MenuShownOnRightClick(host.BandWindow(), POINT{r.right - 6, r.top + 8}, &items));
    EXPECT_EQ(items, (std::vector<std::wstring>{L"Palvenorの設定(&O)", L"作者ホームページ(&W)"}));

    HMENU menu = host.BuildContextMenu();
    const UINT home = GetMenuItemID(menu, GetMenuItemCount(menu) - 1);
    DestroyMenu(menu);
    EXPECT_EQ(host.InvokeContextCommand(home), S_OK);
    ASSERT_TRUE(sink.WaitFor(1));
    EXPECT_EQ(sink.Received(), (Urls{"http://www.example.com/kervo/"}));
}

TEST_F(SearchBand, RegistrationWritesTheClassEntriesAndUnregistrationRemovesThem)
{
    using GetClassObjectProc = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    void* factory = &factory;
    EXPECT_EQ(Export<GetClassObjectProc>("DllGetClassObject")(IID_IUnknown, IID_IClassFactory, &factory),
              CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(factory, nullptr);

    // Registered in SetUp; again leaves the same entries. The folder's blank gives the short form.
    ASSERT_EQ(library.Register(), S_OK);
    const std::string server = ClassesValue(kClassKey + "\\InprocServer32");
    char longPath[MAX_PATH] = {};
    GetLongPathNameA(server.c_str(), longPath, MAX_PATH);
    EXPECT_EQ(server.find(' '), std::string::npos) << server;
    EXPECT_EQ(lstrcmpiA(longPath, dll.c_str()), 0) << longPath;
    const std::string description = AnsiFromWide(L"Palvenor 日本語版");
    EXPECT_EQ(ClassesValue(kClassKey), description);
    EXPECT_EQ(ClassesValue(kClassKey + "\\InprocServer32", "ThreadingModel"), "Apartment");
    EXPECT_EQ(ClassesValue(kClassKey + "\\ProgID"), "kervodll.quormeljp");
    EXPECT_EQ(ClassesValue("kervodll.quormeljp"), description);
    EXPECT_EQ(ClassesValue("kervodll.quormeljp\\Clsid"), BandClassIdText);
    EXPECT_TRUE(testenv::KeyExists(HKEY_CLASSES_ROOT, kClassKey + "\\Implemented Categories\\{00021492-0000-0000-C000-000000000046}"));

    // The band finds its settings file through the short form too.
    Open();
    TypeAndEnter(L"saved");
    EXPECT_EQ(Read("HIST", "0"), "saved");
    host.Close();
    ASSERT_EQ(library.Unregister(), S_OK);
    EXPECT_FALSE(testenv::KeyExists(HKEY_CLASSES_ROOT, kClassKey));
    EXPECT_FALSE(testenv::KeyExists(HKEY_CLASSES_ROOT, "kervodll.quormeljp"));
}

TEST(SearchBandLibrary, LoadsAndUnloadsGiveTheHotKeyAtomBackEachTime)
{
    // A global atom outlives the processes that add it: what earlier loads of the tests' run left
    // goes first, so that only the loads here count.
    for (int i = 0; i < 100000 && GlobalFindAtomA("hotkey"); ++i) GlobalDeleteAtom(GlobalFindAtomA("hotkey"));
    ASSERT_EQ(GlobalFindAtomA("hotkey"), 0);
    const std::wstring path = WideFromAnsi(testenv::ProgramDir() + "kervodll.dll");
    for (int i = 0; i < 5; ++i) {
        HMODULE library = LoadLibraryW(path.c_str());
        ASSERT_NE(library, nullptr);
        EXPECT_NE(GlobalFindAtomA("hotkey"), 0);
        FreeLibrary(library);
    }
    EXPECT_EQ(GlobalFindAtomA("hotkey"), 0) << "a load left its reference behind";
}

TEST(SearchBandLibrary, BandsOpenedOnEightThreadsAtOnceEachGetTheirForm)
{
    // The shell may open bands on several of its threads at the same moment. The first window of
    // each class is what they race for, so each round loads the library afresh (its unload took
    // its window classes with it) and the eight threads open a band each at once, keep it until
    // all are open, and close it. The threads stay for every round, as the shell's do: Wine serves
    // no more than 63 apartments that ever offered an interface (a drop target) in one process.
    constexpr int kThreads = 8, kRounds = 8;
    struct Round {
        HANDLE go = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        HANDLE allOpen = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        HANDLE allClosed = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        std::atomic<int> open = 0, closed = 0;
        std::vector<std::string> failures = std::vector<std::string>(kThreads);
        bandhost::TBandLibrary library;  // loaded before go
        ~Round() { CloseHandle(go), CloseHandle(allOpen), CloseHandle(allClosed); }
    };
    std::vector<Round> rounds(kRounds);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&rounds, t] {
            CoInitialize(nullptr);
            {
                bandhost::TBandHost host;
                auto pumpUntil = [&host](HANDLE event) {
                    while (MsgWaitForMultipleObjects(1, &event, FALSE, INFINITE, QS_ALLINPUT) != WAIT_OBJECT_0)
                        host.PumpPending();
                };
                for (Round& round : rounds) {
                    pumpUntil(round.go);
                    const HRESULT hr = host.Open(round.library, BandClassId);
                    char className[64] = {};
                    GetClassNameA(host.BandWindow(), className, sizeof className);
                    if (hr != S_OK) {
                        round.failures[t] = AnsiFromWide(host.Error());
                    } else if (GetWindowThreadProcessId(host.BandWindow(), nullptr) != GetCurrentThreadId() ||
                               std::string(className) != BandFormClassName) {
                        round.failures[t] = std::string("no form of this thread: ") + className;
                    }
                    if (++round.open == kThreads) SetEvent(round.allOpen);
                    pumpUntil(round.allOpen);
                    host.Close();
                    if (++round.closed == kThreads) SetEvent(round.allClosed);
                }
            }
            CoUninitialize();
        });
    }
    const std::wstring path = WideFromAnsi(testenv::ProgramDir() + "kervodll.dll");
    for (int r = 0; r < kRounds; ++r) {
        Round& round = rounds[r];
        EXPECT_TRUE(round.library.Load(path)) << AnsiFromWide(round.library.Error());
        SetEvent(round.go);
        WaitForSingleObject(round.allClosed, INFINITE);
        EXPECT_EQ(round.failures, std::vector<std::string>(kThreads)) << "round " << r;
        EXPECT_TRUE(round.library.UnloadIfUnused()) << "round " << r;
    }
    for (std::thread& thread : threads) thread.join();
}
