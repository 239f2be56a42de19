#include "StdCtrls.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <utility>

#include "GdiScopes.h"
#include "Graphics.h"
#include "ObjectInstance.h"

bool IsAccel(WORD ch, const std::string& caption)
{
    for (size_t i = 0; i + 1 < caption.size(); ++i) {
        if (IsDBCSLeadByte(static_cast<BYTE>(caption[i]))) {
            ++i;
            continue;
        }
        if (caption[i] != '&') continue;
        if (caption[i + 1] == '&') {
            ++i;
            continue;
        }
        const auto a = static_cast<unsigned char>(caption[i + 1]);
        return ch < 0x80 && std::toupper(a) == std::toupper(static_cast<unsigned char>(ch));
    }
    return false;
}

// ---------------------------------------------------------------------------------------------
// TButton

KERVO_CLASS_RECORD(TButton)
{
    b.Boolean("Cancel", &TButton::Cancel, &TButton::SetCancel).Default(false);
    b.Boolean("Default", &TButton::Default, &TButton::SetDefault).Default(false);
    b.Integer("ModalResult", &TButton::ModalResult, &TButton::SetModalResult).Default(0);
    b.Boolean("TabStop", &TButton::TabStop, &TButton::SetTabStop).Default(true);
}

TButton::TButton(TComponent* owner) : TWinControl(owner)
{
    SetControlStyle({TControlStyleFlag::csDoubleClicks});
    SetBounds(0, 0, 75, 25);
    SetTabStop(true);
}

void TButton::AdjustCreateParams(TCreateParams& params)
{
    TWinControl::AdjustCreateParams(params);
    CreateSubClass(params, "BUTTON");
    params.Style |= default_ ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
}

void TButton::SetDefault(bool value)
{
    if (value == default_) return;
    default_ = value;
    TCustomForm* form = GetParentForm(this);
    if (HandleAllocated() && form) {
        form->Perform(CM_FOCUSCHANGED, 0, reinterpret_cast<LPARAM>(form->ActiveControl()));
    } else {
        active_ = value;
    }
}

void TButton::SetButtonStyle(bool defaultStyle)
{
    if (!HandleAllocated()) return;
    const LONG_PTR style = GetWindowLongPtrA(Handle(), GWL_STYLE) & 0x0F;
    const LONG_PTR wanted = defaultStyle ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
    if (style != wanted && (style == BS_PUSHBUTTON || style == BS_DEFPUSHBUTTON)) {
        SendMessageA(Handle(), BM_SETSTYLE, static_cast<WPARAM>(wanted), TRUE);
    }
}

void TButton::Click()
{
    if (TCustomForm* form = GetParentForm(this)) form->SetModalResult(modalResult_);
    TWinControl::Click();
}

void TButton::HandleWindowMessage(TMessage& message)
{
    switch (message.Msg) {
    case CN_COMMAND:
        if (HIWORD(message.WParam) == BN_CLICKED) Click();
        break;
    case CM_DIALOGKEY: {
        const WORD key = LOWORD(message.WParam);
        if (((key == VK_RETURN && active_) || (key == VK_ESCAPE && cancel_)) &&
            KeyDataToShiftState(message.LParam).Empty() && CanFocus()) {
            Click();
            message.Result = 1;
        } else {
            TWinControl::HandleWindowMessage(message);
        }
        break;
    }
    case CM_DIALOGCHAR:
        if (IsAccel(LOWORD(message.WParam), Caption()) && CanFocus()) {
            Click();
            message.Result = 1;
        } else {
            TWinControl::HandleWindowMessage(message);
        }
        break;
    case CM_FOCUSCHANGED: {
        auto* sender = reinterpret_cast<TWinControl*>(message.LParam);
        active_ = IsInstance<TButton>(sender) ? sender == this : default_;
        SetButtonStyle(active_);
        TWinControl::HandleWindowMessage(message);
        break;
    }
    case CM_TEXTCHANGED:
        Invalidate();
        break;
    default:
        TWinControl::HandleWindowMessage(message);
        break;
    }
}

// ---------------------------------------------------------------------------------------------
// TLabel

KERVO_CLASS_RECORD(TLabel)
{
    b.Boolean("AutoSize", &TLabel::AutoSize, &TLabel::SetAutoSize).Default(true);
    b.Boolean("ParentColor", &TLabel::ParentColor, &TLabel::SetParentColor).Default(true);
    b.Boolean("Transparent", &TLabel::Transparent, &TLabel::SetTransparent).Default(false);
    b.Boolean("WordWrap", &TLabel::WordWrap, &TLabel::SetWordWrap).Default(false);
}

