// Unicode windows of class-library controls, through real windows and messages: characters that
// code page 932 cannot hold typed into a superclassed EDIT reach its text unchanged, the class
// library's handlers see them packed, its ANSI view shows the replacement character, the text
// survives re-creation of the window, and handler chains and window classes stay as they were.
#include <windows.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "../classlib/ControlsTestSupport.h"
#include "WideControls.h"

using namespace ctltest;

namespace {

const std::wstring Hangul = L"한";
const std::wstring Surrogates = L"\xD842\xDFB7";  // U+20BB7

// An EDIT made Unicode the way the layer's controls do it; records the characters that its class
// library handlers see and what it answers.
class TWideTestEdit : public TWinControl {
    KERVO_CLASS(TWideTestEdit, TWinControl)
public:
    explicit TWideTestEdit(TComponent* owner) : TWinControl(owner) { SetBounds(0, 0, 200, 24); }
    std::vector<WPARAM> chars;
    std::vector<char> keyPresses;
    void HandleWindowMessage(TMessage& message) override
    {
        if (message.Msg == WM_CHAR) chars.push_back(message.WParam);
        TWinControl::HandleWindowMessage(message);
    }

protected:
    void AdjustCreateParams(TCreateParams& params) override
    {
        TWinControl::AdjustCreateParams(params);
        CreateSubClass(params, "EDIT");
        params.Style |= WS_VISIBLE | ES_AUTOHSCROLL;
    }
    void MakeWindowHandle(const TCreateParams& params) override
    {
        CreateUnicodeWindow(this, params, L"EDIT", false);
    }
    void KeyPress(char& key) override
    {
        keyPresses.push_back(key);
        TWinControl::KeyPress(key);
    }
};

struct FormDeleter {
    void operator()(TCustomForm* f) const
    {
        if (f) f->Free();
    }
};
using FormPtr = std::unique_ptr<TForm, FormDeleter>;

struct Fixture {
    Fixture()
    {
        form.reset(MakeNewForm<TForm>(nullptr));
        form->SetBounds(10, 10, 300, 120);
        edit = new TWideTestEdit(form.get());
        edit->SetParent(form.get());
        form->Show();
        edit->HandleNeeded();
    }
    ExceptionRecorder errors;
    FormPtr form;
    TWideTestEdit* edit;
};

void Type(HWND window, const std::wstring& text)
{
    for (wchar_t c : text) SendMessageW(window, WM_CHAR, c, 1);
}

// Counts what reaches a control's handler chain from in front of it, and passes it on.
struct PassThrough : TObject {
    explicit PassThrough(TControl* c) : control(c)
    {
        previous = c->WindowProc();
        c->SetWindowProc(TWndMethod::Bind<&PassThrough::Handle>(this));
    }
    void Handle(TMessage& m)
    {
        if (m.Msg == WM_CHAR) ++chars;
        previous(m);
    }
    TControl* control;
    TWndMethod previous;
    int chars = 0;
};

}  // namespace

KERVO_CLASS_RECORD(TWideTestEdit) {}

TEST(WideWindows, TypedCharactersOutsideTheCodePageReachTheWindowText)
{
    Fixture f;
    HWND window = f.edit->Handle();
    ASSERT_TRUE(IsWindowUnicode(window));
    EXPECT_EQ(FindControl(window), f.edit);

    Type(window, L"日" + Hangul + Surrogates);
    EXPECT_EQ(GetWideControlText(f.edit), L"日" + Hangul + Surrogates);
    wchar_t raw[16] = {};
    GetWindowTextW(window, raw, 16);
    EXPECT_EQ(std::wstring(raw), L"日" + Hangul + Surrogates);
    // The class library's view: ANSI, with the code page's default character for what it lacks.
    EXPECT_EQ(f.edit->Text(), AnsiFromWide(L"日") + "???");

    // The class library's handlers see the character packed, its one-byte key press 255.
    ASSERT_EQ(f.edit->chars.size(), 4u);
    EXPECT_EQ(f.edit->chars[0], 0x65E5u << 16 | 0xFF);
    EXPECT_EQ(f.edit->chars[1], 0xD55Cu << 16 | 0xFF);
    EXPECT_EQ(f.edit->chars[2], 0xD842u << 16 | 0xFF);
    EXPECT_EQ(static_cast<unsigned char>(f.edit->keyPresses.at(1)), 0xFF);

    // Characters of the code page through the class library's own (ANSI) message loop; those
    // outside it need the layer's message hook there.
    SetWideControlText(f.edit, L"");
    PostMessageW(window, WM_CHAR, 'a', 1);
    PostMessageW(window, WM_CHAR, L'日', 1);
    Application->ProcessMessages();
    EXPECT_EQ(GetWideControlText(f.edit), L"a日");
    EXPECT_TRUE(f.errors.messages.empty());
}

