// Window objects of the layer on real windows: creation on demand, fonts and colours, layout and
// icon, binding windows to objects, destruction and the message loop.
#include <algorithm>
#include <map>

#include "LayerTestKit.h"

using namespace miniwin;
using kit::LayerTest;

namespace {

std::string ClassOf(HWND wnd)
{
    char name[64] = "";
    GetClassNameA(wnd, name, sizeof name);
    return name;
}

// Counts destructions of named objects through their OnDestroy event.
struct DestroyLog {
    std::map<const TMiniObject*, std::string> names;
    std::vector<std::string> order;
    void Watch(TMiniObject* obj, const std::string& name)
    {
        names[obj] = name;
        obj->OnDestroy = MiniMethod<DestroyLog, &DestroyLog::Destroyed>(this);
    }
    void Destroyed(TMiniObject* sender) { order.push_back(names[sender]); }
};

// Hooks are plain routines, so what the recording hook sees is global.
std::vector<UINT> recorded;
bool RecordingHook(TMiniControl*, MSG& msg, LRESULT&)
{
    recorded.push_back(msg.message);
    return false;
}
long CountRecorded(UINT message) { return std::count(recorded.begin(), recorded.end(), message); }

struct ChangeCounter {
    int calls = 0;
    void Changed(TMiniObject*) { ++calls; }
};

}  // namespace

TEST_F(LayerTest, WindowsAreMadeOnDemandParentsFirstOnSharedClasses)
{
    TMiniControl* form = NewMiniForm(nullptr, "demand");
    TMiniControl* group = NewMiniGroupBox(form, "group");
    TMiniControl* inside = NewMiniButton(group, "inside");
    // The first control asking for WS_TABSTOP is current, although the group box clears its
    // tab-stop flag; identifiers count up from 0x8000.
    EXPECT_EQ(form->CurrentControl, group);
    EXPECT_FALSE(group->TabStop);
    EXPECT_GE(group->ControlId, 0x8000u);
    EXPECT_EQ(inside->ControlId, group->ControlId + 1);

    // A child's window needs its parents': made first, the form hidden until shown.
    HWND wnd = GetWindowHandle(inside);
    ASSERT_NE(wnd, nullptr);
    EXPECT_EQ(GetParent(wnd), group->Handle);
    EXPECT_EQ(GetParent(group->Handle), form->Handle);
    EXPECT_FALSE(IsWindowVisible(form->Handle));

    // A control added later gets its window with the form's next CreateWindow.
    TMiniControl* late = NewMiniButton(form, "late");
    ASSERT_TRUE(form->CreateWindow());
    EXPECT_TRUE(IsWindowVisible(form->Handle));
    ASSERT_NE(late->Handle, nullptr);
    EXPECT_EQ(GetDlgCtrlID(late->Handle), static_cast<int>(late->ControlId));

    // Both buttons and the group box share one class; the system procedure does their work.
    EXPECT_EQ(ClassOf(form->Handle), "obj_Form");
    EXPECT_EQ(ClassOf(late->Handle), "obj_BUTTON");
    WNDCLASSA system{};
    ASSERT_TRUE(GetClassInfoA(nullptr, "BUTTON", &system));
    EXPECT_EQ(late->PrevWndProc, system.lpfnWndProc);
    EXPECT_EQ(inside->PrevWndProc, system.lpfnWndProc);
    EXPECT_EQ(GetClassLongPtrA(form->Handle, GCL_STYLE), static_cast<ULONG_PTR>(CS_DBLCLKS));
    SendMessageA(late->Handle, BM_SETSTATE, TRUE, 0);
    EXPECT_TRUE(SendMessageA(late->Handle, BM_GETSTATE, 0, 0) & BST_PUSHED);
    Free(form);
}

