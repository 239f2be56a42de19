#pragma once
// The search band as the shell reaches it through COM: the band object Tquormel, its class
// factory, and what the band library does when it is loaded and unloaded. The library's entry
// points, DllMain and its four COM exports, are in kervodll.cpp; the exports hand each call to
// the class library's COM server, which answers for the one factory made here.
#include <windows.h>

#include <string>

#include "zBandObject.h"

class TquormelForm;

// The band object: the framework's desk band with the search band's form.
class Tquormel : public TzDeskBandObject {
public:
    TquormelForm* Form() const;

    // The form on the site's window.
    TzBandForm* CreateBandForm(HWND parentWindow) override;
    // Only the normal view mode: the band offers itself in no other (E_FAIL, record untouched).
    HRESULT GetBandInfo(DWORD bandID, DWORD viewMode, DESKBANDINFO* info) override;
    // S_OK only while the focus is on the input box's own window; its edit field is a window of
    // its own and answers S_FALSE.
    HRESULT HasFocusIO() override;
    // Every key goes to the focused control of the band (translated and dispatched here) and is
    // reported handled, so editing keys and Enter reach the input box.
    HRESULT TranslateAcceleratorIO(MSG* msg) override;
};

// The band's factory: class name "quormeljp", description "Palvenor 日本語版", any number of
// bands, apartment threading; registration adds the desk-band category.
class TquormelFactory : public TzDeskBandObjectFactory {
public:
    TquormelFactory();
};

// The identifier under which every band form of the process registers its hotkey: the global
// atom "hotkey", the same in every process that loads the library.
extern UINT HotKeyAtom;

// Once each, when the band library is loaded and unloaded: the factory joins the library's COM
// server, the registered path is cached and the hotkey atom added; at unload the cached path is
// emptied and the atom's reference given back.
void BandLibraryStartUp();
void BandLibraryShutDown();
