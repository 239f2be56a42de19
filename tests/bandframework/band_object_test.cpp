// The band COM object as the shell drives it: interfaces, the site and the form it makes there,
// the band information, showing, closing, focus, and its end.
#include <windows.h>
#include <ole2.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "TestBand.h"
#include "TestSite.h"

using namespace bandtest;

namespace {

// A band information record filled with a pattern, to see which members a call wrote.
DESKBANDINFO Patterned(DWORD mask)
{
    DESKBANDINFO info;
    std::memset(&info, 0xCD, sizeof info);
    info.dwMask = mask;
    return info;
}

bool Untouched(const void* member, size_t size)
{
    const auto* p = static_cast<const unsigned char*>(member);
    for (size_t i = 0; i < size; ++i)
        if (p[i] != 0xCD) return false;
    return true;
}
#define UNTOUCHED(info, member) Untouched(&(info).member, sizeof (info).member)

class BandObjectTest : public ::testing::Test {
protected:
    void SetUp() override { TTestBand::FailFormCreation = false; }
    void TearDown() override
    {
        TTestBand::FailFormCreation = false;
        Pump();
        EXPECT_EQ(TTestBand::Live, 0);
        EXPECT_EQ(TTestBandForm::Live, 0);
    }
};

}  // namespace

TEST_F(BandObjectTest, AnswersTheShellsInterfacesFromOneObject)
{
    Band band;
    ASSERT_TRUE(band.Whole());
    for (const IID* iid : {&IID_IDeskBand, &IID_IObjectWithSite, &IID_IInputObject, &IID_IPersistStream,
                           &IID_IPersist, &IID_IContextMenu, &IID_ISupportErrorInfo}) {
        IUnknown* p = Query<IUnknown>(band.unknown, *iid);
        ASSERT_NE(p, nullptr);
        // Every interface leads back to the same object.
        IUnknown* identity = Query<IUnknown>(p, IID_IUnknown);
        EXPECT_EQ(identity, band.unknown);
        identity->Release();
        p->Release();
    }
    // The window and docking-window parts exist only inside the desk-band table.
    void* p = reinterpret_cast<void*>(1);
    EXPECT_EQ(band.unknown->QueryInterface(IID_IOleWindow, &p), E_NOINTERFACE);
    EXPECT_EQ(p, nullptr);
    EXPECT_EQ(band.unknown->QueryInterface(IID_IDockingWindow, &p), E_NOINTERFACE);
    HWND window = reinterpret_cast<HWND>(1);
    EXPECT_EQ(band.deskBand->GetWindow(&window), S_OK);
    EXPECT_EQ(window, nullptr);
    EXPECT_EQ(band.deskBand->ShowDW(TRUE), S_OK);
    EXPECT_EQ(band.deskBand->ContextSensitiveHelp(TRUE), E_NOTIMPL);
    RECT border{};
    EXPECT_EQ(band.deskBand->ResizeBorderDW(&border, band.unknown, FALSE), E_NOTIMPL);

    // It keeps nothing in the shell's stream, and names the class it was made as.
    IPersistStream* persist = Query<IPersistStream>(band.unknown, IID_IPersistStream);
    ASSERT_NE(persist, nullptr);
    EXPECT_EQ(persist->IsDirty(), S_FALSE);
    EXPECT_EQ(persist->Load(nullptr), S_OK);
    EXPECT_EQ(persist->Save(nullptr, TRUE), S_OK);
    ULARGE_INTEGER size;
    size.QuadPart = ~0ull;
    EXPECT_EQ(persist->GetSizeMax(&size), S_OK);
    EXPECT_EQ(size.QuadPart, 0u);
    CLSID id{};
    EXPECT_EQ(persist->GetClassID(&id), S_OK);
    EXPECT_TRUE(IsEqualCLSID(id, CLSID_TestBandObject));
    persist->Release();

    MSG msg{};
    EXPECT_EQ(band.input->TranslateAcceleratorIO(&msg), S_FALSE);
}

