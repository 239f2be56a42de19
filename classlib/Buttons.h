#pragma once
// The standard speed button: windowless, painted by its parent, alone or in a group of which at
// most one is down.
#include <windows.h>

#include "Controls.h"
#include "SpeedButtonStates.h"

class TSpeedButton : public TGraphicControl {
    KERVO_CLASS(TSpeedButton, TGraphicControl)
public:
    explicit TSpeedButton(TComponent* owner);

    // GroupIndex, Down and AllowAllUp follow the speed buttons' group rule (SpeedButtonStates.h).
    int GroupIndex() const { return states_.GroupIndex(); }
    void SetGroupIndex(int value) { states_.SetGroupIndex(value); }
    bool Down() const { return states_.Down(); }
    void SetDown(bool value) { states_.SetDown(value); }
    bool AllowAllUp() const { return states_.AllowAllUp(); }
    void SetAllowAllUp(bool value) { states_.SetAllowAllUp(value); }
    bool Flat() const { return flat_; }
    void SetFlat(bool value);
    TSpeedButtonState State() const { return states_.State(); }
    bool MouseInControl() const { return states_.Hot(); }

    void HandleWindowMessage(TMessage& message) override;
    const TClassRecord& ActionLinkClass() override;

protected:
    void Paint() override;
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseMove(TShiftState shift, int x, int y) override;
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;

private:
    TSpeedButtonStates states_{*this};
    bool flat_ = false;
};
