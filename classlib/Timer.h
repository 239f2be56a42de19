#pragma once
// The timer component: OnTimer every Interval milliseconds while Enabled, through a message-only
// window of its own on the thread that made it, so it ticks whether or not any form is shown.
#include <windows.h>

#include <cstdint>

#include "Classes.h"
#include "Messages.h"

class TTimer : public TComponent {
    KERVO_CLASS(TTimer, TComponent)
public:
    explicit TTimer(TComponent* owner);
    ~TTimer() override;

    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);
    // Milliseconds; 0 stops the timer.
    uint32_t Interval() const { return interval_; }
    void SetInterval(uint32_t interval);
    const TNotifyEvent& OnTimer() const { return onTimer_; }
    void SetOnTimer(const TNotifyEvent& handler);

    // The window that receives the ticks.
    HWND WindowHandle() const { return window_; }

    void DestructionStarting() override;

protected:
    // One tick: OnTimer. An exception goes to the library's exception display; no tick runs
    // while a previous one has not returned (a message box of that display included).
    virtual void Timer();

private:
    void UpdateTimer();
    void HandleWindowMessage(TMessage& message);
    void ReleaseWindow();  // the timer killed, the window gone

    HWND window_ = nullptr;
    bool running_ = false;  // the window has the timer: none to kill otherwise
    bool enabled_ = true;
    uint32_t interval_ = 1000;
    TNotifyEvent onTimer_;
    bool ticking_ = false;
    bool* freedFlag_ = nullptr;  // set while a tick runs
};
