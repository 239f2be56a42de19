// Wide text and hints of controls through real windows: characters that code page 932 cannot hold
// kept beside the ANSI text the class library sees, the class library's own changes winning, the
// text of a Unicode window read as far as the window copied it, hint parts and the effective hint.
#include <windows.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "../classlib/ControlsTestSupport.h"
#include "ActnList.h"
#include "StdCtrls.h"
#include "WideControls.h"

using namespace ctltest;

namespace {

const std::wstring Hangul = L"한";
const std::wstring Surrogates = L"\xD842\xDFB7";  // U+20BB7, outside the code page

struct FormDeleter {
    void operator()(TCustomForm* f) const
    {
        if (f) f->Free();
    }
};
using FormPtr = std::unique_ptr<TForm, FormDeleter>;

// Counts the CM_TEXTCHANGED and WM_SETTEXT that reach a control through its window procedure.
struct TextMessageCounter : TObject {
    explicit TextMessageCounter(TControl* c) : control(c)
    {
        previous = c->WindowProc();
        c->SetWindowProc(TWndMethod::Bind<&TextMessageCounter::Handle>(this));
    }
    ~TextMessageCounter() override { control->SetWindowProc(previous); }
    void Handle(TMessage& m)
    {
        if (m.Msg == CM_TEXTCHANGED) ++changes;
        if (m.Msg == WM_SETTEXT) ++setTexts;
        previous(m);
    }
    TControl* control;
    TWndMethod previous;
    int changes = 0;
    int setTexts = 0;
};

// Makes a window Unicode by putting a wide procedure in front of it that keeps the text itself
// and, when asked, reports a text length beyond what it will copy.
struct WideTextWindow {
    static inline WNDPROC previous = nullptr;
    static inline int extraLength = 0;
    static inline int setTexts = 0;
    static LRESULT CALLBACK Proc(HWND w, UINT msg, WPARAM wp, LPARAM lp)
    {
        switch (msg) {
        case WM_GETTEXTLENGTH:
            return DefWindowProcW(w, msg, wp, lp) + extraLength;
        case WM_SETTEXT:
            ++setTexts;
            return DefWindowProcW(w, msg, wp, lp);
        case WM_GETTEXT:
            return DefWindowProcW(w, msg, wp, lp);
        default:
            return CallWindowProcW(previous, w, msg, wp, lp);
        }
    }
    explicit WideTextWindow(HWND w) : window(w)
    {
        previous = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(w, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WideTextWindow::Proc)));
    }
    ~WideTextWindow() { SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous)); }
    HWND window;
};

class TAddWideItemCombo : public TCustomComboBox, public IWideAddItem {
    KERVO_CLASS(TAddWideItemCombo, TCustomComboBox)
public:
    explicit TAddWideItemCombo(TComponent* owner) : TCustomComboBox(owner) {}
    void AddWideItem(const std::wstring& text, void* object) override
    {
        added = text;
        addedObject = object;
    }
    std::wstring added;
    void* addedObject = nullptr;
};

}  // namespace

KERVO_CLASS_RECORD(TAddWideItemCombo) { b.Interface<IWideAddItem>(IWideAddItem::Iid); }

TEST(WideControlText, WindowlessControlKeepsWideTextBesideItsAnsiPartner)
{
    FormPtr form(MakeNewForm<TForm>(nullptr));
    auto* label = new TLabel(form.get());
    label->SetParent(form.get());
    TextMessageCounter counter(label);

    SetWideControlText(label, L"日本" + Hangul + Surrogates);
    EXPECT_EQ(GetWideControlText(label), L"日本" + Hangul + Surrogates);
    EXPECT_EQ(label->Text(), AnsiFromWide(L"日本") + "???");  // the code page's default character
    EXPECT_EQ(counter.changes, 1);

    // Another text with the same ANSI form still reaches the class library as a change.
    SetWideControlText(label, L"日本" + std::wstring(L"훈") + Surrogates);
    EXPECT_EQ(counter.changes, 3);  // through the empty text, then the new one
    EXPECT_EQ(GetWideControlText(label), L"日本훈" + Surrogates);
    SetWideControlText(label, L"日本훈" + Surrogates);
    EXPECT_EQ(counter.changes, 3);

    // The class library changing the text behind the layer's back wins.
    label->SetText(AnsiFromWide(L"検索"));
    EXPECT_EQ(GetWideControlText(label), L"検索");
    ASSERT_NE(FindCaptionHolder(label, false), nullptr);

    // The holder goes with its control.
    label->Free();
    EXPECT_EQ(FindCaptionHolder(label, false), nullptr);
}

