// Typed characters of the Unicode combo box: the messages of its edit and list children, the
// list styles' type-ahead and the edit styles' completion.
//
// A character above 255 travels packed (high 16 bits, low 16 bits 255) while class-library code
// looks at a WM_CHAR, since that code holds a character in one byte; it is unpacked before a
// window procedure sees it. The list styles keep a filter of the characters typed within
// kTypeAheadWindowMs of each other and select the first item it begins; the edit styles complete
// the text at the caret from the first item it begins, keeping the typed characters' case, with
// the completed tail selected so that the next character replaces it. A character that selects an
// item is swallowed; one that finds nothing goes on to the window unchanged.
#include "WideStdCtrls.h"

#include <algorithm>

#include "Forms.h"
#include "WideCodePages.h"

void TWideCustomComboBox::InnerWindowProc(TMessage& message, HWND child, WNDPROC defaultProc)
{
    if (!HandleChildWindowMessage(message, child, defaultProc)) TCustomComboBox::InnerWindowProc(message, child, defaultProc);
}

bool TWideCustomComboBox::HandleChildWindowMessage(TMessage& message, HWND child, WNDPROC defaultProc)
{
    bool handled = false;
    try {
        const bool unicodeChild = IsWindowUnicode(child) != FALSE;
        if (message.Msg == WM_CHAR) {
            handled = true;
            if (unicodeChild) PackCharForAnsi(message);
            if (DoKeyPress(message)) {
                if (unicodeChild) UnpackChar(message);
                return true;
            }
            TMessage copy = message;
            EditCharTyped(copy);
            if (unicodeChild) UnpackChar(message);
            if (CharOfCharMessage(copy) == 0) return true;
            const wchar_t c = CharOfCharMessage(message);
            if ((c == VK_RETURN || c == VK_ESCAPE) && DroppedDown()) {
                SetDroppedDown(false);
                return true;
            }
            message.Result = unicodeChild ? CallWindowProcW(defaultProc, child, message.Msg, message.WParam, message.LParam)
                                          : CallWindowProcA(defaultProc, child, message.Msg, message.WParam, message.LParam);
            return true;
        }
        if (!unicodeChild) return false;
        if (IsTextMessage(message.Msg) || message.Msg == EM_REPLACESEL || message.Msg == WM_IME_COMPOSITION) {
            handled = true;
            message.Result = CallWindowProcW(defaultProc, child, message.Msg, message.WParam, message.LParam);
            return true;
        }
        if (message.Msg == WM_IME_CHAR) {
            // Taken exactly as a typed character.
            handled = true;
            message.Result = SendMessageW(child, WM_CHAR, message.WParam, message.LParam);
            return true;
        }
        return false;
    } catch (...) {
        Application->HandleException(this, std::current_exception());
        return handled;
    }
}

void TWideCustomComboBox::HandleWindowMessage(TMessage& message)
{
    if (message.Msg == WM_CHAR) {
        HandleComboChar(message);
        return;
    }
    TCustomComboBox::HandleWindowMessage(message);
}

void TWideCustomComboBox::HandleComboChar(TMessage& message)
{
    TypeAheadChar(message);
    // A character the filter did not take goes on to the key-press step and the window, whose
    // own first-letter selection then acts.
    if (CharOfCharMessage(message) != 0) TCustomComboBox::HandleWindowMessage(message);
}

void TWideCustomComboBox::TypeAheadChar(TMessage& message)
{
    if (!IsListStyle() || !AutoComplete()) return;
    wchar_t c = CharOfCharMessage(message);
    switch (c) {
    case VK_BACK:
        if (!typeAheadText_.empty()) typeAheadText_.pop_back();
        break;
    case VK_TAB:
        if (AutoDropDown() && DroppedDown()) SetDroppedDown(false);
        break;
    case VK_ESCAPE: break;
    default:
        if (AutoDropDown() && !DroppedDown()) SetDroppedDown(true);
        // Unsigned, so that the difference stays right across the wrap of the tick count.
        if (static_cast<uint32_t>(GetTickCount()) - lastTypeAheadTick_ >= kTypeAheadWindowMs) typeAheadText_.clear();
        lastTypeAheadTick_ = GetTickCount();
        if (SelectMatchingItem(typeAheadText_ + c, false, true)) {
            typeAheadText_ += c;
            c = 0;
        }
        break;
    }
    SetCharOfCharMessage(message, c);
}

