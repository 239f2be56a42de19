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

using Events = std::vector<std::string>;
const Events MadeAndEnded = {"constructed", "destruction-starting whole objects=1", "destroyed"};

template <class F>
F Export(HMODULE m, const char* name)
{
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(m, name)));
}

// The test library, loaded from a path for the life of the object.
struct ComLibrary {
    using PlainProc = HRESULT(STDAPICALLTYPE*)();
    HMODULE module;
    HRESULT(STDAPICALLTYPE* getClassObject)(REFCLSID, REFIID, void**) = nullptr;
    PlainProc canUnloadNow = nullptr, registerServer = nullptr, unregisterServer = nullptr;
    TestObjectCountProc objectCount = nullptr;
    TestHoldLibraryProc holdLibrary = nullptr;

    explicit ComLibrary(const std::wstring& path) : module(LoadLibraryW(path.c_str()))
    {
        if (!module) return;
        getClassObject = Export<decltype(getClassObject)>(module, "DllGetClassObject");
        canUnloadNow = Export<PlainProc>(module, "DllCanUnloadNow");
        registerServer = Export<PlainProc>(module, "DllRegisterServer");
        unregisterServer = Export<PlainProc>(module, "DllUnregisterServer");
        objectCount = Export<TestObjectCountProc>(module, "TestObjectCount");
        holdLibrary = Export<TestHoldLibraryProc>(module, "TestHoldLibrary");
        if (auto set = Export<TestSetObserverProc>(module, "TestSetObserver")) set(&Observe);
    }
    ~ComLibrary()
    {
        if (module) FreeLibrary(module);
    }

    bool Complete() const
    {
        return getClassObject && canUnloadNow && registerServer && unregisterServer && objectCount &&
               holdLibrary;
    }

    IClassFactory* Factory(const CLSID& id)
    {
        void* p = nullptr;
        getClassObject(id, IID_IClassFactory, &p);
        return static_cast<IClassFactory*>(p);
    }
};

std::wstring TestLibraryPath()
{
    return WideFromAnsi(testenv::ProgramDir()) + L"testcomserver.dll";
}

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
    wchar_t buf[1024] = {};
    DWORD size = sizeof buf - sizeof(wchar_t);
    HKEY h;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return L"<absent>";
    LONG rc = RegQueryValueExW(h, name, nullptr, nullptr, reinterpret_cast<BYTE*>(buf), &size);
    RegCloseKey(h);
    return rc == ERROR_SUCCESS ? buf : L"<absent>";
}

void DeleteTree(const std::wstring& key)
{
    HKEY h;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &h) == ERROR_SUCCESS) {
        std::vector<std::wstring> subs;
        wchar_t name[256];
        for (DWORD i = 0, n = 256; RegEnumKeyExW(h, i, name, &n, nullptr, nullptr, nullptr, nullptr) ==
                                   ERROR_SUCCESS;
             ++i, n = 256)
            subs.push_back(name);
        RegCloseKey(h);
        for (const auto& s : subs) DeleteTree(key + L"\\" + s);
    }
    RegDeleteKeyW(HKEY_CLASSES_ROOT, key.c_str());
}

const std::wstring TestClassKey = std::wstring(L"CLSID\\") + KervoTestObjectText;
const std::wstring RefusingClassKey = std::wstring(L"CLSID\\") + KervoRefusingObjectText;
const std::wstring TestProgID = L"testcomserver.TestObject";
const std::wstring RefusingProgID = L"testcomserver.Refusing";

class ComServerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TearDown();
        events.clear();
    }
    void TearDown() override
    {
        for (const auto& k : {TestClassKey, RefusingClassKey, TestProgID, RefusingProgID}) DeleteTree(k);
    }
};

}  // namespace

