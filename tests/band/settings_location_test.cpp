// Where the settings file lies and whether it may be written: the band's registration in Wine's
// real HKEY_CLASSES_ROOT (written and removed by the tests), real drives and file attributes.
#include <windows.h>
#include <objbase.h>
#include <gtest/gtest.h>

#include "BandSettings.h"
#include "Registry.h"
#include "SysUtils.h"
#include "TestEnv.h"
#include "TestRegistry.h"

namespace {

const std::string kClassKey = std::string("CLSID\\") + BandClassIdText;

// The settings path of a library path in the code page.
std::string Ini(const std::string& library) { return AnsiFromWide(ChangeExtensionToIni(WideFromAnsi(library))); }

bool Writable(const std::string& path) { return SettingsFileWritable(WideFromAnsi(path)); }

class BandRegistrationTest : public testing::Test {
protected:
    void SetUp() override { Unregister(); }
    void TearDown() override
    {
        Unregister();
        CachedLibraryPath.clear();
    }
    static void Unregister()
    {
        TRegistry r;
        r.SetRootKey(HKEY_CLASSES_ROOT);
        r.DeleteKey(kClassKey);
    }
    static void Register(const std::string* path)
    {
        TRegistry r;
        r.SetRootKey(HKEY_CLASSES_ROOT);
        ASSERT_TRUE(r.OpenKey(kClassKey + "\\InProcServer32", true));
        if (path) r.WriteString("", *path);
    }
    static void Register(const std::wstring& path)
    {
        ASSERT_TRUE(testenv::SetWideDefaultValue(HKEY_CLASSES_ROOT, kClassKey + "\\InProcServer32", path));
    }
};

TEST(BandClass, IdentifierAndItsTextAgree)
{
    wchar_t text[40];
    ASSERT_EQ(StringFromGUID2(BandClassId, text, 40), 39);
    EXPECT_EQ(AnsiFromWide(text), BandClassIdText);
    EXPECT_STREQ(BandClassIdText, "{820DFB52-B00B-4DF0-8364-6C746E1F7977}");
}

TEST_F(BandRegistrationTest, LibraryPathComesFromTheInProcServerDefaultValue)
{
    EXPECT_EQ(GetBandLibraryPath(), L"");
    Register(nullptr);  // key without a default value
    EXPECT_EQ(GetBandLibraryPath(), L"");
    const std::string path = AnsiFromWide(L"C:\\Program Files\\検索\\kervodll.dll");
    Register(&path);
    EXPECT_EQ(GetBandLibraryPath(), WideFromAnsi(path));
    // A folder the code page cannot spell comes as registered, not best-fit ("Jose").
    Register(std::wstring(L"C:\\kervo Jos\u00E9\\kervodll.dll"));
    EXPECT_EQ(GetBandLibraryPath(), L"C:\\kervo Jos\u00E9\\kervodll.dll");
    Unregister();
    EXPECT_EQ(GetBandLibraryPath(), L"");
}

TEST_F(BandRegistrationTest, CachedPathWinsAndAFreshLookupIsNotStored)
{
    const std::string registered = "C:\\reg\\kervodll.dll";
    Register(&registered);
    EXPECT_EQ(GetCachedLibraryPath(), L"C:\\reg\\kervodll.dll");
    EXPECT_EQ(CachedLibraryPath, L"");
    CachedLibraryPath = L"C:\\cached\\kervodll.dll";
    EXPECT_EQ(GetCachedLibraryPath(), L"C:\\cached\\kervodll.dll");
    CachedLibraryPath.clear();
    Unregister();
    EXPECT_EQ(GetCachedLibraryPath(), L"");
    // Not registered: the band's settings file is the bare name the profile functions look
    // for in the Windows folder.
    EXPECT_EQ(ChangeExtensionToIni(GetCachedLibraryPath()), L".ini");
}

TEST(SettingsPath, ExtensionOfTheFileNameBecomesIni)
{
    EXPECT_EQ(Ini("C:\\a\\kervodll.dll"), "C:\\a\\kervodll.ini");
    EXPECT_EQ(Ini("C:\\a.b\\kervodll"), "C:\\a.b\\kervodll.ini");
    EXPECT_EQ(Ini("C:\\a\\x.tar.gz"), "C:\\a\\x.tar.ini");
    EXPECT_EQ(Ini("C:\\a\\name."), "C:\\a\\name.ini");
    EXPECT_EQ(Ini("C:x.dll"), "C:x.ini");
    EXPECT_EQ(Ini("C:.x"), "C:.ini");
    EXPECT_EQ(Ini("palvenor.exe"), "palvenor.ini");
    EXPECT_EQ(Ini(""), ".ini");
    // Shift-JIS: the second byte of ソ (83 5C) is no folder separator.
    const std::string so = AnsiFromWide(L"ソ");
    ASSERT_EQ(so, "\x83\x5C");
    EXPECT_EQ(Ini("C:\\x\\a." + so), "C:\\x\\a.ini");
    EXPECT_EQ(Ini("C:\\" + so + ".d\\k"), "C:\\" + so + ".d\\k.ini");
    EXPECT_EQ(Ini(AnsiFromWide(L"C:\\表示\\ﾌｧｲﾙ.dll")),
              AnsiFromWide(L"C:\\表示\\ﾌｧｲﾙ.ini"));
}

class WriteGuardTest : public testing::Test {
protected:
    void SetUp() override
    {
        dir = testenv::MakeScratchDir("guard");
        ASSERT_EQ(toupper(dir[0]), 'C') << dir;
    }
    void TearDown() override { testenv::RemoveTree(dir); }
    std::string dir;
};

TEST_F(WriteGuardTest, AllowsAbsentAndWritableFilesOnAFixedDrive)
{
    const std::string path = dir + "\\kervodll.ini";
    EXPECT_TRUE(Writable(path));
    ASSERT_TRUE(testenv::WriteFileBytes(path, "[HIST]\r\n"));
    EXPECT_TRUE(Writable(path));
    std::string lower = path;
    lower[0] = 'c';
    EXPECT_TRUE(Writable(lower));
}

TEST_F(WriteGuardTest, RefusesReadOnlyFilesAndDrivesThatAreNotFixed)
{
    const std::string path = dir + "\\kervodll.ini";
    ASSERT_TRUE(testenv::WriteFileBytes(path, "[HIST]\r\n0=a\r\n"));
    ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_FALSE(Writable(path));
    TIniFile ini(path);
    EXPECT_EQ(ini.ReadString("HIST", "0", ""), "a");  // still read normally
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);

