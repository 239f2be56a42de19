#include "ComObj.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <new>

#include "GuidText.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

// ---------------------------------------------------------------------------------------------
// Errors

void OleCheck(HRESULT result)
{
    if (SUCCEEDED(result)) return;
    wchar_t* text = nullptr;
    DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                 FORMAT_MESSAGE_IGNORE_INSERTS,
                             nullptr, static_cast<DWORD>(result), 0, reinterpret_cast<wchar_t*>(&text),
                             0, nullptr);
    std::wstring message = n ? std::wstring(text, n) : std::wstring();
    if (text) LocalFree(text);
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r')) message.pop_back();
    if (message.empty()) {
        wchar_t code[16];
        std::swprintf(code, 16, L"%08lX", static_cast<unsigned long>(result));
        message = FormatText(L"OLE エラー %s", {code});
    }
    throw EOleSysError(AnsiFromWide(message), result);
}

HRESULT HResultFromException(std::exception_ptr error) noexcept
{
    if (!error) return E_FAIL;
    try {
        std::rethrow_exception(error);
    } catch (const EOleSysError& e) {
        return FAILED(e.ErrorCode()) ? e.ErrorCode() : E_FAIL;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_FAIL;
    }
}

// ---------------------------------------------------------------------------------------------
// Registry writes of the class keys. Wide calls, so that a description or a folder outside the
// ANSI code page is written as it is.

namespace {

[[noreturn]] void RaiseRegistryWriteError()
{
    throw ERegistryException(L"システム レジストリ に書き込めません");
}

void WriteClassesValue(const std::wstring& key, const wchar_t* name, const std::wstring& value)
{
    HKEY h = nullptr;
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_SET_VALUE, nullptr, &h, nullptr) != ERROR_SUCCESS) {
        RaiseRegistryWriteError();
    }
    const auto bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
    LONG rc = RegSetValueExW(h, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), bytes);
    RegCloseKey(h);
    if (rc != ERROR_SUCCESS) RaiseRegistryWriteError();
}

// RegDeleteKey leaves a key that has sub-keys: a class key that other registrations still use
// (categories, type libraries) survives.
void DeleteClassesKey(const std::wstring& key)
{
    RegDeleteKeyW(HKEY_CLASSES_ROOT, key.c_str());
}

const wchar_t* ThreadingModelName(TThreadingModel model)
{
    switch (model) {
    case tmApartment: return L"Apartment";
    case tmFree: return L"Free";
    case tmBoth: return L"Both";
    case tmNeutral: return L"Neutral";
    case tmSingle: break;
    }
    return nullptr;
}

// COM splits the server path of an older loader at blanks; the short form has none.
std::wstring RegisteredServerPath(const std::wstring& path)
{
    if (path.find(L' ') == std::wstring::npos) return path;
    DWORD n = GetShortPathNameW(path.c_str(), nullptr, 0);
    if (n == 0) return path;
    std::wstring shortPath(n, L'\0');
    n = GetShortPathNameW(path.c_str(), shortPath.data(), n);
    if (n == 0 || n >= shortPath.size()) return path;
    shortPath.resize(n);
    return shortPath;
}

constexpr LONG DestroyingRefCount = LONG_MAX / 2;

}  // namespace

// ---------------------------------------------------------------------------------------------
// TComObject

TComObject::TComObject() : inner_(this), server_(&ComServer())
{
    InterlockedIncrement(&server_->objects_);
}

TComObject::~TComObject()
{
    InterlockedDecrement(&server_->objects_);
}

HRESULT STDMETHODCALLTYPE TComObject::QueryInterface(REFIID iid, void** out)
{
    try {
        if (controller_) return controller_->QueryInterface(iid, out);
        if (!out) return E_POINTER;
        *out = nullptr;
        return InnerQueryInterface(iid, out);
    } catch (...) {
        return HResultFromException(std::current_exception());
    }
}

ULONG STDMETHODCALLTYPE TComObject::AddRef()
{
    try {
        return controller_ ? controller_->AddRef() : InnerAddRef();
    } catch (...) {
        return 0;
    }
}

ULONG STDMETHODCALLTYPE TComObject::Release()
{
    try {
        return controller_ ? controller_->Release() : InnerRelease();
    } catch (...) {
        return 0;
    }
}

