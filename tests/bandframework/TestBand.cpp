#include "TestBand.h"

namespace bandtest {

void Pump()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
}

int TTestBandForm::Live = 0;

KERVO_CLASS_RECORD(TTestBandForm)
{
    b.Field("Button1", &TTestBandForm::Button1);
    b.Field("PopupMenu1", &TTestBandForm::PopupMenu1);
    b.Field("ItemOption", &TTestBandForm::ItemOption);
    b.Field("ItemDisabled", &TTestBandForm::ItemDisabled);
    b.Field("ItemShortCut", &TTestBandForm::ItemShortCut);
    b.Field("ItemSub", &TTestBandForm::ItemSub);
    b.Field("ItemSubChild", &TTestBandForm::ItemSubChild);
    b.Method("FormCreate", &TTestBandForm::FormCreate);
    b.Method("FormClose", &TTestBandForm::FormClose);
    b.Method("FormShow", &TTestBandForm::FormShow);
    b.Method("FormHide", &TTestBandForm::FormHide);
    b.Method("MenuClick", &TTestBandForm::MenuClick);
}

void TTestBandForm::FormCreate(TObject*)
{
    seen.ran = true;
    shownHidden.push_back("create");
    seen.visible = Visible();
    seen.bandObject = BandObject();
    seen.modeFlags = BandModeFlags();
    seen.clientWidth = ClientWidth();
    seen.clientHeight = ClientHeight();
}

TTestBand* TTestBand::Last = nullptr;
bool TTestBand::FailFormCreation = false;
int TTestBand::Live = 0;

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

// {C3A1F5E2-8B47-4D09-A6E5-72F0B9D41C68}
const CLSID CLSID_TestBand = {0xC3A1F5E2, 0x8B47, 0x4D09, {0xA6, 0xE5, 0x72, 0xF0, 0xB9, 0xD4, 0x1C, 0x68}};

Band::Band()
{
    static TComObjectFactory* factory = new TzDeskBandObjectFactory(
        ComServer(), &ComObjectCreator<TTestBand>, CLSID_TestBand, L"TestBand", L"", ciMultiInstance, tmApartment);
    if (FAILED(factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&unknown)))) return;
    object = TTestBand::Last;
    deskBand = Query<IDeskBand>(unknown, IID_IDeskBand);
    withSite = Query<IObjectWithSite>(unknown, IID_IObjectWithSite);
    input = Query<IInputObject>(unknown, IID_IInputObject);
}

void Band::Release()
{
    for (IUnknown* p : {static_cast<IUnknown*>(input), static_cast<IUnknown*>(withSite),
                        static_cast<IUnknown*>(deskBand), unknown})
        if (p) p->Release();
    input = nullptr, withSite = nullptr, deskBand = nullptr, unknown = nullptr, object = nullptr;
    Pump();
}

SiteWindow::SiteWindow(int clientWidth, int clientHeight)
{
    handle = CreateWindowExA(0, "STATIC", "site", WS_POPUP | WS_VISIBLE, 10, 10, clientWidth, clientHeight, nullptr,
                             nullptr, GetModuleHandleA(nullptr), nullptr);
}

}  // namespace bandtest
