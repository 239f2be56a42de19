// The menu items, menus and popup list of Menus.h. Windows keeps a menu as a handle and reports
// a choice as a bare number in WM_COMMAND to the window that owned the menu while it showed. So
// each item carries a number unique in the process and brings the Windows menus that show it up
// to date whenever it changes, and the popup list owns the popup menus through a hidden window of
// each thread, which hands a chosen number, and the owner-draw requests, back to the item.
#include "Menus.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <utility>

#include "GdiScopes.h"
#include "UtilWindow.h"

namespace {

// ---------------------------------------------------------------------------------------------
// Command numbers: the lowest free number from 1 up, so numbers stay small and come back. One
// pool for every thread of the process, under a lock (Threading.h).

std::mutex commandLock;
std::vector<bool>& CommandPool()
{
    static std::vector<bool> used(1, true);  // 0 is never given: TrackPopupMenu answers 0 for "none"
    return used;
}

uint16_t AllocateCommand()
{
    std::lock_guard<std::mutex> guard(commandLock);
    std::vector<bool>& used = CommandPool();
    for (size_t i = 1; i < used.size(); ++i) {
        if (!used[i]) {
            used[i] = true;
            return static_cast<uint16_t>(i);
        }
    }
    if (used.size() > 0xFFFF) throw EMenuError(std::wstring(L"メニューのコマンド番号が足りません"));
    used.push_back(true);
    return static_cast<uint16_t>(used.size() - 1);
}

void ReleaseCommand(uint16_t command)
{
    std::lock_guard<std::mutex> guard(commandLock);
    std::vector<bool>& used = CommandPool();
    if (command > 0 && command < used.size()) used[command] = false;
    while (used.size() > 1 && !used.back()) used.pop_back();
}

const std::vector<std::string> kBreakNames = {"mbNone", "mbBreak", "mbBarBreak"};
const std::vector<std::string> kAlignmentNames = {"paLeft", "paRight", "paCenter"};
const std::vector<std::string> kBiDiModeNames = {"bdLeftToRight", "bdRightToLeft", "bdRightToLeftNoAlign",
                                                 "bdRightToLeftReadingOnly"};

std::string StripHotkeys(const std::string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (IsDBCSLeadByte(c) && i + 1 < text.size()) {
            out += text[i];
            out += text[++i];
        } else if (c == '&') {
            if (i + 1 < text.size()) out += text[++i];
        } else {
            out += text[i];
        }
    }
    return out;
}

// The menu font of the system, for measuring and drawing owner-drawn items.
void UseMenuFont(TCanvas* canvas)
{
    NONCLIENTMETRICSW ncm{};
    ncm.cbSize = sizeof ncm;
    if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof ncm, &ncm, 0)) return;
    canvas->Font()->SetName(AnsiFromWide(ncm.lfMenuFont.lfFaceName));
    canvas->Font()->SetHeight(ncm.lfMenuFont.lfHeight);
    canvas->Font()->SetCharset(ncm.lfMenuFont.lfCharSet);
}

constexpr int kImageColumn = 16;  // the check mark or bitmap
constexpr int kTextGap = 8;

}  // namespace

// ---------------------------------------------------------------------------------------------
// Shortcuts and locale

std::string ShortCutModifiersText(TShortCut shortCut)
{
    std::string out;
    if (shortCut & scShift) out += "Shift+";
    if (shortCut & scCtrl) out += "Ctrl+";
    if (shortCut & scAlt) out += "Alt+";
    return out;
}

std::string ShortCutToText(TShortCut shortCut)
{
    static const char* const movement[] = {"Space", "PgUp", "PgDn", "End", "Home", "Left", "Up", "Right", "Down"};
    const int key = shortCut & 0xFF;
    std::string name;
    if (key == 0x08) name = "BkSp";
    else if (key == 0x09) name = "Tab";
    else if (key == 0x0D) name = "Enter";
    else if (key == 0x1B) name = "Esc";
    else if (key >= 0x20 && key <= 0x28) name = movement[key - 0x20];
    else if (key == 0x2D) name = "Ins";
    else if (key == 0x2E) name = "Del";
    else if (key >= 0x30 && key <= 0x39) name = std::string(1, static_cast<char>(key));
    else if (key >= 0x41 && key <= 0x5A) name = std::string(1, static_cast<char>(key));
    else if (key >= 0x60 && key <= 0x69) name = std::string(1, static_cast<char>('0' + key - 0x60));
    else if (key >= 0x70 && key <= 0x87) name = "F" + std::to_string(key - 0x6F);
    else {
        const UINT scan = MapVirtualKeyA(static_cast<UINT>(key), 0);
        if (scan != 0) {
            char buffer[256] = {};
            if (GetKeyNameTextA(static_cast<LONG>(scan << 16), buffer, sizeof buffer) > 0) name = buffer;
        }
    }
    if (name.empty()) return std::string();
    return ShortCutModifiersText(shortCut) + name;
}

