// Instkervo.exe end to end: the program runs in a scratch folder beside a stand-in kervodll.dll,
// and the test drives its window from outside with real messages, as a user's clicks and keys
// would arrive. A 32-bit program takes seconds to start here, so each run covers many steps.
#include <gtest/gtest.h>

#include <string>

#include "TestRegistry.h"
#include "LayerTestKit.h"
#include "TestEnv.h"

using kit::Ansi;

namespace {

const std::string kCategory = "Component Categories\\{00021492-0000-0000-C000-000000000046}";
const std::string kPostSetup =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Discardable\\PostSetup\\"
    "Component Categories\\";
const std::string kInfoCache = kPostSetup + "{00021493-0000-0000-C000-000000000046}\\Enum";
const std::string kCommCache = kPostSetup + "{00021494-0000-0000-C000-000000000046}\\Enum";

void Create(HKEY root, const std::string& path) { testenv::CreateKeyPath(root, path); }

void FillCaches()
{
    Create(HKEY_CLASSES_ROOT, kCategory + "\\Enum\\old");
    Create(HKEY_CLASSES_ROOT, kCategory + "\\En\\old\\deeper");
    Create(HKEY_CURRENT_USER, kInfoCache + "\\old");
    Create(HKEY_CURRENT_USER, kCommCache);
}

void ExpectCachesCleared()
{
    EXPECT_TRUE(testenv::KeyExists(HKEY_CLASSES_ROOT, kCategory));
    EXPECT_FALSE(testenv::KeyExists(HKEY_CLASSES_ROOT, kCategory + "\\Enum"));
    EXPECT_FALSE(testenv::KeyExists(HKEY_CLASSES_ROOT, kCategory + "\\En"));
    EXPECT_FALSE(testenv::KeyExists(HKEY_CURRENT_USER, kInfoCache));
    EXPECT_FALSE(testenv::KeyExists(HKEY_CURRENT_USER, kCommCache));
}

struct FindData {
    DWORD pid;
    std::string text;
    HWND found;
};

BOOL CALLBACK FindTopLevel(HWND wnd, LPARAM param)
{
    auto* data = reinterpret_cast<FindData*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(wnd, &pid);
    char cls[64] = "";
    GetClassNameA(wnd, cls, sizeof cls);
    if (pid == data->pid && std::string(cls) == "obj_Form" && IsWindowVisible(wnd)) {
        data->found = wnd;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK FindChildByText(HWND wnd, LPARAM param)
{
    auto* data = reinterpret_cast<FindData*>(param);
    char text[128] = "";
    GetWindowTextA(wnd, text, sizeof text);
    if (data->text == text) {
        data->found = wnd;
        return FALSE;
    }
    return TRUE;
}

// One run of the installer in a folder of its own.
class Installer {
public:
    explicit Installer(const std::string& folder) : folder_(testenv::Wide(folder)) {}
    explicit Installer(const std::wstring& folder) : folder_(folder) {}
    ~Installer()
    {
        if (pi_.hProcess) {
            if (WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT)
                TerminateProcess(pi_.hProcess, 99);
            CloseHandle(pi_.hProcess);
            CloseHandle(pi_.hThread);
        }
    }

    // Starts the program and waits for its window; false when none appears.
    bool Start()
    {
        std::wstring exe = folder_ + L"\\Instkervo.exe";
        STARTUPINFOW si{};
        si.cb = sizeof si;
        if (!CreateProcessW(exe.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr,
                            folder_.c_str(), &si, &pi_))
            return false;
        for (int i = 0; i < 1200 && !window_; ++i) {
            FindData data{pi_.dwProcessId, "", nullptr};
            EnumWindows(&FindTopLevel, reinterpret_cast<LPARAM>(&data));
            window_ = data.found;
            if (!window_) {
                if (WaitForSingleObject(pi_.hProcess, 50) != WAIT_TIMEOUT) return false;
            }
        }
        // The window is up; let the program reach its loop.
        WaitForInputIdle(pi_.hProcess, 10000);
        SendMessageA(window_, WM_NULL, 0, 0);
        return window_ != nullptr;
    }

    HWND Window() const { return window_; }

    HWND Child(const wchar_t* text) const
    {
        FindData data{0, Ansi(text), nullptr};
        EnumChildWindows(window_, &FindChildByText, reinterpret_cast<LPARAM>(&data));
        return data.found;
    }

    // The focus inside the installer, or its window when nothing has it.
    HWND Focus() const
    {
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        if (GetGUIThreadInfo(pi_.dwThreadId, &info) && info.hwndFocus) return info.hwndFocus;
        return window_;
    }

    void Key(UINT vk)
    {
        SendMessageA(Focus(), WM_KEYDOWN, vk, kit::KeyLParam(vk, false));
        SendMessageA(Focus(), WM_KEYUP, vk, kit::KeyLParam(vk, true));
    }

    bool Running() const { return WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT; }

    // Waits for the end; the exit code, or -1 when it does not end.
    long Ended()
    {
        if (WaitForSingleObject(pi_.hProcess, 60000) != WAIT_OBJECT_0) return -1;
        DWORD code = 0;
        GetExitCodeProcess(pi_.hProcess, &code);
        return static_cast<long>(code);
    }

private:
    std::wstring folder_;
    PROCESS_INFORMATION pi_{};
    HWND window_ = nullptr;
};

class InstkervoProgram : public testing::Test {
protected:
    void SetUp() override
    {
        folder = testenv::MakeScratchDir("instkervo");
        ASSERT_FALSE(folder.empty());
        ASSERT_TRUE(CopyFileA(testenv::WindowsPath(INSTKERVO_EXE).c_str(),
                              (folder + "\\Instkervo.exe").c_str(), FALSE));
    }
    void TearDown() override { testenv::RemoveTree(folder); }
    void PutLibrary(const char* built, const char* name)
    {
        ASSERT_TRUE(CopyFileA(testenv::WindowsPath(built).c_str(), (folder + "\\" + name).c_str(), FALSE));
    }
    std::string Log(const char* library = "kervodll.dll")
    {
        return testenv::ReadFileBytes(folder + "\\" + library + ".log");
    }
    std::string folder;
};

const char kCleanCall[] = " enum=0 en=0 info=0 comm=0\n";

}  // namespace

TEST_F(InstkervoProgram, RegistersAndUnregistersBetweenCacheClearingsAndEndsOnEscape)
{
    PutLibrary(CALLS_DLL, "kervodll.dll");
    FillCaches();
    Installer run(folder);
    ASSERT_TRUE(run.Start());

    // The window as the user meets it: its caption, and a border that does not size.
    HWND wnd = run.Window();
    char caption[128] = "";
    GetWindowTextA(wnd, caption, sizeof caption);
    EXPECT_EQ(std::string(caption), Ansi(L"Palvenor 日本語版"));
    RECT r;
    GetWindowRect(wnd, &r);
    EXPECT_EQ(SendMessageA(wnd, WM_NCHITTEST, 0, MAKELPARAM(r.right - 1, (r.top + r.bottom) / 2)),
              HTBORDER);

    HWND group = run.Child(L"インストール");
    HWND reg = run.Child(L"登録");
    HWND unreg = run.Child(L"解除");
    HWND close = run.Child(L"閉じる");
    ASSERT_TRUE(group && reg && unreg && close);
    EXPECT_EQ(GetParent(reg), group);
    EXPECT_EQ(run.Focus(), group);   // the window's current control when it was activated

    // Each press: caches cleared, library loaded, export called, library freed, caches cleared.
    SendMessageA(reg, BM_CLICK, 0, 0);
    EXPECT_EQ(Log(), std::string("attach\nregister") + kCleanCall + "detach\n");
    ExpectCachesCleared();   // the stand-in filled them again during its call

    SendMessageA(reg, BM_CLICK, 0, 0);
    SendMessageA(unreg, BM_CLICK, 0, 0);
    EXPECT_EQ(Log(), std::string("attach\nregister") + kCleanCall + "detach\n" +
                         "attach\nregister" + kCleanCall + "detach\n" +
                         "attach\nunregister" + kCleanCall + "detach\n");
    ExpectCachesCleared();

    // Enter: no default button, nothing happens.
    const std::string before = Log();
    run.Key(VK_RETURN);
    EXPECT_TRUE(run.Running());
    EXPECT_EQ(Log(), before);

    run.Key(VK_ESCAPE);
    EXPECT_EQ(run.Ended(), 0);
}

// In a folder whose name the code page cannot spell (with a blank as well), the library beside
// the program is the one loaded and registered.
TEST_F(InstkervoProgram, RegistersTheLibraryBesideItInAFolderTheCodePageCannotSpell)
{
    const std::wstring wide = testenv::Wide(folder) + L"\\inst Jos\u00E9";
    ASSERT_TRUE(CreateDirectoryW(wide.c_str(), nullptr));
    ASSERT_TRUE(CopyFileW(testenv::Wide(folder + "\\Instkervo.exe").c_str(), (wide + L"\\Instkervo.exe").c_str(),
                          FALSE));
    ASSERT_TRUE(CopyFileW(testenv::Wide(testenv::WindowsPath(CALLS_DLL)).c_str(), (wide + L"\\kervodll.dll").c_str(),
                          FALSE));
    Installer run(wide);
    ASSERT_TRUE(run.Start());
    HWND reg = run.Child(L"登録");
    ASSERT_TRUE(reg);
    SendMessageA(reg, BM_CLICK, 0, 0);
    EXPECT_EQ(testenv::ReadFileBytes(wide + L"\\kervodll.dll.log"),
              std::string("attach\nregister") + kCleanCall + "detach\n");
    run.Key(VK_ESCAPE);
    EXPECT_EQ(run.Ended(), 0);
}

TEST_F(InstkervoProgram, WithoutTheLibraryByItsNameStillClearsTheCachesAndEndsByTheCloseBox)
{
    PutLibrary(CALLS_DLL, "kervo.dll");   // beside it, but not by the name it loads
    Installer run(folder);
    ASSERT_TRUE(run.Start());
    HWND reg = run.Child(L"登録");
    HWND unreg = run.Child(L"解除");
    ASSERT_TRUE(reg && unreg);

    FillCaches();
    SendMessageA(unreg, BM_CLICK, 0, 0);
    ExpectCachesCleared();
    FillCaches();
    SendMessageA(reg, BM_CLICK, 0, 0);
    ExpectCachesCleared();
    EXPECT_EQ(Log("kervo.dll"), "");
    EXPECT_TRUE(run.Running());
    EXPECT_TRUE(IsWindowVisible(run.Window()));

    PostMessageA(run.Window(), WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(run.Ended(), 0);
}

TEST_F(InstkervoProgram, ALibraryWithoutTheExportsIsLoadedAndFreedAndNothingElse)
{
    PutLibrary(NOEXPORTS_DLL, "kervodll.dll");
    Installer run(folder);
    ASSERT_TRUE(run.Start());
    HWND reg = run.Child(L"登録");
    HWND unreg = run.Child(L"解除");
    HWND close = run.Child(L"閉じる");
    ASSERT_TRUE(reg && unreg && close);

    SendMessageA(reg, BM_CLICK, 0, 0);
    SendMessageA(unreg, BM_CLICK, 0, 0);
    EXPECT_EQ(Log(), "attach\ndetach\nattach\ndetach\n");
    EXPECT_TRUE(run.Running());
    EXPECT_TRUE(IsWindowVisible(run.Window()));

    SendMessageA(close, BM_CLICK, 0, 0);
    EXPECT_EQ(run.Ended(), 0);
}
