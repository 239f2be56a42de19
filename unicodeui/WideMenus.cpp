// Wide menu items, shortcut texts and hot-key marks, and the popup list that routes menu hints.
#include "WideMenus.h"

#include <cstddef>
#include <memory>

#include "WideActions.h"
#include "WideCodePages.h"
#include "WideControls.h"
#include "WideForms.h"
#include "WideStreaming.h"

// ---------------------------------------------------------------------------------------------
// Shortcut texts

namespace {

// The keys whose name the class library's shortcut text gives by itself.
bool NamedByClassLibrary(int key)
{
    return key == 0x08 || key == 0x09 || key == 0x0D || key == 0x1B || (key >= 0x20 && key <= 0x28) ||
           key == 0x2D || key == 0x2E || (key >= 0x70 && key <= 0x87);
}

std::wstring WideKeyName(int key)
{
    const bool oneCharacter = (key >= 0x30 && key <= 0x39) || (key >= 0x41 && key <= 0x5A) || (key >= 0x60 && key <= 0x69);
    if (oneCharacter) {
        // The high bit marks a dead key; the character is in the low word.
        const wchar_t c = static_cast<wchar_t>(MapVirtualKeyW(static_cast<UINT>(key), MAPVK_VK_TO_CHAR) & 0xFFFF);
        return c ? std::wstring(1, c) : std::wstring();
    }
    const UINT scan = MapVirtualKeyW(static_cast<UINT>(key), MAPVK_VK_TO_VSC);
    if (scan == 0) return std::wstring();
    wchar_t buffer[256] = {};
    const int n = GetKeyNameTextW(static_cast<LONG>(scan << 16), buffer, 256);
    return n > 0 ? std::wstring(buffer, static_cast<size_t>(n)) : std::wstring();
}

}  // namespace

std::wstring ShortCutToWideText(TShortCut shortCut)
{
    const int key = shortCut & 0xFF;
    if (!UnicodePlatform || NamedByClassLibrary(key)) return WideFromAnsi(ShortCutToText(shortCut));
    const std::wstring name = WideKeyName(key);
    if (name.empty()) return std::wstring();
    return WideFromAnsi(ShortCutModifiersText(shortCut)) + name;
}

// ---------------------------------------------------------------------------------------------
// Hot-key marks

namespace {

// The 0-based index of the last single "&" that marks a character, or npos.
size_t LastMarkIndex(const std::wstring& text)
{
    size_t found = std::wstring::npos;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != L'&') continue;
        if (i + 1 >= text.size()) break;
        if (text[i + 1] != L'&') found = i;
        ++i;  // the marked character, or the second "&" of a literal
    }
    return found;
}

// The mark at index is the Far East form "(&X)" after at least one other character.
bool IsParenthesisedMark(const std::wstring& text, size_t mark)
{
    return SysLocale().FarEast && mark != std::wstring::npos && mark >= 2 && text[mark - 1] == L'(' &&
           mark + 2 < text.size() && text[mark + 2] == L')';
}

std::wstring RemoveMarks(const std::wstring& text)
{
    std::wstring out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'&') {
            if (i + 1 < text.size()) out += text[++i];
        } else {
            out += text[i];
        }
    }
    return out;
}

}  // namespace

int HotkeyPosition(const std::wstring& text)
{
    const size_t mark = LastMarkIndex(text);
    return mark == std::wstring::npos ? 0 : static_cast<int>(mark) + 2;
}

std::wstring StripHotkeyMarks(const std::wstring& text)
{
    const size_t mark = LastMarkIndex(text);
    if (IsParenthesisedMark(text, mark)) return RemoveMarks(text.substr(0, mark - 1) + text.substr(mark + 3));
    return RemoveMarks(text);
}

std::wstring ApplyAnsiHotkey(const std::wstring& ansiCaption, const std::wstring& wideCaption)
{
    std::wstring result = StripHotkeyMarks(wideCaption);
    const size_t mark = LastMarkIndex(ansiCaption);
    if (mark == std::wstring::npos) return result;
    if (IsParenthesisedMark(ansiCaption, mark)) {
        // Where the opening parenthesis stands once the marks before it are gone.
        const size_t at = RemoveMarks(ansiCaption.substr(0, mark - 1)).size();
        if (at <= result.size()) result.insert(at, std::wstring(L"(&") + ansiCaption[mark + 1] + L")");
        return result;
    }
    const size_t at = RemoveMarks(ansiCaption.substr(0, mark)).size();
    if (at < result.size()) result.insert(at, 1, L'&');
    return result;
}

