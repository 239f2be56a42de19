// Hints: the short and long parts of a hint text, the application's hint timer that shows the
// hint of the control under a resting mouse, and the hint window that shows it.
#include "Forms.h"

#include <windowsx.h>

#include <algorithm>

#include "ActnList.h"
#include "GdiScopes.h"

// ---------------------------------------------------------------------------------------------
// Hints

std::string GetShortHint(const std::string& hint)
{
    const size_t bar = hint.find('|');
    return bar == std::string::npos ? hint : hint.substr(0, bar);
}

std::string GetLongHint(const std::string& hint)
{
    const size_t bar = hint.find('|');
    return bar == std::string::npos ? hint : hint.substr(bar + 1);
}

std::string GetHint(TControl* control)
{
    for (TControl* c = control; c; c = c->Parent()) {
        if (!c->Hint().empty()) return c->Hint();
    }
    return {};
}

void TApplication::SetShowHint(bool value)
{
    showHint_ = value;
    if (!value) CancelHint();
}

void TApplication::SetHint(const std::string& value)
{
    if (value == hint_) return;
    hint_ = value;
    if (OnHint) {
        OnHint(this);
        return;
    }
    // Without a handler the hint goes out as a hint action, to whatever shows it.
    TObjectPtr<THintAction> action(new THintAction(nullptr));
    action->SetHint(value);
    action->Execute();
}

void TApplication::StartHintTimer(int ms, bool hide)
{
    StopHintTimer();
    hintTimerHides_ = hide;
    hintTimer_ = SetTimer(nullptr, 0, static_cast<UINT>(std::max(1, ms)), &TApplication::HintTimerProc);
}

void TApplication::StopHintTimer()
{
    if (hintTimer_) KillTimer(nullptr, hintTimer_);
    hintTimer_ = 0;
}

void CALLBACK TApplication::HintTimerProc(HWND, UINT, UINT_PTR id, DWORD)
{
    try {
        if (!Application || id != Application->hintTimer_) {
            KillTimer(nullptr, id);
            return;
        }
        Application->StopHintTimer();
        if (Application->hintTimerHides_) {
            Application->CancelHint();
            return;
        }
        POINT p;
        GetCursorPos(&p);
        Application->ActivateHint(p);
    } catch (...) {
        if (Application) Application->HandleException(nullptr, std::current_exception());
    }
}

void TApplication::HintMouseMessage(TControl* control, TMessage& message)
{
    if (!showHint_ || !control) return;
    POINT p{GET_X_LPARAM(message.LParam), GET_Y_LPARAM(message.LParam)};
    TControl* target = FindControlAtScreenPos(control->ClientToScreen(p), true);
    // The control that has a hint to show: itself, or the nearest parent whose hint it takes.
    if (!target || !target->ShowHint()) {
        CancelHint();
        return;
    }
    if (target == hintControl_) {
        const POINT local = target->ScreenToClient(control->ClientToScreen(p));
        if (hintActive_ && !PtInRect(&hintCursorRect_, local)) CancelHint();
        else return;
    }
    hintControl_ = target;
    StartHintTimer(hintActive_ ? 50 : hintPause_, false);
}

void TApplication::CancelHint()
{
    StopHintTimer();
    if (hintWindow_) hintWindow_->HideHint();
    hintActive_ = false;
    hintControl_ = nullptr;
}

void TApplication::ActivateHint(POINT cursorPos)
{
    TControl* control = FindControlAtScreenPos(cursorPos, true);
    if (!control || !control->ShowHint()) {
        CancelHint();
        return;
    }
    hintControl_ = control;
    THintInfo info;
    info.HintControl = control;
    info.HintWindowClass = hintWindowClass_ ? hintWindowClass_ : &THintWindow::StaticClass();
    info.CursorPos = control->ScreenToClient(cursorPos);
    info.CursorRect = control->ClientRect();
    info.HintPos = POINT{cursorPos.x, cursorPos.y + GetSystemMetrics(SM_CYCURSOR) / 2 + 4};
    info.HintMaxWidth = GetSystemMetrics(SM_CXSCREEN);
    info.HideTimeout = hintHidePause_;
    info.HintStr = GetShortHint(GetHint(control));
    // The control adds its action's shortcut while it handles the message.
    bool canShow = control->Perform(CM_HINTSHOW, 0, reinterpret_cast<LPARAM>(&info)) == 0;
    if (canShow && OnShowHint) OnShowHint(info.HintStr, canShow, info);
    if (!canShow || info.HintStr.empty()) {
        CancelHint();
        hintControl_ = control;
        return;
    }
    if (hintWindow_ && &hintWindow_->GetClass() != info.HintWindowClass) {
        THintWindow* old = hintWindow_;
        hintWindow_ = nullptr;
        old->Free();
    }
    if (!hintWindow_) hintWindow_ = CheckedCast<THintWindow>(info.HintWindowClass->CreateInstance(this));
    hintWindow_->SetColor(info.HintColor);
    RECT r = hintWindow_->MeasureHint(info.HintMaxWidth, info.HintStr, info.HintData);
    OffsetRect(&r, info.HintPos.x, info.HintPos.y);
    hintWindow_->ShowHintWithData(r, info.HintStr, info.HintData);
    hintCursorRect_ = info.CursorRect;
    hintActive_ = true;
    if (info.HideTimeout > 0) StartHintTimer(info.HideTimeout, true);
}

