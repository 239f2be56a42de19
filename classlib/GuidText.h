#pragma once
// GUIDs as text: the braced, upper-case form that names registry keys ("{820DFB52-B00B-...}").
#include <windows.h>

#include <string>

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper-case hexadecimal digits.
std::string GUIDToString(const GUID& guid);

// Reads the braced form (hexadecimal digits of either case). Anything else, blanks around it
// included, raises EConvertError.
GUID StringToGUID(const std::string& text);