bool SameCaptionIgnoringHotkeys(const std::wstring& a, const std::wstring& b)
{
    const std::wstring x = StripHotkeyMarks(a);
    const std::wstring y = StripHotkeyMarks(b);
    return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, x.data(), static_cast<int>(x.size()), y.data(),
                          static_cast<int>(y.size())) == CSTR_EQUAL;
}

// ---------------------------------------------------------------------------------------------
// TWideMenuItem

KERVO_CLASS_RECORD(TWideMenuItem)
{
    b.WideString("Caption", &TWideMenuItem::WideCaption, &TWideMenuItem::SetWideCaption)
        .Stored(&TWideMenuItem::IsCaptionStored);
    b.WideString("Hint", &TWideMenuItem::WideHint, &TWideMenuItem::SetWideHint).Stored(&TWideMenuItem::IsHintStored);
}

std::wstring TWideMenuItem::WideCaption()
{
    const std::string ansi = Caption();
    const std::wstring ansiAsWide = WideFromAnsi(ansi);
    // The class library may move the hot key of a caption by itself: the wide copy follows it.
    if (AnsiFromWide(wideCaption_) != ansi &&
        SameCaptionIgnoringHotkeys(WideFromAnsi(AnsiFromWide(wideCaption_)), ansiAsWide)) {
        wideCaption_ = ApplyAnsiHotkey(ansiAsWide, wideCaption_);
    }
    return GetPairedWideText(wideCaption_, ansi);
}

void TWideMenuItem::SetWideCaption(const std::wstring& value)
{
    WideCaption();
    SetPairedWideText(value, wideCaption_, Caption(), [this](const std::string& ansi) { SetCaption(ansi); });
}

std::wstring TWideMenuItem::WideHint() { return GetPairedWideText(wideHint_, Hint()); }

void TWideMenuItem::SetWideHint(const std::wstring& value)
{
    // The class library's hint setter only stores the field.
    SetPairedWideText(value, wideHint_, Hint(), [this](const std::string& ansi) { SetHint(ansi); });
}

bool TWideMenuItem::IsCaptionStored() const { return !ActionLink() || !ActionLink()->CaptionFollowsAction(); }
bool TWideMenuItem::IsHintStored() const { return !ActionLink() || !ActionLink()->HintFollowsAction(); }

void TWideMenuItem::DefineStreamedProperties(TFiler& filer)
{
    TMenuItem::DefineStreamedProperties(filer);
    DefineWideStringProperties(filer, this);
}

void TWideMenuItem::AfterLoad()
{
    TMenuItem::AfterLoad();
    RefreshWideCaption(this, GetParentMenu());
}

void TWideMenuItem::AppendTo(HMENU menu)
{
    TMenuItem::AppendTo(menu);
    RefreshWideCaption(this, GetParentMenu());
}

void TWideMenuItem::ItemChanged(bool rebuild)
{
    if (ignoreChange_) return;
    TMenuItem::ItemChanged(rebuild);
    RefreshWideCaptionsBelow(this, GetParentMenu());
    RefreshFirstItemForRightToLeft(GetParentMenu());
}

TMenuActionLink* TWideMenuItem::CreateActionLink() { return new TWideMenuActionLink(this); }

void TWideMenuItem::ActionChanged(TBasicAction* action, bool checkDefaults)
{
    if (IsInstance<TCustomAction>(action) && QueryInterfaceOf<IWideAction>(action)) {
        auto* a = static_cast<TCustomAction*>(action);
        if (!checkDefaults || WideCaption().empty()) SetWideCaption(GetWideActionCaption(a));
        if (!checkDefaults || WideHint().empty()) SetWideHint(GetWideActionHint(a));
    }
    TMenuItem::ActionChanged(action, checkDefaults);
}