TEST(WideWindows, TextSurvivesRecreationAndPairsWithTheAnsiText)
{
    Fixture f;
    SetWideControlText(f.edit, Hangul + Surrogates);
    HWND first = f.edit->Handle();
    f.edit->RecreateWnd();
    ASSERT_NE(f.edit->Handle(), first);
    EXPECT_TRUE(IsWindowUnicode(f.edit->Handle()));
    EXPECT_EQ(GetWideControlText(f.edit), Hangul + Surrogates);
    // The trap came back: characters are packed again, once.
    PassThrough front(f.edit);
    f.edit->RecreateWnd();
    f.edit->chars.clear();
    SendMessageW(f.edit->Handle(), EM_SETSEL, 100, 100);
    Type(f.edit->Handle(), Hangul);
    EXPECT_EQ(front.chars, 1);
    ASSERT_EQ(f.edit->chars.size(), 1u);
    EXPECT_EQ(f.edit->chars[0], 0xD55Cu << 16 | 0xFF);
    EXPECT_EQ(GetWideControlText(f.edit), Hangul + Surrogates + Hangul);

    // The class library's ANSI text reaches the wide window converted, and wins.
    f.edit->SetText(AnsiFromWide(L"検索"));
    EXPECT_EQ(GetWideControlText(f.edit), L"検索");

    // A wide text given while there is no window wins over the matching ANSI caption.
    auto* later = new TWideTestEdit(f.form.get());
    SetWideControlText(later, Surrogates);
    EXPECT_FALSE(later->HandleAllocated());
    later->SetParent(f.form.get());
    later->HandleNeeded();
    EXPECT_EQ(GetWideControlText(later), Surrogates);
    // A second control of the class shares the window class.
    EXPECT_EQ(GetClassLongPtrW(later->Handle(), GCW_ATOM), GetClassLongPtrW(f.edit->Handle(), GCW_ATOM));
    WNDCLASSW info{};
    ASSERT_TRUE(GetClassInfoW(GetModuleHandleW(nullptr), L"TWideTestEdit.UnicodeClass", &info));
    EXPECT_EQ(info.lpfnWndProc, &UnicodeInitWndProc);

    later->Free();
    EXPECT_TRUE(f.errors.messages.empty());
}

TEST(WideWindows, MessageRoutines)
{
    Fixture f;
    EXPECT_EQ(SendMessageW(f.edit->Handle(), WM_NOTIFYFORMAT, reinterpret_cast<WPARAM>(f.edit->Handle()), NF_QUERY),
              NFR_UNICODE);
    EXPECT_EQ(NotifyFormatAnswer(f.form->Handle()), NFR_ANSI);

    TMessage m{WM_CHAR, 0x3042, 0, 0};
    PackCharForAnsi(m);
    EXPECT_EQ(m.WParam, 0x3042u << 16 | 0xFF);
    EXPECT_EQ(CharOfCharMessage(m), L'\x3042');
    UnpackChar(m);
    EXPECT_EQ(m.WParam, 0x3042u);
    m.WParam = 'x';
    PackCharForAnsi(m);
    EXPECT_EQ(m.WParam, static_cast<WPARAM>('x'));
    m.WParam = 0x00410042;  // high bits without the 255 marker: dropped
    UnpackChar(m);
    EXPECT_EQ(m.WParam, 0x42u);
    SetCharOfCharMessage(m, L'한');
    EXPECT_EQ(CharOfCharMessage(m), L'한');
    EXPECT_TRUE(IsTextMessage(WM_GETTEXTLENGTH));
    EXPECT_FALSE(IsTextMessage(WM_CHAR));

    // An ANSI window cannot be subclassed.
    try {
        SubClassUnicodeControl(f.form.get(), "", false);
        ADD_FAILURE() << "no error";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "Unicode layer internal error: SubClassUnicodeControl.Control is not Unicode.");
    }
}
