#pragma once
// The Unicode combo box: the class library's combo box with its text and items held as UTF-16.
//
// Every input field of the band and of the settings program is one of these. The class library
// creates ANSI windows, so a character outside the system code page typed into its combo box is
// lost; this one creates its window as a Unicode window, keeps its items in the window as UTF-16
// (reached through TWideComboBoxStrings, which stores nothing itself), reads and writes its text
// and hint wide, and lets its edit and list children pass Unicode characters and text messages
// straight to Windows. Typed characters (the list styles' type-ahead, the edit styles'
// completion, Enter and Escape, input-method characters) are handled in WideComboTypeAhead.cpp.
//
// On a system outside the NT family the window is an ordinary ANSI window and every wide
// operation goes through the system ANSI code page and the class library's ANSI items object.
#include <windows.h>

#include <cstdint>
#include <string>

#include "StdCtrls.h"
#include "WideClasses.h"
#include "WideControls.h"

class TWideCustomComboBox;

// The items of a Unicode combo box: every operation asks the owner's window (made on demand), in
// the wide form of the combo-box messages while that window is Unicode, else through the class
// library's ANSI items object.
class TWideComboBoxStrings : public TWideStrings {
    KERVO_CLASS(TWideComboBoxStrings, TWideStrings)
public:
    explicit TWideComboBoxStrings(TWideCustomComboBox* ownerCombo) : ownerCombo_(ownerCombo) {}
    TWideCustomComboBox* OwnerCombo() const { return ownerCombo_; }

    std::wstring ItemAt(int index) const override;  // "" when the window cannot give it
    int ItemCount() const override;
    void* ObjectAt(int index) const override;        // the list-index error for a bad index
    void ReplaceObject(int index, void* object) override;
    void UpdatingChanged(bool updating) override;    // redrawing off during a batch
    int AppendItem(const std::wstring& s) override;  // EOutOfResources when refused, list unchanged
    void RemoveAll() override;                       // keeps the edit text
    void RemoveAt(int index) override;
    int PositionOf(const std::wstring& s) const override;  // whole item, without regard to case
    void InsertAt(int index, const std::wstring& s) override;  // EOutOfResources when refused

private:
    HWND Window() const;
    bool WindowIsUnicode() const;
    TCustomComboBoxStrings* AnsiItems() const;

    TWideCustomComboBox* ownerCombo_;
};

// The class library's ANSI items object of a Unicode combo box: used by the class library's own
// code and by the ANSI path. The base already reads an item's text by its length (CB_ERR and an
// empty item both give the empty string) and raises the insert-line error when the window refuses
// an item, so nothing needs changing; the class exists so that the box names its own.
class TPatchedAnsiComboBoxStrings : public TCustomComboBoxStrings {
public:
    using TCustomComboBoxStrings::TCustomComboBoxStrings;
};

// A prefix search a descendant may answer instead of CB_FINDSTRING (no class of the system does).
struct IWidePrefixSearch {
    static constexpr GUID Iid = {0x63BEBEF4, 0xB1A2, 0x495A, {0xB5, 0x58, 0x74, 0x87, 0xB6, 0x6F, 0x68, 0x27}};
    // The first item after start (from the first for -1, wrapping) that begins with the text.
    virtual int SearchPrefix(const std::wstring& text, int start) = 0;

protected:
    ~IWidePrefixSearch() = default;
};

class TWideCustomComboBox : public TCustomComboBox, public IWideAddItem {
    KERVO_CLASS(TWideCustomComboBox, TCustomComboBox)
public:
    explicit TWideCustomComboBox(TComponent* owner);

    // The wide items; setting copies the given list in, the items object stays the same.
    TWideStrings* Items() const { return wideItems_.get(); }
    void SetItems(TWideStrings* value);
    // The class library's ANSI items object over the same window.
    TCustomComboBoxStrings* AnsiItems() { return TCustomComboBox::Items(); }
    TItemsFactory ItemsClass() const override;

    // The text and hint, wide (the window's text while the window exists).
    std::wstring Text() { return GetWideControlText(this); }
    void SetText(const std::wstring& value) { SetWideControlText(this, value); }
    std::wstring Hint() { return GetWideControlHint(this); }
    void SetHint(const std::wstring& value) { SetWideControlHint(this, value); }

