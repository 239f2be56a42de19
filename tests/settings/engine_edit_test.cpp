// What a confirmed engine editor makes of a mode's engines: complete pairs first, each title once
// without regard to case, then the built-in engines whose titles are missing, every list padded.
#include <windows.h>
#include <gtest/gtest.h>

#include <vector>

#include "EngineEdit.h"
#include "SysUtils.h"

namespace {

std::vector<std::string> Items(const TStringList& list)
{
    std::vector<std::string> out;
    for (int i = 0; i < list.Count(); ++i) out.push_back(list.Strings(i));
    return out;
}

std::string A(const wchar_t* text) { return AnsiFromWide(text); }

TEST(EngineEdit, PairsReplaceTheModesEnginesAndBuiltInsFillTheGaps)
{
    TEngineLists lists;
    AddDefaultEngines(lists);
    const std::vector<std::string> cacheBefore = Items(lists.FCacheTitles);

    // All six fields cleared: the built-in engines only.
    ReplaceModeEngines(lists, TSearchMode::SEARCH, {{L"", L""}, {L"", L""}, {L"", L""}});
    EXPECT_EQ(Items(lists.FSearchTitles), (std::vector<std::string>{A(L"Google 日本語"), A(L"Google ウェブ全体"), ""}));

    // A new URL under a built-in title is kept and the built-in engine is not appended again;
    // the other built-in title, deleted by the user, comes back behind the user's pairs.
    ReplaceModeEngines(lists, TSearchMode::SEARCH,
                       {{L"mine", L"http://mine/?q="}, {L"google 日本語", L"http://other/?q="}, {L"", L""}});
    EXPECT_EQ(Items(lists.FSearchTitles), (std::vector<std::string>{"mine", A(L"google 日本語"), A(L"Google ウェブ全体")}));
    EXPECT_EQ(lists.FSearchUrls.Strings(1), "http://other/?q=");
    EXPECT_EQ(lists.FSearchUrls.Count(), 3);

    // A second title equal but for case is dropped; half pairs are dropped; a title of blanks is
    // a title; nothing is trimmed.
    ReplaceModeEngines(lists, TSearchMode::DIC, {{L"Abc", L"http://1/"}, {L"aBC", L"http://2/"}, {L"  ", L" u "}});
    EXPECT_EQ(Items(lists.FDicTitles), (std::vector<std::string>{"Abc", "  ", A(L"Yahoo! 辞書")}));
    EXPECT_EQ(Items(lists.FDicUrls)[1], " u ");
    ReplaceModeEngines(lists, TSearchMode::FILE, {{L"t", L""}, {L"", L"http://u/"}, {L"x", L"http://x/"}});
    EXPECT_EQ(Items(lists.FFileTitles), (std::vector<std::string>{"x", "AlltheWeb", "File Avenue"}));

    // A character outside the system code page reaches the list as the conversion's default.
    ReplaceModeEngines(lists, TSearchMode::FILE, {{L"検索\u2603", L"http://s/"}, {L"", L""}, {L"", L""}});
    EXPECT_EQ(lists.FFileTitles.Strings(0), A(L"検索?"));

    // Other modes are left as they were.
    EXPECT_EQ(Items(lists.FCacheTitles), cacheBefore);
}

}  // namespace
