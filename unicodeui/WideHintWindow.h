#pragma once
// The hint window of the Unicode controls: the class library's hint window showing a UTF-16 hint.
//
// The class library passes a hint around as an ANSI string. When a Unicode control is about to
// show its hint, its trap (PrepareWideHint) puts TWideHintWindow in place of the default hint
// window class and marks the hint-information record (its hint data holds the record's own
// address), so that the hint window finds the control behind the ANSI string and shows the wide
// hint. Hints of every other control keep the class library's window. Off the Unicode platform
// everything here is the class library's own.
#include <windows.h>

#include <string>

#include "Forms.h"

class TWideHintWindow : public THintWindow {
    KERVO_CLASS(TWideHintWindow, THintWindow)
public:
    explicit TWideHintWindow(TComponent* owner) : THintWindow(owner) {}

    // The window's own wide text.
    std::wstring HintWideCaption();
    void SetHintWideCaption(const std::wstring& value);

    void ShowHintAt(RECT rect, const std::string& hint) override;
    void ShowHintWithData(RECT rect, const std::string& hint, void* data) override;
    RECT MeasureHint(int maxWidth, const std::string& hint, void* data) override;
    void HandleWindowMessage(TMessage& message) override;

protected:
    void MakeWindowHandle(const TCreateParams& params) override;
    void PaintHint() override;
    void DrawHintText(HDC dc, RECT& rect) override;

private:
    // The DT_RTLREADING flag of a right-to-left window.
    UINT ReadingOrderFlags();

    bool activating_ = false;    // a text change does not resize the window meanwhile
    bool paintBlocked_ = false;  // a wide activation runs: nothing is painted meanwhile
};

// The hint data of a record that PrepareWideHint marked for a TWideHintWindow; a pointer that
// does not lead to a readable, marked record counts as foreign.
bool IsWideHintData(void* data);
// The wide text behind the record's ANSI hint string: the control's short wide hint (with the
// wide text of its action's shortcut when the class library appended the shortcut), else the
// hint string converted (one that the application's hint event replaced shows as it stands).
std::wstring WideHintFromData(const THintInfo& info);