const TSysLocale& SysLocale()
{
    static const TSysLocale locale = [] {
        TSysLocale l;
        CPINFO info{};
        const UINT cp = GetACP();
        if (GetCPInfo(cp, &info) && info.MaxCharSize > 1) {
            l.FarEast = true;
            return l;
        }
        // A single-byte code page: right to left when one of its upper characters is.
        char upper[128];
        for (int i = 0; i < 128; ++i) upper[i] = static_cast<char>(128 + i);
        wchar_t wide[128] = {};
        const int n = MultiByteToWideChar(cp, 0, upper, 128, wide, 128);
        WORD types[128] = {};
        if (n > 0 && GetStringTypeW(CT_CTYPE2, wide, n, types)) {
            for (int i = 0; i < n; ++i) {
                if (types[i] == C2_RIGHTTOLEFT) {
                    l.MiddleEast = true;
                    break;
                }
            }
        }
        return l;
    }();
    return locale;
}

bool SameCaption(const std::string& a, const std::string& b)
{
    const std::string x = StripHotkeys(a);
    const std::string y = StripHotkeys(b);
    return CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, x.data(), static_cast<int>(x.size()), y.data(),
                          static_cast<int>(y.size())) == CSTR_EQUAL;
}

// ---------------------------------------------------------------------------------------------
// TMenuActionLink

KERVO_CLASS_RECORD(TMenuActionLink) {}

TMenuActionLink::TMenuActionLink(TMenuItem* client) : TActionLink(client) {}

TMenuItem* TMenuActionLink::MenuItem() const { return static_cast<TMenuItem*>(Client()); }

namespace {
TCustomAction* CustomActionOf(TBasicAction* action)
{
    return IsInstance<TCustomAction>(action) ? static_cast<TCustomAction*>(action) : nullptr;
}
}  // namespace

bool TMenuActionLink::CaptionFollowsAction()
{
    TCustomAction* a = CustomActionOf(Action());
    return TActionLink::CaptionFollowsAction() && a && SameCaption(MenuItem()->Caption(), a->Caption());
}

bool TMenuActionLink::HintFollowsAction()
{
    TCustomAction* a = CustomActionOf(Action());
    return TActionLink::HintFollowsAction() && a && MenuItem()->Hint() == a->Hint();
}

bool TMenuActionLink::EnabledFollowsAction()
{
    TCustomAction* a = CustomActionOf(Action());
    return TActionLink::EnabledFollowsAction() && a && MenuItem()->Enabled() == a->Enabled();
}

bool TMenuActionLink::CheckedFollowsAction()
{
    TCustomAction* a = CustomActionOf(Action());
    return TActionLink::CheckedFollowsAction() && a && MenuItem()->Checked() == a->Checked();
}

bool TMenuActionLink::VisibleFollowsAction()
{
    TCustomAction* a = CustomActionOf(Action());
    return TActionLink::VisibleFollowsAction() && a && MenuItem()->Visible() == a->Visible();
}

bool TMenuActionLink::ShortCutFollowsAction()
{
    TCustomAction* a = CustomActionOf(Action());
    return TActionLink::ShortCutFollowsAction() && a && MenuItem()->ShortCut() == a->ShortCut();
}

void TMenuActionLink::CopyCaptionToClient(const std::string& value)
{
    if (CaptionFollowsAction()) MenuItem()->SetCaption(value);
}

void TMenuActionLink::CopyHintToClient(const std::string& value)
{
    if (HintFollowsAction()) MenuItem()->SetHint(value);
}

void TMenuActionLink::CopyEnabledToClient(bool value)
{
    if (EnabledFollowsAction()) MenuItem()->SetEnabled(value);
}

void TMenuActionLink::CopyCheckedToClient(bool value)
{
    if (CheckedFollowsAction()) MenuItem()->SetChecked(value);
}

void TMenuActionLink::CopyVisibleToClient(bool value)
{
    if (VisibleFollowsAction()) MenuItem()->SetVisible(value);
}

void TMenuActionLink::CopyShortCutToClient(TShortCut value)
{
    if (ShortCutFollowsAction()) MenuItem()->SetShortCut(value);
}

// ---------------------------------------------------------------------------------------------
// TMenuItem

