#pragma once
// The settings dialog, the one window and main form of the settings program: for each search
// mode the caption of the band's mode button, the mode's current engine and a "..." button that
// opens the engine editor; and the hotkey. It reads the settings file when it is created; OK
// makes the chosen engines current, saves, makes the running bands reload and closes; Cancel and
// the close box close without saving.
//
// The engine lists hold ANSI text, as the file does; the fields hold UTF-16 and cross to the
// lists through the system code page. Invariant after every load and every confirmed engine edit:
// each list holds at least kEngineSlots entries, the complete engines first and empty fillers
// only at the end; entry 0 of a mode is its current engine, and drop-down item k shows entry k
// (k < kEngineSlots).
#include "BandSettings.h"
#include "Buttons.h"
#include "Forms.h"
#include "StdCtrls.h"
#include "WideStdCtrls.h"

// The application title: the program's taskbar text and the dialog's caption.
constexpr wchar_t kPalvenorTitle[] = L"Palvenor 日本語版";

class TkervoOKDlg : public TForm {
    KERVO_CLASS(TkervoOKDlg, TForm)
public:
    explicit TkervoOKDlg(TComponent* owner) : TForm(owner) {}

    TButton* OKBtn = nullptr;
    TButton* CancelBtn = nullptr;
    TGroupBox* GroupBox1 = nullptr;
    TLabel* Label2 = nullptr;
    TWideComboBox* ComboBoxSearch1 = nullptr;
    TLabel* Label3 = nullptr;
    TWideComboBox* ComboBoxCache1 = nullptr;
    TLabel* Label4 = nullptr;
    TWideComboBox* ComboBoxDic1 = nullptr;
    TLabel* Label5 = nullptr;
    TWideComboBox* ComboBoxFile1 = nullptr;
    TXPManifest* XPManifest1 = nullptr;
    TSpeedButton* SpeedButtonSearch1 = nullptr;
    TSpeedButton* SpeedButtonCache1 = nullptr;
    TSpeedButton* SpeedButtonDic1 = nullptr;
    TSpeedButton* SpeedButtonFile1 = nullptr;
    TWideComboBox* EditSearch1 = nullptr;
    TWideComboBox* EditCache1 = nullptr;
    TWideComboBox* EditDic1 = nullptr;
    TWideComboBox* EditFile1 = nullptr;
    TGroupBox* GroupBox2 = nullptr;
    TWideComboBox* ComboBoxShift1 = nullptr;
    TWideComboBox* ComboBoxChar1 = nullptr;

    // OnCreate: the caption becomes the application title, then LoadSettings.
    void FormCreate(TObject* sender);
    // Caption fields, engine lists and drop-downs, hotkey fields from the settings file; notes
    // whether the file could be read (it could when it does not exist).
    void LoadSettings();
    // The missing built-in engines appended, every list padded to three.
    void AddDefaultEngines();
    // Each drop-down refilled with the titles of entries 0 to 2 (empty ones after 0 left out),
    // item 0 selected.
    void FillEngineLists();
    // Writes the fields and lists to the band's settings file, or nothing when it may not be
    // written; a refused write raises "<file> に書き込めません", and so does a save after a load
    // that could not read the file (the fields then hold defaults, not the user's settings), so
    // that OK shows the refusal and the dialog stays open.
    void SaveSettings();

    void OKBtnClick(TObject* sender);
    void CancelBtnClick(TObject* sender);
    // The engine editor for one mode; its OK rebuilds that mode's lists and refills all four
    // drop-downs (each then selects its first item).
    void SpeedButtonSearch1Click(TObject* sender);
    void SpeedButtonCache1Click(TObject* sender);
    void SpeedButtonDic1Click(TObject* sender);
    void SpeedButtonFile1Click(TObject* sender);

    // FSearchTitles, FSearchUrls, ... FFileUrls.
    TEngineLists& EngineLists() { return lists_; }
    TWideComboBox* EngineField(TSearchMode mode) const;
    TWideComboBox* CaptionField(TSearchMode mode) const;

private:
    void EditEngines(TSearchMode mode, const wchar_t* groupWord);

    TEngineLists lists_;
    bool fileRead_ = false;  // the last load read the file, or found none
};

// The program's settings dialog, its main form.
extern TkervoOKDlg* kervoOKDlg;
