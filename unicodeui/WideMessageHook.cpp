// The thread's message hook of the Unicode layer and the start-up and shut-down that install and
// remove it. A library's start-up runs inside DllMain of a process that is not ours (the shell's),
// so there no exception may leave it: without the hook the library still works, only typed
// characters outside the code page arrive as code-page bytes.
#include <windows.h>

#include "Forms.h"
#include "Streams.h"
#include "WideCodePages.h"
#include "WideForms.h"

namespace {

HHOOK hookHandle = nullptr;
int startCount = 0;

// The module that holds this code is a library (not the program's own executable).
bool InLibrary() { return CurrentModuleInstance() != GetModuleHandleW(nullptr); }

void ReportHookError()
{
    if (Application) Application->HandleException(nullptr, std::current_exception());
}

}  // namespace

HHOOK MessageHookHandle() { return hookHandle; }

bool PassToDialog(MSG& msg)
{
    HWND dialog = Application ? Application->DialogHandle() : nullptr;
    return dialog && IsDialogMessageA(dialog, &msg);
}

LRESULT CALLBACK GetMessageHookProc(int code, WPARAM removal, LPARAM lParam)
{
    // A message only peeked at stays as it is: the loop that removes it later sees it again.
    if (code >= 0 && removal == PM_REMOVE && WideApplication && lParam) {
        MSG* msg = reinterpret_cast<MSG*>(lParam);
        try {
            if (WideApplication->HandleHookedMessage(*msg)) msg->message = WM_NULL;
        } catch (...) {
            ReportHookError();
        }
    }
    return CallNextHookEx(hookHandle, code, removal, lParam);
}

void InstallMessageHook()
{
    HHOOK hook = SetWindowsHookExW(WH_GETMESSAGE, &GetMessageHookProc, nullptr, GetCurrentThreadId());
    if (!hook) RaiseLastOSError();
    hookHandle = hook;
}

void StartWideForms()
{
    if (startCount++ != 0) return;
    WideApplication = new TWideApplication(nullptr);
    if (UnicodePlatform) InstallMessageHook();
}

int WideFormsStartCount() { return startCount; }

void StopWideForms()
{
    if (startCount == 0 || --startCount != 0) return;
    // Removed first in every case: the hook procedure must not outlive this module's code. A hook
    // that Windows dropped already (its thread ended) fails to go, which matters only to a program.
    HHOOK hook = hookHandle;
    hookHandle = nullptr;
    const bool removed = !hook || UnhookWindowsHookEx(hook);
    const DWORD error = removed ? 0 : GetLastError();
    TWideApplication* app = WideApplication;
    WideApplication = nullptr;
    try {
        if (app) app->Free();
    } catch (...) {
    }
    if (!removed && !InLibrary()) RaiseLastOSError(error);
}

namespace {

// The unit's life: after the class library's application object, before the ordinary static
// initialisers of the program or library that links the layer.
struct WideFormsUnit {
    WideFormsUnit()
    {
        if (!InLibrary()) {
            StartWideForms();  // a program ends on a start-up error
            return;
        }
        // A library never lets one out (see above); without the hook it works on.
        try {
            StartWideForms();
        } catch (...) {
        }
    }
    ~WideFormsUnit()
    {
        try {
            StopWideForms();
        } catch (...) {
        }
    }
};
__attribute__((init_priority(300))) WideFormsUnit wideFormsUnit;

}  // namespace
