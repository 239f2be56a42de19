#pragma once
// Timers in front of the platform calls a loaded module makes. The band's own time and the
// platform's are told apart by where the clock runs: each listed import of the module is replaced
// in its import table by a wrapper that times the call, so a step's time less the time spent in
// its outermost platform calls is the band's own code. The calls that carry a window message are
// split by the window's class and the message, so that a window's creation or a move shows which
// messages it cost. Only the thread that set the timers up is timed; one set of timers at a time.
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
};

// A platform call not made inside another timed one, in microseconds since the timers began.
struct TOutermostCall {
    int bucket;
    const char* name;
    double start, end;
};

class TImportTimers {
public:
    explicit TImportTimers(HMODULE module);
    ~TImportTimers();  // the module's import table as it was
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
    int Patched() const { return patched_; }

private:
    HMODULE module_;
    int patched_ = 0;
};

}  // namespace bench
