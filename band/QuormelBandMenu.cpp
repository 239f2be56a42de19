// The band form's answers to the shell's size questions (one fixed size, the panel's), its close,
// its window style, its own context menu with the two commands, and the hover tracking of its
// flat controls from a 100 ms timer: inside the shell's window the controls do not see the mouse
// leave reliably, so the form tells them where the cursor is.
#include <windows.h>
#include <shellapi.h>

#include <cstring>

#include "QuormelForm.h"

namespace {

constexpr wchar_t kSettingsProgram[] = L"palvenor.exe";
constexpr wchar_t kHomePage[] = L"http://www.example.com/kervo/";

}  // namespace

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

void TquormelForm::zBandFormContextPopup(TObject*, POINT mousePos, bool& handled)
{
    const bool handledBefore = handled;
    const POINT screen = ClientToScreen(mousePos);
    handled = true;
    // Over the edit part of the input box its own edit menu stays.
    POINT cursor{};
    GetCursorPos(&cursor);
    const POINT p = ComboBox1->ScreenToClient(cursor);
    const RECT box = ComboBox1->ClientRect();
    if (p.x >= 0 && p.x <= box.right - 16 && p.y >= 0 && p.y <= box.bottom) return;
    if (!handledBefore) PopupMenu1->Popup(screen.x, screen.y);
}

void TquormelForm::ActionOption1Execute(TObject*)
{
    // Beside the band library; the bare name when the library is not registered.
    const std::wstring program = ExtractFolder(GetCachedLibraryPath()) + kSettingsProgram;
    ShellExecuteW(Handle(), nullptr, program.c_str(), nullptr, nullptr, SW_SHOW);
    // As after a search: the band comes back on top of its site whatever the started program did.
    Show();
}

void TquormelForm::ActionHome1Execute(TObject*)
{
    ShellExecuteW(Handle(), nullptr, kHomePage, nullptr, nullptr, SW_SHOW);
    // As after a search: the band comes back on top of its site whatever the browser's start did.
    Show();
}

void TquormelForm::Timer1Timer(TObject*)
{
    TrackHover();
}

void TquormelForm::TrackHover()
{
    TFlatSpeedButton* const modes[] = {SpeedButtonSearch1, SpeedButtonCache1, SpeedButtonDic1, SpeedButtonFile1};
    POINT cursor{};
    GetCursorPos(&cursor);
    const POINT p = PanelMain->ScreenToClient(cursor);
    const bool inPanel = p.x >= 0 && p.x <= PanelMain->Width() && p.y >= 0 && p.y <= PanelMain->Height();
    if (!inPanel) {
        for (TFlatSpeedButton* button : modes) button->Perform(CM_MOUSELEAVE);
        SpeedButtonExec1->Perform(CM_MOUSELEAVE);
        ComboBox1->SetHovered(false);
        return;
    }
    // Only x selects: the first mode button whose right edge is at or beyond it.
    int hot = -1;
    for (int i = 0; i < 4; ++i) {
        if (modes[i]->Left() + modes[i]->Width() >= p.x) {
            hot = i;
            break;
        }
    }
    if (hot >= 0) {
        for (int i = 0; i < hot; ++i) modes[i]->Perform(CM_MOUSELEAVE);
        modes[hot]->Perform(CM_MOUSEENTER);
        for (int i = hot + 1; i < 4; ++i) modes[i]->Perform(CM_MOUSELEAVE);
        SpeedButtonExec1->Perform(CM_MOUSELEAVE);
        ComboBox1->SetHovered(false);
        return;
    }
    for (TFlatSpeedButton* button : modes) button->Perform(CM_MOUSELEAVE);
    if (p.x < SpeedButtonExec1->Left()) {
        SpeedButtonExec1->Perform(CM_MOUSELEAVE);
        ComboBox1->SetHovered(true);
    } else {
        SpeedButtonExec1->Perform(CM_MOUSEENTER);
        ComboBox1->SetHovered(false);
    }
}
