#include "zBandObject.h"

#include <iterator>

#include "ComRef.h"
#include "GuidText.h"
#include "SysUtils.h"
#include "zBandForms.h"

// ---------------------------------------------------------------------------------------------
// TzCustomBandObject

TzCustomBandObject::TzCustomBandObject() = default;

TzCustomBandObject::~TzCustomBandObject() = default;

void TzCustomBandObject::ConstructionDone()
{
    TComObject::ConstructionDone();
    bandForm_ = nullptr;
}

void TzCustomBandObject::DestructionStarting()
{
    ReleaseSite();
    if (TzBandForm* form = TakeBandForm()) form->Free();
    TComObject::DestructionStarting();
}

void TzCustomBandObject::BandFormGone(TzBandForm* form)
{
    if (bandForm_ == form) bandForm_ = nullptr;
}

TzBandForm* TzCustomBandObject::TakeBandForm()
{
    TzBandForm* form = bandForm_;
    bandForm_ = nullptr;
    if (form) form->bandObject_ = nullptr;
    return form;
}

void TzCustomBandObject::ReleaseSite()
{
    commandTarget_.Reset();
    site_.Reset();
}

HRESULT TzCustomBandObject::InnerQueryInterface(REFIID iid, void** out)
{
    // IOleWindow and IDockingWindow are reached only through the IDeskBand table.
    if (IsEqualIID(iid, IID_IDeskBand)) return Answer<IDeskBand>(&deskBand_, out);
    if (IsEqualIID(iid, IID_IObjectWithSite)) return Answer<IObjectWithSite>(&objectWithSite_, out);
    if (IsEqualIID(iid, IID_IInputObject)) return Answer<IInputObject>(&inputObject_, out);
    if (IsEqualIID(iid, IID_IPersistStream) || IsEqualIID(iid, IID_IPersist))
        return Answer<IPersistStream>(&persistStream_, out);
    return TComObject::InnerQueryInterface(iid, out);
}

HRESULT TzCustomBandObject::GetBandInfo(DWORD bandID, DWORD viewMode, DESKBANDINFO* info)
{
    bandID_ = bandID;
    viewMode_ = viewMode;
    TzBandForm* form = bandForm_;
    if (!form) return E_UNEXPECTED;
    if (!info) return E_POINTER;
    const DWORD mask = info->dwMask;
    if (mask & DBIM_MINSIZE) info->ptMinSize = form->GetMinSize();
    if (mask & DBIM_MAXSIZE) info->ptMaxSize = form->GetMaxSize();
    if (mask & DBIM_INTEGRAL) info->ptIntegral = form->GetIntegral();
    if (mask & DBIM_ACTUAL) info->ptActual = form->GetActualSize();
    if (mask & DBIM_TITLE) {
        // All or nothing: a caption that does not fit gives an empty title, never a cut one. The
        // class library's ANSI text is in the system's code page, whatever the thread's locale.
        const std::string caption = form->Caption();
        const int n = caption.empty() ? 0
                                      : MultiByteToWideChar(CP_ACP, 0, caption.data(),
                                                            static_cast<int>(caption.size()), info->wszTitle,
                                                            static_cast<int>(std::size(info->wszTitle)) - 1);
        info->wszTitle[n] = L'\0';
    }
    if (mask & DBIM_MODEFLAGS) {
        const TzBandModeFlags flags = form->BandModeFlags();
        info->dwModeFlags = 0;
        if (flags.Contains(bmfVariableHeight)) info->dwModeFlags |= DBIMF_VARIABLEHEIGHT;
        if (flags.Contains(bmfDebossed)) info->dwModeFlags |= DBIMF_DEBOSSED;
        if (flags.Contains(bmfBkColor)) info->dwModeFlags |= DBIMF_BKCOLOR;
    }
    // The colour as stored: a system colour stays a system-colour value.
    if (mask & DBIM_BKCOLOR) info->crBkgnd = static_cast<COLORREF>(form->Color());
    return S_OK;
}

HRESULT TzCustomBandObject::ShowDW(BOOL show)
{
    if (TzBandForm* form = bandForm_) {
        if (show)
            form->Show();
        else
            form->Hide();
    }
    return S_OK;
}