TEST_F(BandObjectTest, WithoutAFormItAnswersButDoesNothing)
{
    Band band;
    ASSERT_TRUE(band.Whole());
    DESKBANDINFO info = Patterned(0x7F);
    EXPECT_EQ(band.deskBand->GetBandInfo(12, DBIF_VIEWMODE_VERTICAL, &info), E_UNEXPECTED);
    // The shell's identifiers are kept all the same; the record is left alone.
    EXPECT_EQ(band.object->BandID(), 12u);
    EXPECT_EQ(band.object->ViewMode(), static_cast<DWORD>(DBIF_VIEWMODE_VERTICAL));
    EXPECT_TRUE(UNTOUCHED(info, ptMinSize));
    EXPECT_TRUE(UNTOUCHED(info, wszTitle));

    EXPECT_EQ(band.deskBand->ShowDW(TRUE), S_OK);
    EXPECT_EQ(band.deskBand->CloseDW(0), S_OK);
    EXPECT_EQ(band.object->calls, std::vector<std::string>{"ShowDW 1"});  // CloseDW had nothing to hide
    EXPECT_EQ(band.input->UIActivateIO(TRUE, nullptr), S_OK);
    EXPECT_EQ(band.input->HasFocusIO(), S_FALSE);
    void* site = reinterpret_cast<void*>(1);
    EXPECT_EQ(band.withSite->GetSite(IID_IUnknown, &site), E_FAIL);
    EXPECT_EQ(site, nullptr);
}

TEST_F(BandObjectTest, TheFirstSiteGetsTheFormAndLaterSitesKeepIt)
{
    SiteWindow first(200, 30), second(400, 50);
    TestSite site1, site2;
    site1.window = first.Handle();
    site2.window = second.Handle();
    Band band;
    ASSERT_TRUE(band.Whole());

    ASSERT_EQ(band.withSite->SetSite(site1.Unknown()), S_OK);
    TTestBandForm* form = band.object->Form();
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(form->BandObject(), band.object);
    EXPECT_EQ(GetParent(form->Handle()), first.Handle());
    HWND window = nullptr;
    EXPECT_EQ(band.deskBand->GetWindow(&window), S_OK);
    EXPECT_EQ(window, form->Handle());
    // Its input-object site and, from that, its command target are held; neither is called.
    EXPECT_EQ(site1.OutsideReferences(), 2);
    EXPECT_EQ(site1.focusChanges + site1.commandCalls, 0);
    IOleWindow* got = nullptr;
    EXPECT_EQ(band.withSite->GetSite(IID_IOleWindow, reinterpret_cast<void**>(&got)), S_OK);
    EXPECT_EQ(got, static_cast<IOleWindow*>(&site1));
    got->Release();

    // Leaving the site lets go of it and keeps the form.
    EXPECT_EQ(band.withSite->SetSite(nullptr), S_OK);
    EXPECT_EQ(site1.OutsideReferences(), 0);
    EXPECT_EQ(band.object->Form(), form);
    void* none = reinterpret_cast<void*>(1);
    EXPECT_EQ(band.withSite->GetSite(IID_IUnknown, &none), E_FAIL);
    EXPECT_EQ(none, nullptr);

    // A new site is taken, but the form stays on its first window; its window is not even asked.
    EXPECT_EQ(band.withSite->SetSite(site2.Unknown()), S_OK);
    EXPECT_EQ(band.object->Form(), form);
    EXPECT_EQ(GetParent(form->Handle()), first.Handle());
    EXPECT_EQ(site2.getWindowCalls, 0);
    EXPECT_EQ(band.object->formsMade, 1);
    EXPECT_EQ(site2.OutsideReferences(), 2);
    // Setting a site again first lets go of the one held.
    EXPECT_EQ(band.withSite->SetSite(site2.Unknown()), S_OK);
    EXPECT_EQ(site2.OutsideReferences(), 2);

    // The end of the object lets go of its site and frees the form.
    band.Release();
    EXPECT_EQ(site2.OutsideReferences(), 0);
}

TEST_F(BandObjectTest, ASiteWithoutAWindowGetsNoForm)
{
    SiteWindow window(200, 30);
    Band band;
    ASSERT_TRUE(band.Whole());

    TestSite noOleWindow;
    noOleWindow.answersOleWindow = false;
    noOleWindow.window = window.Handle();
    EXPECT_EQ(band.withSite->SetSite(noOleWindow.Unknown()), E_FAIL);
    EXPECT_EQ(noOleWindow.getWindowCalls, 0);

    TestSite nullWindow;
    EXPECT_EQ(band.withSite->SetSite(nullWindow.Unknown()), E_FAIL);
    EXPECT_EQ(nullWindow.getWindowCalls, 1);

    // A site whose GetWindow fails without writing its answer.
    TestSite silentWindow;
    silentWindow.getWindowWritesNothing = true;
    EXPECT_EQ(band.withSite->SetSite(silentWindow.Unknown()), E_FAIL);

    EXPECT_EQ(band.object->formsMade, 0);
    EXPECT_EQ(band.object->Form(), nullptr);
    EXPECT_EQ(band.object->Site(), nullptr);
    for (TestSite* s : {&noOleWindow, &nullWindow, &silentWindow}) EXPECT_EQ(s->OutsideReferences(), 0);

    // A later, proper site succeeds.
    TestSite good;
    good.window = window.Handle();
    EXPECT_EQ(band.withSite->SetSite(good.Unknown()), S_OK);
    EXPECT_NE(band.object->Form(), nullptr);
}

