#pragma once
// A stand-in for the taskbar. Wine's shell hosts no desk bands, so this plays the shell's part
// for a band library: it loads the library by path, makes the band through the library's own
// DllGetClassObject (what COM's in-process activation comes down to, without the registry), gives
// it a site (IOleWindow, IInputObjectSite, IOleCommandTarget), asks GetBandInfo, shows the band
// window in a strip like a taskbar, passes keyboard messages through TranslateAcceleratorIO,
// activates the band on a click, offers the band's context menu, and closes it as the shell does.
//
// bandhost.exe runs it as a program; the end-to-end tests and the benchmark use it in-process,
// driving the same message steps that its loop runs.
#include <windows.h>
#include <ole2.h>
#include <docobj.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <functional>
#include <string>

namespace bandhost {

// A band library loaded by path and its four COM exports. Unloading is the shell's: only when the
// library answers DllCanUnloadNow with S_OK.
class TBandLibrary {
public:
    TBandLibrary() = default;
    ~TBandLibrary();  // leaves a library that still answers S_FALSE loaded, as the shell would
    TBandLibrary(const TBandLibrary&) = delete;
    TBandLibrary& operator=(const TBandLibrary&) = delete;

    // Loads the library; false (and Error() says why) when it or one of its exports is missing.
    bool Load(const std::wstring& path);
    bool Loaded() const { return module_ != nullptr; }
    HMODULE Module() const { return module_; }
    const std::wstring& Path() const { return path_; }
    const std::wstring& Error() const { return error_; }

    HRESULT Register();
    HRESULT Unregister();
    HRESULT CanUnloadNow();
    // The class factory of the class, asked for IClassFactory, then a new object's IUnknown.
    HRESULT CreateObject(const CLSID& classID, IUnknown** out);
    // Frees the library when it answers S_OK to DllCanUnloadNow; true when it is gone.
    bool UnloadIfUnused();

private:
    using GetClassObjectProc = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    using PlainProc = HRESULT(STDAPICALLTYPE*)();

    HMODULE module_ = nullptr;
    std::wstring path_, error_;
    GetClassObjectProc getClassObject_ = nullptr;
    PlainProc canUnloadNow_ = nullptr, registerServer_ = nullptr, unregisterServer_ = nullptr;
};

class TBandHost;

// The site the band is given: the host's site window through IOleWindow, focus reports through
// IInputObjectSite, and DBID_BANDINFOCHANGED through IOleCommandTarget. Reference counted; the
// host holds one reference and the band what it takes.
class TBandSite final : public IOleWindow, public IInputObjectSite, public IOleCommandTarget {
public:
    explicit TBandSite(TBandHost* host) : host_(host) {}
    void Detach() { host_ = nullptr; }  // the host is going; later calls see no window

    int FocusReports() const { return focusReports_; }
    bool LastFocusReport() const { return lastFocus_; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override;
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnFocusChangeIS(IUnknown* object, BOOL focus) override;
    HRESULT STDMETHODCALLTYPE QueryStatus(const GUID* group, ULONG count, OLECMD* commands,
                                          OLECMDTEXT* text) override;
    HRESULT STDMETHODCALLTYPE Exec(const GUID* group, DWORD id, DWORD options, VARIANT* in,
                                   VARIANT* out) override;

private:
    ~TBandSite() = default;
    LONG refs_ = 1;
    TBandHost* host_;
    int focusReports_ = 0;
    bool lastFocus_ = false;
};

// The strip with one band in it.
class TBandHost {
public:
    TBandHost();
    ~TBandHost();  // closes a band still open and destroys the strip
    TBandHost(const TBandHost&) = delete;
    TBandHost& operator=(const TBandHost&) = delete;

