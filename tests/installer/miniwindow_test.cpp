// Window objects of the layer on real windows: classes, creation on demand, fonts and colours,
// layout, the icon, binding windows to objects, destruction and the message loop.
#include <cstring>
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

std::string TextOf(HWND wnd)
{
    char text[256] = "";
    GetWindowTextA(wnd, text, sizeof text);
    return text;
}

// Counts the destruction of named objects through their OnDestroy event.
struct DestroyLog {
    std::map<std::string, int> counts;
    std::vector<std::string> order;
    std::map<const TMiniObject*, std::string> names;
    void Watch(TMiniObject* obj, const std::string& name)
    {
        names[obj] = name;
        obj->OnDestroy = MiniMethod<DestroyLog, &DestroyLog::Destroyed>(this);
    }
    void Destroyed(TMiniObject* sender)
    {
        ++counts[names[sender]];
        order.push_back(names[sender]);
    }
};

// Messages seen by a recording hook (hooks are plain routines, so the record is global).
std::vector<UINT>& Recorded()
{
    static std::vector<UINT> seen;
    return seen;
}

bool RecordingHook(TMiniControl*, MSG& msg, LRESULT&)
{
    Recorded().push_back(msg.message);
    return false;
}

int CountRecorded(UINT message)
{
    int n = 0;
    for (UINT m : Recorded())
        if (m == message) ++n;
    return n;
}

}  // namespace

TEST_F(LayerTest, ButtonsShareOneClassThatKeepsTheSystemButtonProcedure)
{
    TMiniControl* form = NewMiniForm(nullptr, "classes");
    TMiniControl* a = NewMiniButton(form, "a");
    TMiniControl* b = NewMiniButton(form, "b");
    TMiniControl* other = NewMiniForm(nullptr, "other");
    TMiniControl* c = NewMiniButton(other, "c");
    ASSERT_TRUE(form->CreateWindow());
    ASSERT_TRUE(other->CreateWindow());

    EXPECT_EQ(ClassOf(form->Handle), "obj_Form");
    EXPECT_EQ(ClassOf(a->Handle), "obj_BUTTON");
    EXPECT_EQ(ClassOf(c->Handle), "obj_BUTTON");
    WNDCLASSA system{};
    ASSERT_TRUE(GetClassInfoA(nullptr, "BUTTON", &system));
    EXPECT_EQ(a->PrevWndProc, system.lpfnWndProc);
    EXPECT_EQ(b->PrevWndProc, system.lpfnWndProc);
    EXPECT_EQ(form->PrevWndProc, nullptr);
    // The form's class keeps double clicks only; the own-DC style of the object is dropped.
    EXPECT_EQ(GetClassLongPtrA(form->Handle, GCL_STYLE), static_cast<ULONG_PTR>(CS_DBLCLKS));

    // The system procedure does the button's work behind the layer.
    SendMessageA(b->Handle, BM_SETSTATE, TRUE, 0);
    EXPECT_TRUE(SendMessageA(b->Handle, BM_GETSTATE, 0, 0) & BST_PUSHED);
    EXPECT_EQ(TextOf(b->Handle), "b");
    SetCaption(b, nullptr);
    EXPECT_EQ(TextOf(b->Handle), "");

    Free(form);
    Free(other);
}

