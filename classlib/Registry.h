#pragma once
// Registry access by key path, one open key at a time: what the settings lookup, the COM
// registration and the installer's cache clearing need. Text is ANSI (system code page), but for
// the one wide read of a value.
#include <windows.h>

#include <string>

class TRegistry {
public:
    // Root HKEY_CURRENT_USER, no key open; keys are opened and created with the given access.
    explicit TRegistry(REGSAM access = KEY_ALL_ACCESS);
    ~TRegistry();
    TRegistry(const TRegistry&) = delete;
    TRegistry& operator=(const TRegistry&) = delete;

    HKEY RootKey() const { return root_; }
    // Closes the current key: a key handle of the old root means nothing under the new one.
    void SetRootKey(HKEY root);
    HKEY CurrentKey() const { return current_; }  // 0 while no key is open
    REGSAM Access() const { return access_; }
    void SetAccess(REGSAM access) { access_ = access; }

    // A path is taken relative to the current key when one is open, else to the root; a leading
    // '\' always starts at the root. On success the opened key becomes the current key (the
    // previous one is closed); on failure nothing changes.
    bool OpenKey(const std::string& key, bool canCreate);
    // As OpenKey without creating, asking for reading only (standard users may read keys they
    // may not change).
    bool OpenKeyReadOnly(const std::string& key);
    void CloseKey();

    // These leave the current key as it is.
    bool KeyExists(const std::string& key);
    // Removes the key with everything below it. A missing key answers false and raises nothing.
    bool DeleteKey(const std::string& key);

    // Values of the current key; "" names the key's default value.
    bool ValueExists(const std::string& name);
    // An absent value, a value that is no string or no open key: "".
    std::string ReadString(const std::string& name);
    // The same, as the system holds it (UTF-16): for text the code page may not spell, a path.
    std::wstring ReadWideString(const std::string& name);
    // Writes a REG_SZ value; a refused write (or no open key) raises ERegistryException.
    void WriteString(const std::string& name, const std::string& value);

private:
    // The key a path starts from, and the path with its leading '\' taken off.
    HKEY BaseKeyOf(const std::string& key, std::string& rest) const;
    void ChangeKey(HKEY key);
    bool Open(const std::string& key, REGSAM access, bool canCreate);

    HKEY root_ = HKEY_CURRENT_USER;
    HKEY current_ = nullptr;
    REGSAM access_;
};
