// The taskbar's stand-in: the band library's exports, the site object, the strip and the shell's
// steps around the band (see BandHost.h). Every procedure that Windows or the band calls catches
// everything: nothing raised may unwind through their frames.
#include "BandHost.h"

#include <algorithm>

namespace bandhost {

namespace {

constexpr wchar_t kStripClass[] = L"KervoBandHostStrip";
constexpr wchar_t kSiteClass[] = L"KervoBandHostSite";
// The taskbar-like geometry: a row this high, a gripper before the band, a margin around it.
constexpr int kRowHeight = 30;
constexpr int kGripper = 10;
constexpr int kMargin = 3;

template <class I>
void ReleaseRef(I*& p)
{
    if (I* q = p) {
        p = nullptr;
        q->Release();
    }
}

std::wstring HexResult(const wchar_t* step, HRESULT hr)
{
    wchar_t buf[96];
    wsprintfW(buf, L"%s: 0x%08lX", step, static_cast<unsigned long>(hr));
    return buf;
}

bool RegisterClasses()
{
    static const bool done = [] {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.lpfnWndProc = DefWindowProcW;  // replaced per window below
        wc.cbWndExtra = sizeof(LONG_PTR);
        wc.lpszClassName = kStripClass;
        bool ok = RegisterClassExW(&wc) != 0;
        wc.lpszClassName = kSiteClass;
        wc.style = CS_DBLCLKS;
        ok = RegisterClassExW(&wc) != 0 && ok;
        return ok;
    }();
    return done;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// The library

TBandLibrary::~TBandLibrary()
{
    UnloadIfUnused();
}

bool TBandLibrary::Load(const std::wstring& path)
{
    if (module_) UnloadIfUnused();
    if (module_) {
        error_ = L"a library is still loaded";
        return false;
    }
    path_ = path;
    module_ = LoadLibraryW(path.c_str());
    if (!module_) {
        error_ = L"cannot load " + path + L" (" + std::to_wstring(GetLastError()) + L")";
        return false;
    }
    getClassObject_ = reinterpret_cast<GetClassObjectProc>(
        reinterpret_cast<void*>(GetProcAddress(module_, "DllGetClassObject")));
    canUnloadNow_ = reinterpret_cast<PlainProc>(reinterpret_cast<void*>(GetProcAddress(module_, "DllCanUnloadNow")));
    registerServer_ =
        reinterpret_cast<PlainProc>(reinterpret_cast<void*>(GetProcAddress(module_, "DllRegisterServer")));
    unregisterServer_ =
        reinterpret_cast<PlainProc>(reinterpret_cast<void*>(GetProcAddress(module_, "DllUnregisterServer")));
    if (!getClassObject_ || !canUnloadNow_ || !registerServer_ || !unregisterServer_) {
        error_ = path + L" lacks a COM export";
        FreeLibrary(module_);
        module_ = nullptr;
        return false;
    }
    return true;
}

HRESULT TBandLibrary::Register()
{
    return module_ ? registerServer_() : E_UNEXPECTED;
}

HRESULT TBandLibrary::Unregister()
{
    return module_ ? unregisterServer_() : E_UNEXPECTED;
}

HRESULT TBandLibrary::CanUnloadNow()
{
    return module_ ? canUnloadNow_() : S_OK;
}

HRESULT TBandLibrary::CreateObject(const CLSID& classID, IUnknown** out)
{
    *out = nullptr;
    if (!module_) return E_UNEXPECTED;
    IClassFactory* factory = nullptr;
    HRESULT hr = getClassObject_(classID, IID_IClassFactory, reinterpret_cast<void**>(&factory));
    if (FAILED(hr)) return hr;
    if (!factory) return E_POINTER;
    hr = factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(out));
    factory->Release();
    return hr;
}

bool TBandLibrary::UnloadIfUnused()
{
    if (!module_) return true;
    if (canUnloadNow_() != S_OK) return false;
    FreeLibrary(module_);
    module_ = nullptr;
    return true;
}

// ---------------------------------------------------------------------------------------------
// The site

HRESULT TBandSite::QueryInterface(REFIID iid, void** out)
{
    if (!out) return E_POINTER;
    *out = nullptr;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IOleWindow))
        *out = static_cast<IOleWindow*>(this);
    else if (IsEqualIID(iid, IID_IInputObjectSite))
        *out = static_cast<IInputObjectSite*>(this);
    else if (IsEqualIID(iid, IID_IOleCommandTarget))
        *out = static_cast<IOleCommandTarget*>(this);
    else
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

ULONG TBandSite::AddRef()
{
    return static_cast<ULONG>(InterlockedIncrement(&refs_));
}

ULONG TBandSite::Release()
{
    const LONG n = InterlockedDecrement(&refs_);
    if (n == 0) delete this;
    return static_cast<ULONG>(n);
}

HRESULT TBandSite::GetWindow(HWND* window)
{
    if (!window) return E_POINTER;
    *window = host_ ? host_->SiteWindow() : nullptr;
    return *window ? S_OK : E_FAIL;
}

HRESULT TBandSite::OnFocusChangeIS(IUnknown*, BOOL focus)
{
    ++focusReports_;
    lastFocus_ = focus != FALSE;
    return S_OK;
}

HRESULT TBandSite::QueryStatus(const GUID*, ULONG, OLECMD*, OLECMDTEXT*)
{
    return OLECMDERR_E_UNKNOWNGROUP;
}

HRESULT TBandSite::Exec(const GUID* group, DWORD id, DWORD, VARIANT*, VARIANT*)
{
    try {
        // A band that changed its sizes asks the shell to ask again.
        if (group && IsEqualGUID(*group, CGID_DeskBand) && id == DBID_BANDINFOCHANGED) {
            if (host_ && host_->IsOpen()) host_->RefreshBandInfo();
            return S_OK;
        }
        return OLECMDERR_E_UNKNOWNGROUP;
    } catch (...) {
        return E_FAIL;
    }
}

// ---------------------------------------------------------------------------------------------
// The strip

TBandHost::TBandHost()
{
    siteObject_ = new TBandSite(this);
}

TBandHost::~TBandHost()
{
    Close();
    if (strip_) {
        closing_ = true;  // no quit message for a strip destroyed with its host
        DestroyWindow(strip_);
    }
    siteObject_->Detach();
    siteObject_->Release();
}

bool TBandHost::MakeWindows()
{
    if (strip_) return true;
    if (!RegisterClasses()) return false;
    // At the bottom of the screen, as wide as the screen, always on top: where a taskbar is.
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN), screenHeight = GetSystemMetrics(SM_CYSCREEN);
    strip_ = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kStripClass, L"bandhost",
                             WS_POPUP | WS_BORDER | WS_CLIPCHILDREN, 0, screenHeight - kRowHeight, screenWidth,
                             kRowHeight, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!strip_) return false;
    SetWindowLongPtrW(strip_, 0, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrW(strip_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&StripProc));
    RECT rc;
    GetClientRect(strip_, &rc);
    site_ = CreateWindowExW(0, kSiteClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, kGripper, kMargin,
                            rc.right - kGripper - kMargin, rc.bottom - 2 * kMargin, strip_, nullptr,
                            GetModuleHandleW(nullptr), nullptr);
    if (!site_) return false;
    SetWindowLongPtrW(site_, 0, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrW(site_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&SiteProc));
    return true;
}

