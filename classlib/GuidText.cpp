#include "GuidText.h"

#include <cstdio>

#include "SysUtils.h"

std::string GUIDToString(const GUID& g)
{
    char text[40];
    std::snprintf(text, sizeof text, "{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  static_cast<unsigned long>(g.Data1), g.Data2, g.Data3, g.Data4[0], g.Data4[1],
                  g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
    return text;
}

namespace {

int HexValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Reads digits hexadecimal digits at text[pos]; false on anything that is not one.
bool ReadHex(const std::string& text, size_t pos, int digits, unsigned long& value)
{
    value = 0;
    for (int i = 0; i < digits; ++i) {
        int v = HexValue(text[pos + static_cast<size_t>(i)]);
        if (v < 0) return false;
        value = value * 16 + static_cast<unsigned long>(v);
    }
    return true;
}

}  // namespace

GUID StringToGUID(const std::string& text)
{
    // {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}
    //  1        10   15   20   25
    GUID g{};
    bool ok = text.size() == 38 && text[0] == '{' && text[37] == '}' && text[9] == '-' &&
              text[14] == '-' && text[19] == '-' && text[24] == '-';
    unsigned long v = 0;
    if (ok && (ok = ReadHex(text, 1, 8, v))) g.Data1 = static_cast<DWORD>(v);
    if (ok && (ok = ReadHex(text, 10, 4, v))) g.Data2 = static_cast<WORD>(v);
    if (ok && (ok = ReadHex(text, 15, 4, v))) g.Data3 = static_cast<WORD>(v);
    static const size_t bytePos[8] = {20, 22, 25, 27, 29, 31, 33, 35};
    for (int i = 0; ok && i < 8; ++i) {
        if ((ok = ReadHex(text, bytePos[i], 2, v))) g.Data4[i] = static_cast<BYTE>(v);
    }
    if (!ok) {
        throw EConvertError(
            FormatText(L"'%s' は GUID の文字列ではありません", {WideFromAnsi(text)}));
    }
    return g;
}
