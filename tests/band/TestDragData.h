#pragma once
// A drag as a program of the test starts it: a data object offering the formats the test gives,
// each as a global block made afresh for every fetch, and a drop source that lets the drag run
// for a few ticks of OLE's drag loop and then drops.
#include <windows.h>
#include <ole2.h>
#include <shlobj.h>

#include <string>
#include <vector>

namespace bandtest {

class TestDataObject : public IDataObject {
public:
    struct Entry {
        CLIPFORMAT format;
        std::string bytes;     // the block's content, copied as it stands (no zero added)
        bool nullBlock = false;  // answer a medium without a block
    };
    std::vector<Entry> entries;
    int getDataCalls = 0;

    void Offer(CLIPFORMAT format, const std::string& bytes) { entries.push_back({format, bytes}); }
    // Text with its terminating zero, as a program puts it on the clipboard.
    void OfferText(CLIPFORMAT format, const std::string& text) { Offer(format, std::string(text.c_str(), text.size() + 1)); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDataObject)) {
            *out = static_cast<IDataObject*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override
    {
        ++getDataCalls;
        const Entry* e = Find(format);
        if (!e) return DV_E_FORMATETC;
        medium->tymed = TYMED_HGLOBAL;
        medium->pUnkForRelease = nullptr;
        medium->hGlobal = nullptr;
        if (e->nullBlock) return S_OK;
        medium->hGlobal = GlobalAlloc(GMEM_MOVEABLE, e->bytes.size());
        if (!e->bytes.empty()) {
            void* p = GlobalLock(medium->hGlobal);
            memcpy(p, e->bytes.data(), e->bytes.size());
            GlobalUnlock(medium->hGlobal);
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* format) override { return Find(format) ? S_OK : DV_E_FORMATETC; }
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override
    {
        out->ptd = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override
    {
        return OLE_E_ADVISENOTSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

private:
    const Entry* Find(const FORMATETC* f) const
    {
        if (!f || !(f->tymed & TYMED_HGLOBAL) || f->dwAspect != DVASPECT_CONTENT) return nullptr;
        for (const Entry& e : entries)
            if (e.format == f->cfFormat) return &e;
        return nullptr;
    }
};

class TestDropSource : public IDropSource {
public:
    int ticksBeforeDrop = 3;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDropSource)) {
            *out = static_cast<IDropSource*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL escape, DWORD) override
    {
        if (escape) return DRAGDROP_S_CANCEL;
        return ticksBeforeDrop-- > 0 ? S_OK : DRAGDROP_S_DROP;
    }
    HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD) override { return DRAGDROP_S_USEDEFAULTCURSORS; }
};

// Drags the data onto the window at the screen point with OLE's own drag loop, offering copy,
// move and link; the effect that the drag ended with.
inline DWORD DragOnto(POINT screen, IDataObject* data)
{
    SetCursorPos(screen.x, screen.y);
    TestDropSource source;
    DWORD effect = 0xFFFF;
    DoDragDrop(data, &source, DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK, &effect);
    return effect;
}

}  // namespace bandtest
