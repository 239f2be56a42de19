#include "WideCodePages.h"

#include <cstdlib>
#include <cstring>
#include <new>

bool UnicodePlatform = false;
bool XPOrLaterPlatform = false;
const UINT ConversionCodePage = CP_ACP;

namespace {

// The flags are read by start-up code of other units (hooks, factories), so they are set ahead
// of every ordinary static initialiser.
struct PlatformProbe {
    PlatformProbe()
    {
        OSVERSIONINFOA info{};
        info.dwOSVersionInfoSize = sizeof info;
        if (!GetVersionExA(&info)) return;
        UnicodePlatform = info.dwPlatformId == VER_PLATFORM_WIN32_NT;
        XPOrLaterPlatform = info.dwMajorVersion > 5 ||
                            (info.dwMajorVersion == 5 && info.dwMinorVersion >= 1);
    }
};
__attribute__((init_priority(110))) PlatformProbe platformProbe;

// ---- UTF-7 character classes, built on first use.

struct Utf7Tables {
    bool mustShiftStrict[128];
    bool mustShiftOptional[128];
    signed char base64Value[128];

    Utf7Tables()
    {
        static const char base64[] =
            "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        static const char direct[] =
            "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789'(),-./:?\t\n\r ";
        static const char optionalDirect[] = "!\"#$%&*;<=>@[]^_`{|}";
        for (int c = 0; c < 128; ++c) {
            mustShiftStrict[c] = true;
            mustShiftOptional[c] = true;
            base64Value[c] = -1;
        }
        for (const char* p = direct; *p; ++p)
            mustShiftStrict[int(*p)] = mustShiftOptional[int(*p)] = false;
        for (const char* p = optionalDirect; *p; ++p) mustShiftOptional[int(*p)] = false;
        for (int i = 0; i < 64; ++i) base64Value[int(base64[i])] = static_cast<signed char>(i);
    }
};

const Utf7Tables& Tables()
{
    static const Utf7Tables tables;
    return tables;
}

const char kBase64Chars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Bits are kept from the top of the word down: new bits go just below the ones held.
class BitBuffer {
public:
    void Write(unsigned n, uint32_t v)
    {
        if (n == 0) return;
        v &= (n == 32) ? 0xFFFFFFFFu : ((1u << n) - 1);
        bits_ |= v << (32 - count_ - n);
        count_ += n;
    }
    uint32_t Read(unsigned n)
    {
        if (n == 0) return 0;
        uint32_t v = bits_ >> (32 - n);
        bits_ = (n == 32) ? 0 : bits_ << n;
        count_ -= n;
        return v;
    }
    unsigned Count() const { return count_; }

private:
    uint32_t bits_ = 0;
    unsigned count_ = 0;
};

bool IsBase64(unsigned c) { return c < 128 && Tables().base64Value[c] >= 0; }

}  // namespace

// ---- Wide buffers

wchar_t* WideCharsEnd(const wchar_t* text)
{
    while (*text) ++text;
    return const_cast<wchar_t*>(text);
}

size_t WideCharsLength(const wchar_t* text) { return static_cast<size_t>(WideCharsEnd(text) - text); }

wchar_t* WideCharsCopy(wchar_t* destination, const wchar_t* source, size_t n)
{
    if (n) std::memmove(destination, source, n * sizeof(wchar_t));
    return destination;
}

wchar_t* WideCharsAllocate(size_t n)
{
    // The block records its size in 32 bits.
    if (n > (0xFFFFFFFFu - 4) / 2) throw std::bad_alloc();
    const uint32_t size = static_cast<uint32_t>(2 * n + 4);
    void* block = std::malloc(size);
    if (!block) throw std::bad_alloc();
    std::memcpy(block, &size, sizeof size);
    return reinterpret_cast<wchar_t*>(static_cast<char*>(block) + 4);
}

wchar_t* WideCharsDuplicate(const wchar_t* text)
{
    if (!text) return nullptr;
    const size_t n = WideCharsLength(text) + 1;
    return WideCharsCopy(WideCharsAllocate(n), text, n);
}

void WideCharsFree(wchar_t* buffer)
{
    if (buffer) std::free(reinterpret_cast<char*>(buffer) - 4);
}

uint32_t WideCharsBlockSize(const wchar_t* buffer)
{
    uint32_t size;
    std::memcpy(&size, reinterpret_cast<const char*>(buffer) - 4, sizeof size);
    return size;
}

// ---- Files by UTF-16 name

