// The band class factories through a real band library (testbandserver.dll): its registration
// exports called, the class keys and categories read back from Wine's registry, which Wine's
// component categories manager writes.
#include <windows.h>
#include <sddl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "SysUtils.h"
#include "TestBandServer.h"
#include "TestEnv.h"
#include "zBandObject.h"

namespace {

using Plain = HRESULT(STDAPICALLTYPE*)();
const std::wstring LibraryPath = WideFromAnsi(testenv::ProgramDir()) + L"testbandserver.dll";
const std::wstring DeskBand = WideFromAnsi(DeskBandCategoryText);
const std::wstring BandKey = std::wstring(L"CLSID\\") + KervoTestBandText;
const std::wstring CatKey = std::wstring(L"CLSID\\") + KervoTestCatClassText;
const std::wstring BandProgID = L"testbandserver.TestBand";
const std::wstring CatProgID = L"testbandserver.TestCatClass";

std::vector<std::wstring> SubKeys(const std::wstring& key)
{
    std::vector<std::wstring> subs;
    HKEY h;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return {L"<absent>"};
    wchar_t name[256];
    for (DWORD i = 0, n = 256; RegEnumKeyExW(h, i, name, &n, nullptr, nullptr, nullptr, nullptr) == 0; ++i, n = 256)
        subs.push_back(name);
    RegCloseKey(h);
    return subs;
}

bool Exists(const std::wstring& key)
{
    return SubKeys(key) != std::vector<std::wstring>{L"<absent>"};
}

std::wstring Value(const std::wstring& key, const wchar_t* name = nullptr)
{
    wchar_t buf[512] = {};
    DWORD size = sizeof buf - sizeof(wchar_t);
    if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), name, RRF_RT_REG_SZ, nullptr, buf, &size) != 0) return L"<absent>";
    return buf;
}

void DeleteTree(const std::wstring& key)
{
    for (const auto& s : SubKeys(key))
        if (s != L"<absent>") DeleteTree(key + L"\\" + s);
    RegDeleteKeyW(HKEY_CLASSES_ROOT, key.c_str());
}

void CreateKey(const std::wstring& key)
{
    HKEY h;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &h, nullptr), 0);
    RegCloseKey(h);
}

void SetKeyAccess(const std::wstring& key, const wchar_t* sddl)
{
    PSECURITY_DESCRIPTOR sd = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &sd, nullptr));
    HKEY h;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, WRITE_DAC, &h), 0);
    EXPECT_EQ(RegSetKeySecurity(h, DACL_SECURITY_INFORMATION, sd), 0);
    RegCloseKey(h);
    LocalFree(sd);
}

class BandRegistration : public ::testing::Test {
protected:
    void SetUp() override
    {
        TearDown();
        ASSERT_TRUE(lib && registerServer && unregisterServer && setCategory);
    }
    void TearDown() override
    {
        for (const auto& k : {BandKey, CatKey, BandProgID, CatProgID}) DeleteTree(k);
    }
    ~BandRegistration() override { FreeLibrary(lib); }

    template <class F>
    F Export(const char* name) { return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(lib, name))); }

    HMODULE lib = LoadLibraryW(LibraryPath.c_str());
    Plain registerServer = Export<Plain>("DllRegisterServer");
    Plain unregisterServer = Export<Plain>("DllUnregisterServer");
    TestSetCategoryProc setCategory = Export<TestSetCategoryProc>("TestSetCategory");
};

}  // namespace

TEST_F(BandRegistration, ClassKeysAndCategoryComeAndGo)
{
    for (int round = 0; round < 2; ++round) {  // registering again changes nothing
        ASSERT_EQ(registerServer(), S_OK);
        EXPECT_EQ(Value(BandKey), KervoTestBandDescription);
        EXPECT_EQ(Value(BandKey + L"\\InprocServer32"), LibraryPath);
        EXPECT_EQ(Value(BandKey + L"\\InprocServer32", L"ThreadingModel"), L"Apartment");
        EXPECT_EQ(Value(BandProgID + L"\\Clsid"), KervoTestBandText);
        EXPECT_EQ(SubKeys(BandKey + L"\\Implemented Categories"), std::vector<std::wstring>{DeskBand});
        EXPECT_EQ(SubKeys(CatKey + L"\\Implemented Categories"),
                  std::vector<std::wstring>{WideFromAnsi(KervoTestCategoryText)});
    }
    EXPECT_EQ(unregisterServer(), S_OK);
    for (const auto& k : {BandKey, CatKey, BandProgID, CatProgID}) EXPECT_FALSE(Exists(k)) << k;

    // Never registered: the category calls fail quietly and the class keys still go.
    CreateKey(BandProgID + L"\\Clsid");
    EXPECT_EQ(unregisterServer(), S_OK);
    for (const auto& k : {BandKey, CatKey, BandProgID, CatProgID}) EXPECT_FALSE(Exists(k)) << k;
}

TEST_F(BandRegistration, AnotherCategoryOfTheClassKeepsItsKeys)
{
    ASSERT_EQ(registerServer(), S_OK);
    const std::wstring other = L"{0F9A7C3E-1B2D-4E5F-8A9B-C0D1E2F30415}";
    CreateKey(BandKey + L"\\Implemented Categories\\" + other);
    EXPECT_EQ(unregisterServer(), S_OK);
    EXPECT_EQ(SubKeys(BandKey + L"\\Implemented Categories"), std::vector<std::wstring>{other});
    EXPECT_FALSE(Exists(BandKey + L"\\InprocServer32"));
    EXPECT_FALSE(Exists(BandProgID));
}

TEST_F(BandRegistration, AnUnreadableCategoryFailsAfterTheClassKeysAndBeforeTheirRemoval)
{
    setCategory("{3F4E9A20-71C8-4D5B-A6E2-5B0D8C19F7A4");  // no closing brace
    EXPECT_EQ(registerServer(), E_FAIL);
    EXPECT_TRUE(Exists(BandKey + L"\\Implemented Categories\\" + DeskBand));  // registered first, whole
    EXPECT_EQ(Value(CatKey + L"\\InprocServer32"), LibraryPath);
    EXPECT_FALSE(Exists(CatKey + L"\\Implemented Categories"));

    EXPECT_EQ(unregisterServer(), E_FAIL);
    EXPECT_FALSE(Exists(BandKey));
    EXPECT_EQ(Value(CatKey + L"\\InprocServer32"), LibraryPath);
}

TEST_F(BandRegistration, ARefusedCategoryFailsRegistrationAndComIsLeftAsItWas)
{
    ASSERT_EQ(registerServer(), S_OK);
    DeleteTree(CatKey + L"\\Implemented Categories");
    // The class key still takes values but no new sub-key: only the category is refused.
    SetKeyAccess(CatKey, L"D:(D;;0x0004;;;WD)(A;;KA;;;WD)");
    EXPECT_EQ(registerServer(), E_FAIL);
    EXPECT_FALSE(Exists(CatKey + L"\\Implemented Categories"));
    SetKeyAccess(CatKey, L"D:(A;;KA;;;WD)");
    // The failed step ended the COM it had started on this thread...
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    // ...and leaves a caller's own, of another model, alone.
    EXPECT_EQ(registerServer(), S_OK);
    EXPECT_EQ(unregisterServer(), S_OK);
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_FALSE);
    CoUninitialize();
    CoUninitialize();
}
