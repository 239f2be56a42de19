// A library named like the band library that has none of its exports.
#include "DllLog.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    LogAttachAndDetach(instance, reason);
    return TRUE;
}