std::wstring MenuItemWideHint(TMenuItem* item)
{
    if (!item) return std::wstring();
    if (IsInstance<TWideMenuItem>(item)) return static_cast<TWideMenuItem*>(item)->WideHint();
    return WideFromAnsi(item->Hint());
}

// --- The Windows menu

namespace {

bool IsMainMenuTopLevel(TMenuItem* item)
{
    TMenuItem* parent = item->Parent();
    return parent && parent->IsMenuRoot() && IsInstance<TMainMenu>(parent->GetParentMenu());
}

std::wstring MenuStringByCommand(HMENU menu, UINT command)
{
    const int length = GetMenuStringW(menu, command, nullptr, 0, MF_BYCOMMAND);
    if (length <= 0) return std::wstring();
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const int copied = GetMenuStringW(menu, command, text.data(), length + 1, MF_BYCOMMAND);
    text.resize(static_cast<size_t>(copied > 0 ? copied : 0));
    return text;
}

}  // namespace

void RefreshWideCaption(TMenuItem* item, TMenu* menu)
{
    if (!UnicodePlatform || !menu || !IsInstance<TWideMenuItem>(item)) return;
    auto* wide = static_cast<TWideMenuItem*>(item);
    TMenuItem* parent = wide->Parent();
    if (!parent || !wide->Visible() || wide->IsReading() || wide->IsDestroying()) return;
    // Nothing to write into before the parent's Windows menu exists: appending writes it then.
    if (!parent->HandleAllocated()) return;
    HMENU parentMenu = parent->Handle();
    wchar_t buffer[80] = {};
    MENUITEMINFOW info{};
    // The record without its last member (hbmpItem), as every version of Windows takes it.
    info.cbSize = static_cast<UINT>(offsetof(MENUITEMINFOW, hbmpItem));
    info.fMask = MIIM_TYPE;
    info.dwTypeData = buffer;
    info.cch = 80;
    if (!GetMenuItemInfoW(parentMenu, wide->Command(), FALSE, &info)) return;
    if (info.fType & (MFT_BITMAP | MFT_OWNERDRAW | MFT_SEPARATOR)) return;
    std::wstring text = wide->WideCaption();
    if (wide->Count() == 0 && wide->ShortCut() != 0 && !IsMainMenuTopLevel(wide)) {
        text += L"\t" + ShortCutToWideText(wide->ShortCut());
    }
    if (MenuStringByCommand(parentMenu, wide->Command()) == text) return;
    info.fMask = MIIM_TYPE;
    info.dwTypeData = text.data();
    info.cch = static_cast<UINT>(text.size());
    if (!SetMenuItemInfoW(parentMenu, wide->Command(), FALSE, &info)) RaiseLastOSError();
    if (IsMainMenuTopLevel(wide)) {
        HWND window = static_cast<TMainMenu*>(menu)->WindowHandle();
        if (window && IsWindow(window)) DrawMenuBar(window);
    }
}

void RefreshWideCaptionsBelow(TMenuItem* item, TMenu* menu)
{
    for (int i = item->Count() - 1; i >= 0; --i) {
        TMenuItem* sub = item->Items(i);
        if (!sub->IsReading() && !sub->IsDestroying()) RefreshWideCaptionsBelow(sub, menu);
    }
    RefreshWideCaption(item, menu);
}

void RefreshFirstItemForRightToLeft(TMenu* menu)
{
    if (!SysLocale().MiddleEast || !menu || menu->Items()->Count() == 0) return;
    TMenuItem* first = menu->Items()->Items(0);
    if (IsInstance<TWideMenuItem>(first)) RefreshWideCaption(first, menu);
}

// --- Owner drawing

