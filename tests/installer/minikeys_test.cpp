// The dialog keyboard of the layer and the fixed size, on the installer's own window: typed keys
// go through the real queue, TranslateMessage and the layer's window procedure.
#include <iterator>

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

TEST_F(InstallerKeys, TabCyclesTheButtonsWrapsAndSkipsHiddenContainers)
{
    // Activation puts the focus on the group box, which is not in the tab list.
    ASSERT_EQ(Focus(), form->InstallGroup->Handle);
    const HWND reg = form->RegisterBtn->Handle, unreg = form->UnregisterBtn->Handle,
               close = form->CloseBtn->Handle;
    std::vector<HWND> seen;
    for (int i = 0; i < 4; ++i) {
        Type(VK_TAB);
        seen.push_back(Focus());
    }
    EXPECT_EQ(seen, (std::vector<HWND>{reg, unreg, close, reg}));
    EXPECT_EQ(form->Window->CurrentControl, form->RegisterBtn);
    TypeShifted(VK_TAB);   // back over the start to the last
    EXPECT_EQ(Focus(), close);
    TypeShifted(VK_TAB);
    EXPECT_EQ(Focus(), unreg);

    SetVisible(form->InstallGroup, false);
    Type(VK_TAB);
    EXPECT_EQ(Focus(), close);
    Type(VK_TAB);   // alone in the list, it stays
    EXPECT_EQ(Focus(), close);
    EXPECT_TRUE(clicks.buttons.empty());   // moving the focus presses nothing
}

TEST_F(InstallerKeys, TabNeverReachesAControlAndKeysGoOnlyToTheFocusedWindow)
{
    Type(VK_TAB);
    ASSERT_EQ(Focus(), form->RegisterBtn->Handle);
    DefaultProcRecorder::Install(form->RegisterBtn);
    for (int i = 0; i < 3; ++i) Type(VK_TAB);   // round and back to the recorded button
    ASSERT_EQ(Focus(), form->RegisterBtn->Handle);
    EXPECT_EQ(DefaultProcRecorder::Count(WM_KEYDOWN, VK_TAB), 0);
    EXPECT_EQ(DefaultProcRecorder::Count(WM_KEYUP, VK_TAB), 0);
    EXPECT_EQ(DefaultProcRecorder::Count(WM_CHAR, '\t'), 0);
    PostMessageA(form->RegisterBtn->Handle, WM_CHAR, 'a', 1);
    kit::Pump();
    EXPECT_EQ(DefaultProcRecorder::Count(WM_CHAR, 'a'), 1);

    DefaultProcRecorder::Install(form->UnregisterBtn);
    PostMessageA(form->UnregisterBtn->Handle, WM_CHAR, 'b', 1);
    PostMessageA(form->UnregisterBtn->Handle, WM_KEYDOWN, 'B', kit::KeyLParam('B', false));
    kit::Pump();
    EXPECT_TRUE(DefaultProcRecorder::Seen().empty());
}

TEST_F(InstallerKeys, ArrowKeysMoveByPositionAndFallBack)
{
    const HWND reg = form->RegisterBtn->Handle, unreg = form->UnregisterBtn->Handle,
               close = form->CloseBtn->Handle;
    Type(VK_TAB);
    ASSERT_EQ(Focus(), reg);
    // Right; Right at the row's end falls back to Down; Down at the bottom to Tab; Left at the
    // start to Up, and with nothing above to Shift+Tab; Page keys act as Up and Down.
    const UINT keys[] = {VK_RIGHT, VK_RIGHT, VK_DOWN, VK_LEFT, VK_UP, VK_LEFT, VK_NEXT, VK_NEXT, VK_PRIOR};
    const HWND expected[] = {unreg, close, reg, close, unreg, reg, unreg, close, unreg};
    for (size_t i = 0; i < std::size(keys); ++i) {
        Type(keys[i]);
        EXPECT_EQ(Focus(), expected[i]) << "key " << i;
    }
    EXPECT_TRUE(clicks.buttons.empty());
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

TEST_F(InstallerKeys, EscapeAndEnterWithoutAButtonForThemReachTheFocusedControl)
{
    Type(VK_TAB);
    DefaultProcRecorder::Install(form->RegisterBtn);
    Type(VK_RETURN);   // no default button
    EnableWindow(form->CloseBtn->Handle, FALSE);
    Type(VK_ESCAPE);   // a disabled cancel button
    EnableWindow(form->CloseBtn->Handle, TRUE);
    SetVisible(form->CloseBtn, false);
    Type(VK_ESCAPE);   // a hidden one
    EXPECT_TRUE(clicks.buttons.empty());
    EXPECT_EQ(Focus(), form->RegisterBtn->Handle);
    EXPECT_EQ(DefaultProcRecorder::Count(WM_KEYDOWN, VK_RETURN), 1);
    EXPECT_EQ(DefaultProcRecorder::Count(WM_KEYDOWN, VK_ESCAPE), 2);
}

TEST_F(InstallerKeys, EnterPressesADefaultButtonUnlessAnotherButtonHasTheFocus)
{
    SetDialogKeyButton(form->UnregisterBtn, VK_RETURN, true);
    EXPECT_TRUE(GetWindowLongA(form->UnregisterBtn->Handle, GWL_STYLE) & BS_DEFPUSHBUTTON);
    Type(VK_RETURN);   // the focus is on the group box
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
    auto hit = [wnd](int x, int y) { return SendMessageA(wnd, WM_NCHITTEST, 0, MAKELPARAM(x, y)); };
    EXPECT_EQ(hit(r.right - 1, midY), HTBORDER);
    EXPECT_EQ(hit(r.left, midY), HTBORDER);
    EXPECT_EQ(hit(r.right - 1, r.bottom - 1), HTBORDER);
    EXPECT_EQ(hit(midX, midY), HTCLIENT);
    MINMAXINFO info{};
    SendMessageA(wnd, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    EXPECT_EQ(info.ptMinTrackSize.x, r.right - r.left);
    EXPECT_EQ(info.ptMaxTrackSize.x, r.right - r.left);
    EXPECT_EQ(info.ptMinTrackSize.y, r.bottom - r.top);
    EXPECT_EQ(info.ptMaxTrackSize.y, r.bottom - r.top);

    const int hooks = form->Window->Hooks->Count;
    SetResizable(form->Window, false);   // already fixed: nothing
    EXPECT_EQ(form->Window->Hooks->Count, hooks);
    SetResizable(form->Window, true);    // resizable again: its sizing borders work
    EXPECT_TRUE(GetWindowLongA(wnd, GWL_STYLE) & WS_THICKFRAME);
    EXPECT_EQ(hit(r.right - 1, midY), HTRIGHT);
}
