// startupprobe.exe: a program linked with the deliverables' start-up objects (compat/) as each
// deliverable is, for the tests of what they do in a process of its own. It writes to its standard
// output, a line each: the stack guard that its start-up seeded, in hexadecimal; on i686 that the
// shared run time's unwinder (libgcc_s_dw2-1.dll) is loaded: the probe imports it, so it is in the
// process before any start-up code runs, as when another module brought it there first; and the
// message of a throw of its own that reached its catch. Given "smash" it fails a stack check inside
// a block whose object would say so when unwound; given "overflow TEXT" it copies TEXT into four
// bytes through the checked copy.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>

extern "C" uintptr_t __stack_chk_guard;
extern "C" [[noreturn]] void __stack_chk_fail();
#if defined(__i386__)
// Named by startupprobe/sharedunwinder.def; never called.
extern "C" __declspec(dllimport) void sharedUnwinderEntry();
#endif

namespace {

void Say(const std::string& text)
{
    DWORD written;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

struct SaysWhenUnwound {
    ~SaysWhenUnwound() { Say("unwound\n"); }
};

[[gnu::noinline]] void Throw(const char* what)
{
    throw std::runtime_error(what);
}

}  // namespace

int main(int argc, char** argv)
{
#if defined(__i386__)
    void (*volatile imported)() = &sharedUnwinderEntry;
    (void)imported;
#endif
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "smash") {
        try {
            SaysWhenUnwound unwound;
            __stack_chk_fail();
        } catch (...) {
            Say("caught\n");
        }
        return 0;
    }
    if (mode == "overflow" && argc > 2) {
        char small[4];
        std::strcpy(small, argv[2]);
        Say(small);
        return 0;
    }
    char guard[32];
    std::snprintf(guard, sizeof guard, "%llx\n", static_cast<unsigned long long>(__stack_chk_guard));
    Say(guard);
    if (GetModuleHandleA("libgcc_s_dw2-1.dll")) Say("shared unwinder loaded\n");
    try {
        Throw("thrown");
    } catch (const std::exception& e) {
        Say(std::string("caught ") + e.what() + "\n");
    }
    return 0;
}
