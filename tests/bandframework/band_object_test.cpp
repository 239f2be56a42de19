// The band COM object as the shell drives it: interfaces, the site and the form made on it, the
// band information, showing, closing, focus, and its end.
#include <windows.h>
#include <shobjidl.h>
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <string>

#include "TestBand.h"

using namespace bandtest;

namespace {

// A band information record filled with a pattern, to see what a call wrote.
DESKBANDINFO Patterned(DWORD mask)
{
    DESKBANDINFO info;
    std::memset(&info, 0xCD, sizeof info);
    info.dwMask = mask;
    return info;
}

bool Written(const DESKBANDINFO& info, size_t offset, size_t size)
{
    const auto* p = reinterpret_cast<const unsigned char*>(&info) + offset;
    for (size_t i = 0; i < size; ++i)
        if (p[i] != 0xCD) return true;
    return false;
}

class BandObject : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(band.unknown && band.deskBand && band.withSite && band.input);
        site.window = window.handle;
    }
    void TearDown() override
    {
        TTestBand::FailFormCreation = false;
        band.Release();
        EXPECT_EQ(TTestBand::Live, 0);
        EXPECT_EQ(TTestBandForm::Live, 0);
        EXPECT_EQ(site.OutsideReferences(), 0);
    }
    HRESULT Info(DESKBANDINFO& info, DWORD viewMode = 0) { return band.deskBand->GetBandInfo(7, viewMode, &info); }

    SiteWindow window{250, 20};
    TestSite site;
    Band band;
};

}  // namespace

TEST_F(BandObject, AnswersTheShellsInterfacesAndWithoutAFormDoesNothing)
{
    for (const IID* iid : {&IID_IDeskBand, &IID_IObjectWithSite, &IID_IInputObject, &IID_IPersistStream,
                           &IID_IPersist, &IID_IContextMenu}) {
        IUnknown* p = Query<IUnknown>(band.unknown, *iid);
        ASSERT_NE(p, nullptr);
        IUnknown* identity = Query<IUnknown>(p, IID_IUnknown);
        EXPECT_EQ(identity, band.unknown);
        identity->Release();
        p->Release();
    }
    // The window and docking-window methods are served only inside the desk-band table.
    EXPECT_EQ(Query<IUnknown>(band.unknown, IID_IOleWindow), nullptr);
    EXPECT_EQ(Query<IUnknown>(band.unknown, IID_IDockingWindow), nullptr);
    EXPECT_EQ(band.deskBand->ContextSensitiveHelp(TRUE), E_NOTIMPL);
    EXPECT_EQ(band.deskBand->ResizeBorderDW(nullptr, band.unknown, FALSE), E_NOTIMPL);
    EXPECT_EQ(band.input->TranslateAcceleratorIO(nullptr), S_FALSE);

    // Nothing is kept in the shell's stream; the class is the factory's.
    IPersistStream* persist = Query<IPersistStream>(band.unknown, IID_IPersistStream);
    ULARGE_INTEGER size;
    size.QuadPart = ~0ull;
    CLSID id{};
    EXPECT_EQ(persist->IsDirty(), S_FALSE);
    EXPECT_EQ(persist->Load(nullptr), S_OK);
    EXPECT_EQ(persist->Save(nullptr, TRUE), S_OK);
    EXPECT_EQ(persist->GetSizeMax(&size), S_OK);
    EXPECT_EQ(size.QuadPart, 0u);
    EXPECT_EQ(persist->GetClassID(&id), S_OK);
    EXPECT_TRUE(IsEqualCLSID(id, CLSID_TestBand));
    persist->Release();

    // No form yet: the shell's identifiers are kept all the same, the record left alone.
    DESKBANDINFO info = Patterned(0x7F);
    EXPECT_EQ(Info(info, DBIF_VIEWMODE_VERTICAL), E_UNEXPECTED);
    EXPECT_EQ(band.object->BandID(), 7u);
    EXPECT_EQ(band.object->ViewMode(), static_cast<DWORD>(DBIF_VIEWMODE_VERTICAL));
    EXPECT_FALSE(Written(info, offsetof(DESKBANDINFO, ptMinSize), sizeof info - offsetof(DESKBANDINFO, ptMinSize)));
    HWND hwnd = window.handle;
    EXPECT_EQ(band.deskBand->GetWindow(&hwnd), S_OK);
    EXPECT_EQ(hwnd, nullptr);
    EXPECT_EQ(band.deskBand->ShowDW(TRUE), S_OK);
    EXPECT_EQ(band.deskBand->CloseDW(0), S_OK);
    EXPECT_EQ(band.object->calls, std::vector<std::string>{"ShowDW 1"});  // nothing to hide on close
    EXPECT_EQ(band.input->UIActivateIO(TRUE, nullptr), S_OK);
    EXPECT_EQ(band.input->HasFocusIO(), S_FALSE);
    void* got = &info;
    EXPECT_EQ(band.withSite->GetSite(IID_IUnknown, &got), E_FAIL);
    EXPECT_EQ(got, nullptr);
}

