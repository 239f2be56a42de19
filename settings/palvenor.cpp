// palvenor.exe, the settings program: one dialog that edits the band's captions, engines and
// hotkey, started from the band's menu or by hand. A second start brings the running dialog to
// the front and ends without a window of its own. The program reads no command line and no
// environment variable, and ends with exit code 0 on both roads.
#include <windows.h>

#include <exception>

#include "Forms.h"
#include "SingleInstance.h"
#include "SysUtils.h"
#include "WideForms.h"
#include "adden.h"
#include "dlgunit.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    try {
        // The Unicode layer's message hook serves the loop from the start (already in place when
        // the layer's start-up ran; the call only makes sure of it).
        StartWideForms();
        if (BringRunningDialogToFront()) return 0;
        Application->Initialize();
        Application->SetTitle(AnsiFromWide(kPalvenorTitle));
        Application->CreateForm(kervoOKDlg);
        Application->CreateForm(AddEngine);
        Application->Run();
    } catch (...) {
        Application->HandleException(nullptr, std::current_exception());
    }
    return 0;
}
