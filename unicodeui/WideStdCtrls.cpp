// The Unicode combo box: its window, its items over the window, its wide text and the carrying of
// its items across a re-creation of the window.
#include "WideStdCtrls.h"

#include <algorithm>
#include <utility>

#include "Forms.h"
#include "WideActions.h"
#include "WideCodePages.h"
#include "WideStreaming.h"

// ---------------------------------------------------------------------------------------------
// TWideComboBoxStrings

KERVO_CLASS_RECORD(TWideComboBoxStrings) {}

HWND TWideComboBoxStrings::Window() const { return ownerCombo_->Handle(); }

bool TWideComboBoxStrings::WindowIsUnicode() const { return IsWindowUnicode(Window()) != FALSE; }

TCustomComboBoxStrings* TWideComboBoxStrings::AnsiItems() const { return ownerCombo_->AnsiItems(); }

std::wstring TWideComboBoxStrings::ItemAt(int index) const
{
    if (!WindowIsUnicode()) return WideFromAnsi(AnsiItems()->ItemAt(index));
    const LRESULT length = SendMessageW(Window(), CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length == CB_ERR || length < 0) return {};
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    if (SendMessageW(Window(), CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data())) ==
        CB_ERR) {
        return {};
    }
    text.resize(WideCharsLength(text.c_str()));
    return text;
}

int TWideComboBoxStrings::ItemCount() const { return AnsiItems()->ItemCount(); }

void* TWideComboBoxStrings::ObjectAt(int index) const { return AnsiItems()->ObjectAt(index); }

void TWideComboBoxStrings::ReplaceObject(int index, void* object) { AnsiItems()->ReplaceObject(index, object); }

void TWideComboBoxStrings::UpdatingChanged(bool updating) { AnsiItems()->UpdatingChanged(updating); }

int TWideComboBoxStrings::AppendItem(const std::wstring& s)
{
    if (!WindowIsUnicode()) return AnsiItems()->AppendItem(AnsiFromWide(s));
    const LRESULT index = SendMessageW(Window(), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s.c_str()));
    if (index < 0) RaiseInsertLineError();
    return static_cast<int>(index);
}

void TWideComboBoxStrings::InsertAt(int index, const std::wstring& s)
{
    if (!WindowIsUnicode()) return AnsiItems()->InsertAt(index, AnsiFromWide(s));
    if (SendMessageW(Window(), CB_INSERTSTRING, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(s.c_str())) < 0) {
        RaiseInsertLineError();
    }
}

void TWideComboBoxStrings::RemoveAll()
{
    // Clearing the list never clears the edit text.
    const std::wstring text = GetWideControlText(ownerCombo_);
    SendMessageA(Window(), CB_RESETCONTENT, 0, 0);
    SetWideControlText(ownerCombo_, text);
    ownerCombo_->Update();
}

void TWideComboBoxStrings::RemoveAt(int index) { AnsiItems()->RemoveAt(index); }

int TWideComboBoxStrings::PositionOf(const std::wstring& s) const
{
    if (!WindowIsUnicode()) return AnsiItems()->PositionOf(AnsiFromWide(s));
    return static_cast<int>(
        SendMessageW(Window(), CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(s.c_str())));
}

// ---------------------------------------------------------------------------------------------
// TWideCustomComboBox

KERVO_CLASS_RECORD(TWideCustomComboBox)
{
    // Wide in place of the class library's ANSI text and hint.
    b.WideString("Hint", &TWideCustomComboBox::Hint, &TWideCustomComboBox::SetHint)
        .Stored(&TWideCustomComboBox::IsHintStored);
    b.WideString("Text", &TWideCustomComboBox::Text, &TWideCustomComboBox::SetText);
    b.Interface<IWideAddItem>(IWideAddItem::Iid);
}

TWideCustomComboBox::TWideCustomComboBox(TComponent* owner)
    : TCustomComboBox(owner), wideItems_(new TWideComboBoxStrings(this))
{
}

bool TWideCustomComboBox::IsHintStored() const { return IsWideHintStored(const_cast<TWideCustomComboBox*>(this)); }

