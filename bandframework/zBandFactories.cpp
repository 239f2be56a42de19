#include "zBandObject.h"

#include <comcat.h>

#include "ComRef.h"
#include "GuidText.h"
#include "SysUtils.h"

namespace {

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
