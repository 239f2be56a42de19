// The flat combo box of TFlatComboBoxUnit.h: its properties, the flat painting of frame, arrow
// and focus strip, the narrowed inner edit and the messages that redraw them.
//
// The Windows combo box paints its own edit, list and text; this control paints the client
// area around them, then lets the combo box paint with the arrow's strip clipped away, and then
// draws the frame rings over the window's edge.
#include "TFlatComboBoxUnit.h"

#include <algorithm>

#include "GdiScopes.h"

namespace {

constexpr UINT kNarrowEditFlags = SWP_NOMOVE | SWP_NOZORDER | SWP_NOREDRAW | SWP_NOACTIVATE;

}  // namespace

KERVO_CLASS_RECORD(TFlatComboBox)
{
    b.Integer("Color", &TFlatComboBox::Color, &TFlatComboBox::SetColor).Default(0x00E1EAEB).Idents(&ColorIdents());
    b.Integer("ColorArrow", &TFlatComboBox::ColorArrow, &TFlatComboBox::SetColorArrow)
        .Default(clBlack)
        .Idents(&ColorIdents());
    b.Integer("ColorArrowBackground", &TFlatComboBox::ColorArrowBackground, &TFlatComboBox::SetColorArrowBackground)
        .Default(0x00C5D6D9)
        .Idents(&ColorIdents());
    b.Integer("ColorBorder", &TFlatComboBox::ColorBorder, &TFlatComboBox::SetColorBorder)
        .Default(0x008396A0)
        .Idents(&ColorIdents());
    b.Integer("AdvColorBorder", &TFlatComboBox::AdvColorBorder, &TFlatComboBox::SetAdvColorBorder).Default(50);
    b.Integer("AdvColorArrowBackground", &TFlatComboBox::AdvColorArrowBackground,
              &TFlatComboBox::SetAdvColorArrowBackground)
        .Default(10);
    b.Boolean("UseAdvColors", &TFlatComboBox::UseAdvColors, &TFlatComboBox::SetUseAdvColors).Default(false);
    b.Object("Items", &TFlatComboBox::Items, &TFlatComboBox::SetItems);
    // The order of form resources.
    b.Order({"Style", "Color", "ColorArrow", "ColorArrowBackground", "ColorBorder", "AdvColorBorder",
             "AdvColorArrowBackground", "UseAdvColors", "DropDownCount", "Enabled", "Font", "ItemHeight", "Items",
             "MaxLength", "ParentFont", "ParentShowHint", "PopupMenu", "ShowHint", "Sorted", "TabOrder", "TabStop",
             "Text", "Visible", "ItemIndex", "AutoComplete", "AutoDropDown", "OnChange", "OnClick", "OnDblClick",
             "OnDrawItem", "OnDropDown", "OnEnter", "OnExit", "OnKeyDown", "OnKeyPress", "OnKeyUp", "OnMeasureItem",
             "OnContextPopup"});
}

TFlatComboBox::TFlatComboBox(TComponent* owner) : TWideCustomComboBox(owner)
{
    TControlStyle style = ControlStyle();
    style.Include(TControlStyleFlag::csOpaque);
    style.Exclude(TControlStyleFlag::csFixedHeight);
    SetControlStyle(style);
    scrollBarWidth_ = GetSystemMetrics(SM_CXVSCROLL);
    SetItemHeight(13);
}

// ---------------------------------------------------------------------------------------------
// Properties

void TFlatComboBox::SetColorProperty(TColor& field, TColor value)
{
    field = value;
    Invalidate();
}

void TFlatComboBox::SetAdvColorProperty(TAdvColors& field, int value)
{
    field = ToAdvColors(value);
    RecomputeColors();
    Invalidate();
}

void TFlatComboBox::SetUseAdvColors(bool value)
{
    if (value == useAdvColors_) return;
    useAdvColors_ = value;
    RecomputeColors();
    Invalidate();
}

// Without a parent the control's own colour stands in as the base.
void TFlatComboBox::RecomputeColors()
{
    if (!useAdvColors_) return;
    const TColor base = Parent() ? Parent()->Color() : Color();
    colorBorder_ = ComputeAdvColor(base, colorBorder_, advColorBorder_, true);
    colorArrowBackground_ = ComputeAdvColor(base, colorArrowBackground_, advColorArrowBackground_, true);
}

void TFlatComboBox::SetHovered(bool value)
{
    if (value == hovered_) return;
    hovered_ = value;
    Invalidate();
}

// ---------------------------------------------------------------------------------------------
// Drawing

bool TFlatComboBox::IsListStyle() const
{
    return Style() != TComboBoxStyle::csDropDown && Style() != TComboBoxStyle::csSimple;
}

bool TFlatComboBox::Active()
{
    const HWND focus = GetFocus();
    return DroppedDown() || (focus && (focus == Handle() || focus == EditHandle()));
}

void TFlatComboBox::ActiveUpdate()
{
    const bool active = Active();
    if (active == lastActive_) return;
    lastActive_ = active;
    DrawFrameAndArrow();
}

