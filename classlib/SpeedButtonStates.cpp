// The speed buttons' state machine of SpeedButtonStates.h.
#include "SpeedButtonStates.h"

void TSpeedButtonStates::SetState(TSpeedButtonState value)
{
    state_ = button_.Enabled() ? value : TSpeedButtonState::Disabled;
}

void TSpeedButtonStates::SetGroupIndex(int value)
{
    if (value == groupIndex_) return;
    groupIndex_ = value;
    NotifyGroup();
}

void TSpeedButtonStates::SetAllowAllUp(bool value)
{
    if (value == allowAllUp_) return;
    allowAllUp_ = value;
    NotifyGroup();
}

void TSpeedButtonStates::SetDown(bool value)
{
    if (groupIndex_ == 0) value = false;
    if (value == down_) return;
    if (down_ && !allowAllUp_) return;
    down_ = value;
    if (value) {
        if (state_ == TSpeedButtonState::Up) button_.Invalidate();
        SetState(TSpeedButtonState::Exclusive);
        NotifyGroup();
    } else {
        SetState(TSpeedButtonState::Up);
        button_.Repaint();
    }
}

// Every control of the parent hears it, the sender too: a member of the group went down, or the
// group's AllowAllUp changed.
void TSpeedButtonStates::NotifyGroup()
{
    if (groupIndex_ == 0 || !button_.Parent()) return;
    TMessage m{CM_BUTTONPRESSED, static_cast<WPARAM>(groupIndex_), reinterpret_cast<LPARAM>(&button_), 0};
    button_.Parent()->Broadcast(m);
}

void TSpeedButtonStates::GroupNotified(int groupIndex, const TSpeedButtonStates& sender)
{
    if (groupIndex != groupIndex_) return;
    if (sender.down_ && down_) {
        down_ = false;
        SetState(TSpeedButtonState::Up);
        button_.Invalidate();
    }
    allowAllUp_ = sender.allowAllUp_;
}

bool TSpeedButtonStates::Inside(int x, int y) const
{
    return x >= 0 && x < button_.Width() && y >= 0 && y <= button_.Height();
}

void TSpeedButtonStates::MouseDown(TMouseButton button)
{
    if (button != TMouseButton::mbLeft || !button_.Enabled()) return;
    if (!down_) {
        SetState(TSpeedButtonState::Down);
        button_.Invalidate();
    }
    dragging_ = true;
}

void TSpeedButtonStates::MouseMove(int x, int y)
{
    if (!dragging_) return;
    TSpeedButtonState next = down_ ? TSpeedButtonState::Exclusive : TSpeedButtonState::Up;
    if (Inside(x, y) && !down_) next = TSpeedButtonState::Down;
    if (next == state_) return;
    SetState(next);
    button_.Invalidate();
}

bool TSpeedButtonStates::MouseUp(int x, int y)
{
    if (!dragging_) return false;
    dragging_ = false;
    if (groupIndex_ == 0) {
        SetState(TSpeedButtonState::Up);
        hot_ = false;
        button_.Invalidate();
    } else if (Inside(x, y)) {
        SetDown(!down_);
        if (down_) button_.Repaint();
    } else {
        if (down_) SetState(TSpeedButtonState::Exclusive);
        button_.Repaint();
    }
    return true;
}

void TSpeedButtonStates::EnabledChanged()
{
    if (!button_.Enabled()) {
        hot_ = false;
        dragging_ = false;
        state_ = TSpeedButtonState::Disabled;
    } else if (state_ == TSpeedButtonState::Disabled) {
        state_ = down_ && groupIndex_ != 0 ? TSpeedButtonState::Exclusive : TSpeedButtonState::Up;
    }
}

bool TSpeedButtonStates::MouseEnter()
{
    if (!button_.Enabled() || hot_) return false;
    hot_ = true;
    return true;
}

bool TSpeedButtonStates::MouseLeave()
{
    if (!button_.Enabled() || !hot_ || dragging_) return false;
    hot_ = false;
    return true;
}
