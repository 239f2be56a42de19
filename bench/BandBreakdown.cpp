#include "BandBreakdown.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <vector>

#include "BandCycle.h"
#include "BenchSupport.h"
#include "ImportTimers.h"

namespace bench {

namespace {

constexpr int kBreakdownCycles = 100;
constexpr int kSetSiteBucket = 0, kBandInfoBucket = 1;
constexpr int kSetSiteCallRows = 14, kBandInfoCallRows = 6;

// SetSite's steps, told apart by the platform calls that open them: the form class looks for its
// resource first, a component made while it is read (the timer) makes a window of its own, the
// form's windows come with the first ANSI window, their moves follow the last window made, and
// the create event reads the settings, ending with the hotkey.
const char* const kStepLabels[] = {
    "before the form resource",
    "form resource read, components made",
    "windows made (with their fonts)",
    "windows sized and placed",
    "settings read, hotkey",
    "the rest of SetSite",
};
constexpr int kSteps = sizeof kStepLabels / sizeof kStepLabels[0];

bool Named(const TOutermostCall& c, std::initializer_list<const char*> names)
{
    for (const char* n : names)
        if (std::strcmp(c.name, n) == 0) return true;
    return false;
}

struct TStepTimes {
    double total[kSteps] = {}, platform[kSteps] = {};
};

// Adds one SetSite's steps. A landmark that does not come leaves its step empty.
void AddSteps(const std::vector<TOutermostCall>& calls, double begin, double end, TStepTimes& into)
{
    std::vector<TOutermostCall> own;
    for (const TOutermostCall& c : calls)
        if (c.bucket == kSetSiteBucket) own.push_back(c);
    const int n = static_cast<int>(own.size());
    auto first = [&](int from, std::initializer_list<const char*> names) {
        for (int i = from; i < n; ++i)
            if (Named(own[i], names)) return i;
        return -1;
    };
    auto last = [&](int from, std::initializer_list<const char*> names) {
        int found = -1;
        for (int i = std::max(from, 0); i < n; ++i)
            if (Named(own[i], names)) found = i;
        return found;
    };
    double bounds[kSteps + 1];
    bounds[0] = begin;
    bounds[kSteps] = end;
    const int resource = first(0, {"FindResourceA"});
    const int windows = first(std::max(resource, 0), {"CreateWindowExA"});
    const int lastWindow = last(windows, {"CreateWindowExA", "CreateWindowExW"});
    const int moves = first(std::max(lastWindow, 0), {"SetWindowPos"});
    const int settings = first(std::max(moves, 0), {"GetPrivateProfileSectionNamesW"});
    const int hotkey = last(settings, {"UnregisterHotKey", "RegisterHotKey"});
    const double marks[] = {
        resource >= 0 ? own[resource].start : -1, windows >= 0 ? own[windows].start : -1,
        moves >= 0 ? own[moves].start : -1,       settings >= 0 ? own[settings].start : -1,
        hotkey >= 0 ? own[hotkey].end : -1,
    };
    for (int s = 1; s < kSteps; ++s) bounds[s] = marks[s - 1] >= 0 ? marks[s - 1] : bounds[s - 1];
    for (int s = 0; s < kSteps; ++s) {
        into.total[s] += bounds[s + 1] - bounds[s];
        for (const TOutermostCall& c : own)
            if (c.start >= bounds[s] && c.end <= bounds[s + 1]) into.platform[s] += c.end - c.start;
    }
}

void CallRows(const TImportTimers& timers, int bucket, const char* step, int rows)
{
    int printed = 0;
    for (const TImportTime& t : timers.Times(bucket)) {
        if (printed++ == rows) break;
        Row(std::string("  ") + step + " call: " + t.label + " (us, calls)",
            Fixed(t.us / kBreakdownCycles) + ", " + Fixed(double(t.calls) / kBreakdownCycles));
    }
}

// A step's own share, in percent: raw, the step's time under the timers less the module's
// outermost platform calls; and that less what the timers themselves added (outside the outermost
// calls' clocks to the own part, in all to the step) and less the host's calls that brought the
// module its messages, so that what is left is the module's code. The module's code that the
// platform calls back inside a timed call (a window procedure) still counts to that call. With
// what was taken away per step. The times are sums over the given number of steps.
void OwnShareRows(TImportTimers& timers, int bucket, const std::string& step, double total, double platform,
                  double hostCalls, int times)
{
    const TTimerCosts costs = timers.MeasureCosts();
    const TTimersAdded added = timers.Added(bucket, costs);
    const double own = total - platform;
    Row(step + " own share: raw, less the timers' cost and the host's calls (%)",
        Fixed(100 * own / total) + ", " +
            Fixed(100 * (own - added.outsideOutermost - hostCalls) / (total - added.whole)));
    Row("  " + step + " taken away: the timers' cost in the own part and in all, the host's calls (us; calls timed)",
        Fixed(added.outsideOutermost / times) + ", " + Fixed(added.whole / times) + ", " + Fixed(hostCalls / times) +
            " (" + Fixed(double(added.calls) / times) + ")");
    Row("  " + step + " timers' cost per call, plain and with a message: inside + outside its clock (us)",
        Fixed(costs.plain.inside, 3) + " + " + Fixed(costs.plain.outside, 3) + ", " + Fixed(costs.message.inside, 3) +
            " + " + Fixed(costs.message.outside, 3));
}

}  // namespace

void PrintBandBreakdown(bandhost::TBandLibrary& library, bandhost::TBandHost& host, const CLSID& classID,
                        const char* bandName)
{
    const std::string band(bandName);
    TImportTimers timers(library.Module());
    TStepTimes steps;
    TCycleTimes times;
    double setSiteBegin = 0;
    for (int i = 0; i < kBreakdownCycles; ++i) {
        const bool sited = Cycle(library, host, classID, times, [&](TCycleStep s) {
            if (s == TCycleStep::SetSite) {
                timers.ClearOutermost();
                timers.SetBucket(kSetSiteBucket);
                setSiteBegin = timers.Now();
            } else if (s == TCycleStep::BandInfo) {
                AddSteps(timers.Outermost(), setSiteBegin, timers.Now(), steps);
                timers.SetBucket(kBandInfoBucket);
            } else {
                timers.SetBucket(-1);
            }
        });
        if (!sited) {
            Row(band + " breakdown", "cannot site");
            return;
        }
    }
    Row(band + " breakdown: SetSite / GetBandInfo under the timers (us)",
        Fixed(times.setSite / kBreakdownCycles) + " / " + Fixed(times.bandInfo / kBreakdownCycles));
    double platform = 0;
    for (int s = 0; s < kSteps; ++s) {
        Row(std::string("  SetSite step: ") + kStepLabels[s] + " (us, of it platform)",
            Fixed(steps.total[s] / kBreakdownCycles) + ", " + Fixed(steps.platform[s] / kBreakdownCycles));
        platform += steps.platform[s];
    }
    OwnShareRows(timers, kSetSiteBucket, "SetSite", times.setSite, platform, 0, kBreakdownCycles);
    CallRows(timers, kSetSiteBucket, "SetSite", kSetSiteCallRows);
    CallRows(timers, kBandInfoBucket, "GetBandInfo", kBandInfoCallRows);
}

void PrintStepBreakdown(HMODULE module, HMODULE host, const char* step, int times, const std::function<void()>& run)
{
    constexpr int kStepBucket = 0, kStepCallRows = 16;
    TImportTimers timers(module, host);
    timers.SetBucket(kStepBucket);
    double total = 0;
    for (int i = 0; i < times; ++i) {
        const double begin = timers.Now();
        run();
        total += timers.Now() - begin;
        timers.ClearOutermost();
    }
    timers.SetBucket(-1);
    // By their own part: what the platform spends outside the module's code, call by call (a
    // window procedure of the module that the platform calls back counts to the call's part).
    std::vector<TImportTime> calls = timers.Times(kStepBucket);
    double platform = 0, hostCalls = 0;
    for (const TImportTime& t : calls)
        if (t.whole) (t.host ? hostCalls : platform) += t.selfUs;
    std::sort(calls.begin(), calls.end(),
              [](const TImportTime& a, const TImportTime& b) { return a.selfUs > b.selfUs; });
    Row(std::string(step) + " breakdown: under the timers (us, of it platform's own part)",
        Fixed(total / times) + ", " + Fixed(platform / times));
    OwnShareRows(timers, kStepBucket, step, total, platform, hostCalls, times);
    int printed = 0;
    for (const TImportTime& t : calls) {
        if (printed++ == kStepCallRows) break;
        Row(std::string("  ") + step + " call: " + t.label + " (own us, all us, calls)",
            Fixed(t.selfUs / times) + ", " + Fixed(t.us / times) + ", " + Fixed(double(t.calls) / times, 2));
    }
}

}  // namespace bench