// Focus alone leaves the frame as it is; hover and the open list light it.
void TFlatComboBox::UpdateFrameColor() { frameColor_ = hovered_ || DroppedDown() ? clHighlight : clWindow; }

RECT TFlatComboBox::ArrowRect()
{
    RECT window;
    GetWindowRect(Handle(), &window);
    RECT r{ClientWidth() - arrowWidth_, 0, window.right - window.left, window.bottom - window.top};
    OffsetRect(&r, -1, 0);
    return r;
}

// Three rings over the window's edge, stopping where the arrow begins.
void TFlatComboBox::DrawFrame()
{
    UpdateFrameColor();
    RECT window;
    GetWindowRect(Handle(), &window);
    RECT r{0, 0, (window.right - window.left) - arrowWidth_ - 1, window.bottom - window.top};
    TWindowDC dc(Handle(), true);
    if (!dc.Get()) return;
    const TSolidBrush outer(ColorToRGB(clBtnFace)), middle(ColorToRGB(frameColor_)), inner(ColorToRGB(clWindow));
    for (const TSolidBrush* brush : {&outer, &middle, &inner}) {
        brush->Frame(dc.Get(), r);
        InflateRect(&r, -1, -1);
    }
}

// Nothing without a context (none to be had): the canvas would raise for want of one.
void TFlatComboBox::DrawArrow(HDC dc)
{
    if (!dc) return;
    TCanvasBinding binding(canvas_, dc);
    UpdateFrameColor();
    const TColor face = static_cast<TColor>(GetNearestColor(canvas_.Handle(), BlendColors(clBtnFace, clWindow, 190)));
    RECT r = ArrowRect();
    InflateRect(&r, 1, 0);
    canvas_.Brush()->SetColor(face);
    canvas_.FillRect(r);
    canvas_.Brush()->SetColor(clBtnFace);
    canvas_.FrameRect(r);
    InflateRect(&r, 0, -1);
    OffsetRect(&r, -1, 0);
    canvas_.Brush()->SetColor(face);
    canvas_.FillRect(r);
    canvas_.Brush()->SetColor(frameColor_);
    canvas_.FrameRect(r);

    const int x = r.left + (r.right - r.left) / 2 - 6;
    const int y = r.top + (r.bottom - r.top) / 2 - 1;
    const bool up = DroppedDown();
    const auto triangle = [&](int dx, int dy, TColor color) {
        canvas_.Pen()->SetColor(color);
        canvas_.Brush()->SetColor(color);
        const int top = y + dy, bottom = y + dy + 2;
        if (up) canvas_.Polygon({{x + dx + 4, bottom}, {x + dx + 8, bottom}, {x + dx + 6, top}});
        else canvas_.Polygon({{x + dx + 4, top}, {x + dx + 8, top}, {x + dx + 6, bottom}});
    };
    if (Enabled()) {
        triangle(0, 0, clWindowText);
    } else {
        triangle(1, 1, clWhite);
        triangle(0, 0, clGray);
    }
    ExcludeClipRect(dc, ClientWidth() - scrollBarWidth_, 0, ClientWidth(), ClientHeight());
}

void TFlatComboBox::DrawFrameAndArrow()
{
    DrawFrame();
    if (Style() == TComboBoxStyle::csSimple) return;
    TWindowDC dc(Handle(), false);
    DrawArrow(dc.Get());
}

// A strip five pixels wide left of the arrow, in the highlight colour while the box has the
// focus and its list is closed, with a frame round the text.
void TFlatComboBox::DrawFocusStrip(HDC dc)
{
    if (!dc) return;  // as DrawArrow
    TCanvasBinding binding(canvas_, dc);
    const RECT client = ClientRect();
    RECT r = client;
    InflateRect(&r, -2, -3);
    r.left = r.right - arrowWidth_ - 8;
    r.right = r.right - (arrowWidth_ + 3);
    const bool focused = GetFocus() == Handle() && !DroppedDown();
    canvas_.Brush()->SetColor(focused ? clHighlight : clWindow);
    canvas_.FillRect(r);
    if (focused) {
        r = client;
        InflateRect(&r, -3, -3);
        r.right -= arrowWidth_ + 2;
        canvas_.Brush()->SetColor(clHighlight);
        canvas_.FrameRect(r);
        canvas_.Brush()->SetColor(clWindow);
    }
    ExcludeClipRect(dc, client.right - scrollBarWidth_ - 2, 0, client.right, client.bottom);
}

