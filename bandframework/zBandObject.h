#pragma once
// Desk bands as COM classes. The band object answers the shell's desk-band, site, input-object,
// persistence and context-menu interfaces for any band, taking its window, sizes, title, mode
// flags, colour and menu from a band form (zBandForms.h) that a concrete band creates in
// CreateBandForm. The class factories register a band's class together with the shell's band
// category.
//
// Each interface entry point only adjusts to the object, forwards to the virtual operation of
// the same name and turns an exception into an HRESULT; a concrete band changes an interface
// method by overriding the operation. No exception reaches the shell.
#include <windows.h>
#include <ole2.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <string>

#include "ComObj.h"
#include "ComRef.h"

class TzBandForm;
class TMenuItem;

// ---------------------------------------------------------------------------------------------
// Band objects

class TzCustomBandObject : public TComObject {
public:
    HRESULT InnerQueryInterface(REFIID iid, void** out) override;

    // The state the shell last gave and what the object holds (for descendants and tests).
    DWORD BandID() const { return bandID_; }
    DWORD ViewMode() const { return viewMode_; }
    IInputObjectSite* Site() const { return site_.Get(); }
    IOleCommandTarget* CommandTarget() const { return commandTarget_.Get(); }
    TzBandForm* BandForm() const { return bandForm_; }

    // The band's form, made with TzBandForm::CreateForBand on the site's window.
    virtual TzBandForm* CreateBandForm(HWND parentWindow) = 0;

    // IDeskBand
    virtual HRESULT GetBandInfo(DWORD bandID, DWORD viewMode, DESKBANDINFO* info);
    // IDockingWindow
    virtual HRESULT ShowDW(BOOL show);
    virtual HRESULT CloseDW(DWORD reserved);
    virtual HRESULT ResizeBorderDW(LPCRECT border, IUnknown* toolbarSite, BOOL reserved);
    // IOleWindow
    virtual HRESULT GetWindow(HWND* window);
    virtual HRESULT ContextSensitiveHelp(BOOL enterMode);
    // IObjectWithSite
    virtual HRESULT SetSite(IUnknown* site);
    virtual HRESULT GetSite(REFIID iid, void** site);
    // IPersistStream, IPersist
    virtual HRESULT IsDirty();
    virtual HRESULT Load(IStream* stream);
    virtual HRESULT Save(IStream* stream, BOOL clearDirty);
    virtual HRESULT GetSizeMax(ULARGE_INTEGER* size);
    virtual HRESULT GetClassID(CLSID* classID);
    // IInputObject
    virtual HRESULT UIActivateIO(BOOL activate, MSG* msg);
    virtual HRESULT HasFocusIO();
    virtual HRESULT TranslateAcceleratorIO(MSG* msg);

protected:
    TzCustomBandObject();
    ~TzCustomBandObject() override;

    void ConstructionDone() override;
    // Lets go of the site and frees a form still present.
    void DestructionStarting() override;

    // Runs an interface method's operation; what it raises becomes the answer.
    template <class F>
    static HRESULT Guarded(F&& operation) noexcept
    {
        try {
            return operation();
        } catch (...) {
            return HResultFromException(std::current_exception());
        }
    }

private:
    friend class TzBandForm;

    void ReleaseSite();
    // Told by the form as it goes (closed by anyone, or freed with its window): the object then
    // answers as without a form.
    void BandFormGone(TzBandForm* form);
    // Lets go of the form without freeing it: the form no longer reports to this object.
    TzBandForm* TakeBandForm();

