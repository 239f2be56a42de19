#pragma once
// The platform calls that one search and one reload of the search band cannot do without, made
// alone, without the band: the floor under those two figures. A search hands its URL to the
// shell (the benchmark's stand-in for ShellExecuteW) and its save writes the history keys and
// SELECTED; a reload reads the captions, engines and hotkey. Both work on a copy of the band's
// settings file, so the system sees a file of the same content, and call the ANSI functions
// the band calls.
#include <windows.h>

#include <string>

namespace bench {

using TShellExecute = HINSTANCE(WINAPI*)(HWND, LPCWSTR, LPCWSTR, LPCWSTR, LPCWSTR, INT);

// Mean microseconds of: the shell's call with the URL, then each history key the file holds and
// SELECTED written back with the values it holds, as the band's save writes them.
double TimeSearchCalls(const std::wstring& settingsFile, const std::wstring& url, TShellExecute shell, int times);

// Mean microseconds of a reload's reads. With sectionsNoted, what the band's way of reading
// needs: the file's section names once, then the keys of the sections it holds; without, every
// key read by itself.
double TimeReloadCalls(const std::wstring& settingsFile, bool sectionsNoted, int times);

}  // namespace bench
