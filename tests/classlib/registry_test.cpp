// TRegistry against Wine's real registry, in a scratch key of its own under
// HKEY_CURRENT_USER\Software that the fixture removes again.
#include <windows.h>
#include <gtest/gtest.h>

#include "Registry.h"
#include "SysUtils.h"

namespace {

bool RawKeyExists(HKEY root, const std::string& path)
{
    HKEY k = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
    RegCloseKey(k);
    return true;
}

void RawCreate(HKEY root, const std::string& path, const char* name = nullptr,
               const std::string& value = std::string())
{
    HKEY k = nullptr;
    ASSERT_EQ(RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k,
                              nullptr),
              ERROR_SUCCESS);
    if (name)
        RegSetValueExA(k, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>(value.size() + 1));
    RegCloseKey(k);
}

class RegistryTest : public testing::Test {
protected:
    void SetUp() override
    {
        scratch = "Software\\kervo-test-" + std::to_string(GetCurrentProcessId());
        RawCreate(HKEY_CURRENT_USER, scratch);
    }
    void TearDown() override
    {
        TRegistry r;
        r.DeleteKey(scratch);
        EXPECT_FALSE(RawKeyExists(HKEY_CURRENT_USER, scratch));
    }
    std::string scratch;
};

TEST_F(RegistryTest, StartsOnTheCurrentUserWithNoKeyOpen)
{
    TRegistry r;
    EXPECT_EQ(r.RootKey(), HKEY_CURRENT_USER);
    EXPECT_EQ(r.CurrentKey(), nullptr);
    EXPECT_EQ(r.Access(), static_cast<REGSAM>(KEY_ALL_ACCESS));
    TRegistry ro(KEY_READ);
    EXPECT_EQ(ro.Access(), static_cast<REGSAM>(KEY_READ));
}

TEST_F(RegistryTest, OpensWithoutCreatingOnlyWhatExistsAndCreatesOnRequest)
{
    TRegistry r;
    EXPECT_FALSE(r.OpenKey(scratch + "\\missing", false));
    EXPECT_EQ(r.CurrentKey(), nullptr);
    EXPECT_FALSE(RawKeyExists(HKEY_CURRENT_USER, scratch + "\\missing"));

    EXPECT_TRUE(r.OpenKey(scratch + "\\made\\deep", true));
    EXPECT_NE(r.CurrentKey(), nullptr);
    EXPECT_TRUE(RawKeyExists(HKEY_CURRENT_USER, scratch + "\\made\\deep"));

    // A failed open keeps the key that was open.
    HKEY before = r.CurrentKey();
    EXPECT_FALSE(r.OpenKeyReadOnly("nothing-here"));
    EXPECT_EQ(r.CurrentKey(), before);

    r.CloseKey();
    EXPECT_EQ(r.CurrentKey(), nullptr);
    EXPECT_TRUE(r.OpenKeyReadOnly(scratch + "\\made"));
    EXPECT_FALSE(r.OpenKeyReadOnly(scratch + "\\never"));
    EXPECT_FALSE(RawKeyExists(HKEY_CURRENT_USER, scratch + "\\never"));
}

TEST_F(RegistryTest, PathsAreRelativeToTheOpenKeyUnlessTheyStartAtTheRoot)
{
    TRegistry r;
    ASSERT_TRUE(r.OpenKey(scratch, false));
    ASSERT_TRUE(r.OpenKey("a", true));  // below the scratch key
    EXPECT_TRUE(RawKeyExists(HKEY_CURRENT_USER, scratch + "\\a"));
    ASSERT_TRUE(r.OpenKey("b", true));  // below a
    EXPECT_TRUE(RawKeyExists(HKEY_CURRENT_USER, scratch + "\\a\\b"));
    ASSERT_TRUE(r.OpenKey("\\" + scratch + "\\c", true));  // from the root again
    EXPECT_TRUE(RawKeyExists(HKEY_CURRENT_USER, scratch + "\\c"));
    EXPECT_FALSE(RawKeyExists(HKEY_CURRENT_USER, scratch + "\\a\\b\\" + scratch));

    EXPECT_TRUE(r.KeyExists("\\" + scratch + "\\a\\b"));
    EXPECT_FALSE(r.KeyExists("a"));  // relative to ...\c
    ASSERT_TRUE(r.OpenKey("\\" + scratch, false));
    EXPECT_TRUE(r.KeyExists("a\\b"));
    r.CloseKey();
    EXPECT_TRUE(r.KeyExists(scratch + "\\a"));  // no key open: from the root
}

