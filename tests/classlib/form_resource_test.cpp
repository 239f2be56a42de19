// A form read from its own text form resource (RCDATA TCONTROLSTESTFORM): nested controls,
// fields and events bound by name, tab order and active control from the resource, then driven
// through real messages (speed buttons of a group, Enter and Esc in the modal loop) and painted.
#include <windows.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Buttons.h"
#include "ControlsTestSupport.h"
#include "ExtCtrls.h"
#include "Forms.h"
#include "StdCtrls.h"
#include "TestEnv.h"

using namespace ctltest;

class TControlsTestForm : public TForm {
    KERVO_CLASS(TControlsTestForm, TForm)
public:
    explicit TControlsTestForm(TComponent* owner) : TForm(owner) {}

    TPanel* PanelMain = nullptr;
    TSpeedButton* SpeedButtonA = nullptr;
    TSpeedButton* SpeedButtonB = nullptr;
    TGroupBox* GroupBox1 = nullptr;
    TLabel* Label2 = nullptr;
    TButton* EditBtn = nullptr;
    TButton* FirstBtn = nullptr;
    TButton* OKBtn = nullptr;
    TButton* CancelBtn = nullptr;
    TBevel* Bevel1 = nullptr;
    TXPManifest* XPManifest1 = nullptr;

    std::vector<std::string> log;
    std::vector<std::pair<HWND, WPARAM>> keysOnShow;
    bool closeOnShow = false;

    void FormCreate(TObject*) { log.push_back("create " + std::to_string(OKBtn != nullptr)); }
    void FormShow(TObject*)
    {
        log.push_back("show");
        for (auto& [window, key] : keysOnShow) {
            PostMessageA(window, WM_KEYDOWN, key, 1);
            PostMessageA(window, WM_KEYUP, key, 0xC0000001);
        }
        keysOnShow.clear();
        if (closeOnShow) PostMessageA(Handle(), WM_CLOSE, 0, 0);
    }
    void ButtonClick(TObject* sender) { log.push_back("click " + static_cast<TComponent*>(sender)->Name()); }
    void SpeedButtonClick(TObject* sender) { log.push_back("speed " + static_cast<TComponent*>(sender)->Name()); }
};

KERVO_CLASS_RECORD(TControlsTestForm)
{
    b.Field("PanelMain", &TControlsTestForm::PanelMain);
    b.Field("SpeedButtonA", &TControlsTestForm::SpeedButtonA);
    b.Field("SpeedButtonB", &TControlsTestForm::SpeedButtonB);
    b.Field("GroupBox1", &TControlsTestForm::GroupBox1);
    b.Field("Label2", &TControlsTestForm::Label2);
    b.Field("EditBtn", &TControlsTestForm::EditBtn);
    b.Field("FirstBtn", &TControlsTestForm::FirstBtn);
    b.Field("OKBtn", &TControlsTestForm::OKBtn);
    b.Field("CancelBtn", &TControlsTestForm::CancelBtn);
    b.Field("Bevel1", &TControlsTestForm::Bevel1);
    b.Field("XPManifest1", &TControlsTestForm::XPManifest1);
    b.Method("FormCreate", &TControlsTestForm::FormCreate);
    b.Method("FormShow", &TControlsTestForm::FormShow);
    b.Method("ButtonClick", &TControlsTestForm::ButtonClick);
    b.Method("SpeedButtonClick", &TControlsTestForm::SpeedButtonClick);
}

// No resource of its own nor of an ancestor below TForm.
class TFormWithoutResource : public TForm {
    KERVO_CLASS(TFormWithoutResource, TForm)
public:
    explicit TFormWithoutResource(TComponent* owner) : TForm(owner) {}
};
KERVO_CLASS_RECORD(TFormWithoutResource) {}

// A descendant reads its ancestor's resource.
class TDerivedTestForm : public TControlsTestForm {
    KERVO_CLASS(TDerivedTestForm, TControlsTestForm)
public:
    explicit TDerivedTestForm(TComponent* owner) : TControlsTestForm(owner) {}
};
KERVO_CLASS_RECORD(TDerivedTestForm) {}

// Its resource holds a form of its own class, whose resource holds one again, and so on.
class TSelfNestingForm : public TForm {
    KERVO_CLASS(TSelfNestingForm, TForm)
public:
    explicit TSelfNestingForm(TComponent* owner) : TForm(owner) {}
};
KERVO_CLASS_RECORD(TSelfNestingForm) {}

namespace {

struct FormFree {
    void operator()(TCustomForm* f) const { f->Free(); }
};

}  // namespace

