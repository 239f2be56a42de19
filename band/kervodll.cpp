// The band library's entry points: DllMain, where the start-up and shut-down steps of the search
// band run after the library's static objects are made and before they go, and the four exports
// through which COM and the installer reach the band's class factory (named in kervodll.def).
#include <windows.h>

#include "ComObj.h"
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

// The library's COM server answers each; none raises.
STDAPI DllGetClassObject(REFCLSID classID, REFIID iid, LPVOID* out)
{
    return ComServer().GetClassObject(classID, iid, out);
}

STDAPI DllCanUnloadNow()
{
    return ComServer().CanUnloadNow();
}

STDAPI DllRegisterServer()
{
    return ComServer().RegisterServer();
}

STDAPI DllUnregisterServer()
{
    return ComServer().UnregisterServer();
}