TEST_F(BandObjectTest, ASiteWithoutInputObjectSiteFailsAfterMakingTheForm)
{
    SiteWindow window(200, 30);
    Band band;
    ASSERT_TRUE(band.Whole());
    TestSite site;
    site.window = window.Handle();
    site.answersInputObjectSite = false;
    EXPECT_EQ(band.withSite->SetSite(site.Unknown()), E_FAIL);
    ASSERT_NE(band.object->Form(), nullptr);
    EXPECT_EQ(band.object->Site(), nullptr);
    EXPECT_EQ(site.OutsideReferences(), 0);
    // The form serves all the same.
    DESKBANDINFO info = Patterned(DBIM_ACTUAL);
    EXPECT_EQ(band.deskBand->GetBandInfo(1, 0, &info), S_OK);
    EXPECT_EQ(info.ptActual.x, 201);
    EXPECT_EQ(band.deskBand->ShowDW(TRUE), S_OK);
    EXPECT_TRUE(IsWindowVisible(band.object->Form()->Handle()));

    // Without a command target the site is still taken.
    TestSite noTarget;
    noTarget.answersCommandTarget = false;
    EXPECT_EQ(band.withSite->SetSite(noTarget.Unknown()), S_OK);
    EXPECT_EQ(band.object->CommandTarget(), nullptr);
    EXPECT_EQ(noTarget.OutsideReferences(), 1);
}

TEST_F(BandObjectTest, AFormThatCannotBeMadeFailsTheSiteWithoutRaising)
{
    SiteWindow window(200, 30);
    TestSite site;
    site.window = window.Handle();
    Band band;
    ASSERT_TRUE(band.Whole());
    TTestBand::FailFormCreation = true;
    EXPECT_EQ(band.withSite->SetSite(site.Unknown()), E_FAIL);
    EXPECT_EQ(band.object->Form(), nullptr);
    EXPECT_EQ(site.OutsideReferences(), 0);
    TTestBand::FailFormCreation = false;
    EXPECT_EQ(band.withSite->SetSite(site.Unknown()), S_OK);
    EXPECT_EQ(band.object->formsMade, 2);
}

