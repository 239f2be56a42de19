// The band form's hotkey and the focus that it moves into the input box, and the form's window
// procedure: the hotkey and WM_SETFOCUS (the reload, which lives beside the load) go from there
// to their handling, and the window's end revokes the drop target. Every band of the process
// registers under the same identifier (the global atom "hotkey"), so the first band to register a
// combination holds it and the others go without.
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

namespace {

// How long the hotkey waits for the foreground window's thread to answer before it leaves that
// thread's input alone. Joined with a thread that does not pump, the band's thread (the shell's)
// would wait in the focus change for as long as that thread hangs.
constexpr UINT kForegroundAnswerMs = 200;

bool Answers(HWND window)
{
    DWORD_PTR result = 0;
    // Blocking: nothing else of this thread runs while it waits, so the form is still there after.
    return SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_BLOCK | SMTO_ABORTIFHUNG, kForegroundAnswerMs, &result) !=
           0;
}

// The hotkey's step: the focus moves into the box without activating any window. The input of
// the foreground thread is joined with the band's for the one message, when that thread answers.
void FocusFromAnywhere(HWND box, HWND form)
{
    const HWND foreground = GetForegroundWindow();
    const DWORD foregroundThread = foreground ? GetWindowThreadProcessId(foreground, nullptr) : 0;
    const DWORD ownThread = GetWindowThreadProcessId(form, nullptr);
    if (foreground && foregroundThread != ownThread && Answers(foreground)) {
        AttachThreadInput(foregroundThread, ownThread, TRUE);
        SendMessageA(box, WM_SETFOCUS, 0, 0);
        AttachThreadInput(foregroundThread, ownThread, FALSE);
    } else {
        SendMessageA(box, WM_SETFOCUS, 0, 0);
    }
}

}  // namespace

void TquormelForm::HandleWindowMessage(TMessage& message)
{
    const UINT msg = message.Msg;
    // The window may go without a hide, with its parent: OLE must not keep the form after it.
    // Not registered, the revoke answers so and does nothing.
    if (msg == WM_DESTROY) RevokeDragDrop(Handle());
    TzBandForm::HandleWindowMessage(message);
    // The inherited handling may have freed the form (its release, or its window destroyed with
    // the site's): only the two messages below look at it afterwards, and neither frees it.
    // Before the create event and while the form is taken apart they have nothing to do.
    switch (msg) {
    case WM_SETFOCUS:
        if (!FEngines || IsBeingFreed()) return;
        // Whoever sends it: the settings program after a save, or the system when the form's
        // window gains the focus. It is the one notice that reaches every band in the shell's
        // process from outside, and the two senders cannot be told apart.
        ReloadSettings();
        ::SetFocus(ComboBox1->Handle());
        return;
    case WM_HOTKEY:
        if (!FEngines || IsBeingFreed()) return;
        FocusFromAnywhere(ComboBox1->Handle(), Handle());
        return;
    default: return;
    }
}
