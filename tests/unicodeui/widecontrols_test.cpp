// Wide text and Unicode windows of class-library controls, through real windows and messages:
// characters that code page 932 cannot hold (Hangul, a surrogate pair) typed into a superclassed
// EDIT reach its text unchanged while the class library sees them packed and its ANSI view shows
// the replacement character; the text survives re-creation of the window; the class library's
// own changes to the ANSI text win; hints and their parts; controls of several threads at once.
#include <windows.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "../classlib/ControlsTestSupport.h"
#include "ActnList.h"
#include "StdCtrls.h"
#include "WideControls.h"

using namespace ctltest;

namespace {

const std::wstring Hangul = L"한";
const std::wstring Surrogates = L"\xD842\xDFB7";  // U+20BB7

// An EDIT made Unicode the way the layer's controls do it; records the characters its class
// library handlers see, and can report a text length beyond what the window holds.
class TWideTestEdit : public TWinControl {
    KERVO_CLASS(TWideTestEdit, TWinControl)
public:
    explicit TWideTestEdit(TComponent* owner) : TWinControl(owner) { SetBounds(0, 0, 200, 24); }
    std::vector<WPARAM> chars;
    int extraLength = 0;
    char replaceKey = 0;
    void HandleWindowMessage(TMessage& message) override
    {
        if (message.Msg == WM_CHAR) chars.push_back(message.WParam);
        TWinControl::HandleWindowMessage(message);
        if (message.Msg == WM_GETTEXTLENGTH) message.Result += extraLength;
    }

protected:
    void AdjustCreateParams(TCreateParams& params) override
    {
        TWinControl::AdjustCreateParams(params);
        CreateSubClass(params, "EDIT");
        params.Style |= WS_VISIBLE | ES_AUTOHSCROLL;
    }
    void MakeWindowHandle(const TCreateParams& params) override { CreateUnicodeWindow(this, params, L"EDIT", false); }
    void KeyPress(char& key) override
    {
        if (replaceKey) key = replaceKey;
        TWinControl::KeyPress(key);
    }
};

// A plain Unicode window of the layer, with no system class behind it.
class TWidePlainWindow : public TWinControl {
    KERVO_CLASS(TWidePlainWindow, TWinControl)
public:
    explicit TWidePlainWindow(TComponent* owner) : TWinControl(owner) { SetBounds(0, 0, 100, 20); }
    using TWinControl::DestroyHandle;

protected:
    void MakeWindowHandle(const TCreateParams& params) override { CreateUnicodeWindow(this, params, L"", false); }
};

struct Fixture {
    Fixture() : form(MakeNewForm<TForm>(nullptr), [](TForm* f) { f->Free(); })
    {
        form->SetBounds(10, 10, 300, 120);
        edit = new TWideTestEdit(form.get());
        edit->SetParent(form.get());
        form->Show();
        edit->HandleNeeded();
    }
    ~Fixture() { EXPECT_TRUE(errors.messages.empty()); }
    ExceptionRecorder errors;
    std::unique_ptr<TForm, void (*)(TForm*)> form;
    TWideTestEdit* edit;
};

void Type(HWND window, const std::wstring& text)
{
    for (wchar_t c : text) SendMessageW(window, WM_CHAR, c, 1);
}

// Stands in front of a control's handler chain: counts characters and text-change messages.
struct PassThrough : TObject {
    explicit PassThrough(TControl* c) : control(c), previous(c->WindowProc())
    {
        c->SetWindowProc(TWndMethod::Bind<&PassThrough::Handle>(this));
    }
    ~PassThrough() override { control->SetWindowProc(previous); }
    void Handle(TMessage& m)
    {
        chars += m.Msg == WM_CHAR;
        changes += m.Msg == CM_TEXTCHANGED;
        previous(m);
    }
    TControl* control;
    TWndMethod previous;
    int chars = 0, changes = 0;
};

}  // namespace

KERVO_CLASS_RECORD(TWideTestEdit) {}
KERVO_CLASS_RECORD(TWidePlainWindow) {}

