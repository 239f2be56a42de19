#include "SysUtils.h"

std::string ConvertFromWide(const std::wstring& text, UINT codePage)
{
    if (text.empty()) return std::string();
    const int n = WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                      nullptr, nullptr);
    if (n <= 0) return std::string();
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

std::wstring ConvertToWide(const std::string& bytes, UINT codePage)
{
    if (bytes.empty()) return std::wstring();
    const int n = MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    if (n <= 0) return std::wstring();
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), out.data(), n);
    return out;
}

std::string AnsiFromWide(const std::wstring& text) { return ConvertFromWide(text, CP_ACP); }

std::wstring WideFromAnsi(const std::string& text) { return ConvertToWide(text, CP_ACP); }

std::wstring FormatText(const std::wstring& format, std::initializer_list<std::wstring> args)
{
    std::wstring out;
    auto next = args.begin();
    for (size_t i = 0; i < format.size(); ++i) {
        wchar_t c = format[i];
        if (c == L'%' && i + 1 < format.size()) {
            wchar_t k = format[i + 1];
            if (k == L'%') {
                out += L'%';
                ++i;
                continue;
            }
            if (k == L's' || k == L'd') {
                if (next != args.end()) out += *next++;
                ++i;
                continue;
            }
        }
        out += c;
    }
    return out;
}

std::wstring ModuleFileName(HMODULE module)
{
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(module, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) return std::wstring();
        // A full buffer may hold a cut name: ask again with more room.
        if (n < buffer.size()) {
            buffer.resize(n);
            return buffer;
        }
        buffer.resize(buffer.size() * 2);
    }
}

bool IsReadableMemory(const void* p, size_t size)
{
    uintptr_t at = reinterpret_cast<uintptr_t>(p);
    const uintptr_t end = at + size;
    if (!p || end < at) return false;
    while (at < end) {
        MEMORY_BASIC_INFORMATION info{};
        if (!VirtualQuery(reinterpret_cast<const void*>(at), &info, sizeof info) || info.State != MEM_COMMIT)
            return false;
        const DWORD readable = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ |
                               PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
        if (!(info.Protect & readable) || (info.Protect & (PAGE_GUARD | PAGE_NOACCESS))) return false;
        at = reinterpret_cast<uintptr_t>(info.BaseAddress) + info.RegionSize;
    }
    return true;
}

std::wstring ExtractFolder(const std::wstring& path)
{
    const size_t separator = path.find_last_of(L"\\:");
    return separator == std::wstring::npos ? std::wstring() : path.substr(0, separator + 1);
}

std::wstring ExtractBaseName(const std::wstring& path)
{
    std::wstring name = path.substr(ExtractFolder(path).size());
    const size_t dot = name.find_last_of(L'.');
    if (dot != std::wstring::npos) name.resize(dot);
    return name;
}

void RaiseLastOSError(DWORD code)
{
    if (code == 0) throw EOSError(AnsiFromWide(L"OS 機能呼び出しの失敗"), 0);
    char* text = nullptr;
    DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                 FORMAT_MESSAGE_IGNORE_INSERTS,
                             nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string sys = n ? std::string(text, n) : std::string();
    if (text) LocalFree(text);
    while (!sys.empty() && (sys.back() == '\n' || sys.back() == '\r')) sys.pop_back();
    std::string message =
        AnsiFromWide(FormatText(L"システムエラー。コード：%d.", {std::to_wstring(code)})) + "\r\n" + sys;
    throw EOSError(message, code);
}

std::wstring ListIndexErrorText(int index) { return FormatText(kListIndexErrorText, {std::to_wstring(index)}); }

std::wstring SortedListErrorText() { return kSortedListErrorText; }

std::wstring DuplicateStringErrorText() { return kDuplicateStringErrorText; }

void RaiseInsertLineError() { throw EOutOfResources(std::wstring(kInsertLineErrorText)); }
