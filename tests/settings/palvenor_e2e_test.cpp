// palvenor.exe as the user starts it: a second start brings the running dialog to the front and
// ends with exit code 0 without a window of its own; a window of another class captioned like
// the dialog's form resource keeps nobody from opening the dialog. And what the file carries:
// version record, main icon and manifest. Each start of a program costs seconds (32-bit starts
// run under an emulator here), so the cases share as few starts as they can.
#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "BandRegistration.h"
#include "TestEnv.h"
#include "dlgunit.h"

namespace {

struct Process {
    explicit Process(bool suspended = false)
    {
        STARTUPINFOA si{};
        si.cb = sizeof si;
        const std::string exe = testenv::WindowsPath(PALVENOR_EXE);
        std::string command = "\"" + exe + "\"";
        started = CreateProcessA(exe.c_str(), command.data(), nullptr, nullptr, FALSE,
                                 suspended ? CREATE_SUSPENDED : 0, nullptr, nullptr, &si, &info);
    }
    ~Process()
    {
        if (!started) return;
        if (WaitForSingleObject(info.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(info.hProcess, 99);
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
    }
    bool Ended(DWORD boundMs = 60000)
    {
        return testenv::PumpUntil([this] { return WaitForSingleObject(info.hProcess, 0) == WAIT_OBJECT_0; }, boundMs);
    }
    DWORD ExitCode()
    {
        DWORD code = 12345;
        GetExitCodeProcess(info.hProcess, &code);
        return code;
    }
    BOOL started = FALSE;
    PROCESS_INFORMATION info{};
};

std::vector<HWND> DialogWindows()
{
    std::vector<HWND> found;
    for (HWND w = FindWindowExA(nullptr, nullptr, "TkervoOKDlg", nullptr); w;
         w = FindWindowExA(nullptr, w, "TkervoOKDlg", nullptr))
        found.push_back(w);
    return found;
}

// The windows that the programs' main threads create, by thread and class name, as the system
// reports them (out of context: the reports reach this thread's queue in their own time).
struct Created {
    DWORD thread;
    std::string className;
};
std::vector<Created> g_created;
void CALLBACK OnCreate(HWINEVENTHOOK, DWORD, HWND window, LONG object, LONG, DWORD thread, DWORD)
{
    if (object != OBJID_WINDOW || !window) return;
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    g_created.push_back({thread, name});
}
std::vector<std::string> CreatedBy(DWORD thread)
{
    std::vector<std::string> names;
    for (const Created& c : g_created)
        if (c.thread == thread) names.push_back(c.className);
    return names;
}

class PalvenorProcess : public settingstest::BandRegistration {};

TEST_F(PalvenorProcess, SecondStartBringsTheFirstDialogToTheFrontAndEndsWithoutAWindow)
{
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "KervoTestDecoy";
    RegisterClassA(&wc);
    HWND decoy = CreateWindowExA(0, "KervoTestDecoy", "TkervoOKDlg", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 100, 80,
                                 nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_TRUE(decoy);

    Process first(true);
    ASSERT_TRUE(first.started);
    HWINEVENTHOOK hook = SetWinEventHook(EVENT_OBJECT_CREATE, EVENT_OBJECT_CREATE, nullptr, OnCreate,
                                         first.info.dwProcessId, 0, WINEVENT_OUTOFCONTEXT);
    ResumeThread(first.info.hThread);
    // Found once its creation has given it the application title in place of the resource's.
    HWND dialog = nullptr;
    ASSERT_TRUE(testenv::PumpUntil([&] {
        const std::vector<HWND> found = DialogWindows();
        wchar_t caption[64] = {};
        if (found.size() == 1) GetWindowTextW(found[0], caption, 64);
        dialog = found.empty() ? nullptr : found[0];
        return std::wstring(caption) == kPalvenorTitle;
    }, 60000)) << "no dialog opened";
    UnhookWinEvent(hook);

    SetForegroundWindow(decoy);
    Process second(true);
    ASSERT_TRUE(second.started);
    hook = SetWinEventHook(EVENT_OBJECT_CREATE, EVENT_OBJECT_CREATE, nullptr, OnCreate, second.info.dwProcessId, 0,
                           WINEVENT_OUTOFCONTEXT);
    ResumeThread(second.info.hThread);
    ASSERT_TRUE(second.Ended());
    testenv::PumpFor(200);
    UnhookWinEvent(hook);
    EXPECT_EQ(second.ExitCode(), 0u);
    EXPECT_EQ(DialogWindows(), std::vector<HWND>{dialog});
    EXPECT_TRUE(testenv::PumpUntil([&] { return GetForegroundWindow() == dialog; }, 5000));
    // The probe sees a program's windows: the first start's dialog among them; of the second
    // start, none.
    const std::vector<std::string> ofFirst = CreatedBy(first.info.dwThreadId);
    EXPECT_NE(std::find(ofFirst.begin(), ofFirst.end(), "TkervoOKDlg"), ofFirst.end());
    const std::vector<std::string> ofSecond = CreatedBy(second.info.dwThreadId);
    EXPECT_TRUE(ofSecond.empty()) << ofSecond.size() << " windows, the first of class " << ofSecond[0];

    PostMessageA(dialog, WM_CLOSE, 0, 0);
    ASSERT_TRUE(first.Ended());
    EXPECT_EQ(first.ExitCode(), 0u);
    DestroyWindow(decoy);
}

std::wstring VersionString(const std::vector<char>& info, const wchar_t* name)
{
    void* value = nullptr;
    UINT length = 0;
    const std::wstring path = std::wstring(L"\\StringFileInfo\\041103A4\\") + name;
    if (!VerQueryValueW(info.data(), path.c_str(), &value, &length) || !length) return L"<none>";
    return std::wstring(static_cast<const wchar_t*>(value));
}

TEST(PalvenorFile, CarriesVersionRecordMainIconAndManifest)
{
    const std::string exe = testenv::WindowsPath(PALVENOR_EXE);
    const DWORD size = GetFileVersionInfoSizeA(exe.c_str(), nullptr);
    ASSERT_GT(size, 0u);
    std::vector<char> info(size);
    ASSERT_TRUE(GetFileVersionInfoA(exe.c_str(), 0, size, info.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, MAKELONG(0, 1));
    EXPECT_EQ(fixed->dwFileVersionLS, MAKELONG(0, 3));
    EXPECT_EQ(fixed->dwProductVersionMS, MAKELONG(0, 1));
    EXPECT_EQ(fixed->dwProductVersionLS, MAKELONG(0, 3));
    WORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                               &length));
    EXPECT_EQ(translation[0], 0x0411);
    EXPECT_EQ(translation[1], 932);
    EXPECT_EQ(VersionString(info, L"FileDescription"), L"Palvenor？");
    EXPECT_EQ(VersionString(info, L"ProductVersion"), L"1.0.0.0");
    EXPECT_EQ(VersionString(info, L"FileVersion"), L"1.0.3.0");

    HMODULE image = LoadLibraryExA(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_TRUE(image);
    EXPECT_TRUE(FindResourceA(image, "MAINICON", MAKEINTRESOURCEA(14)));  // RT_GROUP_ICON
    HRSRC manifest = FindResourceA(image, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
    ASSERT_TRUE(manifest);
    const std::string text(static_cast<const char*>(LockResource(LoadResource(image, manifest))),
                           SizeofResource(image, manifest));
    EXPECT_NE(text.find("Microsoft.Windows.Common-Controls"), std::string::npos);
    EXPECT_NE(text.find("version=\"6.0.0.0\""), std::string::npos);
    EXPECT_TRUE(FindResourceA(image, "TKERVOOKDLG", MAKEINTRESOURCEA(10)));
    EXPECT_TRUE(FindResourceA(image, "TADDENGINE", MAKEINTRESOURCEA(10)));
    FreeLibrary(image);
}

}  // namespace
