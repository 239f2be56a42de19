// Wide actions and their links: captions and hints that code page 932 cannot hold flow from a
// TWideAction into a linked control and a wide menu item (and its Windows menu) exactly, while a
// client whose text was changed by hand keeps it.
#include <windows.h>
#include <gtest/gtest.h>

#include <string>

#include "../classlib/ControlsTestSupport.h"
#include "ActnList.h"
#include "StdCtrls.h"
#include "WideActions.h"
#include "WideControls.h"
#include "WideMenus.h"

namespace {

const std::wstring Korea = L"\xD55C\xAD6D";     // 한국, "??" in code page 932
const std::wstring Joseon = L"\xC870\xC120";    // 조선, "??" as well
const std::wstring Yoshi = L"\xD842\xDFB7";     // 𠮷

// A windowless control that joins actions the way the Unicode controls do: through the wide link
// class, taking the wide texts before the class library's action change. It counts its text
// changes.
class TWideLinkedControl : public TGraphicControl {
    KERVO_CLASS(TWideLinkedControl, TGraphicControl)
public:
    explicit TWideLinkedControl(TComponent* owner) : TGraphicControl(owner) {}
    const TClassRecord& ActionLinkClass() override
    {
        TGraphicControl::ActionLinkClass();
        return ActionLinkClassFor(this);
    }
    void ActionChange(TComponent* sender, bool checkDefaults) override
    {
        ApplyWideActionTexts(this, CheckedCast<TBasicAction>(sender), checkDefaults);
        TGraphicControl::ActionChange(sender, checkDefaults);
    }
    void HandleWindowMessage(TMessage& message) override
    {
        if (message.Msg == CM_TEXTCHANGED) ++textChanges;
        TGraphicControl::HandleWindowMessage(message);
    }
    int textChanges = 0;
};

KERVO_CLASS_RECORD(TWideLinkedControl) {}

std::wstring MenuText(HMENU menu, UINT command)
{
    wchar_t buffer[128] = {};
    GetMenuStringW(menu, command, buffer, 128, MF_BYCOMMAND);
    return buffer;
}

}  // namespace

TEST(WideActions, CaptionAndHintPairWithTheAnsiTexts)
{
    TObjectPtr<TWideAction> action(new TWideAction(nullptr));
    EXPECT_NE(QueryInterfaceOf<IWideAction>(action.get()), nullptr);
    EXPECT_EQ(FindActionHelper(action.get()), FindActionHelper(action.get()));
    action->SetWideCaption(Korea + Yoshi);
    action->SetWideHint(L"short|" + Korea);
    EXPECT_EQ(action->WideCaption(), Korea + Yoshi);
    EXPECT_EQ(action->Caption(), "????");
    EXPECT_EQ(action->WideHint(), L"short|" + Korea);
    EXPECT_EQ(action->Hint(), "short|??");
    // The published properties are the wide ones.
    EXPECT_EQ(action->GetClass().FindProperty("Caption")->Kind, TPropKind::WideString);
    // The class library's own change wins.
    action->SetCaption("abc");
    EXPECT_EQ(action->WideCaption(), L"abc");
    // An action without wide texts answers (and takes) its ANSI ones.
    TObjectPtr<TAction> plain(new TAction(nullptr));
    EXPECT_EQ(FindActionHelper(plain.get()), nullptr);
    SetWideActionCaption(plain.get(), Korea);
    EXPECT_EQ(plain->Caption(), "??");
    EXPECT_EQ(GetWideActionCaption(plain.get()), L"??");
    // Assignment goes through ANSI: the copy reads as the ANSI form converted back.
    TObjectPtr<TWideAction> copy(new TWideAction(nullptr));
    action->SetWideCaption(Korea);
    copy->Assign(action.get());
    EXPECT_EQ(copy->WideCaption(), L"??");
    EXPECT_EQ(copy->WideHint(), L"short|??");
}

