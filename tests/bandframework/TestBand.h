#pragma once
// A band made on the framework inside the test program: its form (read from its own form
// resource, TestBandForm.form), its band object, made by a desk-band factory of the program's
// COM server as the shell would have it made, and a window standing in for the band site's.
#include <windows.h>
#include <shobjidl.h>

#include <string>
#include <vector>

#include "Menus.h"
#include "StdCtrls.h"
#include "TestSite.h"
#include "zBandForms.h"
#include "zBandObject.h"

namespace bandtest {

void Pump();

class TTestBandForm : public TzBandForm {
    KERVO_CLASS(TTestBandForm, TzBandForm)
public:
    explicit TTestBandForm(TComponent* owner) : TzBandForm(owner) { ++Live; }
    ~TTestBandForm() override { --Live; }
    static int Live;

    TButton* Button1 = nullptr;
    TPopupMenu* PopupMenu1 = nullptr;
    TMenuItem *ItemOption = nullptr, *ItemDisabled = nullptr, *ItemShortCut = nullptr, *ItemSub = nullptr,
              *ItemSubChild = nullptr;

    struct {  // what the create handler saw
        bool ran = false, visible = true;
        TzCustomBandObject* bandObject = nullptr;
        TzBandModeFlags modeFlags;
        int clientWidth = 0, clientHeight = 0;
    } seen;
    TCloseAction closeAction = TCloseAction::caFree;
    std::vector<std::string> clicks;  // menu items clicked, by name
    std::vector<std::string> shownHidden;  // OnCreate, OnShow and OnHide in their order

    void FormShow(TObject*) { shownHidden.push_back("show"); }
    void FormHide(TObject*) { shownHidden.push_back("hide"); }

    void FormCreate(TObject*);
    void FormClose(TObject*, TCloseAction& action) { action = closeAction; }
    void MenuClick(TObject* sender) { clicks.push_back(static_cast<TComponent*>(sender)->Name()); }
    POINTL FixedPoint(TObject* sender) { return POINTL{sender == this ? 41 : -41, 17}; }
};

class TTestBand : public TzDeskBandObject {
public:
    TTestBand() { Last = this, ++Live; }
    ~TTestBand() override { --Live; }
    static TTestBand* Last;  // the band made most recently
    static bool FailFormCreation;
    static int Live;

    TTestBandForm* Form() const { return static_cast<TTestBandForm*>(BandForm()); }
    std::vector<std::string> calls;
    int formsMade = 0;

    TzBandForm* CreateBandForm(HWND parentWindow) override;
    HRESULT ShowDW(BOOL show) override;
};

extern const CLSID CLSID_TestBand;

template <class I>
I* Query(IUnknown* object, REFIID iid)
{
    void* p = nullptr;
    return SUCCEEDED(object->QueryInterface(iid, &p)) ? static_cast<I*>(p) : nullptr;
}

// A band object held through the interfaces the shell uses.
struct Band {
    Band();
    ~Band() { Release(); }
    Band(const Band&) = delete;
    Band& operator=(const Band&) = delete;
    void Release();

    IUnknown* unknown = nullptr;
    TTestBand* object = nullptr;
    IDeskBand* deskBand = nullptr;
    IObjectWithSite* withSite = nullptr;
    IInputObject* input = nullptr;
};

// A shown top-level window with the given client size, as the band site's window.
struct SiteWindow {
    SiteWindow(int clientWidth, int clientHeight);
    ~SiteWindow() { DestroyWindow(handle); }
    HWND handle;
};

}  // namespace bandtest
