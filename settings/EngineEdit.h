#pragma once
// What a confirmed engine editor does to a mode's engines: the editor shows the first three
// engines of one mode as three title/URL pairs, and its OK replaces the mode's whole list by the
// pairs the user left complete, followed by the built-in engines that are then missing.
#include <string>

#include "BandSettings.h"

// One pair of the editor as its two fields hold it.
struct TEditedEngine {
    std::wstring Title;
    std::wstring Url;
};

// Empties the mode's two lists, appends each pair whose title and URL are both non-empty and whose
// title (in the system code page) is not yet in the list without regard to case, then appends the
// missing built-in engines and pads all eight lists to three entries. Nothing is trimmed or
// checked: a title of blanks is a title.
void ReplaceModeEngines(TEngineLists& lists, TSearchMode mode, const TEditedEngine (&pairs)[kEngineSlots]);
