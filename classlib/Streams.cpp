#include "Streams.h"

#include <algorithm>
#include <cstring>

// ---------------------------------------------------------------------------------------------
// TStream

KERVO_CLASS_RECORD(TStream) {}

int64_t TStream::Size()
{
    const int64_t position = Seek(0, TSeekOrigin::Current);
    const int64_t size = Seek(0, TSeekOrigin::End);
    Seek(position, TSeekOrigin::Beginning);
    return size;
}

void TStream::SetSize(int64_t)
{
    throw EStreamError(std::wstring(L"このストリームのサイズは変更できません"));
}

void TStream::ReadBuffer(void* buffer, int32_t count)
{
    if (count < 0 || (count > 0 && Read(buffer, count) != count)) {
        throw EReadError(std::wstring(L"ストリームの読み込みエラー"));
    }
}

void TStream::WriteBuffer(const void* buffer, int32_t count)
{
    if (count < 0 || (count > 0 && Write(buffer, count) != count)) {
        throw EWriteError(std::wstring(L"ストリームの書き込みエラー"));
    }
}

int64_t TStream::CopyFrom(TStream& source, int64_t count)
{
    if (count == 0) {
        source.SetPosition(0);
        count = source.Size();
    }
    std::vector<char> buffer(static_cast<size_t>(std::min<int64_t>(count, 0x10000)) + 1);
    int64_t left = count;
    while (left > 0) {
        const int32_t n = static_cast<int32_t>(std::min<int64_t>(left, static_cast<int64_t>(buffer.size())));
        source.ReadBuffer(buffer.data(), n);
        WriteBuffer(buffer.data(), n);
        left -= n;
    }
    return count;
}

// ---------------------------------------------------------------------------------------------
// Memory streams

KERVO_CLASS_RECORD(TCustomMemoryStream) {}

void TCustomMemoryStream::SetPointer(const void* memory, int64_t size)
{
    memory_ = memory;
    size_ = size;
}

int32_t TCustomMemoryStream::Read(void* buffer, int32_t count)
{
    if (count <= 0 || position_ < 0 || position_ >= size_) return 0;
    const int64_t n = std::min<int64_t>(count, size_ - position_);
    std::memcpy(buffer, static_cast<const char*>(memory_) + position_, static_cast<size_t>(n));
    position_ += n;
    return static_cast<int32_t>(n);
}

int64_t TCustomMemoryStream::Seek(int64_t offset, TSeekOrigin origin)
{
    int64_t base = origin == TSeekOrigin::Beginning ? 0 : origin == TSeekOrigin::Current ? position_ : size_;
    int64_t target = base + offset;
    if (target < 0) throw EStreamError(std::wstring(L"ストリームの位置が無効です"));
    position_ = target;
    return position_;
}

KERVO_CLASS_RECORD(TMemoryStream) {}

TMemoryStream::TMemoryStream(const std::string& bytes) : data_(bytes.begin(), bytes.end())
{
    SetPointer(data_.data(), static_cast<int64_t>(data_.size()));
}

int32_t TMemoryStream::Write(const void* buffer, int32_t count)
{
    if (count <= 0 || position_ < 0) return 0;
    const int64_t end = position_ + count;
    if (end > static_cast<int64_t>(data_.size())) {
        data_.resize(static_cast<size_t>(end));
        SetPointer(data_.data(), end);
    }
    std::memcpy(data_.data() + position_, buffer, static_cast<size_t>(count));
    position_ = end;
    return count;
}

void TMemoryStream::SetSize(int64_t size)
{
    if (size < 0) throw EStreamError(std::wstring(L"ストリームのサイズが無効です"));
    data_.resize(static_cast<size_t>(size));
    SetPointer(data_.data(), size);
    if (position_ > size) position_ = size;
}

void TMemoryStream::Clear() { SetSize(0); }

std::string TMemoryStream::Bytes() const { return std::string(data_.begin(), data_.end()); }

