#include "IniFiles.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cwchar>

#include "SysUtils.h"

namespace {

constexpr DWORD kReadBufferChars = 2048;
constexpr DWORD kSectionNamesChars = 32768;

// Section names match without regard to case. Only names of ASCII characters are compared
// here: elsewhere the system's case rules could make two names equal that differ in bytes.
bool UpperAscii(const std::string& name, std::string& out)
{
    out.clear();
    for (char c : name) {
        const auto b = static_cast<unsigned char>(c);
        if (b >= 0x80) return false;
        out += static_cast<char>(b >= 'a' && b <= 'z' ? b - 'a' + 'A' : b);
    }
    return true;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// The longest value a read gives back: the read buffer less its terminator.
constexpr size_t kLongestValue = kReadBufferChars - 1;

// Bytes that reading would take off an end of the value, or a quote that it would take for one of
// an enclosing pair. Control bytes count too: which of them the system trims is its own affair.
bool ChangedByReadingAtEnd(char c)
{
    const auto b = static_cast<unsigned char>(c);
    return (b >= 0x01 && b <= 0x20) || c == '"' || c == '\'';
}

// Where the value's characters start, by the system code page's lead bytes (a lead byte at the
// very end stands alone).
std::vector<size_t> CharacterStarts(const std::string& value)
{
    std::vector<size_t> starts;
    for (size_t i = 0; i < value.size();) {
        starts.push_back(i);
        i += IsDBCSLeadByte(static_cast<BYTE>(value[i])) && i + 1 < value.size() ? 2 : 1;
    }
    return starts;
}

// The longest head of at most limit bytes that ends between two characters.
std::string CutAtCharacter(const std::string& value, const std::vector<size_t>& starts, size_t limit)
{
    if (value.size() <= limit) return value;
    const auto end = std::upper_bound(starts.begin(), starts.end(), limit);
    return value.substr(0, *(end - 1));
}

// The ideographic space of code page 932, which the system of some versions trims like a blank
// (in other code pages the pair is some other character, and quoting it does no harm).
bool IsWideSpaceAt(const std::string& value, size_t i)
{
    return i + 1 < value.size() && value[i] == '\x81' && value[i + 1] == '\x40';
}

// What is written for a value so that a read gives it back: one line, no longer than a read
// returns, and inside one pair of double quotes (which reading takes off) when reading would
// change its ends otherwise. Ordinary values are written as they are, and files written before
// read as before.
std::string StoredValue(const std::string& value)
{
    std::string line;
    for (char c : value)
        if (c != '\r' && c != '\n') line += c;
    const std::vector<size_t> starts = CharacterStarts(line);
    std::string stored = CutAtCharacter(line, starts, kLongestValue);
    if (stored.empty()) return stored;
    const size_t last = *(std::lower_bound(starts.begin(), starts.end(), stored.size()) - 1);
    if (ChangedByReadingAtEnd(stored.front()) || ChangedByReadingAtEnd(stored.back()) ||
        IsWideSpaceAt(stored, 0) || IsWideSpaceAt(stored, last))
        stored = '"' + CutAtCharacter(line, starts, kLongestValue - 2) + '"';
    return stored;
}

bool ParseDecimal(const std::string& s, int& out)
{
    size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    if (i == s.size()) return false;
    int64_t v = 0;
    for (; i < s.size(); ++i) {
        if (s[i] < '0' || s[i] > '9') return false;
        v = v * 10 + (s[i] - '0');
        if (v > int64_t(INT32_MAX) + 1) return false;
    }
    if (negative) v = -v;
    if (v > INT32_MAX || v < INT32_MIN) return false;
    out = static_cast<int>(v);
    return true;
}

// Up to eight hexadecimal digits: a full 32-bit pattern such as 0xFFFFFFFF reads as -1.
bool ParseHex(const std::string& digits, int& out)
{
    if (digits.empty() || digits.size() > 8) return false;
    uint32_t v = 0;
    for (char c : digits) {
        int d;
        if (c >= '0' && c <= '9') d = c - '0';
        else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
        else return false;
        v = v * 16 + static_cast<uint32_t>(d);
    }
    out = static_cast<int>(v);
    return true;
}

}  // namespace

TIniFile::TIniFile(const std::string& fileName) : fileName_(WideFromAnsi(fileName)) {}

void TIniFile::NoteSections()
{
    sectionsNoted_ = false;
    sections_.clear();
    std::vector<wchar_t> buffer(kSectionNamesChars);
    const DWORD n = GetPrivateProfileSectionNamesW(buffer.data(), kSectionNamesChars, fileName_.c_str());
    // A list cut short may leave out the very section asked for.
    if (n >= kSectionNamesChars - 2) return;
    std::string upper;
    for (const wchar_t* p = buffer.data(); p < buffer.data() + n && *p; p += std::wcslen(p) + 1) {
        if (!UpperAscii(AnsiFromWide(p), upper)) {
            sections_.clear();
            return;
        }
        sections_.push_back(upper);
    }
    sectionsNoted_ = true;
}

bool TIniFile::NotedAbsent(const std::string& section) const
{
    // The system trims blanks around the name asked for; such names are left to it.
    if (!sectionsNoted_ || section.empty() || IsBlank(section.front()) || IsBlank(section.back())) return false;
    std::string upper;
    if (!UpperAscii(section, upper)) return false;
    for (const std::string& s : sections_)
        if (s == upper) return false;
    return true;
}

std::string TIniFile::ReadString(const std::string& section, const std::string& key,
                                 const std::string& def) const
{
    // Only the empty default: the system trims and cuts a default it hands back.
    if (def.empty() && NotedAbsent(section)) return std::string();
    wchar_t buffer[kReadBufferChars] = {};
    const DWORD n = GetPrivateProfileStringW(WideFromAnsi(section).c_str(), WideFromAnsi(key).c_str(),
                                             WideFromAnsi(def).c_str(), buffer, kReadBufferChars,
                                             fileName_.c_str());
    // As the ANSI read gives it: at most the buffer's bytes less the terminator, and a double-byte
    // character that straddles that end left out whole.
    const std::string value = AnsiFromWide(std::wstring(buffer, wcsnlen(buffer, std::min<size_t>(n, kLongestValue))));
    return CutAtCharacter(value, CharacterStarts(value), kLongestValue);
}

int TIniFile::ReadInteger(const std::string& section, const std::string& key, int def) const
{
    const std::string text = ReadString(section, key, "");
    int value = def;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        if (ParseHex(text.substr(2), value)) return value;
        return def;
    }
    if (ParseDecimal(text, value)) return value;
    return def;
}

bool TIniFile::ReadBool(const std::string& section, const std::string& key, bool def) const
{
    return ReadInteger(section, key, def ? 1 : 0) != 0;
}

void TIniFile::WriteString(const std::string& section, const std::string& key,
                           const std::string& value)
{
    if (!WritePrivateProfileStringW(WideFromAnsi(section).c_str(), WideFromAnsi(key).c_str(),
                                    WideFromAnsi(StoredValue(value)).c_str(), fileName_.c_str()))
        RaiseWriteRefused();
}

void TIniFile::RaiseWriteRefused() const
{
    throw EIniFileException(FormatText(L"%s に書き込めません", {fileName_}));
}

void TIniFile::WriteInteger(const std::string& section, const std::string& key, int value)
{
    WriteString(section, key, std::to_string(value));
}

void TIniFile::WriteBool(const std::string& section, const std::string& key, bool value)
{
    WriteString(section, key, value ? "1" : "0");
}