TEST_F(ComServerTest, ObjectsAnswerTheirInterfacesAndCountReferences)
{
    ComLibrary lib(TestLibraryPath());
    ASSERT_TRUE(lib.Complete());
    IClassFactory* factory = lib.Factory(CLSID_KervoTestObject);
    ASSERT_NE(factory, nullptr);
    IPersist* persist = nullptr;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IPersist, reinterpret_cast<void**>(&persist)), S_OK);
    factory->Release();
    EXPECT_EQ(lib.objectCount(), 1);
    EXPECT_EQ(events, Events{"constructed"});

    CLSID id{};
    EXPECT_EQ(persist->GetClassID(&id), S_OK);
    EXPECT_TRUE(IsEqualCLSID(id, CLSID_KervoTestObject));
    EXPECT_EQ(persist->AddRef(), 2u);
    EXPECT_EQ(persist->Release(), 1u);

    // One identity: IUnknown from any interface is the same pointer, and leads back.
    IUnknown *u1 = nullptr, *u2 = nullptr;
    IPersist* again = nullptr;
    ASSERT_EQ(persist->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&u1)), S_OK);
    ASSERT_EQ(u1->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&u2)), S_OK);
    ASSERT_EQ(u1->QueryInterface(IID_IPersist, reinterpret_cast<void**>(&again)), S_OK);
    EXPECT_EQ(u1, u2);
    EXPECT_EQ(again, persist);
    EXPECT_EQ(again->Release() + u2->Release() + u1->Release(), 3u + 2u + 1u);

    void* none = reinterpret_cast<void*>(1);
    EXPECT_EQ(persist->QueryInterface(IID_IDispatch, &none), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(persist->QueryInterface(IID_IDispatch, nullptr), E_POINTER);

    ISupportErrorInfo* info = nullptr;
    ASSERT_EQ(persist->QueryInterface(IID_ISupportErrorInfo, reinterpret_cast<void**>(&info)), S_OK);
    EXPECT_EQ(info->InterfaceSupportsErrorInfo(IID_IPersist), S_OK);
    EXPECT_EQ(info->InterfaceSupportsErrorInfo(IID_IDispatch), S_FALSE);
    info->Release();

    // The last Release: the pre-destruction step sees the whole object, still counted as alive.
    EXPECT_EQ(persist->Release(), 0u);
    EXPECT_EQ(lib.objectCount(), 0);
    EXPECT_EQ(events, MadeAndEnded);
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
    EXPECT_EQ(events, MadeAndEnded);
    factory->Release();

    // A construction step that raises: its code is the answer, and the object goes without the
    // pre-destruction step, which belongs to objects that were made whole.
    events.clear();
    factory = lib.Factory(CLSID_KervoRefusingObject);
    ASSERT_NE(factory, nullptr);
    p = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, &p), RefusingObjectError);
    EXPECT_EQ(p, nullptr);
    EXPECT_EQ(events, Events{"refusing-destroyed"});
    factory->Release();
    EXPECT_EQ(lib.objectCount(), 0);
}

namespace {

// Aggregates the test object: answers IUnknown itself and passes IPersist to the inner object.
struct Outer : IUnknown {
    LONG refs = 1;
    IUnknown* inner = nullptr;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        if (inner && IsEqualIID(iid, IID_IPersist)) return inner->QueryInterface(iid, out);
        *out = IsEqualIID(iid, IID_IUnknown) ? this : nullptr;
        return *out ? (AddRef(), S_OK) : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++refs); }
    ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--refs); }
};

}  // namespace

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
    ASSERT_EQ(factory->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void**>(&outer.inner)), S_OK);
    factory->Release();
    EXPECT_EQ(outer.refs, 1);  // the inner IUnknown counts for the inner object only

    // IPersist, asked of the outer object or of the inner IUnknown, counts on the outer object.
    IPersist *persist = nullptr, *persist2 = nullptr;
    ASSERT_EQ(outer.QueryInterface(IID_IPersist, reinterpret_cast<void**>(&persist)), S_OK);
    ASSERT_EQ(outer.inner->QueryInterface(IID_IPersist, reinterpret_cast<void**>(&persist2)), S_OK);
    EXPECT_EQ(persist2, persist);
    EXPECT_EQ(outer.refs, 3);
    EXPECT_EQ(persist2->Release(), 2u);

    // IUnknown asked of the aggregated interface is the outer object; of the inner IUnknown, itself.
    IUnknown *identity = nullptr, *innerAgain = nullptr;
    ASSERT_EQ(persist->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)), S_OK);
    EXPECT_EQ(identity, static_cast<IUnknown*>(&outer));
    identity->Release();
    ASSERT_EQ(outer.inner->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&innerAgain)), S_OK);
    EXPECT_EQ(innerAgain, outer.inner);
    EXPECT_EQ(innerAgain->Release(), 1u);

    persist->Release();
    EXPECT_EQ(outer.refs, 1);
    EXPECT_EQ(outer.inner->Release(), 0u);  // the outer object lets go: the inner object ends
    EXPECT_EQ(events, MadeAndEnded);
}

