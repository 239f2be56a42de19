// The reload notification walk. A band answers WM_SETFOCUS on the shell's thread; the walk waits
// for each answer so that the bands have reloaded when the settings program ends, but only for a
// bounded time: a band whose thread is busy or hung must not keep the program from closing.
#include "BandNotify.h"

#include <cstring>

#include "BandSettings.h"

BOOL CALLBACK NotifyBandWindowProc(HWND window, LPARAM replyTimeoutMs)
{
    try {
        char name[20] = {};
        GetClassNameA(window, name, 19);
        // A longer name that begins with the band form's counts too.
        if (std::strncmp(name, BandFormClassName, sizeof BandFormClassName - 1) == 0) {
            DWORD_PTR answer = 0;
            SendMessageTimeoutA(window, WM_SETFOCUS, 0, 0, SMTO_NORMAL | SMTO_ABORTIFHUNG,
                                static_cast<UINT>(replyTimeoutMs), &answer);
        }
    } catch (...) {
        // Nothing may unwind into the system's enumeration.
    }
    return TRUE;
}

void NotifyRunningBands(UINT replyTimeoutMs)
{
    for (HWND window = GetTopWindow(nullptr); window; window = GetWindow(window, GW_HWNDNEXT))
        EnumChildWindows(window, NotifyBandWindowProc, static_cast<LPARAM>(replyTimeoutMs));
}
