#pragma once
// What the test band library serves and exports beyond the four COM exports; shared by the library
// and the tests that load it.
#include <windows.h>

// A desk band class (apartment threading).
// {5E0A3C71-2D94-4B8E-9F61-0C7B2A84D3E5}
constexpr CLSID CLSID_KervoTestBand = {
    0x5E0A3C71, 0x2D94, 0x4B8E, {0x9F, 0x61, 0x0C, 0x7B, 0x2A, 0x84, 0xD3, 0xE5}};
constexpr wchar_t KervoTestBandText[] = L"{5E0A3C71-2D94-4B8E-9F61-0C7B2A84D3E5}";
constexpr wchar_t KervoTestBandName[] = L"TestBand";
constexpr wchar_t KervoTestBandDescription[] = L"試験バンド 日本語版";

// A class of a category that the tests choose (TestSetCategory), registered after the band.
// {B7C1E04D-6A2F-4F35-8D1C-93E5A0F2B648}
constexpr CLSID CLSID_KervoTestCatClass = {
    0xB7C1E04D, 0x6A2F, 0x4F35, {0x8D, 0x1C, 0x93, 0xE5, 0xA0, 0xF2, 0xB6, 0x48}};
constexpr wchar_t KervoTestCatClassText[] = L"{B7C1E04D-6A2F-4F35-8D1C-93E5A0F2B648}";
constexpr wchar_t KervoTestCatClassName[] = L"TestCatClass";

// The category of that class until a test sets another.
constexpr char KervoTestCategoryText[] = "{3F4E9A20-71C8-4D5B-A6E2-5B0D8C19F7A4}";

// Sets the category text of the second class (parsed at each registration; anything that is not
// a braced GUID makes its registration raise). Null restores the default.
using TestSetCategoryProc = void(WINAPI*)(const char* text);
