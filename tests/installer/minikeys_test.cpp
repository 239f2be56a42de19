// The dialog keyboard of the layer and the fixed size, on the installer's own window: typed keys
// go through the real queue, TranslateMessage and the layer's window procedure.
#include "InstUnit.h"
#include "LayerTestKit.h"

using namespace miniwin;
using kit::DefaultProcRecorder;
using kit::Type;
using kit::TypeShifted;

namespace {

// Records which button reported a click and where the focus was at that moment.
struct Clicks {
    std::vector<TMiniControl*> buttons;
    std::vector<HWND> focusAtClick;
    void Clicked(TMiniObject* sender)
    {
        buttons.push_back(static_cast<TMiniControl*>(sender));
        focusAtClick.push_back(GetFocus());
    }
};

class InstallerKeys : public kit::LayerTest {
protected:
    void SetUp() override
    {
        LayerTest::SetUp();
        CreateInstallForm(form, nullptr);
        // What RunMainWindow does before its loop: the window is shown and activated.
        AppletRunning = true;
        MainMiniWindow = form->Window;
        ASSERT_TRUE(form->Window->CreateWindow());
        SetForegroundWindow(form->Window->Handle);
        kit::Pump();
        // Clicks are recorded instead of calling the band library.
        for (TMiniControl* b : {form->RegisterBtn, form->UnregisterBtn, form->CloseBtn})
            b->OnClick = MiniMethod<Clicks, &Clicks::Clicked>(&clicks);
    }
    void TearDown() override
    {
        MainMiniWindow = nullptr;
        Free(form->Window);
        LayerTest::TearDown();
    }
    HWND Focus() const { return GetFocus(); }

    TInstallForm* form = nullptr;
    Clicks clicks;
};

}  // namespace

TEST_F(InstallerKeys, TabCyclesTheButtonsAndSkipsTheGroupBox)
{
    // Activation puts the focus on the group box, which is not in the tab list.
    ASSERT_EQ(Focus(), form->InstallGroup->Handle);
    Type(VK_TAB);
    EXPECT_EQ(Focus(), form->RegisterBtn->Handle);
    Type(VK_TAB);
    EXPECT_EQ(Focus(), form->UnregisterBtn->Handle);
    Type(VK_TAB);
    EXPECT_EQ(Focus(), form->CloseBtn->Handle);
    EXPECT_EQ(form->Window->CurrentControl, form->CloseBtn);
    Type(VK_TAB);   // wraps to the first
    EXPECT_EQ(Focus(), form->RegisterBtn->Handle);
    TypeShifted(VK_TAB);   // and back over the start to the last
    EXPECT_EQ(Focus(), form->CloseBtn->Handle);
    TypeShifted(VK_TAB);
    EXPECT_EQ(Focus(), form->UnregisterBtn->Handle);
    EXPECT_TRUE(clicks.buttons.empty());   // moving the focus presses nothing
}

TEST_F(InstallerKeys, TabNeverReachesAControlAndKeysGoOnlyToTheFocusedWindow)
{
    Type(VK_TAB);
    ASSERT_EQ(Focus(), form->RegisterBtn->Handle);
    DefaultProcRecorder::Install(form->RegisterBtn);
    Type(VK_TAB);
    Type(VK_TAB);
    Type(VK_TAB);   // back on the recorded button
    ASSERT_EQ(Focus(), form->RegisterBtn->Handle);
    EXPECT_EQ(DefaultProcRecorder::Count(WM_KEYDOWN, VK_TAB), 0);
    EXPECT_EQ(DefaultProcRecorder::Count(WM_KEYUP, VK_TAB), 0);
    EXPECT_EQ(DefaultProcRecorder::Count(WM_CHAR, '\t'), 0);

    PostMessageA(form->RegisterBtn->Handle, WM_CHAR, 'a', 1);
    kit::Pump();
    EXPECT_EQ(DefaultProcRecorder::Count(WM_CHAR, 'a'), 1);

    // Keys that reach a window without the focus are dropped.
    DefaultProcRecorder::Install(form->UnregisterBtn);
    PostMessageA(form->UnregisterBtn->Handle, WM_CHAR, 'b', 1);
    PostMessageA(form->UnregisterBtn->Handle, WM_KEYDOWN, 'B', kit::KeyLParam('B', false));
    kit::Pump();
    EXPECT_EQ(DefaultProcRecorder::Count(WM_CHAR, 'b'), 0);
    EXPECT_EQ(DefaultProcRecorder::Count(WM_KEYDOWN, 'B'), 0);
}

