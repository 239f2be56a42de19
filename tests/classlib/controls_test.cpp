// Windowed and windowless controls through real windows and messages: creation on demand with
// the library's window classes and atoms, the replaceable window procedure, text, font, reflected
// commands and clicks that run an action, mouse routing with capture and double-clicks, painting
// of windowless children read back from a memory device context, keys, focus and tab order.
#include <windows.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "ActnList.h"
#include "Buttons.h"
#include "ControlsTestSupport.h"
#include "ExtCtrls.h"
#include "Forms.h"
#include "Menus.h"
#include "StdCtrls.h"
#include "Streams.h"
#include "TestEnv.h"

using namespace ctltest;

KERVO_CLASS_RECORD(TProbeControl) {}

namespace {

// A windowed control whose default handling is recorded (what would reach Windows).
class TRecordingControl : public TWinControl {
    KERVO_CLASS(TRecordingControl, TWinControl)
public:
    explicit TRecordingControl(TComponent* owner) : TWinControl(owner) {}
    std::vector<TMessage> defaults;
    void DefaultHandler(TMessage& message) override
    {
        if (message.Msg == WM_CHAR || message.Msg == WM_KEYDOWN) defaults.push_back(message);
        TWinControl::DefaultHandler(message);
    }
};

// Counts what its window-procedure hook sees and passes everything on.
struct PassThrough : TObject {
    TWndMethod previous;
    std::vector<UINT> seen;
    void Handle(TMessage& m)
    {
        seen.push_back(m.Msg);
        previous(m);
    }
};

struct Events : TObject {
    std::vector<std::string> log;
    void Click(TObject* sender) { log.push_back("click " + static_cast<TComponent*>(sender)->Name()); }
    void KeyDown(TObject*, WORD& key, TShiftState) { log.push_back("keydown " + std::to_string(key)); if (key == 'X') key = 0; }
    void KeyPress(TObject*, char& key)
    {
        log.push_back("keypress " + std::to_string(static_cast<unsigned char>(key)));
        if (key == 'q') key = 'Q';
    }
    void Enter(TObject* sender) { log.push_back("enter " + static_cast<TComponent*>(sender)->Name()); }
    void Exit(TObject* sender) { log.push_back("exit " + static_cast<TComponent*>(sender)->Name()); }
};

struct Draws : TObject {
    int count = 0;
    void Draw(TObject*, int, RECT, UINT) { ++count; }
};

struct FormDeleter {
    void operator()(TCustomForm* f) const
    {
        if (f) f->Free();
    }
};
using FormPtr = std::unique_ptr<TForm, FormDeleter>;

FormPtr NewForm()
{
    FormPtr form(MakeNewForm<TForm>(nullptr));
    form->SetBounds(20, 20, 300, 200);
    return form;
}

std::string ClassNameOf(HWND window)
{
    char name[128] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

}  // namespace

KERVO_CLASS_RECORD(TRecordingControl) {}

TEST(WinControl, WindowsAreMadeOnDemandParentsFirstWithTheLibrarysClassesAndAtoms)
{
    FormPtr form = NewForm();
    auto* panel = new TPanel(form.get());
    panel->SetParent(form.get());
    panel->SetBounds(10, 10, 200, 100);
    auto* button = new TButton(form.get());
    button->SetParent(panel);
    button->SetCaption("OK");
    EXPECT_FALSE(form->HandleAllocated());

    const HWND h = button->Handle();  // asks for the innermost window first
    ASSERT_TRUE(form->HandleAllocated());
    ASSERT_TRUE(panel->HandleAllocated());
    EXPECT_EQ(GetParent(h), panel->Handle());
    EXPECT_EQ(GetParent(panel->Handle()), form->Handle());
    EXPECT_EQ(ClassNameOf(form->Handle()), "TForm");
    EXPECT_EQ(ClassNameOf(h), "TButton");
    WNDCLASSA wc{};
    EXPECT_TRUE(GetClassInfoA(CurrentModuleInstance(), "TButton", &wc)) << "registered with the module's instance";
    EXPECT_EQ(GetDlgCtrlID(h), static_cast<int>(reinterpret_cast<INT_PTR>(h) & 0xFFFFFFFF)) << "a child without ID gets its handle";

    // Both window properties name the control, under atoms with the documented names.
    EXPECT_EQ(FindControl(h), button);
    EXPECT_EQ(GetPropA(h, MAKEINTATOM(WindowAtom())), button);
    char expected[64];
    std::snprintf(expected, sizeof expected, "KervoWindow%08lX", static_cast<unsigned long>(GetCurrentProcessId()));
    EXPECT_EQ(WindowAtomName(), expected);
    EXPECT_EQ(GlobalFindAtomA(ControlAtomName().c_str()), ControlAtom());
    EXPECT_EQ(ControlAtomName().size(), std::string("KervoControl").size() + 16);

    char text[16] = {};
    GetWindowTextA(h, text, sizeof text);
    EXPECT_STREQ(text, "OK");
    EXPECT_EQ(button->Width(), 75);
    EXPECT_EQ(FindControl(nullptr), nullptr);
}

TEST(WinControl, WindowProcIsReplaceableComparableAndEndsInTheDefaultProcedure)
{
    FormPtr form = NewForm();
    auto* button = new TButton(form.get());
    button->SetParent(form.get());
    EXPECT_EQ(button->WindowProc(), button->DefaultWindowProc());
    EXPECT_EQ(button->WindowProc().Code(), TWndMethod::ProcedureOf<&TControl::HandleWindowMessage>());

    PassThrough hook;
    hook.previous = button->WindowProc();
    button->SetWindowProc(TWndMethod::Bind<&PassThrough::Handle>(&hook));
    EXPECT_NE(button->WindowProc(), button->DefaultWindowProc());

    const HWND h = button->Handle();
    // A message sent by Windows and one performed by the library both pass the hook; the
    // button's own procedure still answers (the default procedure of the system class).
    SendMessageA(h, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("abc"));
    EXPECT_EQ(button->Perform(WM_GETTEXTLENGTH), 3);
    EXPECT_EQ(button->Perform(WM_GETDLGCODE) & DLGC_BUTTON, DLGC_BUTTON);
    EXPECT_NE(std::find(hook.seen.begin(), hook.seen.end(), static_cast<UINT>(WM_SETTEXT)), hook.seen.end());
    EXPECT_NE(std::find(hook.seen.begin(), hook.seen.end(), static_cast<UINT>(WM_GETDLGCODE)), hook.seen.end());
    button->SetWindowProc(hook.previous);
}

TEST(WinControl, TextGoesThroughTheWindowAndSurvivesRecreation)
{
    FormPtr form = NewForm();
    auto* panel = new TPanel(form.get());
    panel->SetParent(form.get());
    auto* button = new TButton(form.get());
    button->SetParent(panel);
    panel->SetCaption("before");  // no window yet: kept by the control
    EXPECT_EQ(panel->Caption(), "before");

    PassThrough hook;
    hook.previous = panel->WindowProc();
    panel->SetWindowProc(TWndMethod::Bind<&PassThrough::Handle>(&hook));
    panel->SetCaption(AnsiFromWide(L"検索サイト"));
    ASSERT_GE(hook.seen.size(), 2u);
    // Set through WM_SETTEXT, then the text-changed notification.
    auto set = std::find(hook.seen.begin(), hook.seen.end(), static_cast<UINT>(WM_SETTEXT));
    auto changed = std::find(hook.seen.begin(), hook.seen.end(), CM_TEXTCHANGED);
    ASSERT_NE(set, hook.seen.end());
    ASSERT_NE(changed, hook.seen.end());
    EXPECT_LT(set, changed);
    hook.seen.clear();
    panel->SetCaption(AnsiFromWide(L"検索サイト"));
    EXPECT_EQ(std::find(hook.seen.begin(), hook.seen.end(), CM_TEXTCHANGED), hook.seen.end()) << "unchanged text";
    panel->SetWindowProc(hook.previous);

    const HWND old = panel->Handle();
    const HWND oldChild = button->Handle();
    char text[64] = {};
    GetWindowTextA(old, text, sizeof text);
    EXPECT_EQ(WideFromAnsi(text), L"検索サイト");
    panel->RecreateWnd();
    EXPECT_FALSE(IsWindow(old));
    EXPECT_FALSE(IsWindow(oldChild));
    ASSERT_TRUE(panel->HandleAllocated());
    EXPECT_TRUE(button->HandleAllocated()) << "visible children come back with their parent";
    EXPECT_EQ(GetParent(button->Handle()), panel->Handle());
    EXPECT_EQ(WideFromAnsi(panel->Caption()), L"検索サイト");
}

TEST(WinControl, ReflectedCommandClicksTheButtonAndBmClickWorks)
{
    FormPtr form = NewForm();
    Events events;
    auto* button = new TButton(form.get());
    button->SetName("Button1");
    button->SetParent(form.get());
    button->SetModalResult(mrRetry);
    button->OnClick.Bind(&events, &Events::Click);
    SendMessageA(button->Handle(), BM_CLICK, 0, 0);
    ASSERT_EQ(events.log.size(), 1u);
    EXPECT_EQ(events.log[0], "click Button1");
    EXPECT_EQ(form->ModalResult(), mrRetry) << "a click hands the button's ModalResult to its form";

    // The command notification of any child arrives reflected as $BD11.
    PassThrough hook;
    hook.previous = button->WindowProc();
    button->SetWindowProc(TWndMethod::Bind<&PassThrough::Handle>(&hook));
    SendMessageA(form->Handle(), WM_COMMAND, MAKEWPARAM(0, BN_SETFOCUS), reinterpret_cast<LPARAM>(button->Handle()));
    EXPECT_NE(std::find(hook.seen.begin(), hook.seen.end(), 0xBD11u), hook.seen.end());
    button->SetWindowProc(hook.previous);

    // A linked action takes the click, once, in place of OnClick.
    auto* action = new TAction(form.get());
    action->SetName("Action1");
    action->OnExecute.Bind(&events, &Events::Click);
    button->SetAction(action);
    events.log.clear();
    SendMessageA(button->Handle(), BM_CLICK, 0, 0);
    EXPECT_EQ(events.log, std::vector<std::string>{"click Action1"});
}

TEST(WinControl, AControlsFontChangeReachesItsWindow)
{
    FormPtr form = NewForm();
    auto* button = new TButton(form.get());
    button->SetParent(form.get());
    TFont* font = button->Font();
    font->SetName("Arial");
    font->SetHeight(-31);
    HFONT sent = reinterpret_cast<HFONT>(SendMessageA(button->Handle(), WM_GETFONT, 0, 0));
    ASSERT_NE(sent, nullptr);
    EXPECT_EQ(sent, font->Handle()) << "the window shows the font the control holds";
    LOGFONTA lf{};
    ASSERT_NE(GetObjectA(sent, sizeof lf, &lf), 0);
    EXPECT_EQ(lf.lfHeight, -31);
}

TEST(WinControl, OnlyTheLibraryActsOnItsMessagesAndOnlyItsOwnChildrensNotificationsAreReflected)
{
    FormPtr form = NewForm();
    form->SetName("Form");
    Events events;
    form->OnShow.Bind(&events, &Events::Click);
    Draws draws;
    auto* box = new TCustomComboBox(form.get());
    box->SetParent(form.get());
    box->SetStyle(TComboBoxStyle::csOwnerDrawFixed);
    box->OnDrawItem.Bind(&draws, &Draws::Draw);
    box->Items()->Add("a");
    form->Show();
    ASSERT_EQ(events.log, std::vector<std::string>{"click Form"});
    const HWND formWindow = form->Handle(), boxWindow = box->Handle();

    // An item structure of this thread is read, and reflected only to a child of the form that its
    // identifier (wParam, as the system sends it) and the structure both name.
    FormPtr other = NewForm();
    auto* stranger = new TCustomComboBox(other.get());
    stranger->SetParent(other.get());
    stranger->SetStyle(TComboBoxStyle::csOwnerDrawFixed);
    stranger->OnDrawItem.Bind(&draws, &Draws::Draw);
    MemoryCanvas canvas(20, 20);
    DRAWITEMSTRUCT item{};
    item.CtlType = ODT_COMBOBOX;
    item.hDC = canvas.Dc();
    item.rcItem = RECT{0, 0, 20, 20};
    item.hwndItem = stranger->Handle();
    const auto boxId = static_cast<WPARAM>(GetDlgCtrlID(boxWindow));
    EXPECT_EQ(SendMessageA(formWindow, WM_DRAWITEM, GetDlgCtrlID(item.hwndItem), reinterpret_cast<LPARAM>(&item)), 0);
    EXPECT_EQ(SendMessageA(formWindow, WM_DRAWITEM, boxId, reinterpret_cast<LPARAM>(&item)), 0);
    EXPECT_EQ(draws.count, 0) << "reflected to another form's box";
    item.hwndItem = boxWindow;
    EXPECT_EQ(SendMessageA(formWindow, WM_DRAWITEM, boxId, reinterpret_cast<LPARAM>(&item)), TRUE);
    EXPECT_EQ(draws.count, 1);

    // Inside another thread's send (here its WM_CLOSE) the box's own WM_DRAWITEM, sent while it
    // paints, is still reflected to it.
    struct PaintOnClose : TObject {
        HWND box = nullptr;
        void Close(TObject*, TCloseAction& action)
        {
            action = TCloseAction::caNone;
            RedrawWindow(box, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        }
    } paintOnClose;
    paintOnClose.box = boxWindow;
    form->OnClose.Bind(&paintOnClose, &PaintOnClose::Close);
    Pump();
    draws.count = 0;
    OnAnotherThread([formWindow] { SendMessageA(formWindow, WM_CLOSE, 0, 0); });
    EXPECT_GE(draws.count, 1) << "the box's own item drawing was not reflected";

    // Windows passes messages at and above WM_USER between programs as they stand: the library's
    // own, with nothing or a small number where it keeps a pointer, and system notifications
    // whose structure is missing, or (WM_NOTIFY, never marshalled) not in this process.
    std::vector<LRESULT> answers;
    AccessViolationWatch faults;
    OnAnotherThread([&] {
        for (UINT msg : {CN_DRAWITEM, CN_MEASUREITEM, CM_HINTSHOW, CN_NOTIFY, CN_COMMAND})
            answers.push_back(SendMessageA(boxWindow, msg, 0, msg == CM_HINTSHOW ? 0x10 : 0));
        for (UINT msg : {UINT(WM_DRAWITEM), UINT(WM_MEASUREITEM), UINT(WM_NOTIFY), CM_SHOWINGCHANGED})
            answers.push_back(SendMessageA(formWindow, msg, 0, 0));
        answers.push_back(SendMessageA(formWindow, WM_NOTIFY, 0, 0x10));
        for (UINT msg : {UINT(WM_DRAWITEM), UINT(WM_MEASUREITEM), UINT(WM_NOTIFY)})
            answers.push_back(SendMessageA(formWindow, msg, boxId, 0x10));
        answers.push_back(SendMessageA(formWindow, CM_RELEASE, 0, 0));
        PostMessageA(formWindow, CM_RELEASE, 0, 0);
    });
    DispatchPosted(formWindow, CM_RELEASE);
    EXPECT_EQ(faults.Count(), 0);
    EXPECT_EQ(answers, std::vector<LRESULT>(14, 0));
    EXPECT_EQ(events.log.size(), 1u) << "the show event ran again";
    if (!IsWindow(formWindow)) (void)form.release();
    ASSERT_TRUE(IsWindow(formWindow)) << "released from outside";
    EXPECT_TRUE(IsWindowVisible(boxWindow));

    // The library's own release, posted to the window, still frees the form.
    const HWND otherWindow = other->Handle();
    other.release()->Release();
    DispatchPosted(otherWindow, CM_RELEASE);
    EXPECT_FALSE(IsWindow(otherWindow));
}

TEST(WinControl, AnExceptionInAHandlerIsShownWithTheTitleAndGoesNoFurther)
{
    ExceptionRecorder recorder;
    FormPtr form = NewForm();
    struct Thrower : TObject {
        void Click(TObject*) { throw Exception(std::wstring(L"クリックで失敗")); }
    } thrower;
    auto* button = new TButton(form.get());
    button->SetParent(form.get());
    button->OnClick.Bind(&thrower, &Thrower::Click);
    const std::string oldTitle = Application->Title();
    Application->SetTitle(AnsiFromWide(L"テスト題"));
    SendMessageA(button->Handle(), BM_CLICK, 0, 0);
    Application->SetTitle(oldTitle);
    ASSERT_EQ(recorder.messages.size(), 1u);
    EXPECT_EQ(WideFromAnsi(recorder.messages[0]), L"クリックで失敗");
    EXPECT_EQ(WideFromAnsi(recorder.titles[0]), L"テスト題");
    EXPECT_TRUE(IsWindow(button->Handle()));

    // In the message loop's key handling (Enter presses the default button, which raises): shown,
    // and the key still goes to the control that has it.
    button->SetDefault(true);
    auto* control = new TRecordingControl(form.get());
    control->SetParent(form.get());
    form->Show();
    SetFocus(control->Handle());
    PostMessageA(control->Handle(), WM_KEYDOWN, VK_RETURN, 1);
    Application->ProcessMessages();
    ASSERT_EQ(recorder.messages.size(), 2u);
    EXPECT_EQ(WideFromAnsi(recorder.messages[1]), L"クリックで失敗");
    ASSERT_FALSE(control->defaults.empty()) << "the key was swallowed";
    EXPECT_EQ(control->defaults[0].Msg, static_cast<UINT>(WM_KEYDOWN));
    EXPECT_EQ(control->defaults[0].WParam, static_cast<WPARAM>(VK_RETURN));
}

TEST(WinControl, KeyEventsChangeTheKeyAndOnlyTheLowWordOfACharacter)
{
    FormPtr form = NewForm();
    Events events;
    auto* control = new TRecordingControl(form.get());
    control->SetParent(form.get());
    control->OnKeyDown.Bind(&events, &Events::KeyDown);
    control->OnKeyPress.Bind(&events, &Events::KeyPress);
    const HWND h = control->Handle();

    SendMessageA(h, WM_KEYDOWN, 'A', 0);
    SendMessageA(h, WM_KEYDOWN, 'X', 0);  // the handler swallows X
    ASSERT_EQ(control->defaults.size(), 1u);
    EXPECT_EQ(control->defaults[0].WParam, static_cast<WPARAM>('A'));

    control->defaults.clear();
    SendMessageA(h, WM_CHAR, 'q', 0);
    // A wide character parked in the high word (low word 255) keeps its high word.
    SendMessageA(h, WM_CHAR, 0x304200FF, 0);
    ASSERT_EQ(control->defaults.size(), 2u);
    EXPECT_EQ(control->defaults[0].WParam, static_cast<WPARAM>('Q'));
    EXPECT_EQ(control->defaults[1].WParam, static_cast<WPARAM>(0x304200FF));
    EXPECT_EQ(events.log.back(), "keypress 255");
}

TEST(GraphicControl, ParentPaintsItsWindowlessChildrenClippedToTheirBounds)
{
    FormPtr form = NewForm();
    auto* panel = new TPanel(form.get());
    panel->SetParent(form.get());
    panel->SetBevelOuter(TPanelBevel::bvNone);
    panel->SetBounds(0, 0, 100, 60);
    auto* probe = new TProbeControl(form.get());
    probe->SetParent(panel);
    probe->SetBounds(10, 20, 30, 15);
    probe->overpaint = true;
    auto* hidden = new TProbeControl(form.get());
    hidden->SetParent(panel);
    hidden->SetBounds(50, 20, 10, 10);
    hidden->fill = RGB(0, 0, 200);
    hidden->SetVisible(false);

    MemoryCanvas canvas(100, 60);
    SendMessageA(panel->Handle(), WM_PAINT, reinterpret_cast<WPARAM>(canvas.Dc()), 0);
    const COLORREF face = canvas.Nearest(GetSysColor(COLOR_BTNFACE));
    const COLORREF red = canvas.Nearest(RGB(200, 0, 0));
    EXPECT_EQ(canvas.Pixel(10, 20), red);
    EXPECT_EQ(canvas.Pixel(39, 34), red);
    EXPECT_EQ(canvas.Pixel(40, 34), face) << "clipped at the right edge";
    EXPECT_EQ(canvas.Pixel(39, 35), face) << "clipped at the bottom edge";
    EXPECT_EQ(canvas.Pixel(9, 20), face);
    EXPECT_EQ(canvas.Pixel(55, 25), face) << "an invisible control is not painted";
    EXPECT_EQ(hidden->paints, 0);
}

TEST(GraphicControl, MouseGoesToTheChildUnderThePointAndStaysWithItWhileCaptured)
{
    FormPtr form = NewForm();
    auto* panel = new TPanel(form.get());
    panel->SetParent(form.get());
    panel->SetBounds(0, 0, 200, 100);
    auto* probe = new TProbeControl(form.get());
    probe->SetParent(panel);
    probe->SetBounds(10, 10, 40, 20);
    probe->SetControlStyle({TControlStyleFlag::csCaptureMouse, TControlStyleFlag::csClickEvents});
    Events events;
    probe->SetName("Probe");
    probe->OnClick.Bind(&events, &Events::Click);
    const HWND h = panel->Handle();

    SendMessageA(h, WM_LBUTTONDOWN, MK_LBUTTON, Pos(15, 12));
    EXPECT_EQ(CaptureControl(), probe);
    EXPECT_EQ(GetCapture(), h);
    SendMessageA(h, WM_MOUSEMOVE, MK_LBUTTON, Pos(150, 80));  // outside, still the probe's
    SendMessageA(h, WM_LBUTTONUP, 0, Pos(150, 80));           // released outside: no click
    EXPECT_EQ(CaptureControl(), nullptr);
    EXPECT_EQ(GetCapture(), nullptr);
    ASSERT_EQ(probe->calls.size(), 3u);
    EXPECT_EQ(probe->calls[0], "down 5,2");
    EXPECT_EQ(probe->calls[1], "move 140,70");
    EXPECT_EQ(probe->calls[2], "up 140,70");
    EXPECT_TRUE(events.log.empty());

    SendMessageA(h, WM_LBUTTONDOWN, MK_LBUTTON, Pos(20, 20));
    SendMessageA(h, WM_LBUTTONUP, 0, Pos(21, 21));
    ASSERT_EQ(events.log.size(), 1u) << "press and release inside click once";

    // Outside every child nothing reaches the probe; a disabled child gets nothing either.
    probe->calls.clear();
    SendMessageA(h, WM_LBUTTONDOWN, MK_LBUTTON, Pos(150, 80));
    SendMessageA(h, WM_LBUTTONUP, 0, Pos(150, 80));
    probe->SetEnabled(false);
    SendMessageA(h, WM_LBUTTONDOWN, MK_LBUTTON, Pos(15, 12));
    SendMessageA(h, WM_LBUTTONUP, 0, Pos(15, 12));
    EXPECT_TRUE(probe->calls.empty());
    // ... but the lookup for hover counts it when asked to.
    EXPECT_EQ(panel->ControlAtPos(POINT{15, 12}, false), nullptr);
    EXPECT_EQ(panel->ControlAtPos(POINT{15, 12}, true), probe);
}

TEST(GraphicControl, DoubleClickIsAPressWithTheFlagOrAPlainPress)
{
    FormPtr form = NewForm();
    form->SetBounds(0, 0, 200, 100);
    auto* panel = new TPanel(form.get());
    panel->SetParent(form.get());
    panel->SetBounds(0, 0, 200, 100);
    auto* probe = new TProbeControl(form.get());
    probe->SetParent(panel);
    probe->SetBounds(0, 0, 50, 50);
    struct Dbl : TObject {
        int count = 0;
        void DblClick(TObject*) { ++count; }
    } dbl;
    probe->OnDblClick.Bind(&dbl, &Dbl::DblClick);

    probe->SetControlStyle({TControlStyleFlag::csDoubleClicks, TControlStyleFlag::csClickEvents});
    SendMessageA(panel->Handle(), WM_LBUTTONDBLCLK, MK_LBUTTON, Pos(5, 5));
    SendMessageA(panel->Handle(), WM_LBUTTONUP, 0, Pos(5, 5));
    probe->SetControlStyle({TControlStyleFlag::csClickEvents});
    SendMessageA(panel->Handle(), WM_LBUTTONDBLCLK, MK_LBUTTON, Pos(6, 6));
    ASSERT_EQ(probe->calls.size(), 3u);
    EXPECT_EQ(probe->calls[0], "down 5,5 dbl");
    EXPECT_EQ(probe->calls[2], "down 6,6");
    EXPECT_EQ(dbl.count, 1);
}

TEST(WinControl, TabOrderFocusAndEnterExit)
{
    FormPtr form = NewForm();
    Events events;
    std::vector<TButton*> buttons;
    for (const char* name : {"B0", "B1", "B2"}) {
        const int i = name[1] - '0';
        auto* b = new TButton(form.get());
        b->SetName(name);
        b->SetParent(form.get());
        b->SetBounds(10, 10 + 30 * i, 75, 25);
        b->OnEnter.Bind(&events, &Events::Enter);
        b->OnExit.Bind(&events, &Events::Exit);
        buttons.push_back(b);
    }
    EXPECT_EQ(buttons[2]->TabOrder(), 2);
    buttons[2]->SetTabOrder(0);
    EXPECT_EQ(buttons[2]->TabOrder(), 0);
    EXPECT_EQ(buttons[0]->TabOrder(), 1);
    EXPECT_EQ(form->FindNextControl(buttons[2], true, true, false), buttons[0]);
    EXPECT_EQ(form->FindNextControl(buttons[2], false, true, false), buttons[1]) << "wraps backwards";
    buttons[0]->SetEnabled(false);
    EXPECT_EQ(form->FindNextControl(buttons[2], true, true, false), buttons[1]) << "skips what cannot take the focus";
    buttons[0]->SetEnabled(true);

    form->Show();
    SetForegroundWindow(form->Handle());
    buttons[2]->SetFocus();
    Pump();
    ASSERT_EQ(GetFocus(), buttons[2]->Handle());
    EXPECT_EQ(form->ActiveControl(), buttons[2]);
    EXPECT_TRUE(form->Active());
    events.log.clear();
    form->SelectNext(form->ActiveControl(), true, true);
    EXPECT_EQ(GetFocus(), buttons[0]->Handle());
    ASSERT_EQ(events.log.size(), 2u);
    EXPECT_EQ(events.log[0], "exit B2");
    EXPECT_EQ(events.log[1], "enter B0");

    // A control that goes away stops being the active control.
    buttons[0]->Free();
    EXPECT_EQ(form->ActiveControl(), nullptr);
}

TEST(WinControl, ALibrarysWindowClassesAndAtomsAreItsOwnAndGoWithIt)
{
    const std::string dll = testenv::ProgramDir() + "testcontrols.dll";
    HMODULE library = LoadLibraryA(dll.c_str());
    ASSERT_TRUE(library) << dll;
    auto proc = [library]<class F>(const char* name, F*) {
        return reinterpret_cast<F*>(reinterpret_cast<void (*)()>(GetProcAddress(library, name)));
    };
    auto make = proc("MakePanelWindow", static_cast<HWND (*)(HWND)>(nullptr));
    auto release = proc("FreePanel", static_cast<void (*)()>(nullptr));
    auto instance = proc("LibraryInstance", static_cast<HINSTANCE (*)()>(nullptr));
    auto atomName = proc("LibraryControlAtomName", static_cast<const char* (*)()>(nullptr));
    ASSERT_TRUE(make && release && instance && atomName);

    FormPtr host = NewForm();
    const HWND panel = make(host->Handle());
    ASSERT_TRUE(panel);
    EXPECT_EQ(reinterpret_cast<HINSTANCE>(GetClassLongPtrA(panel, GCLP_HMODULE)), instance());
    EXPECT_NE(instance(), CurrentModuleInstance());
    WNDCLASSA wc{};
    EXPECT_TRUE(GetClassInfoA(instance(), "TPanel", &wc));
    // The library's control atom is its own: this program's lookup does not take its windows.
    const std::string name = atomName();
    EXPECT_NE(name, ControlAtomName());
    EXPECT_NE(GlobalFindAtomA(name.c_str()), 0);
    EXPECT_EQ(FindControl(panel), nullptr);

    release();
    const HINSTANCE gone = instance();
    FreeLibrary(library);
    EXPECT_FALSE(GetClassInfoA(gone, "TPanel", &wc)) << "unregistered at unload";
    EXPECT_EQ(GlobalFindAtomA(name.c_str()), 0) << "atom deleted at unload";
}

TEST(GraphicControl, PanelBevelAndLabelPaintWithTheSystemColours)
{
    FormPtr form = NewForm();
    auto* panel = new TPanel(form.get());
    panel->SetParent(form.get());
    panel->SetBounds(0, 0, 120, 60);  // raised outer bevel by default
    auto* bevel = new TBevel(form.get());
    bevel->SetParent(panel);
    bevel->SetBounds(10, 10, 40, 30);
    bevel->SetShape(TBevelShape::bsFrame);
    auto* label = new TLabel(form.get());
    label->SetParent(panel);
    label->SetBounds(60, 10, 10, 10);
    label->SetCaption(AnsiFromWide(L"通常検索"));

    MemoryCanvas canvas(120, 60);
    SendMessageA(panel->Handle(), WM_PAINT, reinterpret_cast<WPARAM>(canvas.Dc()), 0);
    const COLORREF highlight = canvas.Nearest(GetSysColor(COLOR_BTNHIGHLIGHT));
    const COLORREF shadow = canvas.Nearest(GetSysColor(COLOR_BTNSHADOW));
    const COLORREF face = canvas.Nearest(GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(canvas.Pixel(0, 0), highlight) << "raised panel: light top-left";
    EXPECT_EQ(canvas.Pixel(119, 59), shadow) << "raised panel: dark bottom-right";
    EXPECT_EQ(canvas.Pixel(10, 10), shadow) << "lowered frame: dark outer ring";
    EXPECT_EQ(canvas.Pixel(11, 11), highlight) << "lowered frame: light inner ring";
    EXPECT_EQ(canvas.Pixel(49, 39), highlight);
    EXPECT_EQ(canvas.Pixel(30, 25), face) << "a frame leaves its inside to the parent";

    // The auto-sized label covers its text, drawn in the window-text colour on the parent's face.
    EXPECT_GT(label->Width(), 10);
    int text = 0, other = 0;
    const COLORREF ink = canvas.Nearest(GetSysColor(COLOR_WINDOWTEXT));
    for (int y = label->Top(); y < label->Top() + label->Height(); ++y) {
        for (int x = label->Left(); x < label->Left() + label->Width(); ++x) {
            const COLORREF c = canvas.Pixel(x, y);
            if (c == ink) ++text;
            else if (c != face) ++other;
        }
    }
    EXPECT_GT(text, 10);
    EXPECT_LT(other, text) << "mostly ink on face (font smoothing may add a few shades)";
}

TEST(GraphicControl, PaintsAndMeasuresWhenGdiHasRunOutDrawWhatTheyCanAndRaiseNothing)
{
    ExceptionRecorder recorder;
    FormPtr form = NewForm();
    auto* panel = new TPanel(form.get());
    panel->SetParent(form.get());
    panel->SetBounds(0, 0, 120, 60);
    panel->SetCaption("panel");
    auto* label = new TLabel(form.get());
    label->SetParent(panel);
    label->SetBounds(60, 10, 10, 10);
    label->SetCaption("label");
    auto* button = new TSpeedButton(form.get());
    button->SetParent(panel);
    button->SetBounds(10, 10, 40, 30);
    button->SetCaption("button");
    auto* group = new TGroupBox(form.get());
    group->SetParent(form.get());
    group->SetBounds(0, 70, 120, 60);
    group->SetCaption("group");
    auto* hint = new THintWindow(form.get());
    hint->HandleNeeded();
    auto* menu = new TPopupMenu(form.get());
    menu->SetOwnerDraw(true);
    auto* item = new TMenuItem(form.get());
    item->SetCaption("item");
    menu->Items()->Add(item);
    const HWND menuWindow = PopupList()->Window();
    form->Show();
    Pump();
    MemoryCanvas canvas(120, 60);
    {
        // What a paint borrows from GDI cannot be had; the shell would show a box for each raise.
        testenv::GdiExhaustion exhausted;
        ASSERT_EQ(CreateSolidBrush(RGB(1, 2, 3)), nullptr) << "GDI has not run out";
        SendMessageA(panel->Handle(), WM_PAINT, reinterpret_cast<WPARAM>(canvas.Dc()), 0);
        RedrawWindow(form->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        label->SetCaption("longer label");
        hint->ShowHintAt(hint->MeasureHint(200, "hint", nullptr), "hint");
        UpdateWindow(hint->Handle());
        MEASUREITEMSTRUCT mis{};
        mis.CtlType = ODT_MENU;
        mis.itemID = item->Command();
        SendMessageW(menuWindow, WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&mis));
    }
    EXPECT_EQ(recorder.messages.size(), 0u) << "raised while GDI had run out";
    recorder.messages.clear();
    hint->HideHint();

    // With the handles back, the same paint draws again.
    SendMessageA(panel->Handle(), WM_PAINT, reinterpret_cast<WPARAM>(canvas.Dc()), 0);
    EXPECT_EQ(canvas.Pixel(119, 59), canvas.Nearest(GetSysColor(COLOR_BTNSHADOW)));
    EXPECT_EQ(canvas.Pixel(5, 50), canvas.Nearest(GetSysColor(COLOR_BTNFACE)));
    EXPECT_EQ(recorder.messages.size(), 0u);
}

namespace {

// Makes its window itself, as the Unicode layer does: a wide class of its own whose creation
// procedure is the library's, and CreateWindowExW.
class TOwnWindowControl : public TWinControl {
    KERVO_CLASS(TOwnWindowControl, TWinControl)
public:
    explicit TOwnWindowControl(TComponent* owner) : TWinControl(owner) {}
    bool fail = false;
    TWinControl* recordDuringCreation = nullptr;
    std::string paramsClassName;

protected:
    void MakeWindowHandle(const TCreateParams& params) override
    {
        recordDuringCreation = ControlBeingCreated();
        paramsClassName = params.WinClassName;
        if (fail) throw Exception(std::string("no window"));
        WNDCLASSW wc{};
        wc.lpfnWndProc = StandardInitWndProc;
        wc.hInstance = params.WindowClass.hInstance;
        wc.lpszClassName = L"TOwnWindowControl.UnicodeClass";
        WNDCLASSW existing{};
        if (!GetClassInfoW(wc.hInstance, wc.lpszClassName, &existing)) RegisterClassW(&wc);
        CreateWindowExW(params.ExStyle, wc.lpszClassName, L"", params.Style, params.X, params.Y, params.Width,
                        params.Height, params.WndParent, nullptr, wc.hInstance, params.Param);
    }
};

}  // namespace

KERVO_CLASS_RECORD(TOwnWindowControl) {}

TEST(WinControl, AnOverriddenWindowCreationFindsTheRecordOfTheControlBeingCreated)
{
    FormPtr form = NewForm();
    auto* control = new TOwnWindowControl(form.get());
    control->SetParent(form.get());
    control->SetBounds(5, 5, 40, 20);
    const HWND h = control->Handle();
    ASSERT_TRUE(h);
    EXPECT_EQ(control->recordDuringCreation, control);
    EXPECT_EQ(control->paramsClassName, "TOwnWindowControl");
    EXPECT_EQ(ControlBeingCreated(), nullptr);
    EXPECT_EQ(FindControl(h), control) << "the library's creation procedure took the window";
    EXPECT_EQ(reinterpret_cast<WNDPROC>(GetWindowLongPtrA(h, GWLP_WNDPROC)), control->ObjectInstance());
    EXPECT_EQ(control->Perform(WM_GETDLGCODE), 0) << "DefWindowProc answers as the default procedure";

    auto* failing = new TOwnWindowControl(form.get());
    failing->SetParent(form.get());
    failing->fail = true;
    EXPECT_THROW(failing->HandleNeeded(), Exception);
    EXPECT_EQ(ControlBeingCreated(), nullptr) << "cleared when the creation fails";
    EXPECT_FALSE(failing->HandleAllocated());
}

TEST(WinControl, DestructionMessagesFromOutsideLeaveTheWindowAndARealDestructionClearsIt)
{
    // A shown panel with a windowless child: its paints go through the library's paint handler.
    FormPtr form = NewForm();
    auto* panel = new TPanel(form.get());
    panel->SetParent(form.get());
    panel->SetBounds(0, 0, 100, 60);
    auto* probe = new TProbeControl(form.get());
    probe->SetParent(panel);
    probe->SetBounds(10, 10, 20, 20);
    form->Show();
    const HWND window = panel->Handle();

    // Any program can send or post these; the window is not destroyed.
    ForgeDestructionMessages(window);
    ASSERT_TRUE(IsWindow(window));
    EXPECT_TRUE(panel->HandleAllocated());
    EXPECT_EQ(FindControl(window), panel);
    // Its paint is validated: no paint message comes back for ever (nothing else is pumped here,
    // so a control that lost its handle shows it here instead of spinning).
    const int paints = probe->paints;
    InvalidateRect(window, nullptr, TRUE);
    UpdateWindow(window);
    RECT r;
    EXPECT_FALSE(GetUpdateRect(window, &r, FALSE));
    EXPECT_GT(probe->paints, paints);
    EXPECT_EQ(panel->Handle(), window);

    // A real destruction inside the handling of a message from another thread: a parent that is
    // not the library's closes on a WM_CLOSE sent to it, and its shown child goes with it.
    const HWND parent =
        CreateWindowExA(0, "STATIC", "", WS_POPUP | WS_VISIBLE, 0, 0, 200, 100, nullptr, nullptr, nullptr, nullptr);
    FormPtr child = NewForm();
    child->SetBorderStyle(TFormBorderStyle::bsNone);
    child->SetParentWindow(parent);
    child->Show();
    ASSERT_TRUE(IsWindowVisible(child->Handle()));
    OnAnotherThread([parent] { SendMessageA(parent, WM_CLOSE, 0, 0); });
    ASSERT_FALSE(IsWindow(parent));
    EXPECT_FALSE(child->HandleAllocated());

    // A real destruction by another thread: the window of another program's thread goes, and its
    // child of this thread with it, which then still looks shown.
    {
        ForeignWindow foreign;
        FormPtr guest = NewForm();
        guest->SetBorderStyle(TFormBorderStyle::bsNone);
        guest->SetParentWindow(foreign.window);
        auto* inner = new TPanel(guest.get());
        inner->SetParent(guest.get());
        guest->Show();
        const HWND guestWindow = guest->Handle();
        ASSERT_TRUE(inner->HandleAllocated());
        foreign.Destroy();
        testenv::PumpUntil([guestWindow] { return !IsWindow(guestWindow); });
        EXPECT_FALSE(guest->HandleAllocated());
        EXPECT_FALSE(inner->HandleAllocated());
    }

    // Forged ones to a hidden window that has child windows: they are not destroyed either.
    form->Hide();
    const HWND formWindow = form->Handle();
    ForgeDestructionMessages(formWindow);
    EXPECT_TRUE(form->HandleAllocated());
    EXPECT_EQ(FindControl(formWindow), form.get());
    EXPECT_EQ(GetParent(panel->Handle()), formWindow);
    EXPECT_EQ(FindControl(panel->Handle()), panel);

    // And one of the program's own.
    DestroyWindow(form->Handle());
    EXPECT_FALSE(form->HandleAllocated());
    EXPECT_FALSE(panel->HandleAllocated());
}
