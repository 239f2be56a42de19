// Text files of wide lists: recognising the encoding by its byte-order mark, loading each of the
// four encodings, the bytes saved, and files named in UTF-16 (Japanese names included) with the
// errors for files that cannot be opened or created.
#include <windows.h>
#include <gtest/gtest.h>

#include "Streams.h"
#include "TestEnv.h"
#include "WideClasses.h"
#include "WideCodePages.h"
#include "WideTextFiles.h"

namespace {

using W = std::vector<std::wstring>;

std::vector<std::wstring> Items(const TWideStrings& l)
{
    std::vector<std::wstring> out;
    for (int i = 0; i < l.Count(); ++i) out.push_back(l.Strings(i));
    return out;
}

// Counts the outermost batches, to see that a load is one change for the list's watchers.
class CountingList : public TWideStringList {
public:
    void UpdatingChanged(bool updating) override
    {
        if (updating) ++opened;
        TWideStringList::UpdatingChanged(updating);
    }
    void NotifyChanged() override
    {
        if (UpdateCount() == 0) ++changes;
        TWideStringList::NotifyChanged();
    }
    int opened = 0;
    int changes = 0;
};

std::string Bytes(std::initializer_list<int> values)
{
    std::string s;
    for (int v : values) s.push_back(static_cast<char>(v));
    return s;
}

W LoadBytes(const std::string& bytes, bool detect = true)
{
    TWideStringList list;
    TMemoryStream stream(bytes);
    list.LoadStream(stream, detect);
    return Items(list);
}

std::string SavedBytes(const W& items, bool mark)
{
    TWideStringList list;
    for (const auto& s : items) list.Add(s);
    TMemoryStream stream;
    list.SaveStream(stream, mark);
    return stream.Bytes();
}

// "検索" in code page 932, UTF-8 and UTF-16 big-endian.
const std::string kSearchAnsi = Bytes({0x8C, 0x9F, 0x8D, 0xF5});
const std::string kSearchUtf8 = Bytes({0xE6, 0xA4, 0x9C, 0xE7, 0xB4, 0xA2});
const std::string kSearchUtf16BE = Bytes({0x69, 0x1C, 0x7D, 0x22});

TEST(DetectStreamEncoding, MarksAreReadAndAnythingElseIsGivenBack)
{
    struct Case {
        std::string bytes;
        int encoding;
        int64_t position;
    } cases[] = {
        {Bytes({0xFF, 0xFE, 0x61, 0x00}), teUtf16LE, 2},
        {Bytes({0xFE, 0xFF, 0x00, 0x61}), teUtf16BE, 2},
        {Bytes({0xEF, 0xBB, 0xBF, 0x61}), teUtf8, 3},
        {Bytes({0xFF, 0xFE}), teUtf16LE, 2},
        {Bytes({0xEF, 0xBB, 0xBF}), teUtf8, 3},
        {Bytes({0xEF, 0xBB}), teAnsi, 0},        // too short for the UTF-8 mark
        {Bytes({0xEF, 0xBB, 0xBE, 0x61}), teAnsi, 0},
        {Bytes({0xFE, 0xFE, 0x61}), teAnsi, 0},
        {Bytes({0x61, 0x62}), teAnsi, 0},
        {Bytes({0xFF}), teAnsi, 0},
        {std::string(), teAnsi, 0},
    };
    for (const auto& c : cases) {
        TMemoryStream stream(c.bytes);
        EXPECT_EQ(c.encoding, DetectStreamEncoding(stream)) << testing::PrintToString(c.bytes);
        EXPECT_EQ(c.position, stream.Position()) << testing::PrintToString(c.bytes);
    }
}

TEST(DetectStreamEncoding, LooksOnlyFromTheCurrentPosition)
{
    TMemoryStream stream(Bytes({0x61, 0xFE, 0xFF, 0x00, 0x62}));
    EXPECT_EQ(teAnsi, DetectStreamEncoding(stream));
    stream.SetPosition(1);
    EXPECT_EQ(teUtf16BE, DetectStreamEncoding(stream));
    EXPECT_EQ(3, stream.Position());
    // A mark near the end with too little left after the position is no mark.
    stream.SetPosition(4);
    EXPECT_EQ(teAnsi, DetectStreamEncoding(stream));
    EXPECT_EQ(4, stream.Position());
}

TEST(WideTextLoad, EachEncodingGivesTheSameLines)
{
    EXPECT_EQ(W{}, LoadBytes(""));
    EXPECT_EQ(W{}, LoadBytes(Bytes({0xFF, 0xFE})));
    EXPECT_EQ(W{L"ab"}, LoadBytes("ab"));
    EXPECT_EQ((W{L"a", L"b"}), LoadBytes(Bytes({0xEF, 0xBB, 0xBF}) + "a\r\nb"));
    EXPECT_EQ(W{L"a"}, LoadBytes(Bytes({0xFE, 0xFF, 0x00, 0x61})));
    EXPECT_EQ((W{L"a", L"b"}), LoadBytes(Bytes({0xFF, 0xFE, 0x61, 0x00, 0x0A, 0x00, 0x62, 0x00})));

    // Japanese text in each form, with a line break between two items.
    EXPECT_EQ((W{L"検索", L"x"}), LoadBytes(kSearchAnsi + "\r\nx"));
    EXPECT_EQ((W{L"検索", L"x"}), LoadBytes(Bytes({0xEF, 0xBB, 0xBF}) + kSearchUtf8 + "\r\nx"));
    EXPECT_EQ((W{L"\xD83D\xDE00", L"x"}), LoadBytes(Bytes({0xEF, 0xBB, 0xBF, 0xF0, 0x9F, 0x98, 0x80}) + "\r\nx"));
    EXPECT_EQ((W{L"検索", L"x"}),
              LoadBytes(Bytes({0xFE, 0xFF}) + kSearchUtf16BE + Bytes({0x00, 0x0D, 0x00, 0x0A, 0x00, 0x78})));
    // Without a mark UTF-8 is not guessed: the bytes are code page 932 text.
    EXPECT_EQ(W{WideFromAnsi(kSearchUtf8)}, LoadBytes(kSearchUtf8));
}

TEST(WideTextLoad, WithoutDetectionTheStreamIsLittleEndianUtf16)
{
    EXPECT_EQ(W{L"\xFEFF" L"a"}, LoadBytes(Bytes({0xFF, 0xFE, 0x61, 0x00}), false));
    EXPECT_EQ(W{L"\x6261"}, LoadBytes("ab", false));
    // A final odd byte is no whole character.
    EXPECT_EQ(W{L"a"}, LoadBytes(Bytes({0x61, 0x00, 0x62}), false));
    EXPECT_EQ(W{}, LoadBytes(Bytes({0x61}), false));
}

TEST(WideTextLoad, ReplacesTheItemsFromThePositionInOneBatch)
{
    CountingList list;
    list.Add(L"old");
    list.Add(L"older");
    list.changes = 0;

    TMemoryStream stream(std::string("skip") + Bytes({0xFF, 0xFE, 0x6E, 0x00}));
    stream.SetPosition(4);
    list.LoadStream(stream, true);

    EXPECT_EQ(W{L"n"}, Items(list));
    EXPECT_EQ(1, list.opened);
    EXPECT_EQ(1, list.changes);
    EXPECT_EQ(0, list.UpdateCount());
    EXPECT_EQ(stream.Size(), stream.Position());
}

TEST(WideTextSave, LittleEndianUtf16WithOrWithoutMark)
{
    EXPECT_EQ(Bytes({0xFF, 0xFE, 0x61, 0x00, 0x0D, 0x00, 0x0A, 0x00, 0x62, 0x00, 0x0D, 0x00, 0x0A, 0x00}),
              SavedBytes({L"a", L"b"}, true));
    EXPECT_EQ(Bytes({0x61, 0x00, 0x0D, 0x00, 0x0A, 0x00}), SavedBytes({L"a"}, false));
    EXPECT_EQ(Bytes({0xFF, 0xFE}), SavedBytes({}, true));
    EXPECT_EQ(std::string(), SavedBytes({}, false));
    // Characters outside code page 932 survive; a surrogate pair is two code units.
    EXPECT_EQ(Bytes({0x1C, 0x69, 0xAC, 0x20, 0x3D, 0xD8, 0x00, 0xDE, 0x0D, 0x00, 0x0A, 0x00}),
              SavedBytes({L"検\x20AC\xD83D\xDE00"}, false));
}

TEST(WideTextSave, SavedTextLoadsBackUnchanged)
{
    const W items{L"検索", L"", L"Ünïcödé \x20AC", L"\xD83D\xDE00", L"x=y"};
    TWideStringList saved;
    for (const auto& s : items) saved.Add(s);
    TMemoryStream stream;
    saved.SaveStream(stream, true);

    stream.SetPosition(0);
    TWideStringList loaded;
    loaded.LoadStream(stream, true);
    EXPECT_EQ(items, Items(loaded));
}

class WideTextFile : public testing::Test {
protected:
    void SetUp() override { dir_ = testenv::MakeScratchDir("widetext"); }
    void TearDown() override { testenv::RemoveTree(dir_); }
    std::wstring Path(const std::wstring& name) const { return WideFromAnsi(dir_) + L"\\" + name; }
    std::string dir_;
};

TEST_F(WideTextFile, SavesAndLoadsUnderAJapaneseName)
{
    const std::wstring name = Path(L"検索エンジン一覧.txt");
    TWideStringList list;
    list.Add(L"a");
    list.Add(L"b");
    list.SaveFile(name);

    // The file carries the Japanese name itself, and its bytes are the marked UTF-16 text.
    WIN32_FIND_DATAW found{};
    HANDLE find = FindFirstFileW(Path(L"*.txt").c_str(), &found);
    ASSERT_NE(INVALID_HANDLE_VALUE, find);
    FindClose(find);
    EXPECT_STREQ(L"検索エンジン一覧.txt", found.cFileName);
    EXPECT_EQ(Bytes({0xFF, 0xFE, 0x61, 0x00, 0x0D, 0x00, 0x0A, 0x00, 0x62, 0x00, 0x0D, 0x00, 0x0A, 0x00}),
              testenv::ReadFileBytes(AnsiFromWide(name)));

    TWideStringList loaded;
    loaded.Add(L"gone");
    loaded.LoadFile(name);
    EXPECT_EQ((W{L"a", L"b"}), Items(loaded));

    // Saving again replaces the file rather than writing over its start.
    TWideStringList shorter;
    shorter.Add(L"c");
    shorter.SaveFile(name);
    EXPECT_EQ(Bytes({0xFF, 0xFE, 0x63, 0x00, 0x0D, 0x00, 0x0A, 0x00}), testenv::ReadFileBytes(AnsiFromWide(name)));
}

TEST_F(WideTextFile, LoadsFromTheStartOfTheFileWithDetection)
{
    struct Case {
        const wchar_t* name;
        std::string bytes;
    } cases[] = {
        {L"ansi.txt", kSearchAnsi + "\r\nx"},
        {L"utf8.txt", Bytes({0xEF, 0xBB, 0xBF}) + kSearchUtf8 + "\r\nx"},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(testenv::WriteFileBytes(AnsiFromWide(Path(c.name)), c.bytes));
        TWideStringList list;
        list.LoadFile(Path(c.name));
        EXPECT_EQ((W{L"検索", L"x"}), Items(list)) << AnsiFromWide(c.name);
    }
    ASSERT_TRUE(testenv::WriteFileBytes(AnsiFromWide(Path(L"empty.txt")), ""));
    TWideStringList list;
    list.Add(L"gone");
    list.LoadFile(Path(L"empty.txt"));
    EXPECT_EQ(0, list.Count());
}

TEST_F(WideTextFile, FilesThatCannotBeOpenedOrCreatedAreNamedInTheError)
{
    TWideStringList list;
    list.Add(L"kept");

    const std::wstring missing = Path(L"無い.txt");
    try {
        list.LoadFile(missing);
        FAIL() << "loaded a missing file";
    } catch (const EFOpenError& e) {
        EXPECT_EQ(AnsiFromWide(L"ファイル " + missing + L" は開けません"), e.Message());
    }
    EXPECT_EQ(W{L"kept"}, Items(list));

    const std::wstring noFolder = Path(L"無いフォルダ\\保存.txt");
    try {
        list.SaveFile(noFolder);
        FAIL() << "saved into a missing folder";
    } catch (const EFCreateError& e) {
        EXPECT_EQ(AnsiFromWide(L"ファイル " + noFolder + L" を作成できませんでした"), e.Message());
    }
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(noFolder.c_str()));
    EXPECT_EQ(W{L"kept"}, Items(list));
}

TEST_F(WideTextFile, StreamModesShareAndTheHandleIsClosed)
{
    const std::wstring name = Path(L"共有.txt");
    {
        TWideFileStream created(name, fmCreate);
        created.WriteBuffer("ab", 2);
    }
    {
        // A writer that lets others write keeps a load (which denies writing) out...
        TWideFileStream writer(name, fmOpenReadWrite | fmShareDenyNone);
        TWideStringList list;
        EXPECT_THROW(list.LoadFile(name), EFOpenError);
        // ...and so does any stream that asks for the file to itself.
        EXPECT_THROW(TWideFileStream(name, fmOpenRead | fmShareExclusive), EFOpenError);
    }
    {
        // Once the writer is gone its handle is closed: exclusive access is granted, and a
        // reader that allows reading lets a load in beside it.
        { TWideFileStream exclusive(name, fmOpenReadWrite | fmShareExclusive); }
        TWideFileStream reader(name, fmOpenRead | fmShareDenyWrite);
        TWideStringList list;
        list.LoadFile(name);
        EXPECT_EQ(W{L"ab"}, Items(list));
    }
    // An open mode the file routines do not know is refused as an open error.
    EXPECT_THROW(TWideFileStream(name, 0x0003), EFOpenError);
}

}  // namespace