TEST_F(InstallerKeys, ArrowKeysMoveByPositionAndFallBack)
{
    Type(VK_TAB);
    ASSERT_EQ(Focus(), form->RegisterBtn->Handle);
    Type(VK_RIGHT);
    EXPECT_EQ(Focus(), form->UnregisterBtn->Handle);
    Type(VK_RIGHT);   // nothing further right in its row: Down
    EXPECT_EQ(Focus(), form->CloseBtn->Handle);
    Type(VK_DOWN);    // nothing below: Tab, which wraps
    EXPECT_EQ(Focus(), form->RegisterBtn->Handle);
    Type(VK_LEFT);    // nothing to the left: Up; nothing above: Shift+Tab
    EXPECT_EQ(Focus(), form->CloseBtn->Handle);
    Type(VK_UP);      // the button above overlapping it horizontally
    EXPECT_EQ(Focus(), form->UnregisterBtn->Handle);
    Type(VK_LEFT);
    EXPECT_EQ(Focus(), form->RegisterBtn->Handle);
    Type(VK_NEXT);    // Page Down acts as Down: nothing below overlaps, so Tab
    EXPECT_EQ(Focus(), form->UnregisterBtn->Handle);
    Type(VK_NEXT);
    EXPECT_EQ(Focus(), form->CloseBtn->Handle);
    Type(VK_PRIOR);   // Page Up acts as Up
    EXPECT_EQ(Focus(), form->UnregisterBtn->Handle);
    EXPECT_TRUE(clicks.buttons.empty());
}

TEST_F(InstallerKeys, TabSkipsEveryControlInsideAHiddenContainer)
{
    SetVisible(form->InstallGroup, false);
    Type(VK_TAB);
    EXPECT_EQ(Focus(), form->CloseBtn->Handle);
    Type(VK_TAB);   // alone in the list: it stays
    EXPECT_EQ(Focus(), form->CloseBtn->Handle);
}

TEST_F(InstallerKeys, EscapeMovesTheFocusToTheCancelButtonBeforeItsClick)
{
    Type(VK_TAB);
    ASSERT_EQ(Focus(), form->RegisterBtn->Handle);
    Type(VK_ESCAPE);
    ASSERT_EQ(clicks.buttons.size(), 1u);
    EXPECT_EQ(clicks.buttons[0], form->CloseBtn);
    EXPECT_EQ(clicks.focusAtClick[0], form->CloseBtn->Handle);

    // With its own handler, the cancel button's click closes the window: the loop would end.
    form->CloseBtn->OnClick = MiniMethod<TInstallForm, &TInstallForm::CloseBtnClick>(form);
    Type(VK_ESCAPE);
    EXPECT_TRUE(AppletTerminated);
}

TEST_F(InstallerKeys, EscapeDoesNothingSpecialWhenTheCancelButtonIsDisabledOrHidden)
{
    Type(VK_TAB);
    EnableWindow(form->CloseBtn->Handle, FALSE);
    DefaultProcRecorder::Install(form->RegisterBtn);
    Type(VK_ESCAPE);
    EXPECT_TRUE(clicks.buttons.empty());
    EXPECT_EQ(Focus(), form->RegisterBtn->Handle);
    EXPECT_EQ(DefaultProcRecorder::Count(WM_KEYDOWN, VK_ESCAPE), 1);   // the focused control's

    EnableWindow(form->CloseBtn->Handle, TRUE);
    SetVisible(form->CloseBtn, false);
    Type(VK_ESCAPE);
    EXPECT_TRUE(clicks.buttons.empty());
    EXPECT_EQ(Focus(), form->RegisterBtn->Handle);
}

