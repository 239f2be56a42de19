// Zero-terminated text, paths and the program's parameters. The searches step over double-byte
// characters of the system code page: the second byte of one (表 is 0x95 0x5C) is no backslash.
#include "miniwin.h"

#include <cstring>
#include <vector>

namespace miniwin {

char* CopyTextMax(char* dest, const char* source, int limit)
{
    int i = 0;
    if (source)
        for (; i < limit && source[i] != '\0'; ++i) dest[i] = source[i];
    dest[i] = '\0';
    return dest;
}

namespace {

// The next character: the second byte of a double-byte character (which may be 0x5C, the
// backslash) is never taken for a character of its own.
const char* NextChar(const char* p)
{
    return IsDBCSLeadByte(static_cast<BYTE>(*p)) && p[1] != '\0' ? p + 2 : p + 1;
}

}  // namespace

const char* FindChar(const char* text, char c)
{
    if (!text) return nullptr;
    for (const char* p = text;; p = NextChar(p)) {
        if (*p == c) return p;
        if (*p == '\0') return nullptr;
    }
}

const char* FindLastChar(const char* text, char c)
{
    if (!text) return nullptr;
    const char* found = nullptr;
    for (const char* p = text;; p = NextChar(p)) {
        if (*p == c) found = p;
        if (*p == '\0') return found;
    }
}

const char* FindLastOf(const char* text, const char* delimiters)
{
    static const char empty[] = "";
    if (!text) return empty;
    const char* found = nullptr;
    const char* p = text;
    for (; *p != '\0'; p = NextChar(p))
        if (std::strchr(delimiters, *p)) found = p;
    return found ? found : p;
}

bool MemEqual(const void* a, const void* b, size_t n) { return std::memcmp(a, b, n) == 0; }

// ---------------------------------------------------------------------------------------------

namespace {
const char kPathDelimiters[] = ":\\";
}

std::string FolderOfPath(const char* path)
{
    if (!path) return std::string();
    const char* last = FindLastOf(path, kPathDelimiters);
    if (*last == '\0') return std::string();
    return std::string(path, last + 1);
}

std::string FileNameOfPath(const char* path)
{
    if (!path) return std::string();
    const char* last = FindLastOf(path, kPathDelimiters);
    if (*last == '\0') return std::string(path);
    return std::string(last + 1);
}

std::string ExeParam(int index)
{
    if (index == 0) {
        char buf[261];
        DWORD n = GetModuleFileNameA(nullptr, buf, sizeof buf);
        if (n >= sizeof buf) n = sizeof buf - 1;
        return std::string(buf, n);
    }
    return CommandLineParam(GetCommandLineA(), index);
}

std::string CommandLineParam(const char* commandLine, int index)
{
    if (index < 0 || !commandLine) return std::string();
    const unsigned char* p = reinterpret_cast<const unsigned char*>(commandLine);
    std::string param;
    for (int k = 0; k <= index; ++k) {
        // Blanks and empty quote pairs before a parameter do not count as one.
        for (;;) {
            if (*p >= 1 && *p <= 32) {
                ++p;
            } else if (p[0] == '"' && p[1] == '"') {
                p += 2;
            } else {
                break;
            }
        }
        const unsigned char* start = p;
        bool quoted = false;
        while (*p != '\0' && (quoted || *p > 32)) {
            if (*p == '"') quoted = !quoted;
            ++p;
        }
        param.assign(reinterpret_cast<const char*>(start), static_cast<size_t>(p - start));
        if (param.empty()) return std::string();
    }
    if (param.size() >= 2 && param.front() == '"' && param.back() == '"')
        param = param.substr(1, param.size() - 2);
    return param;
}

std::string FormatText(const char* format, std::initializer_list<LONG_PTR> values)
{
    // Each value takes one machine word, as the variable arguments of wvsprintfA expect.
    std::vector<LONG_PTR> words(values);
    words.push_back(0);
    char buf[2048];
    buf[0] = '\0';
    wvsprintfA(buf, format ? format : "", reinterpret_cast<va_list>(words.data()));
    return std::string(buf);
}

}  // namespace miniwin