TLabel::TLabel(TComponent* owner) : TGraphicControl(owner)
{
    SetControlStyle({TControlStyleFlag::csOpaque});
    SetBounds(0, 0, 65, 17);
    SetParentColor(true);
}

void TLabel::SetAutoSize(bool value)
{
    if (value == autoSize_) return;
    autoSize_ = value;
    AdjustBounds();
}

void TLabel::SetTransparent(bool value)
{
    if (value == transparent_) return;
    transparent_ = value;
    TControlStyle style = ControlStyle();
    if (value) style.Exclude(TControlStyleFlag::csOpaque);
    else style.Include(TControlStyleFlag::csOpaque);
    SetControlStyle(style);
    Invalidate();
}

void TLabel::SetWordWrap(bool value)
{
    if (value == wordWrap_) return;
    wordWrap_ = value;
    AdjustBounds();
    Invalidate();
}

UINT TLabel::TextFlags() const { return DT_LEFT | DT_EXPANDTABS | (wordWrap_ ? DT_WORDBREAK : 0); }

void TLabel::AdjustBounds()
{
    if (!autoSize_ || IsLoading()) return;
    const std::string text = Caption();
    RECT r{0, 0, wordWrap_ ? Width() : 0, 0};
    const TMeasureDC dc(FontHandle());
    if (!dc.Get()) return;
    if (text.empty()) {
        TEXTMETRICA tm{};
        GetTextMetricsA(dc.Get(), &tm);
        r.bottom = tm.tmHeight;
    } else {
        DrawTextA(dc.Get(), text.c_str(), -1, &r, TextFlags() | DT_CALCRECT);
    }
    SetBounds(Left(), Top(), wordWrap_ ? Width() : r.right, r.bottom);
}

void TLabel::AfterLoad()
{
    TGraphicControl::AfterLoad();
    AdjustBounds();
}

void TLabel::Paint()
{
    HDC dc = PaintDC();
    RECT r{0, 0, Width(), Height()};
    if (!transparent_) TSolidBrush(ColorToRGB(Color())).Fill(dc, r);
    const TSavedDC saved(dc);
    SetBkMode(dc, TRANSPARENT);
    SelectObject(dc, FontHandle());
    const std::string text = Caption();
    if (Enabled()) {
        SetTextColor(dc, FontColorRGB());
        DrawTextA(dc, text.c_str(), -1, &r, TextFlags());
    } else {
        OffsetRect(&r, 1, 1);
        SetTextColor(dc, GetSysColor(COLOR_BTNHIGHLIGHT));
        DrawTextA(dc, text.c_str(), -1, &r, TextFlags());
        OffsetRect(&r, -1, -1);
        SetTextColor(dc, GetSysColor(COLOR_BTNSHADOW));
        DrawTextA(dc, text.c_str(), -1, &r, TextFlags());
    }
}

void TLabel::HandleWindowMessage(TMessage& message)
{
    switch (message.Msg) {
    case CM_TEXTCHANGED:
    case CM_FONTCHANGED:
        AdjustBounds();
        Invalidate();
        break;
    default:
        TGraphicControl::HandleWindowMessage(message);
        break;
    }
}

// ---------------------------------------------------------------------------------------------
// TGroupBox

KERVO_CLASS_RECORD(TGroupBox) {}

TGroupBox::TGroupBox(TComponent* owner) : TWinControl(owner)
{
    SetControlStyle({TControlStyleFlag::csAcceptsControls, TControlStyleFlag::csCaptureMouse,
                     TControlStyleFlag::csClickEvents, TControlStyleFlag::csDoubleClicks});
    SetBounds(0, 0, 185, 105);
    SetColor(SysColorValue(COLOR_BTNFACE));
    SetParentColor(true);
}

