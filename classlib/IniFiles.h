#pragma once
// An INI file through the system's private-profile functions: text in the system code page,
// section and key names without regard to case, and every write on disk at once (no cache, no
// lock), so that other programs reading the same file see it straight away.
//
// The file is named wide, so a file in a folder whose name the code page cannot spell is reached
// (the ANSI functions would take the name best-fit and reach another file, or none). Sections,
// keys and values stay in the code page: they cross the wide functions through it, and the system
// keeps the file's own text as it was (an ANSI file stays ANSI, a new file is made ANSI).
#include <string>
#include <vector>

class TIniFile {
public:
    explicit TIniFile(const std::wstring& fileName) : fileName_(fileName) {}
    // A name in the code page: the file that the ANSI functions would reach by it.
    explicit TIniFile(const std::string& fileName);
    const std::wstring& FileName() const { return fileName_; }

    // Takes note of the sections the file holds now, in one read of the file (each read of a
    // value costs a look at the file under Wine). From then on, a read with an empty default from
    // a section that was not there answers the empty default without asking the system, which is
    // what the system would answer. For a burst of reads of a file that is read as a whole;
    // names the note cannot tell apart for certain leave every read going to the file.
    void NoteSections();

    // At most 2047 characters (the system's read buffer is 2048 with the terminator).
    std::string ReadString(const std::string& section, const std::string& key,
                           const std::string& def) const;
    // Decimal, or hexadecimal after "0x"/"0X" (with at least one digit); anything else is
    // no number and gives def.
    int ReadInteger(const std::string& section, const std::string& key, int def) const;
    // An integer; non-zero is true.
    bool ReadBool(const std::string& section, const std::string& key, bool def) const;

    // Writes what ReadString gives back: the value without its line breaks (CR, LF), cut to at
    // most 2047 bytes between two characters, and, when its first or last character is a blank,
    // a control character, a quote or the ideographic space, inside one pair of double quotes
    // (the text within then cut to 2045 bytes). Other values are written as they are.
    // A refused write raises EIniFileException "<file> に書き込めません".
    void WriteString(const std::string& section, const std::string& key, const std::string& value);
    void WriteInteger(const std::string& section, const std::string& key, int value);
    void WriteBool(const std::string& section, const std::string& key, bool value);
    // What a refused write raises, for a save that must not go ahead and must say so.
    [[noreturn]] void RaiseWriteRefused() const;

private:
    bool NotedAbsent(const std::string& section) const;

    std::wstring fileName_;
    bool sectionsNoted_ = false;
    std::vector<std::string> sections_;  // in upper case, ASCII only
};
