#pragma once
// The band form: the base of every form that a desk band shows inside the shell's band site. It
// is a form of the class library, read from its own form resource, and adds what the band object
// asks of it: mode flags, sizing step, the popup menu merged into the shell's band menu, and four
// size answers taken from its properties or from events.
#include <windows.h>

#include <cstdint>

#include "Forms.h"

class TzCustomBandObject;
class TPopupMenu;

enum TzBandModeFlag { bmfVariableHeight, bmfDebossed, bmfBkColor };
using TzBandModeFlags = TSmallSet<TzBandModeFlag>;

using TzGetPointLEvent = TEvent<POINTL(TObject* sender)>;

class TzBandForm : public TForm {
    KERVO_CLASS(TzBandForm, TForm)
public:
    // The form resource of the concrete class is read, then the band defaults are forced on
    // whatever it stored: mode flags [bmfVariableHeight], sizing step 1 by 1, no border, no
    // border icons, normal style, designed position, hidden.
    explicit TzBandForm(TComponent* owner);
    // While a band form lives, the library answers that it cannot be unloaded. A band form whose
    // window is destroyed from outside (with the site's window) frees itself.
    ~TzBandForm() override;

    // A band's form as a child of the site's window: no owner, resource and forced defaults,
    // the band object, a client area one pixel larger each way than the parent's, then OnCreate.
    template <class T>
    static T* CreateForBand(HWND parentWindow, TzCustomBandObject* bandObject)
    {
        return FinishConstruction(new T(nullptr),
                                  [&](T* form) { form->PrepareForBand(parentWindow, bandObject); });
    }

    void DestructionStarting() override;

    TzCustomBandObject* BandObject() const { return bandObject_; }
    TzBandModeFlags BandModeFlags() const { return bandModeFlags_; }
    void SetBandModeFlags(TzBandModeFlags value) { bandModeFlags_ = value; }
    uint16_t BandIntegralX() const { return bandIntegralX_; }
    void SetBandIntegralX(uint16_t value) { bandIntegralX_ = value; }
    uint16_t BandIntegralY() const { return bandIntegralY_; }
    void SetBandIntegralY(uint16_t value) { bandIntegralY_ = value; }
    TPopupMenu* BandContextMenu() const { return bandContextMenu_; }
    // Follows the menu: when it is freed, the form holds none.
    void SetBandContextMenu(TPopupMenu* menu);

    // The size answers: the event's result when it is assigned, else the form's own values.
    POINTL GetMinSize();     // (Constraints.MinWidth, Constraints.MinHeight)
    POINTL GetMaxSize();     // (Constraints.MaxWidth, Constraints.MaxHeight), 0 as -1 (no limit)
    POINTL GetIntegral();    // (BandIntegralX, BandIntegralY)
    POINTL GetActualSize();  // (ClientWidth, ClientHeight)

    TzGetPointLEvent OnBandGetMinSize;
    TzGetPointLEvent OnBandGetMaxSize;
    TzGetPointLEvent OnBandGetIntegral;
    TzGetPointLEvent OnBandGetActualSize;

protected:
    void AfterLoad() override;
    void ComponentNotification(TComponent* component, TOperation operation) override;
    void HandleWindowMessage(TMessage& message) override;

private:
    friend class TzCustomBandObject;

    void PrepareForBand(HWND parentWindow, TzCustomBandObject* bandObject);
    // A client area one pixel larger each way than the parent window's.
    void SizeToParentWindow();
    void ApplyBandDefaults();
    void SetVisibleUnlessLoading(bool value);

    TzCustomBandObject* bandObject_ = nullptr;
    TzBandModeFlags bandModeFlags_{bmfVariableHeight};
    TPopupMenu* bandContextMenu_ = nullptr;
    uint16_t bandIntegralX_ = 1;
    uint16_t bandIntegralY_ = 1;
};
