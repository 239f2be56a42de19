#include "BandSettings.h"

#include "Registry.h"
#include "SysUtils.h"

const GUID BandClassId = {0x820DFB52, 0xB00B, 0x4DF0, {0x83, 0x64, 0x6C, 0x74, 0x6E, 0x1F, 0x79, 0x77}};
const char BandClassIdText[] = "{820DFB52-B00B-4DF0-8364-6C746E1F7977}";

std::wstring CachedLibraryPath;

const TBuiltinEngine BuiltinEngines[7] = {
    {L"Google 日本語", TSearchMode::SEARCH, "http://www.google.co.jp/search?num=50&hl=ja&lr=lang_ja&q="},
    {L"Google ウェブ全体", TSearchMode::SEARCH, "http://www.google.co.jp/search?num=50&hl=ja&q="},
    {L"Internet Archive", TSearchMode::CACHE, "http://web.archive.org/archive_request_ng?collection=web&url="},
    {L"Google キャッシュ", TSearchMode::CACHE, "http://www.google.co.jp/search?q=cache:"},
    {L"Yahoo! 辞書", TSearchMode::DIC, "http://dic.yahoo.co.jp/bin/dsearch?t=o&d=all&p="},
    {L"AlltheWeb", TSearchMode::FILE, "http://www.alltheweb.com/search?cat=ftp&cs=cp932&q="},
    {L"File Avenue", TSearchMode::FILE, "http://www.fileavenue.jp/index.php?ids=10&action=search1&q="},
};

std::wstring GetBandLibraryPath()
{
    TRegistry registry(KEY_READ);
    registry.SetRootKey(HKEY_CLASSES_ROOT);
    if (!registry.OpenKeyReadOnly(std::string("CLSID\\") + BandClassIdText + "\\InProcServer32"))
        return std::wstring();
    std::wstring path = registry.ReadWideString("");
    registry.CloseKey();
    return path;
}

std::wstring GetCachedLibraryPath()
{
    if (!CachedLibraryPath.empty()) return CachedLibraryPath;
    return GetBandLibraryPath();
}

std::wstring ChangeExtensionToIni(const std::wstring& path)
{
    const size_t point = path.rfind(L'.');
    const bool hasExtension = point != std::wstring::npos && point >= ExtractFolder(path).size();
    return (hasExtension ? path.substr(0, point) : path) + L".ini";
}

bool SettingsFileWritable(const std::wstring& path)
{
    // Longer, the profile functions would fail the write (or reach some other file): no save and
    // no error for a file they cannot reach.
    if (path.empty() || path.size() >= MAX_PATH) return false;
    wchar_t drive = path[0];
    if (drive >= L'a' && drive <= L'z') drive = static_cast<wchar_t>(drive - L'a' + L'A');
    const std::wstring root = std::wstring(1, drive) + L":\\";
    if (GetDriveTypeW(root.c_str()) != DRIVE_FIXED) return false;
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_READONLY);
}

bool SettingsFileReadable(const std::wstring& path)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES;
    CloseHandle(file);
    return true;
}

bool ReadSettingsFile(const std::wstring& path, const std::function<void(TIniFile&)>& reads)
{
    const bool readableBefore = SettingsFileReadable(path);
    TIniFile ini(path);
    reads(ini);
    return readableBefore && SettingsFileReadable(path);
}

const char* ModeSectionName(TSearchMode mode)
{
    switch (mode) {
    case TSearchMode::SEARCH: return "SEARCH";
    case TSearchMode::CACHE: return "CACHE";
    case TSearchMode::DIC: return "DIC";
    case TSearchMode::FILE: return "FILE";
    }
    return "SEARCH";
}

std::string DefaultModeCaption(TSearchMode mode)
{
    switch (mode) {
    case TSearchMode::SEARCH: return AnsiFromWide(L"検索");
    case TSearchMode::CACHE: return AnsiFromWide(L"ｷｬｯｼｭ");
    case TSearchMode::DIC: return AnsiFromWide(L"辞書");
    case TSearchMode::FILE: return AnsiFromWide(L"ﾌｧｲﾙ");
    }
    return std::string();
}

std::string ReadModeCaption(const TIniFile& ini, TSearchMode mode)
{
    const std::string caption = ini.ReadString(ModeSectionName(mode), SettingsKey::Caption, "");
    return caption.empty() ? DefaultModeCaption(mode) : caption;
}

TStringList& TEngineLists::Titles(TSearchMode mode)
{
    switch (mode) {
    case TSearchMode::CACHE: return FCacheTitles;
    case TSearchMode::DIC: return FDicTitles;
    case TSearchMode::FILE: return FFileTitles;
    default: return FSearchTitles;
    }
}

TStringList& TEngineLists::Urls(TSearchMode mode)
{
    switch (mode) {
    case TSearchMode::CACHE: return FCacheUrls;
    case TSearchMode::DIC: return FDicUrls;
    case TSearchMode::FILE: return FFileUrls;
    default: return FSearchUrls;
    }
}

void TEngineLists::Clear()
{
    for (TStringList* list : {&FSearchTitles, &FSearchUrls, &FCacheTitles, &FCacheUrls,
                              &FDicTitles, &FDicUrls, &FFileTitles, &FFileUrls})
        list->Clear();
}

void ReadEngineSlots(const TIniFile& ini, TEngineLists& lists)
{
    for (int slot = 0; slot < kEngineSlots; ++slot) {
        for (int m = 0; m < kModeCount; ++m) {
            const TSearchMode mode = static_cast<TSearchMode>(m);
            const std::string section = ModeSectionName(mode) + std::to_string(slot);
            const std::string title = ini.ReadString(section, SettingsKey::Title, "");
            const std::string url = ini.ReadString(section, SettingsKey::Url, "");
            if (title.empty() || url.empty()) continue;
            if (lists.Titles(mode).IndexOf(title) >= 0) continue;
            lists.Titles(mode).Add(title);
            lists.Urls(mode).Add(url);
        }
    }
}

void AddDefaultEngines(TEngineLists& lists)
{
    for (const TBuiltinEngine& engine : BuiltinEngines) {
        const std::string title = AnsiFromWide(engine.Title);
        if (lists.Titles(engine.Mode).IndexOf(title) >= 0) continue;
        lists.Titles(engine.Mode).Add(title);
        lists.Urls(engine.Mode).Add(engine.Url);
    }
    for (TStringList* list : {&lists.FSearchTitles, &lists.FSearchUrls, &lists.FCacheTitles,
                              &lists.FCacheUrls, &lists.FDicTitles, &lists.FDicUrls,
                              &lists.FFileTitles, &lists.FFileUrls})
        while (list->Count() < kEngineSlots) list->Add("");
}

THotKey ReadHotKey(const TIniFile& ini)
{
    THotKey hotKey;
    hotKey.Char = ini.ReadInteger(SettingsKey::Hotkey, SettingsKey::Char, hotKey.Char);
    hotKey.Shift = ini.ReadBool(SettingsKey::Hotkey, SettingsKey::Shift, hotKey.Shift);
    return hotKey;
}
