// A small band library for the tests of the band class factories: a desk band class and a class
// of a category the tests choose, served through the four COM exports of ComServerExports.cpp.
#include <windows.h>

#include <string>

#include "GuidText.h"
#include "TestBandServer.h"
#include "zBandObject.h"

namespace {

std::string categoryText = KervoTestCategoryText;

class TTestBandObject : public TComObject {};

class TTestCatFactory : public TzCatBandObjectFactory {
public:
    using TzCatBandObjectFactory::TzCatBandObjectFactory;
    GUID GetBandCategory() override { return StringToGUID(categoryText); }
};

struct StartUp {
    StartUp()
    {
        try {
            new TzDeskBandObjectFactory(ComServer(), &ComObjectCreator<TTestBandObject>, CLSID_KervoTestBand,
                                        KervoTestBandName, KervoTestBandDescription, ciMultiInstance,
                                        tmApartment);
            new TTestCatFactory(ComServer(), &ComObjectCreator<TTestBandObject>, CLSID_KervoTestCatClass,
                                KervoTestCatClassName, L"Category class", ciMultiInstance, tmApartment);
        } catch (...) {
        }
    }
} startUp;

}  // namespace

extern "C" void WINAPI TestSetCategory(const char* text)
{
    try {
        categoryText = text ? text : KervoTestCategoryText;
    } catch (...) {
    }
}
