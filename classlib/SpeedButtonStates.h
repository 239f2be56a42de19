#pragma once
// What a speed button is at a moment (up, pressed, down in its group, disabled; hot or not) and
// how the mouse, its group and an enabled change move it: one machine, so that the standard and
// the flat speed button, which paint differently, follow the same group rule. The button owns
// its machine, hands it its events and paints from what it reads; the machine invalidates or
// repaints the button where its picture changes and sends the group's notification for it.
#include <windows.h>

#include <cstdint>

#include "Controls.h"

// The state a speed button is painted in. Disabled while the button is disabled, whatever else
// happens to it; on enabling the state follows from Down.
enum class TSpeedButtonState : uint8_t { Up = 0, Disabled = 1, Down = 2, Exclusive = 3 };

class TSpeedButtonStates {
public:
    explicit TSpeedButtonStates(TControl& button) : button_(button) {}
    TSpeedButtonStates(const TSpeedButtonStates&) = delete;
    TSpeedButtonStates& operator=(const TSpeedButtonStates&) = delete;

    TSpeedButtonState State() const { return state_; }
    // 0 is no group. Changing it or AllowAllUp tells the group (CM_BUTTONPRESSED).
    int GroupIndex() const { return groupIndex_; }
    void SetGroupIndex(int value);
    // In a group, true raises the one that was down; a down button comes up only when another of
    // its group goes down, unless AllowAllUp. Without a group it stays false.
    bool Down() const { return down_; }
    void SetDown(bool value);
    bool AllowAllUp() const { return allowAllUp_; }
    void SetAllowAllUp(bool value);
    // The left button went down on the button and has not come up yet.
    bool Dragging() const { return dragging_; }
    // The mouse is over the button.
    bool Hot() const { return hot_; }
    void SetHot(bool value) { hot_ = value; }

    // CM_BUTTONPRESSED from another button of the same kind, whose machine sender is.
    void GroupNotified(int groupIndex, const TSpeedButtonStates& sender);
    // The point lies on the button: its bottom row (y = height) counts, its right column does not.
    bool Inside(int x, int y) const;
    void MouseDown(TMouseButton button);
    void MouseMove(int x, int y);
    // Ends a press: answers false when none was in progress.
    bool MouseUp(int x, int y);
    // After the button's Enabled changed.
    void EnabledChanged();
    // The mouse came over the button or left it: answers whether Hot changed (only while enabled;
    // a press in progress keeps the button hot).
    bool MouseEnter();
    bool MouseLeave();

private:
    void SetState(TSpeedButtonState value);
    void NotifyGroup();

    TControl& button_;
    int groupIndex_ = 0;
    bool down_ = false;
    bool allowAllUp_ = false;
    bool dragging_ = false;
    bool hot_ = false;
    TSpeedButtonState state_ = TSpeedButtonState::Up;
};
