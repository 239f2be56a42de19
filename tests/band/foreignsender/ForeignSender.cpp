// foreignsender.exe: another program that sends messages to the band's windows, for the tests of
// what the band takes from outside its process. Windows passes messages at and above WM_USER (and
// WM_NOTIFY) between processes as they stand, so a number sent here arrives as that number where
// the band might expect a pointer. Arguments: one "window:message:lparam" per message, each part
// in hexadecimal, sent in order. The exit code is 0 when every message was answered 0, else one
// more than the index of the first that was not (or that was not answered in time).
#include <windows.h>
#include <shellapi.h>

#include <cwchar>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv || argc < 2) return 255;
    for (int i = 1; i < argc; ++i) {
        wchar_t* rest = argv[i];
        const auto window = reinterpret_cast<HWND>(static_cast<UINT_PTR>(std::wcstoull(rest, &rest, 16)));
        const auto msg = static_cast<UINT>(std::wcstoul(rest + 1, &rest, 16));
        const auto lParam = static_cast<LPARAM>(std::wcstoull(rest + 1, &rest, 16));
        DWORD_PTR answer = 1;
        if (!SendMessageTimeoutW(window, msg, 0, lParam, SMTO_NORMAL, 30000, &answer) || answer != 0) return i;
    }
    return 0;
}
