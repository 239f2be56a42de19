#pragma once
// Streams: the byte streams under form resources, files and resources.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "Classes.h"

enum class TSeekOrigin { Beginning, Current, End };

// File modes: fmCreate creates (or empties) the file; any other value opens it, the access in the
// low bits and the sharing above them.
constexpr uint32_t fmCreate = 0xFFFF;
constexpr uint32_t fmOpenRead = 0x0000;
constexpr uint32_t fmOpenWrite = 0x0001;
constexpr uint32_t fmOpenReadWrite = 0x0002;
constexpr uint32_t fmShareCompat = 0x0000;
constexpr uint32_t fmShareExclusive = 0x0010;
constexpr uint32_t fmShareDenyWrite = 0x0020;
constexpr uint32_t fmShareDenyRead = 0x0030;
constexpr uint32_t fmShareDenyNone = 0x0040;

class TStream : public TObject {
    KERVO_CLASS(TStream, TObject)
public:
    // Read and Write move up to count bytes and answer how many moved (0 at the end or on error).
    virtual int32_t Read(void* buffer, int32_t count) = 0;
    virtual int32_t Write(const void* buffer, int32_t count) = 0;
    virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;

    int64_t Position() { return Seek(0, TSeekOrigin::Current); }
    void SetPosition(int64_t position) { Seek(position, TSeekOrigin::Beginning); }
    virtual int64_t Size();
    virtual void SetSize(int64_t size);

    // The whole count or EReadError / EWriteError.
    void ReadBuffer(void* buffer, int32_t count);
    void WriteBuffer(const void* buffer, int32_t count);
    // Copies count bytes from the source's position (0: the whole source from its start);
    // answers the count copied.
    int64_t CopyFrom(TStream& source, int64_t count);
};

// A stream over a block of memory it does not own; the base of memory and resource streams.
class TCustomMemoryStream : public TStream {
    KERVO_CLASS(TCustomMemoryStream, TStream)
public:
    int32_t Read(void* buffer, int32_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    int64_t Size() override { return size_; }
    const void* Memory() const { return memory_; }

protected:
    void SetPointer(const void* memory, int64_t size);
    int64_t position_ = 0;

private:
    const void* memory_ = nullptr;
    int64_t size_ = 0;
};

class TMemoryStream : public TCustomMemoryStream {
    KERVO_CLASS(TMemoryStream, TCustomMemoryStream)
public:
    TMemoryStream() = default;
    explicit TMemoryStream(const std::string& bytes);  // a copy of the bytes, at position 0

    int32_t Write(const void* buffer, int32_t count) override;
    void SetSize(int64_t size) override;
    void Clear();
    std::string Bytes() const;  // the whole content

private:
    std::vector<char> data_;
};

// A stream over an operating-system file handle, which it does not close.
class THandleStream : public TStream {
    KERVO_CLASS(THandleStream, TStream)
public:
    explicit THandleStream(HANDLE handle) : handle_(handle) {}
    HANDLE Handle() const { return handle_; }

    int32_t Read(void* buffer, int32_t count) override;
    int32_t Write(const void* buffer, int32_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    void SetSize(int64_t size) override;

protected:
    HANDLE handle_;
};

// CreateFile parameters of a file mode (fmCreate or open mode with sharing).
struct TFileModeFlags {
    DWORD Access;
    DWORD Share;
    DWORD Disposition;
};
TFileModeFlags FileModeFlags(uint32_t mode);

// A file opened by its ANSI name; closes its handle. Failing to create raises EFCreateError
// "ファイル %s を作成できませんでした", failing to open EFOpenError "ファイル %s は開けません".
class TFileStream : public THandleStream {
    KERVO_CLASS(TFileStream, THandleStream)
public:
    TFileStream(const std::string& fileName, uint32_t mode);
    ~TFileStream() override;
    const std::string& FileName() const { return fileName_; }

private:
    std::string fileName_;
};

// A resource of a module, read-only. A missing resource raises EResNotFound.
class TResourceStream : public TCustomMemoryStream {
    KERVO_CLASS(TResourceStream, TCustomMemoryStream)
public:
    TResourceStream(HINSTANCE module, const std::string& name, const char* type);
    int32_t Write(const void* buffer, int32_t count) override;
};

// The module this code is linked into (the DLL for code inside kervodll).
HINSTANCE CurrentModuleInstance();
