#include "Buttons.h"

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

void TSpeedButton::SetGroupIndex(int value)
{
    if (value == groupIndex_) return;
    groupIndex_ = value;
    UpdateExclusive();
}

void TSpeedButton::SetAllowAllUp(bool value)
{
    if (value == allowAllUp_) return;
    allowAllUp_ = value;
    UpdateExclusive();
}

void TSpeedButton::SetFlat(bool value)
{
    if (value == flat_) return;
    flat_ = value;
    Invalidate();
}

void TSpeedButton::SetDown(bool value)
{
    if (groupIndex_ == 0) value = false;
    if (value == down_) return;
    if (down_ && !allowAllUp_) return;
    down_ = value;
    if (value) {
        if (state_ == TButtonState::bsUp) Invalidate();
        state_ = TButtonState::bsExclusive;
    } else {
        state_ = TButtonState::bsUp;
        Repaint();
    }
    if (value) UpdateExclusive();
}

void TSpeedButton::UpdateExclusive()
{
    if (groupIndex_ == 0 || !Parent()) return;
    TMessage m{CM_BUTTONPRESSED, static_cast<WPARAM>(groupIndex_), reinterpret_cast<LPARAM>(this), 0};
    Parent()->Broadcast(m);
}

bool TSpeedButton::Inside(int x, int y) const { return x >= 0 && x < Width() && y >= 0 && y <= Height(); }

void TSpeedButton::MouseDown(TMouseButton button, TShiftState shift, int x, int y)
{
    TGraphicControl::MouseDown(button, shift, x, y);
    if (button != TMouseButton::mbLeft || !Enabled()) return;
    if (!down_) {
        state_ = TButtonState::bsDown;
        Invalidate();
    }
    dragging_ = true;
}

void TSpeedButton::MouseMove(TShiftState shift, int x, int y)
{
    TGraphicControl::MouseMove(shift, x, y);
    if (!dragging_) return;
    TButtonState next = down_ ? TButtonState::bsExclusive : TButtonState::bsUp;
    if (Inside(x, y) && !down_) next = TButtonState::bsDown;
    if (next != state_) {
        state_ = next;
        Invalidate();
    }
}

void TSpeedButton::MouseUp(TMouseButton button, TShiftState shift, int x, int y)
{
    TGraphicControl::MouseUp(button, shift, x, y);
    if (!dragging_) return;
    dragging_ = false;
    const bool inside = Inside(x, y);
    if (groupIndex_ == 0) {
        state_ = TButtonState::bsUp;
        mouseInControl_ = false;
        Invalidate();
    } else if (inside) {
        SetDown(!down_);
        if (down_) Repaint();
    } else {
        if (down_) state_ = TButtonState::bsExclusive;
        Repaint();
    }
    if (inside) Click();
}

void TSpeedButton::Paint()
{
    HDC dc = PaintDC();
    if (!Enabled()) {
        state_ = TButtonState::bsDisabled;
        dragging_ = false;
    } else if (state_ == TButtonState::bsDisabled) {
        state_ = down_ && groupIndex_ != 0 ? TButtonState::bsExclusive : TButtonState::bsUp;
    }
    RECT r{0, 0, Width(), Height()};
    HBRUSH face = CreateSolidBrush(GetSysColor(COLOR_BTNFACE));
    FillRect(dc, &r, face);
    DeleteObject(face);
    const bool pressed = state_ == TButtonState::bsDown || state_ == TButtonState::bsExclusive;
    if (!flat_ || pressed || mouseInControl_) {
        RECT edge = r;
        DrawEdge(dc, &edge, pressed ? EDGE_SUNKEN : (flat_ ? BDR_RAISEDINNER : EDGE_RAISED), BF_RECT);
    }
    const std::string text = Caption();
    if (!text.empty()) {
        RECT t = r;
        if (pressed) OffsetRect(&t, 1, 1);
        HGDIOBJ oldFont = SelectObject(dc, FontHandle());
        SetBkMode(dc, TRANSPARENT);
        const UINT flags = DT_CENTER | DT_VCENTER | DT_SINGLELINE;
        if (state_ == TButtonState::bsDisabled) {
            OffsetRect(&t, 1, 1);
            SetTextColor(dc, GetSysColor(COLOR_BTNHIGHLIGHT));
            DrawTextA(dc, text.c_str(), -1, &t, flags);
            OffsetRect(&t, -1, -1);
            SetTextColor(dc, GetSysColor(COLOR_BTNSHADOW));
        } else {
            SetTextColor(dc, FontColorRGB());
        }
        DrawTextA(dc, text.c_str(), -1, &t, flags);
        SelectObject(dc, oldFont);
    }
}

void TSpeedButton::HandleWindowMessage(TMessage& message)
{
    switch (message.Msg) {
    case WM_LBUTTONDBLCLK:
        TGraphicControl::HandleWindowMessage(message);
        if (down_) DblClick();
        break;
    case CM_ENABLEDCHANGED:
        if (!Enabled()) {
            mouseInControl_ = false;
            state_ = TButtonState::bsDisabled;
        }
        Invalidate();
        break;
    case CM_BUTTONPRESSED: {
        auto* sender = reinterpret_cast<TSpeedButton*>(message.LParam);
        if (static_cast<int>(message.WParam) == groupIndex_ && sender != this && IsInstance<TSpeedButton>(sender)) {
            if (sender->Down() && down_) {
                down_ = false;
                state_ = TButtonState::bsUp;
                Invalidate();
            }
            allowAllUp_ = sender->AllowAllUp();
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
        if (Enabled() && !mouseInControl_) {
            mouseInControl_ = true;
            if (flat_) Repaint();
        }
        break;
    case CM_MOUSELEAVE:
        if (mouseInControl_ && Enabled() && !dragging_) {
            mouseInControl_ = false;
            if (flat_) Invalidate();
        }
        break;
    default:
        TGraphicControl::HandleWindowMessage(message);
        break;
    }
}

namespace {
const bool registered = (RegisterClassRecords({&TSpeedButton::StaticClass()}), true);
}
