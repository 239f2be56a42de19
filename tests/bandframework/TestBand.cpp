#include "TestBand.h"

#include "Forms.h"

namespace bandtest {

void Pump()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

// ---------------------------------------------------------------------------------------------

int TTestBandForm::Live = 0;

KERVO_CLASS_RECORD(TTestBandForm)
{
    b.Field("Button1", &TTestBandForm::Button1);
    b.Field("PopupMenu1", &TTestBandForm::PopupMenu1);
    b.Field("ItemOption", &TTestBandForm::ItemOption);
    b.Field("ItemLine", &TTestBandForm::ItemLine);
    b.Field("ItemDisabled", &TTestBandForm::ItemDisabled);
    b.Field("ItemDefault", &TTestBandForm::ItemDefault);
    b.Field("ItemRadio", &TTestBandForm::ItemRadio);
    b.Field("ItemColumn", &TTestBandForm::ItemColumn);
    b.Field("ItemShortCut", &TTestBandForm::ItemShortCut);
    b.Field("ItemSub", &TTestBandForm::ItemSub);
    b.Field("ItemSubChild", &TTestBandForm::ItemSubChild);
    b.Field("ItemHidden", &TTestBandForm::ItemHidden);
    b.Method("MenuClick", &TTestBandForm::MenuClick);
    b.Method("FormCreate", &TTestBandForm::FormCreate);
    b.Method("FormClose", &TTestBandForm::FormClose);
    b.Method("FixedPoint", &TTestBandForm::FixedPoint);
}

TTestBandForm::TTestBandForm(TComponent* owner) : TzBandForm(owner)
{
    ++Live;
}

TTestBandForm::~TTestBandForm()
{
    --Live;
}

void TTestBandForm::FormCreate(TObject*)
{
    seen.ran = true;
    seen.bandObject = BandObject();
    seen.modeFlags = BandModeFlags();
    seen.clientWidth = ClientWidth();
    seen.clientHeight = ClientHeight();
    seen.visible = Visible();
}

void TTestBandForm::FormClose(TObject*, TCloseAction& action)
{
    action = closeAction;
}

void TTestBandForm::MenuClick(TObject* sender)
{
    clicks.push_back(static_cast<TComponent*>(sender)->Name());
}

POINTL TTestBandForm::FixedPoint(TObject* sender)
{
    // Tells the caller which form answered.
    return POINTL{sender == this ? 41 : -41, 17};
}

// ---------------------------------------------------------------------------------------------

TTestBand* TTestBand::Last = nullptr;
bool TTestBand::FailFormCreation = false;
int TTestBand::Live = 0;

TTestBand::TTestBand()
{
    Last = this;
    ++Live;
}

TTestBand::~TTestBand()
{
    if (Last == this) Last = nullptr;
    --Live;
}

TzBandForm* TTestBand::CreateBandForm(HWND parentWindow)
{
    ++formsMade;
    if (FailFormCreation) throw EResNotFound(std::wstring(L"リソース TNOFORM が見つかりません"));
    return TzBandForm::CreateForBand<TTestBandForm>(parentWindow, this);
}

HRESULT TTestBand::ShowDW(BOOL show)
{
    calls.push_back(show ? "ShowDW 1" : "ShowDW 0");
    return TzDeskBandObject::ShowDW(show);
}

// ---------------------------------------------------------------------------------------------

// {C3A1F5E2-8B47-4D09-A6E5-72F0B9D41C68}
const CLSID CLSID_TestBandObject = {0xC3A1F5E2, 0x8B47, 0x4D09, {0xA6, 0xE5, 0x72, 0xF0, 0xB9, 0xD4, 0x1C, 0x68}};

IUnknown* NewBand()
{
    static TComObjectFactory* factory =
        new TzDeskBandObjectFactory(ComServer(), &ComObjectCreator<TTestBand>, CLSID_TestBandObject, L"TestBand",
                                    L"Test band", ciMultiInstance, tmApartment);
    void* p = nullptr;
    if (FAILED(factory->CreateInstance(nullptr, IID_IUnknown, &p))) return nullptr;
    return static_cast<IUnknown*>(p);
}

// ---------------------------------------------------------------------------------------------

SiteWindow::SiteWindow(int clientWidth, int clientHeight)
{
    RECT r{0, 0, clientWidth, clientHeight};
    AdjustWindowRectEx(&r, WS_POPUP | WS_BORDER, FALSE, 0);
    handle_ = CreateWindowExA(0, "STATIC", "site", WS_POPUP | WS_BORDER | WS_VISIBLE | WS_CLIPCHILDREN, 10, 10,
                              r.right - r.left, r.bottom - r.top, nullptr, nullptr, GetModuleHandleA(nullptr),
                              nullptr);
}

SiteWindow::~SiteWindow()
{
    DestroyWindow(handle_);
}

}  // namespace bandtest
