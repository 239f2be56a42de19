// The search band's benchmark, run by hand (bench/run runs it for both architectures and prints
// the two columns side by side). It plays the shell in-process through bandhostlib and measures:
// the band's life from creation to shown and back to closed (and the windows it makes on the
// way), against the framework's smallest band; the hover tracking per timer tick, the reload per
// WM_SETFOCUS, and one search from Enter to the shell's call with the history save, all driven
// through the band's window messages; the GDI objects, windows and private memory before and
// after; and the library's size.
//
//   bench_band.exe KERVODLL PROBEBAND
//
// Prints one "label<TAB>value" line per figure. The search band runs from a copy in a scratch
// folder, registered there for the run with a settings file of the benchmark's own, and its call
// of ShellExecuteW is replaced in its import table so that no browser starts.
#include <windows.h>
#include <ole2.h>
#include <shellapi.h>

#include <cstdio>
#include <string>
#include <vector>

#include "BandHost.h"
#include "BandSettings.h"
#include "ImportPatch.h"
#include "ProbeBand.h"
#include "ResourceCounters.h"

namespace {

constexpr int kCycles = 1000;
constexpr int kTicks = 10000;
constexpr int kReloads = 1000;
constexpr int kSearches = 10000;

void Row(const std::string& label, const std::string& value)
{
    std::printf("%s\t%s\n", label.c_str(), value.c_str());
    std::fflush(stdout);
}

std::string Fixed(double v, int decimals = 1)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    return buf;
}

std::string Signed(long long v)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%+lld", v);
    return buf;
}

class Clock {
public:
    Clock()
    {
        QueryPerformanceFrequency(&freq_);
        QueryPerformanceCounter(&start_);
    }
    double Microseconds() const
    {
        LARGE_INTEGER now;
        QueryPerformanceCounter(&now);
        return double(now.QuadPart - start_.QuadPart) * 1e6 / double(freq_.QuadPart);
    }

private:
    LARGE_INTEGER freq_, start_;
};

// The change of each counter since a baseline: GDI objects, windows, KiB of private memory.
std::string Change(const bench::TResourceCounts& before, const bench::TResourceCounts& after)
{
    return Signed(after.GdiInUseSince(before)) + " GDI, " + Signed(after.windows - before.windows) + " win, " +
           Signed((static_cast<long long>(after.privateBytes) - static_cast<long long>(before.privateBytes)) / 1024) +
           " KiB";
}

// A counter is trusted only when it sees a leak made on purpose.
void ProveCounters()
{
    // A thread with windows has an input-method window too, which goes with its last window: one
    // window stays during the proof, so that only the leaked ones count.
    HWND keeper = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    const bench::TResourceCounts before = bench::CountResources();
    std::vector<HBRUSH> brushes;
    for (int i = 0; i < 100; ++i) brushes.push_back(CreateSolidBrush(RGB(i, 0, 0)));
    std::vector<HWND> windows;
    for (int i = 0; i < 10; ++i)
        windows.push_back(CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr));
    void* block = VirtualAlloc(nullptr, 4 << 20, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    const bench::TResourceCounts leaked = bench::CountResources();
    for (HBRUSH b : brushes) DeleteObject(b);
    for (HWND w : windows) DestroyWindow(w);
    VirtualFree(block, 0, MEM_RELEASE);
    const bench::TResourceCounts after = bench::CountResources();
    DestroyWindow(keeper);
    Row("counters: 100 brushes, 10 windows, 4096 KiB leaked", Change(before, leaked));
    Row("counters: the same freed again", Change(before, after));
}

// Where a cycle's time goes: the shell's steps in order.
struct TCycleTimes {
    double create = 0, setSite = 0, bandInfo = 0, show = 0, close = 0, release = 0;
    double Total() const { return create + setSite + bandInfo + show + close + release; }
    std::string Phases() const
    {
        return Fixed(create) + " / " + Fixed(setSite) + " / " + Fixed(bandInfo) + " / " + Fixed(show) + " / " +
               Fixed(close) + " / " + Fixed(release);
    }
};

// One band's life as the shell leads it, on the host's site: the class factory's new object,
// SetSite, GetBandInfo, ShowDW(TRUE), then ShowDW(FALSE) and CloseDW, SetSite(NULL) and the
// release, with the messages the band posted itself on the way out. Adds each step's time.
bool Cycle(bandhost::TBandLibrary& library, bandhost::TBandHost& host, const CLSID& classID, TCycleTimes& times)
{
    Clock clock;
    double mark = 0;
    auto step = [&](double& into) {
        const double now = clock.Microseconds();
        into += now - mark;
        mark = now;
    };
    IUnknown* band = nullptr;
    if (FAILED(library.CreateObject(classID, &band))) return false;
    IDeskBand* deskBand = nullptr;
    IObjectWithSite* withSite = nullptr;
    band->QueryInterface(IID_IDeskBand, reinterpret_cast<void**>(&deskBand));
    band->QueryInterface(IID_IObjectWithSite, reinterpret_cast<void**>(&withSite));
    step(times.create);
    const bool sited = deskBand && withSite && SUCCEEDED(withSite->SetSite(static_cast<IOleWindow*>(host.Site())));
    step(times.setSite);
    DESKBANDINFO info{};
    info.dwMask = DBIM_MINSIZE | DBIM_MAXSIZE | DBIM_INTEGRAL | DBIM_ACTUAL | DBIM_TITLE | DBIM_MODEFLAGS |
                  DBIM_BKCOLOR;
    if (sited) deskBand->GetBandInfo(0, DBIF_VIEWMODE_NORMAL, &info);
    step(times.bandInfo);
    if (sited) deskBand->ShowDW(TRUE);
    step(times.show);
    if (deskBand) {
        deskBand->ShowDW(FALSE);
        deskBand->CloseDW(0);
    }
    step(times.close);
    if (withSite) {
        withSite->SetSite(nullptr);
        withSite->Release();
    }
    if (deskBand) deskBand->Release();
    band->Release();
    host.PumpPending();
    step(times.release);
    return sited;
}

