// The search band's benchmark, run by hand (bench/run runs it for both architectures and prints
// the two columns side by side). It plays the shell in-process through bandhostlib and measures:
// the band's life from creation to shown and back to closed (and the windows it makes on the
// way), against the framework's smallest band and against the same windows made directly by
// plain calls; where SetSite and GetBandInfo spend their time; the hover tracking per timer
// tick, the reload per WM_SETFOCUS, and one search from Enter to the shell's call with the
// history save, all driven through the band's window messages, the last two also against the
// platform calls they cannot do without and broken down by the platform calls they make; the
// GDI objects, windows and private memory before and after, and the private memory one band
// adds; and the library's size.
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
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "BandBreakdown.h"
#include "BandCycle.h"
#include "BandHost.h"
#include "BandSettings.h"
#include "BenchSupport.h"
#include "ImportPatch.h"
#include "PlatformCalls.h"
#include "ProbeBand.h"
#include "ResourceCounters.h"
#include "WindowTree.h"

namespace {

using bench::Clock;
using bench::Cycle;
using bench::Fixed;
using bench::Row;
using bench::TCycleTimes;

constexpr int kCycles = 1000;
constexpr int kTicks = 10000;
constexpr int kReloads = 1000;
constexpr int kSearches = 10000;

std::string Signed(long long v)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%+lld", v);
    return buf;
}

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

// The windows that a run of the code makes, untimed, "cannot site" when it says it failed.
std::string WindowsMadeBy(const std::function<bool()>& run)
{
    HHOOK hook = SetWindowsHookExW(WH_CBT, &CountWindowsMade, nullptr, GetCurrentThreadId());
    if (!hook) return "no hook";
    windowsMade = 0;
    const bool ran = run();
    UnhookWindowsHookEx(hook);
    return ran ? std::to_string(windowsMade) : "cannot site";
}

std::string WindowsMadePerCycle(bandhost::TBandLibrary& library, bandhost::TBandHost& host, const CLSID& classID)
{
    TCycleTimes unused;
    return WindowsMadeBy([&] { return Cycle(library, host, classID, unused); });
}

// Committed private memory that one more band open in its own host adds to the process. The
// heaps keep what earlier bands freed, and new bands fill that first: a first batch of bands
// open takes it up, and the figure is the mean growth over a second batch opened beside them.
std::string PrivateKiBPerBand(bandhost::TBandLibrary& library, const CLSID& classID)
{
    constexpr int kFilling = 20, kMeasured = 40;
    std::vector<std::unique_ptr<bandhost::TBandHost>> hosts;
    auto open = [&](int count) {
        for (int i = 0; i < count; ++i) {
            hosts.push_back(std::make_unique<bandhost::TBandHost>());
            if (FAILED(hosts.back()->Open(library, classID))) return false;
        }
        return true;
    };
    std::string result = "cannot open";
    if (open(kFilling)) {
        const uint64_t before = bench::CountResources().privateBytes;
        if (open(kMeasured))
            result = Fixed((static_cast<double>(bench::CountResources().privateBytes) - static_cast<double>(before)) /
                           1024 / kMeasured);
    }
    for (auto& h : hosts) h->Close();
    return result;
}

// The same window tree as the band's, made and destroyed kCycles times by plain calls after one
// to warm up; the mean microseconds.
double TimeDirectTree(const bench::TWindowTree& tree, HWND parent)
{
    tree.MakeAndDestroy(parent);
    Clock clock;
    for (int i = 0; i < kCycles; ++i) tree.MakeAndDestroy(parent);
    return clock.Microseconds() / kCycles;
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
    bench::PrintBandBreakdown(library, host, BandClassId, "search");

    const std::vector<HWND> messageOnlyBefore = bench::MessageOnlyWindowsOf(library.Module());
    if (FAILED(host.Open(library, BandClassId))) {
        Row("search band", "cannot open");
        return;
    }
    HWND form = host.BandWindow();
    // The band's windows as the shell shows them, made again without the band once it is closed.
    const bench::TWindowTree tree(form, library.Module(), messageOnlyBefore);
    FindData edit{L"Edit", nullptr};
    EnumChildWindows(form, &FindChildOfClass, reinterpret_cast<LPARAM>(&edit));

    // Hover tracking: the timer's tick, with the cursor over the input box's column.
    RECT rc;
    GetWindowRect(form, &rc);
    SetCursorPos(rc.left + 150, rc.top + 10);
    const std::vector<HWND> timers = bench::MessageOnlyWindowsOf(library.Module());
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
        const double reload = clock.Microseconds() / kReloads;
        Row("ReloadSettings per WM_SETFOCUS (us)", Fixed(reload));
        const double calls = bench::TimeReloadCalls(ini, true, kReloads);
        Row("  reload's platform calls: section names, keys of the sections held (us)", Fixed(calls));
        Row("  reload's platform calls: every key read by itself (us)",
            Fixed(bench::TimeReloadCalls(ini, false, kReloads)));
        Row("reload, ratio to its platform calls", Fixed(reload / calls, 2));
        bench::PrintStepBreakdown(library.Module(), GetModuleHandleW(nullptr), "reload", kReloads / 10,
                                  [&] { SendMessageW(form, WM_SETFOCUS, 0, 0); });
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
        const int bandCalls = shellCalls;
        const double calls = bench::TimeSearchCalls(ini, lastUrl, &NoBrowser, kSearches);
        shellCalls = bandCalls;
        Row("  search's platform calls: shell stand-in, history and SELECTED written (us)", Fixed(calls));
        Row("search, ratio to its platform calls", Fixed(total / kSearches / calls, 2));
        Row("search band, change after 10,000 searches", Change(before, bench::CountResources()));
        Row("searches that reached the shell", std::to_string(shellCalls) + " of " + std::to_string(kSearches));
        bench::PrintStepBreakdown(library.Module(), GetModuleHandleW(nullptr), "search", kSearches / 10, [&] {
            PostMessageW(edit.found, WM_KEYDOWN, VK_RETURN, 0x001C0001);
            host.PumpPending();
        });
        char url[256] = {};
        WideCharToMultiByte(CP_UTF8, 0, lastUrl.c_str(), -1, url, sizeof url - 1, nullptr, nullptr);
        Row("last URL", url);
    } else {
        Row("search, Enter to shell call with save (us)", "no input box or no shell import");
    }
    host.Close();

    // In the same site window as the band's.
    const double direct = TimeDirectTree(tree, host.SiteWindow());
    Row("band cycle, same windows made directly (us)", Fixed(direct));
    Row("windows made per cycle, same windows made directly",
        WindowsMadeBy([&] { return tree.MakeAndDestroy(host.SiteWindow()), true; }));
    Row("  windows made directly: class [system class] style < parent", tree.Describe());
    Row("band cycle, ratio search / same windows made directly", Fixed(cycle.Total() / direct, 2));
    Row("private memory added by one band (KiB), search band", PrivateKiBPerBand(library, BandClassId));

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
        Row("private memory added by one band (KiB), minimal band", PrivateKiBPerBand(probe, CLSID_MinimalBand));
    }
    probe.UnloadIfUnused();
    BenchSearchBand(argv[1], minimal);
    OleUninitialize();
    LocalFree(argv);
    return 0;
}
