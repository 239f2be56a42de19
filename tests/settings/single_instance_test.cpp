// The single-instance test of the settings program against real top-level windows: only a window
// of the dialog's class counts, whatever its caption, and a window of another class captioned
// like the dialog's form resource does not.
#include <windows.h>
#include <gtest/gtest.h>

#include "SingleInstance.h"

namespace {

HWND MakeTopLevel(const char* cls, const char* caption)
{
    WNDCLASSA wc{};
    if (!GetClassInfoA(GetModuleHandleA(nullptr), cls, &wc)) {
        wc = WNDCLASSA{};
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = cls;
        RegisterClassA(&wc);
    }
    return CreateWindowExA(0, cls, caption, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 100, 80, nullptr, nullptr,
                           GetModuleHandleA(nullptr), nullptr);
}

TEST(SingleInstance, OnlyAWindowOfTheDialogsClassCounts)
{
    EXPECT_FALSE(BringRunningDialogToFront());

    // Another class with the resource's caption: the program must still open its dialog.
    HWND decoy = MakeTopLevel("KervoTestDecoy", "TkervoOKDlg");
    ASSERT_TRUE(decoy);
    EXPECT_FALSE(BringRunningDialogToFront());

    // A dialog, also one still carrying the resource's caption, is brought to the front.
    HWND dialog = MakeTopLevel("TkervoOKDlg", "TkervoOKDlg");
    ASSERT_TRUE(dialog);
    SetForegroundWindow(decoy);
    EXPECT_TRUE(BringRunningDialogToFront());
    EXPECT_EQ(GetForegroundWindow(), dialog);
    DestroyWindow(dialog);
    DestroyWindow(decoy);
    UnregisterClassA("TkervoOKDlg", GetModuleHandleA(nullptr));
}

}  // namespace
