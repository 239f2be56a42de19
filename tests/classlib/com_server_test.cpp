// The COM server classes through a real COM library (testcomserver.dll, beside the test program):
// its exports loaded with LoadLibrary, its objects made by its class factories, and its
// registration read back from Wine's registry.
#include <windows.h>
#include <ole2.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ComObj.h"
#include "GuidText.h"
#include "SysUtils.h"
#include "TestComServer.h"
#include "TestEnv.h"

namespace {

std::vector<std::string> events;

void WINAPI Observe(const char* event)
{
    events.push_back(event);
}

using GetClassObjectProc = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
using PlainExportProc = HRESULT(STDAPICALLTYPE*)();

template <class F>
F Export(HMODULE m, const char* name)
{
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(m, name)));
}

// The test library, loaded from a given path for the life of the object.
class ComLibrary {
public:
    explicit ComLibrary(const std::wstring& path) : module(LoadLibraryW(path.c_str()))
    {
        if (!module) return;
        getClassObject = Export<GetClassObjectProc>(module, "DllGetClassObject");
        canUnloadNow = Export<PlainExportProc>(module, "DllCanUnloadNow");
        registerServer = Export<PlainExportProc>(module, "DllRegisterServer");
        unregisterServer = Export<PlainExportProc>(module, "DllUnregisterServer");
        setObserver = Export<TestSetObserverProc>(module, "TestSetObserver");
        objectCount = Export<TestObjectCountProc>(module, "TestObjectCount");
        holdLibrary = Export<TestHoldLibraryProc>(module, "TestHoldLibrary");
        if (setObserver) setObserver(&Observe);
    }
    ~ComLibrary()
    {
        if (!module) return;
        if (setObserver) setObserver(nullptr);
        FreeLibrary(module);
    }
    ComLibrary(const ComLibrary&) = delete;
    ComLibrary& operator=(const ComLibrary&) = delete;

    bool Complete() const
    {
        return module && getClassObject && canUnloadNow && registerServer && unregisterServer &&
               setObserver && objectCount && holdLibrary;
    }

    IClassFactory* Factory(const CLSID& id)
    {
        void* p = nullptr;
        return SUCCEEDED(getClassObject(id, IID_IClassFactory, &p)) ? static_cast<IClassFactory*>(p)
                                                                     : nullptr;
    }

    HMODULE module;
    GetClassObjectProc getClassObject = nullptr;
    PlainExportProc canUnloadNow = nullptr;
    PlainExportProc registerServer = nullptr;
    PlainExportProc unregisterServer = nullptr;
    TestSetObserverProc setObserver = nullptr;
    TestObjectCountProc objectCount = nullptr;
    TestHoldLibraryProc holdLibrary = nullptr;
};

std::wstring TestLibraryPath()
{
    return WideFromAnsi(testenv::ProgramDir()) + L"testcomserver.dll";
}

// --- reading and cleaning HKEY_CLASSES_ROOT ---

bool ClassesKeyExists(const std::wstring& key)
{
    HKEY h;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
    RegCloseKey(h);
    return true;
}

// The string value, or "<absent>".
std::wstring ClassesValue(const std::wstring& key, const wchar_t* name = nullptr)
{
    HKEY h;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS)
        return L"<absent>";
    wchar_t buf[1024] = {};
    DWORD size = sizeof buf - sizeof(wchar_t);
    DWORD type = 0;
    LONG rc = RegQueryValueExW(h, name, nullptr, &type, reinterpret_cast<BYTE*>(buf), &size);
    RegCloseKey(h);
    if (rc != ERROR_SUCCESS) return L"<absent>";
    if (type != REG_SZ) return L"<not a string>";
    return buf;
}

void DeleteTree(HKEY root, const std::wstring& key)
{
    HKEY h;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &h) == ERROR_SUCCESS) {
        wchar_t name[512];
        std::vector<std::wstring> subs;
        for (DWORD i = 0;; ++i) {
            DWORD n = 512;
            if (RegEnumKeyExW(h, i, name, &n, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
            subs.push_back(name);
        }
        RegCloseKey(h);
        for (const auto& s : subs) DeleteTree(root, key + L"\\" + s);
    }
    RegDeleteKeyW(root, key.c_str());
}

const std::wstring TestClassKey = std::wstring(L"CLSID\\") + KervoTestObjectText;
const std::wstring RefusingClassKey = std::wstring(L"CLSID\\") + KervoRefusingObjectText;
const std::wstring TestProgID = L"testcomserver.TestObject";
const std::wstring RefusingProgID = L"testcomserver.Refusing";

void RemoveTestRegistration()
{
    for (const auto& k : {TestClassKey, RefusingClassKey, TestProgID, RefusingProgID})
        DeleteTree(HKEY_CLASSES_ROOT, k);
}

class ComServerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        RemoveTestRegistration();
        events.clear();
    }
    void TearDown() override { RemoveTestRegistration(); }
};

