#pragma once
// Wide (UTF-16) text and hints for the class library's controls, and Unicode windows for its
// windowed controls.
//
// The class library keeps every control's text and hint as ANSI strings of the system code page,
// so a character that code page cannot hold is lost on the way through it. This unit gives every
// control a wide text and a wide hint that survive the ANSI path: a windowed control whose window
// is Unicode keeps its wide text in the window; any other control keeps it in a caption holder
// beside the control. The class library never learns of the wide copy; it keeps seeing the ANSI
// partner, and a change it makes to that partner behind this unit's back wins (the pairing rule).
//
// On systems that are not of the NT family (UnicodePlatform false) every routine takes the class
// library's ANSI path. Conversions here are those of the system ANSI code page (AnsiFromWide,
// WideFromAnsi): a character outside it becomes the code page's default character.
#include <windows.h>

#include <functional>
#include <string>

#include "Classes.h"
#include "Controls.h"

class TCustomComboBox;

// ---------------------------------------------------------------------------------------------
// Wide text and hints of any control

// The wide copy of one control's text and hint, for as long as the window (if any) cannot hold
// it. At most one per control; it frees itself when its control is freed.
class TWideCaptionHolder : public TComponent {
    KERVO_CLASS(TWideCaptionHolder, TComponent)
public:
    explicit TWideCaptionHolder(TControl* control);
    ~TWideCaptionHolder() override;

    // The control whose text and hint this holder carries; null once the control is gone.
    TControl* OwnerControl() const { return ownerControl_; }

    std::wstring WideText;
    std::wstring WideHint;

protected:
    void ComponentNotification(TComponent* component, TOperation operation) override;

private:
    TControl* ownerControl_;
};

// The control's holder; when it has none, a new one if create, else null.
TWideCaptionHolder* FindCaptionHolder(TControl* control, bool create);

// The pairing of a wide copy with the ANSI partner the class library sees: when the ANSI form of
// the wide copy no longer equals the ANSI string (the class library changed it), the wide copy
// first becomes the ANSI string converted. Answers the wide copy.
std::wstring GetPairedWideText(std::wstring& wideCopy, const std::string& ansi);
// Sets a paired text: nothing when it already reads as value; else the wide copy takes the value
// and the setter its ANSI form. A value whose ANSI form equals the current ANSI string but that
// does not survive the code page passes the setter the empty string first, so that the class
// library sees (and notifies) a change.
void SetPairedWideText(const std::wstring& value, std::wstring& wideCopy, const std::string& currentAnsi,
                       const std::function<void(const std::string&)>& ansiSetter);

// The control's text: the window's (wide) while a Unicode window exists, else the holder's
// paired with the class library's text.
std::wstring GetWideControlText(TControl* control);
// Sets the control's text; a windowed control with a window is told CM_TEXTCHANGED when its
// text really changes, and nothing happens when it already has the value.
void SetWideControlText(TControl* control, const std::wstring& value);
// The holder takes the value (made when missing), then the class library's text its ANSI form.
void StoreWideText(TControl* control, const std::wstring& value);
// The holder's text when the control has a holder, else defaultText.
std::wstring WideTextFromHolder(TControl* control, const std::wstring& defaultText);

// The control's hint, paired with the class library's hint field.
std::wstring GetWideControlHint(TControl* control);
// Writes the hint field directly (no notification) and the holder's wide hint.
void SetWideControlHint(TControl* control, const std::wstring& value);
// The first non-empty hint of the control and its parents; empty for null.
std::wstring GetEffectiveWideHint(TControl* control);
// The parts of a hint "short|long": before and after the first bar; without a bar, the whole
// hint for both.
std::wstring WideShortHintPart(const std::wstring& hint);
std::wstring WideLongHintPart(const std::wstring& hint);
// Whether a wide Hint property is written to form resources: not while an action supplies it.
bool IsWideHintStored(TControl* control);

// A list control that adds an item with wide text.
struct IWideAddItem {
    static constexpr GUID Iid = {0xC1801F41, 0x51E9, 0x4DB5, {0x8D, 0xB8, 0x58, 0xAC, 0x86, 0x69, 0x8C, 0x2E}};
    virtual void AddWideItem(const std::wstring& text, void* object) = 0;

protected:
    ~IWideAddItem() = default;
};

// Adds a wide item: through IWideAddItem when the list control answers it, else in ANSI form
// through the class library's AddItem.
void AddWideItemTo(TCustomComboBox* listControl, const std::wstring& text, void* object);
