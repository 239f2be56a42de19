// The Unicode layer's message hook and the wide application hint, through real windows, the
// class library's message loop and a library loaded and freed at run time: characters that code
// page 932 cannot hold reach a Unicode window unchanged, and the hook never outlives its module.
#include <windows.h>
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "../classlib/ControlsTestSupport.h"
#include "ExtCtrls.h"
#include "WideControls.h"
#include "WideForms.h"

using namespace ctltest;

namespace {

// A plain window, Unicode or not, that records the WM_CHAR codes it receives.
struct CharWindow {
    static inline std::vector<WPARAM> received;
    static LRESULT CALLBACK Proc(HWND w, UINT msg, WPARAM wp, LPARAM lp)
    {
        if (msg == WM_CHAR) received.push_back(wp);
        return DefWindowProcW(w, msg, wp, lp);
    }
    explicit CharWindow(bool unicode)
    {
        WNDCLASSW wc{};
        wc.lpfnWndProc = &Proc;
        wc.lpszClassName = L"WideHookTest";
        RegisterClassW(&wc);
        window = CreateWindowExW(0, L"WideHookTest", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
        // An ANSI procedure in front makes the window an ANSI one.
        if (!unicode) SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Proc));
        received.clear();
    }
    ~CharWindow() { DestroyWindow(window); }
    HWND window;
};

// What the application's message event sees; optionally it takes every WM_CHAR itself.
struct MessageSpy : TObject {
    MessageSpy() { Application->OnMessage.Bind(this, &MessageSpy::OnMessage); }
    ~MessageSpy() override { Application->OnMessage.Clear(); }
    void OnMessage(MSG& msg, bool& handled)
    {
        seen.emplace_back(msg.message, msg.wParam);
        if (takeChars && msg.message == WM_CHAR) handled = true;
    }
    std::vector<std::pair<UINT, WPARAM>> seen;
    bool takeChars = false;
};

// Records the actions offered to the application window (hooked before the layer's hook is
// asked, so it sees the class library's hint action and then the one that replaces it).
struct ActionSpy : TObject {
    ActionSpy() { Application->HookMainWindow(TWindowHook(this, &ActionSpy::Hook)); }
    ~ActionSpy() override { Application->UnhookMainWindow(TWindowHook(this, &ActionSpy::Hook)); }
    bool Hook(TMessage& m)
    {
        if (m.Msg != CM_ACTIONEXECUTE) return false;
        auto* action = reinterpret_cast<TCustomAction*>(m.LParam);
        seen.emplace_back(action->ClassName(), IsInstance<TWideHintAction>(action)
                                                   ? static_cast<TWideHintAction*>(action)->WideHintText()
                                                   : WideFromAnsi(action->Hint()));
        return false;
    }
    std::vector<std::pair<std::string, std::wstring>> seen;
};

const std::wstring Hangul = L"\xD55C";                       // 한
const std::wstring Surrogates = L"\xD842\xDFB7";             // 𠮷

template <class F>
F Export(HMODULE library, const char* name)
{
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

// A form without form resource, as the main form of the application.
class TCodeForm : public TForm {
public:
    explicit TCodeForm(TComponent* owner) : TForm(owner) { InitializeWithoutResource(); }
};

LRESULT CALLBACK PassOn(int code, WPARAM wp, LPARAM lp) { return CallNextHookEx(nullptr, code, wp, lp); }

void PostChars(HWND window, const std::wstring& text)
{
    for (wchar_t c : text) PostMessageW(window, WM_CHAR, c, 1);
}

}  // namespace