HRESULT TBandHost::Open(TBandLibrary& library, const CLSID& classID)
{
    if (band_) return error_ = L"a band is already open", E_UNEXPECTED;
    error_.clear();
    if (!MakeWindows()) return error_ = L"cannot make the strip", E_FAIL;

    HRESULT hr = library.CreateObject(classID, &band_);
    if (FAILED(hr)) return error_ = HexResult(L"DllGetClassObject/CreateInstance", hr), hr;
    band_->QueryInterface(IID_IDeskBand, reinterpret_cast<void**>(&deskBand_));
    band_->QueryInterface(IID_IObjectWithSite, reinterpret_cast<void**>(&withSite_));
    band_->QueryInterface(IID_IInputObject, reinterpret_cast<void**>(&input_));
    band_->QueryInterface(IID_IContextMenu, reinterpret_cast<void**>(&contextMenu_));
    if (!deskBand_ || !withSite_) {
        ReleaseBand();
        return error_ = L"the object is no desk band", E_NOINTERFACE;
    }
    hr = withSite_->SetSite(static_cast<IOleWindow*>(siteObject_));
    if (FAILED(hr)) {
        error_ = HexResult(L"SetSite", hr);
        Close();
        return hr;
    }
    hr = deskBand_->GetWindow(&bandWindow_);
    if (FAILED(hr) || !bandWindow_) {
        error_ = HexResult(L"GetWindow", hr);
        Close();
        return FAILED(hr) ? hr : E_FAIL;
    }
    hr = RefreshBandInfo();
    if (FAILED(hr)) {
        error_ = HexResult(L"GetBandInfo", hr);
        Close();
        return hr;
    }
    hr = deskBand_->ShowDW(TRUE);
    if (FAILED(hr)) {
        error_ = HexResult(L"ShowDW", hr);
        Close();
        return hr;
    }
    ShowWindow(strip_, SW_SHOWNA);
    UpdateWindow(strip_);
    return S_OK;
}

