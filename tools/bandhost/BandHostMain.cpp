// bandhost.exe: shows a band library in a taskbar-like strip, so that the band can be seen and
// used where no shell hosts desk bands (Wine). It registers the library (DllRegisterServer),
// hosts the band and runs the shell's message loop until the strip is closed (its context menu's
// 閉じる, or Alt+F4), then closes the band as the shell does and unloads the library.
//
//   bandhost.exe [/clsid:{GUID}] [/noregister] [/type:TEXT] [/ready:FILE] [/enter] LIBRARY
//
//   /clsid:{GUID}  the class to host; the search band's class by default
//   /noregister    do not call DllRegisterServer first
//   /type:TEXT     type TEXT into the band once it is shown (real keyboard input, as Unicode
//                  key packets through the shell's loop)
//   /ready:FILE    when shown (and typed), write the strip's screen rectangle "left top right
//                  bottom" into FILE; close the strip once FILE is deleted (for scripts)
//   /enter         once FILE is deleted, press Enter in the band (a real key, as the user would)
//                  and close the strip after the band has handled it
#include <windows.h>
#include <ole2.h>
#include <shellapi.h>

#include <cstdio>
#include <string>
#include <vector>

#include "BandHost.h"
#include "BandSettings.h"

namespace {

void Say(const std::wstring& text)
{
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(n > 0 ? n : 1), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, bytes.data(), n, nullptr, nullptr);
    std::fprintf(stderr, "bandhost: %s\n", bytes.c_str());
    std::fflush(stderr);
}

// What the script asked for, and where the timer steps stand.
struct Script {
    bandhost::TBandHost* host = nullptr;
    std::wstring text, readyFile;
    bool enter = false;
    bool typed = false, ready = false, entered = false;
} script;

void TypeText(const std::wstring& text)
{
    std::vector<INPUT> inputs;
    for (wchar_t c : text) {
        INPUT in{};
        in.type = INPUT_KEYBOARD;
        in.ki.wScan = c;
        in.ki.dwFlags = KEYEVENTF_UNICODE;
        inputs.push_back(in);
        in.ki.dwFlags = KEYEVENTF_UNICODE | KEYEVENTF_KEYUP;
        inputs.push_back(in);
    }
    if (!inputs.empty()) SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

void PressEnter()
{
    INPUT keys[2]{};
    keys[0].type = keys[1].type = INPUT_KEYBOARD;
    keys[0].ki.wVk = keys[1].ki.wVk = VK_RETURN;
    keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, keys, sizeof(INPUT));
}

bool FileExists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Types once, reports readiness once the typed keys are handled, then waits for the script to
// take its picture and delete the file; then presses Enter if asked, and closes once the keys are
// handled.
void CALLBACK ScriptTick(HWND, UINT, UINT_PTR, DWORD)
{
    try {
        if (!script.host || !script.host->Strip()) return;
        if (!script.typed) {
            script.typed = true;
            if (!script.text.empty()) TypeText(script.text);
            return;
        }
        if (!script.ready) {
            if (GetQueueStatus(QS_INPUT) != 0) return;
            script.ready = true;
            RECT rc;
            GetWindowRect(script.host->Strip(), &rc);
            char line[96];
            const int n = wsprintfA(line, "%ld %ld %ld %ld\n", rc.left, rc.top, rc.right, rc.bottom);
            HANDLE f = CreateFileW(script.readyFile.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
            if (f != INVALID_HANDLE_VALUE) {
                DWORD put = 0;
                WriteFile(f, line, static_cast<DWORD>(n), &put, nullptr);
                CloseHandle(f);
            }
            return;
        }
        if (FileExists(script.readyFile)) return;
        if (script.enter && !script.entered) {
            script.entered = true;
            PressEnter();
            return;
        }
        if (GetQueueStatus(QS_INPUT) != 0) return;
        PostMessageW(script.host->Strip(), WM_CLOSE, 0, 0);
    } catch (...) {
    }
}

int HostMain(int argc, wchar_t** argv)
{
    CLSID classID = BandClassId;
    bool doRegister = true;
    std::wstring library;
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        if (arg.rfind(L"/clsid:", 0) == 0) {
            std::wstring text = arg.substr(7);
            if (FAILED(CLSIDFromString(text.data(), &classID))) return Say(L"not a class id: " + text), 2;
        } else if (arg == L"/noregister") {
            doRegister = false;
        } else if (arg.rfind(L"/type:", 0) == 0) {
            script.text = arg.substr(6);
        } else if (arg.rfind(L"/ready:", 0) == 0) {
            script.readyFile = arg.substr(7);
        } else if (arg == L"/enter") {
            script.enter = true;
        } else if (library.empty() && !arg.empty() && arg[0] != L'/') {
            library = arg;
        } else {
            return Say(L"usage: bandhost.exe [/clsid:{GUID}] [/noregister] [/type:TEXT] [/ready:FILE] [/enter] "
                       L"LIBRARY"),
                   2;
        }
    }
    if (library.empty()) return Say(L"no band library given"), 2;
    // The shell asks for the library by its full path, as the registry names it.
    wchar_t full[MAX_PATH];
    if (GetFullPathNameW(library.c_str(), MAX_PATH, full, nullptr)) library = full;

    bandhost::TBandLibrary lib;
    if (!lib.Load(library)) return Say(lib.Error()), 1;
    if (doRegister) {
        const HRESULT hr = lib.Register();
        if (FAILED(hr)) Say(L"DllRegisterServer failed; hosting it all the same");
    }
    int rc = 0;
    {
        bandhost::TBandHost host;
        host.QuitWhenClosed = true;
        if (FAILED(host.Open(lib, classID))) return Say(host.Error()), 1;
        SetForegroundWindow(host.Strip());
        host.Activate();
        if (!script.readyFile.empty() || !script.text.empty()) {
            script.host = &host;
            SetTimer(nullptr, 0, 300, &ScriptTick);
        }
        rc = host.Run();
        script.host = nullptr;
    }
    if (!lib.UnloadIfUnused()) Say(L"the library still answers that it cannot be unloaded");
    return rc;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    try {
        if (FAILED(OleInitialize(nullptr))) return Say(L"OleInitialize failed"), 1;
        int argc = 0;
        wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
        const int rc = argv ? HostMain(argc, argv) : 2;
        if (argv) LocalFree(argv);
        OleUninitialize();
        return rc;
    } catch (...) {
        Say(L"unexpected error");
        return 1;
    }
}
