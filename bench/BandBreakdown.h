#pragma once
// Where a band's SetSite and GetBandInfo spend their time, printed as rows: the steps of SetSite
// (each with the part of it spent in platform calls) and the dearest platform calls of both.
#include "BandHost.h"

namespace bench {

void PrintBandBreakdown(bandhost::TBandLibrary& library, bandhost::TBandHost& host, const CLSID& classID,
                        const char* bandName);

}  // namespace bench