TEST_F(BandObject, TheFirstUsableSiteGetsTheFormAndLaterSitesKeepIt)
{
    // Sites that give no window make no form: without IOleWindow, with window 0, or failing
    // GetWindow without writing its answer.
    TestSite noOleWindow, nullWindow, silent;
    noOleWindow.answersOleWindow = false;
    noOleWindow.window = window.handle;
    silent.getWindowWritesNothing = true;
    for (TestSite* s : {&noOleWindow, &nullWindow, &silent}) {
        EXPECT_EQ(band.withSite->SetSite(s->Unknown()), E_FAIL);
        EXPECT_EQ(s->OutsideReferences(), 0);
    }
    EXPECT_EQ(noOleWindow.getWindowCalls, 0);
    // A form that cannot be made fails the site; the exception stays inside.
    TTestBand::FailFormCreation = true;
    EXPECT_EQ(band.withSite->SetSite(site.Unknown()), E_FAIL);
    EXPECT_EQ(band.object->Form(), nullptr);
    TTestBand::FailFormCreation = false;

    ASSERT_EQ(band.withSite->SetSite(site.Unknown()), S_OK);
    TTestBandForm* form = band.object->Form();
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(form->BandObject(), band.object);
    EXPECT_EQ(GetParent(form->Handle()), window.handle);
    HWND hwnd = nullptr;
    EXPECT_EQ(band.deskBand->GetWindow(&hwnd), S_OK);
    EXPECT_EQ(hwnd, form->Handle());
    // The input-object site and its command target are held, never called.
    EXPECT_EQ(site.OutsideReferences(), 2);
    EXPECT_EQ(site.otherCalls, 0);
    IOleWindow* got = nullptr;
    EXPECT_EQ(band.withSite->GetSite(IID_IOleWindow, reinterpret_cast<void**>(&got)), S_OK);
    EXPECT_EQ(got, static_cast<IOleWindow*>(&site));
    got->Release();

    // Leaving the site lets it go and keeps the form; a new site does not move the form.
    SiteWindow otherWindow(400, 50);
    TestSite other;
    other.window = otherWindow.handle;
    EXPECT_EQ(band.withSite->SetSite(nullptr), S_OK);
    EXPECT_EQ(site.OutsideReferences(), 0);
    EXPECT_EQ(band.withSite->SetSite(other.Unknown()), S_OK);
    EXPECT_EQ(band.withSite->SetSite(other.Unknown()), S_OK);
    EXPECT_EQ(band.object->Form(), form);
    EXPECT_EQ(GetParent(form->Handle()), window.handle);
    EXPECT_EQ(other.getWindowCalls, 0);
    EXPECT_EQ(other.OutsideReferences(), 2);

    // A site without IInputObjectSite fails but keeps the form; one without command target is taken.
    other.answersInputObjectSite = false;
    EXPECT_EQ(band.withSite->SetSite(other.Unknown()), E_FAIL);
    EXPECT_EQ(other.OutsideReferences(), 0);
    EXPECT_EQ(band.object->Form(), form);
    site.answersCommandTarget = false;
    EXPECT_EQ(band.withSite->SetSite(site.Unknown()), S_OK);
    EXPECT_EQ(site.OutsideReferences(), 1);
    EXPECT_EQ(band.object->formsMade, 2);  // the failed one and this one

    // The object's end lets go of the site and frees the form (checked in TearDown).
}

