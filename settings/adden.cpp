// The engine editor's class record: its published components, bound by name from its form
// resource. The editor has no handlers; the settings dialog drives it.
#include "adden.h"

TAddEngine* AddEngine = nullptr;

KERVO_CLASS_RECORD(TAddEngine)
{
    b.Field("OKBtn", &TAddEngine::OKBtn);
    b.Field("CancelBtn", &TAddEngine::CancelBtn);
    b.Field("Bevel1", &TAddEngine::Bevel1);
    b.Field("GroupBox1", &TAddEngine::GroupBox1);
    b.Field("Label1", &TAddEngine::Label1);
    b.Field("Label2", &TAddEngine::Label2);
    b.Field("EditT1", &TAddEngine::EditT1);
    b.Field("EditU1", &TAddEngine::EditU1);
    b.Field("GroupBox2", &TAddEngine::GroupBox2);
    b.Field("Label3", &TAddEngine::Label3);
    b.Field("Label4", &TAddEngine::Label4);
    b.Field("EditT2", &TAddEngine::EditT2);
    b.Field("EditU2", &TAddEngine::EditU2);
    b.Field("GroupBox3", &TAddEngine::GroupBox3);
    b.Field("Label5", &TAddEngine::Label5);
    b.Field("Label6", &TAddEngine::Label6);
    b.Field("EditT3", &TAddEngine::EditT3);
    b.Field("EditU3", &TAddEngine::EditU3);
}
