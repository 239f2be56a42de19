// The flat combo box through real windows: the narrowed inner edit, frame rings and arrow read
// back against GetSysColor (hot, disabled, list open), the list brush held once, 1,000 paints'
// GDI use, colours from the parent, and creation by class name from a form resource.
#include <windows.h>
#include <gtest/gtest.h>

#include "ControlsTestSupport.h"
#include "FlatTestSupport.h"
#include "FormText.h"
#include "TFlatComboBoxUnit.h"
#include "TestEnv.h"

using namespace flattest;
using ctltest::MemoryCanvas;

namespace {

TFlatComboBox* NewCombo(TForm* form, TComboBoxStyle style = TComboBoxStyle::csDropDown, int top = 10)
{
    auto* c = new TFlatComboBox(form);
    c->SetStyle(style);
    c->SetParent(form);
    c->SetBounds(10, top, 101, 21);
    return c;
}

// The window context of a shown window: its pixels, and a colour as it shows it.
struct Shown {
    explicit Shown(HWND window) : h(window), dc(GetWindowDC(window)) {}
    ~Shown() { ReleaseDC(h, dc); }
    COLORREF At(int x, int y) const { return GetPixel(dc, x, y); }
    COLORREF Of(TColor c) const { return GetNearestColor(dc, ColorToRGB(c)); }
    HWND h;
    HDC dc;
};

// The triangle's reference point (X, Y) of a 101 x 21 box, moved by (dx, dy), in a paint.
COLORREF ArrowPixel(HWND h, int dx, int dy)
{
    MemoryCanvas m(101, 21);
    SendMessageA(h, WM_PAINT, reinterpret_cast<WPARAM>(m.Dc()), 0);
    const int left = 101 - 15, right = 101 - 1, top = 1, bottom = 21 - 1;
    return m.Pixel(left + (right - left) / 2 - 6 + dx, top + (bottom - top) / 2 - 1 + dy);
}

}  // namespace

TEST(FlatComboBox, NarrowedEditFrameRingsAndArrowFollowHoverEnabledAndTheOpenList)
{
    FormPtr form = NewForm();
    TFlatComboBox* c = NewCombo(form.get());
    TFlatComboBox* list = NewCombo(form.get(), TComboBoxStyle::csDropDownList, 40);
    form->Show();
    const HWND h = c->Handle();
    c->SetBounds(10, 12, 101, 21);  // the edit is sized on every position change
    RECT r;
    GetWindowRect(c->EditHandle(), &r);
    EXPECT_EQ(r.right - r.left, 101 - 20) << "narrowed by the arrow";
    EXPECT_EQ(r.bottom - r.top, 21 - 6);
    EXPECT_EQ(list->EditHandle(), nullptr) << "a drop-down list has no edit";
    UpdateWindow(h);
    const Shown w(h);
    EXPECT_EQ(w.At(0, 0), w.Of(clBtnFace)) << "outer ring";
    EXPECT_EQ(w.At(1, 1), w.Of(clWindow)) << "middle ring, not hot";
    EXPECT_EQ(w.At(2, 2), w.Of(clWindow)) << "inner ring";
    c->SetHovered(true);
    UpdateWindow(h);
    EXPECT_EQ(w.At(1, 1), w.Of(clHighlight)) << "middle ring, hot";
    EXPECT_EQ(w.At(101 - 15, 1), w.Of(clHighlight)) << "the arrow's inner frame";
    c->SetHovered(false);
    UpdateWindow(h);
    EXPECT_EQ(w.At(101 - 15, 1), w.Of(clWindow));
    SetFocus(c->EditHandle());
    testenv::PumpPending();
    EXPECT_EQ(w.At(1, 1), w.Of(clWindow)) << "focus alone keeps the colours";

    const COLORREF text = w.Of(clWindowText);
    EXPECT_EQ(ArrowPixel(h, 6, 0), text) << "pointing down: the top edge";
    EXPECT_EQ(ArrowPixel(h, 6, 2), text) << "and the tip below";
    EXPECT_EQ(ArrowPixel(h, 6, -2), w.Of(BlendColors(clBtnFace, clWindow, 190))) << "the arrow's face";
    c->SetEnabled(false);
    EXPECT_EQ(ArrowPixel(h, 6, 0), w.Of(clGray));
    EXPECT_EQ(ArrowPixel(h, 7, 3), w.Of(clWhite)) << "the white copy one pixel right and down";
    c->SetEnabled(true);
    c->Items()->Add(L"one");
    c->SetDroppedDown(true);
    EXPECT_EQ(ArrowPixel(h, 6, 0), text) << "open: the tip above";
    EXPECT_EQ(ArrowPixel(h, 4, 2), text) << "and the base below";
    EXPECT_NE(ArrowPixel(h, 4, 0), text);
    EXPECT_EQ(c->FrameColor(), clHighlight);
    c->SetDroppedDown(false);
}

