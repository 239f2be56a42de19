#pragma once
// Desk bands as COM classes: the class factories that register a band's class together with the
// shell's band category.
#include <windows.h>
#include <ole2.h>

#include <string>

#include "ComObj.h"

// The common base of the band factories; it adds nothing to the class library's factory.
class TzCustomBandObjectFactory : public TComObjectFactory {
public:
    using TComObjectFactory::TComObjectFactory;
};

// A factory whose class implements a component category: registration records the category
// after the class keys, unregistration removes it before them.
class TzCatBandObjectFactory : public TzCustomBandObjectFactory {
public:
    using TzCustomBandObjectFactory::TzCustomBandObjectFactory;

    // Register: the class keys, then the category. Unregister: the category and the class key's
    // "Implemented Categories" sub-key, then the class keys. A refused category registration
    // raises (the registration export then answers E_FAIL); on unregistration the category
    // calls may fail silently, since the class may never have been registered.
    void UpdateRegistration(bool doRegister) override;

    // The component category that the factory's class implements.
    virtual GUID GetBandCategory() = 0;
};

// The factory of a desk band: its class implements the desk-band category.
class TzDeskBandObjectFactory : public TzCatBandObjectFactory {
public:
    using TzCatBandObjectFactory::TzCatBandObjectFactory;

    GUID GetBandCategory() override;
};

// The desk-band category as the registry writes it.
inline constexpr char DeskBandCategoryText[] = "{00021492-0000-0000-C000-000000000046}";
