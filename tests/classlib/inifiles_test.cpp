// TIniFile over Wine's private-profile functions, on files in a scratch folder.
#include <windows.h>
#include <gtest/gtest.h>

#include <vector>

#include "IniFiles.h"
#include "SysUtils.h"
#include "TestEnv.h"

namespace {

class IniFileTest : public testing::Test {
protected:
    void SetUp() override
    {
        dir = testenv::MakeScratchDir("ini");
        ASSERT_FALSE(dir.empty());
        path = dir + "\\kervodll.ini";
    }
    void TearDown() override { testenv::RemoveTree(dir); }
    // Writes the file as another program would, bypassing the class.
    void Seed(const std::string& bytes) { ASSERT_TRUE(testenv::WriteFileBytes(path, bytes)); }
    std::string dir, path;
};

TEST_F(IniFileTest, StringsGoToDiskAtOnceInTheSystemCodePage)
{
    TIniFile ini(path);
    EXPECT_EQ(ini.FileName(), testenv::Wide(path));
    const std::string caption = AnsiFromWide(L"ｷｬｯｼｭ");
    ini.WriteString("CACHE", "CAPTION", caption);
    ini.WriteString("SEARCH0", "TITLE", "");
    const std::string bytes = testenv::ReadFileBytes(path);
    EXPECT_NE(bytes.find("[CACHE]"), std::string::npos) << bytes;
    EXPECT_NE(bytes.find("CAPTION=" + caption), std::string::npos) << bytes;
    EXPECT_NE(bytes.find("TITLE="), std::string::npos) << bytes;  // an empty value keeps its key

    TIniFile again(path);
    EXPECT_EQ(again.ReadString("cache", "caption", "d"), caption);  // names ignore case
    EXPECT_EQ(again.ReadString("SEARCH0", "TITLE", "d"), "");
    EXPECT_EQ(again.ReadString("SEARCH0", "URL", "d"), "d");
    EXPECT_EQ(again.ReadString("NOPE", "TITLE", ""), "");

    TIniFile absent(dir + "\\absent.ini");  // reading never creates the file
    EXPECT_EQ(absent.ReadInteger("BUTTON", "SELECTED", 1), 1);
    EXPECT_EQ(GetFileAttributesA((dir + "\\absent.ini").c_str()), INVALID_FILE_ATTRIBUTES);
}

// The file is named wide, its text stays in the code page: a new file is made in it and an
// existing one keeps it, and nothing appears at the folder name's best fit ("Jose").
TEST_F(IniFileTest, AFileInAFolderTheCodePageCannotSpellIsReachedAndKeepsItsCodePage)
{
    const std::wstring folder = testenv::Wide(dir) + L"\\Jos\u00E9";
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    const std::wstring file = folder + L"\\kervodll.ini";
    TIniFile ini(file);
    ini.WriteString("HIST", "0", AnsiFromWide(L"日本"));
    EXPECT_EQ(testenv::ReadFileBytes(file), "[HIST]\r\n0=\x93\xFA\x96\x7B\r\n");
    ASSERT_TRUE(testenv::WriteFileBytes(file, "[HIST]\r\n0=\x8C\x9F\x8D\xF5\r\n"));
    EXPECT_EQ(ini.ReadString("HIST", "0", ""), AnsiFromWide(L"検索"));
    ini.WriteString("HIST", "1", "x");
    EXPECT_EQ(testenv::ReadFileBytes(file), "[HIST]\r\n0=\x8C\x9F\x8D\xF5\r\n1=x\r\n");
    EXPECT_EQ(GetFileAttributesA((dir + "\\Jose").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(IniFileTest, LongValuesAreCutTo2047Characters)
{
    const std::string longValue(3000, 'q');
    // The second value's double-byte character (検) straddles the end of the read: the system
    // reports a full read but writes one byte less.
    Seed("[HIST]\r\n0=" + longValue + "\r\n1=" + std::string(2046, 'a') + "\x8C\x9F\x8C\x9F\r\n");
    TIniFile ini(path);
    EXPECT_EQ(ini.ReadString("HIST", "0", ""), longValue.substr(0, 2047));
    EXPECT_EQ(ini.ReadString("HIST", "1", ""), std::string(2046, 'a'));
}

// Reading trims blanks at both ends and one pair of enclosing quotes, and a line break would end
// the value and start lines of its own: what is written must read back as it was given.
TEST_F(IniFileTest, ValuesReadBackAsWrittenWithoutLineBreaks)
{
    TIniFile ini(path);
    const std::vector<std::string> values = {
        " spaced ", "\"quoted\"", "'single'", "   ", "\tTab", "end\x1A", "\"open", "it's \"in\" here",
        AnsiFromWide(L"\u3000wide\u3000"), "\"", " \" "};
    for (size_t i = 0; i < values.size(); ++i) {
        ini.WriteString("HIST", std::to_string(i), values[i]);
        EXPECT_EQ(ini.ReadString("HIST", std::to_string(i), "-"), values[i]) << i;
    }
    // Ordinary values stand in the file as they are.
    ini.WriteString("SEARCH0", "TITLE", "plain text");
    EXPECT_NE(testenv::ReadFileBytes(path).find("TITLE=plain text\r\n"), std::string::npos);

    ini.WriteString("HIST", "0", "pa1\r\n[HOTKEY]\r\nCHAR=90\n");
    EXPECT_EQ(ini.ReadString("HIST", "0", ""), "pa1[HOTKEY]CHAR=90");
    EXPECT_EQ(ini.ReadString("HOTKEY", "CHAR", "64"), "64");
    EXPECT_EQ(testenv::ReadFileBytes(path).find("\n[HOTKEY]"), std::string::npos);
    ini.WriteString("HIST", "1", "\r\n x \r\n");
    EXPECT_EQ(ini.ReadString("HIST", "1", ""), " x ");
}

// No more is written than a read can give back (a very long value would even be garbled), and
// never half of a double-byte character.
TEST_F(IniFileTest, LongValuesAreWrittenCutToWhatReadingReturns)
{
    TIniFile ini(path);
    const std::string kanji = "\x8C\x9F";  // 検
    const std::vector<std::string> values = {std::string(3000, 'q'), std::string(40000, 'r'),
                                             std::string(2046, 'a') + kanji + kanji, std::string(2047, 'b'),
                                             " " + std::string(3000, 'c'), std::string(2044, 'd') + kanji + " "};
    const std::vector<std::string> stored = {std::string(2047, 'q'), std::string(2047, 'r'),
                                             std::string(2046, 'a'), std::string(2047, 'b'),
                                             "\" " + std::string(2044, 'c') + "\"",
                                             "\"" + std::string(2044, 'd') + "\""};
    for (size_t i = 0; i < values.size(); ++i) {
        const std::string key = std::to_string(i);
        ini.WriteString("HIST", key, values[i]);
        EXPECT_NE(testenv::ReadFileBytes(path).find(key + "=" + stored[i] + "\r\n"), std::string::npos) << i;
        const std::string inner = stored[i][0] == '"' ? stored[i].substr(1, stored[i].size() - 2) : stored[i];
        EXPECT_EQ(ini.ReadString("HIST", key, ""), inner) << i;
    }
}

TEST_F(IniFileTest, IntegersAreDecimalOrPrefixedHexadecimal)
{
    Seed("[N]\r\n"
         "dec=42\r\nneg=-5\r\nplus=+7\r\nhex=0x41\r\nhex2=0X1f\r\nfull=0xFFFFFFFF\r\n"
         "bare=0x\r\nbadhex=0xZZ\r\nlonghex=0x123456789\r\nword=abc\r\ntail=12abc\r\n"
         "empty=\r\nbig=99999999999\r\nmin=-2147483648\r\n");
    TIniFile ini(path);
    EXPECT_EQ(ini.ReadInteger("N", "dec", 0), 42);
    EXPECT_EQ(ini.ReadInteger("N", "neg", 0), -5);
    EXPECT_EQ(ini.ReadInteger("N", "plus", 0), 7);
    EXPECT_EQ(ini.ReadInteger("N", "hex", 0), 65);
    EXPECT_EQ(ini.ReadInteger("N", "hex2", 0), 31);
    EXPECT_EQ(ini.ReadInteger("N", "full", 0), -1);
    EXPECT_EQ(ini.ReadInteger("N", "min", 0), INT32_MIN);
    for (const char* key : {"bare", "badhex", "longhex", "word", "tail", "empty", "big", "none"})
        EXPECT_EQ(ini.ReadInteger("N", key, 64), 64) << key;

    ini.WriteInteger("HOTKEY", "CHAR", -7);
    EXPECT_EQ(ini.ReadString("HOTKEY", "CHAR", ""), "-7");
    ini.WriteInteger("HOTKEY", "CHAR", 65);
    EXPECT_EQ(ini.ReadInteger("HOTKEY", "CHAR", 64), 65);
}

TEST_F(IniFileTest, BooleansAreIntegersWrittenAsOneOrZero)
{
    Seed("[HOTKEY]\r\nzero=0\r\ntwo=2\r\nword=yes\r\nhex=0x0\r\n");
    TIniFile ini(path);
    EXPECT_FALSE(ini.ReadBool("HOTKEY", "zero", true));
    EXPECT_TRUE(ini.ReadBool("HOTKEY", "two", false));
    EXPECT_TRUE(ini.ReadBool("HOTKEY", "word", true));
    EXPECT_FALSE(ini.ReadBool("HOTKEY", "word", false));
    EXPECT_FALSE(ini.ReadBool("HOTKEY", "hex", true));
    EXPECT_TRUE(ini.ReadBool("HOTKEY", "missing", true));

    ini.WriteBool("HOTKEY", "SHIFT", false);
    EXPECT_EQ(ini.ReadString("HOTKEY", "SHIFT", ""), "0");
    ini.WriteBool("HOTKEY", "SHIFT", true);
    EXPECT_EQ(ini.ReadString("HOTKEY", "SHIFT", ""), "1");
}

// After the note of the sections, every read answers what the system answers.
TEST_F(IniFileTest, NotedSectionsAnswerAsTheSystemDoes)
{
    const std::string kana = AnsiFromWide(L"ｷｬｯｼｭ");
    Seed("[search0]\r\nTITLE=t\r\n[" + kana + "]\r\nA=k\r\n");
    TIniFile plain(path), noted(path);
    noted.NoteSections();
    for (const std::string& section : std::vector<std::string>{"SEARCH0", "Search0", "SEARCH1", kana, " SEARCH0 "})
        for (const std::string& def : std::vector<std::string>{"", "d  "})
            for (const char* key : {"TITLE", "A", "NONE"})
                EXPECT_EQ(noted.ReadString(section, key, def), plain.ReadString(section, key, def))
                    << section << "/" << key << "/" << def;

    TIniFile absent(dir + "\\absent.ini");
    absent.NoteSections();
    EXPECT_EQ(absent.ReadInteger("HOTKEY", "CHAR", 64), 64);
    EXPECT_TRUE(absent.ReadBool("HOTKEY", "SHIFT", true));
}

TEST_F(IniFileTest, RefusedWriteNamesTheFile)
{
    const std::string nowhere = dir + "\\no-such-folder\\kervodll.ini";
    TIniFile ini(nowhere);
    try {
        ini.WriteString("HIST", "0", "x");
        FAIL();
    } catch (const EIniFileException& e) {
        EXPECT_EQ(WideFromAnsi(e.Message()), WideFromAnsi(nowhere) + L" に書き込めません");
    }
    EXPECT_THROW(ini.WriteInteger("BUTTON", "SELECTED", 2), EIniFileException);
    EXPECT_THROW(ini.WriteBool("HOTKEY", "SHIFT", true), EIniFileException);
}

}  // namespace
