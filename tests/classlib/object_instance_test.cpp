// Window procedures bound to objects: the generated stubs called directly, in numbers, freed and
// reused, and installed as the procedure of a real window that receives sent, posted and
// dispatched messages.
#include <windows.h>
#include <gtest/gtest.h>

#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "Messages.h"
#include "ObjectInstance.h"
#include "SysUtils.h"

namespace {

struct Recorder {
    LRESULT answer = 0;
    std::vector<TMessage> seen;
    void Handle(TMessage& m)
    {
        seen.push_back(m);
        m.Result = answer;
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

LRESULT Call(WNDPROC p, UINT msg, WPARAM w = 0, LPARAM l = 0)
{
    return CallWindowProcW(p, nullptr, msg, w, l);
}

WNDPROC StubFor(Recorder& r)
{
    return MakeObjectInstance(TWndMethod::Bind<&Recorder::Handle>(&r));
}

}  // namespace

TEST(WndMethod, ComparesByObjectAndProcedure)
{
    Derived a, b;
    const TWndMethod ma = TWndMethod::Bind<&Base::Handle>(&a);
    EXPECT_EQ(ma, TWndMethod::Bind<&Base::Handle>(static_cast<Base*>(&a)));
    EXPECT_NE(ma, TWndMethod::Bind<&Base::Handle>(&b));
    EXPECT_EQ(ma.Code(), TWndMethod::ProcedureOf<&Base::Handle>());  // whatever the object
    EXPECT_NE(ma.Code(), TWndMethod::ProcedureOf<&Derived::Other>());
    EXPECT_FALSE(TWndMethod());

    TMessage m{0, 0, 0, 0};
    ma(m);
    EXPECT_EQ(m.Result, 2);  // bound through the base, the override runs
    TWndMethod replaced = ma;
    replaced = TWndMethod::Bind<&Derived::Other>(&a);
    replaced(m);
    EXPECT_EQ(m.Result, 3);
}

TEST(ObjectInstance, StubPassesTheMessageAndReturnsItsResult)
{
    Recorder r;
    WNDPROC p = StubFor(r);
    ASSERT_NE(p, nullptr);

    // Every bit of the pointer-sized values travels, both ways.
    const WPARAM w = static_cast<WPARAM>(-2);
    const LPARAM l = static_cast<LPARAM>(sizeof(LPARAM) == 8 ? 0x1234567887654321LL : 0x12344321);
    r.answer = static_cast<LRESULT>(sizeof(LRESULT) == 8 ? -0x100000001LL : -5);
    EXPECT_EQ(Call(p, WM_APP + 5, w, l), r.answer);
    ASSERT_EQ(r.seen.size(), 1u);
    EXPECT_EQ(r.seen[0].Msg, static_cast<UINT>(WM_APP + 5));
    EXPECT_EQ(r.seen[0].WParam, w);
    EXPECT_EQ(r.seen[0].LParam, l);
    EXPECT_EQ(r.seen[0].Result, 0);  // the record starts with result 0

    // Called directly, many times: a stub that left the stack unbalanced would not survive this.
    for (int i = 0; i < 10000; ++i) p(nullptr, WM_NULL, static_cast<WPARAM>(i), 0);
    EXPECT_EQ(r.seen.back().WParam, 9999u);
    FreeObjectInstance(p);
}

static DWORD Protection(WNDPROC p)
{
    MEMORY_BASIC_INFORMATION info{};
    VirtualQuery(reinterpret_cast<void*>(p), &info, sizeof info);
    return info.Protect;
}

// The shell's process must never hold a page that is writable and executable at once: stub code
// stays execute-read however stubs are made, freed and bound anew.
TEST(ObjectInstance, ManyStubsReachTheirObjectsAndFreedOnesAreReused)
{
    constexpr int Count = 600;  // several blocks
    std::vector<Recorder> objects(Count);
    std::vector<WNDPROC> stubs;
    for (int i = 0; i < Count; ++i) {
        objects[i].answer = i + 1;
        stubs.push_back(StubFor(objects[i]));
    }
    EXPECT_EQ(std::set<WNDPROC>(stubs.begin(), stubs.end()).size(), size_t(Count));
    for (int i = Count - 1; i >= 0; --i) ASSERT_EQ(Call(stubs[i], WM_APP), i + 1);

    // Every third one freed: the next requests get exactly those back, bound anew.
    std::set<WNDPROC> freed, again;
    for (int i = 0; i < Count; i += 3) {
        FreeObjectInstance(stubs[i]);
        freed.insert(stubs[i]);
    }
    // Bad frees change nothing: twice, null, inside a stub, not a stub at all.
    FreeObjectInstance(stubs[0]);
    FreeObjectInstance(nullptr);
    FreeObjectInstance(reinterpret_cast<WNDPROC>(reinterpret_cast<char*>(stubs[1]) + 1));
    FreeObjectInstance(reinterpret_cast<WNDPROC>(&DefWindowProcW));
    EXPECT_EQ(Call(stubs[0], WM_APP), 0);  // a freed stub reaches nobody
    EXPECT_TRUE(objects[0].seen.size() == 1);

    Recorder other;
    other.answer = -1;
    for (size_t i = 0; i < freed.size(); ++i) again.insert(StubFor(other));
    EXPECT_EQ(again, freed);
    WNDPROC extra = StubFor(other);  // a double free would hand out a stub that is in use
    EXPECT_EQ(freed.count(extra), 0u);
    for (WNDPROC p : again) EXPECT_EQ(Call(p, WM_APP), -1);
    for (int i = 1; i < Count; i += 3) EXPECT_EQ(Call(stubs[i], WM_APP), i + 1);
    for (WNDPROC p : stubs) ASSERT_EQ(Protection(p), DWORD(PAGE_EXECUTE_READ));

    FreeObjectInstance(extra);
    for (WNDPROC p : again) FreeObjectInstance(p);
    for (int i = 0; i < Count; ++i)
        if (i % 3 != 0) FreeObjectInstance(stubs[i]);
}

namespace {

std::vector<std::string> hookLog;

void RecordingHook(std::exception_ptr e)
{
    try {
        std::rethrow_exception(e);
    } catch (const Exception& x) {
        hookLog.push_back(x.Message());
    } catch (...) {
        hookLog.push_back("other");
    }
    throw std::runtime_error("a hook that raises is swallowed too");
}

struct Thrower {
    void Handle(TMessage& m)
    {
        m.Result = 44;  // set before the error: the stub answers it
        if (m.WParam == 0) throw Exception(L"窓の例外");
        throw 5;
    }
};

}  // namespace

TEST(ObjectInstance, ExceptionsEndInTheHookAndNeverLeaveTheStub)
{
    // The application object installs its error display as the hook at start-up; this test
    // starts from the default and puts the application's back afterwards.
    const TStubExceptionHook applicationHook = SetStubExceptionHook(nullptr);
    Thrower t;
    WNDPROC p = MakeObjectInstance(TWndMethod::Bind<&Thrower::Handle>(&t));
    HWND w = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(w, nullptr);
    const LONG_PTR old = SetWindowLongPtrW(w, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(p));

    // Through Windows' own frames: SendMessage into the window procedure.
    EXPECT_EQ(SendMessageW(w, WM_APP, 0, 0), 44);  // the default hook swallows
    EXPECT_EQ(SetStubExceptionHook(&RecordingHook), nullptr);
    EXPECT_EQ(SendMessageW(w, WM_APP, 0, 0), 44);
    EXPECT_EQ(SendMessageW(w, WM_APP, 1, 0), 44);
    EXPECT_EQ(SetStubExceptionHook(nullptr), &RecordingHook);
    EXPECT_EQ(hookLog, (std::vector<std::string>{AnsiFromWide(L"窓の例外"), "other"}));

    SetWindowLongPtrW(w, GWLP_WNDPROC, old);
    DestroyWindow(w);
    FreeObjectInstance(p);
    SetStubExceptionHook(applicationHook);
}

namespace {

// A window subclassed with a stub: passes everything on to the window's previous procedure, and
// takes itself out on WM_NCDESTROY, freeing its own stub while it runs.
struct Subclasser {
    HWND window = nullptr;
    WNDPROC stub = nullptr;
    WNDPROC previous = nullptr;
    std::vector<UINT> seen;