TEST_F(LayerTest, WindowsAreMadeOnDemandParentsFirstAndHidden)
{
    TMiniControl* form = NewMiniForm(nullptr, "demand");
    TMiniControl* group = NewMiniGroupBox(form, "group");
    TMiniControl* inside = NewMiniButton(group, "inside");
    EXPECT_EQ(form->Handle, nullptr);

    // Asking a child for its window makes the form's first, hidden until CreateWindow shows it.
    HWND wnd = GetWindowHandle(inside);
    ASSERT_NE(wnd, nullptr);
    ASSERT_NE(form->Handle, nullptr);
    EXPECT_EQ(GetParent(wnd), group->Handle);
    EXPECT_EQ(GetParent(group->Handle), form->Handle);
    EXPECT_FALSE(IsWindowVisible(form->Handle));
    EXPECT_TRUE(form->ShowOnCreate);

    // A control added under a made window gets its own when the form's CreateWindow runs.
    TMiniControl* late = NewMiniButton(group, "late");
    EXPECT_EQ(late->Handle, nullptr);
    ASSERT_TRUE(form->CreateWindow());
    EXPECT_TRUE(IsWindowVisible(form->Handle));
    ASSERT_NE(late->Handle, nullptr);
    EXPECT_EQ(GetParent(late->Handle), group->Handle);
    EXPECT_EQ(GetDlgCtrlID(late->Handle), static_cast<int>(late->ControlId));

    // A child control whose parent has no window of its own cannot be made.
    TMiniControl* orphan = NewMiniButton(nullptr, "orphan");
    EXPECT_FALSE(orphan->CreateWindow());
    EXPECT_EQ(orphan->Handle, nullptr);
    Free(orphan);
    Free(form);
}

TEST_F(LayerTest, FirstTabStopControlBecomesCurrentAndIdentifiersCountAcrossForms)
{
    TMiniControl* form = NewMiniForm(nullptr, "ids");
    TMiniControl* group = NewMiniGroupBox(form, "group");
    TMiniControl* button = NewMiniButton(group, "button");
    // The group box asks for WS_TABSTOP although its tab-stop flag is cleared.
    EXPECT_FALSE(group->TabStop);
    EXPECT_EQ(form->CurrentControl, group);
    EXPECT_TRUE(button->TabStop);
    EXPECT_EQ(group->TabOrder, 1);
    EXPECT_EQ(button->TabOrder, 2);

    TMiniControl* second = NewMiniForm(nullptr, "second");
    TMiniControl* next = NewMiniButton(second, "next");
    EXPECT_GE(group->ControlId, 0x8000u);
    EXPECT_EQ(button->ControlId, group->ControlId + 1);
    EXPECT_EQ(next->ControlId, button->ControlId + 1);
    EXPECT_EQ(next->TabOrder, 1);
    EXPECT_EQ(second->CurrentControl, next);

    // Defaults of a child: margins of the parent, a button 22 high, a group box bigger.
    EXPECT_EQ(button->Bounds.left, 2);
    EXPECT_EQ(button->Bounds.top, 2 + 22);
    EXPECT_EQ(button->Bounds.bottom - button->Bounds.top, 22);
    EXPECT_EQ(group->Bounds.right, 2 + 64 + 36);
    EXPECT_EQ(group->Bounds.bottom, 2 + 64 + 78);
    Free(form);
    Free(second);
}

TEST_F(LayerTest, ControlsShareTheFormsFontHandleUntilOneChangesItsFont)
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
    EXPECT_NE(form->Font->Handle, nullptr);
    EXPECT_EQ(fontOf(group), shared);
    EXPECT_EQ(fontOf(a), shared);
    EXPECT_EQ(fontOf(b), shared);
    EXPECT_EQ(a->Font->Handle, nullptr);   // no handle of its own

    SetDataWord(GetFont(a), FontHeightOffset, -20);
    EXPECT_NE(fontOf(a), shared);
    EXPECT_EQ(fontOf(b), shared);
    LOGFONTA lf{};
    GetObjectA(reinterpret_cast<HGDIOBJ>(fontOf(a)), sizeof lf, &lf);
    EXPECT_EQ(lf.lfHeight, -20);
    Free(form);
}