// An outer object that aggregates the test object: it answers IUnknown itself and passes IPersist
// on to the inner object. Its count shows where the inner object's references go.
class Outer : public IUnknown {
public:
    LONG refs = 1;
    IUnknown* inner = nullptr;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        if (IsEqualIID(iid, IID_IUnknown)) {
            *out = static_cast<IUnknown*>(this);
            AddRef();
            return S_OK;
        }
        if (inner && IsEqualIID(iid, IID_IPersist)) return inner->QueryInterface(iid, out);
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++refs); }
    ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--refs); }
};

}  // namespace

TEST_F(ComServerTest, ClassObjectsAreHandedOutForTheLibrarysClassesOnly)
{
    ComLibrary lib(TestLibraryPath());
    ASSERT_TRUE(lib.Complete());

    void* p = reinterpret_cast<void*>(1);
    EXPECT_EQ(lib.getClassObject(CLSID_KervoTestObject, IID_IClassFactory, &p), S_OK);
    ASSERT_NE(p, nullptr);
    static_cast<IClassFactory*>(p)->Release();

    p = reinterpret_cast<void*>(1);
    EXPECT_EQ(lib.getClassObject(CLSID_KervoRefusingObject, IID_IUnknown, &p), S_OK);
    ASSERT_NE(p, nullptr);
    static_cast<IUnknown*>(p)->Release();

    p = reinterpret_cast<void*>(1);
    EXPECT_EQ(lib.getClassObject(CLSID_KervoTestObject, IID_IPersist, &p), E_NOINTERFACE);
    EXPECT_EQ(p, nullptr);

    p = reinterpret_cast<void*>(1);
    EXPECT_EQ(lib.getClassObject(IID_IPersist, IID_IClassFactory, &p), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(p, nullptr);
    EXPECT_EQ(lib.getClassObject(CLSID_KervoTestObject, IID_IClassFactory, nullptr), E_POINTER);
    EXPECT_EQ(lib.canUnloadNow(), S_OK);  // nothing handed out is still held
}

TEST_F(ComServerTest, ObjectsAnswerTheirInterfacesAndCountReferences)
{
    ComLibrary lib(TestLibraryPath());
    ASSERT_TRUE(lib.Complete());
    IClassFactory* factory = lib.Factory(CLSID_KervoTestObject);
    ASSERT_NE(factory, nullptr);

    IPersist* persist = nullptr;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IPersist, reinterpret_cast<void**>(&persist)), S_OK);
    factory->Release();
    ASSERT_NE(persist, nullptr);
    EXPECT_EQ(lib.objectCount(), 1);
    ASSERT_EQ(events, std::vector<std::string>{"constructed"});

    CLSID id{};
    EXPECT_EQ(persist->GetClassID(&id), S_OK);
    EXPECT_TRUE(IsEqualCLSID(id, CLSID_KervoTestObject));

    EXPECT_EQ(persist->AddRef(), 2u);
    EXPECT_EQ(persist->Release(), 1u);

    // One identity: IUnknown from any interface is the same pointer, and leads back.
    IUnknown* u1 = nullptr;
    IUnknown* u2 = nullptr;
    ASSERT_EQ(persist->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&u1)), S_OK);
    ASSERT_EQ(u1->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&u2)), S_OK);
    EXPECT_EQ(u1, u2);
    IPersist* again = nullptr;
    ASSERT_EQ(u1->QueryInterface(IID_IPersist, reinterpret_cast<void**>(&again)), S_OK);
    EXPECT_EQ(again, persist);
    EXPECT_EQ(again->Release(), 3u);
    EXPECT_EQ(u2->Release(), 2u);
    EXPECT_EQ(u1->Release(), 1u);

    void* none = reinterpret_cast<void*>(1);
    EXPECT_EQ(persist->QueryInterface(IID_IDispatch, &none), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(persist->QueryInterface(IID_IDispatch, nullptr), E_POINTER);

    ISupportErrorInfo* info = nullptr;
    ASSERT_EQ(persist->QueryInterface(IID_ISupportErrorInfo, reinterpret_cast<void**>(&info)), S_OK);
    EXPECT_EQ(info->InterfaceSupportsErrorInfo(IID_IPersist), S_OK);
    EXPECT_EQ(info->InterfaceSupportsErrorInfo(IID_IDispatch), S_FALSE);
    EXPECT_EQ(info->Release(), 1u);

    // The last Release: the pre-destruction step sees the whole object, still counted as alive.
    EXPECT_EQ(lib.canUnloadNow(), S_FALSE);
    EXPECT_EQ(persist->Release(), 0u);
    EXPECT_EQ(lib.objectCount(), 0);
    EXPECT_EQ(events, (std::vector<std::string>{"constructed", "destruction-starting whole objects=1",
                                                "destroyed"}));
    EXPECT_EQ(lib.canUnloadNow(), S_OK);
}