HANDLE CreateFileWideOrAnsi(const std::wstring& name, DWORD access, DWORD shareMode,
                            SECURITY_ATTRIBUTES* security, DWORD disposition, DWORD flags,
                            HANDLE templateFile)
{
    if (UnicodePlatform)
        return CreateFileW(name.c_str(), access, shareMode, security, disposition, flags,
                           templateFile);
    const std::string ansi = AnsiFromWide(name);
    return CreateFileA(ansi.c_str(), access, shareMode, security, disposition, flags,
                       templateFile);
}

HANDLE CreateFileByWideName(const std::wstring& name)
{
    return CreateFileWideOrAnsi(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
}

HANDLE OpenFileByWideName(const std::wstring& name, unsigned mode)
{
    static const DWORD accessModes[] = {GENERIC_READ, GENERIC_WRITE,
                                        GENERIC_READ | GENERIC_WRITE};
    static const DWORD shareModes[] = {0, 0, FILE_SHARE_READ, FILE_SHARE_WRITE,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE};
    const unsigned access = mode & 3, share = (mode & 0xF0) >> 4;
    // An unknown mode must not pick a table entry beyond the end.
    if (access > 2 || share > 4) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    return CreateFileWideOrAnsi(name, accessModes[access], shareModes[share], nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// ---- UTF-8

std::string EncodeUtf8(const std::wstring& text)
{
    std::string out;
    out.reserve(text.size() * 3);
    for (wchar_t w : text) {
        const unsigned c = static_cast<unsigned>(static_cast<uint16_t>(w));
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::wstring DecodeUtf8(const std::string& bytes)
{
    // Characters beyond U+FFFF become surrogate pairs; surrogates written one by one (three bytes
    // each, as EncodeUtf8 writes them) are taken as they stand. A broken, cut or overlong
    // sequence becomes one U+FFFD and the rest of the text is still read.
    constexpr wchar_t kReplacement = 0xFFFD;
    std::wstring out;
    out.reserve(bytes.size());
    const size_t n = bytes.size();
    auto byteAt = [&](size_t i) { return static_cast<unsigned>(static_cast<unsigned char>(bytes[i])); };
    for (size_t i = 0; i < n;) {
        const unsigned lead = byteAt(i);
        if (lead < 0x80) {
            out += static_cast<wchar_t>(lead);
            ++i;
            continue;
        }
        const size_t need = lead < 0xC0 ? 0 : lead < 0xE0 ? 1 : lead < 0xF0 ? 2 : lead < 0xF8 ? 3 : 0;
        size_t have = 0;
        while (have < need && i + 1 + have < n && (byteAt(i + 1 + have) & 0xC0) == 0x80) ++have;
        if (need == 0 || have < need) {
            out += kReplacement;
            i += 1 + have;
            continue;
        }
        static constexpr unsigned kLeadBits[] = {0, 0x1F, 0x0F, 0x07};
        static constexpr unsigned kLeast[] = {0, 0x80, 0x800, 0x10000};
        unsigned c = lead & kLeadBits[need];
        for (size_t k = 1; k <= need; ++k) c = (c << 6) | (byteAt(i + k) & 0x3F);
        i += 1 + need;
        if (c < kLeast[need] || c > 0x10FFFF) {
            out += kReplacement;
        } else if (c >= 0x10000) {
            c -= 0x10000;
            out += static_cast<wchar_t>(0xD800 | (c >> 10));
            out += static_cast<wchar_t>(0xDC00 | (c & 0x3FF));
        } else {
            out += static_cast<wchar_t>(c);
        }
    }
    return out;
}

// ---- UTF-7

int EncodeUtf7Block(const wchar_t*& source, const wchar_t* sourceEnd, char*& target,
                    char* targetEnd, bool optional, bool explicitEnd)
{
    const bool* mustShift = optional ? Tables().mustShiftOptional : Tables().mustShiftStrict;
    const wchar_t* s = source;
    char* t = target;
    int result = kUtf7Ok;
    bool shifted = false;
    BitBuffer buffer;
    for (;;) {
        const bool done = s >= sourceEnd;
        unsigned r = 0;
        if (!done) r = static_cast<uint16_t>(*s++);
        const bool needShift = !done && (r > 0x7F || mustShift[r]);

        if (needShift && !shifted) {
            if (t >= targetEnd) { result = kUtf7TargetFull; break; }
            *t++ = '+';
            if (r == '+') {
                if (t >= targetEnd) { result = kUtf7TargetFull; break; }
                *t++ = '-';
            } else {
                shifted = true;
            }
        }
        if (shifted) {
            if (needShift)
                buffer.Write(16, r);
            else
                buffer.Write((6 - buffer.Count() % 6) % 6, 0);
            while (t < targetEnd && buffer.Count() >= 6) *t++ = kBase64Chars[buffer.Read(6)];
            if (buffer.Count() >= 6 && t >= targetEnd) { result = kUtf7TargetFull; break; }
            if (!needShift) {
                if (explicitEnd || (!done && (IsBase64(r) || r == '-'))) {
                    if (t >= targetEnd) { result = kUtf7TargetFull; break; }
                    *t++ = '-';
                }
                shifted = false;
            }
        }
        if (!needShift && !done) {
            if (t >= targetEnd) { result = kUtf7TargetFull; break; }
            *t++ = static_cast<char>(r);
        }
        if (done) break;
    }
    source = s;
    target = t;
    return result;
}

int DecodeUtf7Block(const char*& source, const char* sourceEnd, wchar_t*& target,
                    wchar_t* targetEnd)
{
    const char* s = source;
    wchar_t* t = target;
    int result = kUtf7Ok;
    bool shifted = false, first = false, wroteOne = false;
    BitBuffer buffer;
    for (;;) {
        bool done = s >= sourceEnd;
        unsigned c = 0;
        if (!done) c = static_cast<unsigned char>(*s++);

        if (shifted) {
            const bool base64End = done || !IsBase64(c);
            if (base64End) {
                shifted = false;
                if (!done && c == '-') {
                    done = s >= sourceEnd;
                    if (!done) c = static_cast<unsigned char>(*s++);
                    if (first) {
                        if (t >= targetEnd) { result = kUtf7TargetFull; break; }
                        *t++ = L'+';
                    } else if (!wroteOne) {
                        result = kUtf7Invalid;
                    }
                } else if (!wroteOne) {
                    result = kUtf7Invalid;
                }
            } else {
                buffer.Write(6, static_cast<uint32_t>(Tables().base64Value[c]));
                first = false;
            }
            while (buffer.Count() >= 16 && t < targetEnd) {
                *t++ = static_cast<wchar_t>(buffer.Read(16));
                wroteOne = true;
            }
            if (buffer.Count() >= 16 && t >= targetEnd) { result = kUtf7TargetFull; break; }
            if (base64End && buffer.Read(buffer.Count()) != 0) result = kUtf7Invalid;
        }
        if (!shifted && !done) {
            if (c == '+') {
                shifted = true;
                first = true;
                wroteOne = false;
            } else {
                if (c > 0x7F) result = kUtf7Invalid;
                if (t >= targetEnd) { result = kUtf7TargetFull; break; }
                *t++ = static_cast<wchar_t>(c);
            }
        }
        if (done) break;
    }
    source = s;
    target = t;
    return result;
}

std::string EncodeUtf7(const std::wstring& text)
{
    if (text.empty()) return std::string();
    std::string out(text.size() * 7, '\0');
    const wchar_t* s = text.data();
    char* t = out.data();
    if (EncodeUtf7Block(s, text.data() + text.size(), t, out.data() + out.size(), true, false) !=
        kUtf7Ok)
        throw Exception(std::string("Buffer overflow"));
    out.resize(static_cast<size_t>(t - out.data()));
    return out;
}

std::wstring DecodeUtf7(const std::string& bytes)
{
    if (bytes.empty()) return std::wstring();
    std::wstring out(bytes.size(), L'\0');
    const char* s = bytes.data();
    wchar_t* t = out.data();
    switch (DecodeUtf7Block(s, bytes.data() + bytes.size(), t, out.data() + out.size())) {
    case kUtf7Invalid: throw Exception(std::string("Invalid UTF7"));
    case kUtf7TargetFull: throw Exception(std::string("Buffer overflow"));
    default: break;
    }
    out.resize(static_cast<size_t>(t - out.data()));
    return out;
}

// ---- Code pages

std::wstring WideFromCodePage(const std::string& bytes, UINT codePage)
{
    if (codePage == CP_UTF7) return DecodeUtf7(bytes);
    if (codePage == CP_UTF8) return DecodeUtf8(bytes);
    return ConvertToWide(bytes, codePage);
}

std::string WideToCodePage(const std::wstring& text, UINT codePage)
{
    if (codePage == CP_UTF7) return EncodeUtf7(text);
    if (codePage == CP_UTF8) return EncodeUtf8(text);
    return ConvertFromWide(text, codePage);
}

void SwapWideByteOrder(wchar_t* text)
{
    for (; *text; ++text) {
        const uint16_t c = static_cast<uint16_t>(*text);
        *text = static_cast<wchar_t>(static_cast<uint16_t>((c << 8) | (c >> 8)));
    }
}