TEST_F(LayerTest, EqualFontSettingsMakeNoNewHandleAndCallNoChangeEvent)
{
    struct Counter {
        int calls = 0;
        void Changed(TMiniObject*) { ++calls; }
    } counter;
    TMiniTool* font = NewFont();
    font->OnChange = MiniMethod<Counter, &Counter::Changed>(&counter);
    EXPECT_STREQ(font->Data.Font.lfFaceName, "MS Sans Serif");
    EXPECT_EQ(font->Data.Font.lfCharSet, DEFAULT_CHARSET);

    SetDataWord(font, FontHeightOffset, -12);
    EXPECT_EQ(counter.calls, 1);   // no handle yet: one notice
    HGDIOBJ h = GetToolHandle(font);
    SetDataWord(font, FontHeightOffset, -12);
    SetFontName(font, "MS Sans Serif");
    EXPECT_EQ(counter.calls, 1);
    EXPECT_EQ(GetToolHandle(font), h);

    SetFontName(font, "Arial");
    EXPECT_EQ(counter.calls, 3);   // before and after the old handle goes
    EXPECT_NE(GetToolHandle(font), nullptr);
    Free(font);
}

TEST_F(LayerTest, FaceNamesFillTheFieldButNeverPassIt)
{
    TMiniTool* font = NewFont();
    const std::string name31 = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcde";
    SetFontName(font, name31.c_str());
    EXPECT_EQ(std::string(font->Data.Font.lfFaceName), name31);
    LOGFONTA lf{};
    ASSERT_NE(GetObjectA(GetToolHandle(font), sizeof lf, &lf), 0);
    EXPECT_EQ(std::string(lf.lfFaceName), name31);

    // A longer name is cut to the 31 characters that fit with the terminator; the routine
    // pointers stored right after the data block stay whole.
    struct Counter {
        int calls = 0;
        void Changed(TMiniObject*) { ++calls; }
    } counter;
    font->OnChange = MiniMethod<Counter, &Counter::Changed>(&counter);
    const std::string name40 = "0123456789012345678901234567890123456789";
    SetFontName(font, name40.c_str());
    EXPECT_EQ(std::string(font->Data.Font.lfFaceName), name40.substr(0, 31));
    EXPECT_EQ(font->NewOfKind, &NewFont);
    EXPECT_EQ(counter.calls, 2);
    SetFontName(font, name40.c_str());   // the same name again is no change
    EXPECT_EQ(counter.calls, 2);

    // A copy describes the same font.
    TMiniTool* copy = AssignTool(nullptr, font);
    EXPECT_TRUE(MemEqual(&copy->Data, &font->Data, sizeof font->Data));
    EXPECT_EQ(AssignTool(copy, nullptr), nullptr);
    Free(font);
}

TEST_F(LayerTest, ColoursFollowSystemColourChangesAndReachTheControls)
{
    TMiniControl* form = NewMiniForm(nullptr, "colours");
    TMiniControl* button = NewMiniButton(form, "b");
    ASSERT_TRUE(form->CreateWindow());

    const HBRUSH formBrush = GetBackgroundBrush(form);
    EXPECT_EQ(GetBackgroundBrush(button), formBrush);   // equal colours share the form's brush
    TMiniTool* font = GetFont(form);
    const HGDIOBJ fontHandle = GetToolHandle(font);

    const COLORREF oldFace = GetSysColor(COLOR_BTNFACE);
    const COLORREF oldText = GetSysColor(COLOR_WINDOWTEXT);
    const COLORREF newFace = oldFace ^ 0x00102030;
    const COLORREF newText = oldText ^ 0x00302010;
    const INT which[] = {COLOR_BTNFACE, COLOR_WINDOWTEXT};
    const COLORREF changed[] = {newFace, newText};
    const COLORREF original[] = {oldFace, oldText};
    ASSERT_TRUE(SetSysColors(2, which, changed));
    const HBRUSH remade = GetBackgroundBrush(form);
    LOGBRUSH lb{};
    GetObjectA(remade, sizeof lb, &lb);
    const HGDIOBJ fontRemade = GetToolHandle(font);
    SetSysColors(2, which, original);
    EXPECT_EQ(lb.lbColor, newFace);
    EXPECT_NE(fontRemade, fontHandle);
    EXPECT_EQ(font->MadeRGB, newText);

    // The colour question of a control goes to the control: its own colour, its own brush.
    button->BkColor = RGB(1, 2, 3);
    button->TextColor = RGB(4, 5, 6);
    HDC dc = GetDC(button->Handle);
    auto answer = reinterpret_cast<HBRUSH>(SendMessageA(
        form->Handle, WM_CTLCOLORBTN, reinterpret_cast<WPARAM>(dc),
        reinterpret_cast<LPARAM>(button->Handle)));
    EXPECT_EQ(GetBkColor(dc), RGB(1, 2, 3));
    EXPECT_EQ(GetTextColor(dc), RGB(4, 5, 6));
    ReleaseDC(button->Handle, dc);
    ASSERT_NE(answer, nullptr);
    EXPECT_NE(answer, GetBackgroundBrush(form));
    GetObjectA(answer, sizeof lb, &lb);
    EXPECT_EQ(lb.lbColor, RGB(1, 2, 3));
    Free(form);
}