    // Makes the strip and the site window, creates the band of the class from the library, sets
    // its site, asks its band information, places its window and shows it (ShowDW(TRUE), the strip
    // shown). On failure the band is closed again and Error() says which step failed. The library
    // must stay loaded while the band is open.
    HRESULT Open(TBandLibrary& library, const CLSID& classID);
    // The shell's close: ShowDW(FALSE), CloseDW, SetSite(NULL), every reference released, then
    // the messages the band posted to itself on the way (a form frees itself that way) handled
    // while its windows still exist. The strip stays.
    void Close();
    bool IsOpen() const { return band_ != nullptr; }
    const std::wstring& Error() const { return error_; }

    HWND Strip() const { return strip_; }
    HWND SiteWindow() const { return site_; }
    HWND BandWindow() const { return bandWindow_; }
    // The window or one of its ancestors is the band's window.
    bool IsInBand(HWND window) const;

    IUnknown* Band() const { return band_; }
    IDeskBand* DeskBand() const { return deskBand_; }
    IInputObject* InputObject() const { return input_; }
    IContextMenu* ContextMenu() const { return contextMenu_; }  // null when the band has none
    TBandSite* Site() const { return siteObject_; }

    // Asks GetBandInfo again (all members, normal view) and lays the band and the strip out.
    HRESULT RefreshBandInfo();
    const DESKBANDINFO& BandInfo() const { return info_; }

    // The shell's handling of one message before it is dispatched: a keyboard message for a
    // window of the band goes to TranslateAcceleratorIO (S_OK: the band handled it); a button
    // press in the band activates it through UIActivateIO. True when the message is handled.
    bool PreTranslate(MSG& msg);
    // PreTranslate, else TranslateMessage and DispatchMessageW: one step of the shell's loop.
    void ProcessMessage(MSG& msg);
    // Handles every message waiting in the thread's queue.
    void PumpPending();
    // The loop until WM_QUIT; its wParam.
    int Run();
    // Gives the band the keyboard focus as the shell does when the user moves into it.
    HRESULT Activate();

    // The context menu: the shell's own items, then the band's appended by QueryContextMenu.
    // Band commands are numbered from kFirstBandCommand.
    static constexpr UINT kCloseCommand = 1;
    static constexpr UINT kFirstBandCommand = 0x100, kLastBandCommand = 0x7FFF;
    HMENU BuildContextMenu();
    // Carries out a command of that menu: a band command through InvokeCommand, the shell's close
    // by closing the strip. The band's answer, S_OK for the shell's own.
    HRESULT InvokeContextCommand(UINT command);
    // Builds the menu, lets the user choose at the screen point, carries the choice out.
    void ShowContextMenu(POINT screen);
    // Chooses a command of the context menu; by default TrackPopupMenu with TPM_RETURNCMD.
    // Replaceable so that a test does not wait on a menu.
    std::function<UINT(HMENU menu, POINT screen)> ChooseMenuCommand;

    // When the strip is destroyed (the user closed it), the thread's loop is told to quit.
    bool QuitWhenClosed = false;

    // Counts of the shell's calls, for the tests.
    int KeysOffered() const { return keysOffered_; }
    int KeysTakenByBand() const { return keysTaken_; }
    int Activations() const { return activations_; }

private:
    static LRESULT CALLBACK StripProc(HWND, UINT, WPARAM, LPARAM);
    static LRESULT CALLBACK SiteProc(HWND, UINT, WPARAM, LPARAM);
    LRESULT HandleStrip(UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT HandleSite(UINT msg, WPARAM wParam, LPARAM lParam);
    bool MakeWindows();
    void LayOut();
    void ReleaseBand();

    HWND strip_ = nullptr;
    HWND site_ = nullptr;
    HWND bandWindow_ = nullptr;
    TBandSite* siteObject_ = nullptr;
    IUnknown* band_ = nullptr;
    IDeskBand* deskBand_ = nullptr;
    IObjectWithSite* withSite_ = nullptr;
    IInputObject* input_ = nullptr;
    IContextMenu* contextMenu_ = nullptr;
    DESKBANDINFO info_{};
    std::wstring error_;
    int keysOffered_ = 0, keysTaken_ = 0, activations_ = 0;
    bool closing_ = false;
};

}  // namespace bandhost