TEST(WideActions, LinkedControlFollowsTheWideCaptionWhileItShowsTheOldOne)
{
    TObjectPtr<TWideAction> action(new TWideAction(nullptr));
    action->SetWideCaption(Korea);
    action->SetWideHint(Yoshi);
    TObjectPtr<TWideLinkedControl> control(new TWideLinkedControl(nullptr));
    control->SetAction(action.get());
    ASSERT_NE(control->ActionLink(), nullptr);
    EXPECT_EQ(&control->ActionLink()->GetClass(), &TWideControlActionLink::StaticClass());
    EXPECT_EQ(GetWideControlText(control.get()), Korea);
    EXPECT_EQ(GetWideControlHint(control.get()), Yoshi);

    // The same value again tells nobody.
    control->textChanges = 0;
    action->SetWideCaption(Korea);
    EXPECT_EQ(control->textChanges, 0);
    // A new caption with the same ANSI form reaches the control (through the empty text).
    action->SetWideCaption(Joseon);
    EXPECT_EQ(GetWideControlText(control.get()), Joseon);
    EXPECT_EQ(control->Caption(), "??");
    EXPECT_GE(control->textChanges, 2);
    action->SetWideHint(Korea);
    EXPECT_EQ(GetWideControlHint(control.get()), Korea);

    // A control whose text was changed by hand keeps it.
    SetWideControlText(control.get(), L"mine");
    action->SetWideCaption(Yoshi);
    EXPECT_EQ(GetWideControlText(control.get()), L"mine");

    // Linking with check-defaults keeps a control's own text and hint, but replaces a text that
    // is only its name.
    TObjectPtr<TWideLinkedControl> own(new TWideLinkedControl(nullptr));
    SetWideControlText(own.get(), L"own");
    SetWideControlHint(own.get(), L"own hint");
    ApplyWideActionTexts(own.get(), action.get(), true);
    EXPECT_EQ(GetWideControlText(own.get()), L"own");
    EXPECT_EQ(GetWideControlHint(own.get()), L"own hint");
    own->SetName("Box1");
    SetWideControlText(own.get(), L"Box1");
    ApplyWideActionTexts(own.get(), action.get(), true);
    EXPECT_EQ(GetWideControlText(own.get()), Yoshi);
    EXPECT_EQ(GetWideControlHint(own.get()), L"own hint");

    // The link class by kind of control.
    TObjectPtr<TButton> button(new TButton(nullptr));
    EXPECT_EQ(&ActionLinkClassFor(button.get()), &TWideButtonActionLink::StaticClass());
    TObjectPtr<TForm> form(new TForm(nullptr));
    EXPECT_EQ(&ActionLinkClassFor(form.get()), &TWideWinControlActionLink::StaticClass());
    // The class library's own controls copy the ANSI form.
    button->SetAction(action.get());
    EXPECT_EQ(button->Caption(), "??");
    action->SetCaption("plain");
    EXPECT_EQ(button->Caption(), "plain");
}

TEST(WideActions, WideMenuItemFollowsTheActionIntoItsWindowsMenu)
{
    TObjectPtr<TPopupMenu> menu(new TPopupMenu(nullptr));
    auto* item = new TWideMenuItem(menu.get());
    menu->Items()->Add(item);
    TObjectPtr<TWideAction> action(new TWideAction(nullptr));
    action->SetWideCaption(L"&" + Korea);
    action->SetWideHint(L"tip|" + Yoshi);
    action->SetShortCut(scCtrl | 'A');
    HMENU handle = menu->Handle();
    item->SetAction(action.get());
    EXPECT_EQ(&item->ActionLink()->GetClass(), &TWideMenuActionLink::StaticClass());
    EXPECT_EQ(item->WideCaption(), L"&" + Korea);
    EXPECT_EQ(MenuItemWideHint(item), L"tip|" + Yoshi);
    EXPECT_EQ(MenuText(handle, item->Command()), L"&" + Korea + L"\t" + ShortCutToWideText(scCtrl | 'A'));

    // The item follows a caption equal apart from hot-key marks and case.
    item->SetWideCaption(Korea);
    action->SetWideCaption(Joseon);
    EXPECT_EQ(item->WideCaption(), Joseon);
    EXPECT_EQ(MenuText(handle, item->Command()).substr(0, 2), Joseon);
    action->SetWideHint(Korea);
    EXPECT_EQ(item->WideHint(), Korea);
    // One changed by hand stays.
    item->SetWideCaption(L"mine");
    action->SetWideCaption(Yoshi);
    EXPECT_EQ(item->WideCaption(), L"mine");

    // A menu link takes only wide menu items.
    TObjectPtr<TMenuItem> plain(new TMenuItem(nullptr));
    EXPECT_THROW(TWideMenuActionLink link(plain.get()), EInvalidCast);
}