void TFlatComboBox::PaintFlat(TMessage& message)
{
    // A context in wParam is painted into as it is (printing, tests); else the window's own.
    {
        const TPaintDC paint(Handle(), reinterpret_cast<HDC>(message.WParam));
        HDC dc = paint.Get();
        const TSavedDC saved(dc);

        RECT r = paint.Update();
        r.right = std::min<LONG>(r.right, Width() - arrowWidth_ - 4);
        FillRect(dc, &r, BrushHandle());
        RECT arrow = ArrowRect(), common;
        if (IntersectRect(&common, &arrow, &paint.Update()) && Style() != TComboBoxStyle::csSimple) DrawArrow(dc);
        const int cw = ClientWidth(), ch = ClientHeight();
        ExcludeClipRect(dc, cw - scrollBarWidth_ - 2, 0, cw, ch);
        PaintWindow(dc);
        if (Style() == TComboBoxStyle::csDropDown) {
            if (DroppedDown()) {
                RECT frame{2, 2, Width() - arrowWidth_ - 3, ch - 2};
                TSolidBrush(ColorToRGB(clWindow)).Frame(dc, frame);
            }
        } else {
            DrawFocusStrip(dc);
        }
    }
    message.Result = 0;
    DrawFrameAndArrow();
}

// The combo box lays its edit out over the whole width; this one leaves the arrow room. An edit
// that has the width already is left alone.
void TFlatComboBox::NarrowEdit()
{
    if (Style() != TComboBoxStyle::csDropDown && Style() != TComboBoxStyle::csSimple) return;
    if (!HandleAllocated() || !EditHandle()) return;
    const int width = ClientWidth() - arrowWidth_ - 8, height = Height() - 6;
    RECT r{};
    if (GetWindowRect(EditHandle(), &r) && r.right - r.left == width && r.bottom - r.top == height) return;
    SetWindowPos(EditHandle(), nullptr, 0, 0, width, height, kNarrowEditFlags);
}

// A new window's edit is narrowed at once, not only on the window's first move.
void TFlatComboBox::AfterWindowCreated()
{
    Inherited::AfterWindowCreated();
    NarrowEdit();
}

HBRUSH TFlatComboBox::ListBrush()
{
    const COLORREF color = ColorToRGB(clWindow);
    if (listBrush_.Get() && listBrushColor_ == color) return listBrush_.Get();
    // None to be had (GDI has run out): the list is drawn with the brush there is, or without,
    // and the next paint asks again. A raise would open an error box at each paint.
    if (HBRUSH brush = CreateSolidBrush(color)) {
        listBrush_.Reset(brush);
        listBrushColor_ = color;
    }
    return listBrush_.Get();
}

// ---------------------------------------------------------------------------------------------
// Messages

void TFlatComboBox::InnerWindowProc(TMessage& message, HWND child, WNDPROC defaultProc)
{
    Inherited::InnerWindowProc(message, child, defaultProc);
    if (child == EditHandle() && (message.Msg == WM_SETFOCUS || message.Msg == WM_KILLFOCUS)) ActiveUpdate();
}

void TFlatComboBox::ReflectedCommand(TMessage& message)
{
    Inherited::ReflectedCommand(message);
    switch (HIWORD(message.WParam)) {
    case CBN_SELCHANGE:
    case CBN_DROPDOWN:
    case CBN_SELENDOK:
        if (IsListStyle()) {
            TWindowDC dc(Handle(), false);
            DrawFocusStrip(dc.Get());
        }
        break;
    case CBN_CLOSEUP: {
        RECT r = ArrowRect();
        r.left -= 2;
        InvalidateRect(Handle(), &r, FALSE);
        break;
    }
    default: break;
    }
}

void TFlatComboBox::HandleWindowMessage(TMessage& message)
{
    switch (message.Msg) {
    case WM_WINDOWPOSCHANGING:
        NarrowEdit();
        Inherited::HandleWindowMessage(message);
        break;
    case WM_CTLCOLORLISTBOX:
        Inherited::HandleWindowMessage(message);
        SetBkColor(reinterpret_cast<HDC>(message.WParam), ColorToRGB(clWindow));
        message.Result = reinterpret_cast<LRESULT>(ListBrush());
        break;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        Inherited::HandleWindowMessage(message);
        ActiveUpdate();
        if (IsListStyle()) {
            TWindowDC dc(Handle(), false);
            DrawFocusStrip(dc.Get());
        }
        break;
    case CM_ENABLEDCHANGED:
        Inherited::HandleWindowMessage(message);
        Invalidate();
        break;
    case WM_KEYDOWN: {
        const std::wstring before = Text();
        Inherited::HandleWindowMessage(message);
        if (IsListStyle() && Text() != before) {
            TWindowDC dc(Handle(), false);
            DrawFocusStrip(dc.Get());
        }
        break;
    }
    case WM_PAINT:
        PaintFlat(message);
        break;
    case WM_NCPAINT:
        Inherited::HandleWindowMessage(message);
        DrawFrameAndArrow();
        break;
    case CM_FONTCHANGED:
        Inherited::HandleWindowMessage(message);
        SetItemHeight(13);
        if (HandleAllocated()) RecreateWnd();
        break;
    case CM_SYSCOLORCHANGE:
        Inherited::HandleWindowMessage(message);
        RecomputeColors();
        Invalidate();
        break;
    case CM_PARENTCOLORCHANGED:
        RecomputeColors();
        Invalidate();
        break;
    default:
        Inherited::HandleWindowMessage(message);
        break;
    }
}

namespace {
const bool registered = (RegisterClassRecords({&TFlatComboBox::StaticClass()}), true);
}
