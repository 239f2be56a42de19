// The band class factories through a real band library (testbandserver.dll, beside the test
// program): its registration exports called, the class keys and the categories read back from
// Wine's registry, which its component categories manager writes.
#include <windows.h>
#include <objbase.h>
#include <sddl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "SysUtils.h"
#include "TestBandServer.h"
#include "TestEnv.h"
#include "zBandObject.h"

namespace {

template <class F>
F Export(HMODULE m, const char* name)
{
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(m, name)));
}

struct BandLibrary {
    using PlainProc = HRESULT(STDAPICALLTYPE*)();
    HMODULE module;
    PlainProc registerServer = nullptr, unregisterServer = nullptr;
    TestSetCategoryProc setCategory = nullptr;

    BandLibrary() : module(LoadLibraryW(Path().c_str()))
    {
        if (!module) return;
        registerServer = Export<PlainProc>(module, "DllRegisterServer");
        unregisterServer = Export<PlainProc>(module, "DllUnregisterServer");
        setCategory = Export<TestSetCategoryProc>(module, "TestSetCategory");
    }
    ~BandLibrary()
    {
        if (module) FreeLibrary(module);
    }
    bool Complete() const { return registerServer && unregisterServer && setCategory; }

    static std::wstring Path() { return WideFromAnsi(testenv::ProgramDir()) + L"testbandserver.dll"; }
};

bool KeyExists(const std::wstring& key)
{
    HKEY h;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
    RegCloseKey(h);
    return true;
}

std::wstring Value(const std::wstring& key, const wchar_t* name = nullptr)
{
    wchar_t buf[1024] = {};
    DWORD size = sizeof buf - sizeof(wchar_t);
    HKEY h;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return L"<absent>";
    LONG rc = RegQueryValueExW(h, name, nullptr, nullptr, reinterpret_cast<BYTE*>(buf), &size);
    RegCloseKey(h);
    return rc == ERROR_SUCCESS ? buf : L"<absent>";
}

std::vector<std::wstring> SubKeys(const std::wstring& key)
{
    std::vector<std::wstring> subs;
    HKEY h;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return subs;
    wchar_t name[256];
    for (DWORD i = 0, n = 256; RegEnumKeyExW(h, i, name, &n, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
         ++i, n = 256)
        subs.push_back(name);
    RegCloseKey(h);
    return subs;
}

void DeleteTree(const std::wstring& key)
{
    for (const auto& s : SubKeys(key)) DeleteTree(key + L"\\" + s);
    RegDeleteKeyW(HKEY_CLASSES_ROOT, key.c_str());
}

void CreateKey(const std::wstring& key)
{
    HKEY h;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &h, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(h);
}

const std::wstring DeskBand = WideFromAnsi(DeskBandCategoryText);
const std::wstring TestCategory = WideFromAnsi(KervoTestCategoryText);
const std::wstring BandKey = std::wstring(L"CLSID\\") + KervoTestBandText;
const std::wstring CatClassKey = std::wstring(L"CLSID\\") + KervoTestCatClassText;
const std::wstring BandProgID = L"testbandserver.TestBand";
const std::wstring CatProgID = L"testbandserver.TestCatClass";
const std::wstring BandCategoryKey = BandKey + L"\\Implemented Categories\\" + DeskBand;
const std::wstring CatCategoryKey = CatClassKey + L"\\Implemented Categories\\" + TestCategory;

class BandRegistrationTest : public ::testing::Test {
protected:
    void SetUp() override { TearDown(); }
    void TearDown() override
    {
        for (const auto& k : {BandKey, CatClassKey, BandProgID, CatProgID}) DeleteTree(k);
    }
};

}  // namespace

TEST_F(BandRegistrationTest, RegisteringWritesTheClassKeysAndTheCategoryOfEachFactory)
{
    BandLibrary lib;
    ASSERT_TRUE(lib.Complete());
    for (int round = 0; round < 2; ++round) {  // registering again changes nothing
        SCOPED_TRACE(round);
        ASSERT_EQ(lib.registerServer(), S_OK);
        EXPECT_EQ(Value(BandKey), KervoTestBandDescription);
        EXPECT_EQ(Value(BandKey + L"\\InprocServer32"), BandLibrary::Path());
        EXPECT_EQ(Value(BandKey + L"\\InprocServer32", L"ThreadingModel"), L"Apartment");
        EXPECT_EQ(Value(BandKey + L"\\ProgID"), BandProgID);
        EXPECT_EQ(Value(BandProgID + L"\\Clsid"), KervoTestBandText);
        EXPECT_EQ(SubKeys(BandKey + L"\\Implemented Categories"), std::vector<std::wstring>{DeskBand});
        EXPECT_EQ(SubKeys(CatClassKey + L"\\Implemented Categories"), std::vector<std::wstring>{TestCategory});
        // The step writes no value of its own under the category.
        EXPECT_EQ(Value(BandCategoryKey), L"<absent>");
    }
}