    void Handle(TMessage& m)
    {
        seen.push_back(m.Msg);
        if (m.Msg == WM_APP + 1) {
            m.Result = static_cast<LRESULT>(m.WParam + m.LParam);
        } else if (m.Msg == WM_APP + 2) {
            // Re-entered from inside its own handler.
            m.Result = m.WParam == 0 ? 0 : 1 + SendMessageW(window, WM_APP + 2, m.WParam - 1, 0);
        } else {
            m.Result = CallWindowProcW(previous, window, m.Msg, m.WParam, m.LParam);
            if (m.Msg == WM_NCDESTROY) {
                SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
                FreeObjectInstance(stub);
                stub = nullptr;
            }
        }
    }
};

LRESULT CALLBACK PlainProc(HWND w, UINT m, WPARAM wp, LPARAM lp)
{
    return m == WM_APP + 9 ? 99 : DefWindowProcW(w, m, wp, lp);
}

}  // namespace

TEST(ObjectInstance, SubclassedWindowReceivesSentPostedAndDispatchedMessages)
{
    WNDCLASSW wc{};
    wc.lpfnWndProc = &PlainProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"KervoStubTestWindow";
    ASSERT_NE(RegisterClassW(&wc), 0);
    Subclasser s;
    s.window = CreateWindowExW(0, wc.lpszClassName, L"t", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                               nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(s.window, nullptr);
    s.stub = MakeObjectInstance(TWndMethod::Bind<&Subclasser::Handle>(&s));
    s.previous = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(s.window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(s.stub)));

    EXPECT_EQ(SendMessageW(s.window, WM_APP + 1, 40, 2), 42);
    EXPECT_EQ(SendMessageW(s.window, WM_APP + 9, 0, 0), 99);  // on to the class's procedure
    EXPECT_EQ(SendMessageW(s.window, WM_APP + 2, 20, 0), 20);

    s.seen.clear();
    PostMessageW(s.window, WM_APP + 1, 1, 1);
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, s.window, WM_APP + 1, WM_APP + 1, PM_REMOVE));
    EXPECT_EQ(DispatchMessageW(&msg), 2);
    EXPECT_EQ(s.seen, std::vector<UINT>{WM_APP + 1});

    s.seen.clear();
    DestroyWindow(s.window);
    EXPECT_FALSE(IsWindow(s.window));
    ASSERT_GE(s.seen.size(), 2u);
    EXPECT_EQ(s.seen.back(), static_cast<UINT>(WM_NCDESTROY));
    EXPECT_EQ(s.stub, nullptr);
    UnregisterClassW(wc.lpszClassName, wc.hInstance);
}
