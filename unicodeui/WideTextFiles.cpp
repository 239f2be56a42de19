// Text files of wide lists and the file stream that opens files by UTF-16 names.
#include "WideTextFiles.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "SysUtils.h"
#include "WideClasses.h"
#include "WideCodePages.h"

namespace {

HANDLE OpenWideFile(const std::wstring& fileName, uint32_t mode)
{
    if (mode == fmCreate) {
        HANDLE h = CreateFileByWideName(fileName);
        if (h == INVALID_HANDLE_VALUE) {
            throw EFCreateError(FormatText(L"ファイル %s を作成できませんでした", {fileName}));
        }
        return h;
    }
    HANDLE h = OpenFileByWideName(fileName, mode);
    if (h == INVALID_HANDLE_VALUE) throw EFOpenError(FormatText(L"ファイル %s は開けません", {fileName}));
    return h;
}

// What is left to read, as the count a single read takes. A position beyond the end leaves
// nothing; more than a 32-bit count can hold is refused rather than cut short, so that a load
// never silently drops the tail of a text.
int32_t RemainingCount(TStream& stream)
{
    const int64_t remaining = stream.Size() - stream.Position();
    if (remaining <= 0) return 0;
    if (remaining > INT32_MAX) throw EReadError(std::wstring(L"ストリームの読み込みエラー"));
    return static_cast<int32_t>(remaining);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// The file stream

KERVO_CLASS_RECORD(TWideFileStream) {}

TWideFileStream::TWideFileStream(const std::wstring& fileName, uint32_t mode)
    : THandleStream(OpenWideFile(fileName, mode))
{
}

TWideFileStream::~TWideFileStream()
{
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
}

// ---------------------------------------------------------------------------------------------
// Encoding recognition

int DetectStreamEncoding(TStream& stream)
{
    int64_t remaining = stream.Size() - stream.Position();
    if (remaining >= 2) {
        unsigned char mark[2];
        stream.ReadBuffer(mark, 2);
        if (mark[0] == 0xFF && mark[1] == 0xFE) return teUtf16LE;
        if (mark[0] == 0xFE && mark[1] == 0xFF) return teUtf16BE;
        stream.Seek(-2, TSeekOrigin::Current);
    }
    if (remaining >= 3) {
        unsigned char mark[3];
        stream.ReadBuffer(mark, 3);
        if (mark[0] == 0xEF && mark[1] == 0xBB && mark[2] == 0xBF) return teUtf8;
        stream.Seek(-3, TSeekOrigin::Current);
    }
    return teAnsi;
}

// ---------------------------------------------------------------------------------------------
// Loading and saving the lists

void TWideStrings::LoadFile(const std::wstring& fileName)
{
    TWideFileStream stream(fileName, fmOpenRead | fmShareDenyWrite);
    LoadStream(stream, true);
}

void TWideStrings::LoadStream(TStream& stream, bool detectEncoding)
{
    TWideUpdateBatch batch(*this);
    const int encoding = detectEncoding ? DetectStreamEncoding(stream) : teUtf16LE;

    std::string bytes(static_cast<size_t>(RemainingCount(stream)), '\0');
    stream.ReadBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));

    std::wstring text;
    switch (encoding) {
    case teUtf16LE:
    case teUtf16BE:
        // A final odd byte is no whole code unit and is dropped.
        text.resize(bytes.size() / 2);
        std::memcpy(text.data(), bytes.data(), text.size() * sizeof(wchar_t));
        if (encoding == teUtf16BE) SwapWideByteOrder(text.data());
        break;
    case teUtf8:
        text = DecodeUtf8(bytes);
        break;
    default:
        text = WideFromAnsi(bytes);
        break;
    }
    SplitText(text);
}

void TWideStrings::SaveFile(const std::wstring& fileName)
{
    TWideFileStream stream(fileName, fmCreate);
    SaveStream(stream, true);
}

void TWideStrings::SaveStream(TStream& stream, bool writeByteOrderMark)
{
    if (writeByteOrderMark) {
        static const unsigned char mark[2] = {0xFF, 0xFE};
        stream.WriteBuffer(mark, 2);
    }
    const std::wstring text = JoinedText();
    // Written in pieces so that no single count overflows a 32-bit byte count.
    constexpr size_t pieceUnits = 1u << 20;
    for (size_t done = 0; done < text.size(); done += pieceUnits) {
        const size_t units = std::min(pieceUnits, text.size() - done);
        stream.WriteBuffer(text.data() + done, static_cast<int32_t>(units * sizeof(wchar_t)));
    }
}
