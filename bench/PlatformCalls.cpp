#include "PlatformCalls.h"

#include <utility>
#include <vector>

#include "BandSettings.h"
#include "BenchSupport.h"

namespace bench {

namespace {

constexpr DWORD kReadChars = 2048;  // the band's read buffer
constexpr int kHistoryKeys = 10;

std::string Ansi(const std::wstring& s)
{
    char buf[MAX_PATH * 2] = {};
    WideCharToMultiByte(CP_ACP, 0, s.c_str(), -1, buf, sizeof buf - 1, nullptr, nullptr);
    return buf;
}

// A copy of the settings file beside it, gone with the object.
class TSettingsCopy {
public:
    explicit TSettingsCopy(const std::wstring& file) : path_(file + L".platform.ini")
    {
        CopyFileW(file.c_str(), path_.c_str(), FALSE);
    }
    ~TSettingsCopy() { DeleteFileW(path_.c_str()); }
    std::string Path() const { return Ansi(path_); }

private:
    std::wstring path_;
};

std::string Read(const std::string& section, const std::string& key, const std::string& file)
{
    char buf[kReadChars] = {};
    GetPrivateProfileStringA(section.c_str(), key.c_str(), "", buf, kReadChars, file.c_str());
    return buf;
}

// (section, key) of every value a reload reads: the captions, the engine slots, the hotkey.
std::vector<std::pair<std::string, std::string>> ReloadKeys()
{
    std::vector<std::pair<std::string, std::string>> keys;
    for (int m = 0; m < kModeCount; ++m)
        keys.emplace_back(ModeSectionName(static_cast<TSearchMode>(m)), SettingsKey::Caption);
    for (int slot = 0; slot < 3; ++slot)
        for (int m = 0; m < kModeCount; ++m) {
            const std::string section = ModeSectionName(static_cast<TSearchMode>(m)) + std::to_string(slot);
            keys.emplace_back(section, SettingsKey::Title);
            keys.emplace_back(section, SettingsKey::Url);
        }
    keys.emplace_back(SettingsKey::Hotkey, SettingsKey::Char);
    keys.emplace_back(SettingsKey::Hotkey, SettingsKey::Shift);
    return keys;
}

bool Listed(const char* names, DWORD length, const std::string& section)
{
    for (const char* p = names; p < names + length && *p; p += lstrlenA(p) + 1)
        if (lstrcmpiA(p, section.c_str()) == 0) return true;
    return false;
}

}  // namespace

double TimeSearchCalls(const std::wstring& settingsFile, const std::wstring& url, TShellExecute shell, int times)
{
    const TSettingsCopy copy(settingsFile);
    const std::string file = copy.Path();
    std::vector<std::pair<std::string, std::string>> history;
    for (int n = 0; n < kHistoryKeys; ++n) {
        const std::string value = Read(SettingsKey::Hist, std::to_string(n), file);
        if (!value.empty()) history.emplace_back(std::to_string(n), value);
    }
    const std::string selected = Read(SettingsKey::Button, SettingsKey::Selected, file);
    Clock clock;
    for (int i = 0; i < times; ++i) {
        shell(nullptr, nullptr, url.c_str(), nullptr, nullptr, SW_SHOW);
        for (const auto& [key, value] : history)
            WritePrivateProfileStringA(SettingsKey::Hist, key.c_str(), value.c_str(), file.c_str());
        if (!selected.empty())
            WritePrivateProfileStringA(SettingsKey::Button, SettingsKey::Selected, selected.c_str(), file.c_str());
    }
    return clock.Microseconds() / times;
}

double TimeReloadCalls(const std::wstring& settingsFile, bool sectionsNoted, int times)
{
    const TSettingsCopy copy(settingsFile);
    const std::string file = copy.Path();
    const auto keys = ReloadKeys();
    std::vector<char> names(32768);  // the band's buffer for the section names
    char value[kReadChars];
    Clock clock;
    for (int i = 0; i < times; ++i) {
        DWORD length = 0;
        if (sectionsNoted)
            length = GetPrivateProfileSectionNamesA(names.data(), static_cast<DWORD>(names.size()), file.c_str());
        for (const auto& [section, key] : keys) {
            if (sectionsNoted && !Listed(names.data(), length, section)) continue;
            GetPrivateProfileStringA(section.c_str(), key.c_str(), "", value, kReadChars, file.c_str());
        }
    }
    return clock.Microseconds() / times;
}

}  // namespace bench
