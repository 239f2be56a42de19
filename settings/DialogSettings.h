#pragma once
// The settings program's side of the settings file: which file it reads, what it writes when the
// dialog is confirmed, and how the stored hotkey maps to the dialog's two hotkey fields.
#include <string>

#include "BandSettings.h"

// The file the dialog reads: beside the registered band library, or, while the band library is
// not registered, the file named like this program beside it (which is never written). Wide, as
// the folder may have a name the code page cannot spell.
std::wstring DialogSettingsPathForReading();

// The letter field's item for a stored CHAR: item 0 is "なし", items 1 to 26 the letters A to Z.
// The band uses only the low 8 bits of CHAR, so 321 is the letter A; a value whose low 8 bits are
// no letter gives no hotkey in the band and shows as "なし".
int CharItemFromStored(int storedChar);
// The CHAR to store for the letter field's item: 65 to 90 for a letter, 64 (none) for "なし" and
// for anything else, so that a save never stores a value the band would not read as intended.
int StoredCharFromItem(int item);

// What the dialog writes, already in the file's form (system code page).
struct TSettingsToSave {
    std::string Captions[kModeCount];  // in mode order; an empty caption is written empty
    TEngineLists* Engines = nullptr;  // read only
    bool Shift = true;
    int CharItem = 0;  // the letter field's selected item
    // False when the load could not read the file: the fields then hold defaults, not the
    // user's settings, and a save that would go ahead is refused instead.
    bool FileRead = true;
};

// Writes captions, engine slots 0 to 2 of every mode and the hotkey, in that order, to the
// settings file beside the registered band library. Writes nothing (and answers false) when the
// band library is not registered or the file may not be written (not on a fixed drive, or
// read-only). A write that the system refuses raises EIniFileException "<file> に書き込めません";
// what was written before it stays. Values whose load could not read the file raise the same,
// before any write.
bool SaveSettingsFile(const TSettingsToSave& values);
