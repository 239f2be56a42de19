#pragma once
// Standard controls: push button, label, group box and the combo-box base.
#include <windows.h>

#include <string>

#include "Controls.h"
#include "Forms.h"
#include "StringList.h"

// The accelerator of a caption: the character after a single "&" ("&&" is a literal "&").
bool IsAccel(WORD ch, const std::string& caption);

// ---------------------------------------------------------------------------------------------
// TButton: the system push button. Enter presses the default button unless the focus is on
// another button; Esc presses the cancel button; a click puts ModalResult into the form.

class TButton : public TWinControl {
    KERVO_CLASS(TButton, TWinControl)
public:
    explicit TButton(TComponent* owner);

    bool Default() const { return default_; }
    void SetDefault(bool value);
    bool Cancel() const { return cancel_; }
    void SetCancel(bool value) { cancel_ = value; }
    TModalResult ModalResult() const { return modalResult_; }
    void SetModalResult(TModalResult value) { modalResult_ = value; }
    // True while Enter presses this button.
    bool IsActive() const { return active_; }

    void Click() override;
    void HandleWindowMessage(TMessage& message) override;
    const TClassRecord& ActionLinkClass() override;

protected:
    void AdjustCreateParams(TCreateParams& params) override;

private:
    void SetButtonStyle(bool defaultStyle);

    bool default_ = false;
    bool cancel_ = false;
    bool active_ = false;
    TModalResult modalResult_ = mrNone;
};

// ---------------------------------------------------------------------------------------------
// TLabel: windowless text in the parent's font.

class TLabel : public TGraphicControl {
    KERVO_CLASS(TLabel, TGraphicControl)
public:
    explicit TLabel(TComponent* owner);

    bool AutoSize() const { return autoSize_; }
    void SetAutoSize(bool value);
    bool Transparent() const { return transparent_; }
    void SetTransparent(bool value);
    bool WordWrap() const { return wordWrap_; }
    void SetWordWrap(bool value);

    void HandleWindowMessage(TMessage& message) override;

protected:
    void Paint() override;
    void AfterLoad() override;

private:
    UINT TextFlags() const;
    void AdjustBounds();

    bool autoSize_ = true;
    bool transparent_ = false;
    bool wordWrap_ = false;
};

// ---------------------------------------------------------------------------------------------
// TGroupBox: an etched frame with a caption, holding other controls (windowed and windowless).

class TGroupBox : public TWinControl {
    KERVO_CLASS(TGroupBox, TWinControl)
public:
    explicit TGroupBox(TComponent* owner);
    void HandleWindowMessage(TMessage& message) override;

protected:
    void PaintWindow(HDC dc) override;
};

// ---------------------------------------------------------------------------------------------
// The combo-box base. Its items live in the window and are reached through an items object
// speaking CB_ messages; its edit child (and, in csSimple, its list child) are subclassed by
// stubs so that every message of theirs passes InnerWindowProc.

class TCustomComboBox;

enum class TComboBoxStyle { csDropDown, csSimple, csDropDownList, csOwnerDrawFixed, csOwnerDrawVariable };
enum class TEditCharCase { ecNormal, ecUpperCase, ecLowerCase };

// The ANSI items of a combo box: every operation asks the window (made on demand).
class TCustomComboBoxStrings : public TStrings {
public:
    explicit TCustomComboBoxStrings(TCustomComboBox* combo) : combo_(combo) {}
    TCustomComboBox* ComboBox() const { return combo_; }

    std::string ItemAt(int index) const override;          // "" when the window cannot give it
    int ItemCount() const override;
    void InsertAt(int index, const std::string& s) override;  // EOutOfResources when refused
    void RemoveAt(int index) override;
    void RemoveAll() override;                              // keeps the edit text
    void* ObjectAt(int index) const override;               // the list-index error for a bad index
    void ReplaceObject(int index, void* object) override;
    int AppendItem(const std::string& s) override;          // EOutOfResources when refused
    int PositionOf(const std::string& s) const override;    // whole item, without regard to case
    void UpdatingChanged(bool updating) override;           // redrawing off during a batch

protected:
    HWND Window() const;
    LRESULT Send(UINT msg, WPARAM wParam, LPARAM lParam) const;

private:
    TCustomComboBox* combo_;
};

using TDrawItemEvent = TEvent<void(TObject* control, int index, RECT rect, UINT state)>;
using TMeasureItemEvent = TEvent<void(TObject* control, int index, int& height)>;

class TCustomComboBox : public TWinControl {
    KERVO_CLASS(TCustomComboBox, TWinControl)
public:
    explicit TCustomComboBox(TComponent* owner);
    ~TCustomComboBox() override;
    void DestructionStarting() override;

