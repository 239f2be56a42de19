#pragma once
// In-process COM servers: the object base TComObject, its class factory TComObjectFactory and the
// module's server object ComServer(), whose answers a COM library's four exports hand on (each
// library writes its exports beside its DllMain, one call each).
//
// A COM object class derives from TComObject and from the interfaces it serves:
//
//     class TThing : public TComObject, public IPersist {
//     public:
//         KERVO_COM_IUNKNOWN
//         HRESULT InnerQueryInterface(REFIID iid, void** out) override
//         {
//             if (IsEqualIID(iid, IID_IPersist)) return Answer<IPersist>(this, out);
//             return TComObject::InnerQueryInterface(iid, out);
//         }
//         HRESULT STDMETHODCALLTYPE GetClassID(CLSID* id) override { ... }
//     };
//     new TComObjectFactory(ComServer(), &ComObjectCreator<TThing>, CLSID_Thing, L"Thing",
//                           L"description", ciMultiInstance, tmApartment);
//
// Objects are made only by their factory: the constructor runs first, then ConstructionDone with
// the factory and the outer object known. The last Release runs DestructionStarting while the
// whole object is still alive, then destroys it. Nothing raised inside leaves a COM method: every
// method answers an HRESULT.
#include <windows.h>
#include <ole2.h>

#include <exception>
#include <string>
#include <vector>

#include "SysUtils.h"

// A failed COM call; ErrorCode is its HRESULT.
class EOleError : public Exception {
public:
    using Exception::Exception;
};

class EOleSysError : public EOleError {
public:
    EOleSysError(const std::string& message, HRESULT code) : EOleError(message), code_(code) {}
    HRESULT ErrorCode() const { return code_; }

private:
    HRESULT code_;
};

// Raises EOleSysError with the system's text for a failure code; success codes pass.
void OleCheck(HRESULT result);

// The HRESULT that a COM method answers for an exception it caught: the code of an
// EOleSysError, E_OUTOFMEMORY for a failed allocation, E_FAIL for anything else.
HRESULT HResultFromException(std::exception_ptr error) noexcept;

enum TClassInstancing { ciInternal, ciSingleInstance, ciMultiInstance };
enum TThreadingModel { tmSingle, tmApartment, tmFree, tmBoth, tmNeutral };

class TComObjectFactory;
class TComServer;

class TComObject : public ISupportErrorInfo {
public:
    TComObject(const TComObject&) = delete;
    TComObject& operator=(const TComObject&) = delete;

    // IUnknown of every interface of the object: passed to the outer object when the object is
    // aggregated, else the object's own.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // ISupportErrorInfo: S_OK for the interfaces the object answers, else S_FALSE.
    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID iid) override;

    // The object's own interface query, never passed to an outer object. A derived class answers
    // its interfaces (with Answer) and passes the rest to its base. out is never null here; on a
    // miss it must be left null with E_NOINTERFACE. IUnknown is the object's inner IUnknown.
    virtual HRESULT InnerQueryInterface(REFIID iid, void** out);
    ULONG InnerAddRef();
    ULONG InnerRelease();
    // The IUnknown that governs the object's life: what an aggregating outer object holds.
    IUnknown* InnerUnknown() { return &inner_; }

    TComObjectFactory* Factory() const { return factory_; }
    IUnknown* Controller() const { return controller_; }  // the outer object, or null
    LONG RefCount() const { return refCount_; }

protected:
    TComObject();
    virtual ~TComObject();

    // After the factory made the object (factory and outer object set), before it is handed out.
    // An exception here fails the creation; the object is then destroyed without
    // DestructionStarting.
    virtual void ConstructionDone() {}
    // At the last Release, while the whole object is alive. An exception here is swallowed and
    // the object is destroyed all the same.
    virtual void DestructionStarting() {}

    // Hands out iface for a query: counts a reference through it (the outer object's, when
    // aggregated) and stores it.
    template <class Interface>
    static HRESULT Answer(Interface* iface, void** out)
    {
        iface->AddRef();
        *out = iface;
        return S_OK;
    }

private:
    friend class TComObjectFactory;

    // The non-passing IUnknown handed to an aggregating outer object.
    struct Inner : IUnknown {
        TComObject* self;
        explicit Inner(TComObject* s) : self(s) {}
        HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
        ULONG STDMETHODCALLTYPE AddRef() override;
        ULONG STDMETHODCALLTYPE Release() override;
    };

    Inner inner_;
    LONG refCount_ = 0;
    TComObjectFactory* factory_ = nullptr;
    IUnknown* controller_ = nullptr;
    TComServer* server_;
};

