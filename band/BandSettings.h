#pragma once
// What the band and the settings program agree on: the band's class and window class, and the
// settings file kervodll.ini beside the band library: where it is, whether it may be read and
// written, and the engine lists and the hotkey that both read from it.
#include <windows.h>

#include <functional>
#include <string>

#include "IniFiles.h"
#include "StringList.h"

// The band's COM class; its InProcServer32 key names the band library.
extern const GUID BandClassId;
extern const char BandClassIdText[];  // "{820DFB52-B00B-4DF0-8364-6C746E1F7977}"

// The band form's window class, by which the settings program finds the running bands.
constexpr char BandFormClassName[] = "TquormelForm";

// The band library's path as registered for the band class, or "" while it is not registered.
// Asks for reading only: a standard user may not open the key for writing, and both deliverables
// would then lose their settings file. Wide from the registry to the file calls: a folder name the
// code page cannot spell, taken best-fit, would name another folder.
std::wstring GetBandLibraryPath();

// The band library's registered path, taken once when the library starts and emptied when it
// shuts down.
extern std::wstring CachedLibraryPath;
// CachedLibraryPath, or a fresh lookup (not stored) while it is empty.
std::wstring GetCachedLibraryPath();

// The path with the extension of its file name replaced by ".ini" (appended when the name has
// none); "" gives ".ini".
std::wstring ChangeExtensionToIni(const std::wstring& path);

// Whether a save to the settings file may go ahead: the path lies on a fixed drive, the file is
// absent or not read-only, and the private-profile functions can take the path at all (they stop
// at MAX_PATH characters). A refusal is silent; the caller skips the save.
bool SettingsFileWritable(const std::wstring& path);

// Whether the settings file could be read as it stands: true when it opens for reading (other
// programs may be reading, writing or deleting it meanwhile) or does not exist; false when it
// exists and another program holds it without sharing it. The system's reads then answer the
// defaults, and a save after such a load would put them over the user's settings.
bool SettingsFileReadable(const std::wstring& path);

// Runs the reads of a load against the settings file and answers whether the file was readable
// at both ends of them: a file held unreadable at either end may have answered defaults to them.
bool ReadSettingsFile(const std::wstring& path, const std::function<void(TIniFile&)>& reads);

// Section and key names of the settings file, shared by the band and the settings program.
// Engine sections are a mode's section name followed by the slot digit; history keys are "0".."9".
namespace SettingsKey {
constexpr char Hist[] = "HIST";          // section: the ten most recent queries
constexpr char Button[] = "BUTTON";      // section: the selected mode
constexpr char Selected[] = "SELECTED";  // key under BUTTON: 1 to 4
constexpr char Hotkey[] = "HOTKEY";      // section
constexpr char Shift[] = "SHIFT";        // key under HOTKEY: Ctrl+Shift when true
constexpr char Char[] = "CHAR";          // key under HOTKEY: 64 none, 65..90 the letter
constexpr char Caption[] = "CAPTION";    // key under a mode's section
constexpr char Title[] = "TITLE";        // key under an engine section
constexpr char Url[] = "URL";            // key under an engine section
}  // namespace SettingsKey

// The four search modes, always in this order.
enum class TSearchMode { SEARCH, CACHE, DIC, FILE };
constexpr int kModeCount = 4;
// "SEARCH", "CACHE", "DIC", "FILE": the mode's section, and with a slot digit its engine sections.
const char* ModeSectionName(TSearchMode mode);
// "検索", "ｷｬｯｼｭ", "辞書", "ﾌｧｲﾙ" in the system code page: shown when CAPTION is empty.
std::string DefaultModeCaption(TSearchMode mode);
// The mode's CAPTION from the file, or its default caption when that is empty or absent.
std::string ReadModeCaption(const TIniFile& ini, TSearchMode mode);

// The engine slots of a mode: the file's sections 0 to 2 of the mode, the engines the settings
// program shows and saves for it, and the fewest entries each engine list holds after a fill.
constexpr int kEngineSlots = 3;

// For each mode a title list and a URL list; index k of both is one engine, index 0 the
// current one.
struct TEngineLists {
    TStringList FSearchTitles;
    TStringList FSearchUrls;
    TStringList FCacheTitles;
    TStringList FCacheUrls;
    TStringList FDicTitles;
    TStringList FDicUrls;
    TStringList FFileTitles;
    TStringList FFileUrls;

    TStringList& Titles(TSearchMode mode);
    TStringList& Urls(TSearchMode mode);
    void Clear();
};

struct TBuiltinEngine {
    const wchar_t* Title;
    TSearchMode Mode;
    const char* Url;  // ends where the query is appended
};
extern const TBuiltinEngine BuiltinEngines[7];

// Appends the complete engines of the slots (slot by slot, the modes in order within a slot),
// each only when its title is new to its mode; the caller has emptied the lists.
void ReadEngineSlots(const TIniFile& ini, TEngineLists& lists);
// Appends the built-in engines whose titles are missing, then pads every list to kEngineSlots
// entries.
void AddDefaultEngines(TEngineLists& lists);

// The hotkey as the file holds it, with the defaults of an absent key: Ctrl+Shift when Shift;
// the low 8 bits of Char name the key when they are a letter A to Z, and anything else (64 as
// stored for none) gives no hotkey.
struct THotKey {
    bool Shift = true;
    int Char = 64;
};
// HOTKEY's CHAR and SHIFT, in that order, for the band's load and reload and the settings
// program's load alike.
THotKey ReadHotKey(const TIniFile& ini);
