// The wide text and hint of every control: the caption holders that keep the wide copy while no
// Unicode window can, and the pairing rule that lets the class library's own ANSI changes win.
//
// The holders live in one registry sorted by the address of their control, so a control's holder
// is found by bisection; a holder leaves the registry when it is freed, which it does itself when
// its control goes.
#include "WideControls.h"

#include <algorithm>
#include <cwchar>
#include <mutex>
#include <vector>

#include "ActnList.h"
#include "StdCtrls.h"
#include "SysUtils.h"
#include "WideClasses.h"
#include "WideCodePages.h"

namespace {

// The holder registry: sorted ascending by control address, one holder per control. Never
// destroyed: controls freed at unload still reach it through their holders. The controls of
// every thread have their holders here, so it is searched and changed under holdersLock only
// (Threading.h); a holder itself belongs to its control's thread.
std::vector<TWideCaptionHolder*>& CaptionHolders()
{
    static auto* holders = new std::vector<TWideCaptionHolder*>;
    return *holders;
}
std::mutex holdersLock;

int CompareHolder(TWideCaptionHolder* holder, const void* control)
{
    const auto a = reinterpret_cast<uintptr_t>(holder->OwnerControl());
    const auto b = reinterpret_cast<uintptr_t>(control);
    return a < b ? -1 : (a > b ? 1 : 0);
}

// Under holdersLock.
bool FindHolderIndex(const TControl* control, int& index)
{
    return SearchSortedList(CaptionHolders(), CompareHolder, control, index);
}

// The ANSI path: not on the NT family, or a windowed control whose window exists and is ANSI.
bool TakesAnsiPath(TControl* control)
{
    if (!UnicodePlatform) return true;
    auto* win = dynamic_cast<TWinControl*>(control);
    return win && win->HandleAllocated() && !IsWindowUnicode(win->Handle());
}

// The text of a Unicode window as far as the window copied it: a window may report a length
// that its text does not reach (or no longer reaches), and what was not copied is not text.
std::wstring UnicodeWindowText(HWND window)
{
    const int predicted = GetWindowTextLengthW(window);
    if (predicted <= 0) return {};
    std::wstring buffer(static_cast<size_t>(predicted) + 1, L'\0');
    const int copied = GetWindowTextW(window, buffer.data(), predicted + 1);
    buffer.resize(static_cast<size_t>(std::clamp(copied, 0, predicted)));
    buffer.resize(std::wcslen(buffer.c_str()));
    return buffer;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// TWideCaptionHolder

KERVO_CLASS_RECORD(TWideCaptionHolder) {}

TWideCaptionHolder::TWideCaptionHolder(TControl* control) : TComponent(nullptr), ownerControl_(control)
{
    control->FreeNotification(this);
}

TWideCaptionHolder::~TWideCaptionHolder()
{
    std::lock_guard<std::mutex> guard(holdersLock);
    auto& holders = CaptionHolders();
    holders.erase(std::remove(holders.begin(), holders.end(), this), holders.end());
}

void TWideCaptionHolder::ComponentNotification(TComponent* component, TOperation operation)
{
    TComponent::ComponentNotification(component, operation);
    if (operation != TOperation::Removal || component != ownerControl_ || !component) return;
    // Leave the registry while the order still holds (the address is still the key).
    {
        std::lock_guard<std::mutex> guard(holdersLock);
        int index = 0;
        if (FindHolderIndex(ownerControl_, index)) CaptionHolders().erase(CaptionHolders().begin() + index);
    }
    ownerControl_ = nullptr;
    Free();
}

TWideCaptionHolder* FindCaptionHolder(TControl* control, bool create)
{
    if (!control) return nullptr;
    std::lock_guard<std::mutex> guard(holdersLock);
    int index = 0;
    if (FindHolderIndex(control, index)) return CaptionHolders()[static_cast<size_t>(index)];
    if (!create) return nullptr;
    auto* holder = new TWideCaptionHolder(control);
    CaptionHolders().insert(CaptionHolders().begin() + index, holder);
    return holder;
}

// ---------------------------------------------------------------------------------------------
// The pairing rule

std::wstring GetPairedWideText(std::wstring& wideCopy, const std::string& ansi)
{
    if (AnsiFromWide(wideCopy) != ansi) wideCopy = WideFromAnsi(ansi);
    return wideCopy;
}

void SetPairedWideText(const std::wstring& value, std::wstring& wideCopy, const std::string& currentAnsi,
                       const std::function<void(const std::string&)>& ansiSetter)
{
    if (GetPairedWideText(wideCopy, currentAnsi) == value) return;
    const std::string ansi = AnsiFromWide(value);
    if (WideFromAnsi(ansi) != value && ansi == currentAnsi) ansiSetter(std::string());
    wideCopy = value;
    ansiSetter(ansi);
}

// ---------------------------------------------------------------------------------------------
// Text

std::wstring GetWideControlText(TControl* control)
{
    if (TakesAnsiPath(control)) return WideFromAnsi(control->Text());
    auto* win = dynamic_cast<TWinControl*>(control);
    if (win && win->HandleAllocated()) return UnicodeWindowText(win->Handle());
    return HeldWideText(control, control->Text());
}

std::wstring HeldWideText(TControl* control, const std::string& ansi)
{
    // The holder's copy, unless the class library changed the text since.
    if (TWideCaptionHolder* holder = FindCaptionHolder(control, false)) return GetPairedWideText(holder->WideText, ansi);
    return WideFromAnsi(ansi);
}

void SetWideControlText(TControl* control, const std::wstring& value)
{
    if (TakesAnsiPath(control)) {
        control->SetText(AnsiFromWide(value));
        return;
    }
    auto* win = dynamic_cast<TWinControl*>(control);
    if (!win) {
        TWideCaptionHolder* holder = FindCaptionHolder(control, true);
        SetPairedWideText(value, holder->WideText, control->Text(),
                          [control](const std::string& s) { control->SetText(s); });
        return;
    }
    if (!win->HandleAllocated()) {
        StoreWideText(control, value);
        return;
    }
    if (GetWideControlText(control) == value) return;
    SetWindowTextW(win->Handle(), value.c_str());
    control->Perform(CM_TEXTCHANGED);
}

void StoreWideText(TControl* control, const std::wstring& value)
{
    FindCaptionHolder(control, true)->WideText = value;
    control->SetText(AnsiFromWide(value));
}

std::wstring WideTextFromHolder(TControl* control, const std::wstring& defaultText)
{
    TWideCaptionHolder* holder = FindCaptionHolder(control, false);
    return holder ? holder->WideText : defaultText;
}

// ---------------------------------------------------------------------------------------------
// Hints

std::wstring GetWideControlHint(TControl* control)
{
    if (UnicodePlatform) {
        if (TWideCaptionHolder* holder = FindCaptionHolder(control, false)) {
            return GetPairedWideText(holder->WideHint, control->Hint());
        }
    }
    return WideFromAnsi(control->Hint());
}

void SetWideControlHint(TControl* control, const std::wstring& value)
{
    control->SetHint(AnsiFromWide(value));
    if (!UnicodePlatform) return;
    TWideCaptionHolder* holder = FindCaptionHolder(control, true);
    SetPairedWideText(value, holder->WideHint, control->Hint(),
                      [control](const std::string& s) { control->SetHint(s); });
}

std::wstring GetEffectiveWideHint(TControl* control)
{
    for (TControl* c = control; c; c = c->Parent()) {
        std::wstring hint = GetWideControlHint(c);
        if (!hint.empty()) return hint;
    }
    return {};
}

std::wstring WideShortHintPart(const std::wstring& hint)
{
    const size_t bar = hint.find(L'|');
    return bar == std::wstring::npos ? hint : hint.substr(0, bar);
}

std::wstring WideLongHintPart(const std::wstring& hint)
{
    const size_t bar = hint.find(L'|');
    return bar == std::wstring::npos ? hint : hint.substr(bar + 1);
}

bool IsWideHintStored(TControl* control)
{
    // Not while the control's action link supplies the hint.
    TActionLink* link = control->ActionLink();
    return !(link && link->HintFollowsAction());
}

// ---------------------------------------------------------------------------------------------
// List items

void AddWideItemTo(TCustomComboBox* listControl, const std::wstring& text, void* object)
{
    if (auto* wide = QueryInterfaceOf<IWideAddItem>(listControl)) {
        wide->AddWideItem(text, object);
        return;
    }
    listControl->AddItem(AnsiFromWide(text), object);
}
