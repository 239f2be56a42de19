// The keyboard behaviour of a dialog for the layer's ordinary top-level windows: Tab and the
// arrow and page keys move the focus, Enter and Esc press the default and the cancel button,
// and a window can be held at one size.
#include "MiniInternal.h"

namespace miniwin {

namespace {


constexpr UINT kBackTab = VK_TAB | 0x80;   // Tab marked as backwards (Shift+Tab)

enum class Measure { LeftOf, RightOf, Above, Below };

struct KeyEntry {
    UINT key;
    UINT maskBits;
    Measure measure;
    UINT fallBack;
};

const KeyEntry kKeyTable[] = {
    {VK_LEFT, 0x02, Measure::LeftOf, VK_UP},
    {VK_RIGHT, 0x02, Measure::RightOf, VK_DOWN},
    {VK_UP, 0x0C, Measure::Above, kBackTab},
    {VK_PRIOR, 0x0C, Measure::Above, kBackTab},
    {VK_DOWN, 0x0C, Measure::Below, VK_TAB},
    {VK_NEXT, 0x0C, Measure::Below, VK_TAB},
};

// Inserts the control before the first listed one with a greater tab order.
void InsertByTabOrder(TMiniList* list, TMiniControl* control)
{
    int i = 0;
    while (i < list->Count && static_cast<TMiniControl*>(list->Item(i))->TabOrder <= control->TabOrder)
        ++i;
    list->Insert(i, control);
}

void CollectTabList(TMiniControl* parent, TMiniList* list)
{
    for (int i = 0; parent->Children && i < parent->Children->Count; ++i) {
        auto* child = static_cast<TMiniControl*>(parent->Children->Item(i));
        if (child->TabStop && child->Enabled) {
            if (IsShowing(child)) {
                InsertByTabOrder(list, child);
                CollectTabList(child, list);
            }
        } else if (!child->TabStop && child->Enabled) {
            CollectTabList(child, list);
        }
    }
}

TMiniList* BuildTabList(TMiniControl* form)
{
    TMiniList* list = NewMiniList();
    CollectTabList(form, list);
    return list;
}

void MoveFocusTo(TMiniControl* form, TMiniControl* target)
{
    form->CurrentControl = target;
    LayerFocusChange mark;
    if (HWND h = GetWindowHandle(target)) ::SetFocus(h);
}

bool HandleKey(TMiniControl* control, UINT key, bool notKeyDown, bool fallBack)
{
    TMiniControl* form = ParentForm(control);

    // Tab and Shift+Tab; a fall-back Tab comes from an arrow key and skips the mask.
    if ((key & ~0x80u) == VK_TAB) {
        if (!fallBack && !(control->KeyMask & 0x01)) return false;
        int direction = 1;
        if (key & 0x80)
            direction = -1;
        else if (GetAsyncKeyState(VK_SHIFT) < 0)
            direction = -1;
        if (!notKeyDown && form) TabMove(form, direction);
        return true;   // the key-up of Tab must not reach the control either
    }

    const KeyEntry* entry = nullptr;
    for (const KeyEntry& e : kKeyTable)
        if (e.key == key) {
            entry = &e;
            break;
        }
    if (!entry || !(control->KeyMask & entry->maskBits)) return false;
    if (!form || !form->CurrentControl) return false;

    TMiniControl* current = form->CurrentControl;
    HWND currentWnd = GetWindowHandle(current);
    if (!currentWnd) return false;
    RECT c;
    GetWindowRect(currentWnd, &c);

    TMiniControl* best = nullptr;
    LONG bestMeasure = 0;
    TMiniList* list = BuildTabList(form);
    // From the last to the first: an equal measure replaces the earlier choice, so among
    // equals the control earliest in tab order wins.
    for (int i = list->Count - 1; i >= 0; --i) {
        auto* other = static_cast<TMiniControl*>(list->Item(i));
        if (other == current || !other->Handle || other->WindowDestroyed) continue;
        RECT r;
        GetWindowRect(other->Handle, &r);
        LONG measure = 0;
        bool overlaps = false;
        switch (entry->measure) {
        case Measure::LeftOf:
        case Measure::RightOf:
            overlaps = r.bottom >= c.top && r.top < c.bottom;
            measure = entry->measure == Measure::LeftOf ? c.left - r.left : r.left - c.left;
            break;
        case Measure::Above:
        case Measure::Below:
            overlaps = r.right >= c.left && r.left < c.right;
            measure = entry->measure == Measure::Above ? c.top - r.top : r.top - c.top;
            break;
        }
        if (!overlaps || measure < 0) continue;
        if (!best || measure <= bestMeasure) {
            best = other;
            bestMeasure = measure;
        }
    }
    Free(list);

    if (!best) return HandleKey(control, entry->fallBack, notKeyDown, true);
    if (!notKeyDown) MoveFocusTo(form, best);
    return true;
}

}  // namespace

void EnableTabKeys(TMiniControl* obj)
{
    if (TMiniControl* form = ParentForm(obj)) form->TabKeyHandler = &TabKeyHandler;
}

bool TabKeyHandler(TMiniControl* control, UINT key, bool notKeyDown)
{
    return HandleKey(control, key, notKeyDown, false);
}

void TabMove(TMiniControl* form, int direction)
{
    TMiniList* list = BuildTabList(form);
    const int c = form->CurrentControl ? form->CurrentControl->TabOrder : 0;
    TMiniControl* next = nullptr;
    TMiniControl* wrap = nullptr;
    for (int i = 0; i < list->Count; ++i) {
        auto* t = static_cast<TMiniControl*>(list->Item(i));
        if (!wrap || (direction > 0 ? t->TabOrder < wrap->TabOrder : t->TabOrder > wrap->TabOrder))
            wrap = t;
        if (t->TabOrder == c) continue;
        if (direction > 0) {
            if (t->TabOrder > c && (!next || t->TabOrder < next->TabOrder)) next = t;
        } else {
            if (t->TabOrder < c && (!next || t->TabOrder > next->TabOrder)) next = t;
        }
    }
    Free(list);
    if (TMiniControl* target = next ? next : wrap) MoveFocusTo(form, target);
}

void SetFocused(TMiniControl* obj)
{
    if (obj->IsControl) {
        if (TMiniControl* form = ParentForm(obj)) form->CurrentControl = obj;
        if (HWND h = GetWindowHandle(obj)) ::SetFocus(h);
    } else if (HWND h = GetWindowHandle(obj)) {
        SetForegroundWindow(h);
    }
}

void SetDialogKeyButton(TMiniControl* button, UINT key, bool on)
{
    if (key != VK_RETURN && key != VK_ESCAPE) return;
    if (key == VK_RETURN) {
        button->DefaultBtn = on;
        button->CancelBtn = false;
    } else {
        button->CancelBtn = on;
        button->DefaultBtn = false;
    }

    TMiniControl* form = ParentForm(button);
    if (form) {
        if (key == VK_RETURN) {
            if (on)
                form->DefaultButton = button;
            else if (form->DefaultButton == button)
                form->DefaultButton = nullptr;
        } else {
            if (on)
                form->CancelButton = button;
            else if (form->CancelButton == button)
                form->CancelButton = nullptr;
        }
    }

    if (MainMiniWindow && form) {
        TMiniControl* main = MainMiniWindow;
        if (on) {
            if (main->MessageHook.Code != &DialogKeyHook) {
                main->SavedHook = main->MessageHook;
                main->MessageHook.Code = &DialogKeyHook;
                main->MessageHook.Object = main;
            }
        } else if (main->MessageHook.Code == &DialogKeyHook && !form->DefaultButton &&
                   !form->CancelButton) {
            // Only when no dialog key is left: giving up the default button keeps Esc alive.
            main->MessageHook = main->SavedHook;
            main->SavedHook = TMiniMessageHook();
        }
    }

    if (form && key == VK_RETURN)
        SetStyle(button, on ? (button->Style | BS_DEFPUSHBUTTON)
                            : (button->Style & ~static_cast<DWORD>(BS_DEFPUSHBUTTON)));
}

bool DialogKeyHook(TMiniControl* mainWindow, MSG& msg, LRESULT& result)
{
    if (mainWindow && mainWindow->SavedHook.Code &&
        mainWindow->SavedHook.Code(mainWindow->SavedHook.Object, msg, result))
        return true;
    if (AppletTerminated) return false;
    if (msg.message != WM_KEYDOWN && msg.message != WM_KEYUP) return false;
    if (msg.wParam != VK_RETURN && msg.wParam != VK_ESCAPE) return false;

    TMiniControl* form = MainMiniWindow;
    if (form && !form->IsForm) form = form->CurrentControl;
    if (!form) return false;

    TMiniControl* target = nullptr;
    if (msg.wParam == VK_RETURN) {
        TMiniControl* def = form->DefaultButton;
        if (def && IsShowing(def) && IsEnabled(def)) {
            TMiniControl* current = form->CurrentControl;
            // A focused button (or the cancel button) takes Enter itself.
            if (!(current && current != def && (current->IsButton || current->CancelBtn)))
                target = def;
        }
    } else {
        TMiniControl* cancel = form->CancelButton;
        if (cancel && IsShowing(cancel) && IsEnabled(cancel)) target = cancel;
    }
    if (!target) return false;

    if (msg.message == WM_KEYDOWN) SetFocused(target);
    // Pressed and released as if Space were typed on it, so the button reports its click.
    SendMessageA(GetWindowHandle(target), msg.message, VK_SPACE, msg.lParam);
    msg.wParam = 0;
    result = 0;
    return true;
}

bool IsResizable(const TMiniControl* obj) { return !obj->FixedSize; }

void SetResizable(TMiniControl* obj, bool on)
{
    if (on == IsResizable(obj)) return;
    obj->FixedSize = !on;
    // Either way the window has a sizing frame: a fixed window keeps its look and the hook
    // below takes the sizing away; a resizable one needs the frame to be sized at all.
    SetStyle(obj, obj->Style | WS_THICKFRAME);
    if (HWND h = GetWindowHandle(obj)) {
        RECT r;
        GetWindowRect(h, &r);
        obj->FixedWidth = r.right - r.left;
        obj->FixedHeight = r.bottom - r.top;
    }
    AttachProc(obj, &FixedSizeHook);
}

bool FixedSizeHook(TMiniControl* self, MSG& msg, LRESULT& result)
{
    if (!self->FixedSize) return false;
    if (msg.message == WM_GETMINMAXINFO) {
        result = CallDefaultProc(self, msg);
        auto* info = reinterpret_cast<MINMAXINFO*>(msg.lParam);
        info->ptMinTrackSize.x = info->ptMaxTrackSize.x = self->FixedWidth;
        info->ptMinTrackSize.y = info->ptMaxTrackSize.y = self->FixedHeight;
        return true;
    }
    if (msg.message == WM_NCHITTEST) {
        LRESULT hit = CallDefaultProc(self, msg);
        if (hit >= HTLEFT && hit <= HTBOTTOMRIGHT) {
            result = HTBORDER;
            return true;
        }
    }
    return false;
}

bool IsEnabled(const TMiniControl* obj)
{
    if (obj->Handle && !obj->WindowDestroyed) return IsWindowEnabled(obj->Handle) != FALSE;
    return !(obj->Style & WS_DISABLED);
}

bool IsShowing(TMiniControl* obj)
{
    bool showing = obj->Visible || obj->ShowOnCreate;
    if (obj->IsControl && obj->Parent) {
        TMiniControl* parent = obj->Parent;
        if (parent->IsForm && parent->Handle && !parent->WindowDestroyed)
            parent->Visible = IsWindowVisible(parent->Handle) != FALSE;
        showing = showing && IsShowing(parent);
    }
    return showing;
}

}  // namespace miniwin
