#pragma once
// Where a band's SetSite and GetBandInfo spend their time, printed as rows: the steps of SetSite
// (each with the part of it spent in platform calls), SetSite's own share (the band's code) and
// the dearest platform calls of both; and the same for a step that the benchmark repeats through
// the band's window messages.
#include <functional>

#include "BandHost.h"

namespace bench {

void PrintBandBreakdown(bandhost::TBandLibrary& library, bandhost::TBandHost& host, const CLSID& classID,
                        const char* bandName);

// Where one repeated step of a band (a search, a reload) spends its time: the mean time of the
// step under the timers, the platform's own part of it (each timed call less the timed calls made
// inside it), the band's own share, and the calls with the dearest own parts. run does the step
// once; host is the module whose calls drive the band (see TImportTimers).
void PrintStepBreakdown(HMODULE module, HMODULE host, const char* step, int times, const std::function<void()>& run);

}  // namespace bench
