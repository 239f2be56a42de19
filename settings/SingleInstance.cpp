#include "SingleInstance.h"

#include <windows.h>

bool BringRunningDialogToFront()
{
    const HWND dialog = FindWindowA("TkervoOKDlg", nullptr);
    if (!dialog) return false;
    SetForegroundWindow(dialog);
    return true;
}
