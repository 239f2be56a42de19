#include "ImportTimers.h"

#include <ole2.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <iterator>
#include <map>
#include <tuple>

#include "ImportPatch.h"

namespace bench {

namespace {

// A function's name as the module imports it: where the headers name it by a macro (the 32-bit
// GetWindowLongPtrA is GetWindowLongA), the function the macro stands for.
#define BENCH_NAME_OF(f) #f
#define BENCH_EXPANDED_NAME(f) BENCH_NAME_OF(f)

// The imports timed: module, function, and for the calls that carry a window message the
// position of their window argument (the message follows it); -1 for the others. A function the
// module does not import by name is left alone. An import left off counts as the module's own
// time, so every import of the band that does more than a few instructions is here; left off are
// the unwinding and exception calls, which a wrapper would break, and those cheaper than the
// wrapper (thread-local storage, locks, the last error, rectangle arithmetic).
#define BENCH_TIMED_IMPORTS(X)                                                                   \
    X("USER32.dll", CreateWindowExA, -1) X("USER32.dll", CreateWindowExW, -1)                    \
    X("USER32.dll", DestroyWindow, -1) X("USER32.dll", SetWindowPos, -1)                          \
    X("USER32.dll", ShowWindow, -1) X("USER32.dll", SendMessageA, 0) X("USER32.dll", SendMessageW, 0) \
    X("USER32.dll", CallWindowProcA, 1) X("USER32.dll", CallWindowProcW, 1)                       \
    X("USER32.dll", DefWindowProcA, 0) X("USER32.dll", DefWindowProcW, 0)                         \
    X("USER32.dll", PostMessageA, 0) X("USER32.dll", PostMessageW, 0)                             \
    X("USER32.dll", RegisterClassA, -1) X("USER32.dll", RegisterClassW, -1)                       \
    X("USER32.dll", GetClassInfoA, -1) X("USER32.dll", GetClassInfoW, -1)                         \
    X("USER32.dll", SetWindowsHookExW, -1) X("USER32.dll", SetTimer, -1) X("USER32.dll", KillTimer, -1) \
    X("USER32.dll", RegisterHotKey, -1) X("USER32.dll", UnregisterHotKey, -1)                     \
    X("USER32.dll", SetPropA, -1) X("USER32.dll", RemovePropA, -1) X("USER32.dll", GetPropA, -1)  \
    X("USER32.dll", InvalidateRect, -1) X("USER32.dll", UpdateWindow, -1)                         \
    X("USER32.dll", SetWindowTextA, -1) X("USER32.dll", SetWindowTextW, -1)                       \
    X("USER32.dll", GetDC, -1) X("USER32.dll", ReleaseDC, -1) X("USER32.dll", BeginPaint, -1)     \
    X("USER32.dll", EndPaint, -1) X("USER32.dll", SystemParametersInfoW, -1)                      \
    X("USER32.dll", CreatePopupMenu, -1) X("USER32.dll", InsertMenuItemA, -1)                     \
    X("USER32.dll", SetMenuItemInfoW, -1) X("USER32.dll", DestroyMenu, -1)                        \
    X("USER32.dll", EnableWindow, -1) X("USER32.dll", SetFocus, -1) X("USER32.dll", GetComboBoxInfo, -1) \
    X("USER32.dll", LoadCursorA, -1) X("USER32.dll", GetSystemMetrics, -1) X("USER32.dll", GetSysColor, -1) \
    X("USER32.dll", DrawTextA, -1) X("USER32.dll", DrawTextW, -1) X("USER32.dll", FillRect, -1)   \
    X("USER32.dll", GetWindowRect, -1) X("USER32.dll", GetClientRect, -1)                         \
    X("GDI32.dll", CreateFontIndirectW, -1) X("GDI32.dll", DeleteObject, -1)                      \
    X("GDI32.dll", SelectObject, -1) X("GDI32.dll", GetTextMetricsA, -1)                          \
    X("GDI32.dll", GetTextExtentPoint32A, -1) X("GDI32.dll", GetTextExtentPoint32W, -1)           \
    X("GDI32.dll", CreateSolidBrush, -1) X("GDI32.dll", CreateCompatibleDC, -1)                   \
    X("GDI32.dll", CreateDIBSection, -1) X("GDI32.dll", DeleteDC, -1) X("GDI32.dll", BitBlt, -1)  \
    X("GDI32.dll", GetStockObject, -1) X("GDI32.dll", GetDeviceCaps, -1)                          \
    X("KERNEL32.dll", FindResourceA, -1) X("KERNEL32.dll", LoadResource, -1)                      \
    X("KERNEL32.dll", LockResource, -1) X("KERNEL32.dll", SizeofResource, -1)                     \
    X("KERNEL32.dll", GetPrivateProfileSectionNamesW, -1) X("KERNEL32.dll", GetPrivateProfileStringW, -1) \
    X("KERNEL32.dll", WritePrivateProfileStringW, -1) X("KERNEL32.dll", GetDriveTypeW, -1)        \
    X("KERNEL32.dll", GetFileAttributesW, -1) X("KERNEL32.dll", GetModuleFileNameA, -1)           \
    X("KERNEL32.dll", GlobalAddAtomA, -1) X("KERNEL32.dll", VirtualAlloc, -1)                     \
    X("KERNEL32.dll", VirtualProtect, -1) X("KERNEL32.dll", FlushInstructionCache, -1)            \
    X("KERNEL32.dll", MultiByteToWideChar, -1) X("KERNEL32.dll", WideCharToMultiByte, -1)         \
    X("KERNEL32.dll", CompareStringA, -1) X("ADVAPI32.dll", RegOpenKeyExA, -1)                    \
    X("ADVAPI32.dll", RegQueryValueExW, -1) X("ADVAPI32.dll", RegCloseKey, -1)                    \
    X("ole32.dll", RegisterDragDrop, -1) X("ole32.dll", RevokeDragDrop, -1)                       \
    X("USER32.dll", GetFocus, -1) X("USER32.dll", GetParent, -1) X("USER32.dll", GetKeyState, -1)   \
    X("USER32.dll", IsWindowVisible, -1) X("USER32.dll", IsWindowUnicode, -1)                      \
    X("USER32.dll", GetWindowTextW, -1) X("USER32.dll", GetWindowTextLengthW, -1)                  \
    X("USER32.dll", IsChild, -1) X("USER32.dll", IsWindowEnabled, -1) X("USER32.dll", IsWindow, -1) \
    X("USER32.dll", GetCapture, -1) X("USER32.dll", GetActiveWindow, -1) X("USER32.dll", IsIconic, -1) \
    X("USER32.dll", GetWindowThreadProcessId, -1) X("USER32.dll", GetClassNameW, -1)               \
    X("USER32.dll", MapWindowPoints, -1) X("USER32.dll", GetDlgItem, -1)                           \
    X("KERNEL32.dll", CreateFileW, -1) X("KERNEL32.dll", CloseHandle, -1) X("KERNEL32.dll", GetTickCount, -1) \
    X("USER32.dll", CallNextHookEx, -1) X("USER32.dll", IsDialogMessageA, -1) X("USER32.dll", PeekMessageA, -1) \
    X("USER32.dll", DispatchMessageA, -1) X("USER32.dll", DispatchMessageW, -1)                    \
    X("USER32.dll", TranslateMessage, -1) X("USER32.dll", GetWindowLongPtrA, -1)                   \
    X("USER32.dll", GetWindowLongPtrW, -1) X("USER32.dll", GetCursorPos, -1)                       \
    X("USER32.dll", WindowFromPoint, -1) X("USER32.dll", GetForegroundWindow, -1)                  \
    X("USER32.dll", SetWindowLongPtrA, -1) X("USER32.dll", SetWindowLongPtrW, -1)                  \
    X("USER32.dll", GetWindow, -1) X("USER32.dll", GetAncestor, -1) X("USER32.dll", GetDesktopWindow, -1) \
    X("USER32.dll", ScreenToClient, -1) X("USER32.dll", ClientToScreen, -1)                        \
    X("USER32.dll", AdjustWindowRectEx, -1) X("USER32.dll", GetSysColorBrush, -1)                  \
    X("USER32.dll", GetWindowDC, -1) X("USER32.dll", DrawEdge, -1) X("USER32.dll", DrawFrameControl, -1) \
    X("USER32.dll", FrameRect, -1) X("USER32.dll", SetCapture, -1) X("USER32.dll", ReleaseCapture, -1) \
    X("USER32.dll", SetActiveWindow, -1) X("USER32.dll", SetForegroundWindow, -1)                  \
    X("USER32.dll", UnregisterClassA, -1) X("USER32.dll", UnregisterClassW, -1)                    \
    X("USER32.dll", UnhookWindowsHookEx, -1) X("USER32.dll", EnumThreadWindows, -1)                \
    X("USER32.dll", LoadStringW, -1) X("USER32.dll", GetKeyNameTextA, -1) X("USER32.dll", GetKeyNameTextW, -1) \
    X("USER32.dll", MapVirtualKeyA, -1) X("USER32.dll", MapVirtualKeyW, -1)                        \
    X("USER32.dll", InSendMessageEx, -1) X("USER32.dll", SendMessageTimeoutA, 0)                   \
    X("USER32.dll", CreateMenu, -1) X("USER32.dll", GetMenuItemCount, -1) X("USER32.dll", GetMenuItemInfoW, -1) \
    X("USER32.dll", GetMenuStringW, -1) X("USER32.dll", GetSubMenu, -1) X("USER32.dll", RemoveMenu, -1) \
    X("USER32.dll", IsMenu, -1) X("USER32.dll", DrawMenuBar, -1) X("USER32.dll", TrackPopupMenu, -1) \
    X("USER32.dll", RegisterClipboardFormatA, -1) X("USER32.dll", AttachThreadInput, -1)           \
    X("GDI32.dll", CreateBitmap, -1) X("GDI32.dll", CreateBrushIndirect, -1) X("GDI32.dll", CreatePen, -1) \
    X("GDI32.dll", ExcludeClipRect, -1) X("GDI32.dll", IntersectClipRect, -1) X("GDI32.dll", RectVisible, -1) \
    X("GDI32.dll", ExtTextOutA, -1) X("GDI32.dll", ExtTextOutW, -1) X("GDI32.dll", TextOutA, -1)   \
    X("GDI32.dll", GetCurrentPositionEx, -1) X("GDI32.dll", MoveToEx, -1) X("GDI32.dll", LineTo, -1) \
    X("GDI32.dll", GetDIBits, -1) X("GDI32.dll", SetDIBits, -1) X("GDI32.dll", StretchBlt, -1)     \
    X("GDI32.dll", GetNearestColor, -1) X("GDI32.dll", GetPixel, -1) X("GDI32.dll", SetPixel, -1)  \
    X("GDI32.dll", GetViewportOrgEx, -1) X("GDI32.dll", SetViewportOrgEx, -1)                      \
    X("GDI32.dll", Polygon, -1) X("GDI32.dll", Rectangle, -1) X("GDI32.dll", SaveDC, -1) X("GDI32.dll", RestoreDC, -1) \
    X("GDI32.dll", SetBkColor, -1) X("GDI32.dll", SetBkMode, -1) X("GDI32.dll", SetTextColor, -1)  \
    X("GDI32.dll", UnrealizeObject, -1)                                                            \
    X("ADVAPI32.dll", RegCreateKeyExA, -1) X("ADVAPI32.dll", RegCreateKeyExW, -1)                  \
    X("ADVAPI32.dll", RegDeleteKeyA, -1) X("ADVAPI32.dll", RegDeleteKeyW, -1)                      \
    X("ADVAPI32.dll", RegEnumKeyExA, -1) X("ADVAPI32.dll", RegQueryInfoKeyA, -1)                   \
    X("ADVAPI32.dll", RegQueryValueExA, -1) X("ADVAPI32.dll", RegSetValueExA, -1)                  \
    X("ADVAPI32.dll", RegSetValueExW, -1)                                                          \
    X("KERNEL32.dll", CreateFileA, -1) X("KERNEL32.dll", ReadFile, -1) X("KERNEL32.dll", WriteFile, -1) \
    X("KERNEL32.dll", SetFilePointerEx, -1) X("KERNEL32.dll", SetEndOfFile, -1)                    \
    X("KERNEL32.dll", GetModuleFileNameW, -1) X("KERNEL32.dll", GetShortPathNameW, -1)             \
    X("KERNEL32.dll", GetModuleHandleW, -1) X("KERNEL32.dll", GetProcAddress, -1) X("KERNEL32.dll", LoadLibraryW, -1) \
    X("KERNEL32.dll", GlobalDeleteAtom, -1) X("KERNEL32.dll", CompareStringW, -1)                  \
    X("KERNEL32.dll", GetStringTypeW, -1) X("KERNEL32.dll", GetCPInfo, -1)                         \
    X("KERNEL32.dll", VirtualFree, -1) X("KERNEL32.dll", VirtualQuery, -1) X("KERNEL32.dll", GetVersionExA, -1) \
    X("ole32.dll", CoCreateInstance, -1)

// The host's calls timed, as above: those that bring the module its messages without leading
// into its windows' code. A dispatch or a send would lead there, and the module's code reached
// that way is its own, so they stay untimed.
#define BENCH_HOST_IMPORTS(X)                                                                    \
    X("USER32.dll", PostMessageW, 0) X("USER32.dll", PeekMessageW, -1)                             \
    X("USER32.dll", TranslateMessage, -1) X("USER32.dll", IsChild, -1)

// The module's imports, then the host's, then the two empty calls that the timers' own cost is
// measured on, one of each kind of wrapper.
enum : int {
#define BENCH_INDEX(dll, f, w) k##f,
    BENCH_TIMED_IMPORTS(BENCH_INDEX)
#undef BENCH_INDEX
    kImportCount
};
enum : int {
    kBeforeHostImports = kImportCount - 1,  // the first host import takes kImportCount
#define BENCH_HOST_INDEX(dll, f, w) kHost##f,
    BENCH_HOST_IMPORTS(BENCH_HOST_INDEX)
#undef BENCH_HOST_INDEX
    kHostEnd,
    kEmptyCall = kHostEnd,
    kEmptyMessageCall,
};
constexpr int kFirstHostImport = kImportCount;

constexpr int kWindowArg[] = {
#define BENCH_WINDOW_ARG(dll, f, w) w,
    BENCH_TIMED_IMPORTS(BENCH_WINDOW_ARG)
    BENCH_HOST_IMPORTS(BENCH_WINDOW_ARG)
#undef BENCH_WINDOW_ARG
    -1, 0,
};

bool HostImport(int import)
{
    return import >= kFirstHostImport && import < kHostEnd;
}

// The bucket the empty calls count in, apart from every bucket a caller chooses.
constexpr int kCostBucket = INT_MAX;

// (bucket, import, message, class atom); message and atom 0 for the calls without a message.
using TKey = std::tuple<int, int, UINT, ATOM>;
struct TAccum {
    long long ticks = 0;
    long long selfTicks = 0;
    long calls = 0;
    long outermost = 0;  // of the calls, those made inside no other timed call
};

struct TState {
    DWORD thread = 0;
    LARGE_INTEGER origin{}, frequency{};
    int bucket = -1;
    int depth = 0;
    std::vector<long long> childTicks;  // per open call, the ticks of the timed calls inside it
    std::map<TKey, TAccum> times;
    std::map<ATOM, std::string> classNames;  // named once, while the window still exists
    std::vector<TOutermostCall> outermost;
};
TState* state = nullptr;

const char* const kNames[] = {
#define BENCH_NAME(dll, f, w) BENCH_EXPANDED_NAME(f),
    BENCH_TIMED_IMPORTS(BENCH_NAME)
#undef BENCH_NAME
#define BENCH_HOST_NAME(dll, f, w) "host's " BENCH_EXPANDED_NAME(f),
    BENCH_HOST_IMPORTS(BENCH_HOST_NAME)
#undef BENCH_HOST_NAME
    "empty call", "empty call with a message",
};

long long Ticks()
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

double Microseconds(long long ticks)
{
    return double(ticks) * 1e6 / double(state->frequency.QuadPart);
}

ATOM ClassAtom(HWND window)
{
    const ATOM atom = static_cast<ATOM>(GetClassWord(window, GCW_ATOM));
    if (atom && !state->classNames.count(atom)) {
        char name[128] = {};
        GetClassNameA(window, name, sizeof name);
        state->classNames[atom] = name;
    }
    return atom;
}

// One timed call done: its time goes to its key, and an outermost one into the timeline too.
void Done(int import, UINT message, ATOM atom, long long start)
{
    const long long end = Ticks();
    --state->depth;
    const long long inside = state->childTicks.back();
    state->childTicks.pop_back();
    if (!state->childTicks.empty()) state->childTicks.back() += end - start;
    if (state->bucket < 0) return;
    TAccum& a = state->times[TKey{state->bucket, import, message, atom}];
    a.ticks += end - start;
    a.selfTicks += end - start - inside;
    ++a.calls;
    if (state->depth != 0) return;
    ++a.outermost;
    state->outermost.push_back(TOutermostCall{state->bucket, kNames[import],
                                              Microseconds(start - state->origin.QuadPart),
                                              Microseconds(end - state->origin.QuadPart)});
}

template <int I, class Sig>
struct TTimed;

template <int I, class R, class... A>
struct TTimed<I, R WINAPI(A...)> {
    static inline R(WINAPI* original)(A...) = nullptr;