    // The interface entry points, each a small table over the object.
    struct DeskBandEntry : IDeskBand {
        TzCustomBandObject& self;
        explicit DeskBandEntry(TzCustomBandObject& s) : self(s) {}
        HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
        ULONG STDMETHODCALLTYPE AddRef() override;
        ULONG STDMETHODCALLTYPE Release() override;
        HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override;
        HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL enterMode) override;
        HRESULT STDMETHODCALLTYPE ShowDW(BOOL show) override;
        HRESULT STDMETHODCALLTYPE CloseDW(DWORD reserved) override;
        HRESULT STDMETHODCALLTYPE ResizeBorderDW(LPCRECT border, IUnknown* site, BOOL reserved) override;
        HRESULT STDMETHODCALLTYPE GetBandInfo(DWORD bandID, DWORD viewMode, DESKBANDINFO* info) override;
    };
    struct ObjectWithSiteEntry : IObjectWithSite {
        TzCustomBandObject& self;
        explicit ObjectWithSiteEntry(TzCustomBandObject& s) : self(s) {}
        HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
        ULONG STDMETHODCALLTYPE AddRef() override;
        ULONG STDMETHODCALLTYPE Release() override;
        HRESULT STDMETHODCALLTYPE SetSite(IUnknown* site) override;
        HRESULT STDMETHODCALLTYPE GetSite(REFIID iid, void** site) override;
    };
    struct InputObjectEntry : IInputObject {
        TzCustomBandObject& self;
        explicit InputObjectEntry(TzCustomBandObject& s) : self(s) {}
        HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
        ULONG STDMETHODCALLTYPE AddRef() override;
        ULONG STDMETHODCALLTYPE Release() override;
        HRESULT STDMETHODCALLTYPE UIActivateIO(BOOL activate, MSG* msg) override;
        HRESULT STDMETHODCALLTYPE HasFocusIO() override;
        HRESULT STDMETHODCALLTYPE TranslateAcceleratorIO(MSG* msg) override;
    };
    struct PersistStreamEntry : IPersistStream {
        TzCustomBandObject& self;
        explicit PersistStreamEntry(TzCustomBandObject& s) : self(s) {}
        HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
        ULONG STDMETHODCALLTYPE AddRef() override;
        ULONG STDMETHODCALLTYPE Release() override;
        HRESULT STDMETHODCALLTYPE GetClassID(CLSID* classID) override;
        HRESULT STDMETHODCALLTYPE IsDirty() override;
        HRESULT STDMETHODCALLTYPE Load(IStream* stream) override;
        HRESULT STDMETHODCALLTYPE Save(IStream* stream, BOOL clearDirty) override;
        HRESULT STDMETHODCALLTYPE GetSizeMax(ULARGE_INTEGER* size) override;
    };

    DWORD bandID_ = 0;
    DWORD viewMode_ = 0;
    TComRef<IInputObjectSite> site_;
    TComRef<IOleCommandTarget> commandTarget_;
    TzBandForm* bandForm_ = nullptr;

    DeskBandEntry deskBand_{*this};
    ObjectWithSiteEntry objectWithSite_{*this};
    InputObjectEntry inputObject_{*this};
    PersistStreamEntry persistStream_{*this};
};

// The context menu's answers: a success that carries a count of command identifiers.
constexpr HRESULT MakeBandResult(ULONG severity, ULONG facility, ULONG code)
{
    return MAKE_HRESULT(severity, facility, code);
}

// A band object whose form's BandContextMenu is merged into the shell's context menu of the band.
class TzContextMenuBandObject : public TzCustomBandObject {
public:
    HRESULT InnerQueryInterface(REFIID iid, void** out) override;

    // IContextMenu
    virtual HRESULT QueryContextMenu(HMENU menu, UINT indexMenu, UINT idCmdFirst, UINT idCmdLast, UINT flags);
    virtual HRESULT InvokeCommand(CMINVOKECOMMANDINFO* info);
    virtual HRESULT GetCommandString(UINT_PTR idCmd, UINT type, UINT* reserved, LPSTR name, UINT cchMax);

    // Appends one item to the shell's menu as a native item numbered idCmdFirst + its command
    // number. False when the item is invisible or the insert failed.
    static bool AppendBandMenuItem(TMenuItem* item, HMENU menu, UINT idCmdFirst, bool rightToLeft);
    // The item's text in a menu, as its own menus show it (TMenuItem::MenuText).
    static std::string MenuItemCaptionText(TMenuItem* item);

private:
    struct ContextMenuEntry : IContextMenu {
        TzContextMenuBandObject& self;
        explicit ContextMenuEntry(TzContextMenuBandObject& s) : self(s) {}
        HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
        ULONG STDMETHODCALLTYPE AddRef() override;
        ULONG STDMETHODCALLTYPE Release() override;
        HRESULT STDMETHODCALLTYPE QueryContextMenu(HMENU menu, UINT indexMenu, UINT idCmdFirst, UINT idCmdLast,
                                                   UINT flags) override;
        HRESULT STDMETHODCALLTYPE InvokeCommand(CMINVOKECOMMANDINFO* info) override;
        HRESULT STDMETHODCALLTYPE GetCommandString(UINT_PTR idCmd, UINT type, UINT* reserved, LPSTR name,
                                                   UINT cchMax) override;
    };

    ContextMenuEntry contextMenu_{*this};
};

// The class from which a concrete desk band derives.
class TzDeskBandObject : public TzContextMenuBandObject {};

// ---------------------------------------------------------------------------------------------
// Class factories

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
    // raises (the registration export then answers the refusal's HRESULT); on unregistration the category
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
