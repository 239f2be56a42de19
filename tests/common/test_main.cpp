// Start-up of every test program: the system is made for Japanese Windows, so a run whose ANSI
// code page is not Shift-JIS would test something else; refuse it before any test runs.
#include <windows.h>
#include <cstdio>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    const UINT acp = GetACP();
    if (acp != 932) {
        std::fprintf(stderr, "ANSI code page is %u, not 932: run the tests in the Japanese locale "
                             "(scripts/wine-run does)\n", acp);
        return 2;
    }
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
