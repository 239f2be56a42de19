#pragma once
// What the user's hands do to the band in the tests: Enter with a modifier held, a right-click
// that shows (or does not show) a menu, a hotkey the test tries to take, and a drag that a
// program of the test starts with OLE's own loop: a data object offering the formats the test
// gives (a global block made afresh for every fetch) and a source that drops after a few ticks.
#include <windows.h>
#include <ole2.h>
#include <shlobj.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace bandtest {

// Enter pressed in the window with VK_SHIFT, VK_CONTROL or nothing (0) held; pump handles it.
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

inline bool HotKeyFree(UINT modifiers, UINT key)
{
    if (!RegisterHotKey(nullptr, 0x7001, modifiers, key)) return false;
    UnregisterHotKey(nullptr, 0x7001);
    return true;
}

// Whether a popup menu showed during a right-click at the screen point on the window; the menu
// is closed as soon as it is seen (from a timer that its modal loop runs) and its items listed.
struct ShownMenu {
    static inline bool shown = false;
    static inline std::vector<std::wstring> items;
    static void CALLBACK Close(HWND, UINT, UINT_PTR, DWORD)
    {
        HWND menuWindow = FindWindowA("#32768", nullptr);
        if (!menuWindow || !IsWindowVisible(menuWindow)) return;
        shown = true;
        HMENU menu = reinterpret_cast<HMENU>(SendMessageA(menuWindow, MN_GETHMENU, 0, 0));
        for (int i = 0; menu && i < GetMenuItemCount(menu); ++i) {
            wchar_t text[128] = {};
            GetMenuStringW(menu, static_cast<UINT>(i), text, 128, MF_BYPOSITION);
            items.push_back(text);
        }
        EndMenu();
    }
};

inline bool MenuShownOnRightClick(HWND window, POINT screen, std::vector<std::wstring>* items = nullptr)
{
    ShownMenu::items.clear();
    ShownMenu::shown = false;
    const UINT_PTR timer = SetTimer(nullptr, 0, 20, &ShownMenu::Close);
    SetCursorPos(screen.x, screen.y);
    SendMessageW(window, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(window), MAKELPARAM(screen.x, screen.y));
    KillTimer(nullptr, timer);
    if (items) *items = ShownMenu::items;
    return ShownMenu::shown;
}

class TestDataObject : public IDataObject {
public:
    struct Entry {
        CLIPFORMAT format;
        std::string bytes;  // the block's content as it stands (no zero added)
    };
    std::vector<Entry> entries;
    int fetches = 0;

    void Offer(CLIPFORMAT format, const std::string& bytes) { entries.push_back({format, bytes}); }
    // Text with its terminating zero, as a program puts it on the clipboard.
    void OfferText(CLIPFORMAT format, const std::string& text) { Offer(format, std::string(text.c_str(), text.size() + 1)); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        const bool ok = IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDataObject);
        *out = ok ? this : nullptr;
        return ok ? S_OK : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override
    {
        ++fetches;
        const Entry* e = Find(format);
        if (!e) return DV_E_FORMATETC;
        *medium = STGMEDIUM{};
        medium->tymed = TYMED_HGLOBAL;
        medium->hGlobal = GlobalAlloc(GMEM_MOVEABLE, e->bytes.size());
        if (!e->bytes.empty()) {
            std::memcpy(GlobalLock(medium->hGlobal), e->bytes.data(), e->bytes.size());
            GlobalUnlock(medium->hGlobal);
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* format) override { return Find(format) ? S_OK : DV_E_FORMATETC; }
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override { return out->ptd = nullptr, E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return OLE_E_ADVISENOTSUPPORTED; }
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
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        const bool ok = IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDropSource);
        *out = ok ? this : nullptr;
        return ok ? S_OK : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL escape, DWORD) override
    {
        return escape ? DRAGDROP_S_CANCEL : ticks_-- > 0 ? S_OK : DRAGDROP_S_DROP;
    }
    HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD) override { return DRAGDROP_S_USEDEFAULTCURSORS; }

private:
    int ticks_ = 3;
};

// Drags the data to the screen point, offering copy, move and link; the effect the drag ended with.
inline DWORD DragOnto(POINT screen, IDataObject* data)
{
    SetCursorPos(screen.x, screen.y);
    TestDropSource source;
    DWORD effect = 0xFFFF;
    DoDragDrop(data, &source, DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK, &effect);
    return effect;
}

}  // namespace bandtest
