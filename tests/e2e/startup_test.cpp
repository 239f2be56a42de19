// What the deliverables' own start-up objects do in a process of its own, seen through
// startupprobe.exe, which is linked with them as each deliverable is: every process seeds a stack
// guard of its own, never the one that libssp falls back to; a failed check ends the process at
// once; and on i686 the program catches its own throws although the shared run time's unwinder was
// in the process before its start-up code ran (the band library's case is the search band's own
// test of a refused save).
#include <windows.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "TestEnv.h"

namespace {

struct ProbeRun {
    DWORD exitCode = ~0u;
    std::string output;  // standard output and standard error, as written
};

ProbeRun RunProbe(const std::string& arguments)
{
    ProbeRun run;
    const std::string dir = testenv::MakeScratchDir("startup probe");
    const std::string file = dir + "\\output.txt";
    SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
    HANDLE output = CreateFileA(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherited, CREATE_ALWAYS, 0, nullptr);
    if (output == INVALID_HANDLE_VALUE) return run;
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = si.hStdError = output;
    PROCESS_INFORMATION pi{};
    std::string command = "\"" + testenv::ProgramDir() + "startupprobe.exe\" " + arguments;
    if (CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) {
        // Bounded only so that a broken probe cannot hang the run.
        if (WaitForSingleObject(pi.hProcess, 60000) == WAIT_OBJECT_0) GetExitCodeProcess(pi.hProcess, &run.exitCode);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
    CloseHandle(output);
    run.output = testenv::ReadFileBytes(file);
    testenv::RemoveTree(dir);
    return run;
}

// The guard on the first line of a run's output; 0 when there is none.
uint64_t Guard(const ProbeRun& run)
{
    return std::strtoull(run.output.substr(0, run.output.find('\n')).c_str(), nullptr, 16);
}

constexpr DWORD kStackBufferOverrun = 0xC0000409;

}  // namespace

TEST(StartUp, EachProcessSeedsAStackGuardOfItsOwnAndCatchesItsOwnThrows)
{
    const ProbeRun first = RunProbe(""), second = RunProbe("");
#if defined(__i386__)
    const std::string rest = "shared unwinder loaded\ncaught thrown\n";
    const uint64_t libsspFallback = 0xFF0A0000u;
#else
    const std::string rest = "caught thrown\n";
    const uint64_t libsspFallback = 0xFF0A000000000000u;
#endif
    for (const ProbeRun* run : {&first, &second}) {
        EXPECT_EQ(run->exitCode, 0u) << run->output;
        EXPECT_EQ(run->output.substr(run->output.find('\n') + 1), rest);
        EXPECT_NE(Guard(*run), 0u) << run->output;
        EXPECT_NE(Guard(*run), libsspFallback);
    }
    EXPECT_NE(Guard(first), Guard(second));
}

// As the platform's own checks do: the message, then the end with the overrun's status, and no
// handler or destructor of the overrun stack runs. The checked copies of libssp end the same way.
TEST(StartUp, AFailedCheckEndsTheProcessAtOnce)
{
    const ProbeRun smashed = RunProbe("smash");
    EXPECT_EQ(smashed.exitCode, kStackBufferOverrun);
    EXPECT_EQ(smashed.output, "*** stack smashing detected ***: terminated\n");
    const ProbeRun overflowed = RunProbe("overflow abcdefgh");
    EXPECT_EQ(overflowed.exitCode, kStackBufferOverrun);
    EXPECT_EQ(overflowed.output, "*** buffer overflow detected ***: terminated\n");
}