TEST_F(ComServerTest, ClassObjectsAndCanUnloadNow)
{
    ComLibrary lib(TestLibraryPath());
    ASSERT_TRUE(lib.Complete());
    EXPECT_EQ(lib.canUnloadNow(), S_OK);

    void* p = reinterpret_cast<void*>(1);
    EXPECT_EQ(lib.getClassObject(CLSID_KervoTestObject, IID_IPersist, &p), E_NOINTERFACE);
    EXPECT_EQ(p, nullptr);
    p = reinterpret_cast<void*>(1);
    EXPECT_EQ(lib.getClassObject(IID_IPersist, IID_IClassFactory, &p), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(p, nullptr);
    ASSERT_EQ(lib.getClassObject(CLSID_KervoRefusingObject, IID_IUnknown, &p), S_OK);
    static_cast<IUnknown*>(p)->Release();
    EXPECT_EQ(lib.canUnloadNow(), S_OK);

    IClassFactory* factory = lib.Factory(CLSID_KervoTestObject);
    ASSERT_NE(factory, nullptr);
    EXPECT_EQ(lib.canUnloadNow(), S_FALSE);  // a factory reference
    EXPECT_EQ(factory->LockServer(TRUE), S_OK);
    factory->Release();
    EXPECT_EQ(lib.canUnloadNow(), S_FALSE);  // a lock
    EXPECT_EQ(factory->LockServer(FALSE), S_OK);
    EXPECT_EQ(lib.canUnloadNow(), S_OK);
    factory->LockServer(FALSE);  // one unlock too many is not held against the next lock
    factory->LockServer(TRUE);
    EXPECT_EQ(lib.canUnloadNow(), S_FALSE);
    factory->LockServer(FALSE);

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
        // Every factory of the library.
        EXPECT_EQ(ClassesValue(RefusingClassKey + L"\\InprocServer32", L"ThreadingModel"), L"Both");
        EXPECT_EQ(ClassesValue(RefusingProgID + L"\\Clsid"), KervoRefusingObjectText);
    }
    ASSERT_EQ(lib.unregisterServer(), S_OK);
    for (const auto& key : {TestClassKey, TestProgID, RefusingClassKey, RefusingProgID})
        EXPECT_FALSE(ClassesKeyExists(key)) << AnsiFromWide(key);
    EXPECT_EQ(lib.unregisterServer(), S_OK);  // what is not registered is no error

    // A class key that another registration still uses (a sub-key of its own) stays.
    ASSERT_EQ(lib.registerServer(), S_OK);
    HKEY h;
    ASSERT_EQ(RegCreateKeyW(HKEY_CLASSES_ROOT, (TestClassKey + L"\\Implemented Categories").c_str(), &h),
              ERROR_SUCCESS);
    RegCloseKey(h);
    ASSERT_EQ(lib.unregisterServer(), S_OK);
    EXPECT_TRUE(ClassesKeyExists(TestClassKey + L"\\Implemented Categories"));
    EXPECT_FALSE(ClassesKeyExists(TestClassKey + L"\\InprocServer32"));
    EXPECT_FALSE(ClassesKeyExists(TestProgID));
}

