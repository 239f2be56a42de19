#pragma once
// The search band inside the test program as the shell holds it: the band library's start-up run
// once, a band folder registered as the band library's place (its settings file beside it), and
// band objects made by the band's factory on a site window, shown, driven and closed as the
// shell does.
#include <windows.h>
#include <ole2.h>
#include <shobjidl.h>

#include <string>

#include "DllUnit.h"
#include "QuormelForm.h"
#include "TestSite.h"

namespace bandtest {

// A scratch folder registered as the band library's folder: HKCR\CLSID\{band}\InProcServer32
// names kervodll.dll in it, and the band reads and writes kervodll.ini there. Gone afterwards.
struct BandFolder {
    explicit BandFolder(const std::string& stem = "band");
    ~BandFolder();
    BandFolder(const BandFolder&) = delete;
    BandFolder& operator=(const BandFolder&) = delete;

    void Write(const std::string& section, const std::string& key, const std::string& value) const;
    std::string Read(const std::string& section, const std::string& key) const;

    std::string dir, library, ini;
};

// One band object on its own site window, shown.
struct HostedBand {
    HostedBand();
    ~HostedBand() { Close(); }
    HostedBand(const HostedBand&) = delete;
    HostedBand& operator=(const HostedBand&) = delete;

    TquormelForm* Form() const { return object ? object->Form() : nullptr; }
    // ShowDW(FALSE), CloseDW, SetSite(NULL), the last release, and the pending messages (the
    // closed form frees itself from a posted message).
    void Close();
    // Passes every waiting message through the band first, as the shell does with keys.
    void PumpThroughBand();

    HWND siteWindow = nullptr;
    TestSite site;
    IUnknown* unknown = nullptr;
    Tquormel* object = nullptr;
    IDeskBand* deskBand = nullptr;
    IObjectWithSite* withSite = nullptr;
    IInputObject* input = nullptr;
};

// The band library's start-up, once per test program; OLE on the test thread.
void StartBandLibrary();

// Messages of one control's window procedure, in order, recorded while the recorder lives.
class MessageLog {
public:
    explicit MessageLog(TControl* control);
    ~MessageLog();
    std::vector<UINT> messages;

private:
    void Record(TMessage& message);
    TControl* control_;
    TWndMethod previous_;
};

}  // namespace bandtest
