// Instkervo: builds the installer's window and runs its message loop until it is closed.
#include "InstUnit.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    try {
        CreateInstallForm(InstallForm, nullptr);
        miniwin::RunMainWindow(InstallForm->Window);
    } catch (...) {
        // Nothing is reported; the process ends as after a close.
    }
    InstallForm = nullptr;   // freed with its window
    return 0;
}
