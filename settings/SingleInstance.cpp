// The settings program's second start: only a window of the dialog's class counts as a running
// dialog, so a foreign window that happens to carry the form resource's caption changes nothing.
#include "SingleInstance.h"

#include <windows.h>

bool BringRunningDialogToFront()
{
    const HWND dialog = FindWindowA("TkervoOKDlg", nullptr);
    if (!dialog) return false;
    SetForegroundWindow(dialog);
    return true;
}
