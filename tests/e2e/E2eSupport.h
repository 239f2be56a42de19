#pragma once
// What the end-to-end tests share: the URL sink as the test prefix's browser, and a fixture that
// plays the shell for a band library in this process through the shell's stand-in (bandhostlib),
// so that a test drives the band with real windows and messages without starting processes.
#include <windows.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "BandHost.h"

namespace e2e {

// Makes urlsink.exe beside the test program the opener of http and https URLs in the registry
// (HKCR\<scheme>\shell\open\command = "<dir>\urlsink.exe" "%1") and names a fresh file for it
// through the environment that the shell's open passes on. Each URL that reaches the shell ends
// there as one line, byte for byte.
class UrlSink {
public:
    UrlSink();
    ~UrlSink();
    UrlSink(const UrlSink&) = delete;
    UrlSink& operator=(const UrlSink&) = delete;

    bool Installed() const { return installed_; }
    // The command registered for a scheme ("http", "https"), read back from the registry.
    static std::wstring Command(const wchar_t* scheme);
    // The URLs received so far, in order.
    std::vector<std::string> Received() const;
    // Pumps this thread's messages until count URLs arrived; false when they did not in time
    // (the sink is a process of its own and starts in its own time).
    bool WaitFor(size_t count) const;

private:
    std::string dir_, file_;
    bool installed_ = false;
};

// The message boxes that the code under test opens on this thread while it lives: each is read
// (caption and text, as the user sees them) and closed with OK from inside its own modal loop,
// so that a test neither blocks on a box nor replaces how a library shows its errors.
class MessageBoxes {
public:
    MessageBoxes();
    ~MessageBoxes();
    MessageBoxes(const MessageBoxes&) = delete;
    MessageBoxes& operator=(const MessageBoxes&) = delete;

    struct Box {
        std::string caption, text;
    };
    std::vector<Box> seen;

private:
    static void CALLBACK Look(HWND, UINT, UINT_PTR, DWORD);
    static BOOL CALLBACK CloseIfBox(HWND window, LPARAM self);
    UINT_PTR timer_;
};

// Hosts a band of a library beside the test program as the shell would: OLE initialised on the
// thread, the library loaded by path, the band opened in the strip. TearDown closes the band the
// shell's way and expects the library to let itself be unloaded.
class HostedBand : public ::testing::Test {
protected:
    static void SetUpTestSuite() { OleInitialize(nullptr); }
    static void TearDownTestSuite() { OleUninitialize(); }
    void TearDown() override;

    // Loads the library (a file name beside the test program) and opens the band of the class.
    ::testing::AssertionResult Host(const std::wstring& libraryName, const CLSID& classID);
    // An export of the loaded library.
    template <class Proc>
    Proc Export(const char* name) const
    {
        return reinterpret_cast<Proc>(reinterpret_cast<void*>(GetProcAddress(library.Module(), name)));
    }

    bandhost::TBandLibrary library;
    bandhost::TBandHost host;
};

}  // namespace e2e
