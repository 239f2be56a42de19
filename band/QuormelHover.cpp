// The hover tracking of the band form's flat controls from a 100 ms timer: inside the shell's
// window the controls do not see the mouse leave reliably, so the form tells them where the
// cursor is.
#include <windows.h>

#include "QuormelForm.h"

void TquormelForm::Timer1Timer(TObject*)
{
    TrackHover();
}

void TquormelForm::TrackHover()
{
    POINT cursor{};
    GetCursorPos(&cursor);
    const POINT p = PanelMain->ScreenToClient(cursor);
    const bool inPanel = p.x >= 0 && p.x <= PanelMain->Width() && p.y >= 0 && p.y <= PanelMain->Height();
    // Only x selects: the first mode button whose right edge is at or beyond it; beyond them all,
    // the input box's column up to the execute button's left edge, then the execute button.
    int hot = kModeCount;
    for (int m = 0; inPanel && m < kModeCount; ++m) {
        const TFlatSpeedButton* button = ModeButton(static_cast<TSearchMode>(m));
        if (button->Left() + button->Width() >= p.x) {
            hot = m;
            break;
        }
    }
    // On every tick, whether anything changed or not: the mode buttons in order, the execute
    // button, then the box.
    for (int m = 0; m < kModeCount; ++m)
        ModeButton(static_cast<TSearchMode>(m))->Perform(m == hot ? CM_MOUSEENTER : CM_MOUSELEAVE);
    const bool pastModes = inPanel && hot == kModeCount;
    const bool onExec = pastModes && p.x >= SpeedButtonExec1->Left();
    SpeedButtonExec1->Perform(onExec ? CM_MOUSEENTER : CM_MOUSELEAVE);
    ComboBox1->SetHovered(pastModes && !onExec);
}
