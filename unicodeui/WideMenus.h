#pragma once
// Menus with UTF-16 captions and hints, and the text of a keyboard shortcut as UTF-16.
//
// TWideMenuItem keeps a wide copy of its caption and hint beside the class library's ANSI ones
// (the wide copy stands while its ANSI form equals the ANSI text) and writes the wide caption into
// the Windows menu with the wide menu functions, or draws it with the wide text functions when
// the item is owner-drawn. TWidePopupList routes the hint of the menu item being selected to the
// application's wide hint. Off the Unicode platform everything takes the class library's path.
#include <windows.h>

#include <string>

#include "Graphics.h"
#include "Menus.h"

// "Ctrl+A" with the key's name as Windows gives it in UTF-16; the class library's own text for
// the keys it names itself (and off the Unicode platform). The empty text for a key without a
// name, with no modifier text either.
std::wstring ShortCutToWideText(TShortCut shortCut);

// Hot-key marks: "&" marks the next character as the menu's hot key, "&&" stands for "&".
// The 1-based position of the character after the last single "&"; 0 when there is none.
int HotkeyPosition(const std::wstring& text);
// Every mark removed (the marked character kept, "&&" giving "&"); on a Far East system the
// hot key's parenthesised form "(&X)" after at least one other character goes whole.
std::wstring StripHotkeyMarks(const std::wstring& text);
// The wide caption stripped of its marks, with a mark where the ANSI caption has its hot key
// (the parenthesised form too); nothing inserted where that position lies outside the caption.
std::wstring ApplyAnsiHotkey(const std::wstring& ansiCaption, const std::wstring& wideCaption);
// Equal apart from hot-key marks, without regard to case.
bool SameCaptionIgnoringHotkeys(const std::wstring& a, const std::wstring& b);

class TWideMenuItem : public TMenuItem {
    KERVO_CLASS(TWideMenuItem, TMenuItem)
public:
    explicit TWideMenuItem(TComponent* owner) : TMenuItem(owner) {}

    // The caption: the wide copy while its ANSI form equals the ANSI caption (after taking over a
    // hot key that only the ANSI caption's marks moved), else the ANSI caption converted.
    std::wstring WideCaption();
    void SetWideCaption(const std::wstring& value);
    std::wstring WideHint();
    void SetWideHint(const std::wstring& value);

    void DefineStreamedProperties(TFiler& filer) override;
    void ItemChanged(bool rebuild) override;
    void Measure(TCanvas* canvas, int& width, int& height) override;
    void AdvancedDraw(TCanvas* canvas, const RECT& rect, UINT state, bool topLevel) override;
    TMenuActionLink* CreateActionLink() override;
    void ActionChanged(TBasicAction* action, bool checkDefaults) override;

protected:
    void AfterLoad() override;
    // The class library's item, then its wide text.
    void AppendTo(HMENU menu) override;

private:
    bool IsCaptionStored() const;
    bool IsHintStored() const;
    // Draws the caption and shortcut text over what the class library drew without them.
    void DrawWideItem(TCanvas* canvas, const RECT& rect, UINT state, bool topLevel);

    bool ignoreChange_ = false;
    std::wstring wideCaption_;
    std::wstring wideHint_;
};

// A TWideMenuItem's wide hint, else the item's ANSI hint converted.
std::wstring MenuItemWideHint(TMenuItem* item);

// Writes a visible TWideMenuItem's wide caption (and shortcut text) into its parent's Windows
// menu where the menu holds a string item with another text.
void RefreshWideCaption(TMenuItem* item, TMenu* menu);
// The sub-items from last to first (at any depth), then the item.
void RefreshWideCaptionsBelow(TMenuItem* item, TMenu* menu);
// On a Middle East system, the menu's first item when it is a TWideMenuItem.
void RefreshFirstItemForRightToLeft(TMenu* menu);

// Draws wide menu text: mirrored for right-to-left menus, a disabled item embossed; with
// DT_CALCRECT an empty text or "&" alone is measured with a blank added.
void DrawWideMenuText(TCanvas* canvas, const std::wstring& text, UINT format, bool selected, RECT& rect,
                  bool enabled, bool rightToLeft);

// A popup list whose window sends the hint of the selected menu item to the application's wide
// hint. The unit makes one at start-up (recording the list in force then) and frees it at
// shut-down; nothing puts it in the class library's place.
class TWidePopupList : public TPopupList {
    KERVO_CLASS(TWidePopupList, TPopupList)
public:
    TWidePopupList();
    TPopupList* SavedPopupList() const { return savedPopupList_; }

protected:
    void HandleWindowMessage(TMessage& message) override;

private:
    TPopupList* savedPopupList_ = nullptr;
};

// The popup list the unit made at start-up.
TWidePopupList* WidePopupList();
