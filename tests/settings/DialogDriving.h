#pragma once
// Driving the settings dialog and the engine editor from a test: their fields' text and items,
// the application's own loop (its key handling included), and an action run from inside the
// engine editor's modal loop.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "Forms.h"
#include "WideStdCtrls.h"
#include "adden.h"

namespace settingstest {

inline std::wstring TextOf(TWideComboBox* field) { return field->Text(); }
inline void SetTextOf(TWideComboBox* field, const std::wstring& text) { field->SetText(text); }
inline std::vector<std::wstring> ItemsOf(TWideComboBox* field)
{
    std::vector<std::wstring> out;
    for (int i = 0; i < field->Items()->Count(); ++i) out.push_back(field->Items()->Strings(i));
    return out;
}
// Pumps through the application's own loop (its key handling included) until done() holds; false
// after a few seconds, which only keeps a broken test from hanging.
inline bool PumpApplicationUntil(const std::function<bool()>& done)
{
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > 4000) return false;
        Application->ProcessMessages();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    return true;
}

// Runs the action once from the modal loop of the engine editor.
class WhileModal {
public:
    explicit WhileModal(std::function<void()> action)
    {
        Action() = std::move(action);
        id_ = SetTimer(nullptr, 0, 10, &WhileModal::Fire);
    }
    ~WhileModal()
    {
        KillTimer(nullptr, id_);
        Action() = nullptr;
    }

private:
    static std::function<void()>& Action()
    {
        static std::function<void()> action;
        return action;
    }
    static void CALLBACK Fire(HWND, UINT, UINT_PTR, DWORD)
    {
        if (!AddEngine->IsModal() || !Action()) return;
        auto action = std::move(Action());
        Action() = nullptr;
        action();
    }
    UINT_PTR id_;
};

}  // namespace settingstest