TEST_F(BandObject, BandInformationFillsOnlyTheAskedMembersFromTheForm)
{
    ASSERT_EQ(band.withSite->SetSite(site.Unknown()), S_OK);
    TTestBandForm* form = band.object->Form();
    form->Constraints()->SetMaxWidth(300);

    struct Member {
        DWORD mask;
        size_t offset, size;
    };
    const Member members[] = {
        {DBIM_MINSIZE, offsetof(DESKBANDINFO, ptMinSize), sizeof(POINTL)},
        {DBIM_MAXSIZE, offsetof(DESKBANDINFO, ptMaxSize), sizeof(POINTL)},
        {DBIM_INTEGRAL, offsetof(DESKBANDINFO, ptIntegral), sizeof(POINTL)},
        {DBIM_ACTUAL, offsetof(DESKBANDINFO, ptActual), sizeof(POINTL)},
        {DBIM_TITLE, offsetof(DESKBANDINFO, wszTitle), sizeof(WCHAR)},
        {DBIM_MODEFLAGS, offsetof(DESKBANDINFO, dwModeFlags), sizeof(DWORD)},
        {DBIM_BKCOLOR, offsetof(DESKBANDINFO, crBkgnd), sizeof(COLORREF)},
    };
    for (DWORD mask : {0x00u, 0x01u, 0x02u, 0x04u, 0x08u, 0x10u, 0x20u, 0x40u, 0x55u}) {
        DESKBANDINFO info = Patterned(mask);
        EXPECT_EQ(Info(info), S_OK);
        EXPECT_EQ(info.dwMask, mask);
        for (const Member& m : members)
            EXPECT_EQ(Written(info, m.offset, m.size), (mask & m.mask) != 0) << mask << " " << m.mask;
    }

    DESKBANDINFO info = Patterned(0x7F);
    EXPECT_EQ(Info(info, DBIF_VIEWMODE_FLOATING), S_OK);
    EXPECT_EQ(band.object->ViewMode(), static_cast<DWORD>(DBIF_VIEWMODE_FLOATING));
    EXPECT_EQ(info.ptMinSize.x, 0);
    EXPECT_EQ(info.ptMaxSize.x, 300);
    EXPECT_EQ(info.ptMaxSize.y, -1);
    EXPECT_EQ(info.ptIntegral.y, 1);
    EXPECT_EQ(info.ptActual.x, 251);
    EXPECT_EQ(info.ptActual.y, 21);
    EXPECT_EQ(std::wstring(info.wszTitle), L"テスト バンド");
    EXPECT_EQ(info.dwModeFlags, static_cast<DWORD>(DBIMF_VARIABLEHEIGHT));
    EXPECT_EQ(info.crBkgnd, static_cast<COLORREF>(0xFF000000 | COLOR_BTNFACE));  // as stored, not as RGB

    auto ask = [&](DWORD mask) {
        info = Patterned(mask);
        Info(info);
    };
    form->SetBandModeFlags({});
    ask(DBIM_MODEFLAGS);
    EXPECT_EQ(info.dwModeFlags, 0u);
    form->SetBandModeFlags({bmfVariableHeight, bmfDebossed, bmfBkColor});
    ask(DBIM_MODEFLAGS);
    EXPECT_EQ(info.dwModeFlags, 0x68u);

    form->SetCaption(std::string(255, 'x'));
    ask(DBIM_TITLE);
    EXPECT_EQ(std::wstring(info.wszTitle), std::wstring(255, L'x'));
    form->SetCaption(std::string(256, 'x'));  // does not fit: no title rather than a cut one
    ask(DBIM_TITLE);
    EXPECT_EQ(std::wstring(info.wszTitle), L"");
    form->SetCaption(AnsiFromWide(std::wstring(200, L'漢')));  // 400 bytes, 200 characters
    ask(DBIM_TITLE);
    EXPECT_EQ(std::wstring(info.wszTitle), std::wstring(200, L'漢'));
    // The caption is in the system's code page, whatever the locale of the shell's thread.
    const LCID saved = GetThreadLocale();
    ASSERT_TRUE(SetThreadLocale(MAKELCID(MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT), SORT_DEFAULT)));
    form->SetCaption(AnsiFromWide(L"検索"));
    ask(DBIM_TITLE);
    SetThreadLocale(saved);
    EXPECT_EQ(std::wstring(info.wszTitle), L"検索");
}

