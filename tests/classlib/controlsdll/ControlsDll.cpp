// A library that makes windows with the class library, as the band library does: its window
// classes and atoms belong to it and go when it is unloaded.
#include <windows.h>

#include <string>

#include "ExtCtrls.h"
#include "Forms.h"
#include "Streams.h"

namespace {
TPanel* g_panel = nullptr;
std::string g_atomName;
}

extern "C" __declspec(dllexport) HWND MakePanelWindow(HWND parent)
{
    try {
        g_panel = new TPanel(nullptr);
        g_panel->SetParentWindow(parent);
        g_panel->SetBounds(0, 0, 50, 20);
        g_atomName = ControlAtomName();
        return g_panel->Handle();
    } catch (...) {
        return nullptr;
    }
}

extern "C" __declspec(dllexport) void FreePanel()
{
    if (g_panel) g_panel->Free();
    g_panel = nullptr;
}

extern "C" __declspec(dllexport) HINSTANCE LibraryInstance() { return CurrentModuleInstance(); }

extern "C" __declspec(dllexport) const char* LibraryControlAtomName() { return g_atomName.c_str(); }
