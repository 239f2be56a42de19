#pragma once
// The settings program's run from start to end, apart from its entry point so that a test can
// run it in its own process: a second start brings the running dialog to the front and ends;
// otherwise the dialog and the engine editor are made and the application's loop runs until the
// dialog closes. Errors are shown by the application, never passed on.

// Answers the program's exit code: 0 on both roads.
int RunSettingsProgram();
