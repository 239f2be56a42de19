// The settings dialog's handlers: loading the fields from the settings file, the engine
// drop-downs kept in step with the engine lists, OK (reorder, save, notify, close), Cancel and the
// four "..." buttons that run the engine editor for one mode each.
#include "dlgunit.h"

#include "BandNotify.h"
#include "DialogSettings.h"
#include "EngineEdit.h"
#include "IniFiles.h"
#include "adden.h"

TkervoOKDlg* kervoOKDlg = nullptr;

KERVO_CLASS_RECORD(TkervoOKDlg)
{
    b.Field("OKBtn", &TkervoOKDlg::OKBtn);
    b.Field("CancelBtn", &TkervoOKDlg::CancelBtn);
    b.Field("GroupBox1", &TkervoOKDlg::GroupBox1);
    b.Field("Label2", &TkervoOKDlg::Label2);
    b.Field("ComboBoxSearch1", &TkervoOKDlg::ComboBoxSearch1);
    b.Field("Label3", &TkervoOKDlg::Label3);
    b.Field("ComboBoxCache1", &TkervoOKDlg::ComboBoxCache1);
    b.Field("Label4", &TkervoOKDlg::Label4);
    b.Field("ComboBoxDic1", &TkervoOKDlg::ComboBoxDic1);
    b.Field("Label5", &TkervoOKDlg::Label5);
    b.Field("ComboBoxFile1", &TkervoOKDlg::ComboBoxFile1);
    b.Field("XPManifest1", &TkervoOKDlg::XPManifest1);
    b.Field("SpeedButtonSearch1", &TkervoOKDlg::SpeedButtonSearch1);
    b.Field("SpeedButtonCache1", &TkervoOKDlg::SpeedButtonCache1);
    b.Field("SpeedButtonDic1", &TkervoOKDlg::SpeedButtonDic1);
    b.Field("SpeedButtonFile1", &TkervoOKDlg::SpeedButtonFile1);
    b.Field("EditSearch1", &TkervoOKDlg::EditSearch1);
    b.Field("EditCache1", &TkervoOKDlg::EditCache1);
    b.Field("EditDic1", &TkervoOKDlg::EditDic1);
    b.Field("EditFile1", &TkervoOKDlg::EditFile1);
    b.Field("GroupBox2", &TkervoOKDlg::GroupBox2);
    b.Field("ComboBoxShift1", &TkervoOKDlg::ComboBoxShift1);
    b.Field("ComboBoxChar1", &TkervoOKDlg::ComboBoxChar1);
    b.Method("FormCreate", &TkervoOKDlg::FormCreate);
    b.Method("OKBtnClick", &TkervoOKDlg::OKBtnClick);
    b.Method("CancelBtnClick", &TkervoOKDlg::CancelBtnClick);
    b.Method("SpeedButtonSearch1Click", &TkervoOKDlg::SpeedButtonSearch1Click);
    b.Method("SpeedButtonCache1Click", &TkervoOKDlg::SpeedButtonCache1Click);
    b.Method("SpeedButtonDic1Click", &TkervoOKDlg::SpeedButtonDic1Click);
    b.Method("SpeedButtonFile1Click", &TkervoOKDlg::SpeedButtonFile1Click);
}

namespace {

constexpr TSearchMode kModes[kModeCount] = {TSearchMode::SEARCH, TSearchMode::CACHE, TSearchMode::DIC,
                                            TSearchMode::FILE};

}  // namespace

TWideComboBox* TkervoOKDlg::EngineField(TSearchMode mode) const
{
    switch (mode) {
    case TSearchMode::CACHE: return ComboBoxCache1;
    case TSearchMode::DIC: return ComboBoxDic1;
    case TSearchMode::FILE: return ComboBoxFile1;
    default: return ComboBoxSearch1;
    }
}

TWideComboBox* TkervoOKDlg::CaptionField(TSearchMode mode) const
{
    switch (mode) {
    case TSearchMode::CACHE: return EditCache1;
    case TSearchMode::DIC: return EditDic1;
    case TSearchMode::FILE: return EditFile1;
    default: return EditSearch1;
    }
}

void TkervoOKDlg::FormCreate(TObject*)
{
    SetCaption(Application->Title());
    lists_.Clear();
    LoadSettings();
}