void TGroupBox::PaintWindow(HDC dc)
{
    RECT r;
    GetClientRect(Handle(), &r);
    const TSelectedObject font(dc, FontHandle());
    TEXTMETRICA tm{};
    GetTextMetricsA(dc, &tm);
    RECT frame = r;
    frame.top += tm.tmHeight / 2;
    DrawEdge(dc, &frame, EDGE_ETCHED, BF_RECT);
    const std::string text = Caption();
    if (!text.empty()) {
        RECT t{8, 0, 0, 0};
        DrawTextA(dc, text.c_str(), -1, &t, DT_LEFT | DT_SINGLELINE | DT_CALCRECT);
        TSolidBrush(ColorToRGB(Color())).Fill(dc, t);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, Enabled() ? FontColorRGB() : GetSysColor(COLOR_GRAYTEXT));
        DrawTextA(dc, text.c_str(), -1, &t, DT_LEFT | DT_SINGLELINE);
    }
}

void TGroupBox::HandleWindowMessage(TMessage& message)
{
    switch (message.Msg) {
    case WM_PAINT:
        PaintHandler(message);
        break;
    case CM_TEXTCHANGED:
    case CM_ENABLEDCHANGED:
    case CM_FONTCHANGED:
        TWinControl::HandleWindowMessage(message);
        Invalidate();
        break;
    default:
        TWinControl::HandleWindowMessage(message);
        break;
    }
}

// ---------------------------------------------------------------------------------------------
// TCustomComboBoxStrings

HWND TCustomComboBoxStrings::Window() const { return combo_->Handle(); }

LRESULT TCustomComboBoxStrings::Send(UINT msg, WPARAM wParam, LPARAM lParam) const
{
    return SendMessageA(Window(), msg, wParam, lParam);
}

std::string TCustomComboBoxStrings::ItemAt(int index) const
{
    const LRESULT length = Send(CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length == CB_ERR || length < 0) return {};
    std::string text(static_cast<size_t>(length) + 1, '\0');
    if (Send(CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data())) == CB_ERR) return {};
    text.resize(std::strlen(text.c_str()));
    return text;
}

int TCustomComboBoxStrings::ItemCount() const { return static_cast<int>(Send(CB_GETCOUNT, 0, 0)); }

void TCustomComboBoxStrings::InsertAt(int index, const std::string& s)
{
    if (Send(CB_INSERTSTRING, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(s.c_str())) < 0) {
        RaiseInsertLineError();
    }
}

int TCustomComboBoxStrings::AppendItem(const std::string& s)
{
    const LRESULT index = Send(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s.c_str()));
    if (index < 0) RaiseInsertLineError();
    return static_cast<int>(index);
}

void TCustomComboBoxStrings::RemoveAt(int index) { Send(CB_DELETESTRING, static_cast<WPARAM>(index), 0); }

void TCustomComboBoxStrings::RemoveAll()
{
    const std::string text = combo_->Text();
    Send(CB_RESETCONTENT, 0, 0);
    combo_->SetText(text);
    combo_->Update();
}

void* TCustomComboBoxStrings::ObjectAt(int index) const
{
    const LRESULT data = Send(CB_GETITEMDATA, static_cast<WPARAM>(index), 0);
    if (data == CB_ERR && (index < 0 || index >= ItemCount())) throw EStringListError(ListIndexErrorText(index));
    return reinterpret_cast<void*>(data);
}

void TCustomComboBoxStrings::ReplaceObject(int index, void* object)
{
    Send(CB_SETITEMDATA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(object));
}

int TCustomComboBoxStrings::PositionOf(const std::string& s) const
{
    return static_cast<int>(Send(CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(s.c_str())));
}

void TCustomComboBoxStrings::UpdatingChanged(bool updating)
{
    Send(WM_SETREDRAW, updating ? FALSE : TRUE, 0);
    if (!updating) {
        InvalidateRect(Window(), nullptr, TRUE);
        combo_->Update();
    }
}

// ---------------------------------------------------------------------------------------------
// TCustomComboBox

