#pragma once
// The search band's windows made again by plain Win32 calls, without the band: the floor under
// a band's cycle that the platform sets. The tree is read off a hosted band (its form, the form's
// descendants of the band library's classes, and the library's message-only windows of this
// thread, the timer's); windows of the system's classes under them (the combo box's edit) are
// left out, as the control they sit in makes them itself. Each class is registered again under
// this program with the band class's style, extra bytes, cursor and brush, and with the
// procedure of the system class it is built on, else DefWindowProc.
#include <windows.h>

#include <string>
#include <vector>

namespace bench {

// The message-only windows of this thread whose classes the module registered.
std::vector<HWND> MessageOnlyWindowsOf(HMODULE module);

class TWindowTree {
public:
    // The tree of the band's form, as it stands (shown); of the module's message-only windows,
    // those that were not there before the band.
    TWindowTree(HWND form, HMODULE bandModule, const std::vector<HWND>& messageOnlyBefore);
    ~TWindowTree();  // the classes registered again go
    TWindowTree(const TWindowTree&) = delete;
    TWindowTree& operator=(const TWindowTree&) = delete;

    size_t Size() const { return nodes_.size(); }
    // "class [system class] < parent" per window, in the order made.
    std::string Describe() const;
    // Makes the tree under parent (a font like the band's given to every window, the timer set
    // on the message-only one), destroys it again and handles the messages that follows: once.
    void MakeAndDestroy(HWND parent) const;

private:
    struct TNode {
        std::wstring className, systemClass, text;
        DWORD style = 0, exStyle = 0;
        int parent = -1;  // index of an earlier node; -1 the form's parent; -2 message-only
        RECT bounds{};    // in the parent's client area
        bool unicode = false;
    };
    bool RegisterClassLike(HWND window, const TNode& node);

    std::vector<TNode> nodes_;
    std::vector<std::wstring> registered_;
    LOGFONTW font_{};
    bool hasFont_ = false;
};

}  // namespace bench