TEST_F(ComServerTest, FailedCreationsLeaveNoObjectBehind)
{
    ComLibrary lib(TestLibraryPath());
    ASSERT_TRUE(lib.Complete());

    // An interface the class does not answer: made, asked, and destroyed again.
    IClassFactory* factory = lib.Factory(CLSID_KervoTestObject);
    ASSERT_NE(factory, nullptr);
    void* p = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IDispatch, &p), E_NOINTERFACE);
    EXPECT_EQ(p, nullptr);
    EXPECT_EQ(lib.objectCount(), 0);
    EXPECT_EQ(events, (std::vector<std::string>{"constructed", "destruction-starting whole objects=1",
                                                "destroyed"}));
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, nullptr), E_POINTER);
    factory->Release();

    // A construction step that raises: its code is the answer, and the object goes without the
    // pre-destruction step that belongs to objects that were made whole.
    events.clear();
    factory = lib.Factory(CLSID_KervoRefusingObject);
    ASSERT_NE(factory, nullptr);
    p = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, &p), RefusingObjectError);
    EXPECT_EQ(p, nullptr);
    EXPECT_EQ(lib.objectCount(), 0);
    EXPECT_EQ(events, std::vector<std::string>{"refusing-destroyed"});
    factory->Release();
    EXPECT_EQ(lib.canUnloadNow(), S_OK);
}

TEST_F(ComServerTest, AggregatedObjectsPassTheirIUnknownToTheOuterObject)
{
    ComLibrary lib(TestLibraryPath());
    ASSERT_TRUE(lib.Complete());
    IClassFactory* factory = lib.Factory(CLSID_KervoTestObject);
    ASSERT_NE(factory, nullptr);

    Outer outer;
    void* p = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory->CreateInstance(&outer, IID_IPersist, &p), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(p, nullptr);
    EXPECT_EQ(lib.objectCount(), 0);

    IUnknown* inner = nullptr;
    ASSERT_EQ(factory->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void**>(&inner)), S_OK);
    factory->Release();
    ASSERT_NE(inner, nullptr);
    outer.inner = inner;
    EXPECT_EQ(outer.refs, 1);  // the inner IUnknown counts for the inner object only

    // Through the outer object and through the inner IUnknown alike: IPersist counts on the outer.
    IPersist* persist = nullptr;
    ASSERT_EQ(outer.QueryInterface(IID_IPersist, reinterpret_cast<void**>(&persist)), S_OK);
    EXPECT_EQ(outer.refs, 2);
    IPersist* persist2 = nullptr;
    ASSERT_EQ(inner->QueryInterface(IID_IPersist, reinterpret_cast<void**>(&persist2)), S_OK);
    EXPECT_EQ(persist2, persist);
    EXPECT_EQ(outer.refs, 3);
    EXPECT_EQ(persist->AddRef(), 4u);
    EXPECT_EQ(persist->Release(), 3u);
    persist2->Release();

    // Asking the aggregated interface for IUnknown gives the outer object's identity...
    IUnknown* identity = nullptr;
    ASSERT_EQ(persist->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)), S_OK);
    EXPECT_EQ(identity, static_cast<IUnknown*>(&outer));
    identity->Release();
    // ... and asking the inner IUnknown gives the inner IUnknown.
    IUnknown* innerAgain = nullptr;
    ASSERT_EQ(inner->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&innerAgain)), S_OK);
    EXPECT_EQ(innerAgain, inner);
    EXPECT_EQ(innerAgain->Release(), 1u);

    persist->Release();
    EXPECT_EQ(outer.refs, 1);
    EXPECT_EQ(lib.objectCount(), 1);
    EXPECT_EQ(inner->Release(), 0u);  // the outer object lets go: the inner object ends
    EXPECT_EQ(lib.objectCount(), 0);
    EXPECT_EQ(events.back(), "destroyed");
}