// kCycles lives of a band in the host's site after one to warm up (classes, fonts and caches
// that stay for the process are made once); the mean times per cycle in microseconds.
TCycleTimes TimeCycles(bandhost::TBandLibrary& library, bandhost::TBandHost& host, const CLSID& classID,
                       std::string& change)
{
    TCycleTimes times;
    // The host's own open and close make the strip and its site window.
    if (!host.IsOpen() && FAILED(host.Open(library, classID))) return times;
    host.Close();
    if (!Cycle(library, host, classID, times)) return times;
    times = TCycleTimes{};
    const bench::TResourceCounts before = bench::CountResources();
    for (int i = 0; i < kCycles; ++i)
        if (!Cycle(library, host, classID, times)) return TCycleTimes{};
    change = Change(before, bench::CountResources());
    for (double* t : {&times.create, &times.setSite, &times.bandInfo, &times.show, &times.close, &times.release})
        *t /= kCycles;
    return times;
}

// Windows made in one more life of a band, untimed: a form whose window tree is made more than
// once while it is set up shows here before it shows in the times.
int windowsMade = 0;
LRESULT CALLBACK CountWindowsMade(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_CREATEWND) ++windowsMade;
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

std::string WindowsMadePerCycle(bandhost::TBandLibrary& library, bandhost::TBandHost& host, const CLSID& classID)
{
    HHOOK hook = SetWindowsHookExW(WH_CBT, &CountWindowsMade, nullptr, GetCurrentThreadId());
    if (!hook) return "no hook";
    windowsMade = 0;
    TCycleTimes unused;
    const bool sited = Cycle(library, host, classID, unused);
    UnhookWindowsHookEx(hook);
    return sited ? std::to_string(windowsMade) : "cannot site";
}

// The search band's hook on the shell: counts the calls and remembers the last URL.
int shellCalls = 0;
std::wstring lastUrl;
HINSTANCE WINAPI NoBrowser(HWND, LPCWSTR, LPCWSTR file, LPCWSTR, LPCWSTR, INT)
{
    ++shellCalls;
    if (file) lastUrl = file;
    return reinterpret_cast<HINSTANCE>(static_cast<INT_PTR>(42));
}

struct FindData {
    const wchar_t* className;
    HWND found;
};

BOOL CALLBACK FindChildOfClass(HWND w, LPARAM p)
{
    auto* d = reinterpret_cast<FindData*>(p);
    wchar_t name[64] = {};
    GetClassNameW(w, name, 64);
    if (lstrcmpiW(name, d->className) == 0) {
        d->found = w;
        return FALSE;
    }
    return TRUE;
}

// Message-only windows of this thread of the class library's utility class that belong to the
// module: the form's timer carries its ticks in one of them.
std::vector<HWND> UtilityWindows(HMODULE module)
{
    std::vector<HWND> found;
    for (HWND w = nullptr; (w = FindWindowExW(HWND_MESSAGE, w, L"TKervoUtilWindow", nullptr)) != nullptr;) {
        if (GetWindowThreadProcessId(w, nullptr) != GetCurrentThreadId()) continue;
        if (reinterpret_cast<HMODULE>(GetClassLongPtrW(w, GCLP_HMODULE)) == module) found.push_back(w);
    }
    return found;
}