KERVO_CLASS_RECORD(TCustomComboBox)
{
    b.Boolean("AutoComplete", &TCustomComboBox::AutoComplete, &TCustomComboBox::SetAutoComplete).Default(true);
    b.Boolean("AutoDropDown", &TCustomComboBox::AutoDropDown, &TCustomComboBox::SetAutoDropDown).Default(false);
    b.Boolean("AutoCloseUp", &TCustomComboBox::AutoCloseUp, &TCustomComboBox::SetAutoCloseUp).Default(false);
    b.Enum("Style", &TCustomComboBox::Style, &TCustomComboBox::SetStyle,
           {"csDropDown", "csSimple", "csDropDownList", "csOwnerDrawFixed", "csOwnerDrawVariable"})
        .Default(TComboBoxStyle::csDropDown);
    b.Enum("CharCase", &TCustomComboBox::CharCase, &TCustomComboBox::SetCharCase,
           {"ecNormal", "ecUpperCase", "ecLowerCase"})
        .Default(TEditCharCase::ecNormal);
    b.Integer("Color", &TCustomComboBox::Color, &TCustomComboBox::SetColor).Default(SysColorValue(COLOR_WINDOW));
    b.Integer("DropDownCount", &TCustomComboBox::DropDownCount, &TCustomComboBox::SetDropDownCount).Default(8);
    b.Integer("ItemHeight", &TCustomComboBox::ItemHeight, &TCustomComboBox::SetItemHeight);
    b.Integer("ItemIndex", &TCustomComboBox::ItemIndex, &TCustomComboBox::SetItemIndex).Default(-1);
    b.Integer("MaxLength", &TCustomComboBox::MaxLength, &TCustomComboBox::SetMaxLength).Default(0);
    b.Boolean("Sorted", &TCustomComboBox::Sorted, &TCustomComboBox::SetSorted).Default(false);
    b.Boolean("TabStop", &TCustomComboBox::TabStop, &TCustomComboBox::SetTabStop).Default(true);
    b.String("Text", &TCustomComboBox::ComboText, &TCustomComboBox::SetComboText);
    b.Event("OnChange", &TCustomComboBox::OnChange);
    b.Event("OnSelect", &TCustomComboBox::OnSelect);
    b.Event("OnDropDown", &TCustomComboBox::OnDropDown);
    b.Event("OnCloseUp", &TCustomComboBox::OnCloseUp);
    b.Event("OnDrawItem", &TCustomComboBox::OnDrawItem);
    b.Event("OnMeasureItem", &TCustomComboBox::OnMeasureItem);
}

TCustomComboBox::TCustomComboBox(TComponent* owner) : TWinControl(owner)
{
    SetControlStyle({TControlStyleFlag::csDoubleClicks,
                     TControlStyleFlag::csFixedHeight});
    SetBounds(0, 0, 145, 21);
    SetTabStop(true);
    SetParentColor(false);
    SetColor(SysColorValue(COLOR_WINDOW));
    editInstance_ = MakeObjectInstance(TWndMethod::Bind<&TCustomComboBox::EditWndProc>(this));
    listInstance_ = MakeObjectInstance(TWndMethod::Bind<&TCustomComboBox::ListWndProc>(this));
}

TCustomComboBox::~TCustomComboBox()
{
    FreeObjectInstance(editInstance_);
    FreeObjectInstance(listInstance_);
}

void TCustomComboBox::DestructionStarting()
{
    // The children die with the window; their procedures go back first so that no stub of this
    // object is called once it is gone.
    if (editHandle_ && IsWindow(editHandle_)) SetWindowLongPtrA(editHandle_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(defEditProc_));
    if (listHandle_ && IsWindow(listHandle_)) SetWindowLongPtrA(listHandle_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(defListProc_));
    TWinControl::DestructionStarting();
}

namespace {
TCustomComboBoxStrings* MakeComboBoxStrings(TCustomComboBox* combo) { return new TCustomComboBoxStrings(combo); }
}  // namespace

TCustomComboBox::TItemsFactory TCustomComboBox::ItemsClass() const { return &MakeComboBoxStrings; }

TCustomComboBoxStrings* TCustomComboBox::Items()
{
    if (!items_) items_.reset(ItemsClass()(this));
    return items_.get();
}

void TCustomComboBox::AddItem(const std::string& text, void* object) { Items()->AddObject(text, object); }

void TCustomComboBox::CopySelectedItem(TCustomComboBox* destination)
{
    const int index = ItemIndex();
    if (index == -1 || !destination) return;
    destination->AddItem(Items()->Get(index), Items()->Objects(index));
}