HRESULT TzCustomBandObject::CloseDW(DWORD)
{
    if (bandForm_) {
        ShowDW(FALSE);
        // ShowDW may have run the form's handlers, which may have freed it.
        // The concrete form frees itself when closed (its close action).
        if (TzBandForm* form = TakeBandForm()) form->Close();
    }
    return S_OK;
}

HRESULT TzCustomBandObject::ResizeBorderDW(LPCRECT, IUnknown*, BOOL)
{
    return E_NOTIMPL;
}

HRESULT TzCustomBandObject::GetWindow(HWND* window)
{
    if (!window) return E_POINTER;
    *window = nullptr;
    if (TzBandForm* form = bandForm_) *window = form->Handle();
    return S_OK;
}

HRESULT TzCustomBandObject::ContextSensitiveHelp(BOOL)
{
    return E_NOTIMPL;
}

HRESULT TzCustomBandObject::SetSite(IUnknown* site)
{
    ReleaseSite();
    if (!site) return S_OK;
    if (!bandForm_) {
        TComRef<IOleWindow> oleWindow;
        if (FAILED(site->QueryInterface(IID_IOleWindow, oleWindow.Out())) || !oleWindow.Get()) return E_FAIL;
        // A site that fails GetWindow without writing must not leave an unset handle behind.
        HWND parent = nullptr;
        oleWindow->GetWindow(&parent);
        oleWindow.Reset();
        if (!parent) return E_FAIL;
        // Through the virtual slot: a descendant's CloseDW drops what it kept of an earlier form
        // before the new one is made (the framework's own has no form to close here).
        CloseDW(0);
        bandForm_ = CreateBandForm(parent);
    }
    // A failing QueryInterface may leave anything in its out parameter: not kept.
    if (FAILED(site->QueryInterface(IID_IInputObjectSite, site_.Out())) || !site_.Get()) {
        site_.Forget();
        return E_FAIL;
    }
    if (FAILED(site_->QueryInterface(IID_IOleCommandTarget, commandTarget_.Out()))) commandTarget_.Forget();
    return S_OK;
}

HRESULT TzCustomBandObject::GetSite(REFIID iid, void** site)
{
    if (!site) return E_POINTER;
    *site = nullptr;
    if (!site_.Get()) return E_FAIL;
    return site_->QueryInterface(iid, site);
}

HRESULT TzCustomBandObject::IsDirty()
{
    return S_FALSE;
}

HRESULT TzCustomBandObject::Load(IStream*)
{
    return S_OK;
}

HRESULT TzCustomBandObject::Save(IStream*, BOOL)
{
    return S_OK;
}

HRESULT TzCustomBandObject::GetSizeMax(ULARGE_INTEGER* size)
{
    if (!size) return E_POINTER;
    size->QuadPart = 0;
    return S_OK;
}

HRESULT TzCustomBandObject::GetClassID(CLSID* classID)
{
    if (!classID) return E_POINTER;
    if (!Factory()) return E_UNEXPECTED;
    *classID = Factory()->ClassID();
    return S_OK;
}

HRESULT TzCustomBandObject::UIActivateIO(BOOL activate, MSG*)
{
    // A hidden or disabled form cannot take the focus; that is no failure for the shell.
    if (TzBandForm* form = bandForm_; form && activate) form->SetFocus();
    return S_OK;
}

HRESULT TzCustomBandObject::HasFocusIO()
{
    TzBandForm* form = bandForm_;
    if (form && form->HandleAllocated() && GetFocus() == form->Handle()) return S_OK;
    return S_FALSE;
}

HRESULT TzCustomBandObject::TranslateAcceleratorIO(MSG*)
{
    return S_FALSE;
}

// Entry points

#define KERVO_BAND_ENTRY_IUNKNOWN(Entry)                                                          \
    HRESULT STDMETHODCALLTYPE Entry::QueryInterface(REFIID iid, void** out)                       \
    {                                                                                             \
        return self.QueryInterface(iid, out);                                                     \
    }                                                                                             \
    ULONG STDMETHODCALLTYPE Entry::AddRef() { return self.AddRef(); }                             \
    ULONG STDMETHODCALLTYPE Entry::Release() { return self.Release(); }