TEST_F(BandObject, ShowHideAndCloseTheForm)
{
    ASSERT_EQ(band.withSite->SetSite(site.Unknown()), S_OK);
    const HWND handle = band.object->Form()->Handle();
    EXPECT_EQ(band.deskBand->ShowDW(TRUE), S_OK);
    EXPECT_TRUE(IsWindowVisible(handle));
    EXPECT_EQ(band.deskBand->ShowDW(FALSE), S_OK);
    EXPECT_FALSE(IsWindowVisible(handle));
    band.deskBand->ShowDW(TRUE);
    band.object->calls.clear();

    // Closing hides through the object's own ShowDW and forgets the form, which frees itself.
    EXPECT_EQ(band.deskBand->CloseDW(0), S_OK);
    EXPECT_EQ(band.object->calls, std::vector<std::string>{"ShowDW 0"});
    EXPECT_EQ(band.object->Form(), nullptr);
    Pump();
    EXPECT_FALSE(IsWindow(handle));
    EXPECT_EQ(band.deskBand->CloseDW(0), S_OK);
    EXPECT_EQ(band.object->calls.size(), 1u);
    DESKBANDINFO info = Patterned(DBIM_ACTUAL);
    EXPECT_EQ(Info(info), E_UNEXPECTED);

    // The next site makes a new form. One that does not free itself is hidden and forgotten.
    EXPECT_EQ(band.withSite->SetSite(site.Unknown()), S_OK);
    TTestBandForm* form = band.object->Form();
    ASSERT_NE(form, nullptr);
    form->closeAction = TCloseAction::caHide;
    band.deskBand->ShowDW(TRUE);
    EXPECT_EQ(band.deskBand->CloseDW(0), S_OK);
    Pump();
    EXPECT_EQ(band.object->Form(), nullptr);
    ASSERT_EQ(TTestBandForm::Live, 1);
    EXPECT_FALSE(IsWindowVisible(form->Handle()));
    EXPECT_EQ(form->BandObject(), nullptr);  // the forgotten form no longer reports to the object
    form->Free();

    // A WM_CLOSE from anyone frees the form: the object learns of it and answers as without one.
    EXPECT_EQ(band.withSite->SetSite(site.Unknown()), S_OK);
    const HWND closed = band.object->Form()->Handle();
    band.deskBand->ShowDW(TRUE);
    SendMessageA(closed, WM_CLOSE, 0, 0);
    Pump();
    EXPECT_EQ(TTestBandForm::Live, 0);
    EXPECT_EQ(band.object->Form(), nullptr);
    info = Patterned(DBIM_ACTUAL);
    EXPECT_EQ(Info(info), E_UNEXPECTED);
    band.object->calls.clear();
    EXPECT_EQ(band.deskBand->ShowDW(TRUE), S_OK);
    EXPECT_EQ(band.deskBand->CloseDW(0), S_OK);
    EXPECT_EQ(band.object->calls, std::vector<std::string>{"ShowDW 1"});
}

