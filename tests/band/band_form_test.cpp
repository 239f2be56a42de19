// The search band's form made inside the test program on a window standing in for the band site:
// the history rules of a search and its saves (also beside a library in a folder whose name the
// code page cannot spell, and after a load that could not read the file, whose first search, click,
// reload or drop loads it), a reload that could not read the file keeping what the band had, a
// refused save shown by the library, the drop target's answers called directly, the hover
// tracking, the hotkey with a program in front, and what a careless shell does to the band while
// it lives; and what the user sees of the settings file: the mode buttons' captions and the one
// down, and a search's URL as the browser (the end-to-end tests' URL sink) receives it. Elsewhere
// the engine URLs point into a folder that does not exist, so the shell's open fails quietly and
// starts no process.
#include <windows.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <new>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "../bandframework/TestSite.h"
#include "ComObj.h"
#include "ControlsTestSupport.h"
#include "DllUnit.h"
#include "E2eSupport.h"
#include "QuormelForm.h"
#include "SysUtils.h"
#include "Registry.h"
#include "TestEnv.h"
#include "TestRegistry.h"
#include "TestUserInput.h"

namespace {

// The search band's form with its memory made unreadable when it is freed, as under a page heap:
// a use after free faults at once instead of reading what happens to be left.
class TWatchedForm : public TquormelForm {
public:
    explicit TWatchedForm(TComponent* owner) : TquormelForm(owner) { ++Live; }
    ~TWatchedForm() override { --Live; }
    static void* operator new(size_t size)
    {
        void* p = VirtualAlloc(nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
        if (!p) throw std::bad_alloc();
        return p;
    }
    // Decommitted, the range stays reserved: nothing else is ever placed there.
    static void operator delete(void* p) { VirtualFree(p, 0, MEM_DECOMMIT); }

    static inline int Live = 0;
};

// The search band's object with the watched form, made by a factory of the test program's COM
// server as the shell would have it made, and held through the interfaces the shell uses.
class TWatchedBand : public Tquormel {
public:
    TWatchedBand() { Last = this; }
    static inline TWatchedBand* Last = nullptr;
    TzBandForm* CreateBandForm(HWND parentWindow) override
    {
        return TzBandForm::CreateForBand<TWatchedForm>(parentWindow, this);
    }
};

struct ShellsBand {
    ShellsBand()
    {
        // {6D0B2C4E-31A8-4F7B-9E55-0C8D1A7F42B3}
        static const CLSID id = {0x6D0B2C4E, 0x31A8, 0x4F7B, {0x9E, 0x55, 0x0C, 0x8D, 0x1A, 0x7F, 0x42, 0xB3}};
        static TComObjectFactory* factory = new TzDeskBandObjectFactory(
            ComServer(), &ComObjectCreator<TWatchedBand>, id, L"WatchedBand", L"", ciMultiInstance, tmApartment);
        factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&unknown));
        unknown->QueryInterface(IID_IDeskBand, reinterpret_cast<void**>(&deskBand));
        unknown->QueryInterface(IID_IObjectWithSite, reinterpret_cast<void**>(&withSite));
        object = TWatchedBand::Last;
    }
    ~ShellsBand() { Release(); }
    // The shell's last release.
    void Release()
    {
        for (IUnknown* p : {static_cast<IUnknown*>(withSite), static_cast<IUnknown*>(deskBand), unknown})
            if (p) p->Release();
        withSite = nullptr, deskBand = nullptr, unknown = nullptr, object = nullptr;
    }
    IUnknown* unknown = nullptr;
    IDeskBand* deskBand = nullptr;
    IObjectWithSite* withSite = nullptr;
    TWatchedBand* object = nullptr;
};

// A drag source that, in the middle of its first QueryGetData or GetData, does what the shell may
// do while COM pumps the band's thread for an answer from the source's process.
class ReentrantDataObject : public bandtest::TestDataObject {
public:
    std::function<void()> during;
    HGLOBAL handedOut = nullptr;

    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* format) override
    {
        RunOnce();
        return TestDataObject::QueryGetData(format);
    }
    HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override
    {
        RunOnce();
        const HRESULT hr = TestDataObject::GetData(format, medium);
        if (hr == S_OK) handedOut = medium->hGlobal;
        return hr;
    }

private:
    void RunOnce()
    {
        std::function<void()> f = std::move(during);
        during = nullptr;
        if (f) f();
    }
};