void TkervoOKDlg::LoadSettings()
{
    fileRead_ = ReadSettingsFile(DialogSettingsPathForReading(), [this](const TIniFile& ini) {
        for (TSearchMode mode : kModes) CaptionField(mode)->SetText(WideFromAnsi(ReadModeCaption(ini, mode)));
        lists_.Clear();
        ReadEngineSlots(ini, lists_);
        AddDefaultEngines();
        FillEngineLists();
        const THotKey hotKey = ReadHotKey(ini);
        ComboBoxShift1->SetItemIndex(hotKey.Shift ? 1 : 0);
        ComboBoxChar1->SetItemIndex(CharItemFromStored(hotKey.Char));
    });
}

void TkervoOKDlg::AddDefaultEngines()
{
    ::AddDefaultEngines(lists_);
}

void TkervoOKDlg::FillEngineLists()
{
    for (TSearchMode mode : kModes) {
        TWideComboBox* field = EngineField(mode);
        const TStringList& titles = lists_.Titles(mode);
        field->Items()->Clear();
        field->SetText(L"");
        field->Items()->Add(WideFromAnsi(titles.Strings(0)));
        for (int k = 1; k < kEngineSlots; ++k)
            if (!titles.Strings(k).empty()) field->Items()->Add(WideFromAnsi(titles.Strings(k)));
        field->SetItemIndex(0);
    }
}

void TkervoOKDlg::SaveSettings()
{
    TSettingsToSave values;
    for (TSearchMode mode : kModes)
        values.Captions[static_cast<int>(mode)] = AnsiFromWide(CaptionField(mode)->Text());
    values.Engines = &lists_;
    values.Shift = ComboBoxShift1->ItemIndex() == 1;
    values.CharItem = ComboBoxChar1->ItemIndex();
    values.FileRead = fileRead_;
    SaveSettingsFile(values);
}

void TkervoOKDlg::OKBtnClick(TObject*)
{
    for (TSearchMode mode : kModes) {
        const int chosen = EngineField(mode)->ItemIndex();
        if (chosen <= 0) continue;
        TStringList& titles = lists_.Titles(mode);
        TStringList& urls = lists_.Urls(mode);
        const std::string title = titles.Strings(chosen);
        const std::string url = urls.Strings(chosen);
        titles.Delete(chosen);
        urls.Delete(chosen);
        titles.Insert(0, title);
        urls.Insert(0, url);
    }
    // The drop-downs follow the new order at once: should the save be refused and the dialog stay
    // open, a second OK must not move the engines again by the old selection.
    FillEngineLists();
    SaveSettings();
    NotifyRunningBands();
    Close();
}

void TkervoOKDlg::CancelBtnClick(TObject*)
{
    Close();
}

void TkervoOKDlg::EditEngines(TSearchMode mode, const wchar_t* groupWord)
{
    TGroupBox* groups[kEngineSlots] = {AddEngine->GroupBox1, AddEngine->GroupBox2, AddEngine->GroupBox3};
    TWideComboBox* titleFields[kEngineSlots] = {AddEngine->EditT1, AddEngine->EditT2, AddEngine->EditT3};
    TWideComboBox* urlFields[kEngineSlots] = {AddEngine->EditU1, AddEngine->EditU2, AddEngine->EditU3};
    const TStringList& titles = lists_.Titles(mode);
    const TStringList& urls = lists_.Urls(mode);
    for (int k = 0; k < kEngineSlots; ++k) {
        groups[k]->SetCaption(AnsiFromWide(groupWord + std::to_wstring(k + 1)));
        titleFields[k]->SetText(WideFromAnsi(titles.Strings(k)));
        urlFields[k]->SetText(WideFromAnsi(urls.Strings(k)));
    }
    if (AddEngine->ShowModal() != mrOk) return;
    TEditedEngine pairs[kEngineSlots];
    for (int k = 0; k < kEngineSlots; ++k) pairs[k] = {titleFields[k]->Text(), urlFields[k]->Text()};
    ReplaceModeEngines(lists_, mode, pairs);
    FillEngineLists();
}

void TkervoOKDlg::SpeedButtonSearch1Click(TObject*)
{
    EditEngines(TSearchMode::SEARCH, L"検索");
}

void TkervoOKDlg::SpeedButtonCache1Click(TObject*)
{
    EditEngines(TSearchMode::CACHE, L"キャッシュ");
}

void TkervoOKDlg::SpeedButtonDic1Click(TObject*)
{
    EditEngines(TSearchMode::DIC, L"辞書");
}

void TkervoOKDlg::SpeedButtonFile1Click(TObject*)
{
    EditEngines(TSearchMode::FILE, L"ファイル");
}
