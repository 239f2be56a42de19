// Window procedures bound to objects: the generated stubs called directly, in numbers, freed and
// reused, and installed as the procedure of real windows that receive sent, posted and
// dispatched messages.
#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "Messages.h"
#include "ObjectInstance.h"
#include "SysUtils.h"

namespace {

struct Recorder {
    int id = 0;
    std::vector<TMessage> seen;
    LRESULT answer = 0;

    void Handle(TMessage& m)
    {
        seen.push_back(m);
        m.Result = answer ? answer : static_cast<LRESULT>(id);
    }
};

struct Base {
    virtual ~Base() = default;
    virtual void Handle(TMessage& m) { m.Result = 1; }
};

struct Derived : Base {
    void Handle(TMessage& m) override { m.Result = 2; }
    void Other(TMessage& m) { m.Result = 3; }
};

// Restores the hook of the program when a test ends.
class HookScope {
public:
    explicit HookScope(TStubExceptionHook hook) : previous_(SetStubExceptionHook(hook)) {}
    ~HookScope() { SetStubExceptionHook(previous_); }

private:
    TStubExceptionHook previous_;
};

LRESULT Call(WNDPROC p, UINT msg, WPARAM w, LPARAM l)
{
    return CallWindowProcW(p, nullptr, msg, w, l);
}

}  // namespace

TEST(WndMethod, ComparesByObjectAndProcedure)
{
    Derived a, b;
    const TWndMethod ma = TWndMethod::Bind<&Base::Handle>(&a);
    EXPECT_EQ(ma, TWndMethod::Bind<&Base::Handle>(&a));
    EXPECT_NE(ma, TWndMethod::Bind<&Base::Handle>(&b));
    EXPECT_EQ(ma.Code(), TWndMethod::Bind<&Base::Handle>(&b).Code());
    EXPECT_EQ(ma.Code(), TWndMethod::ProcedureOf<&Base::Handle>());
    // Bound through a base pointer or a derived one: the same procedure part.
    EXPECT_EQ(TWndMethod::Bind<&Base::Handle>(static_cast<Base*>(&a)), ma);
    EXPECT_NE(ma.Code(), TWndMethod::Bind<&Derived::Other>(&a).Code());
    EXPECT_FALSE(TWndMethod());
    EXPECT_TRUE(ma);

    // A virtual handler bound through the base still reaches the override.
    TMessage m{0, 0, 0, 0};
    ma(m);
    EXPECT_EQ(m.Result, 2);
    TWndMethod replaced = ma;
    replaced = TWndMethod::Bind<&Derived::Other>(&a);
    replaced(m);
    EXPECT_EQ(m.Result, 3);
}

TEST(ObjectInstance, StubPassesTheMessageAndReturnsItsResult)
{
    Recorder r;
    r.id = 7;
    WNDPROC p = MakeObjectInstance(TWndMethod::Bind<&Recorder::Handle>(&r));
    ASSERT_NE(p, nullptr);

    const WPARAM w = static_cast<WPARAM>(-2);  // all bits of the pointer-sized values travel
    const LPARAM l = static_cast<LPARAM>(sizeof(LPARAM) == 8 ? 0x1234567887654321LL : 0x12344321);
    EXPECT_EQ(Call(p, WM_APP + 5, w, l), 7);
    ASSERT_EQ(r.seen.size(), 1u);
    EXPECT_EQ(r.seen[0].Msg, static_cast<UINT>(WM_APP + 5));
    EXPECT_EQ(r.seen[0].WParam, w);
    EXPECT_EQ(r.seen[0].LParam, l);
    EXPECT_EQ(r.seen[0].Result, 0);  // the record starts with result 0

    r.answer = static_cast<LRESULT>(sizeof(LRESULT) == 8 ? -0x100000001LL : -5);
    EXPECT_EQ(Call(p, 1, 2, 3), r.answer);

    // Called directly as a function, many times: a stub that left the stack unbalanced would not
    // survive this.
    for (int i = 0; i < 10000; ++i) p(nullptr, WM_NULL, static_cast<WPARAM>(i), 0);
    EXPECT_EQ(r.seen.size(), 10002u);
    EXPECT_EQ(r.seen.back().WParam, 9999u);
    FreeObjectInstance(p);
}

