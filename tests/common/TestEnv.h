#pragma once
// Helpers shared by the test programs: scratch folders and files on the Wine drive.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace testenv {

// A new, empty folder under the Windows temporary folder, unique to this process and call.
std::string MakeScratchDir(const std::string& stem);

// Removes a folder and everything below it (names the code page cannot spell too); missing is
// fine.
void RemoveTree(const std::string& path);
void RemoveTree(const std::wstring& path);

// Whole file as bytes; empty when it cannot be read.
std::string ReadFileBytes(const std::string& path);
std::string ReadFileBytes(const std::wstring& path);

// Writes bytes to a file, replacing it. Returns false on failure.
bool WriteFileBytes(const std::string& path, const std::string& bytes);
bool WriteFileBytes(const std::wstring& path, const std::string& bytes);

// The code page's text as the system reads it in a file name.
std::wstring Wide(const std::string& ansi);

// A Unix path (as the build names its files) as Wine's programs see it: on drive Z:.
std::string WindowsPath(const char* unixPath);

// The folder of the running test program, with a trailing backslash.
std::string ProgramDir();

// Translates and dispatches every message waiting in the thread's queue.
void PumpPending();

// Pumps the thread's messages until done() holds; false when boundMs passed first. The bound only
// keeps a broken test from hanging: no test asserts on how long anything takes.
bool PumpUntil(const std::function<bool()>& done, DWORD boundMs = 10000);

// Pumps the thread's messages for about ms milliseconds.
void PumpFor(DWORD ms);

// Takes every GDI handle the process has left (one-pixel regions) while it lives: the state of a
// process whose GDI objects ran out, where no brush, font or pen can be made, nor a context that
// the system has none of at hand.
// Taken() counts them: the free slots there were.
class GdiExhaustion {
public:
    GdiExhaustion();
    ~GdiExhaustion();
    GdiExhaustion(const GdiExhaustion&) = delete;
    GdiExhaustion& operator=(const GdiExhaustion&) = delete;
    int Taken() const { return static_cast<int>(taken_.size()); }

private:
    std::vector<HRGN> taken_;
};

}  // namespace testenv