KERVO_CLASS_RECORD(TMenuItem)
{
    b.Object("Action", &TMenuItem::Action, &TMenuItem::SetAction);
    b.Object("Bitmap", &TMenuItem::Bitmap, &TMenuItem::SetBitmap);
    b.Enum("Break", &TMenuItem::Break, &TMenuItem::SetBreak, kBreakNames).Default(TMenuBreak::mbNone);
    b.String("Caption", &TMenuItem::Caption, &TMenuItem::SetCaption).Stored(&TMenuItem::CaptionStored);
    b.Boolean("Checked", &TMenuItem::Checked, &TMenuItem::SetChecked)
        .Default(false)
        .Stored(&TMenuItem::CheckedStored);
    b.Boolean("Default", &TMenuItem::Default, &TMenuItem::SetDefault).Default(false);
    b.Boolean("Enabled", &TMenuItem::Enabled, &TMenuItem::SetEnabled)
        .Default(true)
        .Stored(&TMenuItem::EnabledStored);
    b.String("Hint", &TMenuItem::Hint, &TMenuItem::SetHint).Stored(&TMenuItem::HintStored);
    b.Integer("ImageIndex", &TMenuItem::ImageIndex, &TMenuItem::SetImageIndex).Default(-1);
    b.Boolean("RadioItem", &TMenuItem::RadioItem, &TMenuItem::SetRadioItem).Default(false);
    b.Integer("ShortCut", &TMenuItem::ShortCut, &TMenuItem::SetShortCut)
        .Default(0)
        .Stored(&TMenuItem::ShortCutStored);
    b.Boolean("Visible", &TMenuItem::Visible, &TMenuItem::SetVisible)
        .Default(true)
        .Stored(&TMenuItem::VisibleStored);
    b.Event("OnAdvancedDrawItem", &TMenuItem::OnAdvancedDrawItem);
    b.Event("OnClick", &TMenuItem::OnClick);
    b.Event("OnMeasureItem", &TMenuItem::OnMeasureItem);
}

TMenuItem::TMenuItem(TComponent* owner) : TComponent(owner), command_(AllocateCommand()) {}

TMenuItem::~TMenuItem()
{
    // After Free the item has left its tree already (DestructionStarting). Reached without Free
    // (a plain delete), it leaves it here, letting go of its sub-items instead of freeing them:
    // each one's removal would run this item's ItemChanged, which a descendant overrides and a
    // destructor no longer reaches. Then the number and the handle go back; the action link,
    // then the bitmap, go after.
    LeaveTree(false);
    ReleaseHandle();
    ReleaseCommand(command_);
}

void TMenuItem::DestructionStarting()
{
    LeaveTree(true);  // sub-items go with their item, whoever owns them
    SetAction(nullptr);
    TComponent::DestructionStarting();
}

void TMenuItem::LeaveTree(bool freeSubItems)
{
    if (parent_) parent_->Remove(this);
    if (freeSubItems) Clear();
    for (TMenuItem* item : items_) item->parent_ = nullptr;
    items_.clear();
}

void TMenuItem::ReleaseHandle()
{
    if (!handle_) return;
    // Sub-menus belong to the sub-items: take them out so that destroying this menu leaves them.
    if (IsMenu(handle_)) {
        while (GetMenuItemCount(handle_) > 0) {
            if (!RemoveMenu(handle_, 0, MF_BYPOSITION)) break;
        }
        DestroyMenu(handle_);
    }
    handle_ = nullptr;
}

void TMenuItem::ComponentNotification(TComponent* component, TOperation operation)
{
    TComponent::ComponentNotification(component, operation);
    if (operation == TOperation::Removal && component && component == Action()) SetAction(nullptr);
}

// --- Properties

void TMenuItem::SetCaption(const std::string& caption)
{
    if (caption == caption_) return;
    caption_ = caption;
    ItemChanged(false);
}

void TMenuItem::SetHint(const std::string& hint) { hint_ = hint; }

void TMenuItem::SetVisible(bool visible)
{
    if (visible == visible_) return;
    visible_ = visible;
    ItemChanged(true);
}

void TMenuItem::SetEnabled(bool enabled)
{
    if (enabled == enabled_) return;
    enabled_ = enabled;
    ItemChanged(false);
}

void TMenuItem::SetChecked(bool checked)
{
    if (checked == checked_) return;
    checked_ = checked;
    ItemChanged(false);
}

void TMenuItem::SetDefault(bool value)
{
    if (value == default_) return;
    // One default item per menu.
    if (value && parent_) {
        for (TMenuItem* sibling : parent_->items_) {
            if (sibling != this && sibling->default_) {
                sibling->default_ = false;
                sibling->ItemChanged(false);
            }
        }
    }
    default_ = value;
    ItemChanged(false);
}

void TMenuItem::SetRadioItem(bool value)
{
    if (value == radioItem_) return;
    radioItem_ = value;
    ItemChanged(false);
}

void TMenuItem::SetBreak(TMenuBreak value)
{
    if (value == break_) return;
    break_ = value;
    ItemChanged(false);
}

void TMenuItem::SetShortCut(TShortCut shortCut)
{
    if (shortCut == shortCut_) return;
    shortCut_ = shortCut;
    ItemChanged(false);
}

void TMenuItem::SetImageIndex(int index)
{
    if (index == imageIndex_) return;
    imageIndex_ = index;
    ItemChanged(false);
}