void TCustomComboBox::AdjustCreateParams(TCreateParams& params)
{
    TWinControl::AdjustCreateParams(params);
    CreateSubClass(params, "COMBOBOX");
    params.Style |= WS_VSCROLL | CBS_AUTOHSCROLL | CBS_HASSTRINGS;
    switch (style_) {
    case TComboBoxStyle::csDropDown: params.Style |= CBS_DROPDOWN; break;
    case TComboBoxStyle::csSimple: params.Style |= CBS_SIMPLE; break;
    case TComboBoxStyle::csDropDownList: params.Style |= CBS_DROPDOWNLIST; break;
    case TComboBoxStyle::csOwnerDrawFixed: params.Style |= CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED; break;
    case TComboBoxStyle::csOwnerDrawVariable: params.Style |= CBS_DROPDOWNLIST | CBS_OWNERDRAWVARIABLE; break;
    }
    if (sorted_) params.Style |= CBS_SORT;
    if (charCase_ == TEditCharCase::ecUpperCase) params.Style |= CBS_UPPERCASE;
    if (charCase_ == TEditCharCase::ecLowerCase) params.Style |= CBS_LOWERCASE;
    if (style_ != TComboBoxStyle::csSimple) {
        // The height of a drop-down combo box is that of its list when open.
        params.Height = std::max(params.Height, Height() + itemHeight_ * dropDownCount_ + 2);
    }
}

void TCustomComboBox::SubclassChildren()
{
    editHandle_ = nullptr;
    listHandle_ = nullptr;
    COMBOBOXINFO info{};
    info.cbSize = sizeof info;
    if (!GetComboBoxInfo(Handle(), &info)) return;
    if (style_ == TComboBoxStyle::csDropDown || style_ == TComboBoxStyle::csSimple) {
        editHandle_ = info.hwndItem;
        if (editHandle_) {
            defEditProc_ = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(editHandle_, GWLP_WNDPROC));
            SetWindowLongPtrA(editHandle_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(editInstance_));
        }
    }
    if (style_ == TComboBoxStyle::csSimple && info.hwndList) {
        listHandle_ = info.hwndList;
        defListProc_ = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(listHandle_, GWLP_WNDPROC));
        SetWindowLongPtrA(listHandle_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(listInstance_));
    }
}

void TCustomComboBox::AfterWindowCreated()
{
    TWinControl::AfterWindowCreated();
    SendMessageA(Handle(), CB_LIMITTEXT, static_cast<WPARAM>(maxLength_), 0);
    if (style_ == TComboBoxStyle::csOwnerDrawFixed || style_ == TComboBoxStyle::csOwnerDrawVariable) {
        SendMessageA(Handle(), CB_SETITEMHEIGHT, 0, itemHeight_);
    }
    SubclassChildren();
    if (savedItems_) {
        const TObjectPtr<TStringList> saved(std::move(savedItems_));
        Items()->Assign(*saved);
        SendMessageA(Handle(), CB_SETCURSEL, static_cast<WPARAM>(savedItemIndex_), 0);
    }
    if (editHandle_ && !TextField().empty()) SetWindowTextA(Handle(), TextField().c_str());
}

void TCustomComboBox::BeforeWindowDestroyed()
{
    const int count = Items()->Count();
    if (count > 0) {
        TObjectPtr<TStringList> saved(new TStringList);
        saved->Assign(*Items());
        savedItems_ = std::move(saved);
        savedItemIndex_ = ItemIndex();
    }
    if (editHandle_) SetWindowLongPtrA(editHandle_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(defEditProc_));
    if (listHandle_) SetWindowLongPtrA(listHandle_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(defListProc_));
    TWinControl::BeforeWindowDestroyed();
    editHandle_ = listHandle_ = nullptr;
}

void TCustomComboBox::AfterLoad()
{
    TWinControl::AfterLoad();
    if (hasPendingItemIndex_) {
        hasPendingItemIndex_ = false;
        SetItemIndex(pendingItemIndex_);
    }
}

void TCustomComboBox::SetStyle(TComboBoxStyle value)
{
    if (value == style_) return;
    style_ = value;
    RecreateWnd();
}

void TCustomComboBox::SetCharCase(TEditCharCase value)
{
    if (value == charCase_) return;
    charCase_ = value;
    RecreateWnd();
}

void TCustomComboBox::SetSorted(bool value)
{
    if (value == sorted_) return;
    sorted_ = value;
    RecreateWnd();
}

void TCustomComboBox::SetMaxLength(int value)
{
    maxLength_ = std::max(0, value);
    if (HandleAllocated()) SendMessageA(Handle(), CB_LIMITTEXT, static_cast<WPARAM>(maxLength_), 0);
}

int TCustomComboBox::ItemHeight()
{
    if (style_ == TComboBoxStyle::csOwnerDrawFixed || style_ == TComboBoxStyle::csOwnerDrawVariable ||
        !HandleAllocated()) {
        return itemHeight_;
    }
    return static_cast<int>(SendMessageA(Handle(), CB_GETITEMHEIGHT, 0, 0));
}

