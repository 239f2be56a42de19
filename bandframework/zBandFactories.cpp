#include "zBandObject.h"

#include <comcat.h>

#include "GuidText.h"
#include "SysUtils.h"

namespace {

// A COM reference released when the scope ends, also on the way out of an exception.
template <class I>
class TComRef {
public:
    TComRef() = default;
    ~TComRef() { Reset(); }
    TComRef(const TComRef&) = delete;
    TComRef& operator=(const TComRef&) = delete;
    I* operator->() const { return p_; }
    I* Get() const { return p_; }
    void** Out() { return reinterpret_cast<void**>(&p_); }
    void Reset()
    {
        if (I* p = p_) {
            p_ = nullptr;
            p->Release();
        }
    }

private:
    I* p_ = nullptr;
};

// COM on the calling thread for the length of a registration step. Only a successful
// initialisation is balanced: a thread already in another apartment model keeps it untouched.
class TComInitialised {
public:
    TComInitialised() : result_(CoInitialize(nullptr)) {}
    ~TComInitialised()
    {
        if (SUCCEEDED(result_)) CoUninitialize();
    }
    TComInitialised(const TComInitialised&) = delete;
    TComInitialised& operator=(const TComInitialised&) = delete;

private:
    HRESULT result_;
};

}  // namespace

// ---------------------------------------------------------------------------------------------
// Factories


void TzCatBandObjectFactory::UpdateRegistration(bool doRegister)
{
    if (doRegister) TComObjectFactory::UpdateRegistration(true);
    {
        GUID category = GetBandCategory();
        // Declared after the initialisation so that they are released before COM goes.
        TComInitialised com;
        TComRef<IUnknown> manager;
        TComRef<ICatRegister> categories;
        OleCheck(CoCreateInstance(CLSID_StdComponentCategoriesMgr, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_IUnknown, manager.Out()));
        OleCheck(manager->QueryInterface(IID_ICatRegister, categories.Out()));
        if (doRegister) {
            // A class registered without its category would never be offered as a band while
            // the registration reported success.
            OleCheck(categories->RegisterClassImplCategories(ClassID(), 1, &category));
        } else {
            categories->UnRegisterClassImplCategories(ClassID(), 1, &category);
            const std::string key = "CLSID\\" + GUIDToString(ClassID()) + "\\Implemented Categories";
            RegDeleteKeyA(HKEY_CLASSES_ROOT, key.c_str());
        }
    }
    if (!doRegister) TComObjectFactory::UpdateRegistration(false);
}

GUID TzDeskBandObjectFactory::GetBandCategory()
{
    return StringToGUID(DeskBandCategoryText);
}
