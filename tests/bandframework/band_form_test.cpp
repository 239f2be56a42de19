// The band form base: made on a foreign parent window from its own form resource, the band
// defaults forced on what the resource stored, and its four size answers.
#include <windows.h>
#include <gtest/gtest.h>

#include "Menus.h"
#include "TestBand.h"

using namespace bandtest;

namespace {

struct FormDeleter {
    void operator()(TzBandForm* f) const
    {
        if (f) f->Free();
    }
};
using FormPtr = std::unique_ptr<TTestBandForm, FormDeleter>;

// A band form class without a form resource of its own.
class TNoResourceBandForm : public TzBandForm {
    KERVO_CLASS(TNoResourceBandForm, TzBandForm)
public:
    explicit TNoResourceBandForm(TComponent* owner) : TzBandForm(owner) {}
};
KERVO_CLASS_RECORD(TNoResourceBandForm) {}

}  // namespace

// Found by gtest's comparisons only at global scope, where POINTL lives.
static bool operator==(const POINTL& a, const POINTL& b)
{
    return a.x == b.x && a.y == b.y;
}

TEST(BandForm, IsAChildOfTheSiteWithTheBandDefaultsWhateverItsResourceStored)
{
    SiteWindow site(300, 40);
    auto* owner = reinterpret_cast<TzCustomBandObject*>(0x1234);  // stored, never consulted
    FormPtr form(TzBandForm::CreateForBand<TTestBandForm>(site.Handle(), owner));

    EXPECT_EQ(form->Owner(), nullptr);
    EXPECT_EQ(form->BandObject(), owner);
    EXPECT_EQ(GetParent(form->Handle()), site.Handle());
    EXPECT_TRUE(GetWindowLongPtrA(form->Handle(), GWL_STYLE) & WS_CHILD);
    // What the resource stored for everything else stays.
    EXPECT_EQ(form->Caption(), AnsiFromWide(L"テスト バンド"));
    ASSERT_NE(form->Button1, nullptr);

    // The nine forced values.
    EXPECT_EQ(form->BandModeFlags(), TzBandModeFlags{bmfVariableHeight});
    EXPECT_EQ(form->BandIntegralX(), 1);
    EXPECT_EQ(form->BandIntegralY(), 1);
    EXPECT_EQ(form->BorderIcons(), TBorderIcons{});
    EXPECT_EQ(form->BorderStyle(), TFormBorderStyle::bsNone);
    EXPECT_EQ(form->BorderWidth(), 0);
    EXPECT_EQ(form->FormStyle(), TFormStyle::fsNormal);
    EXPECT_EQ(form->Position(), TPosition::poDesigned);
    EXPECT_FALSE(form->Visible());
    EXPECT_FALSE(IsWindowVisible(form->Handle()));

    // One pixel more than the site's client area each way.
    EXPECT_EQ(form->ClientWidth(), 301);
    EXPECT_EQ(form->ClientHeight(), 41);
    RECT r;
    GetClientRect(form->Handle(), &r);
    EXPECT_EQ(r.right, 301);
    EXPECT_EQ(r.bottom, 41);

    // The create handler ran last, seeing all of it.
    EXPECT_TRUE(form->seen.ran);
    EXPECT_EQ(form->seen.bandObject, owner);
    EXPECT_EQ(form->seen.modeFlags, TzBandModeFlags{bmfVariableHeight});
    EXPECT_EQ(form->seen.clientWidth, 301);
    EXPECT_EQ(form->seen.clientHeight, 41);
    EXPECT_FALSE(form->seen.visible);
}

TEST(BandForm, AnEmptySiteGivesAOneByOneForm)
{
    SiteWindow site(0, 0);
    FormPtr form(TzBandForm::CreateForBand<TTestBandForm>(site.Handle(), nullptr));
    EXPECT_EQ(form->ClientWidth(), 1);
    EXPECT_EQ(form->ClientHeight(), 1);
}

TEST(BandForm, AClassWithoutResourceCannotBeMade)
{
    SiteWindow site(100, 20);
    const int liveBefore = TTestBandForm::Live;
    EXPECT_THROW(TzBandForm::CreateForBand<TNoResourceBandForm>(site.Handle(), nullptr), EResNotFound);
    EXPECT_EQ(TTestBandForm::Live, liveBefore);
}