namespace {
TCustomComboBoxStrings* MakePatchedAnsiStrings(TCustomComboBox* combo) { return new TPatchedAnsiComboBoxStrings(combo); }
}  // namespace

TCustomComboBox::TItemsFactory TWideCustomComboBox::ItemsClass() const { return &MakePatchedAnsiStrings; }

void TWideCustomComboBox::SetItems(TWideStrings* value) { wideItems_->CopyFrom(value); }

bool TWideCustomComboBox::IsListStyle() const
{
    return Style() == TComboBoxStyle::csDropDownList || Style() == TComboBoxStyle::csOwnerDrawFixed ||
           Style() == TComboBoxStyle::csOwnerDrawVariable;
}

bool TWideCustomComboBox::IsEditStyle() const
{
    return Style() == TComboBoxStyle::csDropDown || Style() == TComboBoxStyle::csSimple;
}

void TWideCustomComboBox::DefineStreamedProperties(TFiler& filer)
{
    TCustomComboBox::DefineStreamedProperties(filer);
    DefineWideStringProperties(filer, this);
}

void TWideCustomComboBox::MakeWindowHandle(const TCreateParams& params)
{
    CreateUnicodeWindow(this, params, L"COMBOBOX", false);
}

void TWideCustomComboBox::AfterWindowCreated()
{
    const std::string ansiText = TControl::Text();
    TCustomComboBox::AfterWindowCreated();
    if (!UnicodePlatform) {
        TControl::SetText(ansiText);
        return;
    }
    // The class library subclassed the children with the ANSI functions, which made them ANSI
    // windows; put them back as Unicode windows, the list's default procedure read in its wide form.
    if (HWND list = ListHandle()) {
        SetWindowLongPtrA(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(DefListProc()));
        SetDefListProc(reinterpret_cast<WNDPROC>(GetWindowLongPtrW(list, GWLP_WNDPROC)));
        SetWindowLongPtrW(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ListInstance()));
    }
    if (HWND edit = EditHandle()) SetWindowLongPtrW(edit, GWLP_WNDPROC, GetWindowLongPtrA(edit, GWLP_WNDPROC));
    if (savedWideItems_) {
        const TObjectPtr<TWideStringList> saved(std::move(savedWideItems_));
        wideItems_->CopyFrom(saved.get());
        if (savedItemIndex_ != -1) {
            const int index = std::min(savedItemIndex_, wideItems_->Count());
            SendMessageA(Handle(), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
        }
    }
    // The class library wrote its ANSI copy of the text into the new window; the wide text kept
    // while the window was away wins.
    SetWideControlText(this, WideTextFromHolder(this, WideFromAnsi(TControl::Text())));
}

void TWideCustomComboBox::BeforeWindowDestroyed()
{
    // The class library would carry the items in ANSI; carried wide, they keep every character.
    if (UnicodePlatform && wideItems_->Count() > 0) {
        TObjectPtr<TWideStringList> saved(new TWideStringList);
        saved->CopyFrom(wideItems_.get());
        savedWideItems_ = std::move(saved);
        savedItemIndex_ = ItemIndex();
        wideItems_->RemoveAll();
    }
    TCustomComboBox::BeforeWindowDestroyed();
}

void TWideCustomComboBox::ReflectedCommand(TMessage& message)
{
    if (HIWORD(message.WParam) != CBN_SELCHANGE) {
        TCustomComboBox::ReflectedCommand(message);
        return;
    }
    const int index = ItemIndex();
    SetText(index >= 0 ? wideItems_->Strings(index) : std::wstring());
    Click();
    Select();
}

void TWideCustomComboBox::KeyPress(char& key)
{
    // The class library's own ANSI type-ahead never acts here: only the wide one of this box.
    const bool autoComplete = AutoComplete();
    SetAutoComplete(false);
    try {
        TCustomComboBox::KeyPress(key);
    } catch (...) {
        SetAutoComplete(autoComplete);
        throw;
    }
    SetAutoComplete(autoComplete);
}

int TWideCustomComboBox::AppendWideItem(const std::wstring& text, void* object)
{
    return wideItems_->AppendItemObject(text, object);
}

void TWideCustomComboBox::CopySelectedItem(TCustomComboBox* destination)
{
    const int index = ItemIndex();
    if (index == -1 || !destination) return;
    AddWideItemTo(destination, wideItems_->Strings(index), wideItems_->Objects(index));
}