TEST_F(BandObjectTest, BandInformationFillsOnlyTheAskedMembers)
{
    SiteWindow window(250, 20);
    TestSite site;
    site.window = window.Handle();
    Band band;
    ASSERT_TRUE(band.Whole());
    ASSERT_EQ(band.withSite->SetSite(site.Unknown()), S_OK);
    TTestBandForm* form = band.object->Form();
    form->Constraints()->SetMaxWidth(300);

    DESKBANDINFO none = Patterned(0);
    EXPECT_EQ(band.deskBand->GetBandInfo(3, 0, &none), S_OK);
    DESKBANDINFO expected = Patterned(0);
    EXPECT_EQ(std::memcmp(&none, &expected, sizeof none), 0);

    struct Case {
        DWORD mask;
        size_t offset, size;
    };
    const Case cases[] = {
        {DBIM_MINSIZE, offsetof(DESKBANDINFO, ptMinSize), sizeof(POINTL)},
        {DBIM_MAXSIZE, offsetof(DESKBANDINFO, ptMaxSize), sizeof(POINTL)},
        {DBIM_INTEGRAL, offsetof(DESKBANDINFO, ptIntegral), sizeof(POINTL)},
        {DBIM_ACTUAL, offsetof(DESKBANDINFO, ptActual), sizeof(POINTL)},
        {DBIM_TITLE, offsetof(DESKBANDINFO, wszTitle), sizeof(WCHAR) * 256},
        {DBIM_MODEFLAGS, offsetof(DESKBANDINFO, dwModeFlags), sizeof(DWORD)},
        {DBIM_BKCOLOR, offsetof(DESKBANDINFO, crBkgnd), sizeof(COLORREF)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mask);
        DESKBANDINFO info = Patterned(c.mask);
        EXPECT_EQ(band.deskBand->GetBandInfo(4, 0, &info), S_OK);
        EXPECT_EQ(info.dwMask, c.mask);
        for (const Case& other : cases) {
            if (other.mask == DBIM_TITLE && c.mask == DBIM_TITLE) continue;  // only its prefix is written
            const bool written = !Untouched(reinterpret_cast<const char*>(&info) + other.offset, other.size);
            EXPECT_EQ(written, other.mask == c.mask) << "member of mask " << other.mask;
        }
    }

    DESKBANDINFO info = Patterned(0x7F);
    EXPECT_EQ(band.deskBand->GetBandInfo(5, DBIF_VIEWMODE_FLOATING, &info), S_OK);
    EXPECT_EQ(band.object->BandID(), 5u);
    EXPECT_EQ(band.object->ViewMode(), static_cast<DWORD>(DBIF_VIEWMODE_FLOATING));
    EXPECT_EQ(info.ptMinSize.x, 0);
    EXPECT_EQ(info.ptMinSize.y, 0);
    EXPECT_EQ(info.ptMaxSize.x, 300);
    EXPECT_EQ(info.ptMaxSize.y, -1);
    EXPECT_EQ(info.ptIntegral.x, 1);
    EXPECT_EQ(info.ptIntegral.y, 1);
    EXPECT_EQ(info.ptActual.x, 251);
    EXPECT_EQ(info.ptActual.y, 21);
    EXPECT_EQ(std::wstring(info.wszTitle), L"テスト バンド");
    EXPECT_EQ(info.dwModeFlags, static_cast<DWORD>(DBIMF_VARIABLEHEIGHT));  // forced, though the resource said otherwise
    // The system colour value as stored, not its RGB.
    EXPECT_EQ(info.crBkgnd, static_cast<COLORREF>(0xFF000000 | COLOR_BTNFACE));
}

TEST_F(BandObjectTest, TitleAndModeFlagsFollowTheForm)
{
    SiteWindow window(250, 20);
    TestSite site;
    site.window = window.Handle();
    Band band;
    ASSERT_TRUE(band.Whole());
    ASSERT_EQ(band.withSite->SetSite(site.Unknown()), S_OK);
    TTestBandForm* form = band.object->Form();

    auto flags = [&] {
        DESKBANDINFO info = Patterned(DBIM_MODEFLAGS);
        band.deskBand->GetBandInfo(0, 0, &info);
        return info.dwModeFlags;
    };
    form->SetBandModeFlags({});
    EXPECT_EQ(flags(), 0u);
    form->SetBandModeFlags({bmfDebossed});
    EXPECT_EQ(flags(), static_cast<DWORD>(DBIMF_DEBOSSED));
    form->SetBandModeFlags({bmfVariableHeight, bmfDebossed, bmfBkColor});
    EXPECT_EQ(flags(), 0x68u);

    auto title = [&] {
        DESKBANDINFO info = Patterned(DBIM_TITLE);
        band.deskBand->GetBandInfo(0, 0, &info);
        return std::wstring(info.wszTitle);
    };
    form->SetCaption(std::string(255, 'x'));
    EXPECT_EQ(title(), std::wstring(255, L'x'));
    // A title that does not fit is given as none rather than cut.
    form->SetCaption(std::string(256, 'x'));
    EXPECT_EQ(title(), L"");
    form->SetCaption(AnsiFromWide(std::wstring(200, L'漢')));  // 400 bytes, 200 characters
    EXPECT_EQ(title(), std::wstring(200, L'漢'));
    form->SetCaption("");
    EXPECT_EQ(title(), L"");

    form->SetColor(RGB(1, 2, 3));
    DESKBANDINFO info = Patterned(DBIM_BKCOLOR);
    band.deskBand->GetBandInfo(0, 0, &info);
    EXPECT_EQ(info.crBkgnd, RGB(1, 2, 3));
}

