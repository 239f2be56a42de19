#pragma once
// Counts of what a process holds, measured where Wine's GetGuiResources and private-bytes
// counters answer 0: GDI objects by the free slots left in the GDI handle table, windows by
// enumerating them, private memory by summing the committed private regions of the address space.
// Each counter is meant for differences (before and after); the benchmark proves that each one
// sees a deliberate leak before it reports anything.
#include <windows.h>

#include <cstdint>

namespace bench {

struct TResourceCounts {
    long gdiFreeSlots;      // GDI objects that could still be made; fewer means more in use
    long windows;           // windows of this process: top-level, their descendants, message-only
    uint64_t privateBytes;  // committed private memory

    long GdiInUseSince(const TResourceCounts& before) const { return before.gdiFreeSlots - gdiFreeSlots; }
};

TResourceCounts CountResources();

}  // namespace bench