    // The items object, made on first use from ItemsClass.
    TCustomComboBoxStrings* Items();
    using TItemsFactory = TCustomComboBoxStrings* (*)(TCustomComboBox* combo);
    // The class of the items object: TCustomComboBoxStrings unless a descendant answers another.
    virtual TItemsFactory ItemsClass() const;
    // Adds an item with its object (the add-item operation of list controls).
    virtual void AddItem(const std::string& text, void* object);
    // Adds the selected item with its object to another list control; nothing without selection.
    virtual void CopySelectedItem(TCustomComboBox* destination);

    TComboBoxStyle Style() const { return style_; }
    void SetStyle(TComboBoxStyle value);
    TEditCharCase CharCase() const { return charCase_; }
    void SetCharCase(TEditCharCase value);
    bool Sorted() const { return sorted_; }
    void SetSorted(bool value);
    int MaxLength() const { return maxLength_; }
    void SetMaxLength(int value);
    int DropDownCount() const { return dropDownCount_; }
    void SetDropDownCount(int value) { dropDownCount_ = value; }
    int ItemHeight();
    void SetItemHeight(int value);
    // The selected item, -1 for none; an index outside the list selects nothing, silently.
    int ItemIndex();
    void SetItemIndex(int value);
    bool DroppedDown();
    void SetDroppedDown(bool value);
    int SelStart();
    void SetSelStart(int value);
    int SelLength();
    void SetSelLength(int value);
    std::string SelText();
    bool AutoComplete() const { return autoComplete_; }
    void SetAutoComplete(bool value) { autoComplete_ = value; }
    bool AutoDropDown() const { return autoDropDown_; }
    void SetAutoDropDown(bool value) { autoDropDown_ = value; }
    bool AutoCloseUp() const { return autoCloseUp_; }
    void SetAutoCloseUp(bool value) { autoCloseUp_ = value; }
    std::string ComboText() { return Text(); }
    void SetComboText(const std::string& value);

    // The children and their procedures before the subclassing; writable, so that a descendant
    // that changes a child's procedure can put its own in.
    HWND EditHandle() const { return editHandle_; }
    HWND ListHandle() const { return listHandle_; }
    WNDPROC DefEditProc() const { return defEditProc_; }
    void SetDefEditProc(WNDPROC proc) { defEditProc_ = proc; }
    WNDPROC DefListProc() const { return defListProc_; }
    void SetDefListProc(WNDPROC proc) { defListProc_ = proc; }
    WNDPROC EditInstance() const { return editInstance_; }
    WNDPROC ListInstance() const { return listInstance_; }

    // Every message of the edit and list children: key steps, focus bookkeeping, Enter and Esc
    // closing the open list, the rest to the child's default procedure.
    virtual void InnerWindowProc(TMessage& message, HWND child, WNDPROC defaultProc);
    // Draws one owner-drawn item into ItemDC: OnDrawItem, else the text on the item's colours.
    virtual void PaintItem(int index, RECT rect, UINT state);
    HDC ItemDC() const { return itemDC_; }
    // Fills an item's rectangle of ItemDC in the item's background and selects its text colour
    // and the control's font, for the item text drawn next.
    void PrepareItemDC(RECT rect, UINT state);

    void HandleWindowMessage(TMessage& message) override;

    TNotifyEvent OnChange;
    TNotifyEvent OnSelect;
    TNotifyEvent OnDropDown;
    TNotifyEvent OnCloseUp;
    TDrawItemEvent OnDrawItem;
    TMeasureItemEvent OnMeasureItem;

protected:
    void AdjustCreateParams(TCreateParams& params) override;
    void AfterWindowCreated() override;
    void BeforeWindowDestroyed() override;
    void AfterLoad() override;
    virtual void Change();
    virtual void Select();
    virtual void DropDown();
    virtual void CloseUp();
    // The reflected command ($BD11): click, select and change on a selection change, the
    // drop-down and close-up events, change on an edit.
    virtual void ReflectedCommand(TMessage& message);

private:
    void EditWndProc(TMessage& message);
    void ListWndProc(TMessage& message);
    void SubclassChildren();
    void AdjustDropDown();

    TComboBoxStyle style_ = TComboBoxStyle::csDropDown;
    TEditCharCase charCase_ = TEditCharCase::ecNormal;
    bool sorted_ = false;
    int maxLength_ = 0;
    int dropDownCount_ = 8;
    int itemHeight_ = 16;
    bool autoComplete_ = true;
    bool autoDropDown_ = false;
    bool autoCloseUp_ = false;
    int pendingItemIndex_ = -1;
    bool hasPendingItemIndex_ = false;
    HWND editHandle_ = nullptr;
    HWND listHandle_ = nullptr;
    WNDPROC defEditProc_ = nullptr;
    WNDPROC defListProc_ = nullptr;
    WNDPROC editInstance_ = nullptr;
    WNDPROC listInstance_ = nullptr;
    TObjectPtr<TStringList> savedItems_;
    int savedItemIndex_ = -1;
    TObjectPtr<TCustomComboBoxStrings> items_;  // freed before the saved items
    HDC itemDC_ = nullptr;
};
