// The Unicode layer's lowest routines: platform flags, UTF-16 buffers, files by UTF-16 name and
// the UTF-8 / UTF-7 / code-page conversions.
#include <windows.h>
#include <gtest/gtest.h>

#include "TestEnv.h"
#include "WideCodePages.h"

namespace {

// Runs a block with UnicodePlatform forced, restoring it afterwards.
class PlatformOverride {
public:
    explicit PlatformOverride(bool unicode) : saved_(UnicodePlatform) { UnicodePlatform = unicode; }
    ~PlatformOverride() { UnicodePlatform = saved_; }

private:
    bool saved_;
};

std::string Invalid7(const std::string& bytes)
{
    try {
        DecodeUtf7(bytes);
        return "no error";
    } catch (const Exception& e) {
        return e.Message();
    }
}

TEST(Platform, FlagsDescribeAnNtSystem)
{
    EXPECT_TRUE(UnicodePlatform);
    EXPECT_TRUE(XPOrLaterPlatform);
    EXPECT_EQ(ConversionCodePage, static_cast<UINT>(CP_ACP));
}

TEST(WideBuffers, BlocksRecordTheirSize)
{
    wchar_t* empty = WideCharsDuplicate(L"");
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty[0], L'\0');
    EXPECT_EQ(WideCharsBlockSize(empty), 6u);
    WideCharsFree(empty);

    wchar_t* copy = WideCharsDuplicate(L"検索abc");
    EXPECT_EQ(WideCharsLength(copy), 5u);
    EXPECT_EQ(WideCharsEnd(copy), copy + 5);
    EXPECT_EQ(std::wstring(copy), L"検索abc");
    EXPECT_EQ(WideCharsBlockSize(copy), 2u * 6 + 4);
    WideCharsFree(copy);

    EXPECT_EQ(WideCharsDuplicate(nullptr), nullptr);

    wchar_t text[] = L"abcdef";
    EXPECT_EQ(WideCharsCopy(text + 1, text, 4), text + 1);  // overlapping, forwards
    EXPECT_EQ(std::wstring(text), L"aabcdf");
    WideCharsCopy(text, text + 2, 3);  // overlapping, backwards
    EXPECT_EQ(std::wstring(text), L"bcdcdf");
}

TEST(WideBuffers, SwapsByteOrderUpToTheTerminator)
{
    wchar_t text[] = {0x4100, 0x1C69, 0x0001, 0, 0x3412};
    SwapWideByteOrder(text);
    EXPECT_EQ(text[0], L'A');
    EXPECT_EQ(text[1], wchar_t(0x691C));
    EXPECT_EQ(text[2], wchar_t(0x0100));
    EXPECT_EQ(text[4], wchar_t(0x3412));  // past the terminator: untouched
}

class WideFileTest : public testing::Test {
protected:
    void SetUp() override { dir = testenv::MakeScratchDir("widefile"); }
    void TearDown() override { testenv::RemoveTree(dir); }
    std::wstring Name(const std::wstring& leaf) { return WideFromAnsi(dir) + L"\\" + leaf; }
    std::string dir;
};

