// A small COM library for the tests of the COM server classes: two classes, the four COM exports
// of the tests (ComServerExports.cpp) and three exports that let a test watch and steer it.
#include <windows.h>

#include <string>

#include "ComObj.h"
#include "TestComServer.h"

namespace {

TestObserver observer = nullptr;
bool holdLibrary = false;

void Tell(const std::string& event)
{
    if (observer) observer(event.c_str());
}

class TTestObject : public TComObject, public IPersist {
public:
    KERVO_COM_IUNKNOWN

    HRESULT InnerQueryInterface(REFIID iid, void** out) override
    {
        if (IsEqualIID(iid, IID_IPersist)) return Answer<IPersist>(this, out);
        return TComObject::InnerQueryInterface(iid, out);
    }

    HRESULT STDMETHODCALLTYPE GetClassID(CLSID* id) override
    {
        if (!id) return E_POINTER;
        *id = Factory()->ClassID();
        return S_OK;
    }

protected:
    void ConstructionDone() override
    {
        TComObject::ConstructionDone();
        // A reference taken and given back while the object is being made must not end it.
        AddRef();
        Release();
        state_ = Factory() ? "whole" : "no-factory";
        Tell("constructed");
    }

    void DestructionStarting() override
    {
        // Also a reference taken and given back while the object goes.
        AddRef();
        Release();
        Tell("destruction-starting " + state_ + " objects=" + std::to_string(ComServer().ObjectCount()));
        TComObject::DestructionStarting();
    }

    ~TTestObject() override { Tell("destroyed"); }

private:
    std::string state_ = "unset";
};

class TRefusingObject : public TComObject {
protected:
    void ConstructionDone() override { OleCheck(RefusingObjectError); }
    void DestructionStarting() override { Tell("refusing-destruction-starting"); }
    ~TRefusingObject() override { Tell("refusing-destroyed"); }
};

bool HoldQuery() { return holdLibrary; }

// Library start-up: the factories join the module's server, which frees them at unload.
struct StartUp {
    StartUp()
    {
        try {
            new TComObjectFactory(ComServer(), &ComObjectCreator<TTestObject>, CLSID_KervoTestObject,
                                  KervoTestObjectName, KervoTestObjectDescription, ciMultiInstance,
                                  tmApartment);
            new TComObjectFactory(ComServer(), &ComObjectCreator<TRefusingObject>,
                                  CLSID_KervoRefusingObject, KervoRefusingObjectName, L"Refusing",
                                  ciMultiInstance, tmBoth);
            ComServer().SetHoldQuery(&HoldQuery);
        } catch (...) {
        }
    }
} startUp;

}  // namespace

extern "C" void WINAPI TestSetObserver(TestObserver o)
{
    observer = o;
}

extern "C" LONG WINAPI TestObjectCount()
{
    return ComServer().ObjectCount();
}

extern "C" void WINAPI TestHoldLibrary(BOOL hold)
{
    holdLibrary = hold != FALSE;
}
