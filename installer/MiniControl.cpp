// The layer's one window object: construction of forms, push buttons and group boxes, making
// their windows on demand, their hooks and their destruction.
#include "MiniInternal.h"

namespace miniwin {

namespace {

UINT nextControlId = 0x8000;

constexpr DWORD kFormStyle = 0x16CF0000;       // visible, clip, caption, system menu, frame, boxes
constexpr DWORD kButtonStyle = 0x50011000;     // child, visible, tab stop, push-like
constexpr DWORD kGroupBoxStyle = 0x56030007;   // child, visible, clip, group, tab stop, group box
constexpr UINT kClassStyleMask = 0xFFFFBF1F;   // no global, own, class or parent DC

TMiniControl* NewWindowObject(TMiniControl* parent, const char* subclassName, bool want3D)
{
    TMiniControl* obj = NewMiniObject<TMiniControl>();
    obj->SubclassName = subclassName;
    obj->InitParented(parent, want3D);
    return obj;
}

TMiniControl* NewChildControl(TMiniControl* parent, const char* subclassName, DWORD style)
{
    TMiniControl* obj = NewWindowObject(parent, subclassName, false);
    obj->IsControl = true;
    obj->Style = style | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
    obj->ExStyle = 0;
    obj->KeyMask = 0x0F;
    if (obj->Ctl3D) {
        obj->Style &= ~static_cast<DWORD>(WS_BORDER);
        obj->ExStyle |= WS_EX_CLIENTEDGE;
    }
    obj->Visible = (obj->Style & WS_VISIBLE) != 0;
    if (parent) obj->Cursor = parent->Cursor;

    if (TMiniControl* form = ParentForm(obj)) {
        obj->TabOrder = ++form->TabCounter;
        if (obj->Style & WS_TABSTOP) {
            obj->TabStop = true;
            if (!form->CurrentControl) form->CurrentControl = obj;
        }
    } else if (obj->Style & WS_TABSTOP) {
        obj->TabStop = true;
    }
    obj->ControlId = nextControlId++;
    AttachProc(obj, &ChildHook);
    return obj;
}

void SetButtonCodes(TMiniControl* obj)
{
    obj->ClickCode = BN_CLICKED;
    obj->EnterCode = BN_SETFOCUS;
    obj->LeaveCode = BN_KILLFOCUS;
}

}  // namespace

void TMiniControl::Init()
{
    Style = kFormStyle;
    ExStyle = WS_EX_CONTROLPARENT;
    ClassStyle = CS_OWNDC;
    TextColor = clWindowText;
    BkColor = clBtnFace;
    ChildMargin = 2;
    Visible = true;
    Enabled = true;
    ChildCtl3D = true;
    Children = NewMiniList();
    Hooks = NewMiniList();
}

void TMiniControl::InitParented(TMiniControl* parent, bool want3D)
{
    Parent = parent;
    Cursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    if (!parent) {
        Bounds = RECT{0, 0, 64, 64};
        return;
    }
    parent->Children->Add(this);
    TabKeyHandler = parent->TabKeyHandler;
    ChildCtl3D = parent->ChildCtl3D;
    Ctl3D = want3D && parent->ChildCtl3D;
    TextColor = parent->TextColor;
    BkColor = parent->BkColor;
    LinkCopiedTools(this, parent);
    ChildMargin = parent->ChildMargin;
    Bounds.left = parent->ChildMargin;
    Bounds.top = parent->ChildMargin + parent->ClientMargins.Top;
    Bounds.right = Bounds.bottom = parent->ChildMargin + 64;
}

TMiniControl* NewMiniForm(TMiniControl* parent, const char* caption)
{
    TMiniControl* obj = NewWindowObject(parent, "Form", true);
    obj->ClassStyle |= CS_DBLCLKS;
    AttachProc(obj, &FormHook);
    AttachProc(obj, &EraseBkgndHook);
    SetCaption(obj, caption);
    obj->IsForm = true;
    return obj;
}

TMiniControl* NewMiniButton(TMiniControl* parent, const char* caption)
{
    TMiniControl* obj = NewChildControl(parent, "BUTTON", kButtonStyle);
    obj->Bounds.bottom = obj->Bounds.top + 22;
    obj->IsButton = true;
    obj->IsPushButton = true;
    SetButtonCodes(obj);
    SetCaption(obj, caption);
    return obj;
}

TMiniControl* NewMiniGroupBox(TMiniControl* parent, const char* caption)
{
    TMiniControl* obj = NewChildControl(parent, "BUTTON", kGroupBoxStyle);
    obj->ExStyle |= WS_EX_CONTROLPARENT;
    obj->Bounds.right += 36;
    obj->Bounds.bottom += 78;
    obj->ClientMargins = TMiniMargins{22, 2, 2, 2};
    obj->TabStop = false;
    SetButtonCodes(obj);
    SetCaption(obj, caption);
    AttachProc(obj, &EraseBkgndHook);
    return obj;
}

void SetCaption(TMiniControl* obj, const char* text)
{
    obj->Caption = text ? text : "";
    if (obj->Handle && !obj->WindowDestroyed) {
        SetWindowTextA(obj->Handle, obj->Caption.c_str());
        Invalidate(obj);
    }
}

HWND GetWindowHandle(TMiniControl* obj)
{
    if (!obj) return nullptr;
    if (!obj->Handle && !obj->WindowDestroyed) {
        // Made hidden the first time; the next CreateWindow shows it.
        if (obj->Style & WS_VISIBLE) {
            obj->Style &= ~static_cast<DWORD>(WS_VISIBLE);
            obj->ShowOnCreate = true;
        }
        obj->CreateWindow();
    }
    return obj->WindowDestroyed ? nullptr : obj->Handle;
}

void SetVisible(TMiniControl* obj, bool on)
{
    if (on)
        obj->Style |= WS_VISIBLE;
    else
        obj->Style &= ~static_cast<DWORD>(WS_VISIBLE);
    obj->Visible = on;
    if (obj->Handle && !obj->WindowDestroyed) ShowWindow(obj->Handle, on ? SW_SHOW : SW_HIDE);
}

TMiniControl* ParentForm(TMiniControl* obj)
{
    while (obj && obj->IsControl) obj = obj->Parent;
    return obj;
}

bool TMiniControl::CreateWindow()
{
    if (WindowDestroyed || destroyRunning_) return false;
    if (Parent && !GetWindowHandle(Parent)) return false;

    if (Handle) {
        for (int i = 0; i < Children->Count; ++i)
            static_cast<TMiniControl*>(Children->Item(i))->CreateWindow();
        if (ShowOnCreate) {
            ShowOnCreate = false;
            SetVisible(this, true);
        }
        return true;
    }

    HINSTANCE inst = GetModuleHandleA(nullptr);
    std::string className = "obj_" + SubclassName;
    WNDCLASSA wc{};
    wc.style = ClassStyle;
    wc.hInstance = inst;
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    WNDCLASSA system{};
    if (GetClassInfoA(inst, SubclassName.c_str(), &system)) {
        wc = system;
        if (!PrevWndProc) PrevWndProc = system.lpfnWndProc;
    }
    wc.style &= kClassStyleMask;

    if ((Style & WS_CHILD) && !(Parent && Parent->Handle)) return false;

    WNDCLASSA registered{};
    if (!GetClassInfoA(inst, className.c_str(), &registered)) {
        wc.lpfnWndProc = &MiniWindowProc;
        wc.hInstance = inst;
        wc.lpszMenuName = nullptr;
        wc.lpszClassName = className.c_str();
        if (!RegisterClassA(&wc)) return false;
    }

    int x = Bounds.left, y = Bounds.top;
    int w = Bounds.right - Bounds.left, h = Bounds.bottom - Bounds.top;
    if (w == 0) w = CW_USEDEFAULT;
    if (h == 0) h = CW_USEDEFAULT;
    if (IsForm && !LeftSet && !TopSet) x = y = CW_USEDEFAULT;
    HMENU id = IsControl ? reinterpret_cast<HMENU>(static_cast<UINT_PTR>(ControlId)) : nullptr;

    CreatingObject = this;
    HWND wnd = CreateWindowExA(ExStyle, className.c_str(), Caption.c_str(), Style, x, y, w, h,
                               Parent ? Parent->Handle : nullptr, id, inst, nullptr);
    if (CreatingObject == this) CreatingObject = nullptr;
    if (!wnd) {
        Handle = nullptr;
        return false;
    }
    Handle = wnd;

    SendMessageA(wnd, WM_UPDATEUISTATE, 0x10002, 0);   // UIS_CLEAR, UISF_HIDEFOCUS
    if (!GetPropA(wnd, SelfProperty)) SetPropA(wnd, SelfProperty, this);

    if (IsForm) {
        HICON icon = nullptr;
        if (BigIcon == MiniNoIcon()) {
            icon = nullptr;
        } else if (BigIcon) {
            icon = BigIcon;
        } else if (MainMiniWindow && MainMiniWindow != this) {
            HWND mainWnd = MainMiniWindow->Handle;
            HICON source = mainWnd ? reinterpret_cast<HICON>(
                                         SendMessageA(mainWnd, WM_GETICON, ICON_BIG, 0))
                                   : nullptr;
            if (source)
                icon = static_cast<HICON>(CopyImage(source, IMAGE_ICON, 0, 0, 0));
        } else {
            // The main window itself, or the first window made before there is one.
            icon = LoadIconA(inst, "MAINICON");
        }
        SendMessageA(wnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    }

    GetFont(this);
    ApplyFont(this);
    for (int i = 0; i < Children->Count; ++i)
        static_cast<TMiniControl*>(Children->Item(i))->CreateWindow();
    return true;
}

void TMiniControl::Destroy()
{
    if (destroyRunning_) return;
    destroyRunning_ = true;

    // The form's current, default and cancel control may be this object or any child of it:
    // the children are freed below without a parent, so their form is found only here.
    if (TMiniControl* form = ParentForm(Parent)) {
        for (TMiniControl** ref : {&form->CurrentControl, &form->DefaultButton, &form->CancelButton}) {
            for (TMiniControl* c = *ref; c; c = c->Parent) {
                if (c == this) {
                    *ref = nullptr;
                    break;
                }
            }
        }
    }
    if (MainMiniWindow == this) MainMiniWindow = nullptr;
    if (CreatingObject == this) CreatingObject = nullptr;
    if (Handle && !WindowDestroyed) ShowWindow(Handle, SW_HIDE);

    Final();

    Free(Hooks);
    Hooks = nullptr;
    MessageHook = TMiniMessageHook();
    SavedHook = TMiniMessageHook();
    BeingDestroyed = true;

    // Children go before the tools: their fonts and brushes may stand on ours.
    while (Children && Children->Count > 0) {
        auto* child = static_cast<TMiniControl*>(Children->Item(Children->Count - 1));
        Children->Delete(Children->Count - 1);
        child->Parent = nullptr;
        Free(child);
    }
    Free(Font);
    Font = nullptr;
    Free(Brush);
    Brush = nullptr;

    if (Handle && !WindowDestroyed) {
        if (IsForm) {
            auto old = reinterpret_cast<HICON>(SendMessageA(Handle, WM_SETICON, ICON_BIG, 0));
            if (old) DestroyIcon(old);
        }
        DestroyWindow(Handle);
    }
    Handle = nullptr;
    Caption.clear();
    if (Parent) {
        Parent->Children->Remove(this);
        if (Parent->CurrentControl == this) Parent->CurrentControl = nullptr;
        Parent = nullptr;
    }
    if (BkBrush) DeleteObject(BkBrush);
    BkBrush = nullptr;
    Free(Children);
    Children = nullptr;
    delete this;
}

// ---------------------------------------------------------------------------------------------
// Hooks that the constructors attach

bool ChildHook(TMiniControl* self, MSG& msg, LRESULT& result)
{
    if (msg.message >= WM_CTLCOLORMSGBOX + CN_COLORBASE &&
        msg.message <= WM_CTLCOLORSTATIC + CN_COLORBASE) {
        HDC dc = reinterpret_cast<HDC>(msg.wParam);
        SetTextColor(dc, ColorToRGB(self->TextColor));
        if (self->Transparent) {
            SetBkMode(dc, TRANSPARENT);
            result = reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH));
        } else {
            SetBkMode(dc, OPAQUE);
            SetBkColor(dc, ColorToRGB(self->BkColor));
            result = reinterpret_cast<LRESULT>(GetBackgroundBrush(self));
        }
        return true;
    }
    if (msg.message == CM_COMMAND) {
        WORD code = HIWORD(msg.wParam);
        if (code == self->ClickCode) {
            if (!FocusChangeInProgress) self->OnClick(self);
        } else if (code == self->EnterCode) {
            self->OnEnter(self);
        } else if (code == self->LeaveCode) {
            self->OnLeave(self);
        }
        result = CallDefaultProc(self, msg);
        return true;
    }
    if (msg.message == WM_SETFOCUS) {
        if (TMiniControl* form = ParentForm(self)) form->CurrentControl = self;
    }
    return false;
}

bool EraseBkgndHook(TMiniControl* self, MSG& msg, LRESULT&)
{
    if (msg.message != WM_ERASEBKGND) return false;
    for (int i = 0; self->Children && i < self->Children->Count; ++i)
        static_cast<TMiniControl*>(self->Children->Item(i))->CreateWindow();
    if (!self->Transparent) {
        HDC dc = reinterpret_cast<HDC>(msg.wParam);
        SetBkMode(dc, OPAQUE);
        SetBkColor(dc, ColorToRGB(self->BkColor));
        SetBrushOrgEx(dc, 0, 0, nullptr);
        RECT rc;
        ::GetClientRect(msg.hwnd, &rc);
        FillRect(dc, &rc, GetBackgroundBrush(self));
    }
    return false;
}

}  // namespace miniwin