TBitmap* TMenuItem::Bitmap()
{
    if (!bitmap_) {
        bitmap_.reset(new TBitmap());
        bitmap_->OnChange = [this] { ItemChanged(false); };
    }
    return bitmap_.get();
}

void TMenuItem::SetBitmap(TBitmap* bitmap) { Bitmap()->Assign(bitmap); }

bool TMenuItem::HasBitmap() const { return bitmap_ && !bitmap_->Empty(); }

bool TMenuItem::CaptionStored() const { return !actionLink_ || !actionLink_->CaptionFollowsAction(); }
bool TMenuItem::HintStored() const { return !actionLink_ || !actionLink_->HintFollowsAction(); }
bool TMenuItem::EnabledStored() const { return !actionLink_ || !actionLink_->EnabledFollowsAction(); }
bool TMenuItem::CheckedStored() const { return !actionLink_ || !actionLink_->CheckedFollowsAction(); }
bool TMenuItem::VisibleStored() const { return !actionLink_ || !actionLink_->VisibleFollowsAction(); }
bool TMenuItem::ShortCutStored() const { return !actionLink_ || !actionLink_->ShortCutFollowsAction(); }

// --- Tree

TMenuItem* TMenuItem::Items(int index) const
{
    if (index < 0 || index >= Count()) throw EMenuError(ListIndexErrorText(index));
    return items_[static_cast<size_t>(index)];
}

int TMenuItem::IndexOf(const TMenuItem* item) const
{
    auto it = std::find(items_.begin(), items_.end(), item);
    return it == items_.end() ? -1 : static_cast<int>(it - items_.begin());
}

void TMenuItem::Add(TMenuItem* item) { Insert(Count(), item); }

void TMenuItem::Insert(int index, TMenuItem* item)
{
    if (!item) return;
    if (item->parent_) throw EMenuError(std::wstring(L"メニュー項目は既に挿入されています"));
    for (const TMenuItem* p = this; p; p = p->parent_) {
        if (p == item) throw EMenuError(std::wstring(L"メニュー項目を自身の中に挿入することはできません"));
    }
    if (item->menu_) throw EMenuError(std::wstring(L"メニューの根は挿入できません"));
    if (index < 0 || index > Count()) throw EMenuError(ListIndexErrorText(index));
    items_.insert(items_.begin() + index, item);
    item->parent_ = this;
    RebuildHandle();
    ItemChanged(true);
}

void TMenuItem::Remove(TMenuItem* item)
{
    const int index = IndexOf(item);
    if (index < 0) throw EMenuError(std::wstring(L"メニュー項目が見つかりません"));
    items_.erase(items_.begin() + index);
    item->parent_ = nullptr;
    RebuildHandle();
    ItemChanged(true);
}

void TMenuItem::Delete(int index) { Remove(Items(index)); }

void TMenuItem::Clear()
{
    while (!items_.empty()) {
        TMenuItem* item = items_.back();
        item->Free();
        if (!items_.empty() && items_.back() == item) {
            items_.pop_back();
            item->parent_ = nullptr;
        }
    }
}

TMenu* TMenuItem::GetParentMenu() const
{
    const TMenuItem* item = this;
    while (item->parent_) item = item->parent_;
    return item->menu_;
}

// --- Windows menu

HMENU TMenuItem::Handle()
{
    // A sub-menu handed to someone else's menu goes when that menu is destroyed.
    if (handle_ && !IsMenu(handle_)) handle_ = nullptr;
    if (!handle_) {
        HMENU menu = menu_ ? menu_->CreateMenuHandle() : CreatePopupMenu();
        if (!menu) RaiseLastOSError();
        handle_ = menu;
        try {
            PopulateMenu();
        } catch (...) {
            ReleaseHandle();
            throw;
        }
    }
    return handle_;
}

void TMenuItem::PopulateMenu()
{
    for (TMenuItem* item : items_) {
        if (item->visible_) item->AppendTo(handle_);
    }
}

void TMenuItem::RebuildHandle()
{
    if (!handle_) return;
    if (!IsMenu(handle_)) {
        handle_ = nullptr;
        return;
    }
    while (GetMenuItemCount(handle_) > 0) {
        if (!RemoveMenu(handle_, 0, MF_BYPOSITION)) break;
    }
    PopulateMenu();
}

std::string TMenuItem::MenuText() const
{
    if (items_.empty() && shortCut_ != 0) {
        const bool mainMenuTopLevel = parent_ && !parent_->parent_ && parent_->menu_ &&
                                      IsInstance<TMainMenu>(parent_->menu_);
        if (!mainMenuTopLevel) return caption_ + "\t" + ShortCutToText(shortCut_);
    }
    return caption_;
}

bool TMenuItem::IsOwnerDrawn() const
{
    TMenu* menu = GetParentMenu();
    if (menu && (menu->OwnerDraw() || menu->Images())) return true;
    return HasBitmap();
}

