#pragma once
// What the test COM library serves and exports beyond the four COM exports; shared by the library
// and the tests that load it.
#include <windows.h>

// A class that answers IPersist with its class identifier (apartment threading).
// {86EE4F90-B5BA-4DD4-86DF-AEAF403FA61D}
constexpr CLSID CLSID_KervoTestObject = {
    0x86EE4F90, 0xB5BA, 0x4DD4, {0x86, 0xDF, 0xAE, 0xAF, 0x40, 0x3F, 0xA6, 0x1D}};
constexpr wchar_t KervoTestObjectText[] = L"{86EE4F90-B5BA-4DD4-86DF-AEAF403FA61D}";
constexpr wchar_t KervoTestObjectName[] = L"TestObject";
constexpr wchar_t KervoTestObjectDescription[] = L"試験オブジェクト 日本語版";

// A class whose construction step refuses (threading model "Both").
// {2708ECB5-A139-4364-BC9F-C001E774FC22}
constexpr CLSID CLSID_KervoRefusingObject = {
    0x2708ECB5, 0xA139, 0x4364, {0xBC, 0x9F, 0xC0, 0x01, 0xE7, 0x74, 0xFC, 0x22}};
constexpr wchar_t KervoRefusingObjectText[] = L"{2708ECB5-A139-4364-BC9F-C001E774FC22}";
constexpr wchar_t KervoRefusingObjectName[] = L"Refusing";

// The answer of the refusing class's CreateInstance.
constexpr HRESULT RefusingObjectError = E_ACCESSDENIED;

// Receives the library's record of object life: "constructed", "destruction-starting <state>
// objects=<n>", "destroyed".
using TestObserver = void(WINAPI*)(const char* event);
using TestSetObserverProc = void(WINAPI*)(TestObserver observer);
using TestObjectCountProc = LONG(WINAPI*)();
using TestHoldLibraryProc = void(WINAPI*)(BOOL hold);
