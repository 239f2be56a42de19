#include "ExtCtrls.h"

#include "GdiScopes.h"
#include "Graphics.h"

#include <utility>

namespace {

void FillSolid(HDC dc, const RECT& r, COLORREF color) { TSolidBrush(color).Fill(dc, r); }

// Left out when no pen can be made (the context's own would draw it in another colour).
void Line(HDC dc, int x1, int y1, int x2, int y2, COLORREF color)
{
    const TGdiObject<HPEN> pen(CreatePen(PS_SOLID, 1, color));
    if (!pen.Get()) return;
    const TSelectedObject selected(dc, pen.Get());
    MoveToEx(dc, x1, y1, nullptr);
    LineTo(dc, x2, y2);
}

}  // namespace

void Frame3D(HDC dc, RECT& rect, COLORREF topColor, COLORREF bottomColor, int width)
{
    for (int i = 0; i < width; ++i) {
        FillSolid(dc, RECT{rect.left, rect.top, rect.right - 1, rect.top + 1}, topColor);
        FillSolid(dc, RECT{rect.left, rect.top, rect.left + 1, rect.bottom - 1}, topColor);
        FillSolid(dc, RECT{rect.right - 1, rect.top, rect.right, rect.bottom}, bottomColor);
        FillSolid(dc, RECT{rect.left, rect.bottom - 1, rect.right, rect.bottom}, bottomColor);
        InflateRect(&rect, -1, -1);
    }
}

// ---------------------------------------------------------------------------------------------
// TPanel

KERVO_CLASS_RECORD(TPanel)
{
    const std::vector<std::string> bevels{"bvNone", "bvLowered", "bvRaised", "bvSpace"};
    b.Enum("BevelInner", &TPanel::BevelInner, &TPanel::SetBevelInner, bevels).Default(TPanelBevel::bvNone);
    b.Enum("BevelOuter", &TPanel::BevelOuter, &TPanel::SetBevelOuter, bevels).Default(TPanelBevel::bvRaised);
    b.Integer("BevelWidth", &TPanel::BevelWidth, &TPanel::SetBevelWidth).Default(1);
}

TPanel::TPanel(TComponent* owner) : TWinControl(owner)
{
    SetControlStyle({TControlStyleFlag::csAcceptsControls, TControlStyleFlag::csCaptureMouse,
                     TControlStyleFlag::csClickEvents, TControlStyleFlag::csOpaque,
                     TControlStyleFlag::csDoubleClicks});
    SetBounds(0, 0, 185, 41);
    SetColor(SysColorValue(COLOR_BTNFACE));
}

void TPanel::SetBevelOuter(TPanelBevel value)
{
    bevelOuter_ = value;
    Invalidate();
}

void TPanel::SetBevelInner(TPanelBevel value)
{
    bevelInner_ = value;
    Invalidate();
}

void TPanel::SetBevelWidth(int value)
{
    bevelWidth_ = value < 1 ? 1 : value;
    Invalidate();
}

void TPanel::PaintWindow(HDC dc)
{
    RECT r;
    GetClientRect(Handle(), &r);
    const COLORREF highlight = GetSysColor(COLOR_BTNHIGHLIGHT);
    const COLORREF shadow = GetSysColor(COLOR_BTNSHADOW);
    auto bevel = [&](TPanelBevel kind) {
        if (kind == TPanelBevel::bvNone) return;
        if (kind == TPanelBevel::bvLowered) Frame3D(dc, r, shadow, highlight, bevelWidth_);
        else if (kind == TPanelBevel::bvRaised) Frame3D(dc, r, highlight, shadow, bevelWidth_);
        else InflateRect(&r, -bevelWidth_, -bevelWidth_);
    };
    bevel(bevelOuter_);
    bevel(bevelInner_);
    FillSolid(dc, r, ColorToRGB(Color()));
    const std::string text = Caption();
    if (!text.empty()) {
        const TSelectedObject font(dc, FontHandle());
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, FontColorRGB());
        DrawTextA(dc, text.c_str(), -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    }
}

void TPanel::HandleWindowMessage(TMessage& message)
{
    switch (message.Msg) {
    case WM_PAINT:
        PaintHandler(message);
        break;
    case WM_ERASEBKGND:
        message.Result = 1;
        break;
    case CM_TEXTCHANGED:
        Invalidate();
        break;
    default:
        TWinControl::HandleWindowMessage(message);
        break;
    }
}

// ---------------------------------------------------------------------------------------------
// TBevel

KERVO_CLASS_RECORD(TBevel)
{
    b.Enum("Shape", &TBevel::Shape, &TBevel::SetShape,
           {"bsBox", "bsFrame", "bsTopLine", "bsBottomLine", "bsLeftLine", "bsRightLine", "bsSpacer"})
        .Default(TBevelShape::bsBox);
    b.Enum("Style", &TBevel::Style, &TBevel::SetStyle, {"bsLowered", "bsRaised"}).Default(TBevelStyle::bsLowered);
}

TBevel::TBevel(TComponent* owner) : TGraphicControl(owner) { SetBounds(0, 0, 50, 50); }

void TBevel::SetShape(TBevelShape value)
{
    shape_ = value;
    Invalidate();
}

void TBevel::SetStyle(TBevelStyle value)
{
    style_ = value;
    Invalidate();
}

void TBevel::Paint()
{
    HDC dc = PaintDC();
    COLORREF first = GetSysColor(COLOR_BTNSHADOW);
    COLORREF second = GetSysColor(COLOR_BTNHIGHLIGHT);
    if (style_ == TBevelStyle::bsRaised) std::swap(first, second);
    const int w = Width(), h = Height();
    RECT r{0, 0, w, h};
    switch (shape_) {
    case TBevelShape::bsBox: Frame3D(dc, r, first, second, 1); break;
    case TBevelShape::bsFrame: {
        RECT outer{1, 1, w, h};
        Frame3D(dc, outer, second, second, 1);
        RECT inner{0, 0, w - 1, h - 1};
        Frame3D(dc, inner, first, first, 1);
        break;
    }
    case TBevelShape::bsTopLine:
        Line(dc, 0, 0, w, 0, first);
        Line(dc, 0, 1, w, 1, second);
        break;
    case TBevelShape::bsBottomLine:
        Line(dc, 0, h - 2, w, h - 2, first);
        Line(dc, 0, h - 1, w, h - 1, second);
        break;
    case TBevelShape::bsLeftLine:
        Line(dc, 0, 0, 0, h, first);
        Line(dc, 1, 0, 1, h, second);
        break;
    case TBevelShape::bsRightLine:
        Line(dc, w - 2, 0, w - 2, h, first);
        Line(dc, w - 1, 0, w - 1, h, second);
        break;
    case TBevelShape::bsSpacer: break;
    }
}

namespace {
const bool registered = (RegisterClassRecords({&TPanel::StaticClass(), &TBevel::StaticClass()}), true);
}