HRESULT STDMETHODCALLTYPE TComObject::InterfaceSupportsErrorInfo(REFIID iid)
{
    try {
        void* p = nullptr;
        if (FAILED(InnerQueryInterface(iid, &p)) || !p) return S_FALSE;
        static_cast<IUnknown*>(p)->Release();
        return S_OK;
    } catch (...) {
        return S_FALSE;
    }
}

HRESULT TComObject::InnerQueryInterface(REFIID iid, void** out)
{
    if (IsEqualIID(iid, IID_IUnknown)) {
        InnerAddRef();
        *out = static_cast<IUnknown*>(&inner_);
        return S_OK;
    }
    if (IsEqualIID(iid, IID_ISupportErrorInfo)) return Answer<ISupportErrorInfo>(this, out);
    *out = nullptr;
    return E_NOINTERFACE;
}

ULONG TComObject::InnerAddRef()
{
    return static_cast<ULONG>(InterlockedIncrement(&refCount_));
}

ULONG TComObject::InnerRelease()
{
    const LONG n = InterlockedDecrement(&refCount_);
    if (n != 0) return static_cast<ULONG>(n);
    // References taken and given back while the object goes must not bring it to zero again.
    refCount_ = DestroyingRefCount;
    try {
        DestructionStarting();
    } catch (...) {
    }
    delete this;
    return 0;
}

HRESULT STDMETHODCALLTYPE TComObject::Inner::QueryInterface(REFIID iid, void** out)
{
    try {
        if (!out) return E_POINTER;
        *out = nullptr;
        return self->InnerQueryInterface(iid, out);
    } catch (...) {
        return HResultFromException(std::current_exception());
    }
}

ULONG STDMETHODCALLTYPE TComObject::Inner::AddRef()
{
    return self->InnerAddRef();
}

ULONG STDMETHODCALLTYPE TComObject::Inner::Release()
{
    try {
        return self->InnerRelease();
    } catch (...) {
        return 0;
    }
}

// ---------------------------------------------------------------------------------------------
// TComObjectFactory

TComObjectFactory::TComObjectFactory(TComServer& server, TComObjectCreator creator,
                                     const CLSID& classID, const std::wstring& className,
                                     const std::wstring& description, TClassInstancing instancing,
                                     TThreadingModel threadingModel)
    : server_(server),
      creator_(creator),
      classID_(classID),
      className_(className),
      description_(description),
      instancing_(instancing),
      threadingModel_(threadingModel)
{
    server_.factories_.push_back(this);
}