TEST_F(WideFileTest, CreatesAndOpensByJapaneseNamesOnBothPaths)
{
    for (bool unicode : {true, false}) {
        PlatformOverride p(unicode);
        const std::wstring name = Name(unicode ? L"設定W.txt" : L"設定A.txt");
        HANDLE h = CreateFileByWideName(name);
        ASSERT_NE(h, INVALID_HANDLE_VALUE) << unicode;
        DWORD put = 0;
        WriteFile(h, "xy", 2, &put, nullptr);
        CloseHandle(h);
        EXPECT_EQ(testenv::ReadFileBytes(AnsiFromWide(name)), "xy");

        // Read, deny write (0x20): a second reader may come in, a writer may not.
        h = OpenFileByWideName(name, 0x20);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        HANDLE reader = OpenFileByWideName(name, 0x40);
        EXPECT_NE(reader, INVALID_HANDLE_VALUE);
        if (reader != INVALID_HANDLE_VALUE) CloseHandle(reader);
        HANDLE writer = OpenFileByWideName(name, 0x41);
        EXPECT_EQ(writer, INVALID_HANDLE_VALUE);
        CloseHandle(h);
    }
    EXPECT_EQ(OpenFileByWideName(Name(L"missing"), 0), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST_F(WideFileTest, ModesOutsideTheTablesAreRefused)
{
    const std::wstring name = Name(L"m.txt");
    CloseHandle(CreateFileByWideName(name));
    for (unsigned mode : {3u, 0x50u, 0xF2u}) {
        EXPECT_EQ(OpenFileByWideName(name, mode), INVALID_HANDLE_VALUE) << mode;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    }
    HANDLE h = OpenFileByWideName(name, 2);
    EXPECT_NE(h, INVALID_HANDLE_VALUE);
    CloseHandle(h);
}

TEST(CheckOsResult, PassesNonZeroAndRaisesTheLastError)
{
    EXPECT_EQ(CheckOsResult(5), 5);
    SetLastError(ERROR_ACCESS_DENIED);
    try {
        CheckOsResult(FALSE);
        FAIL();
    } catch (const EOSError& e) {
        EXPECT_EQ(e.ErrorCode(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    }
}

TEST(Utf8, EncodesEachCodeUnitOnItsOwn)
{
    EXPECT_EQ(EncodeUtf8(L""), "");
    EXPECT_EQ(EncodeUtf8(L"a\x7F\x80\x7FF\x800"), "a\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80");
    // U+1F600 as a surrogate pair: two three-byte sequences.
    EXPECT_EQ(EncodeUtf8(L"\xD83D\xDE00"), "\xED\xA0\xBD\xED\xB8\x80");
    EXPECT_EQ(EncodeUtf8(std::wstring(L"a\0b", 3)), std::string("a\0b", 3));
}

TEST(Utf8, DecodesPairsAndReplacesOnlyCutOrBrokenSequences)
{
    EXPECT_EQ(DecodeUtf8(""), L"");
    EXPECT_EQ(DecodeUtf8("\xC3\xA9"), L"\xE9");
    EXPECT_EQ(DecodeUtf8("\xED\xA0\xBD\xED\xB8\x80"), L"\xD83D\xDE00");
    EXPECT_EQ(DecodeUtf8("a\xF0\x9F\x98\x80z"), L"a\xD83D\xDE00z");  // U+1F600 in four bytes
    EXPECT_EQ(DecodeUtf8("\xF4\x8F\xBF\xBF"), L"\xDBFF\xDFFF");
    EXPECT_EQ(DecodeUtf8("\xC3"), L"\xFFFD");
    EXPECT_EQ(DecodeUtf8("abc\xE6\xA4"), L"abc\xFFFD");
    EXPECT_EQ(DecodeUtf8("\xC3\x41"), L"\xFFFD" L"A");  // follower outside 80-BF
    EXPECT_EQ(DecodeUtf8("\xE6\xA4\xC0"), L"\xFFFD\xFFFD");
    EXPECT_EQ(DecodeUtf8("\x80x\xF8"), L"\xFFFDx\xFFFD");
    EXPECT_EQ(DecodeUtf8("\xC0\xAF\xF4\x90\x80\x80"), L"\xFFFD\xFFFD");  // overlong, beyond U+10FFFF
    const std::wstring all = L"Aé検\xFFFF\xD800";
    EXPECT_EQ(DecodeUtf8(EncodeUtf8(all)), all);
}

TEST(Utf7, EncodesWithShortestRunsAndNoClosingDashAtTheEnd)
{
    EXPECT_EQ(EncodeUtf7(L""), "");
    EXPECT_EQ(EncodeUtf7(L"+"), "+-");
    EXPECT_EQ(EncodeUtf7(L"a+b"), "a+-b");
    EXPECT_EQ(EncodeUtf7(L"A-B"), "A-B");
    EXPECT_EQ(EncodeUtf7(L"~"), "+AH4");
    EXPECT_EQ(EncodeUtf7(L"検索"), "+aRx9Ig");
    EXPECT_EQ(EncodeUtf7(L"é."), "+AOk.");
    EXPECT_EQ(EncodeUtf7(L"éa"), "+AOk-a");
    EXPECT_EQ(EncodeUtf7(L"é-"), "+AOk--");
    EXPECT_EQ(EncodeUtf7(L"!#@ \t\r\n"), "!#@ \t\r\n");
    EXPECT_EQ(EncodeUtf7(L"\\"), "+AFw");
}

TEST(Utf7, BlockEncoderHonoursStrictModeExplicitEndAndAFullTarget)
{
    auto encode = [](const std::wstring& text, bool optional, bool explicitEnd, size_t room,
                     int* result = nullptr) {
        std::string out(room, '\0');
        const wchar_t* s = text.data();
        char* t = out.data();
        int r = EncodeUtf7Block(s, text.data() + text.size(), t, out.data() + room, optional,
                                explicitEnd);
        if (result) *result = r;
        out.resize(static_cast<size_t>(t - out.data()));
        return out;
    };
    EXPECT_EQ(encode(L"a!b", false, false, 64), "a+ACE-b");
    EXPECT_EQ(encode(L"a!b", true, false, 64), "a!b");
    EXPECT_EQ(encode(L"検", true, true, 64), "+aRw-");
    int r = -1;
    EXPECT_EQ(encode(L"検索", true, false, 4, &r), "+aRx");
    EXPECT_EQ(r, kUtf7TargetFull);
    encode(L"abc", true, false, 3, &r);
    EXPECT_EQ(r, kUtf7Ok);
    encode(L"abc", true, false, 2, &r);
    EXPECT_EQ(r, kUtf7TargetFull);
}

TEST(Utf7, DecodesRunsAndRejectsInvalidInput)
{
    EXPECT_EQ(DecodeUtf7(""), L"");
    EXPECT_EQ(DecodeUtf7("+-"), L"+");
    EXPECT_EQ(DecodeUtf7("+aRx9Ig"), L"検索");
    EXPECT_EQ(DecodeUtf7("+aRx9Ig-x"), L"検索x");
    EXPECT_EQ(DecodeUtf7("+aRx9Ig.x"), L"検索.x");
    EXPECT_EQ(DecodeUtf7("+AOk--"), L"é-");
    EXPECT_EQ(DecodeUtf7("a+-b+-"), L"a+b+");
    EXPECT_EQ(DecodeUtf7("!#~\\"), L"!#~\\");  // permissive on direct bytes below 0x80
    EXPECT_EQ(Invalid7("+"), "Invalid UTF7");
    EXPECT_EQ(Invalid7("+!"), "Invalid UTF7");
    EXPECT_EQ(Invalid7("\xC4"), "Invalid UTF7");
    EXPECT_EQ(Invalid7("+AOl-"), "Invalid UTF7");
    EXPECT_EQ(Invalid7("+A-"), "Invalid UTF7");
    EXPECT_EQ(Invalid7("ab+"), "Invalid UTF7");
}

TEST(Utf7, RoundTripsEveryKindOfText)
{
    std::wstring ascii;
    for (wchar_t c = 1; c < 128; ++c) ascii += c;
    for (const std::wstring& text :
         {ascii, std::wstring(L"検索 ｷｬｯｼｭ 辞書 ﾌｧｲﾙ"), std::wstring(L"+++---"),
          std::wstring(L"\xD83D\xDE00 x"), std::wstring(L"é-é+é"), std::wstring(1, L'\xFFFF')}) {
        EXPECT_EQ(DecodeUtf7(EncodeUtf7(text)), text) << EncodeUtf7(text);
        // The encoded form is plain ASCII.
        for (char c : EncodeUtf7(text)) EXPECT_LT(static_cast<unsigned char>(c), 0x80u);
    }
}

TEST(Utf7, BlockDecoderStopsWhenTheTargetIsFull)
{
    const std::string in = "ab+aRx9Ig";
    wchar_t out[3];
    const char* s = in.data();
    wchar_t* t = out;
    EXPECT_EQ(DecodeUtf7Block(s, in.data() + in.size(), t, out + 3), kUtf7TargetFull);
    EXPECT_EQ(t, out + 3);
    EXPECT_EQ(std::wstring(out, 3), L"ab検");
}

TEST(CodePages, ConvertThroughTheNamedCodePage)
{
    const std::string sjis = "\x8C\x9F\x8D\xF5";  // 検索
    EXPECT_EQ(WideFromCodePage(sjis, 932), L"検索");
    EXPECT_EQ(WideToCodePage(L"検索", 932), sjis);
    EXPECT_EQ(WideFromCodePage("\xE6\xA4\x9C", CP_UTF8), L"検");
    EXPECT_EQ(WideToCodePage(L"検", CP_UTF8), "\xE6\xA4\x9C");
    EXPECT_EQ(WideFromCodePage("+aRx9Ig", CP_UTF7), L"検索");
    EXPECT_EQ(WideToCodePage(L"検索", CP_UTF7), "+aRx9Ig");
    EXPECT_THROW(WideFromCodePage("+", CP_UTF7), Exception);
    EXPECT_EQ(WideToCodePage(L"\xE9", 1252), "\xE9");
    // A character outside the code page comes out as the code page's replacement.
    EXPECT_EQ(WideToCodePage(L"\x0101", 932), "?");
}

}  // namespace
