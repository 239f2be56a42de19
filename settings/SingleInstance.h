#pragma once
// A second start of the settings program brings the running dialog to the front instead of
// opening another one. The running dialog is found by its window class, "TkervoOKDlg" (the
// class library names a form's window class after the form's class).

// When a top-level window of class "TkervoOKDlg" exists, makes it the foreground window (a
// refusal by the system is ignored) and answers true; otherwise answers false. Windows of other
// classes, whatever their caption, do not count. The test takes no lock: two starts at the same
// moment may both open a dialog.
bool BringRunningDialogToFront();