TComObjectFactory::~TComObjectFactory()
{
    auto& list = server_.factories_;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

HRESULT STDMETHODCALLTYPE TComObjectFactory::QueryInterface(REFIID iid, void** out)
{
    if (!out) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
        AddRef();
        *out = static_cast<IClassFactory*>(this);
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE TComObjectFactory::AddRef()
{
    return static_cast<ULONG>(InterlockedIncrement(&server_.factoryRefs_));
}

ULONG STDMETHODCALLTYPE TComObjectFactory::Release()
{
    return static_cast<ULONG>(InterlockedDecrement(&server_.factoryRefs_));
}

HRESULT STDMETHODCALLTYPE TComObjectFactory::CreateInstance(IUnknown* outer, REFIID iid, void** out)
{
    if (!out) return E_POINTER;
    *out = nullptr;
    // An aggregated object must first give its outer object the inner IUnknown.
    if (outer && !IsEqualIID(iid, IID_IUnknown)) return CLASS_E_NOAGGREGATION;
    TComObject* object = nullptr;
    try {
        object = CreateComObject(outer);
    } catch (...) {
        return HResultFromException(std::current_exception());
    }
    // The object's own reference while it is queried: a miss destroys it again.
    object->InnerAddRef();
    HRESULT result;
    try {
        result = object->InnerQueryInterface(iid, out);
    } catch (...) {
        *out = nullptr;
        result = HResultFromException(std::current_exception());
    }
    object->InnerRelease();
    return result;
}

HRESULT STDMETHODCALLTYPE TComObjectFactory::LockServer(BOOL lock)
{
    if (lock) {
        InterlockedIncrement(&server_.locks_);
    } else {
        // More unlocks than locks must not hide later locks.
        LONG n = server_.locks_;
        while (n > 0) {
            LONG seen = InterlockedCompareExchange(&server_.locks_, n - 1, n);
            if (seen == n) break;
            n = seen;
        }
    }
    return S_OK;
}

TComObject* TComObjectFactory::CreateComObject(IUnknown* controller)
{
    TComObject* object = creator_();
    object->factory_ = this;
    object->controller_ = controller;
    // Held while ConstructionDone runs, so that a reference taken and given back there does not
    // destroy the object under construction.
    object->refCount_ = 1;
    try {
        object->ConstructionDone();
    } catch (...) {
        delete object;
        throw;
    }
    InterlockedDecrement(&object->refCount_);  // a reference kept by ConstructionDone stays
    return object;
}

std::wstring TComObjectFactory::ProgID() const
{
    if (className_.empty()) return std::wstring();
    return ExtractBaseName(server_.ServerFileName()) + L"." + className_;
}

void TComObjectFactory::UpdateRegistration(bool doRegister)
{
    const std::wstring clsid = WideFromAnsi(GUIDToString(classID_));
    const std::wstring classKey = L"CLSID\\" + clsid;
    const std::wstring progID = ProgID();
    if (doRegister) {
        WriteClassesValue(classKey, nullptr, description_);
        WriteClassesValue(classKey + L"\\InprocServer32", nullptr,
                          RegisteredServerPath(server_.ServerFileName()));
        if (const wchar_t* model = ThreadingModelName(threadingModel_))
            WriteClassesValue(classKey + L"\\InprocServer32", L"ThreadingModel", model);
        if (!progID.empty()) {
            WriteClassesValue(progID, nullptr, description_);
            WriteClassesValue(progID + L"\\Clsid", nullptr, clsid);
            WriteClassesValue(classKey + L"\\ProgID", nullptr, progID);
        }
    } else {
        if (!progID.empty()) {
            DeleteClassesKey(classKey + L"\\ProgID");
            DeleteClassesKey(progID + L"\\Clsid");
            DeleteClassesKey(progID);
        }
        DeleteClassesKey(classKey + L"\\InprocServer32");
        DeleteClassesKey(classKey);
    }
}

// ---------------------------------------------------------------------------------------------
// TComServer

TComServer::TComServer() : instance_(reinterpret_cast<HINSTANCE>(&__ImageBase)) {}

TComServer::~TComServer()
{
    // Each factory takes itself out of the list as it goes.
    while (!factories_.empty()) delete factories_.back();
}

std::wstring TComServer::ServerFileName() const
{
    return ModuleFileName(instance_);
}

TComServer::THoldQuery TComServer::SetHoldQuery(THoldQuery query)
{
    THoldQuery previous = holdQuery_;
    holdQuery_ = query;
    return previous;
}

TComObjectFactory* TComServer::FindFactory(const CLSID& classID) const
{
    for (TComObjectFactory* f : factories_)
        if (IsEqualCLSID(f->ClassID(), classID)) return f;
    return nullptr;
}

HRESULT TComServer::GetClassObject(REFCLSID classID, REFIID iid, void** out) noexcept
{
    if (!out) return E_POINTER;
    *out = nullptr;
    TComObjectFactory* factory = FindFactory(classID);
    if (!factory) return CLASS_E_CLASSNOTAVAILABLE;
    return factory->QueryInterface(iid, out);
}

HRESULT TComServer::CanUnloadNow() noexcept
{
    if (objects_ != 0 || factoryRefs_ != 0 || locks_ != 0) return S_FALSE;
    try {
        if (holdQuery_ && holdQuery_()) return S_FALSE;
    } catch (...) {
        return S_FALSE;  // in doubt, stay loaded
    }
    return S_OK;
}

HRESULT TComServer::RegisterServer() noexcept
{
    try {
        // A copy: a factory's registration must not be disturbed by the list changing.
        const std::vector<TComObjectFactory*> list = factories_;
        for (TComObjectFactory* f : list) f->UpdateRegistration(true);
        return S_OK;
    } catch (...) {
        // Whatever the reason, the caller (regsvr32, the installer) is told E_FAIL.
        return E_FAIL;
    }
}

HRESULT TComServer::UnregisterServer() noexcept
{
    HRESULT result = S_OK;
    std::vector<TComObjectFactory*> list;
    try {
        list = factories_;
    } catch (...) {
        return E_FAIL;
    }
    for (TComObjectFactory* f : list) {
        try {
            f->UpdateRegistration(false);
        } catch (...) {
            result = E_FAIL;
        }
    }
    return result;
}

TComServer& ComServer() noexcept
{
    static TComServer server;
    return server;
}