void BenchSearchBand(const std::wstring& source, double minimalCycle)
{
    WIN32_FILE_ATTRIBUTE_DATA fa{};
    if (!GetFileAttributesExW(source.c_str(), GetFileExInfoStandard, &fa)) {
        Row("search band", "not built");
        return;
    }
    Row("kervodll.dll size (bytes)", std::to_string(fa.nFileSizeLow));

    // A private copy with a settings file of its own, registered for the run.
    wchar_t tmp[MAX_PATH];
    GetTempPathW(MAX_PATH, tmp);
    const std::wstring dir = std::wstring(tmp) + L"kervobench-" + std::to_wstring(GetCurrentProcessId()) + L"\\";
    CreateDirectoryW(dir.c_str(), nullptr);
    const std::wstring path = dir + L"kervodll.dll", ini = dir + L"kervodll.ini";
    CopyFileW(source.c_str(), path.c_str(), FALSE);
    WritePrivateProfileStringW(L"SEARCH0", L"TITLE", L"Bench", ini.c_str());
    WritePrivateProfileStringW(L"SEARCH0", L"URL", L"http://bench.invalid/?q=", ini.c_str());

    bandhost::TBandLibrary library;
    // Registered first, then loaded afresh, so that the library finds its path at start-up as it
    // does in the shell.
    if (!library.Load(path) || FAILED(library.Register()) || !library.UnloadIfUnused() || !library.Load(path)) {
        Row("search band", "cannot load or register");
        return;
    }
    bandhost::TBandHost host;
    std::string cycleChange;
    const TCycleTimes cycle = TimeCycles(library, host, BandClassId, cycleChange);
    Row("band cycle, search band (us)", Fixed(cycle.Total()));
    Row("  search: create/SetSite/BandInfo/ShowDW/close/release", cycle.Phases());
    Row("band cycle, ratio search / minimal", Fixed(cycle.Total() / minimalCycle, 2));
    Row("windows made per cycle, search band", WindowsMadePerCycle(library, host, BandClassId));
    Row("search band, change after 1,000 cycles", cycleChange);

    if (FAILED(host.Open(library, BandClassId))) {
        Row("search band", "cannot open");
        return;
    }
    HWND form = host.BandWindow();
    FindData edit{L"Edit", nullptr};
    EnumChildWindows(form, &FindChildOfClass, reinterpret_cast<LPARAM>(&edit));

    // Hover tracking: the timer's tick, with the cursor over the input box's column.
    RECT rc;
    GetWindowRect(form, &rc);
    SetCursorPos(rc.left + 150, rc.top + 10);
    const std::vector<HWND> timers = UtilityWindows(library.Module());
    if (!timers.empty()) {
        Clock clock;
        for (int i = 0; i < kTicks; ++i)
            for (HWND t : timers) SendMessageW(t, WM_TIMER, 1, 0);
        Row("TrackHover per tick (us)", Fixed(clock.Microseconds() / kTicks, 2));
        Row("timer windows ticked", std::to_string(timers.size()));
    } else {
        Row("TrackHover per tick (us)", "no timer window");
    }

    // Reload: what the settings program sends after a save.
    {
        Clock clock;
        for (int i = 0; i < kReloads; ++i) SendMessageW(form, WM_SETFOCUS, 0, 0);
        Row("ReloadSettings per WM_SETFOCUS (us)", Fixed(clock.Microseconds() / kReloads));
    }

    // Searches: Enter in the input box, through the shell's loop, to the shell's call.
    if (edit.found && bench::PatchImport(library.Module(), "shell32.dll", "ShellExecuteW", reinterpret_cast<void*>(&NoBrowser))) {
        SetFocus(edit.found);
        SetWindowTextW(edit.found, L"日本 a&b");
        const bench::TResourceCounts before = bench::CountResources();
        double total = 0;
        for (int i = 0; i < kSearches; ++i) {
            Clock clock;
            PostMessageW(edit.found, WM_KEYDOWN, VK_RETURN, 0x001C0001);
            host.PumpPending();
            total += clock.Microseconds();
        }
        Row("search, Enter to shell call with save (us)", Fixed(total / kSearches));
        Row("search band, change after 10,000 searches", Change(before, bench::CountResources()));
        Row("searches that reached the shell", std::to_string(shellCalls) + " of " + std::to_string(kSearches));
        char url[256] = {};
        WideCharToMultiByte(CP_UTF8, 0, lastUrl.c_str(), -1, url, sizeof url - 1, nullptr, nullptr);
        Row("last URL", url);
    } else {
        Row("search, Enter to shell call with save (us)", "no input box or no shell import");
    }
    host.Close();
    library.Unregister();
    library.UnloadIfUnused();
    DeleteFileW(ini.c_str());
    DeleteFileW(path.c_str());
    RemoveDirectoryW(dir.c_str());
}

}  // namespace

int main()
{
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_band.exe KERVODLL PROBEBAND\n");
        return 2;
    }
    OleInitialize(nullptr);
    Row("architecture", sizeof(void*) == 8 ? "x86_64" : "i686");
    ProveCounters();

    bandhost::TBandLibrary probe;
    if (!probe.Load(argv[2])) {
        std::fprintf(stderr, "cannot load the probe band library\n");
        return 1;
    }
    double minimal = 0;
    {
        bandhost::TBandHost host;
        std::string change;
        const TCycleTimes times = TimeCycles(probe, host, CLSID_MinimalBand, change);
        minimal = times.Total();
        Row("band cycle, minimal band (us)", Fixed(minimal));
        Row("windows made per cycle, minimal band", WindowsMadePerCycle(probe, host, CLSID_MinimalBand));
        Row("  minimal: create/SetSite/BandInfo/ShowDW/close/release", times.Phases());
        Row("minimal band, change after 1,000 cycles", change);
    }
    probe.UnloadIfUnused();
    BenchSearchBand(argv[1], minimal);
    OleUninitialize();
    LocalFree(argv);
    return 0;
}