TEST_F(LayerTest, ControlsShareTheFormsFontUntilOneChangesIt)
{
    TMiniControl* form = NewMiniForm(nullptr, "fonts");
    SetDataWord(GetFont(form), FontHeightOffset, -12);
    TMiniControl* group = NewMiniGroupBox(form, "g");
    TMiniControl* a = NewMiniButton(group, "a");
    TMiniControl* b = NewMiniButton(form, "b");
    ASSERT_TRUE(form->CreateWindow());
    auto fontOf = [](TMiniControl* c) { return SendMessageA(c->Handle, WM_GETFONT, 0, 0); };
    const auto shared = reinterpret_cast<LRESULT>(GetToolHandle(form->Font));
    ASSERT_NE(shared, 0);
    EXPECT_EQ(fontOf(group), shared);
    EXPECT_EQ(fontOf(a), shared);
    EXPECT_EQ(fontOf(b), shared);

    SetDataWord(GetFont(a), FontHeightOffset, -20);
    EXPECT_NE(fontOf(a), shared);
    EXPECT_EQ(fontOf(b), shared);
    LOGFONTA lf{};
    GetObjectA(reinterpret_cast<HGDIOBJ>(fontOf(a)), sizeof lf, &lf);
    EXPECT_EQ(lf.lfHeight, -20);

    // Setting what is already set makes no new handle and no change notice.
    ChangeCounter counter;
    b->Font->OnChange = MiniMethod<ChangeCounter, &ChangeCounter::Changed>(&counter);
    SetDataWord(b->Font, FontHeightOffset, -12);
    SetFontName(b->Font, "MS Sans Serif");
    EXPECT_EQ(counter.calls, 0);
    EXPECT_EQ(fontOf(b), shared);
    Free(form);
}

TEST_F(LayerTest, FaceNamesFillTheFieldButNeverPassIt)
{
    TMiniTool* font = NewFont();
    const std::string name31 = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcde";
    SetFontName(font, name31.c_str());
    LOGFONTA lf{};
    ASSERT_NE(GetObjectA(GetToolHandle(font), sizeof lf, &lf), 0);
    EXPECT_EQ(std::string(lf.lfFaceName), name31);

    // A longer name is cut to what fits with the terminator; what follows the data block stays
    // whole, and the same long name again is no change.
    ChangeCounter counter;
    font->OnChange = MiniMethod<ChangeCounter, &ChangeCounter::Changed>(&counter);
    const std::string name40 = "0123456789012345678901234567890123456789";
    SetFontName(font, name40.c_str());
    EXPECT_EQ(std::string(font->Data.Font.lfFaceName), name40.substr(0, 31));
    EXPECT_EQ(font->NewOfKind, &NewFont);
    SetFontName(font, name40.c_str());
    EXPECT_EQ(counter.calls, 2);   // one change: before and after its handle went
    Free(font);
}

TEST_F(LayerTest, ColoursFollowTheSystemAndAnswerForEachControl)
{
    TMiniControl* form = NewMiniForm(nullptr, "colours");
    TMiniControl* button = NewMiniButton(form, "b");
    ASSERT_TRUE(form->CreateWindow());
    EXPECT_EQ(GetBackgroundBrush(button), GetBackgroundBrush(form));

    // A changed system colour makes the next brush in the new colour.
    const INT which[] = {COLOR_BTNFACE};
    const COLORREF original[] = {GetSysColor(COLOR_BTNFACE)};
    const COLORREF changed[] = {original[0] ^ 0x00102030};
    ASSERT_TRUE(SetSysColors(1, which, changed));
    LOGBRUSH lb{};
    GetObjectA(GetBackgroundBrush(form), sizeof lb, &lb);
    SetSysColors(1, which, original);
    EXPECT_EQ(lb.lbColor, changed[0]);

    // The parent's colour question is answered by the control named in it.
    button->BkColor = RGB(1, 2, 3);
    button->TextColor = RGB(4, 5, 6);
    HDC dc = GetDC(button->Handle);
    auto answer = reinterpret_cast<HBRUSH>(SendMessageA(form->Handle, WM_CTLCOLORBTN,
                                                        reinterpret_cast<WPARAM>(dc),
                                                        reinterpret_cast<LPARAM>(button->Handle)));
    EXPECT_EQ(GetBkColor(dc), RGB(1, 2, 3));
    EXPECT_EQ(GetTextColor(dc), RGB(4, 5, 6));
    ReleaseDC(button->Handle, dc);
    GetObjectA(answer, sizeof lb, &lb);
    EXPECT_EQ(lb.lbColor, RGB(1, 2, 3));
    Free(form);
}