TEST_F(BandObjectTest, ShowHideAndCloseTheForm)
{
    SiteWindow window(250, 20);
    TestSite site;
    site.window = window.Handle();
    Band band;
    ASSERT_TRUE(band.Whole());
    ASSERT_EQ(band.withSite->SetSite(site.Unknown()), S_OK);
    TTestBandForm* form = band.object->Form();
    const HWND handle = form->Handle();

    EXPECT_EQ(band.deskBand->ShowDW(TRUE), S_OK);
    EXPECT_TRUE(form->Visible());
    EXPECT_TRUE(IsWindowVisible(handle));
    EXPECT_EQ(band.deskBand->ShowDW(FALSE), S_OK);
    EXPECT_FALSE(IsWindowVisible(handle));
    band.deskBand->ShowDW(TRUE);
    band.object->calls.clear();

    // Closing hides through the object's own ShowDW, then the form frees itself.
    EXPECT_EQ(band.deskBand->CloseDW(0), S_OK);
    EXPECT_EQ(band.object->calls, std::vector<std::string>{"ShowDW 0"});
    EXPECT_EQ(band.object->Form(), nullptr);
    Pump();
    EXPECT_EQ(TTestBandForm::Live, 0);
    EXPECT_FALSE(IsWindow(handle));

    // A second close has nothing to do.
    EXPECT_EQ(band.deskBand->CloseDW(0), S_OK);
    EXPECT_EQ(band.object->calls.size(), 1u);
    DESKBANDINFO info = Patterned(DBIM_ACTUAL);
    EXPECT_EQ(band.deskBand->GetBandInfo(0, 0, &info), E_UNEXPECTED);
    HWND none = handle;
    EXPECT_EQ(band.deskBand->GetWindow(&none), S_OK);
    EXPECT_EQ(none, nullptr);

    // The next site makes a new form.
    EXPECT_EQ(band.withSite->SetSite(site.Unknown()), S_OK);
    EXPECT_NE(band.object->Form(), nullptr);
    EXPECT_EQ(band.object->formsMade, 2);
}

TEST_F(BandObjectTest, AFormThatDoesNotFreeItselfOnCloseIsForgottenButHidden)
{
    SiteWindow window(250, 20);
    TestSite site;
    site.window = window.Handle();
    Band band;
    ASSERT_TRUE(band.Whole());
    ASSERT_EQ(band.withSite->SetSite(site.Unknown()), S_OK);
    TTestBandForm* form = band.object->Form();
    form->closeAction = TCloseAction::caHide;
    band.deskBand->ShowDW(TRUE);
    EXPECT_EQ(band.deskBand->CloseDW(0), S_OK);
    Pump();
    EXPECT_EQ(band.object->Form(), nullptr);
    ASSERT_EQ(TTestBandForm::Live, 1);
    EXPECT_FALSE(IsWindowVisible(form->Handle()));
    form->Free();
}

TEST_F(BandObjectTest, FocusGoesToAShownFormOnly)
{
    SiteWindow window(250, 20);
    TestSite site;
    site.window = window.Handle();
    Band band;
    ASSERT_TRUE(band.Whole());
    ASSERT_EQ(band.withSite->SetSite(site.Unknown()), S_OK);
    TTestBandForm* form = band.object->Form();
    SetFocus(window.Handle());

    // Hidden: nothing is focused, and that is no failure.
    EXPECT_EQ(band.input->UIActivateIO(TRUE, nullptr), S_OK);
    EXPECT_EQ(GetFocus(), window.Handle());
    EXPECT_EQ(band.input->HasFocusIO(), S_FALSE);

    band.deskBand->ShowDW(TRUE);
    EXPECT_EQ(band.input->UIActivateIO(FALSE, nullptr), S_OK);
    EXPECT_EQ(GetFocus(), window.Handle());
    EXPECT_EQ(band.input->UIActivateIO(TRUE, nullptr), S_OK);
    EXPECT_EQ(GetFocus(), form->Handle());
    EXPECT_EQ(band.input->HasFocusIO(), S_OK);

    // A control inside the form holding the focus does not count.
    SetFocus(form->Button1->Handle());
    EXPECT_EQ(band.input->HasFocusIO(), S_FALSE);
    // The form being already active, it is left alone.
    EXPECT_EQ(band.input->UIActivateIO(TRUE, nullptr), S_OK);
    EXPECT_EQ(GetFocus(), form->Button1->Handle());

    form->SetEnabled(false);
    SetFocus(window.Handle());
    EXPECT_EQ(band.input->UIActivateIO(TRUE, nullptr), S_OK);
    EXPECT_EQ(GetFocus(), window.Handle());
}