TEST(WideControlText, WindowedControlText)
{
    FormPtr form(MakeNewForm<TForm>(nullptr));
    auto* button = new TButton(form.get());

    // No window yet: the holder keeps the wide text; the class library's change still wins.
    SetWideControlText(button, Hangul);
    EXPECT_FALSE(button->HandleAllocated());
    EXPECT_EQ(GetWideControlText(button), Hangul);
    EXPECT_EQ(button->Text(), "?");
    button->SetText("abc");
    EXPECT_EQ(GetWideControlText(button), L"abc");

    // An ANSI window holds ANSI text only.
    button->SetParent(form.get());
    button->HandleNeeded();
    ASSERT_FALSE(IsWindowUnicode(button->Handle()));
    SetWideControlText(button, L"検" + Hangul);
    EXPECT_EQ(GetWideControlText(button), L"検?");

    // A Unicode window: its text exactly as far as it was copied, never the length it reported.
    WideTextWindow wide(button->Handle());
    ASSERT_TRUE(IsWindowUnicode(button->Handle()));
    TextMessageCounter counter(button);
    WideTextWindow::setTexts = 0;
    SetWideControlText(button, Surrogates + Hangul);
    EXPECT_EQ(WideTextWindow::setTexts, 1);
    EXPECT_EQ(counter.changes, 1);
    WideTextWindow::extraLength = 5;
    EXPECT_EQ(GetWideControlText(button), Surrogates + Hangul);
    WideTextWindow::extraLength = 0;

    // The same text again: no WM_SETTEXT, no change message.
    SetWideControlText(button, Surrogates + Hangul);
    EXPECT_EQ(WideTextWindow::setTexts, 1);
    EXPECT_EQ(counter.changes, 1);
}

TEST(WideControlText, Hints)
{
    FormPtr form(MakeNewForm<TForm>(nullptr));
    auto* group = new TGroupBox(form.get());
    group->SetParent(form.get());
    auto* label = new TLabel(form.get());
    label->SetParent(group);

    SetWideControlHint(label, L"短い|長い" + Hangul);
    EXPECT_EQ(GetWideControlHint(label), L"短い|長い" + Hangul);
    EXPECT_EQ(label->Hint(), AnsiFromWide(L"短い|長い") + "?");
    label->SetHint("plain");
    EXPECT_EQ(GetWideControlHint(label), L"plain");

    // The effective hint is the nearest parent's.
    SetWideControlHint(label, L"");
    SetWideControlHint(group, L"囲み" + Hangul);
    EXPECT_EQ(GetEffectiveWideHint(label), L"囲み" + Hangul);
    EXPECT_EQ(GetEffectiveWideHint(nullptr), L"");

    EXPECT_EQ(WideShortHintPart(L"短|長"), L"短");
    EXPECT_EQ(WideLongHintPart(L"短|長"), L"長");
    EXPECT_EQ(WideShortHintPart(L"全部"), L"全部");
    EXPECT_EQ(WideLongHintPart(L"全部"), L"全部");
    EXPECT_EQ(WideShortHintPart(L"|長"), L"");
    EXPECT_EQ(WideLongHintPart(L"a|b|c"), L"b|c");

    // An action that supplies the hint keeps it out of the form resource.
    EXPECT_TRUE(IsWideHintStored(label));
    auto* action = new TAction(form.get());
    label->SetAction(action);
    EXPECT_FALSE(IsWideHintStored(label));
}

TEST(WideControlText, AddWideItem)
{
    FormPtr form(MakeNewForm<TForm>(nullptr));
    auto* ansi = new TCustomComboBox(form.get());
    ansi->SetParent(form.get());
    int object = 0;
    AddWideItemTo(ansi, L"項目" + Hangul, &object);
    ASSERT_EQ(ansi->Items()->Count(), 1);
    EXPECT_EQ(ansi->Items()->Strings(0), AnsiFromWide(L"項目") + "?");
    EXPECT_EQ(ansi->Items()->Objects(0), &object);

    auto* wide = new TAddWideItemCombo(form.get());
    AddWideItemTo(wide, L"項目" + Hangul, &object);
    EXPECT_EQ(wide->added, L"項目" + Hangul);
    EXPECT_EQ(wide->addedObject, &object);
}
