#pragma once
// String-table entries and resource-string records as UTF-16 text on every platform.
#include <windows.h>

#include <string>

#include "ResStrings.h"

// LoadStringW on the Unicode platform, else LoadStringFromTable. Answers the code units written
// (without the terminator). A null buffer or a size of 0 or less asks for the entry's length.
int LoadStringWide(HINSTANCE instance, UINT id, wchar_t* buffer, int bufferSize);
// Reads the entry from the string-table block itself: at most bufferSize - 1 code units and a
// terminator. A missing block or entry answers 0 and leaves the buffer untouched.
int LoadStringFromTable(HINSTANCE instance, UINT id, wchar_t* buffer, int bufferSize);
// A name that carries a 16-bit integer identifier instead of pointing at text.
bool IsResourceNumber(const void* name);
// The text of a record: a string-table entry (at most 4096 code units), or the record's own
// text, decoded as UTF-8 when it begins with the bytes EF BB BF, else through the conversion
// code page. No record gives the empty text.
std::wstring LoadWideResString(const TResStringRec* record);
