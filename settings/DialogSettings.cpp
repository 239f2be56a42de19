// The settings program reads the band's file, or its own beside itself while the band library is
// not registered, and writes only the band's; this is where the two paths and the write order live.
#include "DialogSettings.h"

#include <windows.h>

#include "IniFiles.h"
#include "SysUtils.h"

std::wstring DialogSettingsPathForReading()
{
    std::wstring path = GetBandLibraryPath();
    if (path.empty()) path = ModuleFileName(nullptr);
    return ChangeExtensionToIni(path);
}

int CharItemFromStored(int storedChar)
{
    const int letter = storedChar & 0xFF;
    return letter >= 'A' && letter <= 'Z' ? letter - 64 : 0;
}

int StoredCharFromItem(int item)
{
    return item >= 1 && item <= 26 ? item + 64 : 64;
}

bool SaveSettingsFile(const TSettingsToSave& values)
{
    // Only the band's own file is ever written; the program's fallback file is read only.
    const std::wstring library = GetBandLibraryPath();
    if (library.empty()) return false;
    const std::wstring path = ChangeExtensionToIni(library);
    if (!SettingsFileWritable(path)) return false;

    TIniFile ini(path);
    if (!values.FileRead) ini.RaiseWriteRefused();
    for (int m = 0; m < kModeCount; ++m)
        ini.WriteString(ModeSectionName(static_cast<TSearchMode>(m)), SettingsKey::Caption,
                        values.Captions[m]);
    // Invariant: every list holds at least kEngineSlots entries, so every slot exists.
    TEngineLists& engines = *values.Engines;
    for (int slot = 0; slot < kEngineSlots; ++slot) {
        for (int m = 0; m < kModeCount; ++m) {
            const TSearchMode mode = static_cast<TSearchMode>(m);
            const std::string section = ModeSectionName(mode) + std::to_string(slot);
            ini.WriteString(section, SettingsKey::Title, engines.Titles(mode).Strings(slot));
            ini.WriteString(section, SettingsKey::Url, engines.Urls(mode).Strings(slot));
        }
    }
    ini.WriteBool(SettingsKey::Hotkey, SettingsKey::Shift, values.Shift);
    ini.WriteInteger(SettingsKey::Hotkey, SettingsKey::Char, StoredCharFromItem(values.CharItem));
    return true;
}