TEST(FlatComboBox, ListBrushHeldOnceAndAThousandPaintsLeaveNoGdiObjectBehind)
{
    FormPtr form = NewForm();
    TFlatComboBox* c = NewCombo(form.get());
    form->Show();
    const HWND h = c->Handle();
    MemoryCanvas m(101, 21);
    const LRESULT brush = SendMessageA(h, WM_CTLCOLORLISTBOX, reinterpret_cast<WPARAM>(m.Dc()), 0);
    ASSERT_NE(brush, 0);
    EXPECT_EQ(SendMessageA(h, WM_CTLCOLORLISTBOX, reinterpret_cast<WPARAM>(m.Dc()), 0), brush) << "not made anew";
    EXPECT_EQ(GetBkColor(m.Dc()), GetSysColor(COLOR_WINDOW));
    // Hot, not, disabled in turn.
    const auto paintRound = [&](int i) {
        if (i % 2) c->SetHovered(i % 4 == 1);
        if (i % 100 == 50) c->SetEnabled(!c->Enabled());
        SendMessageA(h, WM_PAINT, reinterpret_cast<WPARAM>(m.Dc()), 0);
        SendMessageA(h, WM_CTLCOLORLISTBOX, reinterpret_cast<WPARAM>(m.Dc()), 0);
        InvalidateRect(h, nullptr, TRUE);
        UpdateWindow(h);  // the window's own paint: BeginPaint, the frame on the window context
    };
    ExpectThousandRoundsLeaveNoGdiObject("flat combo box", paintRound);
    // A list that first shows while GDI has run out: drawn without its brush, no error box for
    // each paint, and with it once there is one to be had.
    TFlatComboBox* late = NewCombo(form.get(), TComboBoxStyle::csDropDown, 40);
    const HWND lateWindow = late->Handle();
    ctltest::ExceptionRecorder recorder;
    {
        testenv::GdiExhaustion exhausted;
        for (int i = 0; i < 8; ++i) paintRound(i);
        EXPECT_EQ(SendMessageA(lateWindow, WM_CTLCOLORLISTBOX, reinterpret_cast<WPARAM>(m.Dc()), 0), 0);
    }
    EXPECT_EQ(recorder.messages.size(), 0u);
    EXPECT_NE(SendMessageA(lateWindow, WM_CTLCOLORLISTBOX, reinterpret_cast<WPARAM>(m.Dc()), 0), 0);
}

