#pragma once
// What the user's hands do to the band in the tests, shared by the band's own tests and the
// end-to-end ones: Enter with a modifier held, a right-click that shows (or does not show) a
// menu, and a drag started by a program of the test: a data object offering the formats the test
// gives, each as a global block made afresh for every fetch, and a drop source that lets the drag
// run for a few ticks of OLE's drag loop and then drops. Also whether a hotkey is free.
#include <windows.h>
#include <ole2.h>
#include <shlobj.h>

#include <functional>
#include <string>
#include <vector>

namespace bandtest {

// Enter pressed in the window with the modifier key (VK_SHIFT, VK_CONTROL, or 0) held, the
// messages handled by pump (the shell's loop).
inline void PressEnter(HWND window, BYTE modifier, const std::function<void()>& pump)
{
    BYTE keys[256];
    GetKeyboardState(keys);
    if (modifier) keys[modifier] = 0x80, SetKeyboardState(keys);
    PostMessageW(window, WM_KEYDOWN, VK_RETURN, 0x001C0001);
    PostMessageW(window, WM_KEYUP, VK_RETURN, 0xC01C0001);
    pump();
    if (modifier) keys[modifier] = 0, SetKeyboardState(keys);
}

// Whether the test could register the combination itself right now.
inline bool HotKeyFree(UINT modifiers, UINT key)
{
    if (!RegisterHotKey(nullptr, 0x7001, modifiers, key)) return false;
    UnregisterHotKey(nullptr, 0x7001);
    return true;
}

// Whether a popup menu showed while the action ran; its item texts go to items. The menu is
// closed as soon as it is seen, so the action returns.
namespace menuwatch {
inline std::vector<std::wstring>& Items()
{
    static std::vector<std::wstring> items;
    return items;
}
inline bool& Seen()
{
    static bool seen = false;
    return seen;
}
inline void CALLBACK CloseShownMenu(HWND, UINT, UINT_PTR, DWORD)
{
    HWND menuWindow = FindWindowA("#32768", nullptr);
    if (!menuWindow || !IsWindowVisible(menuWindow)) return;
    Seen() = true;
    HMENU menu = reinterpret_cast<HMENU>(SendMessageA(menuWindow, MN_GETHMENU, 0, 0));
    for (int i = 0; menu && i < GetMenuItemCount(menu); ++i) {
        wchar_t text[128] = {};
        GetMenuStringW(menu, static_cast<UINT>(i), text, 128, MF_BYPOSITION);
        Items().push_back(text);
    }
    EndMenu();
}
}  // namespace menuwatch

inline bool MenuShownWhile(const std::function<void()>& action, std::vector<std::wstring>* items = nullptr)
{
    menuwatch::Items().clear();
    menuwatch::Seen() = false;
    const UINT_PTR timer = SetTimer(nullptr, 0, 20, &menuwatch::CloseShownMenu);
    action();
    KillTimer(nullptr, timer);
    if (items) *items = menuwatch::Items();
    return menuwatch::Seen();
}

// A right-click's message for the screen point, with the cursor put there: sent to the window.
inline void RightClick(HWND window, POINT screen)
{
    SetCursorPos(screen.x, screen.y);
    SendMessageW(window, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(window), MAKELPARAM(screen.x, screen.y));
}

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
