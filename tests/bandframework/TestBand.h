#pragma once
// A band made on the framework inside the test program: its form (read from its own form
// resource, TestBandForm.form), its band object, and a factory that makes the objects through
// the class library's COM server, as the shell's calls would.
#include <windows.h>
#include <ole2.h>
#include <shobjidl.h>

#include <string>
#include <vector>

#include "Menus.h"
#include "StdCtrls.h"
#include "zBandForms.h"
#include "zBandObject.h"

namespace bandtest {

// Dispatches every waiting message of the thread.
void Pump();

class TTestBandForm : public TzBandForm {
    KERVO_CLASS(TTestBandForm, TzBandForm)
public:
    explicit TTestBandForm(TComponent* owner);
    ~TTestBandForm() override;

    TButton* Button1 = nullptr;
    TPopupMenu* PopupMenu1 = nullptr;
    TMenuItem *ItemOption = nullptr, *ItemLine = nullptr, *ItemDisabled = nullptr, *ItemDefault = nullptr,
              *ItemRadio = nullptr, *ItemColumn = nullptr, *ItemShortCut = nullptr, *ItemSub = nullptr,
              *ItemSubChild = nullptr, *ItemHidden = nullptr;
    // The menu items clicked, by name.
    std::vector<std::string> clicks;

    // What the create handler saw.
    struct Seen {
        bool ran = false;
        TzCustomBandObject* bandObject = nullptr;
        TzBandModeFlags modeFlags;
        int clientWidth = 0, clientHeight = 0;
        bool visible = true;
    } seen;

    // The action the close handler gives.
    TCloseAction closeAction = TCloseAction::caFree;

    // Forms of this class alive now.
    static int Live;

    void FormCreate(TObject* sender);
    void FormClose(TObject* sender, TCloseAction& action);
    void MenuClick(TObject* sender);
    POINTL FixedPoint(TObject* sender);
};

// The band object; what the shell called is in `calls`.
class TTestBand : public TzDeskBandObject {
public:
    TTestBand();
    ~TTestBand() override;

    TTestBandForm* Form() const { return static_cast<TTestBandForm*>(BandForm()); }

    std::vector<std::string> calls;
    int formsMade = 0;

    // The band made most recently, and whether the next band's form creation raises.
    static TTestBand* Last;
    static bool FailFormCreation;
    static int Live;

    TzBandForm* CreateBandForm(HWND parentWindow) override;
    HRESULT ShowDW(BOOL show) override;
};

extern const CLSID CLSID_TestBandObject;

// A new band object through the factory, as the shell gets one: its IUnknown (one reference).
IUnknown* NewBand();

template <class I>
I* Query(IUnknown* object, REFIID iid)
{
    void* p = nullptr;
    if (FAILED(object->QueryInterface(iid, &p))) return nullptr;
    return static_cast<I*>(p);
}

// One band object as the shell holds it: its IUnknown and the interfaces it is driven through.
struct Band {
    IUnknown* unknown = NewBand();
    TTestBand* object = TTestBand::Last;
    IDeskBand* deskBand = unknown ? Query<IDeskBand>(unknown, IID_IDeskBand) : nullptr;
    IObjectWithSite* withSite = unknown ? Query<IObjectWithSite>(unknown, IID_IObjectWithSite) : nullptr;
    IInputObject* input = unknown ? Query<IInputObject>(unknown, IID_IInputObject) : nullptr;

    Band() = default;
    Band(const Band&) = delete;
    Band& operator=(const Band&) = delete;
    ~Band() { Release(); }
    bool Whole() const { return unknown && object && deskBand && withSite && input; }
    void Release()
    {
        for (IUnknown* p : {static_cast<IUnknown*>(input), static_cast<IUnknown*>(withSite),
                            static_cast<IUnknown*>(deskBand), unknown})
            if (p) p->Release();
        input = nullptr;
        withSite = nullptr;
        deskBand = nullptr;
        unknown = nullptr;
        object = nullptr;
        Pump();
    }
};

// A visible top-level window standing in for the shell's band site window.
class SiteWindow {
public:
    SiteWindow(int clientWidth, int clientHeight);
    ~SiteWindow();
    SiteWindow(const SiteWindow&) = delete;
    SiteWindow& operator=(const SiteWindow&) = delete;
    HWND Handle() const { return handle_; }

private:
    HWND handle_;
};

}  // namespace bandtest
