// palvenor.exe, the settings program: one dialog that edits the band's captions, engines and
// hotkey, started from the band's menu or by hand. A second start brings the running dialog to
// the front and ends without a window of its own. The program reads no command line and no
// environment variable, and ends with exit code 0 on both roads.
#include <windows.h>
#include <commctrl.h>

#include "SettingsProgram.h"
#include "WideForms.h"

// The Unicode layer's start-up (the thread message hook that brings typed characters outside the
// code page whole to the fields) is a unit that nothing else names; naming it here links it in.
[[gnu::used]] static int (*const unicodeLayerStartUp)() = &WideFormsStartCount;

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    // The manifest asks for common controls 6, whose versions of the standard window classes
    // Windows XP makes only once the program has loaded comctl32 and asked for them.
    const INITCOMMONCONTROLSEX standardClasses{sizeof standardClasses, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&standardClasses);
    return RunSettingsProgram();
}