void TWideCustomComboBox::EditCharTyped(TMessage& message)
{
    AutoCompleteEditChar(message, MatchUniqueOnly(), KeepTypedPrefix());
}

void TWideCustomComboBox::AutoCompleteEditChar(TMessage& message, bool uniqueOnly, bool keepTypedPrefix)
{
    if (!AutoComplete()) return;
    wchar_t c = CharOfCharMessage(message);
    if (c == VK_BACK || c == VK_ESCAPE) return;
    if (c == VK_TAB) {
        if (AutoDropDown() && DroppedDown()) SetDroppedDown(false);
        return;
    }
    if (AutoDropDown() && !DroppedDown()) DropDownKeepingText();
    const auto send = UnicodePlatform ? SendMessageW : SendMessageA;
    DWORD start = 0, end = 0;
    const LRESULT length = send(Handle(), WM_GETTEXTLENGTH, 0, 0);
    send(Handle(), CB_GETEDITSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    // Only a character typed at the end of the text completes.
    if (static_cast<LRESULT>(end) == length) {
        std::wstring search;
        if (UnicodePlatform) {
            search = Text().substr(0, start) + c;
        } else {
            const std::string ansi = TControl::Text();
            search = WideFromAnsi(ansi.substr(0, std::min<size_t>(start, ansi.size())) + AnsiFromWide(std::wstring(1, c)));
        }
        if (SelectMatchingItem(search, uniqueOnly, keepTypedPrefix)) c = 0;
    }
    SetCharOfCharMessage(message, c);
}

bool TWideCustomComboBox::SelectMatchingItem(const std::wstring& text, bool uniqueOnly, bool completeText)
{
    const int index = uniqueOnly ? FindUniquePrefixItem(text) : FindPrefixItem(-1, text);
    if (index == -1) return false;
    const bool changed = index != ItemIndex();
    if (AutoCloseUp() && wideItems_->PositionOf(text) != -1) SetDroppedDown(false);
    SendMessageA(Handle(), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    if (IsEditStyle()) {
        if (completeText) {
            const std::wstring item = wideItems_->Strings(index);
            SetText(text + (item.size() > text.size() ? item.substr(text.size()) : std::wstring()));
        }
        // The completed tail selected: the next character replaces it.
        const std::wstring full = Text();
        if (UnicodePlatform) {
            SendMessageW(Handle(), CB_SETEDITSEL, 0, MAKELPARAM(text.size(), full.size()));
        } else {
            SendMessageA(Handle(), CB_SETEDITSEL, 0, MAKELPARAM(AnsiFromWide(text).size(), AnsiFromWide(full).size()));
        }
    }
    if (changed) {
        Click();
        Select();
    }
    return true;
}

int TWideCustomComboBox::FindPrefixItem(int start, const std::wstring& text)
{
    if (auto* search = QueryInterfaceOf<IWidePrefixSearch>(this)) return search->SearchPrefix(text, start);
    if (IsWindowUnicode(Handle())) {
        return static_cast<int>(
            SendMessageW(Handle(), CB_FINDSTRING, static_cast<WPARAM>(start), reinterpret_cast<LPARAM>(text.c_str())));
    }
    const std::string ansi = AnsiFromWide(text);
    return static_cast<int>(
        SendMessageA(Handle(), CB_FINDSTRING, static_cast<WPARAM>(start), reinterpret_cast<LPARAM>(ansi.c_str())));
}

int TWideCustomComboBox::FindUniquePrefixItem(const std::wstring& text)
{
    const int first = FindPrefixItem(-1, text);
    if (first == -1) return -1;
    // The search after the first match wraps round to it only when no other item matches.
    return FindPrefixItem(first, text) == first ? first : -1;
}

void TWideCustomComboBox::DropDownKeepingText()
{
    const std::wstring text = Text();
    const int start = WideSelStart();
    const int length = WideSelLength();
    SetDroppedDown(true);
    SetText(text);
    SetWideSelStart(start);
    SetWideSelLength(length);
}
