#pragma once
// The engine editor: a small modal form with three title/URL pairs of one search mode. It has no
// code of its own; the settings dialog's "..." buttons fill it, show it and read it back (see
// dlgunit.h). One instance serves all four modes and lives, hidden between uses, as long as the
// program.
#include "ExtCtrls.h"
#include "Forms.h"
#include "StdCtrls.h"
#include "WideStdCtrls.h"

class TAddEngine : public TForm {
    KERVO_CLASS(TAddEngine, TForm)
public:
    explicit TAddEngine(TComponent* owner) : TForm(owner) {}

    TButton* OKBtn = nullptr;
    TButton* CancelBtn = nullptr;
    TBevel* Bevel1 = nullptr;
    TGroupBox* GroupBox1 = nullptr;
    TLabel* Label1 = nullptr;
    TLabel* Label2 = nullptr;
    TWideComboBox* EditT1 = nullptr;
    TWideComboBox* EditU1 = nullptr;
    TGroupBox* GroupBox2 = nullptr;
    TLabel* Label3 = nullptr;
    TLabel* Label4 = nullptr;
    TWideComboBox* EditT2 = nullptr;
    TWideComboBox* EditU2 = nullptr;
    TGroupBox* GroupBox3 = nullptr;
    TLabel* Label5 = nullptr;
    TLabel* Label6 = nullptr;
    TWideComboBox* EditT3 = nullptr;
    TWideComboBox* EditU3 = nullptr;
};

// The program's one engine editor, made at start-up and owned by the application.
extern TAddEngine* AddEngine;