TEST_F(ComServerTest, AServerPathWithABlankIsRegisteredInItsShortForm)
{
    const std::string scratch = testenv::MakeScratchDir("kervo com");
    ASSERT_FALSE(scratch.empty());
    const std::wstring folder = WideFromAnsi(scratch) + L"\\server folder";
    const std::wstring path = folder + L"\\testcomserver.dll";
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    ASSERT_TRUE(CopyFileW(TestLibraryPath().c_str(), path.c_str(), FALSE));
    {
        ComLibrary lib(path);
        ASSERT_TRUE(lib.Complete());
        ASSERT_EQ(lib.registerServer(), S_OK);
        const std::wstring registered = ClassesValue(TestClassKey + L"\\InprocServer32");
        EXPECT_EQ(registered.find(L' '), std::wstring::npos) << AnsiFromWide(registered);
        wchar_t longPath[MAX_PATH] = {};
        ASSERT_NE(GetLongPathNameW(registered.c_str(), longPath, MAX_PATH), 0u);
        EXPECT_EQ(CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, longPath, -1, path.c_str(), -1),
                  CSTR_EQUAL);
        EXPECT_EQ(ClassesValue(TestClassKey + L"\\ProgID"), TestProgID);  // the file's name only
        EXPECT_EQ(lib.unregisterServer(), S_OK);
    }
    testenv::RemoveTree(scratch);
}

namespace {
class TPlainObject : public TComObject {};

// A factory whose registration the system refuses with a reason of its own.
class TDeniedFactory : public TComObjectFactory {
public:
    using TComObjectFactory::TComObjectFactory;
    void UpdateRegistration(bool) override { throw EOleSysError("denied", E_ACCESSDENIED); }
};
}  // namespace

// The program's own server, with a class whose keys cannot be written.
TEST_F(ComServerTest, ARefusedRegistryWriteFailsTheRegistration)
{
    const CLSID id = StringToGUID("{5F0C5C63-21E5-4E38-9F5C-3B0B6B3A4E11}");
    const std::wstring classKey = L"CLSID\\{5F0C5C63-21E5-4E38-9F5C-3B0B6B3A4E11}";
    // Its ProgID is longer than a registry key name may be (255 characters).
    auto* factory = new TComObjectFactory(ComServer(), &ComObjectCreator<TPlainObject>, id,
                                          std::wstring(300, L'x'), L"unwritable", ciMultiInstance,
                                          tmApartment);
    EXPECT_EQ(ComServer().FindFactory(id), factory);
    try {
        factory->UpdateRegistration(true);
        ADD_FAILURE() << "no error";
    } catch (const ERegistryException& e) {
        EXPECT_EQ(WideFromAnsi(e.Message()), L"システム レジストリ に書き込めません");
    }
    EXPECT_EQ(ClassesValue(classKey), L"unwritable");  // what was written before stays
    EXPECT_EQ(ComServer().RegisterServer(), E_FAIL);
    EXPECT_EQ(ComServer().UnregisterServer(), S_OK);
    EXPECT_FALSE(ClassesKeyExists(classKey));

    delete factory;  // leaves the server's list
    EXPECT_EQ(ComServer().FindFactory(id), nullptr);

    // Whatever the system's reason, the registration answers E_FAIL.
    auto* denied = new TDeniedFactory(ComServer(), &ComObjectCreator<TPlainObject>, id, L"Denied", L"denied",
                                      ciMultiInstance, tmApartment);
    EXPECT_EQ(ComServer().RegisterServer(), E_FAIL);
    EXPECT_EQ(ComServer().UnregisterServer(), E_FAIL);
    delete denied;
}

TEST(ComErrors, FailuresBecomeExceptionsAndExceptionsBecomeHResults)
{
    EXPECT_NO_THROW(OleCheck(S_FALSE));
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