TEST_F(BandRegistrationTest, UnregisteringRemovesTheCategoryAndTheClassKeys)
{
    BandLibrary lib;
    ASSERT_TRUE(lib.Complete());
    ASSERT_EQ(lib.registerServer(), S_OK);
    ASSERT_TRUE(KeyExists(BandCategoryKey));

    EXPECT_EQ(lib.unregisterServer(), S_OK);
    for (const auto& k : {BandKey, CatClassKey, BandProgID, CatProgID}) EXPECT_FALSE(KeyExists(k)) << k;

    // Never registered (or already gone): the category calls fail quietly and the class keys'
    // removal still runs; nothing is left behind.
    CreateKey(BandProgID + L"\\Clsid");
    EXPECT_EQ(lib.unregisterServer(), S_OK);
    for (const auto& k : {BandKey, CatClassKey, BandProgID, CatProgID}) EXPECT_FALSE(KeyExists(k)) << k;
}

TEST_F(BandRegistrationTest, AnotherCategoryOfTheClassSurvivesUnregistration)
{
    BandLibrary lib;
    ASSERT_TRUE(lib.Complete());
    ASSERT_EQ(lib.registerServer(), S_OK);
    const std::wstring other = L"{0F9A7C3E-1B2D-4E5F-8A9B-C0D1E2F30415}";
    CreateKey(BandKey + L"\\Implemented Categories\\" + other);

    EXPECT_EQ(lib.unregisterServer(), S_OK);
    EXPECT_EQ(SubKeys(BandKey + L"\\Implemented Categories"), std::vector<std::wstring>{other});
    EXPECT_TRUE(KeyExists(BandKey));  // a class key with sub-keys stays
    EXPECT_FALSE(KeyExists(BandKey + L"\\InprocServer32"));
    EXPECT_FALSE(KeyExists(BandProgID));
}

TEST_F(BandRegistrationTest, AnUnreadableCategoryFailsTheExportsAfterTheClassKeys)
{
    BandLibrary lib;
    ASSERT_TRUE(lib.Complete());
    lib.setCategory("{3F4E9A20-71C8-4D5B-A6E2-5B0D8C19F7A4");  // no closing brace
    EXPECT_EQ(lib.registerServer(), E_FAIL);
    // The band, registered first, is whole; the failing class has its keys without category.
    EXPECT_TRUE(KeyExists(BandCategoryKey));
    EXPECT_EQ(Value(CatClassKey + L"\\InprocServer32"), BandLibrary::Path());
    EXPECT_FALSE(KeyExists(CatClassKey + L"\\Implemented Categories"));

    // Unregistering fails for that class before its class keys go; the band is removed.
    EXPECT_EQ(lib.unregisterServer(), E_FAIL);
    EXPECT_FALSE(KeyExists(BandKey));
    EXPECT_EQ(Value(CatClassKey + L"\\InprocServer32"), BandLibrary::Path());

    lib.setCategory(nullptr);
    EXPECT_EQ(lib.unregisterServer(), S_OK);
    EXPECT_FALSE(KeyExists(CatClassKey));
}

TEST_F(BandRegistrationTest, ARefusedCategoryWriteFailsRegistration)
{
    BandLibrary lib;
    ASSERT_TRUE(lib.Complete());
    ASSERT_EQ(lib.registerServer(), S_OK);
    DeleteTree(CatClassKey + L"\\Implemented Categories");

    // The class key refuses new sub-keys: the class keys' values are still written, the category
    // cannot be.
    PSECURITY_DESCRIPTOR sd = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:(D;;0x0004;;;WD)(A;;KA;;;WD)",
                                                                     SDDL_REVISION_1, &sd, nullptr));
    HKEY h;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, CatClassKey.c_str(), 0, WRITE_DAC, &h), ERROR_SUCCESS);
    EXPECT_EQ(RegSetKeySecurity(h, DACL_SECURITY_INFORMATION, sd), ERROR_SUCCESS);
    RegCloseKey(h);
    LocalFree(sd);

    EXPECT_EQ(lib.registerServer(), E_FAIL);
    EXPECT_FALSE(KeyExists(CatClassKey + L"\\Implemented Categories"));
    // The failed step still ended the COM it started on this thread.
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    CoUninitialize();

    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:(A;;KA;;;WD)", SDDL_REVISION_1, &sd,
                                                                     nullptr));
    ASSERT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, CatClassKey.c_str(), 0, WRITE_DAC, &h), ERROR_SUCCESS);
    EXPECT_EQ(RegSetKeySecurity(h, DACL_SECURITY_INFORMATION, sd), ERROR_SUCCESS);
    RegCloseKey(h);
    LocalFree(sd);
}

TEST_F(BandRegistrationTest, TheCallersComApartmentIsLeftAsItWas)
{
    BandLibrary lib;
    ASSERT_TRUE(lib.Complete());

    // A thread without COM has none afterwards: it can still choose the free-threaded model.
    ASSERT_EQ(lib.registerServer(), S_OK);
    ASSERT_EQ(lib.unregisterServer(), S_OK);
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);

    // A free-threaded thread refuses the step's own initialisation; the step then must not end
    // the caller's COM, which would still answer S_FALSE (already initialised) below.
    EXPECT_EQ(lib.registerServer(), S_OK);
    EXPECT_TRUE(KeyExists(BandCategoryKey));
    EXPECT_EQ(lib.unregisterServer(), S_OK);
    EXPECT_FALSE(KeyExists(BandKey));
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_FALSE);
    CoUninitialize();
    CoUninitialize();
}