TEST_F(LayerTest, PlacingAndSizing)
{
    TMiniControl* form = NewMiniForm(nullptr, "sizes");
    SizeTo(form, 0, 50);
    EXPECT_EQ(Width(form), 64);
    EXPECT_EQ(Height(form), 50);
    SizeTo(form, -5, 60);
    EXPECT_EQ(Width(form), 64);
    EXPECT_EQ(Height(form), 60);
    SizeTo(form, 0, 0);
    EXPECT_EQ(Height(form), 60);

    // Placed before the window exists: the window opens there.
    PlaceAt(form, 100, 120);
    SizeTo(form, 300, 200);
    ASSERT_TRUE(form->CreateWindow());
    RECT r;
    GetWindowRect(form->Handle, &r);
    EXPECT_EQ(r.left, 100);
    EXPECT_EQ(r.top, 120);
    EXPECT_EQ(r.right - r.left, 300);

    ClientSizeTo(form, 188, 111);
    ::GetClientRect(form->Handle, &r);
    EXPECT_EQ(r.right, 188);
    EXPECT_EQ(r.bottom, 111);
    EXPECT_EQ(ClientWidth(form), 188);

    // A group box reports its client area inside its margins.
    TMiniControl* group = NewMiniGroupBox(form, "g");
    SizeTo(group, 100, 80);
    ASSERT_TRUE(form->CreateWindow());
    RECT inner = miniwin::GetClientRect(group);
    EXPECT_EQ(inner.left, 2);
    EXPECT_EQ(inner.top, 22);
    EXPECT_EQ(inner.right, 98);
    EXPECT_EQ(inner.bottom, 78);
    Free(form);
}

