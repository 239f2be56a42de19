#pragma once
// The band library's registration as the settings program looks it up: the default value of the
// band class's InProcServer32 key in Wine's real HKEY_CLASSES_ROOT. A fixture that starts and
// ends every test unregistered.
#include <gtest/gtest.h>

#include <string>

#include "BandSettings.h"
#include "Registry.h"
#include "TestRegistry.h"

namespace settingstest {

class BandRegistration : public testing::Test {
protected:
    void SetUp() override { Unregister(); }
    void TearDown() override { Unregister(); }

    static void Unregister()
    {
        TRegistry r;
        r.SetRootKey(HKEY_CLASSES_ROOT);
        r.DeleteKey(std::string("CLSID\\") + BandClassIdText);
    }
    static void Register(const std::string& libraryPath)
    {
        TRegistry r;
        r.SetRootKey(HKEY_CLASSES_ROOT);
        ASSERT_TRUE(r.OpenKey(std::string("CLSID\\") + BandClassIdText + "\\InProcServer32", true));
        r.WriteString("", libraryPath);
    }
    // A path the code page cannot spell, as the registration writes it.
    static void Register(const std::wstring& libraryPath)
    {
        ASSERT_TRUE(testenv::SetWideDefaultValue(
            HKEY_CLASSES_ROOT, std::string("CLSID\\") + BandClassIdText + "\\InProcServer32", libraryPath));
    }
};

}  // namespace settingstest
