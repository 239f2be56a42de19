#include "ResourceCounters.h"

#include <vector>

namespace bench {

namespace {

// Makes one-pixel regions until the GDI handle table is full, then frees them all. The bound only
// keeps a table without a limit from eating the machine.
long GdiFreeSlots()
{
    constexpr size_t kBound = 1 << 20;
    std::vector<HRGN> made;
    made.reserve(70000);
    while (made.size() < kBound) {
        HRGN r = CreateRectRgn(0, 0, 1, 1);
        if (!r) break;
        made.push_back(r);
    }
    for (HRGN r : made) DeleteObject(r);
    return static_cast<long>(made.size());
}

bool Ours(HWND w)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    return pid == GetCurrentProcessId();
}

BOOL CALLBACK CountChild(HWND w, LPARAM count)
{
    // Every descendant comes once: EnumChildWindows walks the whole tree.
    if (Ours(w)) ++*reinterpret_cast<long*>(count);
    return TRUE;
}

BOOL CALLBACK CountTop(HWND w, LPARAM count)
{
    if (Ours(w)) {
        ++*reinterpret_cast<long*>(count);
        EnumChildWindows(w, &CountChild, count);
    }
    return TRUE;
}

long Windows()
{
    long count = 0;
    EnumWindows(&CountTop, reinterpret_cast<LPARAM>(&count));
    // Message-only windows are not top-level windows of the desktop.
    for (HWND w = nullptr; (w = FindWindowExW(HWND_MESSAGE, w, nullptr, nullptr)) != nullptr;) {
        if (!Ours(w)) continue;
        ++count;
        EnumChildWindows(w, &CountChild, reinterpret_cast<LPARAM>(&count));
    }
    return count;
}

uint64_t PrivateBytes()
{
    SYSTEM_INFO si;
    GetSystemInfo(&si);
    uint64_t sum = 0;
    auto* p = static_cast<const char*>(si.lpMinimumApplicationAddress);
    MEMORY_BASIC_INFORMATION mbi;
    while (p < si.lpMaximumApplicationAddress && VirtualQuery(p, &mbi, sizeof mbi) == sizeof mbi) {
        if (mbi.State == MEM_COMMIT && mbi.Type == MEM_PRIVATE) sum += mbi.RegionSize;
        p = static_cast<const char*>(mbi.BaseAddress) + mbi.RegionSize;
    }
    return sum;
}

}  // namespace

TResourceCounts CountResources()
{
    TResourceCounts c;
    c.windows = Windows();
    c.privateBytes = PrivateBytes();
    c.gdiFreeSlots = GdiFreeSlots();  // last: its own regions come and go before the others count
    return c;
}

}  // namespace bench