bool TApplication::IsHintMsg(MSG& msg)
{
    if (hintActive_ && ((msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST) ||
                        msg.message == WM_LBUTTONDOWN || msg.message == WM_RBUTTONDOWN ||
                        msg.message == WM_MBUTTONDOWN || msg.message == WM_ACTIVATE)) {
        CancelHint();
    }
    return false;
}

void TApplication::DoMouseIdle()
{
    POINT p;
    GetCursorPos(&p);
    TControl* control = FindControlAtScreenPos(p, true);
    if (control != mouseControl_) {
        if (mouseControl_) mouseControl_->Perform(CM_MOUSELEAVE);
        mouseControl_ = control;
        if (control) control->Perform(CM_MOUSEENTER);
    }
    if (!control && hintActive_) CancelHint();
    SetHint(GetLongHint(GetHint(control)));
}

// ---------------------------------------------------------------------------------------------
// THintWindow

KERVO_CLASS_RECORD(THintWindow) {}

THintWindow::THintWindow(TComponent* owner) : TWinControl(owner)
{
    SetVisibleField(false);
    SetColor(SysColorValue(COLOR_INFOBK));
}

void THintWindow::AdjustCreateParams(TCreateParams& params)
{
    TWinControl::AdjustCreateParams(params);
    params.Style = WS_POPUP | WS_BORDER;
    params.ExStyle = WS_EX_TOOLWINDOW | WS_EX_TOPMOST;
    params.WndParent = nullptr;
    params.WindowClass.style |= CS_SAVEBITS;
}

RECT THintWindow::MeasureHint(int maxWidth, const std::string& hint, void*)
{
    RECT r{0, 0, maxWidth, 0};
    const TMeasureDC dc(FontHandle());
    if (!dc.Get()) return HintRectAroundText(RECT{});
    DrawTextA(dc.Get(), hint.c_str(), -1, &r, DT_CALCRECT | DT_LEFT | DT_WORDBREAK | DT_NOPREFIX);
    return HintRectAroundText(r);
}

RECT THintWindow::HintRectAroundText(RECT text)
{
    text.right += 6;
    text.bottom += 4;
    return text;
}

void THintWindow::ShowHintAt(RECT rect, const std::string& hint)
{
    SetCaption(hint);
    // Kept on the screen.
    const int screenW = GetSystemMetrics(SM_CXSCREEN), screenH = GetSystemMetrics(SM_CYSCREEN);
    if (rect.right > screenW) OffsetRect(&rect, screenW - rect.right, 0);
    if (rect.bottom > screenH) OffsetRect(&rect, 0, screenH - rect.bottom);
    if (rect.left < 0) OffsetRect(&rect, -rect.left, 0);
    if (rect.top < 0) OffsetRect(&rect, 0, -rect.top);
    SetWindowPos(Handle(), HWND_TOPMOST, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                 SWP_SHOWWINDOW | SWP_NOACTIVATE);
    Invalidate();
}

void THintWindow::ShowHintWithData(RECT rect, const std::string& hint, void*) { ShowHintAt(rect, hint); }

void THintWindow::HideHint()
{
    if (HandleAllocated() && IsWindowVisible(Handle())) ShowWindow(Handle(), SW_HIDE);
}

void THintWindow::PaintHint()
{
    RECT r;
    GetClientRect(Handle(), &r);
    r.left += 2;
    r.top += 2;
    const TSelectedObject font(hintDC_, FontHandle());
    SetBkMode(hintDC_, TRANSPARENT);
    SetTextColor(hintDC_, GetSysColor(COLOR_INFOTEXT));
    DrawHintText(hintDC_, r);
}

void THintWindow::DrawHintText(HDC dc, RECT& rect)
{
    const std::string text = Caption();
    DrawTextA(dc, text.c_str(), -1, &rect, DT_LEFT | DT_WORDBREAK | DT_NOPREFIX);
}

void THintWindow::HandleWindowMessage(TMessage& message)
{
    switch (message.Msg) {
    case WM_PAINT: {
        const TPaintDC paint(Handle(), reinterpret_cast<HDC>(message.WParam));
        RECT r;
        GetClientRect(Handle(), &r);
        FillRect(paint.Get(), &r, BrushHandle());
        const TLentDC lent(hintDC_, paint.Get());
        PaintHint();
        break;
    }
    case WM_NCHITTEST:
        message.Result = HTTRANSPARENT;
        break;
    case CM_TEXTCHANGED: {
        const std::string text = Caption();
        const TMeasureDC dc(FontHandle());
        if (!dc.Get()) break;
        SIZE size{};
        GetTextExtentPoint32A(dc.Get(), text.c_str(), static_cast<int>(text.size()), &size);
        TEXTMETRICA tm{};
        GetTextMetricsA(dc.Get(), &tm);
        SetBounds(Left(), Top(), size.cx + 6, tm.tmHeight + 6);
        break;
    }
    default:
        TWinControl::HandleWindowMessage(message);
        break;
    }
}