void TCustomComboBox::SetItemHeight(int value)
{
    if (value <= 0) return;
    itemHeight_ = value;
    if (HandleAllocated() && (style_ == TComboBoxStyle::csOwnerDrawFixed || style_ == TComboBoxStyle::csOwnerDrawVariable)) {
        RecreateWnd();
    }
}

int TCustomComboBox::ItemIndex()
{
    if (IsReading() && hasPendingItemIndex_) return pendingItemIndex_;
    return static_cast<int>(SendMessageA(Handle(), CB_GETCURSEL, 0, 0));
}

void TCustomComboBox::SetItemIndex(int value)
{
    if (IsLoading()) {
        // Read before the items: kept until the whole resource is in.
        pendingItemIndex_ = value;
        hasPendingItemIndex_ = true;
        return;
    }
    // Outside the list nothing stays selected (Windows answers such an index with an error and,
    // depending on the version, may keep the old selection).
    if (value < 0 || value >= Items()->Count()) value = -1;
    if (ItemIndex() != value) SendMessageA(Handle(), CB_SETCURSEL, static_cast<WPARAM>(value), 0);
}

void TCustomComboBox::SetComboText(const std::string& value)
{
    if (IsLoading()) {
        TextField() = value;
        return;
    }
    SetText(value);
}

bool TCustomComboBox::DroppedDown()
{
    return HandleAllocated() && SendMessageA(Handle(), CB_GETDROPPEDSTATE, 0, 0) != 0;
}

void TCustomComboBox::SetDroppedDown(bool value) { SendMessageA(Handle(), CB_SHOWDROPDOWN, value ? TRUE : FALSE, 0); }

