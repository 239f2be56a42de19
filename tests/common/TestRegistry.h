#pragma once
// Registry probes shared by the tests and by the stand-in libraries they load (header only, so a
// test DLL needs nothing linked for it).
#include <windows.h>

#include <string>

namespace testenv {

inline bool KeyExists(HKEY root, const std::string& path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

// Creates the key and any missing keys above it; true when it exists afterwards.
inline bool CreateKeyPath(HKEY root, const std::string& path)
{
    HKEY key = nullptr;
    if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

}  // namespace testenv