    EXPECT_FALSE(Writable("\\\\server\\share\\kervodll.ini"));
    EXPECT_FALSE(Writable(".ini"));
    EXPECT_FALSE(Writable(""));
    // A drive letter that no drive answers to.
    char letter = 0;
    for (char c = 'Q'; c >= 'D'; --c)
        if (GetDriveTypeA((std::string(1, c) + ":\\").c_str()) == DRIVE_NO_ROOT_DIR) {
            letter = c;
            break;
        }
    ASSERT_NE(letter, 0);
    EXPECT_FALSE(Writable(std::string(1, letter) + ":\\kervodll.ini"));
}

// The file in a folder the code page cannot spell is the one looked at, not the one of its
// best-fit name; a path too long for the profile functions, whose write would fail, is refused.
TEST_F(WriteGuardTest, LooksAtTheFileByItsWideNameAndRefusesPathsTheProfileFunctionsCannotTake)
{
    const std::wstring folder = testenv::Wide(dir) + L"\\Jos\u00E9";
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    const std::wstring path = folder + L"\\kervodll.ini";
    ASSERT_TRUE(testenv::WriteFileBytes(path, "[HIST]\r\n"));
    ASSERT_TRUE(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_FALSE(SettingsFileWritable(path));
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_TRUE(SettingsFileWritable(path));

    std::wstring deep = folder;
    while (deep.size() < MAX_PATH - 30) {
        deep += L"\\" + std::wstring(12, L'd');
        ASSERT_TRUE(CreateDirectoryW(deep.c_str(), nullptr));
    }
    const auto fileOfLength = [&](size_t length) {
        return deep + L"\\" + std::wstring(length - deep.size() - 5, L'n') + L".ini";
    };
    const std::wstring longest = fileOfLength(MAX_PATH - 1);
    EXPECT_TRUE(SettingsFileWritable(longest));
    TIniFile(longest).WriteString("HIST", "0", "q");
    EXPECT_EQ(TIniFile(longest).ReadString("HIST", "0", ""), "q");
    const std::wstring tooLong = fileOfLength(MAX_PATH);
    EXPECT_FALSE(SettingsFileWritable(tooLong));
    EXPECT_THROW(TIniFile(tooLong).WriteString("HIST", "0", "q"), EIniFileException);
}

TEST_F(WriteGuardTest, AWriteRefusedAfterTheGuardPassedRaises)
{
    // The guard looks only at the drive and the file: a missing folder passes it, and the write
    // itself then fails.
    const std::string path = dir + "\\gone\\kervodll.ini";
    ASSERT_TRUE(Writable(path));
    TIniFile ini(path);
    try {
        ini.WriteString("HIST", "0", "q");
        FAIL();
    } catch (const EIniFileException& e) {
        EXPECT_EQ(WideFromAnsi(e.Message()), WideFromAnsi(path) + L" に書き込めません");
    }
}

}  // namespace