// In a class that adds interfaces to TComObject: their IUnknown methods are the object's.
#define KERVO_COM_IUNKNOWN                                                                      \
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override                   \
    {                                                                                           \
        return TComObject::QueryInterface(iid, out);                                            \
    }                                                                                           \
    ULONG STDMETHODCALLTYPE AddRef() override { return TComObject::AddRef(); }                  \
    ULONG STDMETHODCALLTYPE Release() override { return TComObject::Release(); }

using TComObjectCreator = TComObject* (*)();

template <class T>
TComObject* ComObjectCreator()
{
    return new T;
}

// One COM class of the server. Made with new; it joins the server's list, which owns it and frees
// it when the module goes. Its references are counted for the server, never freeing it.
class TComObjectFactory : public IClassFactory {
public:
    TComObjectFactory(TComServer& server, TComObjectCreator creator, const CLSID& classID,
                      const std::wstring& className, const std::wstring& description,
                      TClassInstancing instancing, TThreadingModel threadingModel = tmSingle);
    virtual ~TComObjectFactory();
    TComObjectFactory(const TComObjectFactory&) = delete;
    TComObjectFactory& operator=(const TComObjectFactory&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    // An outer object may only ask for IUnknown (else CLASS_E_NOAGGREGATION).
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override;
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;

    // A new object with no reference yet, ConstructionDone run. Raises what creation raises.
    virtual TComObject* CreateComObject(IUnknown* controller);

    // Writes (true) or deletes (false) the class's keys under HKEY_CLASSES_ROOT:
    //   CLSID\{clsid}                  = description
    //   CLSID\{clsid}\InprocServer32   = server path (its short form when it holds a blank),
    //                                    ThreadingModel = "Apartment"/"Free"/"Both"/"Neutral"
    //   ProgID                         = description
    //   ProgID\Clsid                   = {clsid}
    //   CLSID\{clsid}\ProgID           = ProgID
    // A refused write raises ERegistryException "システム レジストリ に書き込めません"; what was
    // written stays. Deleting ignores failures, and a key that still has sub-keys stays.
    virtual void UpdateRegistration(bool doRegister);

    TComServer& Server() const { return server_; }
    const CLSID& ClassID() const { return classID_; }
    const std::wstring& ClassName() const { return className_; }
    const std::wstring& Description() const { return description_; }
    // The server module's file name without folder and extension, ".", the class name; empty
    // when the class has no name.
    std::wstring ProgID() const;
    TClassInstancing Instancing() const { return instancing_; }
    TThreadingModel ThreadingModel() const { return threadingModel_; }

private:
    TComServer& server_;
    TComObjectCreator creator_;
    CLSID classID_;
    std::wstring className_;
    std::wstring description_;
    TClassInstancing instancing_;
    TThreadingModel threadingModel_;
};

// The module's COM server: its factories and the counts that decide whether it may be unloaded.
class TComServer {
public:
    TComServer();
    ~TComServer();  // frees the factories
    TComServer(const TComServer&) = delete;
    TComServer& operator=(const TComServer&) = delete;

    HINSTANCE HInstance() const { return instance_; }
    std::wstring ServerFileName() const;

    LONG ObjectCount() const { return objects_; }
    LONG FactoryRefCount() const { return factoryRefs_; }
    LONG LockCount() const { return locks_; }

    // Something outside COM that needs the library (live forms of the shell's windows): while
    // the query answers true, CanUnloadNow answers S_FALSE. Returns the previous query.
    using THoldQuery = bool (*)();
    THoldQuery SetHoldQuery(THoldQuery query);

    TComObjectFactory* FindFactory(const CLSID& classID) const;
    const std::vector<TComObjectFactory*>& Factories() const { return factories_; }

    // The exports' answers; none raises.
    HRESULT GetClassObject(REFCLSID classID, REFIID iid, void** out) noexcept;
    HRESULT CanUnloadNow() noexcept;
    // Every factory's UpdateRegistration; E_FAIL on an exception (registering stops at the first,
    // unregistering goes on with the other factories).
    HRESULT RegisterServer() noexcept;
    HRESULT UnregisterServer() noexcept;

private:
    friend class TComObject;
    friend class TComObjectFactory;

    HINSTANCE instance_;
    std::vector<TComObjectFactory*> factories_;
    LONG objects_ = 0;
    LONG factoryRefs_ = 0;
    LONG locks_ = 0;
    THoldQuery holdQuery_ = nullptr;
};

// The server of the module (library or program) that holds this code.
TComServer& ComServer() noexcept;