TEST_F(RegistryTest, ChangingTheRootClosesTheCurrentKey)
{
    TRegistry r;
    ASSERT_TRUE(r.OpenKey(scratch, false));
    r.SetRootKey(HKEY_CLASSES_ROOT);
    EXPECT_EQ(r.CurrentKey(), nullptr);
    EXPECT_EQ(r.RootKey(), HKEY_CLASSES_ROOT);
    EXPECT_FALSE(r.KeyExists(scratch));
    r.SetRootKey(HKEY_CURRENT_USER);
    EXPECT_TRUE(r.KeyExists(scratch));
}

TEST_F(RegistryTest, ReadsAndWritesStringsAndTheDefaultValue)
{
    TRegistry r;
    ASSERT_TRUE(r.OpenKey(scratch, false));
    EXPECT_FALSE(r.ValueExists(""));
    EXPECT_EQ(r.ReadString(""), "");
    EXPECT_EQ(r.ReadString("absent"), "");

    const std::string path = AnsiFromWide(L"C:\\テスト\\kervodll.dll");
    r.WriteString("", path);
    EXPECT_TRUE(r.ValueExists(""));
    EXPECT_EQ(r.ReadString(""), path);
    r.WriteString("empty", "");
    EXPECT_TRUE(r.ValueExists("empty"));
    EXPECT_EQ(r.ReadString("empty"), "");

    // Another program wrote the default value: seen through a fresh object.
    RawCreate(HKEY_CURRENT_USER, scratch + "\\srv", "", "x.dll");
    TRegistry other(KEY_READ);
    ASSERT_TRUE(other.OpenKeyReadOnly(scratch + "\\srv"));
    EXPECT_EQ(other.ReadString(""), "x.dll");
}

TEST_F(RegistryTest, ValuesThatAreNoTextReadAsEmpty)
{
    TRegistry r;
    ASSERT_TRUE(r.OpenKey(scratch, false));
    DWORD n = 7;
    RegSetValueExA(r.CurrentKey(), "num", 0, REG_DWORD, reinterpret_cast<BYTE*>(&n), sizeof n);
    // Stored without a terminating zero by some other writer.
    RegSetValueExA(r.CurrentKey(), "raw", 0, REG_SZ, reinterpret_cast<const BYTE*>("abc"), 3);
    EXPECT_TRUE(r.ValueExists("num"));
    EXPECT_EQ(r.ReadString("num"), "");
    EXPECT_EQ(r.ReadString("raw"), "abc");
}

TEST_F(RegistryTest, RefusedWritesRaise)
{
    TRegistry r;
    try {
        r.WriteString("x", "y");  // no key open
        FAIL();
    } catch (const ERegistryException& e) {
        EXPECT_EQ(WideFromAnsi(e.Message()), L"システム レジストリ に書き込めません");
    }
    ASSERT_TRUE(r.OpenKeyReadOnly(scratch));
    EXPECT_THROW(r.WriteString("x", "y"), ERegistryException);
    EXPECT_FALSE(r.ValueExists("x"));
}

TEST_F(RegistryTest, DeletesAKeyWithItsWholeSubTree)
{
    RawCreate(HKEY_CURRENT_USER, scratch + "\\gone\\a\\b\\c", "v", "1");
    RawCreate(HKEY_CURRENT_USER, scratch + "\\gone\\a\\b2", "", "2");
    RawCreate(HKEY_CURRENT_USER, scratch + "\\gone\\z", "w", "3");
    RawCreate(HKEY_CURRENT_USER, scratch + "\\gone", "top", "4");
    RawCreate(HKEY_CURRENT_USER, scratch + "\\kept\\a");

    TRegistry r;
    ASSERT_TRUE(r.OpenKey(scratch, false));
    EXPECT_TRUE(r.DeleteKey("gone"));  // relative to the open key
    EXPECT_FALSE(RawKeyExists(HKEY_CURRENT_USER, scratch + "\\gone"));
    EXPECT_TRUE(RawKeyExists(HKEY_CURRENT_USER, scratch + "\\kept\\a"));
    EXPECT_NE(r.CurrentKey(), nullptr);

    EXPECT_TRUE(r.DeleteKey("\\" + scratch + "\\kept"));
    EXPECT_FALSE(RawKeyExists(HKEY_CURRENT_USER, scratch + "\\kept"));
    EXPECT_TRUE(RawKeyExists(HKEY_CURRENT_USER, scratch));
}

TEST_F(RegistryTest, DeletingAMissingKeyIsNoError)
{
    TRegistry r;
    EXPECT_FALSE(r.DeleteKey(scratch + "\\not\\there"));
    EXPECT_NO_THROW(r.DeleteKey("\\" + scratch + "\\nor-here"));
    EXPECT_FALSE(r.DeleteKey(""));
    EXPECT_TRUE(RawKeyExists(HKEY_CURRENT_USER, scratch));
}

}  // namespace
