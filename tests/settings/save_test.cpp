// The settings program's save: when it writes (registered band library, fixed drive, file not
// read-only) and the order of sections and keys in a new file.
// Real registry, real INI functions, real files on the Wine drive.
#include <windows.h>
#include <gtest/gtest.h>

#include <sstream>
#include <vector>

#include "BandRegistration.h"
#include "DialogSettings.h"
#include "IniFiles.h"
#include "SysUtils.h"
#include "TestEnv.h"

namespace {

class SaveSettingsTest : public settingstest::BandRegistration {
protected:
    void SetUp() override
    {
        BandRegistration::SetUp();
        dir_ = testenv::MakeScratchDir("palvenor-save");
        ASSERT_FALSE(dir_.empty());
        AddDefaultEngines(lists_);
        values_.Engines = &lists_;
        for (int m = 0; m < kModeCount; ++m) values_.Captions[m] = DefaultModeCaption(static_cast<TSearchMode>(m));
        values_.CharItem = 17;  // "Q"
    }
    void TearDown() override
    {
        testenv::RemoveTree(dir_);
        BandRegistration::TearDown();
    }
    std::string dir_;
    TEngineLists lists_;
    TSettingsToSave values_;
};

// Section and key names of an INI text in file order, as "[SECTION]" and "KEY=value" lines.
std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) out.push_back(line);
    }
    return out;
}

TEST_F(SaveSettingsTest, WritesOnlyTheRegisteredLibrarysFileOnAFixedDriveWhenNotReadOnly)
{
    // Not registered: the program's own file (the one it reads) is never written.
    const std::wstring ownFile = DialogSettingsPathForReading();
    EXPECT_EQ(ownFile, testenv::Wide(testenv::ProgramDir() + "test_settings.ini"));
    EXPECT_FALSE(SaveSettingsFile(values_));
    EXPECT_EQ(GetFileAttributesW(ownFile.c_str()), INVALID_FILE_ATTRIBUTES);

    // A read-only file is left as it is.
    const std::string ini = dir_ + "\\kervodll.ini";
    Register(dir_ + "\\kervodll.dll");
    EXPECT_EQ(DialogSettingsPathForReading(), testenv::Wide(ini));
    ASSERT_TRUE(testenv::WriteFileBytes(ini, "[HIST]\r\n0=x\r\n"));
    SetFileAttributesA(ini.c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_FALSE(SaveSettingsFile(values_));
    SetFileAttributesA(ini.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(testenv::ReadFileBytes(ini), "[HIST]\r\n0=x\r\n");

    // Not on a fixed drive: a drive letter with no drive, a network share.
    for (const char* library : {"Q:\\kervo\\kervodll.dll", "\\\\server\\share\\kervodll.dll"}) {
        Register(library);
        EXPECT_FALSE(SaveSettingsFile(values_)) << library;
    }

    // Writable: the keys only the band writes stay.
    Register(dir_ + "\\kervodll.dll");
    EXPECT_TRUE(SaveSettingsFile(values_));
    const TIniFile file(ini);
    EXPECT_EQ(file.ReadString("HIST", "0", ""), "x");
    EXPECT_EQ(file.ReadString("SEARCH0", "TITLE", ""), AnsiFromWide(L"Google 日本語"));
}

// The library registered in a folder whose name the code page cannot spell, with a blank as well
// and in its long form: the file beside it is the one read and written, in the code page, and
// nothing appears at the name's best fit.
TEST_F(SaveSettingsTest, TheFileBesideALibraryInAFolderTheCodePageCannotSpellIsTheOneWritten)
{
    const std::wstring folder = testenv::Wide(dir_) + L"\\kervo Jos\u00E9";
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    Register(folder + L"\\kervodll.dll");
    const std::wstring ini = folder + L"\\kervodll.ini";
    EXPECT_EQ(DialogSettingsPathForReading(), ini);
    ASSERT_TRUE(testenv::WriteFileBytes(ini, "[HIST]\r\n0=x\r\n"));
    values_.Captions[0] = AnsiFromWide(L"ウェブ");
    EXPECT_TRUE(SaveSettingsFile(values_));
    const std::string bytes = testenv::ReadFileBytes(ini);
    EXPECT_EQ(bytes.find("[HIST]\r\n0=x\r\n[SEARCH]\r\nCAPTION=" + values_.Captions[0] + "\r\n"), 0u) << bytes;
    EXPECT_EQ(TIniFile(ini).ReadString("HOTKEY", "CHAR", ""), "81");
    EXPECT_EQ(GetFileAttributesA((dir_ + "\\kervo Jose").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(SaveSettingsTest, NewFileHoldsCaptionsThenSlotsThenHotkeyInWriteOrder)
{
    Register(dir_ + "\\kervodll.dll");
    values_.Captions[1] = "";  // an empty caption is written empty
    lists_.Titles(TSearchMode::DIC).Put(1, "dic2");
    lists_.Urls(TSearchMode::DIC).Put(1, "http://dic2/?q=");
    lists_.FFileTitles.Add("never");  // entries past slot 2 are not written
    lists_.FFileUrls.Add("http://never/");
    ASSERT_TRUE(SaveSettingsFile(values_));

    std::vector<std::string> expected;
    for (int m = 0; m < kModeCount; ++m) {
        expected.push_back(std::string("[") + ModeSectionName(static_cast<TSearchMode>(m)) + "]");
        expected.push_back("CAPTION=" + values_.Captions[m]);
    }
    for (int slot = 0; slot < 3; ++slot) {
        for (int m = 0; m < kModeCount; ++m) {
            const TSearchMode mode = static_cast<TSearchMode>(m);
            expected.push_back(std::string("[") + ModeSectionName(mode) + std::to_string(slot) + "]");
            expected.push_back("TITLE=" + lists_.Titles(mode).Strings(slot));
            expected.push_back("URL=" + lists_.Urls(mode).Strings(slot));
        }
    }
    expected.insert(expected.end(), {"[HOTKEY]", "SHIFT=1", "CHAR=81"});
    EXPECT_EQ(Lines(testenv::ReadFileBytes(dir_ + "\\kervodll.ini")), expected);

    // Ctrl alone and "なし".
    values_.Shift = false;
    values_.CharItem = 0;
    ASSERT_TRUE(SaveSettingsFile(values_));
    const TIniFile file(dir_ + "\\kervodll.ini");
    EXPECT_EQ(file.ReadString("HOTKEY", "SHIFT", ""), "0");
    EXPECT_EQ(file.ReadString("HOTKEY", "CHAR", ""), "64");
}

}  // namespace
