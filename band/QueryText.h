#pragma once
// The text rules of a search and of a drop: what of the typed text counts as the query, how the
// query is escaped for the engine's URL, and what of a dropped text lands in the input box. Kept
// apart from the form so that the exact bytes of a search URL can be checked without windows.
#include <string>

// The query as typed, without the trailing U+0014 characters that some input methods leave at
// the end; blanks are part of the query and stay.
std::wstring TrimQueryTail(const std::wstring& text);

// Escapes the query's bytes in the system code page for a URL: letters, digits and
// ! $ ' ( ) * - . @ _ stay, the blank becomes "+", every other byte "%XX" (upper-case hex), so
// both bytes of a double-byte character are escaped one by one. Ends at a zero byte.
std::string EncodeQueryText(const std::string& ansi);

// The text before the first carriage return or line feed; all of it when it holds neither.
std::wstring FirstLine(const std::wstring& text);
