// A library built on the Unicode layer, as the band library is: its start-up installs the message
// hook on the thread that loads it, and its unloading must take the hook away with it.
#include <windows.h>

#include <string>

#include "WideActions.h"
#include "WideForms.h"

extern "C" __declspec(dllexport) HHOOK LibraryMessageHook() { return MessageHookHandle(); }

// Proof that the library's code works: a wide action caption outside the code page round-trips.
extern "C" __declspec(dllexport) BOOL LibraryKeepsWideCaption()
{
    try {
        TObjectPtr<TWideAction> action(new TWideAction(nullptr));
        const std::wstring text = L"\xD55C\xAD6D";
        action->SetWideCaption(text);
        return action->WideCaption() == text && action->Caption() == "??";
    } catch (...) {
        return FALSE;
    }
}