    // The edit selection in UTF-16 code units.
    int WideSelStart();
    void SetWideSelStart(int value);
    int WideSelLength();
    void SetWideSelLength(int value);
    std::wstring WideSelText();

    // Appends an item with its object and answers its index.
    virtual int AppendWideItem(const std::wstring& text, void* object);
    void AddWideItem(const std::wstring& text, void* object) override { AppendWideItem(text, object); }
    // The selected item, wide, with its object, to another list control.
    void CopySelectedItem(TCustomComboBox* destination) override;

    void PaintItem(int index, RECT rect, UINT state) override;
    void InnerWindowProc(TMessage& message, HWND child, WNDPROC defaultProc) override;
    void HandleWindowMessage(TMessage& message) override;
    void DefineStreamedProperties(TFiler& filer) override;
    // An action's texts reach the box wide: through the Unicode layer's link class, and taken
    // before the class library's action change (which then finds the ANSI text unchanged).
    const TClassRecord& ActionLinkClass() override;
    void ActionChange(TComponent* sender, bool checkDefaults) override;

    // The edit styles' completion of a typed character; the character set to 0 swallows it.
    virtual void EditCharTyped(TMessage& message);
    // Whether the completion needs a single matching item, and keeps the typed characters' case.
    virtual bool MatchUniqueOnly() { return false; }
    virtual bool KeepTypedPrefix() { return true; }

    // Selects the first item beginning with the text (the only one with uniqueOnly); in the edit
    // styles the edit shows the text completed from the item (completeText) with the completed
    // tail selected. Click and select run when the selection changed. False: nothing found,
    // nothing changed.
    bool SelectMatchingItem(const std::wstring& text, bool uniqueOnly, bool completeText);
    // The first item after start (from the first for -1, wrapping) beginning with the text,
    // without regard to case; -1 for none. The unique search answers -1 unless exactly one does.
    int FindPrefixItem(int start, const std::wstring& text);
    int FindUniquePrefixItem(const std::wstring& text);
    // Opens the list keeping the edit's text and selection.
    void DropDownKeepingText();

    // The list styles' type-ahead: the filter typed so far and the GetTickCount of its last key.
    // A key 1250 ms or more after the last one starts a new filter.
    static constexpr uint32_t kTypeAheadWindowMs = 1250;
    const std::wstring& TypeAheadText() const { return typeAheadText_; }
    uint32_t LastTypeAheadTick() const { return lastTypeAheadTick_; }
    void SetLastTypeAheadTick(uint32_t tick) { lastTypeAheadTick_ = tick; }

protected:
    void MakeWindowHandle(const TCreateParams& params) override;
    void AfterWindowCreated() override;
    void BeforeWindowDestroyed() override;
    void ReflectedCommand(TMessage& message) override;
    void KeyPress(char& key) override;

private:
    bool IsHintStored() const;
    bool IsListStyle() const;
    bool IsEditStyle() const;
    // Typed characters (WideComboTypeAhead.cpp). The child handler answers whether it took the
    // message; the class library's inner procedure gets the rest.
    bool HandleChildWindowMessage(TMessage& message, HWND child, WNDPROC defaultProc);
    void HandleComboChar(TMessage& message);
    void TypeAheadChar(TMessage& message);
    void AutoCompleteEditChar(TMessage& message, bool uniqueOnly, bool keepTypedPrefix);

    // The items while the window is away between destruction and re-creation, else null.
    TObjectPtr<TWideStringList> savedWideItems_;
    TObjectPtr<TWideComboBoxStrings> wideItems_;  // freed before the saved items
    int savedItemIndex_ = -1;
    // The list styles' type-ahead filter and the tick of its last key.
    std::wstring typeAheadText_;
    uint32_t lastTypeAheadTick_ = 0;
};

// The Unicode combo box of form resources: publishes the wide Text and Items.
class TWideComboBox : public TWideCustomComboBox {
    KERVO_CLASS(TWideComboBox, TWideCustomComboBox)
public:
    using TWideCustomComboBox::TWideCustomComboBox;
};
