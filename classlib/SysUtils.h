#pragma once
// Exceptions of the class library and the few string helpers everything else uses.
// ANSI text is std::string in the system code page; wide text is std::wstring (UTF-16).
// Messages are written wide in the code and converted when the exception is made, so the
// message box and the callers see the system code page, as every other ANSI text.
#include <windows.h>

#include <exception>
#include <string>

static_assert(sizeof(wchar_t) == 2, "wide text is UTF-16");

// Bytes of a code page <-> UTF-16: the one conversion that the others are made of. What the
// code page cannot hold becomes its default character.
std::string ConvertFromWide(const std::wstring& text, UINT codePage);
std::wstring ConvertToWide(const std::string& bytes, UINT codePage);

// ANSI <-> UTF-16 through the system's ANSI code page (CP_ACP).
std::string AnsiFromWide(const std::wstring& text);
std::wstring WideFromAnsi(const std::string& text);

// Replaces each "%s" and "%d" in order with the next argument; "%%" gives "%".
// Arguments are already text (use std::to_string for numbers).
std::wstring FormatText(const std::wstring& format, std::initializer_list<std::wstring> args);

// The full path of a module's file (nullptr: the program's), wide: a folder name the code page
// cannot spell comes back as it is. "" when the system cannot tell it.
std::wstring ModuleFileName(HMODULE module);
// Whether size bytes from p lie in committed memory of this process that may be read: for a
// pointer that another thread or program may have sent.
bool IsReadableMemory(const void* p, size_t size);
// Everything up to and including the last backslash or colon of a path ("" when there is none):
// the folder of a file, as a module's path names it.
std::wstring ExtractFolder(const std::wstring& path);
// The file's name without its folder and its extension ("kervodll" of "C:\x\kervodll.dll").
// Wide, so that no byte of a double-byte character is taken for a backslash.
std::wstring ExtractBaseName(const std::wstring& path);

class Exception : public std::exception {
public:
    explicit Exception(const std::string& message) : message_(message) {}
    explicit Exception(const std::wstring& message) : message_(AnsiFromWide(message)) {}
    const std::string& Message() const { return message_; }
    void SetMessage(const std::string& m) { message_ = m; }
    const char* what() const noexcept override { return message_.c_str(); }

private:
    std::string message_;
};

// Declares an exception class that takes its message as it stands.
#define KERVO_EXCEPTION(Name, Base)             \
    class Name : public Base {                  \
    public:                                     \
        using Base::Base;                       \
    };

KERVO_EXCEPTION(EAbstractError, Exception)      // "Abstract エラー"
KERVO_EXCEPTION(EConvertError, Exception)
KERVO_EXCEPTION(EInvalidCast, Exception)
KERVO_EXCEPTION(EIntOverflow, Exception)      // "整数オーバーフロー"
KERVO_EXCEPTION(EOutOfResources, Exception)     // RaiseInsertLineError
KERVO_EXCEPTION(EStringListError, Exception)
KERVO_EXCEPTION(EStreamError, Exception)
KERVO_EXCEPTION(EFCreateError, EStreamError)    // "ファイル %s を作成できませんでした"
KERVO_EXCEPTION(EFOpenError, EStreamError)      // "ファイル %s は開けません"
KERVO_EXCEPTION(EReadError, EStreamError)
KERVO_EXCEPTION(EWriteError, EStreamError)
KERVO_EXCEPTION(EResNotFound, Exception)
KERVO_EXCEPTION(EIniFileException, Exception)   // "%s に書き込めません"
KERVO_EXCEPTION(ERegistryException, Exception)  // "システム レジストリ に書き込めません"

class EOSError : public Exception {
public:
    EOSError(const std::string& message, DWORD code) : Exception(message), code_(code) {}
    DWORD ErrorCode() const { return code_; }

private:
    DWORD code_;
};

// Raises EOSError for the code: "システムエラー。コード：%d." + line break + the system's text,
// or "OS 機能呼び出しの失敗" when the code is 0.
[[noreturn]] void RaiseLastOSError(DWORD code);
[[noreturn]] inline void RaiseLastOSError() { RaiseLastOSError(GetLastError()); }

// The standard texts of the list errors (index, sorted list, duplicates) and of a list control
// that refuses an item. Each text lives here only; the Unicode layer keeps its resource-string
// records of the same texts over these.
inline constexpr wchar_t kListIndexErrorText[] = L"リストのインデックスが範囲を超えています (%d)";
inline constexpr wchar_t kSortedListErrorText[] = L"ソートされる文字列リストに対しては許されない動作です";
inline constexpr wchar_t kDuplicateStringErrorText[] = L"文字列リストは重複を許しません";
inline constexpr wchar_t kInsertLineErrorText[] = L"行を挿入できません";
std::wstring ListIndexErrorText(int index);        // kListIndexErrorText with the index
std::wstring SortedListErrorText();
std::wstring DuplicateStringErrorText();
// EOutOfResources with kInsertLineErrorText: a list control refused an item.
[[noreturn]] void RaiseInsertLineError();