TEST_F(LayerTest, PlacingSizingAndCentring)
{
    TMiniControl* form = NewMiniForm(nullptr, "layout");
    SizeTo(form, 0, 50);   // a width of 0 or less leaves the width
    SizeTo(form, -5, 0);
    EXPECT_EQ(Width(form), 64);
    EXPECT_EQ(Height(form), 50);

    PlaceAt(form, 100, 120);   // before the window: it opens there
    SizeTo(form, 301, 201);
    ASSERT_TRUE(form->CreateWindow());
    RECT r;
    GetWindowRect(form->Handle, &r);
    EXPECT_EQ(r.left, 100);
    EXPECT_EQ(r.top, 120);
    ClientSizeTo(form, 188, 111);
    ::GetClientRect(form->Handle, &r);
    EXPECT_EQ(r.right, 188);
    EXPECT_EQ(r.bottom, 111);

    CenterOnParentOrScreen(form);
    GetWindowRect(form->Handle, &r);
    EXPECT_EQ(r.left, (GetSystemMetrics(SM_CXSCREEN) - (r.right - r.left)) >> 1);
    EXPECT_EQ(r.top, (GetSystemMetrics(SM_CYSCREEN) - (r.bottom - r.top)) >> 1);

    // In a group box the margins narrow the area, but the position counts from the client
    // origin; a control wider than the area gets a negative left, halved downwards.
    TMiniControl* group = NewMiniGroupBox(form, "g");
    PlaceAt(group, 0, 0);
    SizeTo(group, 200, 100);
    TMiniControl* wide = NewMiniButton(group, "wide");
    SizeTo(wide, 196 + 41, 20);
    CenterOnParentOrScreen(wide);
    RECT b = GetBounds(wide);
    EXPECT_EQ(b.left, -21);
    EXPECT_EQ(b.top, (100 - 22 - 2 - 20) >> 1);
    Free(form);
}

TEST_F(LayerTest, StylesAndIconGoToTheWindowOnlyWhenTheyChange)
{
    // No main window yet, as in the installer: the default icon must not need one.
    TMiniControl* form = NewMiniForm(nullptr, "styles");
    ASSERT_TRUE(form->CreateWindow());
    EXPECT_EQ(SendMessageA(form->Handle, WM_GETICON, ICON_BIG, 0), 0);   // no MAINICON here
    AttachProc(form, &RecordingHook);
    recorded.clear();

    SetStyle(form, form->Style);
    SetExStyle(form, form->ExStyle);
    EXPECT_EQ(CountRecorded(WM_STYLECHANGING), 0);
    RECT before, after;
    GetWindowRect(form->Handle, &before);
    SetExStyle(form, form->ExStyle | WS_EX_DLGMODALFRAME);
    EXPECT_EQ(CountRecorded(WM_STYLECHANGING), 1);
    EXPECT_TRUE(GetWindowLongA(form->Handle, GWL_EXSTYLE) & WS_EX_DLGMODALFRAME);
    GetWindowRect(form->Handle, &after);
    EXPECT_EQ(after.right - after.left, before.right - before.left);   // outer size kept

    SetWindowIcon(form, MiniNoIcon());
    SetWindowIcon(form, MiniNoIcon());
    EXPECT_EQ(CountRecorded(WM_SETICON), 1);

    // Later forms take a copy of the main window's icon.
    HICON icon = static_cast<HICON>(CopyImage(
        LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_APPLICATION)), IMAGE_ICON, 0, 0, 0));
    SetWindowIcon(form, icon);
    MainMiniWindow = form;
    TMiniControl* later = NewMiniForm(nullptr, "later");
    ASSERT_TRUE(later->CreateWindow());
    auto copied = reinterpret_cast<HICON>(SendMessageA(later->Handle, WM_GETICON, ICON_BIG, 0));
    EXPECT_NE(copied, nullptr);
    EXPECT_NE(copied, icon);
    MainMiniWindow = nullptr;
    Free(later);
    Free(form);
}

