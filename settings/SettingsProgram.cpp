// The settings program's run. The Unicode layer's message hook is already in place when this
// runs: the layer's start-up ran before the program's own, and it is not started again here (a
// second start would leave the layer's start count above zero at the end, so its shut-down, the
// removal of the hook among it, would never run).
#include "SettingsProgram.h"

#include <exception>

#include "Forms.h"
#include "SingleInstance.h"
#include "SysUtils.h"
#include "adden.h"
#include "dlgunit.h"

int RunSettingsProgram()
{
    try {
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
