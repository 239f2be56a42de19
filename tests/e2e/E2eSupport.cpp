#include "E2eSupport.h"

#include "SysUtils.h"
#include "TestEnv.h"

namespace e2e {

namespace {

bool SetCommand(const wchar_t* scheme, const std::wstring& command)
{
    const std::wstring key = std::wstring(scheme) + L"\\shell\\open\\command";
    HKEY h = nullptr;
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &h, nullptr) != 0)
        return false;
    const LONG rc = RegSetValueExW(h, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                                   static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(h);
    return rc == 0;
}

}  // namespace

UrlSink::UrlSink()
{
    dir_ = testenv::MakeScratchDir("urlsink");
    file_ = dir_ + "\\urls.txt";
    const std::wstring command = L"\"" + WideFromAnsi(testenv::ProgramDir()) + L"urlsink.exe\" \"%1\"";
    installed_ = !dir_.empty() && SetCommand(L"http", command) && SetCommand(L"https", command) &&
                 SetEnvironmentVariableW(L"KERVO_URLSINK_FILE", WideFromAnsi(file_).c_str());
}

UrlSink::~UrlSink()
{
    SetEnvironmentVariableW(L"KERVO_URLSINK_FILE", nullptr);
    testenv::RemoveTree(dir_);
}

std::wstring UrlSink::Command(const wchar_t* scheme)
{
    const std::wstring key = std::wstring(scheme) + L"\\shell\\open\\command";
    wchar_t buf[1024] = {};
    DWORD size = sizeof buf - sizeof(wchar_t);
    if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, buf, &size) != 0) return L"";
    return buf;
}

std::vector<std::string> UrlSink::Received() const
{
    std::vector<std::string> lines;
    const std::string bytes = testenv::ReadFileBytes(file_);
    size_t start = 0;
    for (size_t nl; (nl = bytes.find('\n', start)) != std::string::npos; start = nl + 1)
        lines.push_back(bytes.substr(start, nl - start));
    return lines;
}

bool UrlSink::WaitFor(size_t count) const
{
    // Generous: a 32-bit process starts in seconds where it runs under an emulator.
    return testenv::PumpUntil([&] { return Received().size() >= count; }, 60000);
}

namespace {
MessageBoxes* watching = nullptr;  // the thread timer's procedure has no argument of its own
}

MessageBoxes::MessageBoxes() : timer_(SetTimer(nullptr, 0, 50, &Look)) { watching = this; }

MessageBoxes::~MessageBoxes()
{
    KillTimer(nullptr, timer_);
    watching = nullptr;
}

void CALLBACK MessageBoxes::Look(HWND, UINT, UINT_PTR, DWORD)
{
    if (watching) EnumThreadWindows(GetCurrentThreadId(), &CloseIfBox, reinterpret_cast<LPARAM>(watching));
}

BOOL CALLBACK MessageBoxes::CloseIfBox(HWND window, LPARAM self)
{
    char className[16] = {};
    GetClassNameA(window, className, sizeof className);
    if (lstrcmpA(className, "#32770") != 0 || !IsWindowVisible(window)) return TRUE;
    char caption[256] = {}, text[1024] = {};
    GetWindowTextA(window, caption, sizeof caption);
    GetDlgItemTextA(window, 0xFFFF, text, sizeof text);  // a message box's text control
    reinterpret_cast<MessageBoxes*>(self)->seen.push_back({caption, text});
    SendMessageA(window, WM_COMMAND, IDOK, 0);
    return TRUE;
}

void HostedBand::TearDown()
{
    host.Close();
    if (library.Loaded()) {
        EXPECT_EQ(library.CanUnloadNow(), S_OK) << "the band library still holds itself after the band closed";
        library.UnloadIfUnused();
    }
}

::testing::AssertionResult HostedBand::Host(const std::wstring& libraryName, const CLSID& classID)
{
    if (!library.Loaded() && !library.Load(WideFromAnsi(testenv::ProgramDir()) + libraryName))
        return ::testing::AssertionFailure() << "load failed";
    const HRESULT hr = host.Open(library, classID);
    if (FAILED(hr)) return ::testing::AssertionFailure() << "open failed: " << AnsiFromWide(host.Error());
    return ::testing::AssertionSuccess();
}

}  // namespace e2e