TEST_F(LayerTest, CentringUsesTheScreenOrTheParentsClientArea)
{
    TMiniControl* form = NewMiniForm(nullptr, "centre");
    SizeTo(form, 301, 201);
    CenterOnParentOrScreen(form);
    RECT r;
    GetWindowRect(form->Handle, &r);
    EXPECT_EQ(r.left, (GetSystemMetrics(SM_CXSCREEN) - 301) >> 1);
    EXPECT_EQ(r.top, (GetSystemMetrics(SM_CYSCREEN) - 201) >> 1);

    // Inside a group box: the margins narrow the area, but the position counts from the
    // client origin; a control wider than the area gets a negative left, halved downwards.
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

TEST_F(LayerTest, StylesGoToTheWindowOnlyWhenTheyChangeAndKeepTheOuterSize)
{
    TMiniControl* form = NewMiniForm(nullptr, "styles");
    SizeTo(form, 200, 150);
    ASSERT_TRUE(form->CreateWindow());
    AttachProc(form, &RecordingHook);
    Recorded().clear();

    SetStyle(form, form->Style);
    SetExStyle(form, form->ExStyle);
    EXPECT_EQ(CountRecorded(WM_STYLECHANGING), 0);

    RECT before, clientBefore;
    GetWindowRect(form->Handle, &before);
    ::GetClientRect(form->Handle, &clientBefore);
    SetExStyle(form, form->ExStyle | WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE);
    SetStyle(form, form->Style & ~static_cast<DWORD>(WS_THICKFRAME));
    EXPECT_GE(CountRecorded(WM_STYLECHANGING), 2);
    EXPECT_TRUE(GetWindowLongA(form->Handle, GWL_EXSTYLE) & WS_EX_DLGMODALFRAME);
    EXPECT_FALSE(GetWindowLongA(form->Handle, GWL_STYLE) & WS_THICKFRAME);
    RECT after, clientAfter;
    GetWindowRect(form->Handle, &after);
    ::GetClientRect(form->Handle, &clientAfter);
    EXPECT_EQ(after.right - after.left, before.right - before.left);
    EXPECT_EQ(after.bottom - after.top, before.bottom - before.top);
    EXPECT_NE(clientAfter.right, clientBefore.right);   // the frame took its share
    Free(form);
}

TEST_F(LayerTest, BigIconNoneIsSentOnceAndTheFirstFormNeedsNoMainWindow)
{
    // No main window yet (the installer's own order): the icon lookup must not need one.
    TMiniControl* first = NewMiniForm(nullptr, "first");
    ASSERT_TRUE(first->CreateWindow());
    EXPECT_EQ(SendMessageA(first->Handle, WM_GETICON, ICON_BIG, 0), 0);   // no MAINICON here

    AttachProc(first, &RecordingHook);
    Recorded().clear();
    SetWindowIcon(first, MiniNoIcon());
    SetWindowIcon(first, MiniNoIcon());
    EXPECT_EQ(CountRecorded(WM_SETICON), 1);
    EXPECT_EQ(SendMessageA(first->Handle, WM_GETICON, ICON_BIG, 0), 0);

    // Later forms take a copy of the main window's icon.
    HICON icon = static_cast<HICON>(
        CopyImage(LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_APPLICATION)), IMAGE_ICON, 0, 0, 0));
    SetWindowIcon(first, icon);
    MainMiniWindow = first;
    TMiniControl* later = NewMiniForm(nullptr, "later");
    ASSERT_TRUE(later->CreateWindow());
    auto copied = reinterpret_cast<HICON>(SendMessageA(later->Handle, WM_GETICON, ICON_BIG, 0));
    EXPECT_NE(copied, nullptr);
    EXPECT_NE(copied, icon);

    // A main window without a window of its own gives none, and no crash.
    TMiniControl* windowless = NewMiniForm(nullptr, "windowless");
    MainMiniWindow = windowless;
    TMiniControl* third = NewMiniForm(nullptr, "third");
    ASSERT_TRUE(third->CreateWindow());
    EXPECT_EQ(SendMessageA(third->Handle, WM_GETICON, ICON_BIG, 0), 0);
    MainMiniWindow = nullptr;
    Free(third);
    Free(windowless);
    Free(later);
    Free(first);
}

TEST_F(LayerTest, AWindowKeepsItsObjectWhileAnotherIsBeingCreated)
{
    TMiniControl* bound = NewMiniForm(nullptr, "bound");
    ASSERT_TRUE(bound->CreateWindow());
    TMiniControl* pending = NewMiniForm(nullptr, "pending");

    // A message to an existing window while another object's window is under way.
    CreatingObject = pending;
    SendMessageA(bound->Handle, WM_NULL, 0, 0);
    EXPECT_EQ(GetPropA(bound->Handle, SelfProperty), bound);
    EXPECT_EQ(pending->Handle, nullptr);
    EXPECT_EQ(CreatingObject, pending);
    CreatingObject = nullptr;

    ASSERT_TRUE(pending->CreateWindow());
    EXPECT_EQ(GetPropA(pending->Handle, SelfProperty), pending);
    EXPECT_NE(pending->Handle, bound->Handle);
    Free(pending);
    Free(bound);
}