TEST(WideMessageHook, CharactersOutsideTheCodePageReachAUnicodeWindowThroughTheLoop)
{
    ASSERT_NE(MessageHookHandle(), nullptr);
    MessageSpy spy;
    {
        CharWindow wide(true);
        ASSERT_TRUE(IsWindowUnicode(wide.window));
        PostChars(wide.window, Hangul + Surrogates + L"A");
        Application->ProcessMessages();
        EXPECT_EQ(CharWindow::received, (std::vector<WPARAM>{0xD55C, 0xD842, 0xDFB7, 'A'}));
        // The message event saw each character once from the hook; the loop then got WM_NULL.
        std::vector<std::pair<UINT, WPARAM>> expected{{WM_CHAR, 0xD55C}, {WM_NULL, 0xD55C}, {WM_CHAR, 0xD842},
                                                      {WM_NULL, 0xD842}, {WM_CHAR, 0xDFB7}, {WM_NULL, 0xDFB7},
                                                      {WM_CHAR, 'A'}};
        EXPECT_EQ(spy.seen, expected);

        // Latin letters from 128 to 255 that code page 932 holds only as look-alikes (é as e) go
        // the same way, typed or from the input method.
        spy.seen.clear();
        CharWindow::received.clear();
        PostChars(wide.window, L"\xE9\xFC\xDF");
        PostMessageW(wide.window, WM_IME_CHAR, 0xF1, 1);
        Application->ProcessMessages();
        EXPECT_EQ(CharWindow::received, (std::vector<WPARAM>{0xE9, 0xFC, 0xDF, 0xF1}));
        EXPECT_EQ(spy.seen.front(), (std::pair<UINT, WPARAM>{WM_CHAR, 0xE9}));
        EXPECT_EQ(spy.seen.at(1), (std::pair<UINT, WPARAM>{WM_NULL, 0xE9}));

        // A peek that leaves the message in the queue changes nothing; the removal dispatches it.
        CharWindow::received.clear();
        PostChars(wide.window, Hangul);
        MSG peeked{};
        ASSERT_TRUE(PeekMessageW(&peeked, wide.window, WM_CHAR, WM_CHAR, PM_NOREMOVE));
        EXPECT_EQ(peeked.message, static_cast<UINT>(WM_CHAR));
        EXPECT_TRUE(CharWindow::received.empty());
        Application->ProcessMessages();
        EXPECT_EQ(CharWindow::received, std::vector<WPARAM>{0xD55C});

        // A message event that handles the character keeps it from the window and the loop.
        spy.seen.clear();
        spy.takeChars = true;
        CharWindow::received.clear();
        PostChars(wide.window, Hangul);
        Application->ProcessMessages();
        EXPECT_TRUE(CharWindow::received.empty());
        EXPECT_EQ(spy.seen, (std::vector<std::pair<UINT, WPARAM>>{{WM_CHAR, 0xD55C}, {WM_NULL, 0xD55C}}));
        spy.takeChars = false;
    }
    {
        // A window that is not Unicode gets the class library's ANSI path untouched.
        CharWindow ansi(false);
        ASSERT_FALSE(IsWindowUnicode(ansi.window));
        spy.seen.clear();
        PostChars(ansi.window, Hangul);
        Application->ProcessMessages();
        ASSERT_FALSE(spy.seen.empty());
        EXPECT_NE(spy.seen.front().first, static_cast<UINT>(WM_NULL));
        for (WPARAM c : CharWindow::received) EXPECT_LE(c, 0xFFu);
    }
}

TEST(WideMessageHook, LibraryHookComesAndGoesWithTheLibrary)
{
    const std::string path = testenv::ProgramDir() + "testwidehook.dll";
    HHOOK libraryHook = nullptr;
    {
        HMODULE library = LoadLibraryA(path.c_str());
        ASSERT_NE(library, nullptr);
        auto hookOf = Export<HHOOK (*)()>(library, "LibraryMessageHook");
        ASSERT_NE(hookOf, nullptr);
        libraryHook = hookOf();
        EXPECT_NE(libraryHook, nullptr);
        CharWindow wide(true);
        PostChars(wide.window, Surrogates);
        Application->ProcessMessages();
        EXPECT_EQ(CharWindow::received, (std::vector<WPARAM>{0xD842, 0xDFB7}));
        ASSERT_TRUE(FreeLibrary(library));
        ASSERT_EQ(GetModuleHandleA("testwidehook.dll"), nullptr);
        // Gone with the library: its procedure is no longer called (that would crash here).
        EXPECT_FALSE(UnhookWindowsHookEx(libraryHook));
        CharWindow::received.clear();
        PostChars(wide.window, Hangul);
        Application->ProcessMessages();
        EXPECT_EQ(CharWindow::received, std::vector<WPARAM>{0xD55C});
    }

    // With no hook to be had, the library still loads and works; the program's start-up step
    // raises the operating-system error.
    std::vector<HHOOK> filler;
    while (filler.size() < 200000) {
        HHOOK h = SetWindowsHookExW(WH_GETMESSAGE, &PassOn, nullptr, GetCurrentThreadId());
        if (!h) break;
        filler.push_back(h);
    }
    ASSERT_LT(filler.size(), 200000u) << "hooks never ran out";
    HMODULE library = LoadLibraryA(path.c_str());
    std::string startUpError;
    try {
        InstallMessageHook();
    } catch (const EOSError& e) {
        startUpError = e.Message();
    }
    for (HHOOK h : filler) UnhookWindowsHookEx(h);
    ASSERT_NE(library, nullptr);
    auto hookOf = Export<HHOOK (*)()>(library, "LibraryMessageHook");
    auto works = Export<BOOL (*)()>(library, "LibraryKeepsWideCaption");
    EXPECT_EQ(hookOf(), nullptr);
    EXPECT_TRUE(works());
    EXPECT_TRUE(FreeLibrary(library));
    const bool osError = startUpError.rfind(AnsiFromWide(L"システムエラー。コード："), 0) == 0 ||
                         startUpError == AnsiFromWide(L"OS 機能呼び出しの失敗");
    EXPECT_TRUE(osError) << startUpError;
}