TEST(FormResource, LoadsNestedControlsBindsFieldsAndEventsThenRunsOnCreate)
{
    std::unique_ptr<TControlsTestForm, FormFree> form(Make<TControlsTestForm>(nullptr));
    EXPECT_EQ(form->log, (std::vector<std::string>{"create 1"})) << "OnCreate after the whole resource";
    EXPECT_EQ(form->Name(), "ControlsTestForm");
    EXPECT_EQ(WideFromAnsi(form->Caption()), L"テスト フォーム");
    EXPECT_EQ(form->BorderStyle(), TFormBorderStyle::bsDialog);
    EXPECT_EQ(form->ClientWidth(), 320);
    EXPECT_EQ(form->ClientHeight(), 180);
    EXPECT_FALSE(form->Visible());
    ASSERT_NE(form->SpeedButtonB, nullptr);
    EXPECT_EQ(form->SpeedButtonA->Parent(), form->PanelMain);
    EXPECT_EQ(form->EditBtn->Parent(), form->GroupBox1);
    EXPECT_EQ(form->Label2->Parent(), form->GroupBox1);
    EXPECT_EQ(WideFromAnsi(form->GroupBox1->Caption()), L"検索サイト");
    EXPECT_EQ(WideFromAnsi(form->SpeedButtonA->Hint()), L"検索");
    EXPECT_TRUE(form->SpeedButtonB->Down());
    EXPECT_FALSE(form->SpeedButtonA->Down());
    EXPECT_TRUE(form->OKBtn->Default());
    EXPECT_TRUE(form->CancelBtn->Cancel());
    EXPECT_EQ(form->OKBtn->ModalResult(), mrOk);
    EXPECT_EQ(form->Bevel1->Shape(), TBevelShape::bsFrame);
    EXPECT_EQ(form->PanelMain->BevelOuter(), TPanelBevel::bvNone);
    EXPECT_EQ(form->ActiveControl(), form->EditBtn);
    EXPECT_GT(form->Label2->Width(), 0) << "an auto-sized label measures its caption";

    // Tab orders as the resource gives them, not as the controls were read.
    EXPECT_EQ(form->GroupBox1->TabOrder(), 0);
    EXPECT_EQ(form->OKBtn->TabOrder(), 1);
    EXPECT_EQ(form->PanelMain->TabOrder(), 2);
    EXPECT_EQ(form->CancelBtn->TabOrder(), 3);
    EXPECT_EQ(form->FirstBtn->TabOrder(), 0);
    EXPECT_EQ(form->FindNextControl(form->CancelBtn, true, true, false), form->FirstBtn);
    EXPECT_EQ(form->FindNextControl(form->FirstBtn, true, true, false), form->EditBtn);

    // The window class is the form's class name.
    char cls[64] = {};
    GetClassNameA(form->Handle(), cls, sizeof cls);
    EXPECT_STREQ(cls, "TControlsTestForm");
}

TEST(FormResource, AMissingResourceRaisesAndADescendantReadsItsAncestors)
{
    EXPECT_THROW(Make<TFormWithoutResource>(nullptr), EResNotFound);
    std::unique_ptr<TDerivedTestForm, FormFree> derived(Make<TDerivedTestForm>(nullptr));
    EXPECT_NE(derived->OKBtn, nullptr);
    EXPECT_EQ(derived->log.size(), 1u);

    RegisterClassRecord(TSelfNestingForm::StaticClass());
    EXPECT_THROW(Make<TSelfNestingForm>(nullptr), EReadError);
}