TEST(WideControls, TypedCharactersOutsideTheCodePageReachTheWindowText)
{
    Fixture f;
    HWND window = f.edit->Handle();
    ASSERT_TRUE(IsWindowUnicode(window));
    EXPECT_EQ(FindControl(window), f.edit);

    Type(window, L"日" + Hangul + Surrogates);
    EXPECT_EQ(GetWideControlText(f.edit), L"日" + Hangul + Surrogates);
    EXPECT_EQ(f.edit->Text(), AnsiFromWide(L"日") + "???");  // the code page's default character
    // The class library's handlers see WM_CHAR packed: the character high, 255 low.
    ASSERT_EQ(f.edit->chars.size(), 4u);
    EXPECT_EQ(f.edit->chars[1], 0xD55Cu << 16 | 0xFF);

    // A key press handler that replaces the character replaces it for the window too.
    f.edit->replaceKey = 'x';
    Type(window, Hangul);
    f.edit->replaceKey = 0;
    // Typed through the class library's own message loop (with the layer's message hook).
    for (wchar_t c : L"本" + Hangul + Surrogates) PostMessageW(window, WM_CHAR, c, 1);
    Application->ProcessMessages();
    // The text as far as the window copied it, whatever length it reported.
    f.edit->extraLength = 5;
    EXPECT_EQ(GetWideControlText(f.edit), L"日" + Hangul + Surrogates + L"x本" + Hangul + Surrogates);
    f.edit->extraLength = 0;

    // Routines: packing, notify format, and the refusal of an ANSI window.
    TMessage m{WM_CHAR, 0x3042, 0, 0};
    PackCharForAnsi(m);
    EXPECT_EQ(m.WParam, 0x3042u << 16 | 0xFF);
    EXPECT_EQ(CharOfCharMessage(m), L'\x3042');
    UnpackChar(m);
    EXPECT_EQ(m.WParam, 0x3042u);
    EXPECT_EQ(SendMessageW(window, WM_NOTIFYFORMAT, reinterpret_cast<WPARAM>(window), NF_QUERY), NFR_UNICODE);
    EXPECT_EQ(NotifyFormatAnswer(f.form->Handle()), NFR_ANSI);
    try {
        SubClassUnicodeControl(f.form.get(), "", false);
        ADD_FAILURE() << "no error";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "Unicode layer internal error: SubClassUnicodeControl.Control is not Unicode.");
    }
}

TEST(WideControls, WindowTextSurvivesRecreationAndPairsWithTheAnsiText)
{
    Fixture f;
    PassThrough front(f.edit);
    SetWideControlText(f.edit, Hangul + Surrogates);
    SetWideControlText(f.edit, Hangul + Surrogates);  // the same text: no change message
    EXPECT_EQ(front.changes, 1);
    HWND first = f.edit->Handle();
    f.edit->RecreateWnd();
    ASSERT_NE(f.edit->Handle(), first);
    EXPECT_TRUE(IsWindowUnicode(f.edit->Handle()));
    EXPECT_EQ(GetWideControlText(f.edit), Hangul + Surrogates);
    // The trap is back in the chain behind the handler in front, once.
    f.edit->chars.clear();
    SendMessageW(f.edit->Handle(), EM_SETSEL, 100, 100);
    Type(f.edit->Handle(), Hangul);
    EXPECT_EQ(front.chars, 1);
    EXPECT_EQ(f.edit->chars, std::vector<WPARAM>{0xD55Cu << 16 | 0xFF});
    EXPECT_EQ(GetWideControlText(f.edit), Hangul + Surrogates + Hangul);

    // The class library's ANSI text reaches the wide window converted, and wins.
    f.edit->SetText(AnsiFromWide(L"検索"));
    EXPECT_EQ(GetWideControlText(f.edit), L"検索");

    // Without a window the holder keeps the wide text, the class library's change still wins,
    // and the held text goes into the window when it comes.
    auto* later = new TWideTestEdit(f.form.get());
    SetWideControlText(later, Hangul);
    EXPECT_EQ(later->Text(), "?");
    later->SetText("abc");
    EXPECT_EQ(GetWideControlText(later), L"abc");
    SetWideControlText(later, Surrogates);
    later->SetParent(f.form.get());
    later->HandleNeeded();
    EXPECT_EQ(GetWideControlText(later), Surrogates);
    // One window class for the control class.
    EXPECT_EQ(GetClassLongPtrW(later->Handle(), GCW_ATOM), GetClassLongPtrW(f.edit->Handle(), GCW_ATOM));
    WNDCLASSW info{};
    ASSERT_TRUE(GetClassInfoW(GetModuleHandleW(nullptr), L"TWideTestEdit.UnicodeClass", &info));
    EXPECT_EQ(info.lpfnWndProc, &UnicodeInitWndProc);
    later->Free();

    // An ANSI window keeps ANSI text only.
    auto* button = new TButton(f.form.get());
    button->SetParent(f.form.get());
    SetWideControlText(button, L"検" + Hangul);
    EXPECT_EQ(GetWideControlText(button), L"検?");
}

