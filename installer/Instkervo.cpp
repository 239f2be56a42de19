// Instkervo: builds the installer's window and runs its message loop until it is closed.
#include <windows.h>
#include <commctrl.h>

#include "InstUnit.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    // Common controls 6, which the manifest names, give their buttons to a program on Windows XP
    // only after it has loaded comctl32 and asked.
    const INITCOMMONCONTROLSEX buttons{sizeof buttons, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&buttons);
    try {
        CreateInstallForm(InstallForm, nullptr);
        miniwin::RunMainWindow(InstallForm->Window);
    } catch (...) {
        // Nothing is reported; the process ends as after a close.
    }
    InstallForm = nullptr;   // freed with its window
    return 0;
}
