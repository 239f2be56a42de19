// A band library for the end-to-end tests of the shell's stand-in and for the benchmark: the
// framework's smallest band (one bare panel) and a probe band that records what the shell does
// to it (ProbeBand.h). Loaded, hosted and unloaded the way the shell treats the search band.
#include <windows.h>

#include "ExtCtrls.h"
#include "Menus.h"
#include "ProbeBand.h"
#include "Streams.h"
#include "zBandForms.h"
#include "zBandObject.h"

namespace {

ProbeRecord record{0, 0, 0, false, 0, false, false, 0, nullptr, 0};

class TMinimalBandForm : public TzBandForm {
    KERVO_CLASS(TMinimalBandForm, TzBandForm)
public:
    explicit TMinimalBandForm(TComponent* owner) : TzBandForm(owner) { ++record.liveForms; }
    ~TMinimalBandForm() override { --record.liveForms; }

    TPanel* Panel1 = nullptr;
    void FormClose(TObject*, TCloseAction& action) { action = TCloseAction::caFree; }
};

class TProbeBandForm : public TzBandForm {
    KERVO_CLASS(TProbeBandForm, TzBandForm)
public:
    explicit TProbeBandForm(TComponent* owner) : TzBandForm(owner) { ++record.liveForms; }
    ~TProbeBandForm() override
    {
        --record.liveForms;
        record.edit = nullptr;
    }

    TPanel* Panel1 = nullptr;
    TPopupMenu* PopupMenu1 = nullptr;
    TMenuItem *ItemRecord = nullptr, *ItemOther = nullptr;

    void FormCreate(TObject*)
    {
        record.edit = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"", WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL, 2, 1,
                                      120, 20, Panel1->Handle(), nullptr, CurrentModuleInstance(), nullptr);
    }
    void FormClose(TObject*, TCloseAction& action) { action = TCloseAction::caFree; }
    void RecordClick(TObject*) { ++record.menuClicks; }
    POINTL IdealSize(TObject*) { return POINTL{150, 22}; }
};

KERVO_CLASS_RECORD(TMinimalBandForm)
{
    b.Field("Panel1", &TMinimalBandForm::Panel1);
    b.Method("FormClose", &TMinimalBandForm::FormClose);
}

KERVO_CLASS_RECORD(TProbeBandForm)
{
    b.Field("Panel1", &TProbeBandForm::Panel1);
    b.Field("PopupMenu1", &TProbeBandForm::PopupMenu1);
    b.Field("ItemRecord", &TProbeBandForm::ItemRecord);
    b.Field("ItemOther", &TProbeBandForm::ItemOther);
    b.Method("FormCreate", &TProbeBandForm::FormCreate);
    b.Method("FormClose", &TProbeBandForm::FormClose);
    b.Method("RecordClick", &TProbeBandForm::RecordClick);
    b.Method("IdealSize", &TProbeBandForm::IdealSize);
}

class TMinimalBand : public TzDeskBandObject {
public:
    TzBandForm* CreateBandForm(HWND parentWindow) override
    {
        return TzBandForm::CreateForBand<TMinimalBandForm>(parentWindow, this);
    }
};

class TProbeBand : public TzDeskBandObject {
public:
    TzBandForm* CreateBandForm(HWND parentWindow) override
    {
        return TzBandForm::CreateForBand<TProbeBandForm>(parentWindow, this);
    }
    HRESULT TranslateAcceleratorIO(MSG* msg) override
    {
        ++record.translateCalls;
        record.lastMessage = msg->message;
        record.lastKey = msg->wParam;
        if (!record.handleKeys) return S_FALSE;
        TranslateMessage(msg);
        DispatchMessageW(msg);
        return S_OK;
    }
    HRESULT UIActivateIO(BOOL activate, MSG* msg) override
    {
        ++record.activateCalls;
        record.lastActivate = activate != FALSE;
        record.lastHadMessage = msg != nullptr;
        // Like the search band, the probe takes the keyboard in its input field.
        const HRESULT hr = TzDeskBandObject::UIActivateIO(activate, msg);
        if (activate && record.edit) SetFocus(record.edit);
        return hr;
    }
};

struct StartUp {
    StartUp()
    {
        try {
            new TzDeskBandObjectFactory(ComServer(), &ComObjectCreator<TMinimalBand>, CLSID_MinimalBand,
                                        L"MinimalBand", L"最小バンド", ciMultiInstance, tmApartment);
            new TzDeskBandObjectFactory(ComServer(), &ComObjectCreator<TProbeBand>, CLSID_ProbeBand, L"ProbeBand",
                                        L"プローブ バンド", ciMultiInstance, tmApartment);
        } catch (...) {
        }
    }
} startUp;

}  // namespace

extern "C" ProbeRecord* WINAPI ProbeBandRecord()
{
    return &record;
}
