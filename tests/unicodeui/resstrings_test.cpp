// String-table entries read by the system and by our own walk of the table blocks, from the
// table compiled into this test program (strings.rc).
#include <windows.h>
#include <gtest/gtest.h>

#include "WideCodePages.h"
#include "WideResStrings.h"

namespace {

HINSTANCE Self() { return GetModuleHandleW(nullptr); }

std::wstring FromTable(UINT id, int size = 64)
{
    std::wstring buf(static_cast<size_t>(size), L'#');
    int n = LoadStringFromTable(Self(), id, buf.data(), size);
    EXPECT_EQ(buf[static_cast<size_t>(n)], L'\0');
    return buf.substr(0, static_cast<size_t>(n));
}

TEST(ResourceStrings, ReadsEntriesFromTheirBlocks)
{
    EXPECT_EQ(FromTable(1), L"検索");
    EXPECT_EQ(FromTable(2), L"plain");
    EXPECT_EQ(FromTable(17), L"second block");
    EXPECT_EQ(FromTable(34), L"c");
    // 65276 lies in block 4080 at position 12.
    EXPECT_EQ(FromTable(65276), L"検索 65276");
    // High 16 bits all ones: the identifier is negated first.
    EXPECT_EQ(FromTable(0u - 65276u), L"検索 65276");
}

TEST(ResourceStrings, EmptyAndMissingEntriesGiveNothing)
{
    wchar_t buf[8] = {L'#', L'#', 0};
    EXPECT_EQ(LoadStringFromTable(Self(), 33, buf, 8), 0);  // block 3 exists, entry 33 empty
    EXPECT_EQ(buf[0], L'\0');
    buf[0] = L'#';
    EXPECT_EQ(LoadStringFromTable(Self(), 48, buf, 8), 0);  // no block 4 at all
    EXPECT_EQ(buf[0], L'#');                                // buffer untouched
    EXPECT_EQ(LoadStringFromTable(Self(), 0x000FFFF5u, buf, 8), 0);  // block 0x10000
    EXPECT_EQ(LoadStringFromTable(nullptr, 48, buf, 8), 0);
}

TEST(ResourceStrings, SmallBuffersAreCutAndNoBufferAsksTheLength)
{
    wchar_t one[1] = {L'#'};
    EXPECT_EQ(LoadStringFromTable(Self(), 2, one, 1), 0);
    EXPECT_EQ(one[0], L'\0');
    EXPECT_EQ(LoadStringFromTable(Self(), 2, nullptr, 0), 5);
    EXPECT_EQ(LoadStringFromTable(Self(), 2, one, 0), 5);
    EXPECT_EQ(LoadStringFromTable(Self(), 2, one, -1), 5);
    EXPECT_EQ(FromTable(2, 4), L"pla");
    EXPECT_EQ(LoadStringWide(Self(), 2, nullptr, 0), 5);
}

TEST(ResourceStrings, BothPathsGiveTheSameText)
{
    for (UINT id : {1u, 2u, 17u, 33u, 48u, 65276u}) {
        wchar_t a[64], b[64];
        int na = LoadStringWide(Self(), id, a, 64);
        bool saved = UnicodePlatform;
        UnicodePlatform = false;
        int nb = LoadStringWide(Self(), id, b, 64);
        UnicodePlatform = saved;
        EXPECT_EQ(std::wstring(a, na), std::wstring(b, nb)) << id;
    }
}

TEST(ResourceStrings, ResourceNumbersAreSixteenBitNames)
{
    EXPECT_TRUE(IsResourceNumber(MAKEINTRESOURCEA(0xFFFF)));
    EXPECT_FALSE(IsResourceNumber("TQUORMELFORM"));
}

HMODULE selfModule = nullptr;

TEST(ResourceStrings, RecordsNameAnEntryOrCarryTheirText)
{
    selfModule = GetModuleHandleW(nullptr);
    EXPECT_EQ(LoadWideResString(nullptr), L"");
    TResourceStringRecord entry{&selfModule, 1};
    EXPECT_EQ(LoadWideResString(&entry), L"検索");
    TResourceStringRecord longEntry{&selfModule, 100};
    const std::wstring cut = LoadWideResString(&longEntry);
    EXPECT_EQ(cut.size(), 4096u);
    EXPECT_EQ(cut.substr(0, 12), L"012345678901");

    static const char utf8[] = "\xEF\xBB\xBF\xC3\xA9";
    TResourceStringRecord u{&selfModule, reinterpret_cast<uintptr_t>(utf8)};
    EXPECT_EQ(LoadWideResString(&u), L"\xE9");
    static const char ansi[] = "\xC3\xA9";  // two half-width katakana in Shift-JIS
    TResourceStringRecord a{&selfModule, reinterpret_cast<uintptr_t>(ansi)};
    EXPECT_EQ(LoadWideResString(&a), L"ﾃｩ");
    static const char markOnly[] = "\xEF\xBB\xBF";
    TResourceStringRecord m{&selfModule, reinterpret_cast<uintptr_t>(markOnly)};
    EXPECT_EQ(LoadWideResString(&m), WideFromCodePage(markOnly, 932));
    static const char japanese[] = "\x8C\x9F\x8D\xF5";
    TResourceStringRecord j{&selfModule, reinterpret_cast<uintptr_t>(japanese)};
    EXPECT_EQ(LoadWideResString(&j), L"検索");

    // A thread whose locale differs from the system's reads ANSI records as the class library
    // and Windows' ANSI functions do: through the system ANSI code page.
    const LCID saved = GetThreadLocale();
    ASSERT_TRUE(SetThreadLocale(MAKELCID(MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT), SORT_DEFAULT)));
    const std::wstring underRussian = LoadWideResString(&j);
    SetThreadLocale(saved);
    EXPECT_EQ(underRussian, L"検索");
}

}  // namespace