namespace {

constexpr int kImageColumn = 16;  // the class library's check-mark and bitmap column
constexpr int kTextGap = 8;       // and the gap before the text

UINT AlignmentFormat(TMenu* menu)
{
    if (!IsInstance<TPopupMenu>(menu)) return DT_LEFT;
    switch (static_cast<TPopupMenu*>(menu)->Alignment()) {
    case TPopupAlignment::paRight: return DT_RIGHT;
    case TPopupAlignment::paCenter: return DT_CENTER;
    default: return DT_LEFT;
    }
}

UINT MirroredAlignment(UINT format)
{
    if (format & DT_RIGHT) return (format & ~DT_RIGHT) | DT_LEFT;
    if (format & DT_CENTER) return format;
    return format | DT_RIGHT;
}

int CalcWidth(TCanvas* canvas, const std::wstring& text, bool rightToLeft)
{
    RECT r{0, 0, 0, 0};
    DrawWideMenuText(canvas, text, DT_CALCRECT | DT_SINGLELINE | DT_NOCLIP | DT_EXPANDTABS, false, r, true, rightToLeft);
    return r.right - r.left;
}

int CalcAnsiWidth(TCanvas* canvas, const std::string& text)
{
    RECT r{0, 0, 0, 0};
    canvas->TextRect(r, text.empty() ? std::string(" ") : text, DT_CALCRECT | DT_SINGLELINE | DT_NOCLIP | DT_EXPANDTABS);
    return r.right - r.left;
}

}  // namespace

void DrawWideMenuText(TCanvas* canvas, const std::wstring& text, UINT format, bool selected, RECT& rect, bool enabled,
                  bool rightToLeft)
{
    if (rightToLeft) format = MirroredAlignment(format) | DT_RTLREADING;
    std::wstring shown = text;
    if ((format & DT_CALCRECT) && (shown.empty() || shown == L"&")) shown += L" ";
    HDC dc = canvas->Handle();
    const int oldMode = SetBkMode(dc, TRANSPARENT);
    if (!enabled && !(format & DT_CALCRECT)) {
        const COLORREF highlight = GetSysColor(COLOR_BTNHIGHLIGHT);
        const COLORREF shadow = GetSysColor(COLOR_BTNSHADOW);
        if (!selected) {
            RECT shifted = rect;
            OffsetRect(&shifted, 1, 1);
            SetTextColor(dc, highlight);
            DrawTextW(dc, shown.c_str(), -1, &shifted, format);
        }
        SetTextColor(dc, selected && highlight == shadow ? highlight : shadow);
    }
    DrawTextW(dc, shown.c_str(), -1, &rect, format);
    SetBkMode(dc, oldMode);
}

void TWideMenuItem::Measure(TCanvas* canvas, int& width, int& height)
{
    if (!UnicodePlatform || IsLine()) {
        TMenuItem::Measure(canvas, width, height);
        return;
    }
    // The event sees the corrected width: held back while the class library measures.
    TMenuMeasureItemEvent held = OnMeasureItem;
    OnMeasureItem.Clear();
    try {
        TMenuItem::Measure(canvas, width, height);
    } catch (...) {
        OnMeasureItem = held;
        throw;
    }
    OnMeasureItem = held;
    const bool rightToLeft = GetParentMenu() && GetParentMenu()->IsRightToLeft();
    width += CalcWidth(canvas, WideCaption(), rightToLeft) - CalcAnsiWidth(canvas, Caption());
    if (ShortCut() != 0 && !IsMainMenuTopLevel(this)) {
        width += CalcWidth(canvas, ShortCutToWideText(ShortCut()), rightToLeft) -
                 CalcAnsiWidth(canvas, ShortCutToText(ShortCut()));
    }
    if (OnMeasureItem) OnMeasureItem(this, canvas, width, height);
}

void TWideMenuItem::AdvancedDraw(TCanvas* canvas, const RECT& rect, UINT state, bool topLevel)
{
    TMenu* menu = GetParentMenu();
    const bool eventDraws = menu && (menu->OwnerDraw() || menu->Images()) && OnAdvancedDrawItem;
    if (!UnicodePlatform || IsLine() || eventDraws) {
        TMenuItem::AdvancedDraw(canvas, rect, state, topLevel);
        return;
    }
    // The class library draws the item without its texts; they go back unnoticed afterwards.
    const std::wstring wideCaption = wideCaption_;
    const std::string caption = Caption();
    const TShortCut shortCut = ShortCut();
    auto restore = [&] {
        ignoreChange_ = true;
        SetCaption(caption);
        SetShortCut(shortCut);
        wideCaption_ = wideCaption;
        ignoreChange_ = false;
    };
    ignoreChange_ = true;
    SetCaption(std::string());
    SetShortCut(0);
    ignoreChange_ = false;
    try {
        TMenuItem::AdvancedDraw(canvas, rect, state, topLevel);
    } catch (...) {
        restore();
        throw;
    }
    restore();
    DrawWideItem(canvas, rect, state, topLevel);
}

