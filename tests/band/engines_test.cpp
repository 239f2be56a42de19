// The engine loading rule and the built-in engines, on settings files in a scratch folder.
#include <windows.h>
#include <gtest/gtest.h>

#include "BandSettings.h"
#include "SysUtils.h"
#include "TestEnv.h"

namespace {

std::string A(const std::wstring& w) { return AnsiFromWide(w); }

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
    const char* Builtin(int row) { return BuiltinEngines[row - 1].Url; }
    std::string BuiltinTitle(int row) { return A(BuiltinEngines[row - 1].Title); }
    std::string dir, path;
    TEngineLists lists;
};

TEST_F(EngineTest, WithoutAFileEveryModeGetsItsBuiltInEngines)
{
    Load();
    EXPECT_EQ(Items(lists.FSearchTitles), (std::vector<std::string>{A(L"Google 日本語"), A(L"Google ウェブ全体"), ""}));
    EXPECT_EQ(Items(lists.FSearchUrls), (std::vector<std::string>{Builtin(1), Builtin(2), ""}));
    EXPECT_EQ(Items(lists.FCacheTitles), (std::vector<std::string>{"Internet Archive", A(L"Google キャッシュ"), ""}));
    EXPECT_EQ(Items(lists.FCacheUrls), (std::vector<std::string>{Builtin(3), Builtin(4), ""}));
    EXPECT_EQ(Items(lists.FDicTitles), (std::vector<std::string>{A(L"Yahoo! 辞書"), "", ""}));
    EXPECT_EQ(Items(lists.FDicUrls), (std::vector<std::string>{Builtin(5), "", ""}));
    EXPECT_EQ(Items(lists.FFileTitles), (std::vector<std::string>{"AlltheWeb", "File Avenue", ""}));
    EXPECT_EQ(Items(lists.FFileUrls), (std::vector<std::string>{Builtin(6), Builtin(7), ""}));
}

TEST(BuiltinEngines, UrlsEndWhereTheQueryGoes)
{
    const char* tails[7] = {"/search?num=50&hl=ja&lr=lang_ja&q=", "/search?num=50&hl=ja&q=",
                            "/archive_request_ng?collection=web&url=", "/search?q=cache:",
                            "/bin/dsearch?t=o&d=all&p=", "/search?cat=ftp&cs=cp932&q=",
                            "/index.php?ids=10&action=search1&q="};
    for (int i = 0; i < 7; ++i) {
        const std::string url = BuiltinEngines[i].Url;
        ASSERT_EQ(url.rfind("http://", 0), 0u) << url;
        const size_t slash = url.find('/', 7);
        ASSERT_NE(slash, std::string::npos);
        EXPECT_EQ(url.substr(slash), tails[i]);
        EXPECT_GT(slash, 7u);  // a host stands between
    }
    // Rows 1, 2 and 4 go to the same, Japanese, host of the web search service.
    auto host = [](int row) {
        std::string u = BuiltinEngines[row - 1].Url;
        return u.substr(7, u.find('/', 7) - 7);
    };
    EXPECT_EQ(host(1), host(2));
    EXPECT_EQ(host(1), host(4));
    EXPECT_EQ(host(1).substr(host(1).size() - 3), ".jp");
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
    EXPECT_EQ(lists.FDicTitles.Get(0), BuiltinTitle(5));
}

TEST_F(EngineTest, TheFirstOccurrenceOfATitleWinsWhateverTheCase)
{
    Engine("CACHE0", "abc", "http://first/");
    Engine("CACHE1", "ABC", "http://second/");
    Engine("CACHE2", "Abc", "http://third/");
    Load();
    EXPECT_EQ(Items(lists.FCacheTitles), (std::vector<std::string>{"abc", "Internet Archive", A(L"Google キャッシュ")}));
    EXPECT_EQ(Items(lists.FCacheUrls), (std::vector<std::string>{"http://first/", Builtin(3), Builtin(4)}));
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
    EXPECT_EQ(Items(lists.FFileUrls), (std::vector<std::string>{"u0", "u1", "u2", Builtin(6), Builtin(7)}));
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

TEST(ModeNames, SectionsAndDefaultCaptions)
{
    EXPECT_STREQ(ModeSectionName(TSearchMode::SEARCH), "SEARCH");
    EXPECT_STREQ(ModeSectionName(TSearchMode::CACHE), "CACHE");
    EXPECT_STREQ(ModeSectionName(TSearchMode::DIC), "DIC");
    EXPECT_STREQ(ModeSectionName(TSearchMode::FILE), "FILE");
    EXPECT_EQ(DefaultModeCaption(TSearchMode::SEARCH), A(L"検索"));
    EXPECT_EQ(DefaultModeCaption(TSearchMode::CACHE), A(L"ｷｬｯｼｭ"));
    EXPECT_EQ(DefaultModeCaption(TSearchMode::DIC), A(L"辞書"));
    EXPECT_EQ(DefaultModeCaption(TSearchMode::FILE), A(L"ﾌｧｲﾙ"));
}

}  // namespace
