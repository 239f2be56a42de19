// The query and drop text rules; see QueryText.h.
#include "QueryText.h"

namespace {

bool KeptAsIs(unsigned char c)
{
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) return true;
    switch (c) {
    case '!': case '$': case '\'': case '(': case ')': case '*': case '-': case '.': case '@': case '_':
        return true;
    default:
        return false;
    }
}

}  // namespace

std::wstring TrimQueryTail(const std::wstring& text)
{
    size_t n = text.size();
    while (n > 0 && text[n - 1] == L'\x14') --n;
    return text.substr(0, n);
}

std::string EncodeQueryText(const std::string& ansi)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(ansi.size() * 3);
    for (const char ch : ansi) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == 0) break;
        if (KeptAsIs(c)) {
            out += static_cast<char>(c);
        } else if (c == ' ') {
            out += '+';
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 0x0F];
        }
    }
    return out;
}

std::wstring FirstLine(const std::wstring& text)
{
    const size_t end = text.find_first_of(L"\r\n");
    return end == std::wstring::npos ? text : text.substr(0, end);
}
