// The wide hint window and the preparation of a Unicode control's hint for it.
#include "WideHintWindow.h"

#include "ActnList.h"
#include "GdiScopes.h"
#include "WideCodePages.h"
#include "WideControls.h"
#include "WideGraphics.h"
#include "WideMenus.h"

namespace {

// Sets a flag for the time of a call; it returns to what it was also when an exception passes
// (an activation runs inside an activation with data).
class FlagScope {
public:
    explicit FlagScope(bool& flag) : flag_(flag), previous_(flag) { flag_ = true; }
    ~FlagScope() { flag_ = previous_; }
    FlagScope(const FlagScope&) = delete;
    FlagScope& operator=(const FlagScope&) = delete;

private:
    bool& flag_;
    bool previous_;
};

}  // namespace

// ---------------------------------------------------------------------------------------------
// Preparing and finding the wide hint

void PrepareWideHint(TMessage& message)
{
    if (!UnicodePlatform || !message.LParam) return;
    auto* info = reinterpret_cast<THintInfo*>(message.LParam);
    const TClassRecord* cls = info->HintWindowClass;
    const bool plain = cls == &THintWindow::StaticClass();
    if (!plain && !(cls && cls->InheritsFrom(TWideHintWindow::StaticClass()))) return;
    if (plain) info->HintWindowClass = &TWideHintWindow::StaticClass();
    info->HintData = info;
    info->HintStr = AnsiFromWide(WideShortHintPart(GetEffectiveWideHint(info->HintControl)));
}

bool IsWideHintData(void* data)
{
    if (!data || !IsReadableMemory(data, sizeof(THintInfo))) return false;
    const auto* info = static_cast<const THintInfo*>(data);
    if (info->HintData != data || !info->HintWindowClass) return false;
    return info->HintWindowClass->InheritsFrom(TWideHintWindow::StaticClass());
}

std::wstring WideHintFromData(const THintInfo& info)
{
    const std::wstring asGiven = WideFromAnsi(info.HintStr);
    if (asGiven.empty()) return asGiven;
    const std::wstring shortHint = WideShortHintPart(GetEffectiveWideHint(info.HintControl));
    if (AnsiFromWide(shortHint) == info.HintStr) return shortHint;
    TComponent* action = info.HintControl ? info.HintControl->Action() : nullptr;
    if (Application && Application->HintShortCuts() && IsInstance<TCustomAction>(action)) {
        const TShortCut shortCut = static_cast<TCustomAction*>(action)->ShortCut();
        const std::string withShortCut = AnsiFromWide(shortHint) + " (" + ShortCutToText(shortCut) + ")";
        if (shortCut != 0 && info.HintStr == withShortCut) return shortHint + L" (" + ShortCutToWideText(shortCut) + L")";
    }
    return asGiven;
}

// ---------------------------------------------------------------------------------------------
// TWideHintWindow

KERVO_CLASS_RECORD(TWideHintWindow) {}

std::wstring TWideHintWindow::HintWideCaption() { return GetWideControlText(this); }

void TWideHintWindow::SetHintWideCaption(const std::wstring& value) { SetWideControlText(this, value); }

void TWideHintWindow::MakeWindowHandle(const TCreateParams& params)
{
    CreateUnicodeWindow(this, params, std::wstring(), false);
}

UINT TWideHintWindow::ReadingOrderFlags()
{
    return HandleAllocated() && (GetWindowLongPtrW(Handle(), GWL_EXSTYLE) & WS_EX_RTLREADING) ? DT_RTLREADING : 0;
}

void TWideHintWindow::ShowHintAt(RECT rect, const std::string& hint)
{
    FlagScope activating(activating_);
    THintWindow::ShowHintAt(rect, hint);
}

void TWideHintWindow::ShowHintWithData(RECT rect, const std::string& hint, void* data)
{
    if (!UnicodePlatform || !IsWideHintData(data)) {
        THintWindow::ShowHintWithData(rect, hint, data);
        return;
    }
    {
        FlagScope blocked(paintBlocked_);
        FlagScope activating(activating_);
        SetHintWideCaption(WideHintFromData(*static_cast<THintInfo*>(data)));
        // The class library's caption assignment finds the ANSI form unchanged: the wide text stays.
        THintWindow::ShowHintWithData(rect, hint, data);
    }
    Invalidate();
}

RECT TWideHintWindow::MeasureHint(int maxWidth, const std::string& hint, void* data)
{
    if (!UnicodePlatform || !IsWideHintData(data)) return THintWindow::MeasureHint(maxWidth, hint, data);
    RECT r{0, 0, maxWidth, 0};
    const std::wstring text = WideHintFromData(*static_cast<THintInfo*>(data));
    const TMeasureDC dc(FontHandle());
    if (!dc.Get()) return HintRectAroundText(RECT{});
    DrawTextW(dc.Get(), text.c_str(), -1, &r,
              DT_CALCRECT | DT_LEFT | DT_WORDBREAK | DT_NOPREFIX | ReadingOrderFlags());
    return HintRectAroundText(r);
}

void TWideHintWindow::PaintHint()
{
    if (paintBlocked_) return;
    THintWindow::PaintHint();
}

void TWideHintWindow::DrawHintText(HDC dc, RECT& rect)
{
    if (!UnicodePlatform) {
        THintWindow::DrawHintText(dc, rect);
        return;
    }
    const std::wstring text = HintWideCaption();
    DrawTextW(dc, text.c_str(), -1, &rect, DT_LEFT | DT_WORDBREAK | DT_NOPREFIX | ReadingOrderFlags());
}

void TWideHintWindow::HandleWindowMessage(TMessage& message)
{
    if (message.Msg != CM_TEXTCHANGED) {
        THintWindow::HandleWindowMessage(message);
        return;
    }
    // During an activation the rectangle of the activation stands.
    if (activating_) return;
    const TMeasureDC dc(FontHandle());
    if (!dc.Get()) return;
    const SIZE size = WideTextExtentOnDC(dc.Get(), HintWideCaption());
    SetBounds(Left(), Top(), size.cx + 6, size.cy + 6);
}