// ---------------------------------------------------------------------------------------------
// Handle and file streams

KERVO_CLASS_RECORD(THandleStream) {}

int32_t THandleStream::Read(void* buffer, int32_t count)
{
    if (count <= 0) return 0;
    DWORD got = 0;
    if (!ReadFile(handle_, buffer, static_cast<DWORD>(count), &got, nullptr)) return 0;
    return static_cast<int32_t>(got);
}

int32_t THandleStream::Write(const void* buffer, int32_t count)
{
    if (count <= 0) return 0;
    DWORD put = 0;
    if (!WriteFile(handle_, buffer, static_cast<DWORD>(count), &put, nullptr)) return 0;
    return static_cast<int32_t>(put);
}

int64_t THandleStream::Seek(int64_t offset, TSeekOrigin origin)
{
    static const DWORD methods[] = {FILE_BEGIN, FILE_CURRENT, FILE_END};
    LARGE_INTEGER distance;
    distance.QuadPart = offset;
    LARGE_INTEGER result;
    if (!SetFilePointerEx(handle_, distance, &result, methods[static_cast<int>(origin)])) {
        RaiseLastOSError();
    }
    return result.QuadPart;
}

void THandleStream::SetSize(int64_t size)
{
    Seek(size, TSeekOrigin::Beginning);
    if (!SetEndOfFile(handle_)) RaiseLastOSError();
}

TFileModeFlags FileModeFlags(uint32_t mode)
{
    if (mode == fmCreate) return {GENERIC_READ | GENERIC_WRITE, 0, CREATE_ALWAYS};
    static const DWORD access[] = {GENERIC_READ, GENERIC_WRITE, GENERIC_READ | GENERIC_WRITE,
                                   GENERIC_READ | GENERIC_WRITE};
    // Compatibility sharing is exclusive, as it has always been on this platform.
    static const DWORD share[] = {0, 0, FILE_SHARE_READ, FILE_SHARE_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE};
    const uint32_t s = (mode & 0xF0) >> 4;
    return {access[mode & 3], s < 5 ? share[s] : 0, OPEN_EXISTING};
}

namespace {
HANDLE OpenFileByMode(const std::string& fileName, uint32_t mode)
{
    const TFileModeFlags f = FileModeFlags(mode);
    HANDLE h = CreateFileA(fileName.c_str(), f.Access, f.Share, nullptr, f.Disposition, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        if (mode == fmCreate) {
            throw EFCreateError(FormatText(L"ファイル %s を作成できませんでした", {WideFromAnsi(fileName)}));
        }
        throw EFOpenError(FormatText(L"ファイル %s は開けません", {WideFromAnsi(fileName)}));
    }
    return h;
}
}  // namespace

KERVO_CLASS_RECORD(TFileStream) {}

TFileStream::TFileStream(const std::string& fileName, uint32_t mode)
    : THandleStream(OpenFileByMode(fileName, mode)), fileName_(fileName)
{
}

TFileStream::~TFileStream()
{
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
}

// ---------------------------------------------------------------------------------------------
// Resource streams

KERVO_CLASS_RECORD(TResourceStream) {}

TResourceStream::TResourceStream(HINSTANCE module, const std::string& name, const char* type)
{
    HRSRC info = FindResourceA(module, name.c_str(), type);
    HGLOBAL data = info ? LoadResource(module, info) : nullptr;
    const void* memory = data ? LockResource(data) : nullptr;
    if (!memory) throw EResNotFound(FormatText(L"リソース %s が見つかりません", {WideFromAnsi(name)}));
    SetPointer(memory, SizeofResource(module, info));
}

int32_t TResourceStream::Write(const void*, int32_t)
{
    throw EStreamError(std::wstring(L"リソース ストリームには書き込めません"));
}

extern "C" IMAGE_DOS_HEADER __ImageBase;

HINSTANCE CurrentModuleInstance() { return reinterpret_cast<HINSTANCE>(&__ImageBase); }