TEST(BandForm, SizeAnswersComeFromPropertiesOrEvents)
{
    SiteWindow site(120, 24);
    FormPtr form(TzBandForm::CreateForBand<TTestBandForm>(site.Handle(), nullptr));

    EXPECT_EQ(form->GetMinSize(), (POINTL{0, 0}));
    EXPECT_EQ(form->GetMaxSize(), (POINTL{-1, -1}));  // 0 is no limit
    EXPECT_EQ(form->GetIntegral(), (POINTL{1, 1}));
    EXPECT_EQ(form->GetActualSize(), (POINTL{121, 25}));

    form->Constraints()->SetMinWidth(40);
    form->Constraints()->SetMinHeight(12);
    form->Constraints()->SetMaxWidth(300);
    form->SetBandIntegralX(5);
    form->SetBandIntegralY(65535);
    form->SetClientWidth(200);
    EXPECT_EQ(form->GetMinSize(), (POINTL{40, 12}));
    EXPECT_EQ(form->GetMaxSize(), (POINTL{300, -1}));
    EXPECT_EQ(form->GetIntegral(), (POINTL{5, 65535}));
    EXPECT_EQ(form->GetActualSize(), (POINTL{200, 25}));

    // An assigned event decides alone, with the form as sender.
    TTestBandForm* f = form.get();
    for (TzGetPointLEvent* e : {&f->OnBandGetMinSize, &f->OnBandGetMaxSize, &f->OnBandGetIntegral,
                                &f->OnBandGetActualSize})
        e->Bind(f, &TTestBandForm::FixedPoint);
    for (POINTL p : {f->GetMinSize(), f->GetMaxSize(), f->GetIntegral(), f->GetActualSize()})
        EXPECT_EQ(p, (POINTL{41, 17}));
}

TEST(BandForm, ForgetsItsContextMenuWhenTheMenuIsFreed)
{
    SiteWindow site(120, 24);
    FormPtr form(TzBandForm::CreateForBand<TTestBandForm>(site.Handle(), nullptr));
    auto* menu = new TPopupMenu(nullptr);
    form->SetBandContextMenu(menu);
    EXPECT_EQ(form->BandContextMenu(), menu);
    menu->Free();
    EXPECT_EQ(form->BandContextMenu(), nullptr);

    // A menu the form owns goes with the form without a stale reference on the way.
    auto* owned = new TPopupMenu(form.get());
    form->SetBandContextMenu(owned);
    form.reset();
}

TEST(BandForm, NoMouseOrKeyEventsWhileItIsTakenApart)
{
    SiteWindow site(120, 24);
    TTestBandForm* form = TzBandForm::CreateForBand<TTestBandForm>(site.Handle(), nullptr);
    struct Probe : TObject {
        TTestBandForm* form = nullptr;
        bool noStdEvents = false;
        void Destroyed(TObject*) { noStdEvents = form->ControlStyle().Contains(TControlStyleFlag::csNoStdEvents); }
    } probe;
    probe.form = form;
    EXPECT_FALSE(form->ControlStyle().Contains(TControlStyleFlag::csNoStdEvents));
    form->OnDestroy.Bind(&probe, &Probe::Destroyed);
    form->Free();
    EXPECT_TRUE(probe.noStdEvents);
}

TEST(BandForm, KeepsItsLibraryLoadedUntilItIsFreed)
{
    SiteWindow site(120, 24);
    ASSERT_EQ(ComServer().CanUnloadNow(), S_OK);
    TTestBandForm* form = TzBandForm::CreateForBand<TTestBandForm>(site.Handle(), nullptr);
    EXPECT_EQ(ComServer().CanUnloadNow(), S_FALSE);
    // Closed, it frees itself from a posted message, which must still find the library.
    form->Close();
    EXPECT_EQ(TTestBandForm::Live, 1);
    EXPECT_EQ(ComServer().CanUnloadNow(), S_FALSE);
    Pump();
    EXPECT_EQ(TTestBandForm::Live, 0);
    EXPECT_EQ(ComServer().CanUnloadNow(), S_OK);
}
