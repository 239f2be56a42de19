// GUID text: the braced upper-case form that names registry keys, and reading it back.
#include <windows.h>
#include <gtest/gtest.h>

#include "GuidText.h"
#include "SysUtils.h"

TEST(GuidText, RoundTripsTheBracedFormAndRefusesAnythingElse)
{
    const GUID band = {0x820DFB52, 0xB00B, 0x4DF0, {0x83, 0x64, 0x6C, 0x74, 0x6E, 0x1F, 0x79, 0x77}};
    EXPECT_EQ(GUIDToString(band), "{820DFB52-B00B-4DF0-8364-6C746E1F7977}");
    EXPECT_TRUE(IsEqualGUID(StringToGUID("{820dfb52-b00b-4df0-8364-6c746e1f7977}"), band));
    // Leading zeros and the extremes of each field.
    const GUID edges = {0x00000001, 0x0000, 0xFFFF, {0x00, 0xFF, 0x01, 0x10, 0xA0, 0x0A, 0x00, 0x00}};
    EXPECT_EQ(GUIDToString(edges), "{00000001-0000-FFFF-00FF-0110A00A0000}");
    EXPECT_TRUE(IsEqualGUID(StringToGUID(GUIDToString(edges)), edges));

    for (const char* bad : {"", "820DFB52-B00B-4DF0-8364-6C746E1F7977", "{820DFB52-B00B-4DF0-8364-6C746E1F7977",
                            " {820DFB52-B00B-4DF0-8364-6C746E1F7977}", "{820DFB52-B00B-4DF0-8364-6C746E1F797G}",
                            "{820DFB52_B00B-4DF0-8364-6C746E1F7977}", "{820DFB52-B00B-4DF0-83646-C746E1F7977}",
                            "{+20DFB52-B00B-4DF0-8364-6C746E1F7977}"})
        EXPECT_THROW(StringToGUID(bad), EConvertError) << bad;
}
