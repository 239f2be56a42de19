#pragma once
// Text files of wide lists: a file stream opened by a UTF-16 name, and the recognition of a
// text's encoding by its byte-order mark. The list operations themselves (LoadFile, LoadStream,
// SaveFile, SaveStream) are members of TWideStrings.
#include <windows.h>

#include <cstdint>
#include <string>

#include "Streams.h"

// Encodings as DetectStreamEncoding answers them.
enum TTextEncoding : int {
    teAnsi = 0,      // the system ANSI code page, no mark
    teUtf16LE = 1,   // FF FE
    teUtf16BE = 2,   // FE FF
    teUtf8 = 3,      // EF BB BF
};

// Looks for a byte-order mark at the stream's position. A mark that is found stays read;
// otherwise the position is left where it was.
int DetectStreamEncoding(TStream& stream);

// A file named in UTF-16. fmCreate creates (or empties) it; any other mode opens an existing
// file with that access and sharing. Failing to create raises EFCreateError, failing to open
// EFOpenError, each naming the file. Closes its handle.
class TWideFileStream : public THandleStream {
    KERVO_CLASS(TWideFileStream, THandleStream)
public:
    TWideFileStream(const std::wstring& fileName, uint32_t mode);
    ~TWideFileStream() override;
    TWideFileStream(const TWideFileStream&) = delete;
    TWideFileStream& operator=(const TWideFileStream&) = delete;
};