void TWideMenuItem::DrawWideItem(TCanvas* canvas, const RECT& rect, UINT state, bool topLevel)
{
    TMenu* menu = GetParentMenu();
    const bool rightToLeft = menu && menu->IsRightToLeft();
    const bool selected = (state & ODS_SELECTED) != 0;
    RECT area = rect;
    if (rightToLeft) area.right -= kImageColumn + kTextGap;
    else area.left += kImageColumn + kTextGap;
    UINT format = AlignmentFormat(menu) | DT_EXPANDTABS | DT_SINGLELINE;
    if ((state & ODS_NOACCEL) && XPOrLaterPlatform) format |= DT_HIDEPREFIX;
    if (Default()) canvas->Font()->SetStyle({TFontStyle::fsBold});
    canvas->Font()->SetColor(!Enabled() ? clBtnShadow : selected ? clHighlightText : clMenuText);
    canvas->Handle();
    SetTextColor(canvas->Handle(), ColorToRGB(canvas->Font()->Color()));
    const std::wstring caption = WideCaption();
    RECT measured = area;
    DrawWideMenuText(canvas, caption, format | DT_CALCRECT | DT_NOCLIP, selected, measured, Enabled(), rightToLeft);
    const int height = measured.bottom - measured.top;
    RECT text = area;
    text.top = area.top + ((area.bottom - area.top) - height) / 2;
    text.bottom = text.top + height;
    DrawWideMenuText(canvas, caption, format, selected, text, Enabled(), rightToLeft);
    if (ShortCut() != 0 && !topLevel) {
        RECT keys = text;
        if (rightToLeft) keys.left = rect.left + 10;
        else keys.right = rect.right - 10;
        const UINT keyFormat = (format & ~(DT_LEFT | DT_CENTER | DT_RIGHT)) | DT_RIGHT;
        DrawWideMenuText(canvas, ShortCutToWideText(ShortCut()), keyFormat, selected, keys, Enabled(), rightToLeft);
    }
}

// ---------------------------------------------------------------------------------------------
// TWidePopupList

KERVO_CLASS_RECORD(TWidePopupList) {}

TWidePopupList::TWidePopupList() : savedPopupList_(PopupList()) {}

void TWidePopupList::HandleWindowMessage(TMessage& message)
{
    switch (message.Msg) {
    case WM_MENUSELECT: {
        const UINT flags = HIWORD(message.WParam);
        const UINT id = LOWORD(message.WParam);
        TMenuItem* hit = nullptr;
        for (TPopupMenu* menu : Menus()) {
            if (flags & MF_POPUP) {
                HMENU sub = GetSubMenu(reinterpret_cast<HMENU>(message.LParam), static_cast<int>(id));
                hit = sub ? menu->FindItem(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(sub)), TFindItemKind::fkHandle)
                          : nullptr;
            } else {
                hit = menu->FindItem(id, TFindItemKind::fkCommand);
            }
            if (hit) break;
        }
        if (hit) {
            if (WideApplication) WideApplication->SetWideHint(WideLongHintPart(MenuItemWideHint(hit)));
            return;
        }
        if (WideApplication) WideApplication->SetWideHint(std::wstring());
        break;
    }
    case WM_ENTERMENULOOP:
        SetPopupList(savedPopupList_);
        for (TPopupMenu* menu : Menus()) RefreshFirstItemForRightToLeft(menu);
        break;
    default: break;
    }
    TPopupList::HandleWindowMessage(message);
}

namespace {

// The unit's life: one wide popup list from start-up to shut-down.
struct WideMenusUnit {
    std::unique_ptr<TWidePopupList, TObjectDeleter> list{new TWidePopupList()};
};
WideMenusUnit& Unit()
{
    static WideMenusUnit unit;
    return unit;
}
const bool started = (Unit(), true);

}  // namespace

TWidePopupList* WidePopupList() { return Unit().list.get(); }
