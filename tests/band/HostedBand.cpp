#include "HostedBand.h"

#include "Registry.h"
#include "TestEnv.h"

namespace bandtest {

namespace {
const std::string kClassKey = std::string("CLSID\\") + BandClassIdText;

template <class I>
I* Query(IUnknown* object, REFIID iid)
{
    void* p = nullptr;
    return SUCCEEDED(object->QueryInterface(iid, &p)) ? static_cast<I*>(p) : nullptr;
}
}  // namespace

void StartBandLibrary()
{
    static const bool started = [] {
        OleInitialize(nullptr);
        BandLibraryStartUp();
        return true;
    }();
    (void)started;
}

BandFolder::BandFolder(const std::string& stem)
{
    StartBandLibrary();
    dir = testenv::MakeScratchDir(stem);
    library = dir + "\\kervodll.dll";
    ini = dir + "\\kervodll.ini";
    TRegistry r;
    r.SetRootKey(HKEY_CLASSES_ROOT);
    if (r.OpenKey(kClassKey + "\\InProcServer32", true)) r.WriteString("", library);
    CachedLibraryPath = library;
}

BandFolder::~BandFolder()
{
    CachedLibraryPath.clear();
    TRegistry r;
    r.SetRootKey(HKEY_CLASSES_ROOT);
    r.DeleteKey(kClassKey);
    testenv::RemoveTree(dir);
}

void BandFolder::Write(const std::string& section, const std::string& key, const std::string& value) const
{
    WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), ini.c_str());
}

std::string BandFolder::Read(const std::string& section, const std::string& key) const
{
    char buffer[2048] = {};
    GetPrivateProfileStringA(section.c_str(), key.c_str(), "<none>", buffer, sizeof buffer, ini.c_str());
    return buffer;
}

HostedBand::HostedBand()
{
    StartBandLibrary();
    siteWindow = CreateWindowExA(0, "STATIC", "site", WS_POPUP | WS_VISIBLE, 20, 20, 300, 24, nullptr, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
    site.window = siteWindow;
    TComObjectFactory* factory = ComServer().FindFactory(BandClassId);
    if (!factory || FAILED(factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&unknown))))
        return;
    deskBand = Query<IDeskBand>(unknown, IID_IDeskBand);
    withSite = Query<IObjectWithSite>(unknown, IID_IObjectWithSite);
    input = Query<IInputObject>(unknown, IID_IInputObject);
    object = dynamic_cast<Tquormel*>(static_cast<TComObject*>(static_cast<ISupportErrorInfo*>(
        Query<ISupportErrorInfo>(unknown, IID_ISupportErrorInfo))));
    if (object) object->Release();
    withSite->SetSite(site.Unknown());
    deskBand->ShowDW(TRUE);
    testenv::PumpPending();
}

void HostedBand::Close()
{
    if (!unknown) return;
    deskBand->ShowDW(FALSE);
    deskBand->CloseDW(0);
    withSite->SetSite(nullptr);
    for (IUnknown* p : {static_cast<IUnknown*>(input), static_cast<IUnknown*>(withSite),
                        static_cast<IUnknown*>(deskBand), unknown})
        if (p) p->Release();
    input = nullptr, withSite = nullptr, deskBand = nullptr, unknown = nullptr, object = nullptr;
    testenv::PumpPending();
    DestroyWindow(siteWindow);
    siteWindow = nullptr;
}

void HostedBand::PumpThroughBand()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (input && msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST)
            input->TranslateAcceleratorIO(&msg);
        else
            DispatchMessageA(&msg);
    }
}

MessageLog::MessageLog(TControl* control) : control_(control), previous_(control->WindowProc())
{
    control->SetWindowProc(TWndMethod::Bind<&MessageLog::Record>(this));
}

MessageLog::~MessageLog()
{
    control_->SetWindowProc(previous_);
}

void MessageLog::Record(TMessage& message)
{
    messages.push_back(message.Msg);
    previous_(message);
}

}  // namespace bandtest