TEST(FormResource, SpeedButtonsOfAGroupClickThroughTheirParentAndPaint)
{
    std::unique_ptr<TControlsTestForm, FormFree> form(Make<TControlsTestForm>(nullptr));
    form->Show();
    const HWND panel = form->PanelMain->Handle();
    // Press and release on SpeedButtonA (left 1, top 1): it goes down, B comes up.
    SendMessageA(panel, WM_LBUTTONDOWN, MK_LBUTTON, Pos(10, 5));
    EXPECT_EQ(CaptureControl(), form->SpeedButtonA);
    SendMessageA(panel, WM_LBUTTONUP, 0, Pos(10, 5));
    EXPECT_TRUE(form->SpeedButtonA->Down());
    EXPECT_FALSE(form->SpeedButtonB->Down());
    // Clicking the down button keeps it down and still clicks.
    SendMessageA(panel, WM_LBUTTONDOWN, MK_LBUTTON, Pos(10, 5));
    SendMessageA(panel, WM_LBUTTONUP, 0, Pos(10, 5));
    EXPECT_TRUE(form->SpeedButtonA->Down());
    EXPECT_EQ(form->log, (std::vector<std::string>{"create 1", "show", "speed SpeedButtonA", "speed SpeedButtonA"}));

    // Painted by the panel: a sunken (down) face for A, a raised one for B; the panel's face
    // colour between and after them.
    MemoryCanvas canvas(260, 21);
    SendMessageA(panel, WM_PAINT, reinterpret_cast<WPARAM>(canvas.Dc()), 0);
    const COLORREF face = canvas.Nearest(GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(canvas.Pixel(200, 10), face);
    EXPECT_EQ(canvas.Pixel(0, 10), face);
    // Raised edge: light at the top-left, dark at the bottom-right; sunken: the reverse.
    EXPECT_EQ(canvas.Pixel(1, 1), canvas.Nearest(GetSysColor(COLOR_BTNSHADOW))) << "A sunken";
    EXPECT_EQ(canvas.Pixel(32, 1), canvas.Nearest(GetSysColor(COLOR_3DLIGHT))) << "B raised";
    EXPECT_EQ(canvas.Pixel(62, 17), canvas.Nearest(GetSysColor(COLOR_3DDKSHADOW)));
}

TEST(FormResource, EnterAndEscInTheModalLoopOfALoadedDialog)
{
    std::unique_ptr<TControlsTestForm, FormFree> form(Make<TControlsTestForm>(nullptr));
    Deadline deadline(form->Handle());
    // The focus goes to the active control from the resource (a button): Enter clicks it.
    form->keysOnShow = {{form->EditBtn->Handle(), VK_RETURN}, {form->EditBtn->Handle(), VK_ESCAPE}};
    EXPECT_EQ(form->ShowModal(), mrCancel);
    EXPECT_EQ(form->log, (std::vector<std::string>{"create 1", "show", "click EditBtn", "click CancelBtn"}));
    // The focus on a control that is not a button: Enter is the default button's.
    form->log.clear();
    form->SetActiveControl(form->PanelMain);
    form->keysOnShow = {{form->PanelMain->Handle(), VK_RETURN}};
    EXPECT_EQ(form->ShowModal(), mrOk);
    EXPECT_EQ(form->log, (std::vector<std::string>{"show", "click OKBtn"}));
}

TEST(Application, CreateFormMakesTheMainFormAndRunLoopsUntilItCloses)
{
    ASSERT_EQ(Application->MainForm(), nullptr);
    TControlsTestForm* main = nullptr;
    Application->CreateForm(main);
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(main->Owner(), Application);
    ASSERT_EQ(Application->MainForm(), main);
    TControlsTestForm* second = nullptr;
    Application->CreateForm(second);
    EXPECT_EQ(Application->MainForm(), main) << "only the first form is the main form";

    main->closeOnShow = true;
    Deadline deadline(main->Handle());
    Application->Run();  // shows the main form; closing it ends the loop
    EXPECT_FALSE(Application->Terminated()) << "the request that ended the loop is served";
    EXPECT_EQ(main->log, (std::vector<std::string>{"create 1", "show"}));
    EXPECT_FALSE(second->Visible());
    second->Free();
    main->Free();
    EXPECT_EQ(Application->MainForm(), nullptr);
}

TEST(Application, TitleIsTheProgramsNameAlsoWhenItsCharactersHaveABackslashByte)
{
    // In code page 932 each of these ends in the byte of a backslash (0x5C).
    const std::wstring name = L"検索表ソ十能";
    const std::wstring self = ModuleFileName(nullptr);
    if (self.ends_with(L"\\" + name + L".exe")) {  // the copy that the test runs below
        EXPECT_EQ(Application->Title(), AnsiFromWide(name));
        return;
    }
    EXPECT_EQ(Application->Title(), "test_classlib");
    const std::wstring copy = testenv::Wide(testenv::MakeScratchDir("title")) + L"\\" + name + L".exe";
    ASSERT_TRUE(CopyFileW(self.c_str(), copy.c_str(), FALSE));
    std::wstring command = L"\"" + copy + L"\" --gtest_filter=Application.TitleIsTheProgramsName*";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    ASSERT_TRUE(CreateProcessW(copy.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    WaitForSingleObject(pi.hProcess, 60000);
    DWORD code = 1;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    EXPECT_EQ(code, 0u) << "the copy's title was not its name";
    DeleteFileW(copy.c_str());
}
