// The band form's make-up, its settings load, reload and save, the search, the mode buttons and
// Enter.
#include "QuormelForm.h"

#include <windows.h>
#include <shellapi.h>

#include "QueryText.h"
#include "QuormelDropTarget.h"

namespace {

constexpr int kSavedHistory = 10;  // history keys "0".."9"

// The query on top of the history, selected so that the box shows it. The new text replaces an
// entry that differs only in case; further equal entries stay.
void PutFirstInHistory(TFlatComboBox& box, const std::wstring& query)
{
    TWideStrings* items = box.Items();
    const int old = items->PositionOf(query);
    if (old == 0 && items->ItemAt(0) == query) {
        // First already, as typed: taking it out and putting it back would leave the same list.
        // The selection is made all the same, as after a move (where none is left to keep):
        // the box shows the item with its text selected even when the selection was on it.
        SendMessageA(box.Handle(), CB_SETCURSEL, 0, 0);
        return;
    }
    if (old >= 0) items->RemoveAt(old);
    items->InsertAt(0, query);
    box.SetItemIndex(0);
}

// The first engine's URL of the selected mode (1 to 4) with the escaped query; without a mode
// (0) the text itself, as typed.
std::wstring SearchUrl(TEngineLists& engines, int selectedMode, const std::wstring& query)
{
    if (!selectedMode) return query;
    const auto mode = static_cast<TSearchMode>(selectedMode - 1);
    return WideFromAnsi(engines.Urls(mode).Get(0) + EncodeQueryText(AnsiFromWide(query)));
}

}  // namespace

KERVO_CLASS_RECORD(TquormelForm)
{
    b.Field("ActionList1", &TquormelForm::ActionList1);
    b.Field("ActionBrowse1", &TquormelForm::ActionBrowse1);
    b.Field("ActionOption1", &TquormelForm::ActionOption1);
    b.Field("PopupMenu1", &TquormelForm::PopupMenu1);
    b.Field("O1", &TquormelForm::O1);
    b.Field("ActionHome1", &TquormelForm::ActionHome1);
    b.Field("W1", &TquormelForm::W1);
    b.Field("PanelMain", &TquormelForm::PanelMain);
    b.Field("SpeedButtonSearch1", &TquormelForm::SpeedButtonSearch1);
    b.Field("SpeedButtonCache1", &TquormelForm::SpeedButtonCache1);
    b.Field("SpeedButtonDic1", &TquormelForm::SpeedButtonDic1);
    b.Field("SpeedButtonFile1", &TquormelForm::SpeedButtonFile1);
    b.Field("ComboBox1", &TquormelForm::ComboBox1);
    b.Field("SpeedButtonExec1", &TquormelForm::SpeedButtonExec1);
    b.Field("XPManifest1", &TquormelForm::XPManifest1);
    b.Field("Timer1", &TquormelForm::Timer1);
    b.Method("zBandFormCreate", &TquormelForm::zBandFormCreate);
    b.Method("ActionBrowse1Execute", &TquormelForm::ActionBrowse1Execute);
    b.Method("SpeedButtonClick", &TquormelForm::SpeedButtonClick);
    b.Method("ComboBox1KeyDown", &TquormelForm::ComboBox1KeyDown);
    b.Method("zBandFormShow", &TquormelForm::zBandFormShow);
    b.Method("zBandFormHide", &TquormelForm::zBandFormHide);
    b.Method("zBandFormBandGetMinSize", &TquormelForm::zBandFormBandGetMinSize);
    b.Method("zBandFormBandGetMaxSize", &TquormelForm::zBandFormBandGetMaxSize);
    b.Method("zBandFormBandGetActualSize", &TquormelForm::zBandFormBandGetActualSize);
    b.Method("zBandFormCanResize", &TquormelForm::zBandFormCanResize);
    b.Method("zBandFormConstrainedResize", &TquormelForm::zBandFormConstrainedResize);
    b.Method("zBandFormClose", &TquormelForm::zBandFormClose);
    b.Method("zBandFormContextPopup", &TquormelForm::zBandFormContextPopup);
    b.Method("ActionOption1Execute", &TquormelForm::ActionOption1Execute);
    b.Method("ActionHome1Execute", &TquormelForm::ActionHome1Execute);
    b.Method("Timer1Timer", &TquormelForm::Timer1Timer);
}

