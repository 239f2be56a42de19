#include "zBandForms.h"

#include <atomic>
#include <limits>

#include "ComObj.h"
#include "Menus.h"
#include "zBandObject.h"

namespace {

// A band form's window calls into this library until the form is freed, which a closed form does
// from a message posted to itself: the shell must not unload the library before that. Forms come
// and go on their bands' threads; DllCanUnloadNow reads the count on any (Threading.h).
std::atomic<int> liveBandForms{0};
TComServer::THoldQuery previousHoldQuery = nullptr;

bool BandFormsHoldLibrary()
{
    return liveBandForms.load() > 0 || (previousHoldQuery && previousHoldQuery());
}

// Installed while the library loads, before any other thread can ask.
const bool holdQueryInstalled = (previousHoldQuery = ComServer().SetHoldQuery(&BandFormsHoldLibrary), true);

// The client size a band form takes from its parent: one pixel more than the parent's extent.
int ExtentPlusOne(LONG low, LONG high)
{
    const long long n = static_cast<long long>(high) - low + 1;
    if (n > std::numeric_limits<int>::max() || n < std::numeric_limits<int>::min())
        throw EIntOverflow(std::wstring(L"整数オーバーフロー"));
    return static_cast<int>(n);
}

}  // namespace

KERVO_CLASS_RECORD(TzBandForm)
{
    b.Set("BandModeFlags", &TzBandForm::BandModeFlags, &TzBandForm::SetBandModeFlags,
          {"bmfVariableHeight", "bmfDebossed", "bmfBkColor"})
        .Default(TzBandModeFlags{bmfVariableHeight});
    b.Integer("BandIntegralX", &TzBandForm::BandIntegralX, &TzBandForm::SetBandIntegralX).Default(1);
    b.Integer("BandIntegralY", &TzBandForm::BandIntegralY, &TzBandForm::SetBandIntegralY).Default(1);
    b.Object("BandContextMenu", &TzBandForm::BandContextMenu, &TzBandForm::SetBandContextMenu);
    b.Event("OnBandGetMinSize", &TzBandForm::OnBandGetMinSize);
    b.Event("OnBandGetMaxSize", &TzBandForm::OnBandGetMaxSize);
    b.Event("OnBandGetIntegral", &TzBandForm::OnBandGetIntegral);
    b.Event("OnBandGetActualSize", &TzBandForm::OnBandGetActualSize);
    // Redeclared with the band's defaults, which decide what a form resource stores.
    b.Set("BorderIcons", &TzBandForm::BorderIcons, &TzBandForm::SetBorderIcons,
          {"biSystemMenu", "biMinimize", "biMaximize", "biHelp"})
        .Default(TBorderIcons{});
    b.Enum("BorderStyle", &TzBandForm::BorderStyle, &TzBandForm::SetBorderStyle,
           {"bsNone", "bsSingle", "bsSizeable", "bsDialog", "bsToolWindow", "bsSizeToolWin"})
        .Default(TFormBorderStyle::bsNone);
    // A band form stays hidden until the shell shows it: a stored Visible = True would show it
    // (and run OnShow and OnHide) while it is read, before OnCreate.
    b.Boolean("Visible", &TzBandForm::Visible, &TzBandForm::SetVisibleUnlessLoading).Default(false);
}

TzBandForm::TzBandForm(TComponent* owner) : TForm(owner)
{
    ++liveBandForms;
}

TzBandForm::~TzBandForm()
{
    --liveBandForms;
}

void TzBandForm::AfterLoad()
{
    // After each form resource of the class chain is read, whatever it stored: a band form is a
    // borderless, hidden child of the site, its client size the site's and not the stored one.
    // Before the form's own AfterLoad, which makes the windows of a form with a parent window:
    // so they are made once, as they end up. Forced only after the read, the border icons and
    // the border style would each make the whole window tree anew (the combo box with its edit
    // and list the dearest part of it), and the stored size would move it once more.
    ApplyBandDefaults();
    if (ParentWindow()) {
        ApplyStoredClientSize();
        SizeToParentWindow();
    }
    TForm::AfterLoad();
}