TEST(ObjectInstance, ManyStubsEachReachTheirObjectAndFreedOnesAreReused)
{
    constexpr int Count = 600;  // several blocks
    std::vector<Recorder> objects(Count);
    std::vector<WNDPROC> stubs;
    for (int i = 0; i < Count; ++i) {
        objects[i].id = i + 1;
        stubs.push_back(MakeObjectInstance(TWndMethod::Bind<&Recorder::Handle>(&objects[i])));
    }
    EXPECT_EQ(std::set<WNDPROC>(stubs.begin(), stubs.end()).size(), size_t(Count));
    for (int i = Count - 1; i >= 0; --i) ASSERT_EQ(Call(stubs[i], WM_APP, 0, 0), i + 1);

    // Free every third one; the next requests get exactly those back, bound anew.
    std::set<WNDPROC> freed;
    for (int i = 0; i < Count; i += 3) {
        FreeObjectInstance(stubs[i]);
        freed.insert(stubs[i]);
    }
    Recorder other;
    other.id = -1;
    std::set<WNDPROC> again;
    for (size_t i = 0; i < freed.size(); ++i)
        again.insert(MakeObjectInstance(TWndMethod::Bind<&Recorder::Handle>(&other)));
    EXPECT_EQ(again, freed);
    for (WNDPROC p : again) EXPECT_EQ(Call(p, WM_APP, 0, 0), -1);
    for (int i = 1; i < Count; i += 3) EXPECT_EQ(Call(stubs[i], WM_APP, 0, 0), i + 1);

    for (WNDPROC p : again) FreeObjectInstance(p);
    for (int i = 0; i < Count; ++i)
        if (i % 3 != 0) FreeObjectInstance(stubs[i]);
}

TEST(ObjectInstance, BadFreesAreIgnoredAndAFreedStubReachesNobody)
{
    Recorder r;
    WNDPROC p = MakeObjectInstance(TWndMethod::Bind<&Recorder::Handle>(&r));
    FreeObjectInstance(p);
    FreeObjectInstance(p);  // twice: must not give the stub to two owners
    FreeObjectInstance(nullptr);
    FreeObjectInstance(reinterpret_cast<WNDPROC>(reinterpret_cast<char*>(p) + 1));
    FreeObjectInstance(reinterpret_cast<WNDPROC>(&DefWindowProcW));

    EXPECT_EQ(Call(p, WM_APP, 1, 1), 0);
    EXPECT_TRUE(r.seen.empty());

    WNDPROC a = MakeObjectInstance(TWndMethod::Bind<&Recorder::Handle>(&r));
    WNDPROC b = MakeObjectInstance(TWndMethod::Bind<&Recorder::Handle>(&r));
    EXPECT_NE(a, b);
    EXPECT_TRUE(a == p || b == p);
    FreeObjectInstance(a);
    FreeObjectInstance(b);
}

namespace {

std::vector<std::string> hookLog;

void RecordingHook(std::exception_ptr e)
{
    try {
        std::rethrow_exception(e);
    } catch (const Exception& x) {
        hookLog.push_back("Exception:" + x.Message());
    } catch (const std::exception& x) {
        hookLog.push_back(std::string("std:") + x.what());
    } catch (...) {
        hookLog.push_back("other");
    }
}

void ThrowingHook(std::exception_ptr) { throw std::runtime_error("hook"); }

struct Thrower {
    int kind = 0;
    void Handle(TMessage& m)
    {
        m.Result = 44;  // set before the error: the stub answers it
        if (kind == 0) throw Exception(L"窓の例外");
        if (kind == 1) throw std::runtime_error("plain");
        throw 5;
    }
};

}  // namespace