namespace {
const bool registered = (RegisterClassRecords({&TquormelForm::StaticClass()}), true);
}

TquormelForm::TquormelForm(TComponent* owner) : TzBandForm(owner), FDropTarget(new TquormelDropTarget(this)) {}

TquormelForm::~TquormelForm()
{
    FDropTarget->FormGone();
    FDropTarget->Release();
}

std::wstring TquormelForm::SettingsPath()
{
    return ChangeExtensionToIni(GetCachedLibraryPath());
}

TFlatSpeedButton* TquormelForm::ModeButton(TSearchMode mode) const
{
    switch (mode) {
    case TSearchMode::SEARCH: return SpeedButtonSearch1;
    case TSearchMode::CACHE: return SpeedButtonCache1;
    case TSearchMode::DIC: return SpeedButtonDic1;
    case TSearchMode::FILE: return SpeedButtonFile1;
    }
    return nullptr;
}

int TquormelForm::SelectedModeNumber() const
{
    for (int m = 0; m < kModeCount; ++m) {
        TFlatSpeedButton* button = ModeButton(static_cast<TSearchMode>(m));
        if (button && button->Down()) return m + 1;
    }
    return 0;
}

// Nothing of the band needs what these two hooks do: they hand every message on unchanged. They
// stand because the form's make-up has always placed them, so the controls' handler chains are
// the ones the band has always run with: with a hook of another object's in front of the input
// box, its Unicode layer decides by its chain test, not by the handler in front alone, whether
// its own handler is already in the chain each time the box's window is made.
void TquormelForm::PanelMainWindowProc(TMessage& message)
{
    FPanelMainOldProc(message);
}

void TquormelForm::ComboBox1WindowProc(TMessage& message)
{
    FComboBox1OldProc(message);
}

void TquormelForm::zBandFormCreate(TObject*)
{
    FPanelMainOldProc = PanelMain->WindowProc();
    PanelMain->SetWindowProc(TWndMethod::Bind<&TquormelForm::PanelMainWindowProc>(this));
    FComboBox1OldProc = ComboBox1->WindowProc();
    ComboBox1->SetWindowProc(TWndMethod::Bind<&TquormelForm::ComboBox1WindowProc>(this));
    FSettingsLoaded = false;
    FEngines = std::make_unique<TEngineLists>();
    LoadSettings();
}

void TquormelForm::ReadReloadable(const TIniFile& ini, TReloadable& read)
{
    for (int m = 0; m < kModeCount; ++m) read.Captions[m] = ReadModeCaption(ini, static_cast<TSearchMode>(m));
    ReadEngineSlots(ini, *read.Engines);
    AddDefaultEngines(*read.Engines);
    read.HotKey = ReadHotKey(ini);
}

void TquormelForm::UseReloadable(TReloadable& read)
{
    for (int m = 0; m < kModeCount; ++m) ModeButton(static_cast<TSearchMode>(m))->SetCaption(read.Captions[m]);
    FEngines = std::move(read.Engines);
    SetHotKey(read.HotKey.Shift, static_cast<uint8_t>(read.HotKey.Char & 0xFF));
}

std::vector<std::wstring> TquormelForm::ReadHistory(const TIniFile& ini)
{
    // Equal values are all taken: the file is the band's own and is not cleaned up here.
    std::vector<std::wstring> history;
    for (int n = 0; n < kSavedHistory; ++n) {
        const std::string query = ini.ReadString(SettingsKey::Hist, std::to_string(n), "");
        if (!query.empty()) history.push_back(WideFromAnsi(query));
    }
    return history;
}

TSearchMode TquormelForm::ReadSelectedMode(const TIniFile& ini)
{
    const int selected = ini.ReadInteger(SettingsKey::Button, SettingsKey::Selected, 1);
    return static_cast<TSearchMode>(selected >= 1 && selected <= kModeCount ? selected - 1 : 0);
}

