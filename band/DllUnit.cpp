// The band object, its factory, and the band library's start-up and shut-down.
#include "DllUnit.h"

#include "BandSettings.h"
#include "QuormelForm.h"

UINT HotKeyAtom = 0;

TquormelForm* Tquormel::Form() const
{
    return static_cast<TquormelForm*>(BandForm());
}

TzBandForm* Tquormel::CreateBandForm(HWND parentWindow)
{
    return TzBandForm::CreateForBand<TquormelForm>(parentWindow, this);
}

HRESULT Tquormel::GetBandInfo(DWORD bandID, DWORD viewMode, DESKBANDINFO* info)
{
    if (viewMode != DBIF_VIEWMODE_NORMAL) return E_FAIL;
    return TzDeskBandObject::GetBandInfo(bandID, viewMode, info);
}

HRESULT Tquormel::HasFocusIO()
{
    TquormelForm* form = Form();
    if (form && form->ComboBox1 && form->ComboBox1->HandleAllocated() && GetFocus() == form->ComboBox1->Handle())
        return S_OK;
    return S_FALSE;
}

HRESULT Tquormel::TranslateAcceleratorIO(MSG* msg)
{
    if (msg) {
        TranslateMessage(msg);
        DispatchMessageA(msg);
    }
    return S_OK;
}

TquormelFactory::TquormelFactory()
    : TzDeskBandObjectFactory(ComServer(), &ComObjectCreator<Tquormel>, BandClassId, L"quormeljp",
                              L"Palvenor 日本語版", ciMultiInstance, tmApartment)
{
}

void BandLibraryStartUp()
{
    new TquormelFactory();  // joins the server's list, which owns it
    // Empty while the library is being registered for the first time; the band then asks the
    // registry again whenever it needs the path.
    CachedLibraryPath = GetBandLibraryPath();
    HotKeyAtom = GlobalAddAtomA("hotkey");
}

void BandLibraryShutDown()
{
    CachedLibraryPath.clear();
    // Every load adds a reference to the global atom, which outlives the process otherwise.
    if (HotKeyAtom) GlobalDeleteAtom(static_cast<ATOM>(HotKeyAtom));
    HotKeyAtom = 0;
}
