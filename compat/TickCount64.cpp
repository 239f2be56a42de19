// The static thread library under the C++ run time (function-local static guards, exception
// allocation) counts time with GetTickCount64, which kernel32 exports only from Vista on: its
// import alone kept every deliverable from loading on Windows XP. This file defines the import's
// own pointer, so the linker takes it instead of kernel32's entry. The first call looks the
// function up in kernel32 and uses it where the system has it; on XP the milliseconds come from
// the performance counter, which never wraps (GetTickCount does after 49.7 days).
#include <windows.h>

#include <atomic>

namespace {

using TickCount64Function = ULONGLONG(WINAPI*)();

ULONGLONG WINAPI TickCount64FromCounter()
{
    LARGE_INTEGER frequency, count;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&count);
    const ULONGLONG f = frequency.QuadPart, c = count.QuadPart;
    if (f == 0) return GetTickCount();
    // Split so that the product cannot overflow for any count.
    return c / f * 1000 + c % f * 1000 / f;
}

ULONGLONG WINAPI FirstTickCount64();

}  // namespace

// The name the thread library's call goes through (stdcall decoration on i686).
#if defined(__i386__)
extern "C" TickCount64Function importedTickCount64 asm("__imp__GetTickCount64@0");
#else
extern "C" TickCount64Function importedTickCount64 asm("__imp_GetTickCount64");
#endif
// Threads may race on the first call: each stores the same pointer, atomically, and the thread
// library's own calls read it with plain loads, which an aligned pointer keeps whole. Nothing
// else is published through it, so no ordering is asked for.
TickCount64Function importedTickCount64 = &FirstTickCount64;

namespace {

ULONGLONG WINAPI FirstTickCount64()
{
    auto system = reinterpret_cast<TickCount64Function>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetTickCount64")));
    const TickCount64Function chosen = system ? system : &TickCount64FromCounter;
    std::atomic_ref<TickCount64Function>(importedTickCount64).store(chosen, std::memory_order_relaxed);
    return chosen();
}

}  // namespace
