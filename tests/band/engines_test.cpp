// The engine loading rule and the built-in engines, on settings files in a scratch folder.
#include <windows.h>
#include <gtest/gtest.h>

#include "BandSettings.h"
#include "SysUtils.h"
#include "TestEnv.h"

namespace {

std::string A(const std::wstring& w) { return AnsiFromWide(w); }

// The built-in engines' URL prefixes, written out rather than read from the table under test.
constexpr char kGoogleJapanese[] = "http://www.google.co.jp/search?num=50&hl=ja&lr=lang_ja&q=";
constexpr char kGoogleWholeWeb[] = "http://www.google.co.jp/search?num=50&hl=ja&q=";
constexpr char kInternetArchive[] = "http://web.archive.org/archive_request_ng?collection=web&url=";
constexpr char kGoogleCache[] = "http://www.google.co.jp/search?q=cache:";
constexpr char kYahooDictionary[] = "http://dic.yahoo.co.jp/bin/dsearch?t=o&d=all&p=";
constexpr char kAlltheWeb[] = "http://www.alltheweb.com/search?cat=ftp&cs=cp932&q=";
constexpr char kFileAvenue[] = "http://www.fileavenue.jp/index.php?ids=10&action=search1&q=";

std::vector<std::string> Items(const TStrings& l)
{
    std::vector<std::string> out;
    for (int i = 0; i < l.Count(); ++i) out.push_back(l.Get(i));
    return out;
}

class EngineTest : public testing::Test {
protected:
    void SetUp() override
    {
        dir = testenv::MakeScratchDir("engines");
        path = dir + "\\kervodll.ini";
    }
    void TearDown() override { testenv::RemoveTree(dir); }
    void Engine(const std::string& section, const std::string& title, const std::string& url)
    {
        TIniFile ini(path);
        ini.WriteString(section, "TITLE", title);
        ini.WriteString(section, "URL", url);
    }
    void Load()
    {
        lists.Clear();
        TIniFile ini(path);
        ReadEngineSlots(ini, lists);
        AddDefaultEngines(lists);
    }
    std::string dir, path;
    TEngineLists lists;
};

TEST_F(EngineTest, WithoutAFileEveryModeGetsItsBuiltInEngines)
{
    Load();
    EXPECT_EQ(Items(lists.FSearchTitles), (std::vector<std::string>{A(L"Google 日本語"), A(L"Google ウェブ全体"), ""}));
    EXPECT_EQ(Items(lists.FSearchUrls), (std::vector<std::string>{kGoogleJapanese, kGoogleWholeWeb, ""}));
    EXPECT_EQ(Items(lists.FCacheTitles), (std::vector<std::string>{"Internet Archive", A(L"Google キャッシュ"), ""}));
    EXPECT_EQ(Items(lists.FCacheUrls), (std::vector<std::string>{kInternetArchive, kGoogleCache, ""}));
    EXPECT_EQ(Items(lists.FDicTitles), (std::vector<std::string>{A(L"Yahoo! 辞書"), "", ""}));
    EXPECT_EQ(Items(lists.FDicUrls), (std::vector<std::string>{kYahooDictionary, "", ""}));
    EXPECT_EQ(Items(lists.FFileTitles), (std::vector<std::string>{"AlltheWeb", "File Avenue", ""}));
    EXPECT_EQ(Items(lists.FFileUrls), (std::vector<std::string>{kAlltheWeb, kFileAvenue, ""}));
}

TEST(BuiltinEngines, UrlsEndWhereTheQueryGoes)
{
    // The search builds prefix + query, so a prefix must end in its query parameter.
    for (const TBuiltinEngine& e : BuiltinEngines) {
        const std::string url = e.Url;
        EXPECT_EQ(url.rfind("http://", 0), 0u) << url;
        const char last = url.back();
        EXPECT_TRUE(last == '=' || url.ends_with("cache:")) << url;
    }
}

TEST_F(EngineTest, AnIncompleteSlotIsSkippedAndALaterSlotBecomesEntryZero)
{
    Engine("SEARCH0", "Only title", "");
    Engine("SEARCH1", "Mine", "http://example.jp/?q=");
    Engine("DIC0", "", "http://dic.example/?q=");
    Load();
    EXPECT_EQ(lists.FSearchTitles.Get(0), "Mine");
    EXPECT_EQ(lists.FSearchUrls.Get(0), "http://example.jp/?q=");
    EXPECT_EQ(lists.FSearchTitles.IndexOf("Only title"), -1);
    EXPECT_EQ(lists.FSearchTitles.Count(), 3);  // Mine + rows 1, 2
    EXPECT_EQ(lists.FDicTitles.Get(0), A(L"Yahoo! 辞書"));
}

TEST_F(EngineTest, TheFirstOccurrenceOfATitleWinsWhateverTheCase)
{
    Engine("CACHE0", "abc", "http://first/");
    Engine("CACHE1", "ABC", "http://second/");
    Engine("CACHE2", "Abc", "http://third/");
    Load();
    EXPECT_EQ(Items(lists.FCacheTitles), (std::vector<std::string>{"abc", "Internet Archive", A(L"Google キャッシュ")}));
    EXPECT_EQ(Items(lists.FCacheUrls), (std::vector<std::string>{"http://first/", kInternetArchive, kGoogleCache}));
}

TEST_F(EngineTest, AFileEngineWithABuiltInTitleKeepsItsOwnUrl)
{
    Engine("CACHE0", "internet archive", "http://mirror.example/?u=");
    Engine("SEARCH2", A(L"GOOGLE 日本語"), "http://own/?q=");
    Load();
    EXPECT_EQ(Items(lists.FCacheTitles), (std::vector<std::string>{"internet archive", A(L"Google キャッシュ"), ""}));
    EXPECT_EQ(lists.FCacheUrls.Get(0), "http://mirror.example/?u=");
    EXPECT_EQ(Items(lists.FSearchTitles), (std::vector<std::string>{A(L"GOOGLE 日本語"), A(L"Google ウェブ全体"), ""}));
    EXPECT_EQ(lists.FSearchUrls.Get(0), "http://own/?q=");
}

TEST_F(EngineTest, ThreeFileEnginesPlusBothBuiltInsMakeFive)
{
    Engine("FILE0", "f0", "u0");
    Engine("FILE1", "f1", "u1");
    Engine("FILE2", A(L"ファイル検索"), "u2");
    Engine("FILE3", "f3", "u3");  // slots beyond 2 are not read
    Load();
    EXPECT_EQ(Items(lists.FFileTitles), (std::vector<std::string>{"f0", "f1", A(L"ファイル検索"), "AlltheWeb", "File Avenue"}));
    EXPECT_EQ(Items(lists.FFileUrls), (std::vector<std::string>{"u0", "u1", "u2", kAlltheWeb, kFileAvenue}));
}

TEST_F(EngineTest, ListsKeepTheirInvariantsAfterEveryFill)
{
    Engine("SEARCH0", "s", "su");
    Engine("DIC1", "d", "du");
    Engine("DIC2", "D", "other");
    Engine("FILE0", "AlltheWeb", "x");
    for (int round = 0; round < 2; ++round) {  // a reload refills, it does not accumulate
        Load();
        for (int m = 0; m < kModeCount; ++m) {
            const TSearchMode mode = static_cast<TSearchMode>(m);
            TStringList& t = lists.Titles(mode);
            TStringList& u = lists.Urls(mode);
            ASSERT_EQ(t.Count(), u.Count()) << m;
            EXPECT_GE(t.Count(), 3);
            EXPECT_FALSE(t.Get(0).empty());
            EXPECT_FALSE(u.Get(0).empty());
            bool filler = false;
            for (int i = 0; i < t.Count(); ++i) {
                if (t.Get(i).empty()) {
                    filler = true;
                    EXPECT_TRUE(u.Get(i).empty());
                } else {
                    EXPECT_FALSE(filler) << "entry after a filler in mode " << m;
                    EXPECT_EQ(t.IndexOf(t.Get(i)), i) << "duplicate title in mode " << m;
                }
            }
        }
    }
    EXPECT_EQ(lists.FDicTitles.Count(), 3);  // d, row 5, one filler
    EXPECT_EQ(lists.FFileUrls.Get(0), "x");
}

}  // namespace