void TMenuItem::AppendTo(HMENU menu)
{
    TMenu* owner = GetParentMenu();
    if (!InsertInto(menu, command_, owner && owner->IsRightToLeft())) RaiseLastOSError();
}

bool TMenuItem::InsertInto(HMENU menu, UINT id, bool rightToLeft)
{
    MENUITEMINFOA mii{};
    mii.cbSize = sizeof mii;
    mii.fMask = MIIM_STATE | MIIM_ID | MIIM_SUBMENU | MIIM_CHECKMARKS | MIIM_TYPE | MIIM_DATA;
    UINT type = 0;
    if (radioItem_) type |= MFT_RADIOCHECK;
    if (break_ == TMenuBreak::mbBreak) type |= MFT_MENUBREAK;
    if (break_ == TMenuBreak::mbBarBreak) type |= MFT_MENUBARBREAK;
    if (IsLine()) type |= MFT_SEPARATOR;
    if (rightToLeft) type |= MFT_RIGHTORDER | MFT_RIGHTJUSTIFY;
    if (IsOwnerDrawn()) type |= MFT_OWNERDRAW;
    mii.fType = type;
    UINT state = 0;
    if (checked_) state |= MFS_CHECKED;
    if (!enabled_) state |= MFS_GRAYED;
    if (default_) state |= MFS_DEFAULT;
    mii.fState = state;
    mii.wID = id;
    mii.hSubMenu = items_.empty() ? nullptr : Handle();
    std::string text = MenuText();
    mii.dwTypeData = text.data();
    mii.cch = static_cast<UINT>(text.size());
    return InsertMenuItemA(menu, 0xFFFFFFFFu, TRUE, &mii) != FALSE;
}

void TMenuItem::ItemChanged(bool)
{
    if (!parent_) return;
    parent_->RebuildHandle();
    if (parent_->menu_ && IsInstance<TMainMenu>(parent_->menu_)) {
        HWND window = static_cast<TMainMenu*>(parent_->menu_)->WindowHandle();
        if (window && IsWindow(window)) DrawMenuBar(window);
    }
}

// --- Actions

TBasicAction* TMenuItem::Action() const { return actionLink_ ? actionLink_->Action() : nullptr; }

TMenuActionLink* TMenuItem::CreateActionLink() { return new TMenuActionLink(this); }

void TMenuItem::SetAction(TBasicAction* action)
{
    TBasicAction* old = Action();
    if (action == old) return;
    if (old) old->RemoveFreeNotification(this);
    if (!action) {
        actionLink_.reset();
        return;
    }
    if (!actionLink_) actionLink_.reset(CreateActionLink());
    actionLink_->SetAction(action);
    action->FreeNotification(this);
    // Read from a form resource, the item keeps the values it was given there.
    ActionChanged(action, IsLoading());
}

void TMenuItem::ActionChanged(TBasicAction* action, bool checkDefaults)
{
    TCustomAction* a = CustomActionOf(action);
    if (!a) return;
    if (!checkDefaults || caption_.empty()) SetCaption(a->Caption());
    if (!checkDefaults || !checked_) SetChecked(a->Checked());
    if (!checkDefaults || enabled_) SetEnabled(a->Enabled());
    if (!checkDefaults || hint_.empty()) SetHint(a->Hint());
    if (!checkDefaults || shortCut_ == 0) SetShortCut(a->ShortCut());
    if (!checkDefaults || visible_) SetVisible(a->Visible());
}

void TMenuItem::Click()
{
    if (!enabled_) return;
    TBasicAction* action = Action();
    if (OnClick && (!action || !(OnClick == action->OnExecute))) {
        OnClick(this);
    } else if (actionLink_) {
        actionLink_->Execute(this);
    }
}

// --- Owner drawing

void TMenuItem::Measure(TCanvas* canvas, int& width, int& height)
{
    UseMenuFont(canvas);
    if (IsLine()) {
        width = kImageColumn;
        height = GetSystemMetrics(SM_CYMENU) / 2;
    } else {
        RECT r{0, 0, 0, 0};
        canvas->TextRect(r, caption_.empty() ? std::string(" ") : caption_, DT_CALCRECT | DT_SINGLELINE | DT_NOCLIP);
        width = kImageColumn + kTextGap + (r.right - r.left) + kTextGap;
        height = std::max<int>(r.bottom - r.top + 4, GetSystemMetrics(SM_CYMENU));
        if (HasBitmap()) height = std::max(height, bitmap_->Height() + 4);
        const bool topLevel = parent_ && parent_->menu_ && IsInstance<TMainMenu>(parent_->menu_);
        if (shortCut_ != 0 && !topLevel) width += kTextGap * 2 + canvas->TextWidth(ShortCutToText(shortCut_));
    }
    if (OnMeasureItem) OnMeasureItem(this, canvas, width, height);
}