TEST_F(LayerTest, AWindowWithoutObjectIsHandledByTheMainWindowOnItsOwnWindow)
{
    TMiniControl* main = NewMiniForm(nullptr, "main");
    ASSERT_TRUE(main->CreateWindow());
    MainMiniWindow = main;
    HWND stray = CreateWindowExA(0, "obj_Form", "stray", WS_OVERLAPPED, 0, 0, 50, 50, nullptr,
                                 nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(stray, nullptr);
    EXPECT_EQ(GetPropA(stray, SelfProperty), nullptr);
    SetWindowTextA(stray, "renamed");
    EXPECT_EQ(TextOf(stray), "renamed");
    EXPECT_EQ(TextOf(main->Handle), "main");
    DestroyWindow(stray);
    EXPECT_FALSE(main->WindowDestroyed);
    EXPECT_TRUE(IsWindow(main->Handle));
    MainMiniWindow = nullptr;
    Free(main);
}

TEST_F(LayerTest, DestructionFreesEveryObjectOnceWhateverDestroysTheWindow)
{
    DestroyLog log;
    TMiniControl* form = NewMiniForm(nullptr, "destroy");
    TMiniControl* group = NewMiniGroupBox(form, "g");
    TMiniControl* a = NewMiniButton(group, "a");
    TMiniControl* b = NewMiniButton(form, "b");
    TMiniControl* c = NewMiniButton(form, "c");
    log.Watch(form, "form");
    log.Watch(group, "group");
    log.Watch(a, "a");
    log.Watch(b, "b");
    log.Watch(c, "c");
    ASSERT_TRUE(form->CreateWindow());
    MainMiniWindow = form;
    HWND formWnd = form->Handle, aWnd = a->Handle, bWnd = b->Handle;

    // The system destroys a child of the main window: the object goes with it.
    DestroyWindow(bWnd);
    EXPECT_EQ(log.counts["b"], 1);
    EXPECT_EQ(form->Children->IndexOf(b), -1);

    // The object is freed first: its window's destruction must not free it a second time.
    Free(c);
    EXPECT_EQ(log.counts["c"], 1);

    Free(form);
    EXPECT_EQ(MainMiniWindow, nullptr);
    for (const char* name : {"form", "group", "a", "b", "c"}) EXPECT_EQ(log.counts[name], 1) << name;
    EXPECT_FALSE(IsWindow(formWnd));
    EXPECT_FALSE(IsWindow(aWnd));
    // The form's own event comes before its children go.
    EXPECT_EQ(log.order[2], "form");
}

TEST_F(LayerTest, CloseOfTheMainWindowEndsTheLoopAndFreesEverything)
{
    DestroyLog log;
    TMiniControl* main = NewMiniForm(nullptr, "main");
    NewMiniButton(main, "first child");
    TMiniControl* owned = NewMiniForm(main, "owned");   // not the first child: no main window
    TMiniObject* holder = NewMiniObject<TMiniList>();
    main->AddToAutoFree(holder);
    log.Watch(main, "main");
    log.Watch(owned, "owned");
    log.Watch(holder, "holder");
    ASSERT_NE(GetWindowHandle(main), nullptr);
    ASSERT_NE(owned->Handle, nullptr);
    EXPECT_FALSE(IsMainWindow(owned));
    EXPECT_TRUE(IsMainWindow(main));

    PostMessageA(owned->Handle, WM_CLOSE, 0, 0);
    PostMessageA(main->Handle, WM_CLOSE, 0, 0);
    TMiniControl* variable = main;
    RunMainWindow(variable);

    EXPECT_EQ(variable, nullptr);
    EXPECT_TRUE(AppletTerminated);
    EXPECT_FALSE(AppletRunning);
    EXPECT_EQ(MainMiniWindow, nullptr);
    EXPECT_EQ(log.counts["owned"], 1);
    EXPECT_EQ(log.counts["main"], 1);
    EXPECT_EQ(log.counts["holder"], 1);
    ASSERT_EQ(log.order.size(), 3u);
    EXPECT_EQ(log.order[0], "owned");   // closed by default processing while the loop ran
}