TEST(FlatComboBox, ListBrushFollowsTheWindowColourAlsoOnAChildForm)
{
    // As in the taskbar: the form is a child, so no system-colour message reaches it.
    HWND site = CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 0, 0, 320, 100, nullptr, nullptr,
                                nullptr, nullptr);
    ASSERT_TRUE(site);
    FormPtr form = NewForm(300, 60);
    form->SetBorderStyle(TFormBorderStyle::bsNone);
    form->SetParentWindow(site);
    TFlatComboBox* c = NewCombo(form.get());
    form->Show();
    ASSERT_TRUE(GetWindowLongPtrA(form->Handle(), GWL_STYLE) & WS_CHILD);
    const HWND h = c->Handle();
    MemoryCanvas m(101, 21);
    const auto listBrushColour = [&] {
        const auto brush = reinterpret_cast<HBRUSH>(SendMessageA(h, WM_CTLCOLORLISTBOX, reinterpret_cast<WPARAM>(m.Dc()), 0));
        LOGBRUSH lb{};
        GetObjectA(brush, sizeof lb, &lb);
        return lb.lbColor;
    };
    EXPECT_EQ(listBrushColour(), GetSysColor(COLOR_WINDOW));
    const INT which[] = {COLOR_WINDOW};
    const COLORREF original[] = {GetSysColor(COLOR_WINDOW)};
    const COLORREF changed[] = {original[0] ^ 0x00102030};
    ASSERT_TRUE(SetSysColors(1, which, changed));
    const COLORREF after = listBrushColour();
    const COLORREF background = GetBkColor(m.Dc());
    SetSysColors(1, which, original);
    EXPECT_EQ(after, changed[0]);
    EXPECT_EQ(background, changed[0]);
    EXPECT_EQ(listBrushColour(), original[0]);
    form.reset();
    DestroyWindow(site);
}

TEST(FlatComboBox, ColoursFromTheParentFontChangeAndCreationByClassName)
{
    FormPtr form = NewForm();
    const std::string binary = ObjectTextToBinary(
        "object Form1: TForm\n"
        "  object ComboBox1: TFlatComboBox\n"
        "    Style = csOwnerDrawFixed\n"
        "    DropDownCount = 16\n"
        "    ColorBorder = clRed\n"
        "    AdvColorBorder = 30\n"
        "    ItemIndex = 1\n"
        "    Items.WideStrings = ('one' #26908#32034)\n"
        "  end\n"
        "end\n");
    TMemoryStream stream;
    stream.WriteBuffer(binary.data(), static_cast<int32_t>(binary.size()));
    stream.SetPosition(0);
    ReadComponentFromStream(stream, form.get());
    auto* c = dynamic_cast<TFlatComboBox*>(form->FindComponent("ComboBox1"));
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->DropDownCount(), 16);
    EXPECT_EQ(c->ColorBorder(), clRed);
    EXPECT_EQ(c->AdvColorBorder(), 30);
    EXPECT_EQ(c->ColorArrowBackground(), 0x00C5D6D9);
    EXPECT_TRUE(IsWindowUnicode(c->Handle()));
    EXPECT_EQ(c->Items()->ItemAt(1), L"検索");
    EXPECT_EQ(c->ItemIndex(), 1);

    form->SetColor(0x00C0C0C0);
    c->SetUseAdvColors(true);
    EXPECT_EQ(c->ColorBorder(), ComputeAdvColor(0x00C0C0C0, 0, 30, true));
    EXPECT_EQ(c->ColorArrowBackground(), ComputeAdvColor(0x00C0C0C0, 0, 10, true));
    form->SetColor(0x00336699);
    EXPECT_EQ(c->ColorBorder(), ComputeAdvColor(0x00336699, 0, 30, true)) << "a parent colour change recomputes";
    int percent = 300;  // as a caller's computed value: capped, not wrapped at 256
    c->SetAdvColorBorder(percent);
    EXPECT_EQ(c->AdvColorBorder(), 100);
    EXPECT_EQ(c->ColorBorder(), ComputeAdvColor(0x00336699, 0, 100, true));

    const HWND before = c->Handle();
    c->SetItemHeight(20);  // an owner-drawn list keeps its own item height
    c->Font()->SetSize(14);
    EXPECT_EQ(c->ItemHeight(), 13);
    EXPECT_NE(c->Handle(), before) << "the window is made again";
    EXPECT_EQ(c->Items()->ItemAt(1), L"検索") << "items survive";
    EXPECT_EQ(c->ItemIndex(), 1);
}