// A program of its own in front of the band (hungwindow.exe beside the test program), which
// answers its messages or stops answering after it came to the front; let go when it goes out of
// scope, or by Release.
class ForegroundProgram {
public:
    explicit ForegroundProgram(const char* mode)
    {
        static int made = 0;
        const std::string stem = "kervo-front-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++made);
        ready_ = CreateEventA(nullptr, TRUE, FALSE, (stem + "-ready").c_str());
        release_ = CreateEventA(nullptr, TRUE, FALSE, (stem + "-release").c_str());
        std::string command = "\"" + testenv::ProgramDir() + "hungwindow.exe\" " + stem + "-ready " + stem + "-release " + mode;
        STARTUPINFOA si;
        ZeroMemory(&si, sizeof si);
        si.cb = sizeof si;
        if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &process_)) return;
        // A 32-bit process starts in seconds where it runs under an emulator.
        testenv::PumpUntil([&] { return WaitForSingleObject(ready_, 0) == WAIT_OBJECT_0; }, 60000);
        window = GetForegroundWindow();
        DWORD pid = 0;
        GetWindowThreadProcessId(window, &pid);
        inFront = WaitForSingleObject(ready_, 0) == WAIT_OBJECT_0 && pid == process_.dwProcessId;
    }
    ~ForegroundProgram()
    {
        Release();
        if (process_.hProcess) {
            if (WaitForSingleObject(process_.hProcess, 30000) != WAIT_OBJECT_0) TerminateProcess(process_.hProcess, 1);
            CloseHandle(process_.hProcess);
            CloseHandle(process_.hThread);
        }
        CloseHandle(ready_);
        CloseHandle(release_);
    }
    void Release() { SetEvent(release_); }
    std::string Title() const
    {
        char text[32] = {};
        GetWindowTextA(window, text, sizeof text);
        return text;
    }

    bool inFront = false;
    HWND window = nullptr;

private:
    HANDLE ready_ = nullptr, release_ = nullptr;
    PROCESS_INFORMATION process_{};
};

// Sends the messages ("window:message:lparam", hexadecimal) from a program of its own
// (foreignsender.exe beside the test program) while this thread pumps; the program's exit code,
// or ~0 when it did not run to its end.
DWORD SendFromAnotherProgram(const std::vector<std::tuple<HWND, UINT, LPARAM>>& messages)
{
    std::string command = "\"" + testenv::ProgramDir() + "foreignsender.exe\"";
    for (const auto& [window, msg, lParam] : messages) {
        char part[64];
        std::snprintf(part, sizeof part, " %llx:%x:%llx", static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(window)),
                      msg, static_cast<unsigned long long>(lParam));
        command += part;
    }
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &process)) return ~0u;
    // A 32-bit process starts in seconds where it runs under an emulator.
    testenv::PumpUntil([&] { return WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0; }, 120000);
    DWORD code = ~0u;
    if (WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0) GetExitCodeProcess(process.hProcess, &code);
    else TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return code;
}

struct ShowCount : TObject {
    int count = 0;
    void Shown(TObject*) { ++count; }
};

// Lets the program go when the test's thread has not come back after a while (it waits on it).
struct HangWatch {
    HANDLE done;
    ForegroundProgram* program;
    bool letGo;
    static DWORD WINAPI Run(void* p)
    {
        auto* w = static_cast<HangWatch*>(p);
        if (WaitForSingleObject(w->done, 30000) != WAIT_OBJECT_0) {
            w->letGo = true;
            w->program->Release();
        }
        return 0;
    }
};

