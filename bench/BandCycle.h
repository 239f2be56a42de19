#pragma once
// One band's life as the shell leads it, on a host's site, timed step by step: the figure the
// benchmark compares between bands, and the frame in which its breakdown times the steps.
#include <functional>
#include <string>

#include "BandHost.h"

namespace bench {

// Where a cycle's time goes: the shell's steps in order, in microseconds.
struct TCycleTimes {
    double create = 0, setSite = 0, bandInfo = 0, show = 0, close = 0, release = 0;
    double Total() const { return create + setSite + bandInfo + show + close + release; }
    std::string Phases() const;  // "create / setSite / bandInfo / show / close / release"
};

enum class TCycleStep { Create, SetSite, BandInfo, Show, Close, Release, Done };

// The class factory's new object, SetSite, GetBandInfo, ShowDW(TRUE), then ShowDW(FALSE) and
// CloseDW, SetSite(NULL) and the release, with the messages the band posted itself on the way
// out. Adds each step's time; told, when given, as each step begins (and Done after the last).
// False when the band could not be made or sited.
bool Cycle(bandhost::TBandLibrary& library, bandhost::TBandHost& host, const CLSID& classID, TCycleTimes& times,
           const std::function<void(TCycleStep)>& stepBegins = nullptr);

}  // namespace bench
