// The band form's hotkey, its reload on WM_SETFOCUS and the focus that the hotkey moves into the
// input box. Every band of the process registers under the same identifier (the global atom
// "hotkey"), so the first band to register a combination holds it and the others go without.
#include "DllUnit.h"
#include "QuormelForm.h"

void TquormelForm::SetHotKey(bool shift, uint8_t ch)
{
    // Nothing may be registered yet; the answer does not matter.
    UnregisterHotKey(Handle(), HotKeyAtom);
    if (ch < 'A' || ch > 'Z') return;
    // Taken by another window: the band goes without a hotkey and says nothing.
    RegisterHotKey(Handle(), static_cast<int>(HotKeyAtom), shift ? (MOD_CONTROL | MOD_SHIFT) : MOD_CONTROL, ch);
}

void TquormelForm::ReloadSettings()
{
    const TIniFile ini(SettingsPath());
    ReadCaptions(ini);
    ReadEngines(ini);
    ReadHotKey(ini);
}

void TquormelForm::HandleWindowMessage(TMessage& message)
{
    TzBandForm::HandleWindowMessage(message);
    // Before the create event and while the form is taken apart there is nothing to reload.
    if (!engines_ || IsBeingFreed()) return;
    switch (message.Msg) {
    case WM_SETFOCUS:
        // Whoever sends it: the settings program after a save, or the system when the form's
        // window gains the focus.
        ReloadSettings();
        ::SetFocus(ComboBox1->Handle());
        break;
    case WM_HOTKEY: {
        // The focus moves into the box without activating any window: the input of the
        // foreground thread is joined with the band's for the one message.
        const HWND box = ComboBox1->Handle();
        const HWND foreground = GetForegroundWindow();
        const DWORD foregroundThread = foreground ? GetWindowThreadProcessId(foreground, nullptr) : 0;
        const DWORD ownThread = GetWindowThreadProcessId(Handle(), nullptr);
        if (foreground && foregroundThread != ownThread) {
            AttachThreadInput(foregroundThread, ownThread, TRUE);
            SendMessageA(box, WM_SETFOCUS, 0, 0);
            AttachThreadInput(foregroundThread, ownThread, FALSE);
        } else {
            SendMessageA(box, WM_SETFOCUS, 0, 0);
        }
        break;
    }
    default:
        break;
    }
}
