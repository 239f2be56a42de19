#include "Registry.h"

#include <cstring>
#include <vector>

#include "SysUtils.h"

namespace {

// Deletes the sub-tree below an opened key, last sub-key first, so that the indexes of the keys
// still to come stay valid while the earlier ones go.
void DeleteSubKeys(HKEY key)
{
    DWORD count = 0, longest = 0;
    if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &count, &longest, nullptr, nullptr,
                         nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        return;
    std::vector<char> name(longest + 1);
    for (DWORD i = count; i-- > 0;) {
        DWORD len = static_cast<DWORD>(name.size());
        if (RegEnumKeyExA(key, i, name.data(), &len, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            continue;
        std::string sub(name.data(), len);
        HKEY child = nullptr;
        if (RegOpenKeyExA(key, sub.c_str(), 0, KEY_ALL_ACCESS, &child) == ERROR_SUCCESS) {
            DeleteSubKeys(child);
            RegCloseKey(child);
        }
        RegDeleteKeyA(key, sub.c_str());
    }
}

}  // namespace

TRegistry::TRegistry(REGSAM access) : access_(access) {}

TRegistry::~TRegistry() { CloseKey(); }

void TRegistry::SetRootKey(HKEY root)
{
    CloseKey();
    root_ = root;
}

HKEY TRegistry::BaseKeyOf(const std::string& key, std::string& rest) const
{
    if (!key.empty() && key[0] == '\\') {
        rest = key.substr(1);
        return root_;
    }
    rest = key;
    return current_ ? current_ : root_;
}

void TRegistry::ChangeKey(HKEY key)
{
    CloseKey();
    current_ = key;
}

bool TRegistry::Open(const std::string& key, REGSAM access, bool canCreate)
{
    std::string path;
    HKEY base = BaseKeyOf(key, path);
    HKEY opened = nullptr;
    LONG rc;
    if (canCreate) {
        DWORD disposition = 0;
        rc = RegCreateKeyExA(base, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access,
                             nullptr, &opened, &disposition);
    } else {
        rc = RegOpenKeyExA(base, path.c_str(), 0, access, &opened);
    }
    if (rc != ERROR_SUCCESS) return false;
    ChangeKey(opened);
    return true;
}

bool TRegistry::OpenKey(const std::string& key, bool canCreate)
{
    return Open(key, access_, canCreate);
}

bool TRegistry::OpenKeyReadOnly(const std::string& key) { return Open(key, KEY_READ, false); }

void TRegistry::CloseKey()
{
    if (current_) {
        RegCloseKey(current_);
        current_ = nullptr;
    }
}

bool TRegistry::KeyExists(const std::string& key)
{
    std::string path;
    HKEY base = BaseKeyOf(key, path);
    HKEY probe = nullptr;
    LONG rc = RegOpenKeyExA(base, path.c_str(), 0, KEY_QUERY_VALUE, &probe);
    if (rc == ERROR_SUCCESS) {
        RegCloseKey(probe);
        return true;
    }
    // A key that exists but may not be read still exists.
    return rc == ERROR_ACCESS_DENIED;
}

bool TRegistry::DeleteKey(const std::string& key)
{
    std::string path;
    HKEY base = BaseKeyOf(key, path);
    // An empty path would name the base key itself; deleting the root or the current key from
    // under us is never meant.
    if (path.empty()) return false;
    HKEY opened = nullptr;
    if (RegOpenKeyExA(base, path.c_str(), 0, KEY_ALL_ACCESS, &opened) == ERROR_SUCCESS) {
        DeleteSubKeys(opened);
        RegCloseKey(opened);
    }
    return RegDeleteKeyA(base, path.c_str()) == ERROR_SUCCESS;
}

bool TRegistry::ValueExists(const std::string& name)
{
    if (!current_) return false;
    return RegQueryValueExA(current_, name.c_str(), nullptr, nullptr, nullptr, nullptr) ==
           ERROR_SUCCESS;
}

namespace {

// A string value of an open key, through the ANSI or the wide query (query(type, data, size) is
// RegQueryValueExA or W for the value's name). An absent value or one that is no string: "".
template <class Char, class Query>
std::basic_string<Char> QueryStringValue(Query query)
{
    DWORD type = 0, size = 0;
    LONG rc = query(&type, nullptr, &size);
    // The value may grow between the two calls; ask again until the buffer holds it.
    std::vector<BYTE> data;
    while (rc == ERROR_SUCCESS || rc == ERROR_MORE_DATA) {
        if (type != REG_SZ && type != REG_EXPAND_SZ) return {};
        data.resize(size + sizeof(Char));
        size = static_cast<DWORD>(data.size());
        rc = query(&type, data.data(), &size);
        if (rc == ERROR_SUCCESS) {
            if (type != REG_SZ && type != REG_EXPAND_SZ) return {};
            // Stored strings need not end with a zero; the text ends at the first one if any.
            std::basic_string<Char> text(size / sizeof(Char), Char());
            std::memcpy(text.data(), data.data(), text.size() * sizeof(Char));
            const size_t zero = text.find(Char());
            if (zero != std::basic_string<Char>::npos) text.resize(zero);
            return text;
        }
    }
    return {};
}

}  // namespace

std::string TRegistry::ReadString(const std::string& name)
{
    if (!current_) return std::string();
    return QueryStringValue<char>([&](DWORD* type, BYTE* data, DWORD* size) {
        return RegQueryValueExA(current_, name.c_str(), nullptr, type, data, size);
    });
}

std::wstring TRegistry::ReadWideString(const std::string& name)
{
    if (!current_) return std::wstring();
    const std::wstring wideName = WideFromAnsi(name);
    return QueryStringValue<wchar_t>([&](DWORD* type, BYTE* data, DWORD* size) {
        return RegQueryValueExW(current_, wideName.c_str(), nullptr, type, data, size);
    });
}

void TRegistry::WriteString(const std::string& name, const std::string& value)
{
    LONG rc = ERROR_INVALID_HANDLE;
    if (current_)
        rc = RegSetValueExA(current_, name.c_str(), 0, REG_SZ,
                            reinterpret_cast<const BYTE*>(value.c_str()),
                            static_cast<DWORD>(value.size() + 1));
    if (rc != ERROR_SUCCESS) throw ERegistryException(L"システム レジストリ に書き込めません");
}