TEST(ObjectInstance, ExceptionsEndInTheHookAndNeverLeaveTheStub)
{
    Thrower t;
    WNDPROC p = MakeObjectInstance(TWndMethod::Bind<&Thrower::Handle>(&t));
    HWND w = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(w, nullptr);
    WNDPROC old = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(w, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(p)));

    // The default hook swallows.
    {
        HookScope scope(nullptr);
        EXPECT_EQ(SendMessageW(w, WM_APP, 0, 0), 44);
    }
    {
        HookScope scope(&RecordingHook);
        hookLog.clear();
        for (int kind = 0; kind < 3; ++kind) {
            t.kind = kind;
            // Through Windows' own frames: SendMessage into the window procedure.
            EXPECT_EQ(SendMessageW(w, WM_APP, 0, 0), 44);
        }
        ASSERT_EQ(hookLog.size(), 3u);
        EXPECT_EQ(hookLog[0], "Exception:" + AnsiFromWide(L"窓の例外"));
        EXPECT_EQ(hookLog[1], "std:plain");
        EXPECT_EQ(hookLog[2], "other");
    }
    {
        HookScope scope(&ThrowingHook);
        t.kind = 0;
        EXPECT_EQ(SendMessageW(w, WM_APP, 0, 0), 44);
    }
    EXPECT_EQ(SetStubExceptionHook(nullptr), nullptr);  // scopes restored the default

    SetWindowLongPtrW(w, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(old));
    DestroyWindow(w);
    FreeObjectInstance(p);
}

namespace {

// A window subclassed with a stub: records what arrives, passes everything on to the window's
// previous procedure, and takes itself out on WM_NCDESTROY, freeing its own stub mid-call.
struct Subclasser {
    HWND window = nullptr;
    WNDPROC stub = nullptr;
    WNDPROC previous = nullptr;
    std::vector<UINT> seen;
    int depth = 0;
    int maxDepth = 0;
    bool unicodeInstall = true;

    void Attach(HWND w, bool unicode)
    {
        window = w;
        unicodeInstall = unicode;
        stub = MakeObjectInstance(TWndMethod::Bind<&Subclasser::Handle>(this));
        LONG_PTR p = reinterpret_cast<LONG_PTR>(stub);
        previous = reinterpret_cast<WNDPROC>(unicode ? SetWindowLongPtrW(w, GWLP_WNDPROC, p)
                                                     : SetWindowLongPtrA(w, GWLP_WNDPROC, p));
    }

    void Handle(TMessage& m)
    {
        seen.push_back(m.Msg);
        ++depth;
        maxDepth = depth > maxDepth ? depth : maxDepth;
        if (m.Msg == WM_APP + 1) {
            m.Result = static_cast<LRESULT>(m.WParam + m.LParam);
        } else if (m.Msg == WM_APP + 2) {
            // Re-entered from inside a handler: the stub must be reentrant.
            m.Result = m.WParam == 0 ? 0 : 1 + SendMessageW(window, WM_APP + 2, m.WParam - 1, 0);
        } else {
            m.Result = unicodeInstall ? CallWindowProcW(previous, window, m.Msg, m.WParam, m.LParam)
                                      : CallWindowProcA(previous, window, m.Msg, m.WParam, m.LParam);
            if (m.Msg == WM_NCDESTROY) {
                SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
                FreeObjectInstance(stub);
                stub = nullptr;
            }
        }
        --depth;
    }
};

const wchar_t* const TestClassName = L"KervoStubTestWindow";

LRESULT CALLBACK PlainProc(HWND w, UINT m, WPARAM wp, LPARAM lp)
{
    if (m == WM_APP + 9) return 99;
    return DefWindowProcW(w, m, wp, lp);
}

void RegisterTestClass()
{
    WNDCLASSW wc{};
    wc.lpfnWndProc = &PlainProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = TestClassName;
    RegisterClassW(&wc);  // a second registration fails harmlessly
}

}  // namespace