TEST(WideApplicationHint, WideHintReplacesTheAnsiHintActionAndFollowsTheMouse)
{
    Application->Initialize();
    ActionSpy actions;

    // The class library's hint action carrying the ANSI form is replaced by a wide one.
    WideApplication->SetWideHint(L"\xD55C\xAD6D");
    EXPECT_EQ(Application->Hint(), "??");
    ASSERT_FALSE(actions.seen.empty());
    EXPECT_EQ(actions.seen.back(), (std::pair<std::string, std::wstring>{"TWideHintAction", L"\xD55C\xAD6D"}));
    // Another text of the same ANSI form passes the ANSI hint through the empty text.
    actions.seen.clear();
    WideApplication->SetWideHint(L"\xC870\xC120");
    std::vector<std::pair<std::string, std::wstring>> expected{{"THintAction", L""},
                                                               {"TWideHintAction", L""},
                                                               {"THintAction", L"??"},
                                                               {"TWideHintAction", L"\xC870\xC120"}};
    EXPECT_EQ(actions.seen, expected);
    // A change of the ANSI hint behind the layer's back wins.
    Application->SetHint("abc");
    EXPECT_EQ(WideApplication->WideHint(), L"abc");
    // A hint action that does not carry the current hint passes untouched.
    actions.seen.clear();
    TObjectPtr<THintAction> foreign(new THintAction(nullptr));
    foreign->SetHint("other");
    EXPECT_FALSE(foreign->Execute());
    EXPECT_EQ(actions.seen.size(), 1u);
    // The application's window takes none of the library's messages: any program may send them,
    // with any number for the action.
    actions.seen.clear();
    EXPECT_EQ(SendMessageW(Application->Handle(), CM_ACTIONEXECUTE, 0, 0x10), 0);
    EXPECT_TRUE(actions.seen.empty());

    // The idle control: made once for the main form; its idle update follows the mouse.
    TCodeForm* form = nullptr;
    Application->CreateForm(form);
    ASSERT_EQ(Application->MainForm(), form);
    form->SetBounds(100, 100, 300, 200);
    auto* hinted = new TPanel(form);
    hinted->SetParent(form);
    hinted->SetBounds(10, 10, 100, 80);
    SetWideControlHint(hinted, L"short|\xD55C\xAD6D\xC5B4");
    auto* plain = new TPanel(form);
    plain->SetParent(form);
    plain->SetBounds(150, 10, 100, 80);
    form->Show();
    for (int i = 0; i < 3; ++i) {
        PostMessageW(form->Handle(), WM_NULL, 0, 0);
        Application->ProcessMessages();
    }
    ASSERT_NE(WideApplication->IdleControl(), nullptr);
    int idleControls = 0;
    for (TControl* c : form->ControlList()) idleControls += IsInstance<TWideAppIdleEventControl>(c) ? 1 : 0;
    EXPECT_EQ(idleControls, 1);

    auto idleOver = [&](TControl* control) {
        const POINT p = control->ClientToScreen(POINT{50, 40});
        SetCursorPos(p.x, p.y);
        Application->ProcessMessages();
        // One idle pass: the loop finds the queue empty, then a timer wakes it.
        const UINT_PTR timer = SetTimer(nullptr, 0, 1, nullptr);
        Application->HandleMessage();
        KillTimer(nullptr, timer);
        Application->ProcessMessages();
    };
    idleOver(hinted);
    EXPECT_EQ(Application->MouseControl(), hinted);
    EXPECT_EQ(WideApplication->WideHint(), L"\xD55C\xAD6D\xC5B4");
    idleOver(plain);
    EXPECT_EQ(WideApplication->WideHint(), L"");
    form->Free();
    EXPECT_EQ(WideApplication->IdleControl(), nullptr);
}
