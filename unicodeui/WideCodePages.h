#pragma once
// The ground floor of the Unicode layer: which platform we are on, zero-terminated UTF-16
// buffers, files opened by UTF-16 names, UTF-8 and UTF-7 codecs, and conversions between UTF-16
// and byte strings of a given code page.
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "SysUtils.h"

// Set once before any other code of the layer runs (before ordinary static initialisers).
// True on the Windows NT family: the layer then calls the wide ("W") functions; otherwise the
// ANSI ones with converted text.
extern bool UnicodePlatform;
// Windows XP (5.1) or later.
extern bool XPOrLaterPlatform;
// The code page of conversions that are given none: the system ANSI code page (CP_ACP), the one
// of the class library (AnsiFromWide, WideFromAnsi) and of Windows' ANSI functions. Every implicit
// conversion of the layer goes through it, so that an ANSI partner the class library or an ANSI
// window made converts back the way it was made; the thread's code page may differ from it
// (a user locale other than the system locale) and would garble those partners.
extern const UINT ConversionCodePage;

// Zero-terminated UTF-16 buffers.
wchar_t* WideCharsEnd(const wchar_t* text);
size_t WideCharsLength(const wchar_t* text);
// Copies n code units; the ranges may overlap.
wchar_t* WideCharsCopy(wchar_t* destination, const wchar_t* source, size_t n);
// A buffer of n code units in a block of 2n + 4 bytes whose first 4 bytes hold the block size.
// Release it with WideCharsFree only.
wchar_t* WideCharsAllocate(size_t n);
// nullptr for nullptr, else a new buffer holding the text and its terminator.
wchar_t* WideCharsDuplicate(const wchar_t* text);
void WideCharsFree(wchar_t* buffer);
// The size in bytes recorded in the block of a buffer from WideCharsAllocate.
uint32_t WideCharsBlockSize(const wchar_t* buffer);

// Files named in UTF-16; INVALID_HANDLE_VALUE on failure, never an exception.
HANDLE CreateFileWideOrAnsi(const std::wstring& name, DWORD access, DWORD shareMode,
                            SECURITY_ATTRIBUTES* security, DWORD disposition, DWORD flags,
                            HANDLE templateFile);
// Read and write, no sharing, replacing any file of the name.
HANDLE CreateFileByWideName(const std::wstring& name);
// An existing file in one of the class library's file modes: access in bits 0-1 (0 read,
// 1 write, 2 both), sharing in bits 4-7 (0/1 exclusive, 2 deny write, 3 deny read, 4 deny none).
// Other access or sharing parts are refused (ERROR_INVALID_PARAMETER).
HANDLE OpenFileByWideName(const std::wstring& name, unsigned mode);

// A non-zero result passes through; zero raises the operating-system error of GetLastError.
template <typename T>
T CheckOsResult(T value)
{
    if (!value) RaiseLastOSError();
    return value;
}

// UTF-8, one UTF-16 code unit at a time (a surrogate pair gives two three-byte sequences).
// Malformed input decodes to the empty text.
std::string EncodeUtf8(const std::wstring& text);
std::wstring DecodeUtf8(const std::string& bytes);

// UTF-7 block codecs. Both advance the start positions to where they stopped.
enum : int { kUtf7Ok = 0, kUtf7Invalid = 1, kUtf7TargetFull = 2 };
// optional: the optional direct characters (! " # ...) are written directly.
// explicitEnd: every base64 run is closed with "-".
int EncodeUtf7Block(const wchar_t*& source, const wchar_t* sourceEnd, char*& target,
                    char* targetEnd, bool optional, bool explicitEnd);
int DecodeUtf7Block(const char*& source, const char* sourceEnd, wchar_t*& target,
                    wchar_t* targetEnd);
// Whole texts; failures raise Exception "Invalid UTF7" or "Buffer overflow".
std::string EncodeUtf7(const std::wstring& text);
std::wstring DecodeUtf7(const std::string& bytes);

// 65000 UTF-7, 65001 UTF-8, any other code page through the system.
std::wstring WideFromCodePage(const std::string& bytes, UINT codePage);
std::string WideToCodePage(const std::wstring& text, UINT codePage);

// Big-endian UTF-16 to little-endian and back, in place, up to the terminating zero.
void SwapWideByteOrder(wchar_t* text);
