// The exact bytes of a search URL's query part, the trimmed query and the first line of a drop.
#include <windows.h>
#include <gtest/gtest.h>

#include "QueryText.h"
#include "SysUtils.h"

TEST(QueryText, EncodesTheShiftJisBytesOneByOne)
{
    EXPECT_EQ(EncodeQueryText(AnsiFromWide(L"日本")), "%93%FA%96%7B");
    EXPECT_EQ(EncodeQueryText("a b&c"), "a+b%26c");
    EXPECT_EQ(EncodeQueryText("abc "), "abc+");
    EXPECT_EQ(EncodeQueryText("+%~/#?=\t"), "%2B%25%7E%2F%23%3F%3D%09");
    // Half-width katakana is one byte above 0x80.
    EXPECT_EQ(EncodeQueryText(AnsiFromWide(L"ｷ")), "%B7");
    // The keep set and nothing else of the printable range.
    const std::string keepSet = "!$'()*-.0123456789@ABCDEFGHIJKLMNOPQRSTUVWXYZ_abcdefghijklmnopqrstuvwxyz";
    std::string direct;
    for (int c = 0x21; c < 0x7F; ++c) {
        const std::string one(1, static_cast<char>(c));
        if (EncodeQueryText(one) == one) direct += one;
    }
    EXPECT_EQ(direct, keepSet);
    EXPECT_EQ(direct.size(), 72u);
    // A zero byte ends the query.
    EXPECT_EQ(EncodeQueryText(std::string("ab\0cd", 5)), "ab");
    EXPECT_EQ(EncodeQueryText(""), "");
}

TEST(QueryText, TrimsOnlyTrailingControlTwenty)
{
    EXPECT_EQ(TrimQueryTail(L"abc\x14\x14"), L"abc");
    EXPECT_EQ(TrimQueryTail(L" abc \x14"), L" abc ");
    EXPECT_EQ(TrimQueryTail(L"a\x14" L"b"), L"a\x14" L"b");
    EXPECT_EQ(TrimQueryTail(L"\x14\x14"), L"");
    EXPECT_EQ(TrimQueryTail(L"検索 "), L"検索 ");
}

TEST(QueryText, FirstLineEndsAtEitherLineBreak)
{
    EXPECT_EQ(FirstLine(L"one\r\ntwo\nthree"), L"one");
    EXPECT_EQ(FirstLine(L"one\ntwo"), L"one");
    EXPECT_EQ(FirstLine(L"one\rtwo"), L"one");
    EXPECT_EQ(FirstLine(L"\r\nline"), L"");
    EXPECT_EQ(FirstLine(L"日本語"), L"日本語");
}
