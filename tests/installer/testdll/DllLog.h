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
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(ThisLibrary(), path, MAX_PATH - 5);
    std::string file = std::string(path, n) + ".log";
    HANDLE h = CreateFileA(file.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
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