void TMenuItem::AdvancedDraw(TCanvas* canvas, const RECT& rect, UINT state, bool topLevel)
{
    if (OnAdvancedDrawItem) {
        OnAdvancedDrawItem(this, canvas, rect, state);
        return;
    }
    const bool selected = (state & ODS_SELECTED) != 0;
    const bool rightToLeft = GetParentMenu() && GetParentMenu()->IsRightToLeft();
    UseMenuFont(canvas);
    canvas->Brush()->SetColor(selected && !IsLine() ? clHighlight : clMenu);
    canvas->FillRect(rect);
    if (IsLine()) {
        RECT line{rect.left, rect.top + (rect.bottom - rect.top) / 2 - 1, rect.right, rect.bottom};
        DrawEdge(canvas->Handle(), &line, EDGE_ETCHED, BF_TOP);
        return;
    }
    RECT image = rect;
    if (rightToLeft) image.left = image.right - kImageColumn;
    else image.right = image.left + kImageColumn;
    if (HasBitmap()) {
        const int x = image.left + (kImageColumn - bitmap_->Width()) / 2;
        const int y = image.top + (image.bottom - image.top - bitmap_->Height()) / 2;
        canvas->DrawMasked(x, y, bitmap_.get(), bitmap_->Canvas()->Pixel(0, bitmap_->Height() - 1));
    } else if (checked_) {
        RECT mark{image.left, image.top + (image.bottom - image.top - kImageColumn) / 2, image.right, 0};
        mark.bottom = mark.top + kImageColumn;
        DrawFrameControl(canvas->Handle(), &mark, DFC_MENU, radioItem_ ? DFCS_MENUBULLET : DFCS_MENUCHECK);
    }
    canvas->Brush()->SetStyle(TBrushStyle::bsClear);
    RECT text = rect;
    if (rightToLeft) text.right -= kImageColumn + kTextGap;
    else text.left += kImageColumn + kTextGap;
    UINT format = DT_SINGLELINE | DT_VCENTER | DT_EXPANDTABS | (rightToLeft ? DT_RIGHT : DT_LEFT);
    if (state & ODS_NOACCEL) format |= DT_HIDEPREFIX;
    if (default_) canvas->Font()->SetStyle({TFontStyle::fsBold});
    auto drawText = [&](RECT r, UINT fmt, const std::string& s) {
        if (!enabled_) {
            if (!selected) {
                canvas->Font()->SetColor(clBtnHighlight);
                RECT shifted{r.left + 1, r.top + 1, r.right + 1, r.bottom + 1};
                canvas->TextRect(shifted, s, fmt);
            }
            canvas->Font()->SetColor(clBtnShadow);
        } else {
            canvas->Font()->SetColor(selected ? clHighlightText : clMenuText);
        }
        canvas->TextRect(r, s, fmt);
    };
    drawText(text, format, caption_);
    if (shortCut_ != 0 && !topLevel && items_.empty()) {
        RECT keys = text;
        if (rightToLeft) keys.left = rect.left + 10;
        else keys.right = rect.right - 10;
        drawText(keys, (format & ~(DT_LEFT | DT_RIGHT)) | (rightToLeft ? DT_LEFT : DT_RIGHT), ShortCutToText(shortCut_));
    }
}

// --- Form resources

TComponent* TMenuItem::GetParentComponent() const
{
    if (parent_ && parent_->menu_) return parent_->menu_;
    return parent_;
}

void TMenuItem::SetParentComponent(TComponent* parent)
{
    if (parent_) return;
    if (IsInstance<TMenu>(parent)) static_cast<TMenu*>(parent)->Items()->Add(this);
    else if (IsInstance<TMenuItem>(parent)) static_cast<TMenuItem*>(parent)->Add(this);
}

void TMenuItem::GetChildren(const std::function<void(TComponent*)>& proc, TComponent* root)
{
    const std::vector<TMenuItem*> snapshot = items_;
    for (TMenuItem* item : snapshot) {
        if (item->Owner() == root) proc(item);
    }
}

// ---------------------------------------------------------------------------------------------
// TMenu

KERVO_CLASS_RECORD(TMenu)
{
    b.Enum("BiDiMode", &TMenu::BiDiMode, &TMenu::SetBiDiMode, kBiDiModeNames).Default(TBiDiMode::bdLeftToRight);
    b.Object("Images", &TMenu::Images, &TMenu::SetImages);
    b.Boolean("OwnerDraw", &TMenu::OwnerDraw, &TMenu::SetOwnerDraw).Default(false);
}

TMenu::TMenu(TComponent* owner) : TComponent(owner)
{
    items_ = new TMenuItem(this);
    items_->menu_ = this;
}

HMENU TMenu::CreateMenuHandle() { return CreatePopupMenu(); }

void TMenu::RebuildItems(TMenuItem* item)
{
    if (!item->handle_) return;
    for (TMenuItem* sub : item->items_) RebuildItems(sub);
    item->RebuildHandle();
}