    static R WINAPI Call(A... args)
    {
        if (!state || GetCurrentThreadId() != state->thread) return original(args...);
        UINT message = 0;
        ATOM atom = 0;
        if constexpr (kWindowArg[I] >= 0) {
            auto tied = std::forward_as_tuple(args...);
            atom = ClassAtom(std::get<kWindowArg[I]>(tied));
            message = std::get<kWindowArg[I] + 1>(tied);
        }
        ++state->depth;
        state->childTicks.push_back(0);
        const long long start = Ticks();
        R result = original(args...);
        Done(I, message, atom, start);
        return result;
    }
};

struct TSpec {
    const char* dll;
    const char* name;
    void* wrapper;
    void** original;
};

const TSpec kSpecs[] = {
#define BENCH_SPEC(dll, f, w)                                                   \
    {dll, BENCH_EXPANDED_NAME(f), reinterpret_cast<void*>(&TTimed<k##f, decltype(::f)>::Call), \
     reinterpret_cast<void**>(&TTimed<k##f, decltype(::f)>::original)},
    BENCH_TIMED_IMPORTS(BENCH_SPEC)
#undef BENCH_SPEC
};
static_assert(sizeof kSpecs / sizeof kSpecs[0] == kImportCount);

const TSpec kHostSpecs[] = {
#define BENCH_HOST_SPEC(dll, f, w)                                                  \
    {dll, BENCH_EXPANDED_NAME(f), reinterpret_cast<void*>(&TTimed<kHost##f, decltype(::f)>::Call), \
     reinterpret_cast<void**>(&TTimed<kHost##f, decltype(::f)>::original)},
    BENCH_HOST_IMPORTS(BENCH_HOST_SPEC)
#undef BENCH_HOST_SPEC
};
static_assert(sizeof kHostSpecs / sizeof kHostSpecs[0] == kHostEnd - kFirstHostImport);

int PatchAll(HMODULE module, const TSpec* specs, const TSpec* end)
{
    int patched = 0;
    for (const TSpec* s = specs; s != end; ++s) {
        void* previous = PatchImport(module, s->dll, s->name, s->wrapper);
        if (!previous) continue;
        *s->original = previous;
        ++patched;
    }
    return patched;
}

void RestoreAll(HMODULE module, const TSpec* specs, const TSpec* end)
{
    for (const TSpec* s = specs; s != end; ++s)
        if (*s->original) PatchImport(module, s->dll, s->name, *s->original);
}

// As cheap as a call can be, and kept a call, for the timers' cost to stand out.
__attribute__((noinline)) BOOL WINAPI EmptyCall(HWND window)
{
    asm volatile("" ::"r"(window));
    return TRUE;
}

__attribute__((noinline)) LRESULT WINAPI EmptyMessageCall(HWND window, UINT message, WPARAM, LPARAM)
{
    asm volatile("" ::"r"(window), "r"(message));
    return 0;
}

// The ticks recorded in the cost bucket for one of the empty calls.
long long CostTicks(int import)
{
    long long ticks = 0;
    for (const auto& [key, a] : state->times)
        if (std::get<0>(key) == kCostBucket && std::get<1>(key) == import) ticks += a.ticks;
    return ticks;
}

// The median over a few rounds: the empty call made directly and through its wrapper, both
// through a pointer as the module calls its imports. The wrapper's clock readings give the
// inside part; the rest of the difference is outside.
template <int I, class F, class... A>
TTimerCost MeasureCost(F* empty, A... args)
{
    constexpr int kRounds = 9, kCalls = 2000;
    using TWrapper = TTimed<I, F>;
    TWrapper::original = empty;
    F* volatile direct = empty;
    F* volatile timed = &TWrapper::Call;
    for (int i = 0; i < kCalls; ++i) timed(args...);
    std::vector<double> inside, outside;
    for (int r = 0; r < kRounds; ++r) {
        long long begin = Ticks();
        for (int i = 0; i < kCalls; ++i) direct(args...);
        const long long directTicks = Ticks() - begin;
        const long long recordedBefore = CostTicks(I);
        begin = Ticks();
        for (int i = 0; i < kCalls; ++i) timed(args...);
        const long long timedTicks = Ticks() - begin;
        const long long recorded = CostTicks(I) - recordedBefore;
        inside.push_back(Microseconds(recorded) / kCalls);
        outside.push_back(Microseconds(timedTicks - recorded - directTicks) / kCalls);
    }
    std::sort(inside.begin(), inside.end());
    std::sort(outside.begin(), outside.end());
    return TTimerCost{inside[kRounds / 2], outside[kRounds / 2]};
}

std::string MessageName(UINT message)
{
    struct TName {
        UINT message;
        const char* name;
    };
    static const TName names[] = {
        {WM_CREATE, "WM_CREATE"}, {WM_NCCREATE, "WM_NCCREATE"}, {WM_DESTROY, "WM_DESTROY"},
        {WM_NCDESTROY, "WM_NCDESTROY"}, {WM_SETFONT, "WM_SETFONT"}, {WM_GETFONT, "WM_GETFONT"},
        {WM_SIZE, "WM_SIZE"}, {WM_MOVE, "WM_MOVE"}, {WM_NCPAINT, "WM_NCPAINT"}, {WM_PAINT, "WM_PAINT"},
        {WM_ERASEBKGND, "WM_ERASEBKGND"}, {WM_NCCALCSIZE, "WM_NCCALCSIZE"},
        {WM_WINDOWPOSCHANGING, "WM_WINDOWPOSCHANGING"}, {WM_WINDOWPOSCHANGED, "WM_WINDOWPOSCHANGED"},
        {WM_SHOWWINDOW, "WM_SHOWWINDOW"}, {WM_SETTEXT, "WM_SETTEXT"}, {WM_GETTEXT, "WM_GETTEXT"},
        {WM_GETTEXTLENGTH, "WM_GETTEXTLENGTH"}, {WM_PARENTNOTIFY, "WM_PARENTNOTIFY"},
        {WM_STYLECHANGING, "WM_STYLECHANGING"}, {WM_STYLECHANGED, "WM_STYLECHANGED"},
        {WM_GETMINMAXINFO, "WM_GETMINMAXINFO"}, {WM_CTLCOLOREDIT, "WM_CTLCOLOREDIT"},
        {WM_COMMAND, "WM_COMMAND"}, {WM_SETFOCUS, "WM_SETFOCUS"}, {WM_KILLFOCUS, "WM_KILLFOCUS"},
        {WM_KEYDOWN, "WM_KEYDOWN"}, {WM_CHAR, "WM_CHAR"}, {WM_TIMER, "WM_TIMER"}, {WM_NCHITTEST, "WM_NCHITTEST"},
        {WM_SETCURSOR, "WM_SETCURSOR"}, {WM_ACTIVATE, "WM_ACTIVATE"}, {WM_CLOSE, "WM_CLOSE"},
        {WM_SETREDRAW, "WM_SETREDRAW"}, {WM_MEASUREITEM, "WM_MEASUREITEM"}, {WM_DRAWITEM, "WM_DRAWITEM"},
        {WM_NOTIFYFORMAT, "WM_NOTIFYFORMAT"}, {WM_GETOBJECT, "WM_GETOBJECT"},
        {WM_IME_SETCONTEXT, "WM_IME_SETCONTEXT"}, {WM_IME_NOTIFY, "WM_IME_NOTIFY"},
        {CB_ADDSTRING, "CB_ADDSTRING"}, {CB_INSERTSTRING, "CB_INSERTSTRING"},
        {CB_DELETESTRING, "CB_DELETESTRING"}, {CB_RESETCONTENT, "CB_RESETCONTENT"},
        {CB_SETCURSEL, "CB_SETCURSEL"}, {CB_GETCOUNT, "CB_GETCOUNT"}, {CB_SETITEMHEIGHT, "CB_SETITEMHEIGHT"},
        {CB_GETLBTEXT, "CB_GETLBTEXT"}, {CB_GETLBTEXTLEN, "CB_GETLBTEXTLEN"},
        {CB_FINDSTRINGEXACT, "CB_FINDSTRINGEXACT"}, {CB_SETEDITSEL, "CB_SETEDITSEL"},
    };
    for (const TName& n : names)
        if (n.message == message) return n.name;
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%04X", message);
    return buf;
}

}  // namespace

TImportTimers::TImportTimers(HMODULE module, HMODULE host) : module_(module), host_(host)
{
    state = new TState;
    state->thread = GetCurrentThreadId();
    QueryPerformanceFrequency(&state->frequency);
    QueryPerformanceCounter(&state->origin);
    patched_ = PatchAll(module_, std::begin(kSpecs), std::end(kSpecs));
    if (host_) PatchAll(host_, std::begin(kHostSpecs), std::end(kHostSpecs));
}

TImportTimers::~TImportTimers()
{
    RestoreAll(module_, std::begin(kSpecs), std::end(kSpecs));
    if (host_) RestoreAll(host_, std::begin(kHostSpecs), std::end(kHostSpecs));
    // The originals stay: a wrapper still on a caller's stack (none is, from the one thread) would
    // need them.
    delete state;
    state = nullptr;
}

void TImportTimers::SetBucket(int bucket)
{
    state->bucket = bucket;
}

double TImportTimers::Now() const
{
    return Microseconds(Ticks() - state->origin.QuadPart);
}

std::vector<TImportTime> TImportTimers::Times(int bucket) const
{
    std::map<std::string, TImportTime> merged;
    auto add = [&](const std::string& label, const TAccum& a, bool whole, bool host) {
        TImportTime& t = merged[label];
        t.label = label;
        t.whole = whole;
        t.host = host;
        t.us += Microseconds(a.ticks);
        t.selfUs += Microseconds(a.selfTicks);
        t.calls += a.calls;
    };
    for (const auto& [key, a] : state->times) {
        const auto [b, import, message, atom] = key;
        if (b != bucket) continue;
        add(kNames[import], a, true, HostImport(import));
        if (kWindowArg[import] < 0) continue;
        const auto name = state->classNames.find(atom);
        add(std::string(kNames[import]) + " " + (name == state->classNames.end() ? "?" : name->second) + " " +
                MessageName(message),
            a, false, HostImport(import));
    }
    std::vector<TImportTime> out;
    for (auto& [label, t] : merged) out.push_back(t);
    std::sort(out.begin(), out.end(), [](const TImportTime& a, const TImportTime& b) { return a.us > b.us; });
    return out;
}

const std::vector<TOutermostCall>& TImportTimers::Outermost() const
{
    return state->outermost;
}

void TImportTimers::ClearOutermost()
{
    state->outermost.clear();
}

TTimerCosts TImportTimers::MeasureCosts()
{
    const int bucket = state->bucket;
    const size_t outermost = state->outermost.size();
    state->bucket = kCostBucket;
    // A real window, so that the wrappers' look-up of a message's window class does all its work.
    HWND window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    TTimerCosts costs;
    costs.plain = MeasureCost<kEmptyCall>(&EmptyCall, window);
    costs.message = MeasureCost<kEmptyMessageCall>(&EmptyMessageCall, window, UINT(WM_NULL), WPARAM(0), LPARAM(0));
    DestroyWindow(window);
    state->outermost.resize(outermost);
    state->bucket = bucket;
    return costs;
}

TTimersAdded TImportTimers::Added(int bucket, const TTimerCosts& costs) const
{
    TTimersAdded added;
    for (const auto& [key, a] : state->times) {
        if (std::get<0>(key) != bucket) continue;
        const TTimerCost& cost = kWindowArg[std::get<1>(key)] >= 0 ? costs.message : costs.plain;
        added.outsideOutermost += a.outermost * cost.outside;
        added.whole += a.calls * (cost.inside + cost.outside);
        added.calls += a.calls;
    }
    return added;
}

}  // namespace bench
