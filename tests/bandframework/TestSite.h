#pragma once
// A stand-in for the shell's band site: the window that a band's form is made in and the three
// interfaces the shell's site answers (IOleWindow, IInputObjectSite, IOleCommandTarget). Each can
// be withheld, and the site records what a band did with it.
#include <windows.h>
#include <ole2.h>
#include <docobj.h>
#include <shobjidl.h>

class TestSite : public IOleWindow, public IInputObjectSite, public IOleCommandTarget {
public:
    // What the site answers; a test changes these before handing the site over.
    HWND window = nullptr;            // what GetWindow gives
    bool answersOleWindow = true;
    bool answersInputObjectSite = true;
    bool answersCommandTarget = true;
    bool getWindowWritesNothing = false;  // GetWindow fails and leaves its out value alone

    // What the band did.
    int getWindowCalls = 0;
    int focusChanges = 0;
    int commandCalls = 0;

    TestSite() = default;
    TestSite(const TestSite&) = delete;
    TestSite& operator=(const TestSite&) = delete;

    // The site as the shell hands it over.
    IUnknown* Unknown() { return static_cast<IOleWindow*>(this); }

    // References held by others (the test's own one not counted).
    LONG OutsideReferences() const { return refs_ - 1; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (IsEqualIID(iid, IID_IUnknown))
            *out = static_cast<IOleWindow*>(this);
        else if (IsEqualIID(iid, IID_IOleWindow) && answersOleWindow)
            *out = static_cast<IOleWindow*>(this);
        else if (IsEqualIID(iid, IID_IInputObjectSite) && answersInputObjectSite)
            *out = static_cast<IInputObjectSite*>(this);
        else if (IsEqualIID(iid, IID_IOleCommandTarget) && answersCommandTarget)
            *out = static_cast<IOleCommandTarget*>(this);
        else
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++refs_); }
    ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--refs_); }

    HRESULT STDMETHODCALLTYPE GetWindow(HWND* out) override
    {
        ++getWindowCalls;
        if (getWindowWritesNothing) return E_FAIL;
        *out = window;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

    HRESULT STDMETHODCALLTYPE OnFocusChangeIS(IUnknown*, BOOL) override
    {
        ++focusChanges;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE QueryStatus(const GUID*, ULONG, OLECMD*, OLECMDTEXT*) override
    {
        ++commandCalls;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Exec(const GUID*, DWORD, DWORD, VARIANT*, VARIANT*) override
    {
        ++commandCalls;
        return E_NOTIMPL;
    }

private:
    LONG refs_ = 1;  // the test's own
};
