// The exact bytes of a search URL's query part, the trimmed query and the first line of a drop.
#include <windows.h>
#include <gtest/gtest.h>

#include "QueryText.h"
#include "SysUtils.h"

TEST(QueryText, EscapesTheCodePagesBytesOneByOneAndTrimsOnlyTrailingTwenty)
{
    EXPECT_EQ(EncodeQueryText(AnsiFromWide(L"日本ｷ")), "%93%FA%96%7B%B7");
    EXPECT_EQ(EncodeQueryText("a b&c +%~/#\t"), "a+b%26c+%2B%25%7E%2F%23%09");
    EXPECT_EQ(EncodeQueryText(std::string("ab\0cd", 5)), "ab");
    std::string kept;  // the printable bytes that stand for themselves
    for (char c = 0x21; c < 0x7F; ++c)
        if (EncodeQueryText(std::string(1, c)) == std::string(1, c)) kept += c;
    EXPECT_EQ(kept, "!$'()*-.0123456789@ABCDEFGHIJKLMNOPQRSTUVWXYZ_abcdefghijklmnopqrstuvwxyz");

    EXPECT_EQ(TrimQueryTail(L" abc \x14\x14"), L" abc ");
    EXPECT_EQ(TrimQueryTail(L"a\x14" L"b"), L"a\x14" L"b");
    EXPECT_EQ(TrimQueryTail(L"\x14"), L"");
    EXPECT_EQ(FirstLine(L"one\rtwo\nthree"), L"one");
    EXPECT_EQ(FirstLine(L"\nline"), L"");
    EXPECT_EQ(FirstLine(L"日本語"), L"日本語");
}
