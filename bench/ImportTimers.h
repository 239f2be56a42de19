#pragma once
// Timers in front of the platform calls a loaded module makes. The band's own time and the
// platform's are told apart by where the clock runs: each listed import of the module is replaced
// in its import table by a wrapper that times the call, so a step's time less the time spent in
// its outermost platform calls, less what the wrappers themselves cost (measured on an empty
// call) and less the platform calls by which the host brought the step its messages, is the
// band's own code. The calls that carry a window message are split by the window's class and
// the message, so that a window's creation or a move shows which messages it cost. Only the
// thread that set the timers up is timed; one set of timers at a time.
#include <windows.h>

#include <string>
#include <vector>

namespace bench {

// Inclusive time: a call's time holds the calls made inside it (nested platform calls, and the
// module's own window procedures that the platform calls back).
struct TImportTime {
    std::string label;  // "SetWindowPos", or "SendMessageW TFlatComboBox WM_SETFONT"
    double us = 0;
    double selfUs = 0;  // less the timed calls made inside it: the call's own part
    long calls = 0;
    bool whole = true;  // the import whole, not a class and message of it
    bool host = false;  // a call of the host's ("host's PeekMessageW")
};

// What the timers add to each timed call, in microseconds, measured on an empty call: the part
// between the call's two clock readings (counted to the call, so to the platform) and the part
// before and after them (counted to whatever made the call: for an outermost call the module's
// own code, for a nested one the call around it). A call that carries a message costs more, as
// its window's class is looked up.
struct TTimerCost {
    double inside = 0, outside = 0;
};
struct TTimerCosts {
    TTimerCost plain, message;
};

// What the timers added to a bucket's calls, in microseconds: outside the outermost calls' clocks
// (time that the module's own code would otherwise be charged with) and in all.
struct TTimersAdded {
    double outsideOutermost = 0, whole = 0;
    long calls = 0;
};

// A platform call not made inside another timed one, in microseconds since the timers began.
struct TOutermostCall {
    int bucket;
    const char* name;
    double start, end;
};

class TImportTimers {
public:
    // With a host, the program that drives the module, its calls that bring the module its
    // messages (posting, peeking, translating, asking whether a window is the module's) are timed
    // as well: they are the platform's time though no call of the module makes them. Its
    // dispatches and sends stay untimed, so that the module's code they lead to counts as its own.
    explicit TImportTimers(HMODULE module, HMODULE host = nullptr);
    ~TImportTimers();  // the import tables as they were
    TImportTimers(const TImportTimers&) = delete;
    TImportTimers& operator=(const TImportTimers&) = delete;

    // Calls count for this bucket from now on; below zero they go uncounted (still timed through).
    void SetBucket(int bucket);
    double Now() const;  // microseconds since the timers began, the outermost calls' clock
    // The imports' times in a bucket, dearest first: each import whole, and for the calls that
    // carry a message also split by class and message (labels with a class name).
    std::vector<TImportTime> Times(int bucket) const;
    // The outermost calls since the last Clear, in order.
    const std::vector<TOutermostCall>& Outermost() const;
    void ClearOutermost();
    // Times empty calls through the same wrappers, in a bucket of their own, with the timers'
    // tables as full as the calls so far have made them.
    TTimerCosts MeasureCosts();
    TTimersAdded Added(int bucket, const TTimerCosts& costs) const;
    int Patched() const { return patched_; }

private:
    HMODULE module_, host_;
    int patched_ = 0;
};

}  // namespace bench
