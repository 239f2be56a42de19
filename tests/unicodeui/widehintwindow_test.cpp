// The wide hint window through the class library's hint machinery: a Unicode control's hint that
// code page 932 cannot hold is measured and shown exactly; other hint window classes and hint
// strings that the application's event replaced keep their text.
#include <windows.h>
#include <gtest/gtest.h>

#include <string>

#include "../classlib/ControlsTestSupport.h"
#include "ActnList.h"
#include "WideControls.h"
#include "WideGraphics.h"
#include "WideHintWindow.h"
#include "WideMenus.h"

using namespace ctltest;

namespace {

const std::wstring Korea = L"\xD55C\xAD6D";  // 한국

// A windowed control whose window is Unicode (no system class behind it).
class TWideProbe : public TWinControl {
    KERVO_CLASS(TWideProbe, TWinControl)
public:
    explicit TWideProbe(TComponent* owner) : TWinControl(owner) {}

protected:
    void MakeWindowHandle(const TCreateParams& params) override { CreateUnicodeWindow(this, params, L"", false); }
};
KERVO_CLASS_RECORD(TWideProbe) {}

class TOtherHintWindow : public THintWindow {
    KERVO_CLASS(TOtherHintWindow, THintWindow)
public:
    explicit TOtherHintWindow(TComponent* owner) : THintWindow(owner) {}
};
KERVO_CLASS_RECORD(TOtherHintWindow) {}

struct HintEventSpy : TObject {
    explicit HintEventSpy(std::string replacement) : text(std::move(replacement))
    {
        Application->OnShowHint.Bind(this, &HintEventSpy::OnShowHint);
    }
    ~HintEventSpy() override { Application->OnShowHint.Clear(); }
    void OnShowHint(std::string& hintStr, bool&, THintInfo&) { hintStr = text; }
    std::string text;
};

std::wstring WindowText(HWND window)
{
    wchar_t buffer[256] = {};
    GetWindowTextW(window, buffer, 256);
    return buffer;
}

SIZE ExtentIn(HFONT font, const std::wstring& text)
{
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    const SIZE size = WideTextExtentOnDC(dc, text);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    return size;
}

}  // namespace

TEST(WideHintWindow, UnicodeControlShowsItsWideHint)
{
    TObjectPtr<TForm> form(MakeNewForm<TForm>(nullptr));
    form->SetBounds(50, 50, 300, 150);
    auto* probe = new TWideProbe(form.get());
    probe->SetParent(form.get());
    probe->SetBounds(10, 10, 120, 40);
    probe->SetShowHint(true);
    TObjectPtr<TAction> action(new TAction(nullptr));
    action->SetShortCut(scCtrl | 'A');
    form->Show();
    ASSERT_TRUE(IsWindowUnicode(probe->Handle()));
    SetWideControlHint(probe, Korea + L"\xD842\xDFB7|long");
    const POINT over = probe->ClientToScreen(POINT{20, 20});
    const TClassRecord* defaultClass = Application->HintWindowClass();

    // Shown wide in a TWideHintWindow, measured in the wide text.
    Application->SetHintShortCuts(false);
    Application->ActivateHint(over);
    THintWindow* window = Application->HintWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->ClassName(), "TWideHintWindow");
    EXPECT_TRUE(IsWindowUnicode(window->Handle()));
    EXPECT_TRUE(IsWindowVisible(window->Handle()));
    EXPECT_EQ(WindowText(window->Handle()), Korea + L"\xD842\xDFB7");
    const SIZE measured = ExtentIn(window->FontHandle(), Korea + L"\xD842\xDFB7");
    EXPECT_EQ(window->Width(), measured.cx + 6);
    // The text stands 2 pixels below the client's top: the client holds it whole below that.
    RECT client{};
    GetClientRect(window->Handle(), &client);
    EXPECT_GE(client.bottom, measured.cy + 2) << "the last row of glyphs clipped";
    // A text change after the activation resizes the window to the text.
    auto* wide = static_cast<TWideHintWindow*>(window);
    wide->SetHintWideCaption(L"x" + Korea);
    const SIZE size = ExtentIn(window->FontHandle(), L"x" + Korea);
    EXPECT_EQ(window->Width(), size.cx + 6);
    EXPECT_EQ(window->Height(), size.cy + 6);
    Application->CancelHint();

    // The action's shortcut in wide form after the wide short hint.
    Application->SetHintShortCuts(true);
    probe->SetAction(action.get());
    SetWideControlHint(probe, Korea + L"|long");
    Application->ActivateHint(over);
    EXPECT_EQ(WindowText(Application->HintWindow()->Handle()), Korea + L" (" + ShortCutToWideText(scCtrl | 'A') + L")");
    Application->CancelHint();
    probe->SetAction(nullptr);
    SetWideControlHint(probe, Korea + L"|long");

    {
        // A hint string that the application's event replaced shows as it stands.
        HintEventSpy spy(AnsiFromWide(L"置換"));
        Application->ActivateHint(over);
        EXPECT_EQ(WindowText(Application->HintWindow()->Handle()), L"置換");
        Application->CancelHint();
    }

    // Another hint window class gets the ANSI hint.
    Application->SetHintWindowClass(&TOtherHintWindow::StaticClass());
    Application->ActivateHint(over);
    EXPECT_EQ(Application->HintWindow()->ClassName(), "TOtherHintWindow");
    EXPECT_EQ(Application->HintWindow()->Caption(), "??");
    Application->CancelHint();
    Application->SetHintWindowClass(defaultClass);

    // Hint data that does not lead to a marked record is foreign.
    EXPECT_FALSE(IsWideHintData(nullptr));
    EXPECT_FALSE(IsWideHintData(reinterpret_cast<void*>(0x10)));
    THintInfo unmarked;
    unmarked.HintWindowClass = &TWideHintWindow::StaticClass();
    EXPECT_FALSE(IsWideHintData(&unmarked));
    unmarked.HintData = &unmarked;
    EXPECT_TRUE(IsWideHintData(&unmarked));
    form->Hide();
}