void TWideCustomComboBox::PaintItem(int index, RECT rect, UINT state)
{
    if (OnDrawItem) {
        OnDrawItem(this, index, rect, state);
        return;
    }
    PrepareItemDC(rect, state);
    if (index < 0) return;
    const std::wstring text = wideItems_->Strings(index);
    ExtTextOutW(ItemDC(), rect.left + 2, rect.top, 0, nullptr, text.c_str(), static_cast<UINT>(text.size()), nullptr);
}

// ---- The edit selection in UTF-16 code units. A Unicode window counts in them already; an ANSI
// window counts bytes of the ANSI text.

int TWideCustomComboBox::WideSelStart()
{
    if (UnicodePlatform) return SelStart();
    const std::string ansi = TControl::Text();
    const size_t bytes = std::min(static_cast<size_t>(std::max(SelStart(), 0)), ansi.size());
    return static_cast<int>(WideFromAnsi(ansi.substr(0, bytes)).size());
}

void TWideCustomComboBox::SetWideSelStart(int value)
{
    if (UnicodePlatform) return SetSelStart(value);
    const std::wstring text = Text();
    const size_t n = std::min(static_cast<size_t>(std::max(value, 0)), text.size());
    SetSelStart(static_cast<int>(AnsiFromWide(text.substr(0, n)).size()));
}

int TWideCustomComboBox::WideSelLength()
{
    if (UnicodePlatform) return SelLength();
    return static_cast<int>(WideSelText().size());
}

void TWideCustomComboBox::SetWideSelLength(int value)
{
    if (UnicodePlatform) return SetSelLength(value);
    const std::wstring text = Text();
    const size_t start = std::min(static_cast<size_t>(std::max(WideSelStart(), 0)), text.size());
    const size_t n = std::min(static_cast<size_t>(std::max(value, 0)), text.size() - start);
    SetSelLength(static_cast<int>(AnsiFromWide(text.substr(start, n)).size()));
}

std::wstring TWideCustomComboBox::WideSelText()
{
    if (!UnicodePlatform) return WideFromAnsi(SelText());
    if (!IsEditStyle()) return {};
    const std::wstring text = Text();
    const size_t start = std::min(static_cast<size_t>(std::max(WideSelStart(), 0)), text.size());
    return text.substr(start, static_cast<size_t>(std::max(WideSelLength(), 0)));
}

const TClassRecord& TWideCustomComboBox::ActionLinkClass()
{
    TCustomComboBox::ActionLinkClass();
    return ActionLinkClassFor(this);
}

void TWideCustomComboBox::ActionChange(TComponent* sender, bool checkDefaults)
{
    if (IsInstance<TBasicAction>(sender)) ApplyWideActionTexts(this, static_cast<TBasicAction*>(sender), checkDefaults);
    TCustomComboBox::ActionChange(sender, checkDefaults);
}

// ---------------------------------------------------------------------------------------------
// TWideComboBox

KERVO_CLASS_RECORD(TWideComboBox)
{
    b.Object("Items", &TWideComboBox::Items, &TWideComboBox::SetItems);
    // The order of form resources: the box's own properties, Items last after Text and ItemIndex
    // (which the class library keeps until the whole resource is read).
    b.Order({"AutoComplete", "AutoDropDown", "AutoCloseUp", "Style", "CharCase", "Color", "Constraints",
             "DropDownCount", "Enabled", "Font", "ItemHeight", "ItemIndex", "MaxLength", "ParentColor",
             "ParentFont", "ParentShowHint", "PopupMenu", "ShowHint", "Sorted", "TabOrder", "TabStop", "Text",
             "Visible", "OnChange", "OnClick", "OnCloseUp", "OnContextPopup", "OnDblClick", "OnDrawItem",
             "OnDropDown", "OnEnter", "OnExit", "OnKeyDown", "OnKeyPress", "OnKeyUp", "OnMeasureItem", "OnSelect",
             "Items"});
}

namespace {
const bool registered = (RegisterClassRecords({&TWideComboBox::StaticClass()}), true);
}  // namespace