void TBandHost::Close()
{
    if (!band_) return;
    if (deskBand_) {
        deskBand_->ShowDW(FALSE);
        deskBand_->CloseDW(0);
    }
    if (withSite_) withSite_->SetSite(nullptr);
    ReleaseBand();
    // A band form closes by a message posted to its own window: handle it while that window
    // still lives in the site window, so that the form is freed and the library may go.
    PumpPending();
}

void TBandHost::ReleaseBand()
{
    ReleaseRef(contextMenu_);
    ReleaseRef(input_);
    ReleaseRef(withSite_);
    ReleaseRef(deskBand_);
    ReleaseRef(band_);
    bandWindow_ = nullptr;
    info_ = DESKBANDINFO{};
}

bool TBandHost::IsInBand(HWND window) const
{
    return bandWindow_ && window && (window == bandWindow_ || IsChild(bandWindow_, window));
}

HRESULT TBandHost::RefreshBandInfo()
{
    if (!deskBand_) return E_UNEXPECTED;
    DESKBANDINFO info{};
    info.dwMask = DBIM_MINSIZE | DBIM_MAXSIZE | DBIM_INTEGRAL | DBIM_ACTUAL | DBIM_TITLE | DBIM_MODEFLAGS |
                  DBIM_BKCOLOR;
    const HRESULT hr = deskBand_->GetBandInfo(0, DBIF_VIEWMODE_NORMAL, &info);
    if (FAILED(hr)) return hr;
    info_ = info;
    LayOut();
    return hr;
}

void TBandHost::LayOut()
{
    if (!strip_ || !bandWindow_) return;
    // The row is as high as the taskbar's, or the band's minimum height when that is more.
    const int siteHeight = std::max<int>(kRowHeight - 2 * kMargin, info_.ptMinSize.y);
    RECT frame{0, 0, 0, siteHeight + 2 * kMargin};
    AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrW(strip_, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongPtrW(strip_, GWL_EXSTYLE)));
    const int stripHeight = frame.bottom - frame.top;
    RECT stripRect;
    GetWindowRect(strip_, &stripRect);
    SetWindowPos(strip_, nullptr, 0, GetSystemMetrics(SM_CYSCREEN) - stripHeight, stripRect.right - stripRect.left,
                 stripHeight, SWP_NOZORDER | SWP_NOACTIVATE);
    RECT rc;
    GetClientRect(strip_, &rc);
    const int siteWidth = rc.right - kGripper - kMargin;
    SetWindowPos(site_, nullptr, kGripper, kMargin, siteWidth, siteHeight, SWP_NOZORDER | SWP_NOACTIVATE);

    // The band gets its ideal width (its minimum when it names none) within its limits, and the
    // row's height within its limits, vertically centred.
    auto clamp = [](LONG want, LONG low, LONG high) {
        if (high > 0) want = std::min(want, high);
        return std::max(want, low);
    };
    const LONG wantWidth = info_.ptActual.x > 0 ? info_.ptActual.x : info_.ptMinSize.x;
    const int width = std::min<int>(clamp(wantWidth, info_.ptMinSize.x, info_.ptMaxSize.x), siteWidth);
    const int height = std::min<int>(clamp(siteHeight, info_.ptMinSize.y, info_.ptMaxSize.y), siteHeight);
    SetWindowPos(bandWindow_, nullptr, 0, (siteHeight - height) / 2, std::max(width, 1), std::max(height, 1),
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

HRESULT TBandHost::Activate()
{
    if (!input_) return E_UNEXPECTED;
    ++activations_;
    return input_->UIActivateIO(TRUE, nullptr);
}

bool TBandHost::PreTranslate(MSG& msg)
{
    if (!band_ || !IsInBand(msg.hwnd)) return false;
    if (msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST) {
        if (!input_) return false;
        ++keysOffered_;
        if (input_->TranslateAcceleratorIO(&msg) == S_OK) {
            ++keysTaken_;
            return true;
        }
        return false;
    }
    if (input_ && (msg.message == WM_LBUTTONDOWN || msg.message == WM_RBUTTONDOWN ||
                   msg.message == WM_MBUTTONDOWN)) {
        // The click itself still goes to the window under the mouse afterwards.
        ++activations_;
        input_->UIActivateIO(TRUE, &msg);
    }
    return false;
}

void TBandHost::ProcessMessage(MSG& msg)
{
    if (PreTranslate(msg)) return;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
}

void TBandHost::PumpPending()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));  // for the loop that owns it
            break;
        }
        ProcessMessage(msg);
    }
}