void TzBandForm::SetVisibleUnlessLoading(bool value)
{
    if (!IsLoading()) SetVisible(value);
}

void TzBandForm::ApplyBandDefaults()
{
    bandModeFlags_ = TzBandModeFlags{bmfVariableHeight};
    bandIntegralX_ = 1;
    bandIntegralY_ = 1;
    SetBorderIcons(TBorderIcons{});
    SetBorderStyle(TFormBorderStyle::bsNone);
    SetBorderWidth(0);
    SetFormStyle(TFormStyle::fsNormal);
    SetPosition(TPosition::poDesigned);
    // Hidden as a form even where its window is on view: OnShow and OnHide follow the shell's.
    SetVisible(false);
}

void TzBandForm::PrepareForBand(HWND parentWindow, TzCustomBandObject* bandObject)
{
    SetParentWindow(parentWindow);
    InitializeForm();
    bandObject_ = bandObject;
}

void TzBandForm::SizeToParentWindow()
{
    RECT r{0, 0, 0, 0};
    GetClientRect(ParentWindow(), &r);
    SetClientWidth(ExtentPlusOne(r.left, r.right));
    SetClientHeight(ExtentPlusOne(r.top, r.bottom));
}

void TzBandForm::DestructionStarting()
{
    // No mouse or key events reach handlers while the form is taken apart.
    TControlStyle style = ControlStyle();
    style.Include(TControlStyleFlag::csNoStdEvents);
    SetControlStyle(style);
    // The form goes whoever frees it (its close action on a WM_CLOSE from any process, say):
    // its band object must not keep a pointer to it.
    if (TzCustomBandObject* object = bandObject_) {
        bandObject_ = nullptr;
        object->BandFormGone(this);
    }
    TForm::DestructionStarting();
}

void TzBandForm::HandleWindowMessage(TMessage& message)
{
    if (message.Msg != WM_NCDESTROY) {
        TForm::HandleWindowMessage(message);
        return;
    }
    // The shell may destroy the site's window, and this child with it, while the band object
    // lives (its taskbar rebuilt, or the shell ending before it closes its bands): made anew, the
    // window would have no parent to live on. And a release that a close posted dies with the
    // window, so the form would never be freed and would hold the library for good. A form whose
    // window went by anything but the library's own hand is freed with it; its band object then
    // answers as without a form. The form must not be touched after this.
    const bool destroyedFromOutside = !DestroyingOwnWindow();
    TForm::HandleWindowMessage(message);
    if (destroyedFromOutside && !IsDestroying()) Free();
}

void TzBandForm::SetBandContextMenu(TPopupMenu* menu)
{
    bandContextMenu_ = menu;
    if (menu) menu->FreeNotification(this);
}

void TzBandForm::ComponentNotification(TComponent* component, TOperation operation)
{
    TForm::ComponentNotification(component, operation);
    if (operation == TOperation::Removal && component == bandContextMenu_) bandContextMenu_ = nullptr;
}

POINTL TzBandForm::GetMinSize()
{
    if (OnBandGetMinSize) return OnBandGetMinSize(this);
    return POINTL{Constraints()->MinWidth(), Constraints()->MinHeight()};
}

POINTL TzBandForm::GetMaxSize()
{
    if (OnBandGetMaxSize) return OnBandGetMaxSize(this);
    const int w = Constraints()->MaxWidth();
    const int h = Constraints()->MaxHeight();
    return POINTL{w == 0 ? -1 : w, h == 0 ? -1 : h};
}

POINTL TzBandForm::GetIntegral()
{
    if (OnBandGetIntegral) return OnBandGetIntegral(this);
    return POINTL{bandIntegralX_, bandIntegralY_};
}

POINTL TzBandForm::GetActualSize()
{
    if (OnBandGetActualSize) return OnBandGetActualSize(this);
    return POINTL{ClientWidth(), ClientHeight()};
}