TEST_F(ComServerTest, CanUnloadNowOnlyWhenNothingHoldsTheLibrary)
{
    ComLibrary lib(TestLibraryPath());
    ASSERT_TRUE(lib.Complete());
    EXPECT_EQ(lib.canUnloadNow(), S_OK);

    IClassFactory* factory = lib.Factory(CLSID_KervoTestObject);
    ASSERT_NE(factory, nullptr);
    EXPECT_EQ(lib.canUnloadNow(), S_FALSE);  // a factory reference
    factory->AddRef();
    factory->Release();
    EXPECT_EQ(lib.canUnloadNow(), S_FALSE);

    EXPECT_EQ(factory->LockServer(TRUE), S_OK);
    factory->Release();
    EXPECT_EQ(lib.canUnloadNow(), S_FALSE);  // a lock
    EXPECT_EQ(factory->LockServer(FALSE), S_OK);
    EXPECT_EQ(lib.canUnloadNow(), S_OK);
    // One unlock too many is not kept against the next lock.
    factory->LockServer(FALSE);
    factory->LockServer(TRUE);
    EXPECT_EQ(lib.canUnloadNow(), S_FALSE);
    factory->LockServer(FALSE);
    EXPECT_EQ(lib.canUnloadNow(), S_OK);

    factory = lib.Factory(CLSID_KervoTestObject);
    IUnknown* object = nullptr;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&object)), S_OK);
    factory->Release();
    EXPECT_EQ(lib.canUnloadNow(), S_FALSE);  // a live object
    object->Release();
    EXPECT_EQ(lib.canUnloadNow(), S_OK);

    lib.holdLibrary(TRUE);  // something outside COM (live windows) holds it
    EXPECT_EQ(lib.canUnloadNow(), S_FALSE);
    lib.holdLibrary(FALSE);
    EXPECT_EQ(lib.canUnloadNow(), S_OK);
}

TEST_F(ComServerTest, RegistrationWritesTheClassKeysAndUnregistrationRemovesThem)
{
    ComLibrary lib(TestLibraryPath());
    ASSERT_TRUE(lib.Complete());

    for (int round = 0; round < 2; ++round) {  // registering twice leaves the same entries
        ASSERT_EQ(lib.registerServer(), S_OK);
        EXPECT_EQ(ClassesValue(TestClassKey), KervoTestObjectDescription);
        EXPECT_EQ(ClassesValue(TestClassKey + L"\\InprocServer32"), TestLibraryPath());
        EXPECT_EQ(ClassesValue(TestClassKey + L"\\InprocServer32", L"ThreadingModel"), L"Apartment");
        EXPECT_EQ(ClassesValue(TestProgID), KervoTestObjectDescription);
        EXPECT_EQ(ClassesValue(TestProgID + L"\\Clsid"), KervoTestObjectText);
        EXPECT_EQ(ClassesValue(TestClassKey + L"\\ProgID"), TestProgID);
        // Every factory of the library is registered.
        EXPECT_EQ(ClassesValue(RefusingClassKey), L"Refusing");
        EXPECT_EQ(ClassesValue(RefusingClassKey + L"\\InprocServer32", L"ThreadingModel"), L"Both");
        EXPECT_EQ(ClassesValue(RefusingProgID + L"\\Clsid"), KervoRefusingObjectText);
    }

    ASSERT_EQ(lib.unregisterServer(), S_OK);
    for (const auto& key : {TestClassKey, TestProgID, RefusingClassKey, RefusingProgID})
        EXPECT_FALSE(ClassesKeyExists(key)) << AnsiFromWide(key);
    // Unregistering what is not registered is no error.
    EXPECT_EQ(lib.unregisterServer(), S_OK);
}

TEST_F(ComServerTest, UnregistrationLeavesAClassKeyThatOthersStillUse)
{
    ComLibrary lib(TestLibraryPath());
    ASSERT_TRUE(lib.Complete());
    ASSERT_EQ(lib.registerServer(), S_OK);
    HKEY h;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, (TestClassKey + L"\\Implemented Categories").c_str(),
                              0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(h);

    ASSERT_EQ(lib.unregisterServer(), S_OK);
    EXPECT_TRUE(ClassesKeyExists(TestClassKey));
    EXPECT_TRUE(ClassesKeyExists(TestClassKey + L"\\Implemented Categories"));
    EXPECT_FALSE(ClassesKeyExists(TestClassKey + L"\\InprocServer32"));
    EXPECT_FALSE(ClassesKeyExists(TestClassKey + L"\\ProgID"));
    EXPECT_FALSE(ClassesKeyExists(TestProgID));
    EXPECT_FALSE(ClassesKeyExists(RefusingClassKey));
}

