#pragma once
// How the settings program makes the running bands reload: every band form is a child window of
// class "TquormelForm" somewhere under a top-level window of the shell, and re-reads the settings
// file on each WM_SETFOCUS it receives. Nothing else crosses to the bands.
#include <windows.h>

// How long one band may take to answer before the walk moves on without it. A band whose thread
// does not answer at all (hung) is skipped at once.
constexpr UINT kBandReplyTimeoutMs = 3000;

// Enumeration callback: sends WM_SETFOCUS (both parameters 0) to the window when its class name
// begins with "TquormelForm" (with regard to case; at most 18 characters of the name are read).
// The caller's value is the reply timeout in milliseconds. Always answers nonzero, so the
// enumeration runs to its end.
BOOL CALLBACK NotifyBandWindowProc(HWND window, LPARAM replyTimeoutMs);

// Walks the top-level windows in Z order and, for each, all of its child windows at any depth;
// top-level windows themselves are never notified. Each band has reloaded (or been given up on)
// before the next window is looked at.
void NotifyRunningBands(UINT replyTimeoutMs = kBandReplyTimeoutMs);
