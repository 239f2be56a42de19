// The band form as its site sees it: the show and hide that the shell's ShowDW becomes (the drop
// target registered from each show until the next hide, the hotkey released at a hide), the
// answers to the shell's size questions (one fixed size, the panel's), the close, and the window
// class by which the settings program finds the form with the style that puts it on view.
#include <windows.h>

#include <cstring>

#include "ComObj.h"
#include "QuormelDropTarget.h"
#include "QuormelForm.h"

void TquormelForm::zBandFormShow(TObject*)
{
    // Only the form registers its window, so a window already registered is the form's own
    // registration of an earlier show still standing: nothing to report.
    const HRESULT registered = RegisterDragDrop(Handle(), FDropTarget);
    if (registered != DRAGDROP_E_ALREADYREGISTERED) OleCheck(registered);
}

void TquormelForm::zBandFormHide(TObject*)
{
    OleCheck(RevokeDragDrop(Handle()));
    SetHotKey(false, 0);
}

IDropTarget* TquormelForm::DropTarget() const
{
    return FDropTarget;
}

POINTL TquormelForm::zBandFormBandGetMinSize(TObject*)
{
    const POINTL size{PanelMain->Width(), PanelMain->Height()};
    // Asked its size, the band is being laid out to be seen: shown from the shell's first layout
    // on, and a drop target from then, whether the shell's ShowDW comes before or after.
    Show();
    return size;
}

POINTL TquormelForm::zBandFormBandGetMaxSize(TObject*)
{
    return POINTL{PanelMain->Width(), PanelMain->Height()};
}

POINTL TquormelForm::zBandFormBandGetActualSize(TObject*)
{
    return POINTL{PanelMain->Width(), PanelMain->Height()};
}

void TquormelForm::zBandFormCanResize(TObject*, int& newWidth, int& newHeight, bool&)
{
    // The resource sets the form's size before the panel exists.
    if (!PanelMain) return;
    newWidth = PanelMain->Width();
    newHeight = PanelMain->Height();
}

void TquormelForm::zBandFormConstrainedResize(TObject*, int& minWidth, int& minHeight, int& maxWidth,
                                              int& maxHeight)
{
    if (!PanelMain) return;
    minWidth = maxWidth = PanelMain->Width();
    minHeight = maxHeight = PanelMain->Height();
}

void TquormelForm::zBandFormClose(TObject*, TCloseAction& action)
{
    // The band object forgets the form when it closes it; the form frees itself.
    action = TCloseAction::caFree;
}

void TquormelForm::AdjustCreateParams(TCreateParams& params)
{
    TzBandForm::AdjustCreateParams(params);
    static_assert(sizeof BandFormClassName <= sizeof params.WinClassName);
    std::memcpy(params.WinClassName, BandFormClassName, sizeof BandFormClassName);
    // On view on its site as soon as its window is made, not only once the form is shown: the
    // Visible property (drop target on, hotkey off) follows the shell's show and hide alone.
    params.Style |= WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_BORDER;
}

