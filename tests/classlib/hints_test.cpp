// Hints: the hint of the control under a point is offered to the control (CM_HINTSHOW) and to
// OnShowHint, then shown in a window of the application's hint-window class; the parts of a hint.
#include <windows.h>
#include <gtest/gtest.h>

#include <string>

#include "ControlsTestSupport.h"
#include "ExtCtrls.h"
#include "Forms.h"
#include "StdCtrls.h"

using namespace ctltest;

namespace {

// Changes the hint it is asked to show, or refuses it.
class THintedPanel : public TPanel {
    KERVO_CLASS(THintedPanel, TPanel)
public:
    explicit THintedPanel(TComponent* owner) : TPanel(owner) {}
    bool refuse = false;
    std::string replacement;
    TControl* seenControl = nullptr;
    void HandleWindowMessage(TMessage& message) override
    {
        if (message.Msg == CM_HINTSHOW) {
            auto* info = reinterpret_cast<THintInfo*>(message.LParam);
            seenControl = info->HintControl;
            if (!replacement.empty()) info->HintStr = replacement;
            message.Result = refuse ? 1 : 0;
            return;
        }
        TPanel::HandleWindowMessage(message);
    }
};

class TOtherHintWindow : public THintWindow {
    KERVO_CLASS(TOtherHintWindow, THintWindow)
public:
    explicit TOtherHintWindow(TComponent* owner) : THintWindow(owner) {}
};

std::string WindowText(HWND h)
{
    char text[256] = {};
    GetWindowTextA(h, text, sizeof text);
    return text;
}

}  // namespace

KERVO_CLASS_RECORD(THintedPanel) {}
KERVO_CLASS_RECORD(TOtherHintWindow) {}

TEST(Hints, ShortAndLongParts)
{
    EXPECT_EQ(GetShortHint("short|long"), "short");
    EXPECT_EQ(GetLongHint("short|long"), "long");
    EXPECT_EQ(GetShortHint("whole"), "whole");
    EXPECT_EQ(GetLongHint("whole"), "whole");
    EXPECT_EQ(GetShortHint("|long"), "");
    EXPECT_EQ(GetLongHint("a|b|c"), "b|c");
}

TEST(Hints, TheControlUnderThePointIsAskedThenItsHintShowsInTheApplicationsWindowClass)
{
    TForm* form = MakeNewForm<TForm>(nullptr);
    form->SetBorderStyle(TFormBorderStyle::bsNone);
    form->SetBounds(100, 100, 200, 100);
    form->SetShowHint(true);
    auto* panel = new THintedPanel(form);
    panel->SetParent(form);
    panel->SetBounds(0, 0, 200, 100);
    panel->SetHint(AnsiFromWide(L"検索|長い説明"));
    auto* label = new TLabel(form);  // no hint of its own: its parent's
    label->SetParent(panel);
    label->SetBounds(10, 10, 50, 20);
    form->Show();
    EXPECT_TRUE(label->ShowHint()) << "taken from the parents";

    POINT over = label->ClientToScreen(POINT{5, 5});
    Application->ActivateHint(over);
    THintWindow* window = Application->HintWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(IsWindowVisible(window->Handle()));
    EXPECT_EQ(WideFromAnsi(WindowText(window->Handle())), L"検索");
    {
        // The text stands 2 pixels below the client's top: the client holds it whole below that.
        HDC dc = GetDC(nullptr);
        HGDIOBJ old = SelectObject(dc, window->FontHandle());
        const std::string shown = WindowText(window->Handle());
        SIZE text{};
        GetTextExtentPoint32A(dc, shown.c_str(), static_cast<int>(shown.size()), &text);
        SelectObject(dc, old);
        ReleaseDC(nullptr, dc);
        RECT client{};
        GetClientRect(window->Handle(), &client);
        EXPECT_GE(client.bottom, text.cy + 2) << "the last row of glyphs clipped";
    }
    EXPECT_EQ(Application->HintControl(), label);
    Application->CancelHint();
    EXPECT_FALSE(IsWindowVisible(window->Handle()));

    // The control under the point may change the text or refuse; OnShowHint sees the result.
    over = panel->ClientToScreen(POINT{150, 50});
    panel->replacement = "other";
    struct Show : TObject {
        std::string seen;
        void Hint(std::string& s, bool&, THintInfo&) { seen = s; }
    } show;
    Application->OnShowHint.Bind(&show, &Show::Hint);
    Application->ActivateHint(over);
    EXPECT_EQ(panel->seenControl, panel);
    EXPECT_EQ(show.seen, "other");
    EXPECT_EQ(WindowText(window->Handle()), "other");
    Application->OnShowHint.Clear();
    Application->CancelHint();
    panel->refuse = true;
    Application->ActivateHint(over);
    EXPECT_FALSE(IsWindowVisible(window->Handle()));
    panel->refuse = false;

    // Over the edit inside an editable combo box the control under the point is the box, and so
    // is the hint.
    auto* combo = new TCustomComboBox(form);
    combo->SetParent(panel);
    combo->SetBounds(80, 10, 100, 24);
    combo->SetHint("combo");
    combo->HandleNeeded();
    ASSERT_NE(combo->EditHandle(), nullptr);
    RECT edit{};
    GetWindowRect(combo->EditHandle(), &edit);
    const POINT overEdit{(edit.left + edit.right) / 2, (edit.top + edit.bottom) / 2};
    ASSERT_EQ(WindowFromPoint(overEdit), combo->EditHandle());
    EXPECT_EQ(FindControlAtScreenPos(overEdit, true), combo);
    Application->ActivateHint(overEdit);
    EXPECT_EQ(Application->HintControl(), combo);
    EXPECT_TRUE(IsWindowVisible(window->Handle()));
    EXPECT_EQ(WindowText(window->Handle()), "combo");
    Application->CancelHint();

    // Another hint-window class: the window is replaced by one of that class.
    Application->SetHintWindowClass(&TOtherHintWindow::StaticClass());
    Application->ActivateHint(over);
    ASSERT_NE(Application->HintWindow(), nullptr);
    EXPECT_EQ(Application->HintWindow()->ClassName(), "TOtherHintWindow");
    Application->CancelHint();
    Application->SetHintWindowClass(nullptr);
    form->Free();
}
