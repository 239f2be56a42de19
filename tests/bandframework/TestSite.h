#pragma once
// A stand-in for the shell's band site: its window and the three interfaces the shell's site
// answers (IOleWindow, IInputObjectSite, IOleCommandTarget), each of which can be withheld.
#include <windows.h>
#include <ole2.h>
#include <docobj.h>
#include <shobjidl.h>

class TestSite : public IOleWindow, public IInputObjectSite, public IOleCommandTarget {
public:
    HWND window = nullptr;  // what GetWindow gives
    bool answersOleWindow = true, answersInputObjectSite = true, answersCommandTarget = true;
    bool getWindowWritesNothing = false;  // GetWindow fails and leaves its out value alone
    int getWindowCalls = 0, otherCalls = 0;

    IUnknown* Unknown() { return static_cast<IOleWindow*>(this); }
    LONG OutsideReferences() const { return refs_; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        *out = nullptr;
        if (IsEqualIID(iid, IID_IUnknown) || (IsEqualIID(iid, IID_IOleWindow) && answersOleWindow))
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
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return ++otherCalls, E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnFocusChangeIS(IUnknown*, BOOL) override { return ++otherCalls, S_OK; }
    HRESULT STDMETHODCALLTYPE QueryStatus(const GUID*, ULONG, OLECMD*, OLECMDTEXT*) override
    {
        return ++otherCalls, E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Exec(const GUID*, DWORD, DWORD, VARIANT*, VARIANT*) override
    {
        return ++otherCalls, E_NOTIMPL;
    }

private:
    LONG refs_ = 0;  // the test's own object, never freed through Release
};
