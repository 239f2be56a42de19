#include "WideResStrings.h"

#include <cstdint>
#include <cstring>

#include "WideCodePages.h"

int LoadStringWide(HINSTANCE instance, UINT id, wchar_t* buffer, int bufferSize)
{
    // LoadStringW treats a size of 0 as a request for a pointer into the resource and would
    // write that pointer through the buffer; asking for the length must not.
    if (UnicodePlatform && buffer && bufferSize > 0)
        return LoadStringW(instance, id, buffer, bufferSize);
    return LoadStringFromTable(instance, id, buffer, bufferSize);
}

int LoadStringFromTable(HINSTANCE instance, UINT id, wchar_t* buffer, int bufferSize)
{
    if ((id & 0xFFFF0000u) == 0xFFFF0000u) id = 0u - id;
    const uint32_t block = ((id >> 4) & 0xFFFF) + 1;
    // Block 0x10000 cannot be named by an integer identifier; as a name it would be taken for a
    // pointer to text.
    if (block > 0xFFFF) return 0;
    HRSRC info = FindResourceA(instance, MAKEINTRESOURCEA(block), MAKEINTRESOURCEA(6));
    if (!info) return 0;
    HGLOBAL handle = LoadResource(instance, info);
    if (!handle) return 0;
    const auto* p = static_cast<const uint16_t*>(LockResource(handle));
    if (!p) return 0;
    // A damaged block must not lead the walk outside the resource.
    const uint16_t* end = p + SizeofResource(instance, info) / 2;
    for (UINT i = 0; i < (id & 15); ++i) {
        if (p >= end) return 0;
        p += 1 + *p;
    }
    if (p >= end) return 0;
    int n = *p++;
    if (p + n > end) return 0;
    if (!buffer || bufferSize <= 0) return n;
    const int m = n < bufferSize - 1 ? n : bufferSize - 1;
    if (m > 0) std::memcpy(buffer, p, static_cast<size_t>(m) * 2);
    buffer[m] = L'\0';
    return m;
}

bool IsResourceNumber(const void* name) { return (reinterpret_cast<uintptr_t>(name) >> 16) == 0; }

std::wstring LoadWideResString(const TResourceStringRecord* record)
{
    if (!record) return std::wstring();
    if (record->Identifier < 0x10000) {
        HINSTANCE instance = ResourceInstanceOf(record->Module ? *record->Module : nullptr);
        wchar_t buffer[4097];
        const int n = LoadStringWide(instance, static_cast<UINT>(record->Identifier), buffer, 4097);
        return std::wstring(buffer, static_cast<size_t>(n > 0 ? n : 0));
    }
    const std::string text(reinterpret_cast<const char*>(record->Identifier));
    if (text.size() > 3 && text.compare(0, 3, "\xEF\xBB\xBF") == 0)
        return DecodeUtf8(text.substr(3));
    return WideFromAnsi(text);
}
