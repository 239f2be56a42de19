#pragma once
// An INI file through the system's private-profile functions: text in the system code page,
// section and key names without regard to case, and every write on disk at once (no cache, no
// lock), so that other programs reading the same file see it straight away.
#include <string>

class TIniFile {
public:
    explicit TIniFile(const std::string& fileName) : fileName_(fileName) {}
    const std::string& FileName() const { return fileName_; }

    // At most 2047 characters (the system's read buffer is 2048 with the terminator).
    std::string ReadString(const std::string& section, const std::string& key,
                           const std::string& def) const;
    // Decimal, or hexadecimal after "0x"/"0X" (with at least one digit); anything else is
    // no number and gives def.
    int ReadInteger(const std::string& section, const std::string& key, int def) const;
    // An integer; non-zero is true.
    bool ReadBool(const std::string& section, const std::string& key, bool def) const;

    // A refused write raises EIniFileException "<file> に書き込めません".
    void WriteString(const std::string& section, const std::string& key, const std::string& value);
    void WriteInteger(const std::string& section, const std::string& key, int value);
    void WriteBool(const std::string& section, const std::string& key, bool value);

private:
    std::string fileName_;
};