TEST(ObjectInstance, SubclassedWindowsReceiveSentPostedAndDispatchedMessages)
{
    RegisterTestClass();
    HWND w = CreateWindowExW(0, TestClassName, L"t", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr,
                             nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(w, nullptr);
    Subclasser s;
    s.Attach(w, true);
    EXPECT_TRUE(IsWindowUnicode(w));

    EXPECT_EQ(SendMessageW(w, WM_APP + 1, 40, 2), 42);
    EXPECT_EQ(SendMessageW(w, WM_APP + 9, 0, 0), 99);  // passed on to the class's procedure
    EXPECT_EQ(SendMessageW(w, WM_APP + 2, 20, 0), 20);
    EXPECT_EQ(s.maxDepth, 21);

    // Text through the stub and the previous procedure.
    SetWindowTextW(w, L"検索");
    wchar_t buf[16] = {};
    GetWindowTextW(w, buf, 16);
    EXPECT_STREQ(buf, L"検索");

    // Posted, taken from the queue and dispatched.
    s.seen.clear();
    PostMessageW(w, WM_APP + 1, 1, 1);
    MSG msg;
    LRESULT dispatched = -1;
    while (PeekMessageW(&msg, w, WM_APP + 1, WM_APP + 1, PM_REMOVE)) dispatched = DispatchMessageW(&msg);
    EXPECT_EQ(dispatched, 2);
    ASSERT_FALSE(s.seen.empty());
    EXPECT_EQ(s.seen.front(), static_cast<UINT>(WM_APP + 1));

    // Destruction passes WM_DESTROY and WM_NCDESTROY; the handler frees its stub on the last.
    s.seen.clear();
    DestroyWindow(w);
    EXPECT_FALSE(IsWindow(w));
    ASSERT_GE(s.seen.size(), 2u);
    EXPECT_EQ(s.seen.back(), static_cast<UINT>(WM_NCDESTROY));
    EXPECT_NE(std::find(s.seen.begin(), s.seen.end(), static_cast<UINT>(WM_DESTROY)), s.seen.end());
    EXPECT_EQ(s.stub, nullptr);
}

TEST(ObjectInstance, ChildWindowsOfSystemClassesCanBeSubclassedAnsiOrWide)
{
    RegisterTestClass();
    HWND parent = CreateWindowExW(0, TestClassName, L"p", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100,
                                  nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(parent, nullptr);
    HWND editA = CreateWindowExA(0, "EDIT", "", WS_CHILD, 0, 0, 100, 20, parent, nullptr, nullptr, nullptr);
    HWND editW = CreateWindowExW(0, L"EDIT", L"", WS_CHILD, 0, 20, 100, 20, parent, nullptr, nullptr, nullptr);
    ASSERT_TRUE(editA && editW);

    Subclasser sa, sw;
    sa.Attach(editA, false);
    sw.Attach(editW, true);
    EXPECT_FALSE(IsWindowUnicode(editA));
    EXPECT_TRUE(IsWindowUnicode(editW));

    // Characters arrive as the window's kind expects them: one Shift-JIS byte pair or one UTF-16 unit.
    SendMessageW(editW, WM_CHAR, 0x3042, 0);  // あ
    wchar_t w[8] = {};
    GetWindowTextW(editW, w, 8);
    EXPECT_STREQ(w, L"あ");
    SendMessageA(editA, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("abc"));
    char a[8] = {};
    SendMessageA(editA, WM_GETTEXT, 8, reinterpret_cast<LPARAM>(a));
    EXPECT_STREQ(a, "abc");
    EXPECT_NE(std::find(sw.seen.begin(), sw.seen.end(), static_cast<UINT>(WM_CHAR)), sw.seen.end());

    DestroyWindow(parent);  // takes both children, whose handlers unhook and free their stubs
    EXPECT_EQ(sa.stub, nullptr);
    EXPECT_EQ(sw.stub, nullptr);
}
