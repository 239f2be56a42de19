// The stack protector's guard value and the ends of a failed check, defined here so that the
// linker never takes them from libssp. libssp seeds its guard in a constructor that asks a crypto
// provider for random bytes (CryptAcquireContextA), and that loads the provider's library: in the
// band the constructor runs inside DllMain, under the loader lock, where loading a library can
// deadlock the shell. The guard needs a value that differs between processes and that cannot be
// read off the binary, not a crypto provider: it is mixed, as the platform's own compilers seed
// their security cookie, from what changes between starts (performance counter, tick count,
// process and thread identifiers, system time, and where the stack and the image lie), and it
// loads nothing. libssp's checked buffer functions (__memcpy_chk, ...) still link and end here.
#include <windows.h>

#include <cstdint>

extern "C" {
extern IMAGE_DOS_HEADER __ImageBase;
// Read by the prologue and the epilogue of every protected function; 0 until seeded.
uintptr_t __stack_chk_guard = 0;
[[noreturn]] void __stack_chk_fail();
[[noreturn]] void __stack_chk_fail_local();
[[noreturn]] void __chk_fail();
}

namespace {

// libssp's guard where it has no random source (its "terminator canary"): known to any reader of
// libssp, so never ours.
constexpr uintptr_t kLibsspFallback = uintptr_t{0xFF0A} << (sizeof(uintptr_t) * 8 - 16);
// The exit code with which the platform's own checks end a process whose stack was overrun.
constexpr UINT kStackBufferOverrun = 0xC0000409;

// A bijection of 64 bits in which every input bit reaches every output bit (splitmix64's finish).
constexpr uint64_t Mixed(uint64_t x)
{
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9u;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBu;
    return x ^ (x >> 31);
}

// Ends the process at once: no unwinding, no handler, no destructor of the overrun stack runs.
[[noreturn]] void EndProcess(const char* message, DWORD length)
{
    DWORD written;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), message, length, &written, nullptr);
    TerminateProcess(GetCurrentProcess(), kStackBufferOverrun);
    __builtin_trap();
}

// First among the constructors of the program's own code (theirs have later priorities), so that
// every protected function that can be on the stack later finds the guard it returns with.
// Unprotected itself: its guard would change under it.
__attribute__((constructor(101), no_stack_protector)) void SeedStackGuard()
{
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    const uint64_t inputs[] = {
        static_cast<uint64_t>(counter.QuadPart),
        GetTickCount(),
        GetCurrentProcessId(),
        GetCurrentThreadId(),
        (uint64_t{now.dwHighDateTime} << 32) | now.dwLowDateTime,
        reinterpret_cast<uintptr_t>(&counter),
        reinterpret_cast<uintptr_t>(&__ImageBase),
    };
    uint64_t mixed = 0;
    for (const uint64_t input : inputs) mixed = Mixed(mixed ^ input);
    for (;;) {
        const auto guard = static_cast<uintptr_t>(sizeof(uintptr_t) == 8 ? mixed : mixed ^ (mixed >> 32));
        if (guard != 0 && guard != kLibsspFallback) {
            __stack_chk_guard = guard;
            return;
        }
        mixed = Mixed(mixed + 1);
    }
}

}  // namespace

void __stack_chk_fail()
{
    static const char message[] = "*** stack smashing detected ***: terminated\n";
    EndProcess(message, sizeof message - 1);
}

void __stack_chk_fail_local()
{
    __stack_chk_fail();
}

void __chk_fail()
{
    static const char message[] = "*** buffer overflow detected ***: terminated\n";
    EndProcess(message, sizeof message - 1);
}