TEST_F(ComServerTest, AServerPathWithABlankIsRegisteredInItsShortForm)
{
    const std::string scratch = testenv::MakeScratchDir("kervo com");
    ASSERT_FALSE(scratch.empty());
    const std::wstring folder = WideFromAnsi(scratch) + L"\\server folder";
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    const std::wstring path = folder + L"\\testcomserver.dll";
    ASSERT_TRUE(CopyFileW(TestLibraryPath().c_str(), path.c_str(), FALSE));
    {
        ComLibrary lib(path);
        ASSERT_TRUE(lib.Complete());
        ASSERT_EQ(lib.registerServer(), S_OK);
        const std::wstring registered = ClassesValue(TestClassKey + L"\\InprocServer32");
        EXPECT_EQ(registered.find(L' '), std::wstring::npos) << AnsiFromWide(registered);
        wchar_t shortPath[MAX_PATH] = {};
        ASSERT_NE(GetShortPathNameW(path.c_str(), shortPath, MAX_PATH), 0u);
        EXPECT_EQ(registered, shortPath);
        // It names the same file.
        wchar_t longPath[MAX_PATH] = {};
        ASSERT_NE(GetLongPathNameW(registered.c_str(), longPath, MAX_PATH), 0u);
        EXPECT_EQ(CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, longPath, -1, path.c_str(), -1),
                  CSTR_EQUAL);
        // The ProgID comes from the file name, whatever the folder.
        EXPECT_EQ(ClassesValue(TestProgID + L"\\Clsid"), KervoTestObjectText);
        EXPECT_EQ(lib.unregisterServer(), S_OK);
    }
    testenv::RemoveTree(scratch);
}

namespace {
class TPlainObject : public TComObject {};
}  // namespace

// The program's own server: a factory whose keys cannot be written.
TEST_F(ComServerTest, ARefusedRegistryWriteFailsTheRegistration)
{
    // A key name longer than the registry allows (255 characters) is refused by the system.
    const std::wstring longName(300, L'x');
    const CLSID id = StringToGUID("{5F0C5C63-21E5-4E38-9F5C-3B0B6B3A4E11}");
    const std::wstring classKey = L"CLSID\\{5F0C5C63-21E5-4E38-9F5C-3B0B6B3A4E11}";
    auto* factory = new TComObjectFactory(ComServer(), &ComObjectCreator<TPlainObject>, id, longName,
                                          L"unwritable", ciMultiInstance, tmApartment);
    EXPECT_EQ(ComServer().FindFactory(id), factory);
    try {
        factory->UpdateRegistration(true);
        ADD_FAILURE() << "no error";
    } catch (const ERegistryException& e) {
        EXPECT_EQ(WideFromAnsi(e.Message()), L"システム レジストリ に書き込めません");
    }
    // What was written before the refusal stays.
    EXPECT_EQ(ClassesValue(classKey), L"unwritable");
    EXPECT_EQ(ClassesValue(classKey + L"\\InprocServer32", L"ThreadingModel"), L"Apartment");

    EXPECT_EQ(ComServer().RegisterServer(), E_FAIL);
    EXPECT_EQ(ComServer().UnregisterServer(), S_OK);
    EXPECT_FALSE(ClassesKeyExists(classKey));

    delete factory;  // leaves the server's list
    EXPECT_EQ(ComServer().FindFactory(id), nullptr);
    EXPECT_TRUE(ComServer().Factories().empty());
}

TEST(ComErrors, FailuresBecomeExceptionsAndExceptionsBecomeHResults)
{
    EXPECT_NO_THROW(OleCheck(S_OK));
    EXPECT_NO_THROW(OleCheck(S_FALSE));
    try {
        OleCheck(E_ACCESSDENIED);
        ADD_FAILURE() << "no error";
    } catch (const EOleSysError& e) {
        EXPECT_EQ(e.ErrorCode(), E_ACCESSDENIED);
        EXPECT_FALSE(e.Message().empty());
    }
    auto answer = [](auto raise) {
        try {
            raise();
        } catch (...) {
            return HResultFromException(std::current_exception());
        }
        return S_OK;
    };
    EXPECT_EQ(answer([] { OleCheck(E_NOTIMPL); }), E_NOTIMPL);
    EXPECT_EQ(answer([] { throw std::bad_alloc(); }), E_OUTOFMEMORY);
    EXPECT_EQ(answer([] { throw Exception("x"); }), E_FAIL);
    EXPECT_EQ(answer([] { throw 1; }), E_FAIL);
    // An error object that carries a success code still reports a failure.
    EXPECT_EQ(answer([] { throw EOleSysError("odd", S_FALSE); }), E_FAIL);
}
