#pragma once
// Appends lines to "<this library's path>.log", so a test sees what the installer did with it.
#include <windows.h>

#include <string>

inline HMODULE& ThisLibrary()
{
    static HMODULE module = nullptr;
    return module;
}

inline void AppendLog(const std::string& line)
{
    // Wide: the folder's name may be one the code page cannot spell.
    wchar_t path[MAX_PATH];
    DWORD n = GetModuleFileNameW(ThisLibrary(), path, MAX_PATH - 5);
    std::wstring file = std::wstring(path, n) + L".log";
    HANDLE h = CreateFileW(file.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return;
    std::string text = line + "\n";
    DWORD put = 0;
    WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &put, nullptr);
    CloseHandle(h);
}

inline void LogAttachAndDetach(HINSTANCE instance, DWORD reason)
{
    if (reason == DLL_PROCESS_ATTACH) {
        ThisLibrary() = instance;
        AppendLog("attach");
    } else if (reason == DLL_PROCESS_DETACH) {
        AppendLog("detach");
    }
}