void TMenu::SetOwnerDraw(bool value)
{
    if (value == ownerDraw_) return;
    ownerDraw_ = value;
    RebuildItems(items_);
}

void TMenu::SetImages(TComponent* images)
{
    if (images == images_) return;
    if (images_) images_->RemoveFreeNotification(this);
    images_ = images;
    if (images_) images_->FreeNotification(this);
    RebuildItems(items_);
}

void TMenu::SetBiDiMode(TBiDiMode mode)
{
    if (mode == biDiMode_) return;
    biDiMode_ = mode;
    RebuildItems(items_);
}

bool TMenu::IsRightToLeft() const { return SysLocale().MiddleEast && biDiMode_ != TBiDiMode::bdLeftToRight; }

TMenuItem* TMenu::FindItem(uint32_t value, TFindItemKind kind) const
{
    std::function<TMenuItem*(TMenuItem*)> search = [&](TMenuItem* item) -> TMenuItem* {
        for (TMenuItem* sub : item->items_) {
            bool hit = false;
            switch (kind) {
            case TFindItemKind::fkCommand: hit = sub->command_ == value; break;
            case TFindItemKind::fkHandle: hit = sub->handle_ && reinterpret_cast<uintptr_t>(sub->handle_) == value; break;
            case TFindItemKind::fkShortCut: hit = sub->shortCut_ != 0 && sub->shortCut_ == value; break;
            }
            if (hit) return sub;
            if (TMenuItem* found = search(sub)) return found;
        }
        return nullptr;
    };
    return search(items_);
}

bool TMenu::DispatchCommand(uint16_t command)
{
    TMenuItem* item = FindItem(command, TFindItemKind::fkCommand);
    if (!item) return false;
    item->Click();
    return true;
}

void TMenu::ComponentNotification(TComponent* component, TOperation operation)
{
    TComponent::ComponentNotification(component, operation);
    if (operation == TOperation::Removal && component && component == images_) SetImages(nullptr);
}

void TMenu::GetChildren(const std::function<void(TComponent*)>& proc, TComponent* root)
{
    items_->GetChildren(proc, root);
}

KERVO_CLASS_RECORD(TMainMenu) {}

HMENU TMainMenu::CreateMenuHandle() { return CreateMenu(); }

// ---------------------------------------------------------------------------------------------
// TPopupMenu

KERVO_CLASS_RECORD(TPopupMenu)
{
    b.Enum("Alignment", &TPopupMenu::Alignment, &TPopupMenu::SetAlignment, kAlignmentNames)
        .Default(TPopupAlignment::paLeft);
    b.Event("OnPopup", &TPopupMenu::OnPopup);
}

TPopupMenu::TPopupMenu(TComponent* owner) : TMenu(owner)
{
    list_ = PopupList();
    list_->Add(this);
}

TPopupMenu::~TPopupMenu()
{
    // Reached without Free (a plain delete); after Free the menu has left the list already.
    LeavePopupList();
}

void TPopupMenu::DestructionStarting()
{
    // First: the list hands commands to the menus it holds, and the items are freed next.
    LeavePopupList();
    TMenu::DestructionStarting();
}

void TPopupMenu::LeavePopupList()
{
    if (list_) list_->Remove(this);
    list_ = nullptr;
}

void TPopupMenu::Popup(int x, int y)
{
    popupPoint_ = {x, y};
    if (OnPopup) OnPopup(this);
    static const UINT flags[2][3] = {{TPM_LEFTALIGN, TPM_RIGHTALIGN, TPM_CENTERALIGN},
                                     {TPM_RIGHTALIGN, TPM_LEFTALIGN, TPM_CENTERALIGN}};
    const UINT align = flags[IsRightToLeft() ? 1 : 0][static_cast<int>(alignment_)];
    TPopupList* list = list_ ? list_ : PopupList();
    TrackPopupMenu(Handle(), align | TPM_RIGHTBUTTON, x, y, 0, list->Window(), nullptr);
}

// ---------------------------------------------------------------------------------------------
// TPopupList

KERVO_CLASS_RECORD(TPopupList) {}

namespace {
// The popup-list window whose message this thread is handling (the innermost, when one comes
// inside another): each thread's windows are its own, so its messages come on it.
thread_local HWND servedWindow = nullptr;
}  // namespace

TPopupList::~TPopupList()
{
    for (const auto& w : windows_) DeallocateUtilWindow(w->Window);
}

void TPopupList::Add(TPopupMenu* menu)
{
    std::lock_guard<std::mutex> guard(lock_);
    const auto same = [menu](const MenuEntry& e) { return e.Menu == menu; };
    if (std::none_of(menus_.begin(), menus_.end(), same)) menus_.push_back({menu, GetCurrentThreadId()});
}

