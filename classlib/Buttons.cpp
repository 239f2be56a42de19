#include "Buttons.h"

#include "GdiScopes.h"
#include "StdCtrls.h"

KERVO_CLASS_RECORD(TSpeedButton)
{
    b.Boolean("AllowAllUp", &TSpeedButton::AllowAllUp, &TSpeedButton::SetAllowAllUp).Default(false);
    b.Integer("GroupIndex", &TSpeedButton::GroupIndex, &TSpeedButton::SetGroupIndex).Default(0);
    b.Boolean("Down", &TSpeedButton::Down, &TSpeedButton::SetDown).Default(false);
    b.Boolean("Flat", &TSpeedButton::Flat, &TSpeedButton::SetFlat).Default(false);
}

TSpeedButton::TSpeedButton(TComponent* owner) : TGraphicControl(owner)
{
    SetBounds(0, 0, 23, 22);
    SetControlStyle({TControlStyleFlag::csCaptureMouse, TControlStyleFlag::csDoubleClicks});
    SetParentFont(true);
}

void TSpeedButton::SetFlat(bool value)
{
    if (value == flat_) return;
    flat_ = value;
    Invalidate();
}

void TSpeedButton::MouseDown(TMouseButton button, TShiftState shift, int x, int y)
{
    TGraphicControl::MouseDown(button, shift, x, y);
    states_.MouseDown(button);
}

void TSpeedButton::MouseMove(TShiftState shift, int x, int y)
{
    TGraphicControl::MouseMove(shift, x, y);
    states_.MouseMove(x, y);
}

void TSpeedButton::MouseUp(TMouseButton button, TShiftState shift, int x, int y)
{
    TGraphicControl::MouseUp(button, shift, x, y);
    if (states_.MouseUp(x, y) && states_.Inside(x, y)) Click();
}

void TSpeedButton::Paint()
{
    HDC dc = PaintDC();
    const TSpeedButtonState state = states_.State();
    RECT r{0, 0, Width(), Height()};
    TSolidBrush(GetSysColor(COLOR_BTNFACE)).Fill(dc, r);
    const bool pressed = state == TSpeedButtonState::Down || state == TSpeedButtonState::Exclusive;
    if (!flat_ || pressed || states_.Hot()) {
        RECT edge = r;
        DrawEdge(dc, &edge, pressed ? EDGE_SUNKEN : (flat_ ? BDR_RAISEDINNER : EDGE_RAISED), BF_RECT);
    }
    const std::string text = Caption();
    if (!text.empty()) {
        RECT t = r;
        if (pressed) OffsetRect(&t, 1, 1);
        const TSelectedObject font(dc, FontHandle());
        SetBkMode(dc, TRANSPARENT);
        const UINT flags = DT_CENTER | DT_VCENTER | DT_SINGLELINE;
        if (state == TSpeedButtonState::Disabled) {
            OffsetRect(&t, 1, 1);
            SetTextColor(dc, GetSysColor(COLOR_BTNHIGHLIGHT));
            DrawTextA(dc, text.c_str(), -1, &t, flags);
            OffsetRect(&t, -1, -1);
            SetTextColor(dc, GetSysColor(COLOR_BTNSHADOW));
        } else {
            SetTextColor(dc, FontColorRGB());
        }
        DrawTextA(dc, text.c_str(), -1, &t, flags);
    }
}

void TSpeedButton::HandleWindowMessage(TMessage& message)
{
    switch (message.Msg) {
    case WM_LBUTTONDBLCLK:
        TGraphicControl::HandleWindowMessage(message);
        if (states_.Down()) DblClick();
        break;
    case CM_ENABLEDCHANGED:
        states_.EnabledChanged();
        Invalidate();
        break;
    case CM_BUTTONPRESSED: {
        auto* sender = reinterpret_cast<TObject*>(message.LParam);
        if (sender != this && IsInstance<TSpeedButton>(sender)) {
            states_.GroupNotified(static_cast<int>(message.WParam), static_cast<TSpeedButton*>(sender)->states_);
        }
        break;
    }
    case CM_DIALOGCHAR:
        if (IsAccel(LOWORD(message.WParam), Caption()) && Enabled() && Visible() && Parent() && Parent()->Showing()) {
            Click();
            message.Result = 1;
        } else {
            TGraphicControl::HandleWindowMessage(message);
        }
        break;
    case CM_MOUSEENTER:
        if (states_.MouseEnter() && flat_) Repaint();
        break;
    case CM_MOUSELEAVE:
        if (states_.MouseLeave() && flat_) Invalidate();
        break;
    default:
        TGraphicControl::HandleWindowMessage(message);
        break;
    }
}

namespace {
const bool registered = (RegisterClassRecords({&TSpeedButton::StaticClass()}), true);
}
