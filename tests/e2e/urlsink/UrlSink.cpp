// urlsink.exe: the browser of the end-to-end tests. The test prefix names it as the program that
// opens http and https URLs ("C:\...\urlsink.exe" "%1"), so a URL that the band hands to the shell
// ends here instead of in a browser. It appends its first argument, exactly as it arrived, as
// one UTF-8 line to the file named by the environment variable KERVO_URLSINK_FILE (inherited from
// the test that started the shell's open), or to urlsink.log beside itself when that is unset.
#include <windows.h>
#include <shellapi.h>

#include <string>

namespace {

std::wstring SinkFile()
{
    wchar_t buf[MAX_PATH];
    const DWORD n = GetEnvironmentVariableW(L"KERVO_URLSINK_FILE", buf, MAX_PATH);
    if (n > 0 && n < MAX_PATH) return std::wstring(buf, n);
    const DWORD m = GetModuleFileNameW(nullptr, buf, MAX_PATH);
    std::wstring path(buf, m);
    return path.substr(0, path.find_last_of(L'\\') + 1) + L"urlsink.log";
}

std::string Utf8(const std::wstring& text)
{
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                      nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv || argc < 2) return 2;
    const std::string line = Utf8(argv[1]) + "\n";
    LocalFree(argv);
    // One append per URL: several sinks may write at once, and each line stays whole.
    HANDLE f = CreateFileW(SinkFile().c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return 1;
    DWORD put = 0;
    const BOOL ok = WriteFile(f, line.data(), static_cast<DWORD>(line.size()), &put, nullptr);
    CloseHandle(f);
    return ok && put == line.size() ? 0 : 1;
}