TEST_F(InstallerKeys, EnterWithoutDefaultButtonReachesTheFocusedControl)
{
    Type(VK_TAB);
    DefaultProcRecorder::Install(form->RegisterBtn);
    Type(VK_RETURN);
    EXPECT_TRUE(clicks.buttons.empty());
    EXPECT_EQ(Focus(), form->RegisterBtn->Handle);
    EXPECT_EQ(DefaultProcRecorder::Count(WM_KEYDOWN, VK_RETURN), 1);
    EXPECT_EQ(DefaultProcRecorder::Count(WM_KEYUP, VK_RETURN), 1);
}

TEST_F(InstallerKeys, EnterPressesADefaultButtonUnlessAnotherButtonHasTheFocus)
{
    SetDialogKeyButton(form->UnregisterBtn, VK_RETURN, true);
    EXPECT_TRUE(GetWindowLongA(form->UnregisterBtn->Handle, GWL_STYLE) & BS_DEFPUSHBUTTON);
    // The group box has the focus: Enter goes to the default button.
    Type(VK_RETURN);
    ASSERT_EQ(clicks.buttons.size(), 1u);
    EXPECT_EQ(clicks.buttons[0], form->UnregisterBtn);
    EXPECT_EQ(clicks.focusAtClick[0], form->UnregisterBtn->Handle);

    Type(VK_TAB);
    ASSERT_EQ(Focus(), form->CloseBtn->Handle);
    Type(VK_RETURN);
    EXPECT_EQ(clicks.buttons.size(), 1u);

    // Giving up the default button leaves the cancel button working.
    SetDialogKeyButton(form->UnregisterBtn, VK_RETURN, false);
    EXPECT_FALSE(GetWindowLongA(form->UnregisterBtn->Handle, GWL_STYLE) & BS_DEFPUSHBUTTON);
    Type(VK_ESCAPE);
    ASSERT_EQ(clicks.buttons.size(), 2u);
    EXPECT_EQ(clicks.buttons[1], form->CloseBtn);
}

TEST_F(InstallerKeys, FixedSizeTurnsSizingBordersIntoPlainBorders)
{
    HWND wnd = form->Window->Handle;
    RECT r;
    GetWindowRect(wnd, &r);
    const int midX = (r.left + r.right) / 2, midY = (r.top + r.bottom) / 2;
    auto hit = [wnd](int x, int y) {
        return SendMessageA(wnd, WM_NCHITTEST, 0, MAKELPARAM(x, y));
    };
    EXPECT_EQ(hit(r.right - 1, midY), HTBORDER);
    EXPECT_EQ(hit(r.left, midY), HTBORDER);
    EXPECT_EQ(hit(midX, r.bottom - 1), HTBORDER);
    EXPECT_EQ(hit(r.right - 1, r.bottom - 1), HTBORDER);
    EXPECT_EQ(hit(midX, midY), HTCLIENT);

    MINMAXINFO info{};
    SendMessageA(wnd, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    EXPECT_EQ(info.ptMinTrackSize.x, r.right - r.left);
    EXPECT_EQ(info.ptMaxTrackSize.x, r.right - r.left);
    EXPECT_EQ(info.ptMinTrackSize.y, r.bottom - r.top);
    EXPECT_EQ(info.ptMaxTrackSize.y, r.bottom - r.top);

    // Fixing a fixed window again changes nothing.
    const int hooks = form->Window->Hooks->Count;
    SetResizable(form->Window, false);
    EXPECT_EQ(form->Window->Hooks->Count, hooks);
    EXPECT_FALSE(IsResizable(form->Window));

    // Made resizable again, its sizing borders work.
    SetResizable(form->Window, true);
    EXPECT_TRUE(IsResizable(form->Window));
    EXPECT_TRUE(GetWindowLongA(wnd, GWL_STYLE) & WS_THICKFRAME);
    EXPECT_EQ(hit(r.right - 1, midY), HTRIGHT);
}