KERVO_BAND_ENTRY_IUNKNOWN(TzCustomBandObject::DeskBandEntry)
KERVO_BAND_ENTRY_IUNKNOWN(TzCustomBandObject::ObjectWithSiteEntry)
KERVO_BAND_ENTRY_IUNKNOWN(TzCustomBandObject::InputObjectEntry)
KERVO_BAND_ENTRY_IUNKNOWN(TzCustomBandObject::PersistStreamEntry)
KERVO_BAND_ENTRY_IUNKNOWN(TzContextMenuBandObject::ContextMenuEntry)

HRESULT STDMETHODCALLTYPE TzCustomBandObject::DeskBandEntry::GetWindow(HWND* window)
{
    return Guarded([&] { return self.GetWindow(window); });
}
HRESULT STDMETHODCALLTYPE TzCustomBandObject::DeskBandEntry::ContextSensitiveHelp(BOOL enterMode)
{
    return Guarded([&] { return self.ContextSensitiveHelp(enterMode); });
}
HRESULT STDMETHODCALLTYPE TzCustomBandObject::DeskBandEntry::ShowDW(BOOL show)
{
    return Guarded([&] { return self.ShowDW(show); });
}
HRESULT STDMETHODCALLTYPE TzCustomBandObject::DeskBandEntry::CloseDW(DWORD reserved)
{
    return Guarded([&] { return self.CloseDW(reserved); });
}
HRESULT STDMETHODCALLTYPE TzCustomBandObject::DeskBandEntry::ResizeBorderDW(LPCRECT border, IUnknown* site,
                                                                            BOOL reserved)
{
    return Guarded([&] { return self.ResizeBorderDW(border, site, reserved); });
}
HRESULT STDMETHODCALLTYPE TzCustomBandObject::DeskBandEntry::GetBandInfo(DWORD bandID, DWORD viewMode,
                                                                         DESKBANDINFO* info)
{
    return Guarded([&] { return self.GetBandInfo(bandID, viewMode, info); });
}
HRESULT STDMETHODCALLTYPE TzCustomBandObject::ObjectWithSiteEntry::SetSite(IUnknown* site)
{
    return Guarded([&] { return self.SetSite(site); });
}
HRESULT STDMETHODCALLTYPE TzCustomBandObject::ObjectWithSiteEntry::GetSite(REFIID iid, void** site)
{
    return Guarded([&] { return self.GetSite(iid, site); });
}
HRESULT STDMETHODCALLTYPE TzCustomBandObject::InputObjectEntry::UIActivateIO(BOOL activate, MSG* msg)
{
    return Guarded([&] { return self.UIActivateIO(activate, msg); });
}
HRESULT STDMETHODCALLTYPE TzCustomBandObject::InputObjectEntry::HasFocusIO()
{
    return Guarded([&] { return self.HasFocusIO(); });
}
HRESULT STDMETHODCALLTYPE TzCustomBandObject::InputObjectEntry::TranslateAcceleratorIO(MSG* msg)
{
    return Guarded([&] { return self.TranslateAcceleratorIO(msg); });
}
HRESULT STDMETHODCALLTYPE TzCustomBandObject::PersistStreamEntry::GetClassID(CLSID* classID)
{
    return Guarded([&] { return self.GetClassID(classID); });
}
HRESULT STDMETHODCALLTYPE TzCustomBandObject::PersistStreamEntry::IsDirty()
{
    return Guarded([&] { return self.IsDirty(); });
}
HRESULT STDMETHODCALLTYPE TzCustomBandObject::PersistStreamEntry::Load(IStream* stream)
{
    return Guarded([&] { return self.Load(stream); });
}
HRESULT STDMETHODCALLTYPE TzCustomBandObject::PersistStreamEntry::Save(IStream* stream, BOOL clearDirty)
{
    return Guarded([&] { return self.Save(stream, clearDirty); });
}
HRESULT STDMETHODCALLTYPE TzCustomBandObject::PersistStreamEntry::GetSizeMax(ULARGE_INTEGER* size)
{
    return Guarded([&] { return self.GetSizeMax(size); });
}