TEST_F(BandObject, AFormWhoseSiteWindowGoesBeforeItsReleaseIsFreedAllTheSame)
{
    // The shell rebuilds its taskbar: the site's window goes while the closed form's release waits.
    SiteWindow doomed(200, 20);
    site.window = doomed.handle;
    ASSERT_EQ(band.withSite->SetSite(site.Unknown()), S_OK);
    EXPECT_EQ(band.deskBand->CloseDW(0), S_OK);
    DestroyWindow(doomed.handle);
    Pump();
    EXPECT_EQ(TTestBandForm::Live, 0);
    band.Release();
    EXPECT_EQ(ComServer().CanUnloadNow(), S_OK);
}

TEST_F(BandObject, ASiteWindowDestroyedUnderALiveBandFreesTheFormAndTheObjectAnswersAsWithoutOne)
{
    // The shell rebuilds its taskbar, or ends, without closing its bands first: the form's window
    // goes with the site's, and the form is not made anew on a parent that is gone.
    SiteWindow doomed(200, 20);
    site.window = doomed.handle;
    ASSERT_EQ(band.withSite->SetSite(site.Unknown()), S_OK);
    band.deskBand->ShowDW(TRUE);
    DestroyWindow(doomed.handle);
    EXPECT_EQ(TTestBandForm::Live, 0);
    EXPECT_EQ(band.object->Form(), nullptr);
    HWND hwnd = window.handle;
    EXPECT_EQ(band.deskBand->GetWindow(&hwnd), S_OK);
    EXPECT_EQ(hwnd, nullptr);
    EXPECT_EQ(band.deskBand->ShowDW(TRUE), S_OK);
    EXPECT_EQ(band.deskBand->CloseDW(0), S_OK);
    DESKBANDINFO info = Patterned(DBIM_ACTUAL);
    EXPECT_EQ(Info(info), E_UNEXPECTED);

    // A live site makes a new form; the library can go once the band is let go.
    site.window = window.handle;
    EXPECT_EQ(band.withSite->SetSite(site.Unknown()), S_OK);
    ASSERT_NE(band.object->Form(), nullptr);
    EXPECT_EQ(GetParent(band.object->Form()->Handle()), window.handle);
    band.Release();
    EXPECT_EQ(ComServer().CanUnloadNow(), S_OK);
}

TEST_F(BandObject, FocusGoesToAShownEnabledFormOnly)
{
    ASSERT_EQ(band.withSite->SetSite(site.Unknown()), S_OK);
    TTestBandForm* form = band.object->Form();
    SetFocus(window.handle);
    EXPECT_EQ(band.input->UIActivateIO(TRUE, nullptr), S_OK);  // hidden: no focus, no failure
    EXPECT_EQ(GetFocus(), window.handle);

    band.deskBand->ShowDW(TRUE);
    EXPECT_EQ(band.input->UIActivateIO(FALSE, nullptr), S_OK);
    EXPECT_EQ(GetFocus(), window.handle);
    EXPECT_EQ(band.input->HasFocusIO(), S_FALSE);
    EXPECT_EQ(band.input->UIActivateIO(TRUE, nullptr), S_OK);
    EXPECT_EQ(GetFocus(), form->Handle());
    EXPECT_EQ(band.input->HasFocusIO(), S_OK);

    // A control of the form holding the focus does not count, and is left alone.
    SetFocus(form->Button1->Handle());
    EXPECT_EQ(band.input->HasFocusIO(), S_FALSE);
    EXPECT_EQ(band.input->UIActivateIO(TRUE, nullptr), S_OK);
    EXPECT_EQ(GetFocus(), form->Button1->Handle());

    form->SetEnabled(false);
    SetFocus(window.handle);
    EXPECT_EQ(band.input->UIActivateIO(TRUE, nullptr), S_OK);
    EXPECT_EQ(GetFocus(), window.handle);
}
