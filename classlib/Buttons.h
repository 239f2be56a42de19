#pragma once
// The standard speed button: windowless, painted by its parent, alone or in a group of which at
// most one is down.
#include <windows.h>

#include "Controls.h"

class TSpeedButton : public TGraphicControl {
    KERVO_CLASS(TSpeedButton, TGraphicControl)
public:
    enum class TButtonState { bsUp, bsDisabled, bsDown, bsExclusive };

    explicit TSpeedButton(TComponent* owner);

    int GroupIndex() const { return groupIndex_; }
    void SetGroupIndex(int value);
    // In a group: true puts the others of the group up. A down button of a group comes up only
    // when another goes down, unless AllowAllUp.
    bool Down() const { return down_; }
    void SetDown(bool value);
    bool AllowAllUp() const { return allowAllUp_; }
    void SetAllowAllUp(bool value);
    bool Flat() const { return flat_; }
    void SetFlat(bool value);
    TButtonState State() const { return state_; }
    bool MouseInControl() const { return mouseInControl_; }

    void HandleWindowMessage(TMessage& message) override;
    const TClassRecord& ActionLinkClass() override;

protected:
    void Paint() override;
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseMove(TShiftState shift, int x, int y) override;
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;

private:
    void UpdateExclusive();
    bool Inside(int x, int y) const;

    int groupIndex_ = 0;
    bool down_ = false;
    bool allowAllUp_ = false;
    bool flat_ = false;
    bool dragging_ = false;
    bool mouseInControl_ = false;
    TButtonState state_ = TButtonState::bsUp;
};
