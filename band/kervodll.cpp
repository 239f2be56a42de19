// The band library's entry point: the start-up and shut-down steps of the search band run here,
// after the library's static objects are made and before they go.
#include <windows.h>

#include "DllUnit.h"
#include "WideForms.h"

// The Unicode layer's start-up (the thread message hook that brings characters above 255 whole
// to the input box) is a unit that nothing else names; naming it here links it into the library.
[[gnu::used]] static HHOOK (*const unicodeLayerStartUp)() = &MessageHookHandle;

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID)
{
    try {
        if (reason == DLL_PROCESS_ATTACH)
            BandLibraryStartUp();
        else if (reason == DLL_PROCESS_DETACH)
            BandLibraryShutDown();
    } catch (...) {
        // Loading must not fail on it: without the factory the exports answer for no class.
    }
    return TRUE;
}