int TCustomComboBox::SelStart()
{
    DWORD start = 0, end = 0;
    SendMessageA(Handle(), CB_GETEDITSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    return static_cast<int>(start);
}

int TCustomComboBox::SelLength()
{
    DWORD start = 0, end = 0;
    SendMessageA(Handle(), CB_GETEDITSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    return static_cast<int>(end - start);
}

void TCustomComboBox::SetSelStart(int value)
{
    SendMessageA(Handle(), CB_SETEDITSEL, 0, MAKELPARAM(value, value));
}

void TCustomComboBox::SetSelLength(int value)
{
    const int start = SelStart();
    SendMessageA(Handle(), CB_SETEDITSEL, 0, MAKELPARAM(start, start + value));
}

std::string TCustomComboBox::SelText()
{
    const std::string text = Text();
    const int start = std::clamp(SelStart(), 0, static_cast<int>(text.size()));
    const int length = std::clamp(SelLength(), 0, static_cast<int>(text.size()) - start);
    return text.substr(static_cast<size_t>(start), static_cast<size_t>(length));
}

void TCustomComboBox::Change()
{
    if (OnChange) OnChange(this);
}

void TCustomComboBox::Select()
{
    if (OnSelect) OnSelect(this);
    else Change();
}

void TCustomComboBox::DropDown()
{
    if (OnDropDown) OnDropDown(this);
}

void TCustomComboBox::CloseUp()
{
    if (OnCloseUp) OnCloseUp(this);
}

void TCustomComboBox::AdjustDropDown()
{
    // The open list shows DropDownCount items (fewer when the list holds fewer).
    const int count = std::max(1, std::min(Items()->Count(), dropDownCount_));
    RECT r;
    GetWindowRect(Handle(), &r);
    const int height = (r.bottom - r.top) + ItemHeight() * count + 2;
    SetWindowPos(Handle(), nullptr, 0, 0, r.right - r.left, height,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW | SWP_NOSENDCHANGING);
}

void TCustomComboBox::ReflectedCommand(TMessage& message)
{
    switch (HIWORD(message.WParam)) {
    case CBN_DBLCLK: DblClick(); break;
    case CBN_EDITCHANGE: Change(); break;
    case CBN_DROPDOWN:
        DropDown();
        AdjustDropDown();
        break;
    case CBN_SELCHANGE: {
        const int index = ItemIndex();
        if (editHandle_) SetWindowTextA(editHandle_, index >= 0 ? Items()->Get(index).c_str() : "");
        Click();
        Select();
        break;
    }
    case CBN_CLOSEUP: CloseUp(); break;
    default: break;
    }
}

void TCustomComboBox::PaintItem(int index, RECT rect, UINT state)
{
    if (OnDrawItem) {
        OnDrawItem(this, index, rect, state);
        return;
    }
    PrepareItemDC(rect, state);
    if (index < 0) return;
    const std::string text = Items()->Get(index);
    TextOutA(itemDC_, rect.left + 2, rect.top, text.c_str(), static_cast<int>(text.size()));
}

void TCustomComboBox::PrepareItemDC(RECT rect, UINT state)
{
    // The handler of CN_DRAWITEM saves and restores the context around the item.
    const bool selected = (state & ODS_SELECTED) != 0;
    FillRect(itemDC_, &rect, selected ? GetSysColorBrush(COLOR_HIGHLIGHT) : BrushHandle());
    SetBkMode(itemDC_, TRANSPARENT);
    SetTextColor(itemDC_, selected ? GetSysColor(COLOR_HIGHLIGHTTEXT) : FontColorRGB());
    SelectObject(itemDC_, FontHandle());
}

void TCustomComboBox::InnerWindowProc(TMessage& message, HWND child, WNDPROC defaultProc)
{
    switch (message.Msg) {
    case WM_SETFOCUS:
        if (TCustomForm* form = GetParentForm(this)) form->SetFocusedControl(this);
        break;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        if (DoKeyDown(message)) return;
        break;
    case WM_KEYUP:
    case WM_SYSKEYUP:
        if (DoKeyUp(message)) return;
        break;
    case WM_CHAR:
        if (DoKeyPress(message)) return;
        if ((LOWORD(message.WParam) == VK_RETURN || LOWORD(message.WParam) == VK_ESCAPE) && DroppedDown()) {
            SetDroppedDown(false);
            return;
        }
        break;
    default: break;
    }
    message.Result = CallWindowProcA(defaultProc, child, message.Msg, message.WParam, message.LParam);
    if (message.Msg == WM_LBUTTONDBLCLK && ControlStyle().Contains(TControlStyleFlag::csDoubleClicks)) DblClick();
}

void TCustomComboBox::EditWndProc(TMessage& message)
{
    const HWND child = editHandle_;
    const WNDPROC proc = defEditProc_;
    try {
        InnerWindowProc(message, child, proc);
    } catch (...) {
        Application->HandleException(this, std::current_exception());
    }
}

void TCustomComboBox::ListWndProc(TMessage& message)
{
    const HWND child = listHandle_;
    const WNDPROC proc = defListProc_;
    try {
        InnerWindowProc(message, child, proc);
    } catch (...) {
        Application->HandleException(this, std::current_exception());
    }
}

void TCustomComboBox::HandleWindowMessage(TMessage& message)
{
    switch (message.Msg) {
    case CN_COMMAND:
        ReflectedCommand(message);
        break;
    case CN_DRAWITEM: {
        auto* item = reinterpret_cast<DRAWITEMSTRUCT*>(message.LParam);
        const TSavedDC saved(item->hDC);
        const TLentDC lent(itemDC_, item->hDC);
        PaintItem(static_cast<int>(item->itemID), item->rcItem, item->itemState);
        message.Result = TRUE;
        break;
    }
    case CN_MEASUREITEM: {
        auto* item = reinterpret_cast<MEASUREITEMSTRUCT*>(message.LParam);
        int height = itemHeight_;
        if (style_ == TComboBoxStyle::csOwnerDrawVariable && OnMeasureItem) {
            OnMeasureItem(this, static_cast<int>(item->itemID), height);
        }
        item->itemHeight = static_cast<UINT>(height);
        message.Result = TRUE;
        break;
    }
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
        // From the box's own edit and list, which take its colours as a parent's child would.
        ColorChildMessage(message);
        break;
    case CM_WANTSPECIALKEY:
        // Enter and Esc close an open list instead of reaching the form.
        if ((LOWORD(message.WParam) == VK_RETURN || LOWORD(message.WParam) == VK_ESCAPE) && DroppedDown()) {
            SetDroppedDown(false);
            message.Result = 1;
        } else {
            TWinControl::HandleWindowMessage(message);
        }
        break;
    case WM_ERASEBKGND:
        DefaultHandler(message);
        break;
    default:
        TWinControl::HandleWindowMessage(message);
        break;
    }
}

namespace {
const bool registered = (RegisterClassRecords({&TButton::StaticClass(), &TLabel::StaticClass(), &TGroupBox::StaticClass()}), true);
}
