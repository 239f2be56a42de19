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

// ---------------------------------------------------------------------------------------------
// Unicode windows for windowed controls
//
// The class library creates its windows with the ANSI functions, so Windows hands them text and
// characters in the ANSI code page. A control whose window-handle creation calls
// CreateUnicodeWindow gets a Unicode window (IsWindowUnicode true) while its message handling
// stays the class library's:
//
//     class TMyWideControl : public TWinControl {
//     protected:
//         void AdjustCreateParams(TCreateParams& params) override
//         {
//             TWinControl::AdjustCreateParams(params);
//             CreateSubClass(params, "COMBOBOX");            // superclassing a system class
//         }
//         void MakeWindowHandle(const TCreateParams& params) override
//         {
//             CreateUnicodeWindow(this, params, L"COMBOBOX", false);
//         }
//     };
//
// A trap (TWinControlTrap) then sits between Windows and the control and between the control's
// handlers and its default window procedure (the system class's wide procedure):
//   - text messages that the class library performs with ANSI data are sent to the window with
//     SendMessageA, so Windows converts them; those that come through Windows pass unchanged;
//   - a WM_CHAR above 255 travels through the class library's handlers packed (character in the
//     high 16 bits of wParam, 255 in the low 16 bits; see PackCharForAnsi) and reaches the
//     system class unpacked;
//   - WM_NOTIFYFORMAT is answered for the wide window.
// The wide text moves into the caption holder when the window is destroyed and back into the
// next window, so it survives RecreateWnd. Off the NT family the window is an ordinary ANSI one.

// Creates the control's window from the class library's parameters; the control's MakeWindowHandle
// calls it. systemClassName: the superclassed system class whose wide procedure becomes the
// control's default window procedure (empty: DefWindowProcW). standardCreation: the window class
// takes the class library's own creation procedure instead of this unit's (the trap then ends
// with its window). Raises the operating-system error when a class or the window cannot be made.
void CreateUnicodeWindow(TWinControl* control, const TCreateParams& params, const std::wstring& systemClassName,
                         bool standardCreation);
// Attaches a trap to the control's existing Unicode window and gives the window the control's
// wide text (the held wide text, else the caption). Raises Exception "Unicode layer internal
// error: SubClassUnicodeControl.Control is not Unicode." for an ANSI window.
void SubClassUnicodeControl(TWinControl* control, const std::string& caption, bool standardCreation);

// NFR_UNICODE for a Unicode window (or the window being created by CreateUnicodeWindow) on the
// NT family, else NFR_ANSI.
LRESULT NotifyFormatAnswer(HWND window);
// WM_SETTEXT, WM_GETTEXT and WM_GETTEXTLENGTH.
bool IsTextMessage(UINT msg);
// Packing of a character above 255 for the class library's one-byte key handling: into the high
// 16 bits of wParam with 255 in the low 16 bits, and back (the high 16 bits always end 0).
void PackCharForAnsi(TMessage& message);
void UnpackChar(TMessage& message);
// The character of a possibly packed WM_CHAR, and setting it (packed when above 255).
wchar_t CharOfCharMessage(const TMessage& message);
void SetCharOfCharMessage(TMessage& message, wchar_t ch);

// The older input-method character handling (re-sending WM_IME_CHAR as WM_CHAR); off, and nothing
// in the system turns it on.
extern bool LegacyImeCharMode;

// Run by the trap for CM_HINTSHOW before the control's handlers see it: lets the hint of a
// Unicode control be shown wide (defined with the wide hint window).
void PrepareWideHint(TMessage& message);

// The wide text of a control without window: the holder's, paired with the ANSI text the class
// library keeps (ansi), else ansi converted.
std::wstring HeldWideText(TControl* control, const std::string& ansi);

// The trap of one control's Unicode window; made and freed by this unit. Public for tests.
class TWinControlTrap : public TComponent {
    KERVO_CLASS(TWinControlTrap, TComponent)
public:
    // Raises the invalid-cast error when control is not a TWinControl.
    explicit TWinControlTrap(TComponent* control);
    ~TWinControlTrap() override;

    TWinControl* Control() const { return control_; }
    HWND Window() const { return handle_; }

    // The window's procedure, the control's window-procedure method and its default window
    // procedure while the trap is attached.
    void TrapWindowProc(TMessage& message);
    void TrapMessageHandler(TMessage& message);
    void TrapDefaultProc(TMessage& message);

    void SubclassWindow(const std::string& caption);
    // At a WM_DESTROY or WM_NCDESTROY of the window that can be its destruction
    // (IsRealDestruction): the first keeps the control's wide text, the second detaches the trap.
    // A forged one changes nothing.
    void DestructionMessage(UINT msg);
    void UnsubclassWindow();
    // Puts TrapMessageHandler at the head of the control's handler chain unless it is in it.
    void HookWindowProc();
    bool IsHandlerInChain();

protected:
    void ComponentNotification(TComponent* component, TOperation operation) override;

private:
    friend void SubClassUnicodeControl(TWinControl*, const std::string&, bool);
    friend LRESULT CALLBACK UnicodeInitWndProc(HWND, UINT, WPARAM, LPARAM);

    WNDPROC controlProcStub_ = nullptr;  // the control's MainWndProc
    WNDPROC trapProcStub_ = nullptr;     // TrapWindowProc
    WNDPROC defaultProcStub_ = nullptr;  // TrapDefaultProc
    TWinControl* control_ = nullptr;     // null once the control is gone
    HWND handle_ = nullptr;
    WNDPROC prevWindowProc_ = nullptr;
    WNDPROC prevDefaultProc_ = nullptr;
    TWndMethod prevHandler_;
    UINT lastWin32Msg_ = 0;              // the message TrapWindowProc passes on; cleared by the handler
    int win32Depth_ = 0;
    bool standardCreation_ = false;
    bool destroyPending_ = false;        // free when win32Depth_ returns to 0
    bool chainTestRunning_ = false;
    bool chainTestFound_ = false;
};

// The creation procedure of this unit's window classes: on a window's first message it gives the
// control in the class library's creation record its handle and a trap, installs the control's
// procedure, records the control under the class library's two window-property atoms and passes
// the message on.
LRESULT CALLBACK UnicodeInitWndProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);
