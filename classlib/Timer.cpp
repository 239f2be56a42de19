#include "Timer.h"

#include <exception>

#include "ObjectInstance.h"
#include "UtilWindow.h"

namespace {
constexpr UINT_PTR kTimerId = 1;
}

KERVO_CLASS_RECORD(TTimer)
{
    b.Boolean("Enabled", &TTimer::Enabled, &TTimer::SetEnabled).Default(true);
    b.Integer("Interval", &TTimer::Interval, &TTimer::SetInterval).Default(1000);
    b.Event("OnTimer", &TTimer::OnTimer, &TTimer::SetOnTimer);
}

TTimer::TTimer(TComponent* owner) : TComponent(owner)
{
    window_ = AllocateUtilWindow(TWndMethod::Bind<&TTimer::HandleWindowMessage>(this), true);
}

TTimer::~TTimer()
{
    if (freedFlag_) *freedFlag_ = true;
    // Reached without Free as well: the window must not outlive the object it calls.
    ReleaseWindow();
}

void TTimer::DestructionStarting()
{
    enabled_ = false;
    ReleaseWindow();
    TComponent::DestructionStarting();
}

void TTimer::ReleaseWindow()
{
    if (!window_) return;
    KillTimer(window_, kTimerId);
    DeallocateUtilWindow(window_);
    window_ = nullptr;
}

void TTimer::SetEnabled(bool enabled)
{
    if (enabled == enabled_) return;
    enabled_ = enabled;
    UpdateTimer();
}

void TTimer::SetInterval(uint32_t interval)
{
    if (interval == interval_) return;
    interval_ = interval;
    UpdateTimer();
}

void TTimer::SetOnTimer(const TNotifyEvent& handler)
{
    onTimer_ = handler;
    UpdateTimer();
}

void TTimer::UpdateTimer()
{
    if (!window_) return;
    if (running_) KillTimer(window_, kTimerId);
    running_ = false;
    if (interval_ != 0 && enabled_ && onTimer_) {
        if (!SetTimer(window_, kTimerId, interval_, nullptr)) {
            throw EOutOfResources(std::wstring(L"使用できるタイマーがありません"));
        }
        running_ = true;
    }
}

void TTimer::Timer()
{
    if (onTimer_) onTimer_(this);
}

void TTimer::HandleWindowMessage(TMessage& message)
{
    if (message.Msg == WM_TIMER && message.WParam == kTimerId) {
        if (ticking_ || !enabled_) return;
        // The handler may free this timer (with the form that owns it).
        bool freed = false;
        freedFlag_ = &freed;
        ticking_ = true;
        try {
            Timer();
        } catch (...) {
            // Shown while still ticking: the display's message box pumps messages, and a
            // timer that fires again behind it would stack box upon box.
            ReportStubException(std::current_exception());
        }
        if (freed) return;
        freedFlag_ = nullptr;
        ticking_ = false;
        return;
    }
    message.Result = DefWindowProcW(window_, message.Msg, message.WParam, message.LParam);
}
