#include "BandCycle.h"

#include "BenchSupport.h"

namespace bench {

std::string TCycleTimes::Phases() const
{
    return Fixed(create) + " / " + Fixed(setSite) + " / " + Fixed(bandInfo) + " / " + Fixed(show) + " / " +
           Fixed(close) + " / " + Fixed(release);
}

bool Cycle(bandhost::TBandLibrary& library, bandhost::TBandHost& host, const CLSID& classID, TCycleTimes& times,
           const std::function<void(TCycleStep)>& stepBegins)
{
    auto begins = [&](TCycleStep s) {
        if (stepBegins) stepBegins(s);
    };
    begins(TCycleStep::Create);
    Clock clock;
    double mark = 0;
    auto step = [&](double& into, TCycleStep next) {
        const double now = clock.Microseconds();
        into += now - mark;
        begins(next);
        mark = clock.Microseconds();
    };
    IUnknown* band = nullptr;
    if (FAILED(library.CreateObject(classID, &band))) return false;
    IDeskBand* deskBand = nullptr;
    IObjectWithSite* withSite = nullptr;
    band->QueryInterface(IID_IDeskBand, reinterpret_cast<void**>(&deskBand));
    band->QueryInterface(IID_IObjectWithSite, reinterpret_cast<void**>(&withSite));
    step(times.create, TCycleStep::SetSite);
    const bool sited = deskBand && withSite && SUCCEEDED(withSite->SetSite(static_cast<IOleWindow*>(host.Site())));
    step(times.setSite, TCycleStep::BandInfo);
    DESKBANDINFO info{};
    info.dwMask = DBIM_MINSIZE | DBIM_MAXSIZE | DBIM_INTEGRAL | DBIM_ACTUAL | DBIM_TITLE | DBIM_MODEFLAGS |
                  DBIM_BKCOLOR;
    if (sited) deskBand->GetBandInfo(0, DBIF_VIEWMODE_NORMAL, &info);
    step(times.bandInfo, TCycleStep::Show);
    if (sited) deskBand->ShowDW(TRUE);
    step(times.show, TCycleStep::Close);
    if (deskBand) {
        deskBand->ShowDW(FALSE);
        deskBand->CloseDW(0);
    }
    step(times.close, TCycleStep::Release);
    if (withSite) {
        withSite->SetSite(nullptr);
        withSite->Release();
    }
    if (deskBand) deskBand->Release();
    band->Release();
    host.PumpPending();
    step(times.release, TCycleStep::Done);
    return sited;
}

}  // namespace bench