class BandForm : public testing::Test {
protected:
    void SetUp() override
    {
        OleInitialize(nullptr);
        dir = testenv::MakeScratchDir("bandform");
        ini = dir + "\\kervodll.ini";
        CachedLibraryPath = testenv::Wide(dir + "\\kervodll.dll");
        Write("SEARCH0", "URL", "C:\\kervo-no-such-folder\\q=");
        Write("SEARCH0", "TITLE", "nowhere");
        Write("HIST", "0", "abc");
        Write("HIST", "1", "x");
        Write("HIST", "5", "old");
        site = CreateWindowExA(0, "STATIC", "", WS_POPUP | WS_VISIBLE, 20, 20, 300, 24, nullptr, nullptr, nullptr, nullptr);
        form = TzBandForm::CreateForBand<TWatchedForm>(site, nullptr);
        form->Show();
        box = form->ComboBox1;
    }
    void TearDown() override
    {
        if (form) form->Free();
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
    // A new form, loaded from the file as it stands.
    void Reopen()
    {
        form->Free();
        form = TzBandForm::CreateForBand<TWatchedForm>(site, nullptr);
        form->Show();
        box = form->ComboBox1;
    }
    // As the settings program makes every band reload after its save.
    void Reload() { SendMessageA(form->Handle(), WM_SETFOCUS, 0, 0); }
    // Another program opens the file without sharing it; the caller lets the file go.
    HANDLE HoldFile()
    {
        HANDLE held = CreateFileA(ini.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        EXPECT_NE(held, INVALID_HANDLE_VALUE);
        return held;
    }
    // A new form loaded while another program holds the file without sharing it; the caller lets
    // the file go.
    HANDLE LoadWhileHeld()
    {
        form->Free();
        HANDLE held = HoldFile();
        form = TzBandForm::CreateForBand<TWatchedForm>(site, nullptr);
        box = form->ComboBox1;
        EXPECT_EQ(box->Items()->ItemCount(), 0);
        return held;
    }
    // Captions, engines, the mode and the hotkey of the user's own, none of them the defaults:
    // CACHE stored, its engine kept.example; Ctrl+J.
    void WriteOwnSettings()
    {
        Write("SEARCH", "CAPTION", AnsiFromWide(L"探す"));
        Write("CACHE", "CAPTION", AnsiFromWide(L"控え"));
        Write("DIC", "CAPTION", AnsiFromWide(L"引く"));
        Write("FILE", "CAPTION", AnsiFromWide(L"ﾌｧｲﾙ名"));
        Write("SEARCH0", "URL", "http://find.example/?q=");
        Write("CACHE0", "TITLE", "kept");
        Write("CACHE0", "URL", "http://kept.example/get?ie=sjis&u=");
        Write("DIC0", "TITLE", "words");
        Write("DIC0", "URL", "http://words.example/find?q=");
        Write("BUTTON", "SELECTED", "2");
        Write("HOTKEY", "SHIFT", "0");
        Write("HOTKEY", "CHAR", "74");
    }
    TFlatSpeedButton* ModeButton(int m) const
    {
        TFlatSpeedButton* const buttons[] = {form->SpeedButtonSearch1, form->SpeedButtonCache1, form->SpeedButtonDic1,
                                             form->SpeedButtonFile1};
        return buttons[m];
    }
    // The four mode buttons' captions, in mode order, each followed by "|".
    std::wstring Captions() const
    {
        std::wstring captions;
        for (int m = 0; m < 4; ++m) captions += WideFromAnsi(ModeButton(m)->Caption()) + L"|";
        return captions;
    }
    // The mode buttons down, as "0100" in mode order.
    std::string Down() const
    {
        std::string down;
        for (int m = 0; m < 4; ++m) down += ModeButton(m)->Down() ? '1' : '0';
        return down;
    }
    void WriteCaptions(const std::vector<std::wstring>& captions)
    {
        const char* const sections[] = {"SEARCH", "CACHE", "DIC", "FILE"};
        for (int m = 0; m < 4; ++m) Write(sections[m], "CAPTION", AnsiFromWide(captions[m]));
    }
    // Whether no window holds the combination: the test takes it and gives it back at once.
    static bool HotKeyFree(UINT modifiers, UINT key)
    {
        if (!RegisterHotKey(nullptr, 1, modifiers, key)) return false;
        UnregisterHotKey(nullptr, 1);
        return true;
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
    EXPECT_EQ(Read("HIST", "10"), "-") << "only the first ten are saved";

    form->SpeedButtonDic1->Click();
    EXPECT_EQ(Read("BUTTON", "SELECTED"), "3");
    EXPECT_FALSE(form->SpeedButtonSearch1->Down());
    EXPECT_TRUE(errors.messages.empty());
}

// The first item searched again as it stands: the list stays, and the box ends as after a move,
// the item selected and its whole text selected, wherever the caret was.
TEST_F(BandForm, TheFirstItemSearchedAgainEndsSelectedAsAfterAMove)
{
    SetFocus(box->EditHandle());
    ASSERT_EQ(GetFocus(), box->EditHandle());
    Search(L"abc");
    SendMessageW(box->EditHandle(), EM_SETSEL, 1, 1);
    ASSERT_EQ(box->ItemIndex(), 0);
    form->ActionBrowse1->Execute();
    DWORD start = 9, end = 9;
    SendMessageW(box->EditHandle(), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, 0u);
    EXPECT_EQ(end, 3u);
    EXPECT_EQ(box->ItemIndex(), 0);
    EXPECT_EQ(box->Text(), L"abc");
    EXPECT_EQ(box->Items()->JoinedText(), L"abc\r\nx\r\nold\r\n");
    EXPECT_EQ(Read("HIST", "0") + Read("HIST", "1") + Read("HIST", "2") + Read("HIST", "5"), "abcxoldold");
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

// Another program held the file without sharing while the band loaded: the band started with the
// defaults, and its saves must not put them over the user's history and mode. Once the file reads
// again, the next search or click loads it in full, the stored history behind this run's queries;
// the mode the user searched with or clicked while it was held stays, and is saved.
TEST_F(BandForm, AFileThatCouldNotBeReadAtTheLoadKeepsTheModeTheUserSearchedWithOrClicked)
{
    Write("BUTTON", "SELECTED", "2");
    const std::string before = testenv::ReadFileBytes(ini);

    HANDLE held = LoadWhileHeld();
    Search(L"new");
    CloseHandle(held);
    EXPECT_EQ(testenv::ReadFileBytes(ini), before);
    EXPECT_TRUE(form->SpeedButtonSearch1->Down());
    Search(L"X");  // "x" of the file stands here now
    EXPECT_EQ(box->Items()->JoinedText(), L"X\r\nnew\r\nabc\r\nold\r\n");
    EXPECT_TRUE(form->SpeedButtonSearch1->Down());
    EXPECT_EQ(Read("HIST", "0") + Read("HIST", "1") + Read("HIST", "2") + Read("HIST", "3") + Read("HIST", "5"),
              "Xnewabcoldold");
    EXPECT_EQ(Read("BUTTON", "SELECTED"), "1");

    Write("BUTTON", "SELECTED", "2");
    held = LoadWhileHeld();
    form->SpeedButtonDic1->Click();
    CloseHandle(held);
    EXPECT_EQ(Read("BUTTON", "SELECTED"), "2");
    form->SpeedButtonDic1->Click();
    EXPECT_TRUE(form->SpeedButtonDic1->Down());
    // Equal stored values all come, as at a load.
    EXPECT_EQ(box->Items()->JoinedText(), L"X\r\nnew\r\nabc\r\nold\r\nold\r\n");
    EXPECT_EQ(Read("BUTTON", "SELECTED"), "3");
    EXPECT_TRUE(errors.messages.empty());
}

namespace {

// The first act once a file held at the load reads again.
enum class FirstAct { Search, ModeClick, Reload, Drop };

std::string FirstActName(const testing::TestParamInfo<FirstAct>& info)
{
    switch (info.param) {
    case FirstAct::Search: return "Search";
    case FirstAct::ModeClick: return "ModeClick";
    case FirstAct::Reload: return "Reload";
    case FirstAct::Drop: return "Drop";
    }
    return "";
}

class BandFormReadAgain : public BandForm, public testing::WithParamInterface<FirstAct> {};

}  // namespace

// Whatever the user does first once the file reads again (a drop as well), the band has loaded it
// before it uses a setting: the search goes to the file's engine of the stored mode (or of the mode
// clicked), the buttons show the file's captions, the file's hotkey is the band's, and the stored
// history follows the search's query into the file.
TEST_P(BandFormReadAgain, TheFirstActLoadsTheFileBeforeItUsesASetting)
{
    e2e::UrlSink sink;
    ASSERT_TRUE(sink.Installed());
    WriteOwnSettings();

    HANDLE held = LoadWhileHeld();
    EXPECT_EQ(Captions(), L"検索|ｷｬｯｼｭ|辞書|ﾌｧｲﾙ|");
    EXPECT_TRUE(HotKeyFree(MOD_CONTROL, 'J'));
    CloseHandle(held);

    const std::wstring query = L"日本 a&b";
    switch (GetParam()) {
    case FirstAct::Search: Search(query); break;
    case FirstAct::ModeClick: form->SpeedButtonDic1->Click(); break;
    case FirstAct::Reload: Reload(); break;
    case FirstAct::Drop: {
        bandtest::TestDataObject text;
        text.OfferText(CF_TEXT, AnsiFromWide(query));
        DWORD effect = DROPEFFECT_COPY;
        form->DropTarget()->DragEnter(&text, 0, POINTL{}, &effect);
        form->DropTarget()->Drop(&text, 0, POINTL{}, &effect);
        break;
    }
    }
    EXPECT_EQ(Captions(), L"探す|控え|引く|ﾌｧｲﾙ名|");
    EXPECT_FALSE(HotKeyFree(MOD_CONTROL, 'J')) << "the file's hotkey is not the band's";
    const bool clicked = GetParam() == FirstAct::ModeClick;
    EXPECT_TRUE((clicked ? form->SpeedButtonDic1 : form->SpeedButtonCache1)->Down());
    if (GetParam() != FirstAct::Search) Search(query);

    ASSERT_TRUE(sink.WaitFor(1));
    const std::string engine = clicked ? "http://words.example/find?q=" : "http://kept.example/get?ie=sjis&u=";
    EXPECT_EQ(sink.Received(), std::vector<std::string>{engine + "%93%FA%96%7B+a%26b"});
    EXPECT_EQ(box->Items()->JoinedText(), query + L"\r\nabc\r\nx\r\nold\r\n");
    EXPECT_EQ(WideFromAnsi(Read("HIST", "0") + "|" + Read("HIST", "1") + "|" + Read("HIST", "2") + "|" +
                           Read("HIST", "3") + "|" + Read("HIST", "4") + "|" + Read("HIST", "5")),
              query + L"|abc|x|old|-|old");
    EXPECT_EQ(Read("BUTTON", "SELECTED"), clicked ? "3" : "2");
    EXPECT_TRUE(errors.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(BandForm, BandFormReadAgain,
                         testing::Values(FirstAct::Search, FirstAct::ModeClick, FirstAct::Reload, FirstAct::Drop),
                         FirstActName);

// After a good load, another program holds the file without sharing it as the band reloads: the
// system's reads answer defaults, and the band keeps the captions, engines and hotkey it shows
// and holds; the file's engine still takes the search once the file is let go.
TEST_F(BandForm, AReloadThatCannotReadTheFileKeepsWhatTheLastReadGave)
{
    e2e::UrlSink sink;
    ASSERT_TRUE(sink.Installed());
    WriteOwnSettings();
    Reopen();
    ASSERT_EQ(Captions(), L"探す|控え|引く|ﾌｧｲﾙ名|");
    ASSERT_FALSE(HotKeyFree(MOD_CONTROL, 'J'));

    HANDLE held = HoldFile();
    Reload();
    EXPECT_EQ(Captions(), L"探す|控え|引く|ﾌｧｲﾙ名|");
    EXPECT_FALSE(HotKeyFree(MOD_CONTROL, 'J')) << "the reload dropped the file's hotkey";
    CloseHandle(held);

    Search(L"日本 a&b");
    ASSERT_TRUE(sink.WaitFor(1));
    EXPECT_EQ(sink.Received(), std::vector<std::string>{"http://kept.example/get?ie=sjis&u=%93%FA%96%7B+a%26b"});
    EXPECT_TRUE(errors.messages.empty());
}

// The library registered in a folder whose name the code page cannot spell, with a blank as well
// and in its long form (a volume may have no short names): the band reads and writes the file
// beside it, in the code page, and nothing at the name's best fit.
TEST_F(BandForm, TheFileBesideALibraryInAFolderTheCodePageCannotSpellIsTheOneReadAndWritten)
{
    const std::wstring folder = testenv::Wide(dir) + L"\\kervo Jos\u00E9";
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    const std::wstring file = folder + L"\\kervodll.ini";
    ASSERT_TRUE(testenv::WriteFileBytes(file, AnsiFromWide(L"[HIST]\r\n0=日本\r\n[BUTTON]\r\nSELECTED=3\r\n")));
    const std::string classKey = std::string("CLSID\\") + BandClassIdText;
    ASSERT_TRUE(testenv::SetWideDefaultValue(HKEY_CLASSES_ROOT, classKey + "\\InProcServer32",
                                             folder + L"\\kervodll.dll"));
    CachedLibraryPath.clear();  // looked up in the registry at every load and save
    form->Free();
    form = TzBandForm::CreateForBand<TWatchedForm>(site, nullptr);
    box = form->ComboBox1;
    EXPECT_EQ(box->Items()->JoinedText(), L"日本\r\n");
    EXPECT_TRUE(form->SpeedButtonDic1->Down());
    Search(L"検索");
    form->SpeedButtonFile1->Click();
    EXPECT_EQ(testenv::ReadFileBytes(file),
              AnsiFromWide(L"[HIST]\r\n0=検索\r\n1=日本\r\n[BUTTON]\r\nSELECTED=4\r\n"));
    EXPECT_EQ(GetFileAttributesA((dir + "\\kervo Jose").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(errors.messages.empty());
    TRegistry registry;
    registry.SetRootKey(HKEY_CLASSES_ROOT);
    registry.DeleteKey(classKey);
}

TEST_F(BandForm, ADropAfterAnEnterThatFoundNoTextFetchesNothingAndEmptyBlocksAreIgnored)
{
    IDropTarget* target = form->DropTarget();
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

TEST_F(BandForm, AnotherProgramsMessagesReachNoPointerAndRunNoEventOfTheForm)
{
    // Shown already: asked from outside to show again, the form runs no show event.
    ShowCount shows;
    form->OnShow.Bind(&shows, &ShowCount::Shown);
    const HWND window = form->Handle(), input = box->Handle();
    ctltest::AccessViolationWatch faults;
    const DWORD answered = SendFromAnotherProgram({{window, 0xB019, 0},
                                                   {input, 0xBC2B, 0},
                                                   {input, 0xBC2C, 0},
                                                   {input, 0xB030, 0x10}});
    EXPECT_EQ(faults.Count(), 0);
    EXPECT_EQ(answered, 0u) << "the first message not answered 0, counted from 1";
    EXPECT_EQ(shows.count, 0);
    EXPECT_TRUE(errors.messages.empty()) << errors.messages.front();
    EXPECT_TRUE(IsWindowVisible(input));
}

TEST_F(BandForm, TheShowEventRunAgainWhileShownLeavesOneRegistrationAndNoError)
{
    // Shown by the fixture; showing announced once more without a hide between.
    EXPECT_NO_THROW(form->OnShow(form));
    form->Hide();
    EXPECT_EQ(RevokeDragDrop(form->Handle()), DRAGDROP_E_NOTREGISTERED) << "the hide revoked the one registration";
    form->Show();
    EXPECT_TRUE(errors.messages.empty()) << errors.messages.front();
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

TEST_F(BandForm, AFormFreedWhileTheDragSourceAnswersIsLeftAloneAfterTheCall)
{
    // A WM_CLOSE from anyone, handled while the form waits for the source: the form frees itself
    // from its posted release.
    auto closedWhileWaiting = [this](ReentrantDataObject& data) {
        const HWND window = form->Handle();
        data.during = [window] {
            SendMessageA(window, WM_CLOSE, 0, 0);
            testenv::PumpUntil([window] { return !IsWindow(window); });
        };
    };
    IDropTarget* target = form->DropTarget();
    ReentrantDataObject entered;
    entered.OfferText(CF_TEXT, "text");
    closedWhileWaiting(entered);
    DWORD effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
    EXPECT_EQ(target->DragEnter(&entered, 0, POINTL{}, &effect), S_OK);
    EXPECT_EQ(effect, DWORD{DROPEFFECT_NONE});
    ASSERT_EQ(TWatchedForm::Live, 0);

    form = TzBandForm::CreateForBand<TWatchedForm>(site, nullptr);
    form->Show();
    target = form->DropTarget();
    ReentrantDataObject dropped;
    dropped.OfferText(CF_TEXT, "text");
    target->DragEnter(&dropped, 0, POINTL{}, &effect);
    closedWhileWaiting(dropped);
    EXPECT_EQ(target->Drop(&dropped, 0, POINTL{}, &effect), S_OK);
    ASSERT_EQ(TWatchedForm::Live, 0);
    form = nullptr;
    EXPECT_EQ(GlobalSize(dropped.handedOut), 0u) << "the storage medium is released all the same";

    // The shell closing the band and letting it go while the source answers.
    TestSite shellSite;
    shellSite.window = site;
    ShellsBand band;
    ASSERT_EQ(band.withSite->SetSite(shellSite.Unknown()), S_OK);
    band.deskBand->ShowDW(TRUE);
    TquormelForm* bandForm = band.object->Form();
    const HWND bandWindow = bandForm->Handle();
    target = bandForm->DropTarget();
    ReentrantDataObject closing;
    closing.OfferText(CF_TEXT, "text");
    target->DragEnter(&closing, 0, POINTL{}, &effect);
    closing.during = [&] {
        band.deskBand->CloseDW(0);
        band.withSite->SetSite(nullptr);
        band.Release();
        testenv::PumpUntil([bandWindow] { return !IsWindow(bandWindow); });
    };
    EXPECT_EQ(target->Drop(&closing, 0, POINTL{}, &effect), S_OK);
    EXPECT_EQ(TWatchedForm::Live, 0);
    EXPECT_EQ(GlobalSize(closing.handedOut), 0u);
    EXPECT_EQ(shellSite.OutsideReferences(), 0);
    EXPECT_TRUE(errors.messages.empty());
}

TEST_F(BandForm, ASiteWindowDestroyedUnderTheBandByAnyThreadTakesTheFormQuietlyAndAForgedDestructionDoesNot)
{
    // What any program can send the shown input box leaves it a Unicode window.
    ctltest::ForgeDestructionMessages(box->Handle());
    SendMessageW(box->Handle(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"한국"));
    EXPECT_EQ(box->Text(), L"한국");

    // The shell rebuilds its taskbar, or ends, without closing its bands first.
    const HWND doomed =
        CreateWindowExA(0, "STATIC", "", WS_POPUP | WS_VISIBLE, 20, 60, 300, 24, nullptr, nullptr, nullptr, nullptr);
    TestSite shellSite;
    shellSite.window = doomed;
    ShellsBand band;
    ASSERT_EQ(band.withSite->SetSite(shellSite.Unknown()), S_OK);
    ASSERT_EQ(band.deskBand->ShowDW(TRUE), S_OK);
    // Held here too: beside this reference, the form's own and OLE's.
    IDropTarget* target = band.object->Form()->DropTarget();
    ASSERT_GT(target->AddRef(), 2u) << "OLE holds the drop target";
    DestroyWindow(doomed);
    testenv::PumpFor(350);  // a few ticks of the hover timer
    EXPECT_TRUE(errors.messages.empty()) << errors.messages.front();
    EXPECT_EQ(TWatchedForm::Live, 1);  // the fixture's own
    EXPECT_EQ(target->Release(), 0u) << "OLE still held the drop target of the freed form";

    // The object answers as without a form.
    HWND window = site;
    EXPECT_EQ(band.deskBand->GetWindow(&window), S_OK);
    EXPECT_EQ(window, nullptr);
    EXPECT_EQ(band.deskBand->ShowDW(TRUE), S_OK);
    EXPECT_EQ(band.deskBand->CloseDW(0), S_OK);
    DESKBANDINFO info{};
    info.dwMask = DBIM_ACTUAL;
    EXPECT_EQ(band.deskBand->GetBandInfo(0, DBIF_VIEWMODE_NORMAL, &info), E_UNEXPECTED);
    band.withSite->SetSite(nullptr);
    band.Release();
    EXPECT_EQ(shellSite.OutsideReferences(), 0);
    EXPECT_TRUE(errors.messages.empty());

    // A site window of another thread, as the shell's is. Hidden, the band first takes what any
    // program can send it: it stays whole.
    ctltest::ForeignWindow foreign;
    TestSite otherSite;
    otherSite.window = foreign.window;
    ShellsBand other;
    ASSERT_EQ(other.withSite->SetSite(otherSite.Unknown()), S_OK);
    ASSERT_EQ(other.deskBand->ShowDW(TRUE), S_OK);
    ASSERT_EQ(other.deskBand->ShowDW(FALSE), S_OK);
    TquormelForm* hidden = other.object->Form();
    IDropTarget* otherTarget = hidden->DropTarget();
    otherTarget->AddRef();
    const HWND bandWindow = hidden->Handle();
    const HWND panelWindow = hidden->PanelMain->Handle();
    ctltest::ForgeDestructionMessages(bandWindow);
    ASSERT_EQ(TWatchedForm::Live, 2);
    EXPECT_EQ(FindControl(bandWindow), hidden);
    EXPECT_EQ(GetParent(panelWindow), bandWindow);
    EXPECT_EQ(other.deskBand->ShowDW(TRUE), S_OK);
    EXPECT_TRUE(IsWindowVisible(panelWindow));

    // Then that thread destroys its window, the band's with it.
    foreign.Destroy();
    testenv::PumpFor(350);
    EXPECT_TRUE(errors.messages.empty()) << errors.messages.front();
    EXPECT_FALSE(IsWindow(bandWindow));
    EXPECT_EQ(TWatchedForm::Live, 1);
    EXPECT_EQ(otherTarget->Release(), 0u) << "OLE still held the drop target of the freed form";
    EXPECT_EQ(other.deskBand->CloseDW(0), S_OK);
    other.withSite->SetSite(nullptr);
    other.Release();
    EXPECT_EQ(otherSite.OutsideReferences(), 0);
}

TEST_F(BandForm, TheHotKeyJoinsTheInputOfTheProgramInFrontOnlyWhileItAnswers)
{
    {
        ForegroundProgram hung("hang");
        ASSERT_TRUE(hung.inFront);
        // Should the band wait on the hung program, the program is let go after a while, and the
        // test learns that it had to be.
        HangWatch watch{CreateEventA(nullptr, TRUE, FALSE, nullptr), &hung, false};
        HANDLE watcher = CreateThread(nullptr, 0, &HangWatch::Run, &watch, 0, nullptr);
        SetFocus(nullptr);
        SendMessageA(form->Handle(), WM_HOTKEY, 0, MAKELPARAM(MOD_CONTROL, 'K'));
        SetEvent(watch.done);
        WaitForSingleObject(watcher, INFINITE);
        CloseHandle(watcher);
        CloseHandle(watch.done);
        EXPECT_FALSE(watch.letGo) << "the hotkey waited on a program that does not answer";
        EXPECT_EQ(GetFocus(), box->EditHandle());
    }
    // A program that answers has its input joined: the focus leaves its window for the box.
    ForegroundProgram live("pump");
    ASSERT_TRUE(live.inFront);
    SetFocus(nullptr);
    SendMessageA(form->Handle(), WM_HOTKEY, 0, MAKELPARAM(MOD_CONTROL, 'K'));
    EXPECT_TRUE(testenv::PumpUntil([&] { return live.Title() == "lost"; })) << live.Title();
    EXPECT_TRUE(errors.messages.empty());
}

// What the user sees of the settings file in the band: the captions of the mode buttons after the
// load and after a reload, the button down for the stored mode, and the URL a search in each mode
// hands the browser, byte for byte as it arrives there.
TEST_F(BandForm, TheFilesCaptionsOnItsModeButtonsAtTheLoadAndAfterAReload)
{
    WriteCaptions({L"ウェブ", L"魚拓", L"英和", L"ＦＴＰ"});
    Reopen();
    EXPECT_EQ(Captions(), L"ウェブ|魚拓|英和|ＦＴＰ|");

    // The settings program saved other captions, one emptied: its mode's default comes back.
    WriteCaptions({L"全体", L"", L"国語", L"ソフト"});
    Reload();
    EXPECT_EQ(Captions(), L"全体|ｷｬｯｼｭ|国語|ソフト|");
    EXPECT_TRUE(errors.messages.empty());
}

TEST_F(BandForm, TheStoredModesButtonDownAfterALoadAndTheSearchButtonForAnyOtherValue)
{
    const std::pair<const char*, const char*> cases[] = {
        {"1", "1000"}, {"2", "0100"}, {"3", "0010"}, {"4", "0001"},
        {"0x4", "0001"}, {"0", "1000"}, {"5", "1000"}, {"x", "1000"},
    };
    for (const auto& [stored, down] : cases) {
        Write("BUTTON", "SELECTED", stored);
        Reopen();
        EXPECT_EQ(Down(), down) << "SELECTED=" << stored;
        // A reload leaves the mode as the user left it.
        form->SpeedButtonDic1->SetDown(true);
        Write("BUTTON", "SELECTED", "1");
        Reload();
        EXPECT_EQ(Down(), "0010") << "SELECTED=" << stored;
    }
}

// The built-in engines' URLs with the query's bytes in the code page, escaped one by one: a
// trail byte that is a letter stays a letter.
TEST_F(BandForm, ASearchInEachModeHandsTheBrowserItsEnginesUrlWithTheQueryEscapedInTheCodePage)
{
    e2e::UrlSink sink;
    ASSERT_TRUE(sink.Installed());
    WritePrivateProfileStringA("SEARCH0", nullptr, nullptr, ini.c_str());  // the fixture's engine
    Reload();
    const std::pair<const wchar_t*, const char*> searches[] = {
        {L"日本", "http://www.google.co.jp/search?num=50&hl=ja&lr=lang_ja&q=%93%FA%96%7B"},
        {L"http://a.jp/~b?c=1&d#e",
         "http://web.archive.org/archive_request_ng?collection=web&url=http%3A%2F%2Fa.jp%2F%7Eb%3Fc%3D1%26d%23e"},
        {L"英和 ｷｬｯｼｭ\u2603", "http://dic.yahoo.co.jp/bin/dsearch?t=o&d=all&p=%89p%98a+%B7%AC%AF%BC%AD%3F"},
        {L" a+b%c_(1)!$'*-.@,;\\\t ",
         "http://www.alltheweb.com/search?cat=ftp&cs=cp932&q=+a%2Bb%25c_(1)!$'*-.@%2C%3B%5C%09+"},
    };
    std::vector<std::string> expected;
    for (int m = 0; m < 4; ++m) {
        ModeButton(m)->Click();
        Search(searches[m].first);
        expected.push_back(searches[m].second);
        ASSERT_TRUE(sink.WaitFor(expected.size())) << m;
    }
    EXPECT_EQ(sink.Received(), expected);
    EXPECT_TRUE(errors.messages.empty());
}
