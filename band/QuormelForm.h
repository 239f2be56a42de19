#pragma once
// The search band's form: four mode buttons, the input box with its history and the execute
// button on one panel, 260 x 21 pixels, shown by the shell inside the taskbar. A search takes the
// first engine of the mode whose button is down, appends the escaped query and hands the URL to
// the shell; the history and the selected mode go to the settings file beside the band library.
//
// The form also registers the system-wide hotkey that puts the focus into the input box, reloads
// captions, engines and hotkey whenever its window receives WM_SETFOCUS (the settings program
// sends it after saving), accepts dropped text as an OLE drop target while it is shown, and polls
// the cursor every 100 ms to drive the hover painting of its flat controls.
//
// The work is split by concern: QuormelForm.cpp (make-up, settings load, reload and save,
// search, mode buttons, Enter), QuormelHotKey.cpp (hotkey and the focus it moves, the form's
// window messages), QuormelBandSite.cpp (the form on its site: show and hide, size answers,
// close, window class and style), QuormelDropTarget.h/.cpp (the drop target object),
// QuormelBandMenu.cpp (band menu and its two commands), QuormelHover.cpp (hover tracking).
#include <windows.h>
#include <ole2.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ActnList.h"
#include "BandSettings.h"
#include "ExtCtrls.h"
#include "Menus.h"
#include "TFlatComboBoxUnit.h"
#include "TFlatSpeedButtonUnit.h"
#include "Timer.h"
#include "zBandForms.h"

class TquormelDropTarget;

class TquormelForm : public TzBandForm {
    KERVO_CLASS(TquormelForm, TzBandForm)
public:
    explicit TquormelForm(TComponent* owner);
    ~TquormelForm() override;

    // Components, in the order of the form resource.
    TActionList* ActionList1 = nullptr;
    TAction* ActionBrowse1 = nullptr;
    TAction* ActionOption1 = nullptr;
    TPopupMenu* PopupMenu1 = nullptr;
    TMenuItem* O1 = nullptr;
    TAction* ActionHome1 = nullptr;
    TMenuItem* W1 = nullptr;
    TPanel* PanelMain = nullptr;
    TFlatSpeedButton* SpeedButtonSearch1 = nullptr;
    TFlatSpeedButton* SpeedButtonCache1 = nullptr;
    TFlatSpeedButton* SpeedButtonDic1 = nullptr;
    TFlatSpeedButton* SpeedButtonFile1 = nullptr;
    TFlatComboBox* ComboBox1 = nullptr;
    TFlatSpeedButton* SpeedButtonExec1 = nullptr;
    TXPManifest* XPManifest1 = nullptr;
    TTimer* Timer1 = nullptr;

    // --- Settings, search, mode buttons, Enter
    void zBandFormCreate(TObject* sender);
    // The full load: captions, history, selected mode, engines, hotkey. A file that exists but
    // could not be read leaves FSettingsLoaded false and the defaults shown; CompleteLoad then
    // loads again once the file reads, with the stored history behind this run's queries and the
    // stored mode only while the user has neither clicked a mode nor searched.
    void LoadSettings();
    // What every use of a setting (a search, a mode click, a drop, a reload, a save) asks first:
    // the load again when the last one could not read the file and the file now reads. True once
    // the file has been read.
    bool CompleteLoad();
    // Captions, engines and hotkey again; history and selected mode stay. Before the file has
    // been read once, the completed load instead. A file that exists but could not be read
    // leaves all as it was: its reads answered defaults, not the user's settings.
    void ReloadSettings();
    // The history (first ten) and the selected mode; nothing while the file has not been read
    // (its defaults would go over the user's settings), and nothing when the write guard refuses
    // the file.
    void SaveSettings();
    void ActionBrowse1Execute(TObject* sender);
    void SpeedButtonClick(TObject* sender);
    void ComboBox1KeyDown(TObject* sender, WORD& key, TShiftState shift);

    // --- Hotkey, window messages
    // Releases the hotkey, then registers Ctrl(+Shift)+ch when ch is a letter A to Z.
    void SetHotKey(bool shift, uint8_t ch);
    void HandleWindowMessage(TMessage& message) override;

    // --- On the site: show and hide, size answers, close
    // Registers the drop target with OLE.
    void zBandFormShow(TObject* sender);
    // Revokes the drop target and releases the hotkey.
    void zBandFormHide(TObject* sender);
    // What the show registers with OLE; the form holds it for its life.
    IDropTarget* DropTarget() const;
    POINTL zBandFormBandGetMinSize(TObject* sender);
    POINTL zBandFormBandGetMaxSize(TObject* sender);
    POINTL zBandFormBandGetActualSize(TObject* sender);
    void zBandFormCanResize(TObject* sender, int& newWidth, int& newHeight, bool& resize);
    void zBandFormConstrainedResize(TObject* sender, int& minWidth, int& minHeight, int& maxWidth, int& maxHeight);
    void zBandFormClose(TObject* sender, TCloseAction& action);

    // --- Band menu
    void zBandFormContextPopup(TObject* sender, POINT mousePos, bool& handled);
    void ActionOption1Execute(TObject* sender);
    void ActionHome1Execute(TObject* sender);

    // --- Hover tracking
    void Timer1Timer(TObject* sender);
    // Mouse enter and leave for the buttons and the hover state of the input box, from the
    // cursor's x in the panel.
    void TrackHover();

    // The number (1 SEARCH .. 4 FILE) of the first mode button in mode order that is down; 0
    // when none is.
    int SelectedModeNumber() const;
    const TEngineLists& Engines() const { return *FEngines; }
    // The first load: true once it has read the file, or found none.
    bool SettingsLoaded() const { return FSettingsLoaded; }

protected:
    void AdjustCreateParams(TCreateParams& params) override;

private:
    // What a reload reads again, read in full before any of it is put in place.
    struct TReloadable {
        std::string Captions[kModeCount];  // in mode order; the default caption for an empty one
        std::unique_ptr<TEngineLists> Engines = std::make_unique<TEngineLists>();
        THotKey HotKey;
    };

    // The band's settings file: the library's registered path with ".ini" (".ini" alone while
    // the library is not registered).
    static std::wstring SettingsPath();
    // The stored history, most recent first, and the stored mode.
    static std::vector<std::wstring> ReadHistory(const TIniFile& ini);
    static TSearchMode ReadSelectedMode(const TIniFile& ini);
    // The parts that load and reload share: the captions, the engine lists filled, the hotkey;
    // then the captions shown, the lists taken and the hotkey released and registered again.
    static void ReadReloadable(const TIniFile& ini, TReloadable& read);
    void UseReloadable(TReloadable& read);
    TFlatSpeedButton* ModeButton(TSearchMode mode) const;
    // The hooks in front of the panel's and the input box's window procedures (why: see there).
    void PanelMainWindowProc(TMessage& message);
    void ComboBox1WindowProc(TMessage& message);

    bool FSettingsLoaded = false;
    std::unique_ptr<TEngineLists> FEngines;
    bool FModeChosen = false;  // the user clicked a mode or searched: a later load keeps it
    TquormelDropTarget* FDropTarget;
    TWndMethod FPanelMainOldProc;
    TWndMethod FComboBox1OldProc;
};