TEST_F(LayerTest, AWindowKeepsItsObjectWhileAnotherIsBeingCreated)
{
    TMiniControl* bound = NewMiniForm(nullptr, "bound");
    ASSERT_TRUE(bound->CreateWindow());
    TMiniControl* pending = NewMiniForm(nullptr, "pending");
    CreatingObject = pending;
    SendMessageA(bound->Handle, WM_NULL, 0, 0);
    EXPECT_EQ(GetPropA(bound->Handle, SelfProperty), bound);
    EXPECT_EQ(pending->Handle, nullptr);
    CreatingObject = nullptr;
    ASSERT_TRUE(pending->CreateWindow());
    EXPECT_EQ(GetPropA(pending->Handle, SelfProperty), pending);

    // A window of the layer's class without an object is handled for the main window, with
    // the default processing on its own window.
    MainMiniWindow = bound;
    HWND stray = CreateWindowExA(0, "obj_Form", "stray", WS_OVERLAPPED, 0, 0, 50, 50, nullptr,
                                 nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(stray, nullptr);
    char text[16] = "";
    GetWindowTextA(stray, text, sizeof text);
    EXPECT_STREQ(text, "stray");
    DestroyWindow(stray);
    EXPECT_TRUE(IsWindow(bound->Handle));
    EXPECT_FALSE(bound->WindowDestroyed);
    MainMiniWindow = nullptr;
    Free(pending);
    Free(bound);
}

TEST_F(LayerTest, DestructionFreesEveryObjectOnceWhateverDestroysTheWindow)
{
    DestroyLog log;
    TMiniControl* form = NewMiniForm(nullptr, "destroy");
    TMiniControl* group = NewMiniGroupBox(form, "g");
    TMiniControl* a = NewMiniButton(group, "a");
    TMiniControl* b = NewMiniButton(form, "b");
    TMiniControl* c = NewMiniButton(form, "c");
    for (auto [obj, name] : {std::pair<TMiniObject*, const char*>{form, "form"}, {group, "group"},
                             {a, "a"}, {b, "b"}, {c, "c"}})
        log.Watch(obj, name);
    ASSERT_TRUE(form->CreateWindow());
    MainMiniWindow = form;
    HWND formWnd = form->Handle, aWnd = a->Handle;

    DestroyWindow(b->Handle);   // the system destroys a child of the main window
    EXPECT_EQ(form->Children->IndexOf(b), -1);
    Free(c);                    // the object goes first; its window's end must not free it again
    Free(form);
    EXPECT_EQ(log.order, (std::vector<std::string>{"b", "c", "form", "group", "a"}));
    EXPECT_EQ(MainMiniWindow, nullptr);
    EXPECT_FALSE(IsWindow(formWnd));
    EXPECT_FALSE(IsWindow(aWnd));

    // A container freed with the form's current, default and cancel control inside it: the
    // form holds none of them afterwards.
    TMiniControl* dialog = NewMiniForm(nullptr, "dialog");
    TMiniControl* box = NewMiniGroupBox(dialog, "box");
    TMiniControl* ok = NewMiniButton(box, "ok");
    TMiniControl* cancel = NewMiniButton(box, "cancel");
    SetDialogKeyButton(ok, VK_RETURN, true);
    SetDialogKeyButton(cancel, VK_ESCAPE, true);
    dialog->CurrentControl = cancel;
    Free(box);
    EXPECT_EQ(dialog->CurrentControl, nullptr);
    EXPECT_EQ(dialog->DefaultButton, nullptr);
    EXPECT_EQ(dialog->CancelButton, nullptr);
    Free(dialog);
}

TEST_F(LayerTest, CloseOfTheMainWindowEndsTheLoopAndFreesEverything)
{
    DestroyLog log;
    TMiniControl* main = NewMiniForm(nullptr, "main");
    NewMiniButton(main, "first child");
    TMiniControl* owned = NewMiniForm(main, "owned");   // not the first child: no main window
    TMiniObject* holder = NewMiniList();
    main->AddToAutoFree(holder);
    log.Watch(main, "main");
    log.Watch(owned, "owned");
    log.Watch(holder, "holder");
    ASSERT_NE(GetWindowHandle(main), nullptr);
    EXPECT_FALSE(IsMainWindow(owned));

    PostMessageA(owned->Handle, WM_CLOSE, 0, 0);   // default processing: that window goes
    PostMessageA(main->Handle, WM_CLOSE, 0, 0);    // the program ends
    TMiniControl* variable = main;
    RunMainWindow(variable);
    EXPECT_EQ(variable, nullptr);
    EXPECT_TRUE(AppletTerminated);
    EXPECT_FALSE(AppletRunning);
    EXPECT_EQ(log.order, (std::vector<std::string>{"owned", "main", "holder"}));
}
