#include "WindowTree.h"

#include <algorithm>
#include <cstdio>

namespace bench {

namespace {

// The band form's timer ticks every 100 ms (its form resource).
constexpr UINT kTimerMs = 100;
constexpr UINT_PTR kTimerId = 1;

bool OfModule(HWND window, HMODULE module)
{
    return reinterpret_cast<HMODULE>(GetClassLongPtrW(window, GCLP_HMODULE)) == module;
}

BOOL CALLBACK CollectChild(HWND window, LPARAM into)
{
    reinterpret_cast<std::vector<HWND>*>(into)->push_back(window);
    return TRUE;
}

// The system class a band class is built on. RealGetWindowClass says it where the system keeps
// track; elsewhere (Wine) the class record tells: a class built on a system class copies its
// record (extra bytes, cursor, brush and style, but for the redraw and device-context bits).
std::wstring SystemClassOf(HWND window, const std::wstring& className)
{
    wchar_t real[256] = {};
    RealGetWindowClassW(window, real, 256);
    if (className != real) return real;
    constexpr UINT kIgnored = CS_VREDRAW | CS_HREDRAW | CS_OWNDC | CS_CLASSDC | CS_PARENTDC | CS_GLOBALCLASS;
    for (const wchar_t* name : {L"Button", L"ComboBox", L"Edit", L"ListBox", L"Static", L"ScrollBar"}) {
        WNDCLASSEXW c{};
        c.cbSize = sizeof c;
        if (!GetClassInfoExW(nullptr, name, &c)) continue;
        if (c.cbWndExtra == static_cast<int>(GetClassLongW(window, GCL_CBWNDEXTRA)) &&
            c.cbClsExtra == static_cast<int>(GetClassLongW(window, GCL_CBCLSEXTRA)) &&
            c.hCursor == reinterpret_cast<HCURSOR>(GetClassLongPtrW(window, GCLP_HCURSOR)) &&
            c.hbrBackground == reinterpret_cast<HBRUSH>(GetClassLongPtrW(window, GCLP_HBRBACKGROUND)) &&
            (c.style & ~kIgnored) == (GetClassLongW(window, GCL_STYLE) & ~kIgnored))
            return name;
    }
    return std::wstring();
}

std::string Narrow(const std::wstring& s)
{
    std::string out;
    for (wchar_t c : s) out += c < 0x80 ? static_cast<char>(c) : '?';
    return out;
}

}  // namespace

std::vector<HWND> MessageOnlyWindowsOf(HMODULE module)
{
    std::vector<HWND> found;
    for (HWND w = nullptr; (w = FindWindowExW(HWND_MESSAGE, w, nullptr, nullptr)) != nullptr;)
        if (GetWindowThreadProcessId(w, nullptr) == GetCurrentThreadId() && OfModule(w, module)) found.push_back(w);
    return found;
}

TWindowTree::TWindowTree(HWND form, HMODULE bandModule, const std::vector<HWND>& messageOnlyBefore)
{
    std::vector<HWND> windows{form};
    EnumChildWindows(form, &CollectChild, reinterpret_cast<LPARAM>(&windows));
    std::vector<HWND> recorded;
    auto record = [&](HWND w, int parent) {
        TNode node;
        wchar_t buf[256] = {};
        GetClassNameW(w, buf, 256);
        node.className = buf;
        node.systemClass = SystemClassOf(w, node.className);
        GetWindowTextW(w, buf, 256);
        node.text = buf;
        node.style = static_cast<DWORD>(GetWindowLongW(w, GWL_STYLE));
        node.exStyle = static_cast<DWORD>(GetWindowLongW(w, GWL_EXSTYLE));
        node.parent = parent;
        node.unicode = IsWindowUnicode(w) != FALSE;
        if (parent != -2) {
            GetWindowRect(w, &node.bounds);
            MapWindowPoints(nullptr, GetParent(w), reinterpret_cast<POINT*>(&node.bounds), 2);
        }
        if (HFONT f = reinterpret_cast<HFONT>(SendMessageW(w, WM_GETFONT, 0, 0)); f && !hasFont_)
            hasFont_ = GetObjectW(f, sizeof font_, &font_) == sizeof font_;
        if (!RegisterClassLike(w, node)) return;
        nodes_.push_back(node);
        recorded.push_back(w);
    };
    for (HWND w : windows) {
        if (!OfModule(w, bandModule)) continue;
        if (w == form) {
            record(w, -1);
            continue;
        }
        const auto parent = std::find(recorded.begin(), recorded.end(), GetParent(w));
        if (parent != recorded.end()) record(w, static_cast<int>(parent - recorded.begin()));
    }
    for (HWND w : MessageOnlyWindowsOf(bandModule))
        if (std::find(messageOnlyBefore.begin(), messageOnlyBefore.end(), w) == messageOnlyBefore.end()) record(w, -2);
}

TWindowTree::~TWindowTree()
{
    for (const std::wstring& name : registered_) UnregisterClassW(name.c_str(), GetModuleHandleW(nullptr));
}

bool TWindowTree::RegisterClassLike(HWND window, const TNode& node)
{
    if (std::find(registered_.begin(), registered_.end(), node.className) != registered_.end()) return true;
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW w{};
    w.cbSize = sizeof w;
    w.style = static_cast<UINT>(GetClassLongW(window, GCL_STYLE));
    w.cbClsExtra = static_cast<int>(GetClassLongW(window, GCL_CBCLSEXTRA));
    w.cbWndExtra = static_cast<int>(GetClassLongW(window, GCL_CBWNDEXTRA));
    w.hInstance = instance;
    w.hCursor = reinterpret_cast<HCURSOR>(GetClassLongPtrW(window, GCLP_HCURSOR));
    w.hbrBackground = reinterpret_cast<HBRUSH>(GetClassLongPtrW(window, GCLP_HBRBACKGROUND));
    w.lpszClassName = node.className.c_str();
    bool made;
    if (node.unicode) {
        WNDCLASSEXW system{};
        system.cbSize = sizeof system;
        w.lpfnWndProc = !node.systemClass.empty() && GetClassInfoExW(nullptr, node.systemClass.c_str(), &system)
                            ? system.lpfnWndProc
                            : DefWindowProcW;
        made = RegisterClassExW(&w) != 0;
    } else {
        const std::string name = Narrow(node.className), systemName = Narrow(node.systemClass);
        WNDCLASSEXA a{};
        a.cbSize = sizeof a;
        WNDCLASSEXA system{};
        system.cbSize = sizeof system;
        a.style = w.style;
        a.cbClsExtra = w.cbClsExtra;
        a.cbWndExtra = w.cbWndExtra;
        a.hInstance = instance;
        a.hCursor = w.hCursor;
        a.hbrBackground = w.hbrBackground;
        a.lpszClassName = name.c_str();
        a.lpfnWndProc = !systemName.empty() && GetClassInfoExA(nullptr, systemName.c_str(), &system)
                            ? system.lpfnWndProc
                            : DefWindowProcA;
        made = RegisterClassExA(&a) != 0;
    }
    if (made) registered_.push_back(node.className);
    return made;
}

std::string TWindowTree::Describe() const
{
    std::string out;
    char buf[64];
    for (const TNode& n : nodes_) {
        if (!out.empty()) out += "; ";
        out += Narrow(n.className);
        if (!n.systemClass.empty()) out += " [" + Narrow(n.systemClass) + "]";
        std::snprintf(buf, sizeof buf, " %08lX", static_cast<unsigned long>(n.style));
        out += buf;
        out += n.parent == -1 ? " < site" : n.parent == -2 ? " < message" : " < " + std::to_string(n.parent);
    }
    return out + (hasFont_ ? "; font" : "; no font");
}

void TWindowTree::MakeAndDestroy(HWND parent) const
{
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    const HFONT font = hasFont_ ? CreateFontIndirectW(&font_) : nullptr;
    std::vector<HWND> made(nodes_.size());
    for (size_t i = 0; i < nodes_.size(); ++i) {
        const TNode& n = nodes_[i];
        const HWND owner = n.parent >= 0 ? made[n.parent] : n.parent == -1 ? parent : HWND_MESSAGE;
        const RECT& r = n.bounds;
        if (n.unicode) {
            made[i] = CreateWindowExW(n.exStyle, n.className.c_str(), n.text.c_str(), n.style, r.left, r.top,
                                      r.right - r.left, r.bottom - r.top, owner, nullptr, instance, nullptr);
        } else {
            // ANSI text in the system code page, as the band's own windows carry it.
            char text[512] = {};
            WideCharToMultiByte(CP_ACP, 0, n.text.c_str(), -1, text, sizeof text - 1, nullptr, nullptr);
            made[i] = CreateWindowExA(n.exStyle, Narrow(n.className).c_str(), text, n.style, r.left, r.top,
                                      r.right - r.left, r.bottom - r.top, owner, nullptr, instance, nullptr);
        }
        if (n.parent == -2)
            SetTimer(made[i], kTimerId, kTimerMs, nullptr);
        else if (font)
            SendMessageW(made[i], WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
    for (size_t i = nodes_.size(); i-- > 0;) {
        if (nodes_[i].parent >= 0) continue;  // goes with its parent
        if (nodes_[i].parent == -2) KillTimer(made[i], kTimerId);
        DestroyWindow(made[i]);
    }
    if (font) DeleteObject(font);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

}  // namespace bench