int TBandHost::Run()
{
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) ProcessMessage(msg);
    return static_cast<int>(msg.wParam);
}

HMENU TBandHost::BuildContextMenu()
{
    HMENU menu = CreatePopupMenu();
    if (!menu) return nullptr;
    AppendMenuW(menu, MF_STRING, kCloseCommand, L"閉じる(&C)");
    if (contextMenu_) {
        AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        contextMenu_->QueryContextMenu(menu, static_cast<UINT>(GetMenuItemCount(menu)), kFirstBandCommand,
                                       kLastBandCommand, CMF_NORMAL);
    }
    return menu;
}

HRESULT TBandHost::InvokeContextCommand(UINT command)
{
    if (command == kCloseCommand) {
        if (strip_) PostMessageW(strip_, WM_CLOSE, 0, 0);
        return S_OK;
    }
    if (command < kFirstBandCommand || command > kLastBandCommand || !contextMenu_) return E_INVALIDARG;
    CMINVOKECOMMANDINFO info{};
    info.cbSize = sizeof info;
    info.hwnd = strip_;
    info.lpVerb = MAKEINTRESOURCEA(command - kFirstBandCommand);
    info.nShow = SW_SHOWNORMAL;
    return contextMenu_->InvokeCommand(&info);
}

void TBandHost::ShowContextMenu(POINT screen)
{
    HMENU menu = BuildContextMenu();
    if (!menu) return;
    UINT command = 0;
    if (ChooseMenuCommand) {
        command = ChooseMenuCommand(menu, screen);
    } else {
        SetForegroundWindow(strip_);  // so that a click elsewhere dismisses the menu
        command = static_cast<UINT>(TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_BOTTOMALIGN,
                                                   screen.x, screen.y, 0, strip_, nullptr));
    }
    DestroyMenu(menu);
    if (command) InvokeContextCommand(command);
}

LRESULT CALLBACK TBandHost::StripProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    try {
        if (auto* self = reinterpret_cast<TBandHost*>(GetWindowLongPtrW(hwnd, 0)))
            return self->HandleStrip(msg, wParam, lParam);
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    } catch (...) {
        return 0;
    }
}

LRESULT CALLBACK TBandHost::SiteProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    try {
        if (auto* self = reinterpret_cast<TBandHost*>(GetWindowLongPtrW(hwnd, 0)))
            return self->HandleSite(msg, wParam, lParam);
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    } catch (...) {
        return 0;
    }
}

LRESULT TBandHost::HandleStrip(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_CLOSE:
        Close();
        DestroyWindow(strip_);
        return 0;
    case WM_DESTROY:
        // The children go with the strip; a band still open here loses its window.
        strip_ = nullptr, site_ = nullptr;
        if (QuitWhenClosed && !closing_) PostQuitMessage(0);
        return 0;
    case WM_SETFOCUS:
        // Moving into the strip moves into its band.
        if (input_) Activate();
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(strip_, &ps);
        RECT grip{3, kMargin + 1, 7, 0};
        RECT rc;
        GetClientRect(strip_, &rc);
        grip.bottom = rc.bottom - kMargin - 1;
        DrawEdge(dc, &grip, BDR_RAISEDINNER, BF_RECT);
        EndPaint(strip_, &ps);
        return 0;
    }
    case WM_CONTEXTMENU:
        return HandleSite(msg, wParam, lParam);
    }
    return DefWindowProcW(strip_, msg, wParam, lParam);
}

LRESULT TBandHost::HandleSite(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_CONTEXTMENU: {
        // Right-clicks the band does not take itself come up to its parent, the site.
        POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        if (lParam == -1) {  // from the keyboard: at the band's corner
            RECT rc;
            GetWindowRect(bandWindow_ ? bandWindow_ : site_, &rc);
            at = POINT{rc.left, rc.top};
        }
        ShowContextMenu(at);
        return 0;
    }
    }
    return DefWindowProcW(site_, msg, wParam, lParam);
}

}  // namespace bandhost