TEST(WideControls, ControlsOfEightThreadsAtOnceKeepTheirOwnTextsAndTraps)
{
    // Each thread's controls keep their held texts, and their traps between two windows, in lists
    // that every thread shares; the first window of the class registers it for all. Controls made,
    // given windows, re-created and freed on eight threads at once each keep their own text.
    // Plain Unicode windows: Wine's EDIT control itself is not safe on several threads at once.
    constexpr int kThreads = 8, kControls = 300, kLive = 60;
    ExceptionRecorder errors;
    std::vector<std::string> wrong(kThreads);
    HANDLE go = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            TForm* form = MakeNewForm<TForm>(nullptr);
            form->SetBounds(10, 10, 300, 120);
            form->HandleNeeded();
            std::vector<std::pair<TWidePlainWindow*, std::wstring>> live;
            auto check = [&](const std::pair<TWidePlainWindow*, std::wstring>& control) {
                const std::wstring text = GetWideControlText(control.first);
                if (text != control.second && wrong[t].empty()) wrong[t] = AnsiFromWide(text);
            };
            WaitForSingleObject(go, INFINITE);
            try {
                for (int i = 0; i < kControls; ++i) {
                    auto* window = new TWidePlainWindow(form);
                    live.emplace_back(window, Hangul + std::to_wstring(t * kControls + i));
                    SetWideControlText(window, live.back().second);  // held: no window yet
                    window->SetParent(form);
                    // A window goes while its control stays (its trap waits), another comes back.
                    live[static_cast<size_t>(i) % live.size()].first->DestroyHandle();
                    live[static_cast<size_t>(i / 2) % live.size()].first->HandleNeeded();
                    if (live.size() > kLive) {
                        check(live.front());
                        live.front().first->Free();
                        live.erase(live.begin());
                    }
                }
                for (const auto& control : live) check(control);
            } catch (const Exception& e) {
                wrong[t] = e.Message();
            }
            form->Free();
        });
    }
    SetEvent(go);
    for (std::thread& thread : threads) thread.join();
    CloseHandle(go);
    EXPECT_EQ(wrong, std::vector<std::string>(kThreads));
    EXPECT_EQ(errors.messages, std::vector<std::string>());
}

TEST(WideControls, WindowlessControlTextAndHints)
{
    Fixture f;
    auto* group = new TGroupBox(f.form.get());
    group->SetParent(f.form.get());
    auto* label = new TLabel(f.form.get());
    label->SetParent(group);
    {
        PassThrough counter(label);
        SetWideControlText(label, L"日本" + Hangul);
        EXPECT_EQ(GetWideControlText(label), L"日本" + Hangul);
        EXPECT_EQ(label->Text(), AnsiFromWide(L"日本") + "?");
        // Another text of the same ANSI form still reaches the class library as a change.
        SetWideControlText(label, L"日本훈");
        EXPECT_EQ(counter.changes, 3);  // the first, then through the empty text to the new one
    }
    EXPECT_EQ(GetWideControlText(label), L"日本훈");
    label->SetText(AnsiFromWide(L"検索"));
    EXPECT_EQ(GetWideControlText(label), L"検索");

    SetWideControlHint(label, L"短い|長い" + Hangul);
    EXPECT_EQ(GetWideControlHint(label), L"短い|長い" + Hangul);
    EXPECT_EQ(label->Hint(), AnsiFromWide(L"短い|長い") + "?");
    label->SetHint("plain");
    EXPECT_EQ(GetWideControlHint(label), L"plain");
    SetWideControlHint(label, L"");
    SetWideControlHint(group, L"囲み" + Hangul);
    EXPECT_EQ(GetEffectiveWideHint(label), L"囲み" + Hangul);
    EXPECT_EQ(GetEffectiveWideHint(nullptr), L"");
    EXPECT_EQ(WideShortHintPart(L"短|長|他"), L"短");
    EXPECT_EQ(WideLongHintPart(L"短|長|他"), L"長|他");
    EXPECT_EQ(WideShortHintPart(L"全部"), L"全部");
    EXPECT_EQ(WideLongHintPart(L"全部"), L"全部");
    EXPECT_EQ(WideShortHintPart(L"|長"), L"");

    EXPECT_TRUE(IsWideHintStored(label));
    label->SetAction(new TAction(f.form.get()));
    EXPECT_FALSE(IsWideHintStored(label));

    // The holder goes with its control.
    ASSERT_NE(FindCaptionHolder(label, false), nullptr);
    label->Free();
    EXPECT_EQ(FindCaptionHolder(label, false), nullptr);

    // Items: ANSI through the class library's add-item.
    auto* combo = new TCustomComboBox(f.form.get());
    combo->SetParent(f.form.get());
    AddWideItemTo(combo, L"項目" + Hangul, &f);
    ASSERT_EQ(combo->Items()->Count(), 1);
    EXPECT_EQ(combo->Items()->Strings(0), AnsiFromWide(L"項目") + "?");
    EXPECT_EQ(combo->Items()->Objects(0), &f);
}