void TquormelForm::LoadSettings()
{
    std::vector<std::wstring> history;
    TSearchMode mode = TSearchMode::SEARCH;
    TReloadable read;
    FSettingsLoaded = ReadSettingsFile(SettingsPath(), [&](TIniFile& ini) {
        // Most of the thirty-odd names read here are usually absent from the file.
        ini.NoteSections();
        history = ReadHistory(ini);
        mode = ReadSelectedMode(ini);
        ReadReloadable(ini, read);
    });
    // Shown whether or not the file read: until a load has read it, the form shows the defaults.
    UseReloadable(read);
    // A later load that the file's holder cut short leaves the user's history and mode as they
    // are; the load at creation, where no mode is down yet, shows the defaults all the same.
    if (!FSettingsLoaded && SelectedModeNumber()) return;
    // This run's queries come first; a stored query searched again already stands at its newer
    // place. Equal stored values all come, as the file holds them.
    TWideStrings* items = ComboBox1->Items();
    const int ours = items->ItemCount();
    for (const std::wstring& query : history) {
        const int at = items->PositionOf(query);
        if (at < 0 || at >= ours) items->AppendItem(query);
    }
    if (!FModeChosen) ModeButton(mode)->SetDown(true);
}

void TquormelForm::ReloadSettings()
{
    // Until the file has been read, the reload is the whole load once it reads; while it is still
    // held, the defaults shown are all it could give.
    if (!FSettingsLoaded) {
        CompleteLoad();
        return;
    }
    TReloadable read;
    const bool fileRead = ReadSettingsFile(SettingsPath(), [&](TIniFile& ini) {
        // Runs at every WM_SETFOCUS: one read of the file's sections spares the reads of the
        // names of sections it does not hold.
        ini.NoteSections();
        ReadReloadable(ini, read);
    });
    // Held by another program, the file answered defaults: the band keeps the captions, engines
    // and hotkey of the last read, and the next reload tries again.
    if (fileRead) UseReloadable(read);
}

bool TquormelForm::CompleteLoad()
{
    if (!FSettingsLoaded && SettingsFileReadable(SettingsPath())) LoadSettings();
    return FSettingsLoaded;
}

void TquormelForm::SaveSettings()
{
    if (!CompleteLoad()) return;
    const std::wstring path = SettingsPath();
    if (!SettingsFileWritable(path)) return;
    TIniFile ini(path);
    // Keys from the item count up to 9 keep what the file held.
    const int count = ComboBox1->Items()->ItemCount();
    for (int n = 0; n < kSavedHistory && n < count; ++n)
        ini.WriteString(SettingsKey::Hist, std::to_string(n), AnsiFromWide(ComboBox1->Items()->ItemAt(n)));
    if (const int selected = SelectedModeNumber()) ini.WriteInteger(SettingsKey::Button, SettingsKey::Selected, selected);
}

void TquormelForm::ActionBrowse1Execute(TObject*)
{
    const std::wstring query = TrimQueryTail(ComboBox1->Text());
    if (query.empty()) return;
    CompleteLoad();
    // Searched with, the mode shown is the user's whatever a later load finds stored.
    FModeChosen = true;
    PutFirstInHistory(*ComboBox1, query);
    const std::wstring url = SearchUrl(*FEngines, SelectedModeNumber(), query);
    // Whether the shell could open it is not the band's to report.
    ShellExecuteW(Handle(), nullptr, url.c_str(), nullptr, nullptr, SW_SHOW);
    SaveSettings();
    // The band comes back on top of its site's windows whatever the browser's start did to them.
    Show();
}

void TquormelForm::SpeedButtonClick(TObject* sender)
{
    // Before the click puts its button down: a stored mode put down later would undo it.
    CompleteLoad();
    if (IsInstance<TFlatSpeedButton>(sender)) {
        static_cast<TFlatSpeedButton*>(sender)->SetDown(true);
        FModeChosen = true;
    }
    SaveSettings();
    ComboBox1->SetFocus();
}

void TquormelForm::ComboBox1KeyDown(TObject*, WORD& key, TShiftState)
{
    // Enter searches whatever modifier keys are held.
    if (key != VK_RETURN) return;
    key = 0;
    ActionBrowse1->Execute();
}
