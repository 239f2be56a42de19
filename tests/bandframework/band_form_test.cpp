// The band form base: made on a foreign parent window from its own form resource, the band
// defaults forced on what the resource stored, its size answers and its menu reference.
#include <windows.h>
#include <gtest/gtest.h>

#include <memory>

#include "TestBand.h"

using namespace bandtest;

namespace {

using FormPtr = TObjectPtr<TTestBandForm>;

class TNoResourceBandForm : public TzBandForm {
    KERVO_CLASS(TNoResourceBandForm, TzBandForm)
public:
    explicit TNoResourceBandForm(TComponent* owner) : TzBandForm(owner) {}
};
KERVO_CLASS_RECORD(TNoResourceBandForm) {}

}  // namespace

// Found by gtest only at global scope, where POINTL lives.
static bool operator==(const POINTL& a, const POINTL& b)
{
    return a.x == b.x && a.y == b.y;
}

TEST(BandForm, IsAChildOfTheSiteWithTheBandDefaultsWhateverItsResourceStored)
{
    SiteWindow site(300, 40);
    Band owner;  // the form tells it when it goes
    TzCustomBandObject* band = owner.object;
    FormPtr form(TzBandForm::CreateForBand<TTestBandForm>(site.handle, band));
    EXPECT_EQ(form->Owner(), nullptr);
    EXPECT_EQ(GetParent(form->Handle()), site.handle);
    EXPECT_EQ(form->Caption(), AnsiFromWide(L"テスト バンド"));  // the resource's other values stay

    // The resource stored other values for all nine.
    EXPECT_EQ(form->BandModeFlags(), TzBandModeFlags{bmfVariableHeight});
    EXPECT_EQ(form->BandIntegralX(), 1);
    EXPECT_EQ(form->BandIntegralY(), 1);
    EXPECT_EQ(form->BorderIcons(), TBorderIcons{});
    EXPECT_EQ(form->BorderStyle(), TFormBorderStyle::bsNone);
    EXPECT_EQ(form->BorderWidth(), 0);
    EXPECT_EQ(form->FormStyle(), TFormStyle::fsNormal);
    EXPECT_EQ(form->Position(), TPosition::poDesigned);
    EXPECT_FALSE(IsWindowVisible(form->Handle()));

    // One pixel more than the site's client area each way, as the create handler saw it last.
    RECT r;
    GetClientRect(form->Handle(), &r);
    EXPECT_EQ(r.right, 301);
    EXPECT_EQ(r.bottom, 41);
    EXPECT_TRUE(form->seen.ran);
    EXPECT_EQ(form->seen.bandObject, band);
    EXPECT_EQ(form->seen.modeFlags, TzBandModeFlags{bmfVariableHeight});
    EXPECT_EQ(form->seen.clientWidth, 301);
    EXPECT_EQ(form->seen.clientHeight, 41);
    EXPECT_FALSE(form->seen.visible);
    EXPECT_EQ(form->shownHidden, std::vector<std::string>{"create"});  // Visible = True in the resource shows nothing

    SiteWindow empty(0, 0);
    FormPtr small(TzBandForm::CreateForBand<TTestBandForm>(empty.handle, nullptr));
    EXPECT_EQ(small->ClientWidth(), 1);
    EXPECT_EQ(small->ClientHeight(), 1);

    const int live = TTestBandForm::Live;
    EXPECT_THROW(TzBandForm::CreateForBand<TNoResourceBandForm>(site.handle, nullptr), EResNotFound);
    EXPECT_EQ(TTestBandForm::Live, live);
}

TEST(BandForm, SizeAnswersComeFromPropertiesOrEvents)
{
    SiteWindow site(120, 24);
    FormPtr form(TzBandForm::CreateForBand<TTestBandForm>(site.handle, nullptr));
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

    TTestBandForm* f = form.get();
    for (TzGetPointLEvent* e : {&f->OnBandGetMinSize, &f->OnBandGetMaxSize, &f->OnBandGetIntegral,
                                &f->OnBandGetActualSize})
        e->Bind(f, &TTestBandForm::FixedPoint);
    for (POINTL p : {f->GetMinSize(), f->GetMaxSize(), f->GetIntegral(), f->GetActualSize()})
        EXPECT_EQ(p, (POINTL{41, 17}));  // the event's answer, given the form as sender
}

TEST(BandForm, FollowsItsMenuAndKeepsItsLibraryUntilFreed)
{
    SiteWindow site(120, 24);
    ASSERT_EQ(ComServer().CanUnloadNow(), S_OK);
    TTestBandForm* form = TzBandForm::CreateForBand<TTestBandForm>(site.handle, nullptr);
    EXPECT_EQ(ComServer().CanUnloadNow(), S_FALSE);

    EXPECT_EQ(form->BandContextMenu(), form->PopupMenu1);
    auto* menu = new TPopupMenu(nullptr);
    form->SetBandContextMenu(menu);
    menu->Free();
    EXPECT_EQ(form->BandContextMenu(), nullptr);
    form->SetBandContextMenu(form->PopupMenu1);  // owned by the form: goes with it, told first

    struct Probe : TObject {
        TzBandForm* form;
        bool noStdEvents = false;
        void Destroyed(TObject*) { noStdEvents = form->ControlStyle().Contains(TControlStyleFlag::csNoStdEvents); }
    } probe;
    probe.form = form;
    form->OnDestroy.Bind(&probe, &Probe::Destroyed);

    // Closed, it frees itself from a posted message, which must still find the library.
    form->Close();
    EXPECT_EQ(TTestBandForm::Live, 1);
    EXPECT_EQ(ComServer().CanUnloadNow(), S_FALSE);
    Pump();
    EXPECT_EQ(TTestBandForm::Live, 0);
    EXPECT_TRUE(probe.noStdEvents);  // no mouse or key events while it is taken apart
    EXPECT_EQ(ComServer().CanUnloadNow(), S_OK);
}