void TPopupList::Remove(TPopupMenu* menu)
{
    std::lock_guard<std::mutex> guard(lock_);
    std::erase_if(menus_, [menu](const MenuEntry& e) { return e.Menu == menu; });
}

bool TPopupList::Holds(TPopupMenu* menu) const
{
    std::lock_guard<std::mutex> guard(lock_);
    return std::any_of(menus_.begin(), menus_.end(), [menu](const MenuEntry& e) { return e.Menu == menu; });
}

std::vector<TPopupMenu*> TPopupList::Menus() const
{
    const DWORD thread = GetCurrentThreadId();
    std::lock_guard<std::mutex> guard(lock_);
    std::vector<TPopupMenu*> menus;
    for (const MenuEntry& e : menus_)
        if (e.Thread == thread) menus.push_back(e.Menu);
    return menus;
}

HWND TPopupList::Window()
{
    const DWORD thread = GetCurrentThreadId();
    {
        std::lock_guard<std::mutex> guard(lock_);
        // The window of a thread that has ended went with it.
        std::erase_if(windows_, [](const auto& w) { return !IsWindow(w->Window); });
        for (const auto& w : windows_)
            if (w->Thread == thread) return w->Window;
    }
    // Only this thread adds its own window, so no other can have come in between.
    auto entry = std::make_unique<ThreadWindow>(ThreadWindow{this, thread, nullptr});
    entry->Window = AllocateUtilWindow(TWndMethod::Bind<&ThreadWindow::WndProc>(entry.get()), false);
    const HWND window = entry->Window;
    std::lock_guard<std::mutex> guard(lock_);
    windows_.push_back(std::move(entry));
    return window;
}

void TPopupList::ThreadWindow::WndProc(TMessage& message)
{
    const HWND outer = std::exchange(servedWindow, Window);
    struct Restore {
        HWND window;
        ~Restore() { servedWindow = window; }
    } restore{outer};
    List->HandleWindowMessage(message);
}

TMenuItem* TPopupList::FindItem(uint32_t command) const
{
    for (TPopupMenu* menu : Menus()) {
        if (TMenuItem* item = menu->FindItem(command, TFindItemKind::fkCommand)) return item;
    }
    return nullptr;
}

void TPopupList::HandleWindowMessage(TMessage& message)
{
    switch (message.Msg) {
    case WM_COMMAND:
        if (HIWORD(message.WParam) == 0 && message.LParam == 0) {
            const auto command = static_cast<uint16_t>(LOWORD(message.WParam));
            const std::vector<TPopupMenu*> snapshot = Menus();
            for (TPopupMenu* menu : snapshot) {
                if (!Holds(menu)) continue;  // freed by an earlier item's command
                if (menu->DispatchCommand(command)) return;
            }
        }
        break;
    case WM_MEASUREITEM: {
        auto* mis = reinterpret_cast<MEASUREITEMSTRUCT*>(message.LParam);
        if (mis && mis->CtlType == ODT_MENU) {
            if (TMenuItem* item = FindItem(mis->itemID)) {
                const TWindowDC dc(servedWindow, true);
                if (!dc.Get()) break;  // the system's sizes stand
                TCanvas canvas;
                const TCanvasBinding binding(canvas, dc.Get());
                int width = static_cast<int>(mis->itemWidth);
                int height = static_cast<int>(mis->itemHeight);
                item->Measure(&canvas, width, height);
                mis->itemWidth = static_cast<UINT>(std::max(width, 0));
                mis->itemHeight = static_cast<UINT>(std::max(height, 0));
                message.Result = 1;
                return;
            }
        }
        break;
    }
    case WM_DRAWITEM: {
        auto* dis = reinterpret_cast<DRAWITEMSTRUCT*>(message.LParam);
        if (dis && dis->CtlType == ODT_MENU) {
            if (TMenuItem* item = FindItem(dis->itemID)) {
                const TSavedDC saved(dis->hDC);
                TCanvas canvas;
                const TCanvasBinding binding(canvas, dis->hDC);
                item->AdvancedDraw(&canvas, dis->rcItem, dis->itemState, false);
                message.Result = 1;
                return;
            }
        }
        break;
    }
    default: break;
    }
    DefaultHandler(message);
}

void TPopupList::DefaultHandler(TMessage& message)
{
    message.Result = DefWindowProcW(servedWindow, message.Msg, message.WParam, message.LParam);
}

namespace {
// The list in force when it is not the library's own: one pointer, set on one thread (the
// Unicode layer puts its predecessor back as a menu loop starts) and read on any that makes or
// shows a popup menu, so atomic (Threading.h).
std::atomic<TPopupList*> currentPopupList{nullptr};

TPopupList& OwnPopupList()
{
    static TPopupList list;
    return list;
}
}  // namespace

TPopupList* PopupList()
{
    TPopupList* list = currentPopupList.load();
    return list ? list : &OwnPopupList();
}

void SetPopupList(TPopupList* list) { currentPopupList.store(list); }
