#pragma once
// What the probe band library serves and exports beyond the four COM exports; shared by the
// library, the end-to-end tests and the benchmark that load it.
#include <windows.h>

// The framework's smallest band: a form with one bare panel, nothing overridden but the form's
// creation. The benchmark measures the search band against it.
// {6D2C8E41-93A7-4F0B-B1D5-2E8A47C90F13}
constexpr CLSID CLSID_MinimalBand = {
    0x6D2C8E41, 0x93A7, 0x4F0B, {0xB1, 0xD5, 0x2E, 0x8A, 0x47, 0xC9, 0x0F, 0x13}};

// A band that records what the shell asks of it: a panel with an edit field of the system's own
// class, a two-item context menu, an ideal size of 150 x 22, and the input-object calls.
// {A4F7B302-5C1E-4D86-9E27-83B0D6F5A1C9}
constexpr CLSID CLSID_ProbeBand = {
    0xA4F7B302, 0x5C1E, 0x4D86, {0x9E, 0x27, 0x83, 0xB0, 0xD6, 0xF5, 0xA1, 0xC9}};

// The probe band's record, one per library.
struct ProbeRecord {
    // TranslateAcceleratorIO: how many calls, the last message, and what to do: with
    // handleKeys false the band answers S_FALSE and leaves the message to the shell; with it true
    // the band translates and dispatches the message itself and answers S_OK.
    int translateCalls;
    UINT lastMessage;
    WPARAM lastKey;
    bool handleKeys;
    // UIActivateIO: how many calls, and whether the last one activated and carried a message.
    int activateCalls;
    bool lastActivate, lastHadMessage;
    // Clicks of the context menu's first item "記録".
    int menuClicks;
    // The form's edit field while the form lives.
    HWND edit;
    // Probe and minimal forms alive.
    int liveForms;
};

using ProbeRecordProc = ProbeRecord*(WINAPI*)();
