// The flat speed button through its parent's real paint and mouse messages: frame and face of
// each paint state against colours made from GetSysColor, the glyph image of each state and the
// embossed disabled glyph, the group rule, the click and hover rules, and 1,000 paints' GDI use.
#include <windows.h>
#include <gtest/gtest.h>

#include <vector>

#include "ControlsTestSupport.h"
#include "FlatTestSupport.h"
#include "TFlatSpeedButtonUnit.h"
#include "TestEnv.h"

using namespace flattest;
using ctltest::MemoryCanvas;
using ctltest::Pos;
using State = TFlatSpeedButton::TPaintState;

namespace {

struct Clicks : TObject {
    int clicks = 0, doubles = 0;
    void Click(TObject*) { ++clicks; }
    void DblClick(TObject*) { ++doubles; }
};

// The panel (with its buttons) painted into a memory context of its size.
struct Painted {
    explicit Painted(TPanel* panel) : canvas(panel->Width(), panel->Height())
    {
        SendMessageA(panel->Handle(), WM_PAINT, reinterpret_cast<WPARAM>(canvas.Dc()), 0);
    }
    COLORREF At(int x, int y) const { return canvas.Pixel(x, y); }
    COLORREF Of(TColor c) const { return canvas.Nearest(ColorToRGB(c)); }
    MemoryCanvas canvas;
};

TFlatSpeedButton* NewButton(TPanel* panel, int left, int width = 40, int height = 24)
{
    auto* b = new TFlatSpeedButton(panel->Owner());
    b->SetParent(panel);
    b->SetBounds(left, 10, width, height);
    return b;
}

// Images of 16 x 16 side by side, image k in colours[k]; the bottom-left pixel (the transparent
// colour) white.
TObjectPtr<TBitmap> Glyph(const std::vector<TColor>& colours)
{
    TObjectPtr<TBitmap> g(new TBitmap);
    g->SetSize(16 * static_cast<int>(colours.size()), 16);
    for (int k = 0; k < static_cast<int>(colours.size()); ++k) {
        g->Canvas()->Brush()->SetColor(colours[k]);
        g->Canvas()->FillRect(RECT{16 * k, 0, 16 * k + 16, 16});
    }
    g->Canvas()->SetPixel(0, 15, clWhite);
    return g;
}

void Press(HWND h, int x, int y, int upX, int upY)
{
    SendMessageA(h, WM_LBUTTONDOWN, MK_LBUTTON, Pos(x, y));
    SendMessageA(h, WM_LBUTTONUP, 0, Pos(upX, upY));
}

}  // namespace

TEST(FlatSpeedButton, FrameAndFaceOfEachPaintStateFollowTheSystemColours)
{
    FormPtr form = NewForm();
    TPanel* panel = NewPanel(form.get());
    TFlatSpeedButton* b = NewButton(panel, 10);  // (10, 10) to (50, 34)
    const TColor face = BlendColors(clBtnFace, clWindow, 190);
    const auto check = [&](const char* what, TColor frame, TColor fill) {
        Painted p(panel);
        EXPECT_EQ(p.At(10, 10), p.Of(frame)) << what;
        EXPECT_EQ(p.At(49, 33), p.Of(frame)) << what;
        EXPECT_EQ(p.At(11, 11), p.Of(fill)) << what;
        EXPECT_EQ(p.At(48, 32), p.Of(fill)) << what;
    };
    check("up", face, face);
    b->Perform(CM_MOUSEENTER);
    check("up, hot", clHighlight, BlendColors(clHighlight, clWindow, 80));
    b->Perform(CM_MOUSELEAVE);
    check("up, no longer hot", face, face);
    SendMessageA(panel->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, Pos(20, 20));
    EXPECT_EQ(b->PaintState(), State::Down);
    check("down", clHighlight, BlendColors(clHighlight, face, 80));
    SendMessageA(panel->Handle(), WM_LBUTTONUP, 0, Pos(200, 150));
    EXPECT_EQ(b->PaintState(), State::Up);

    b->SetGroupIndex(1);
    b->SetDown(true);
    check("exclusive", clHighlight, BlendColors(clHighlight, face, 25));
    b->Perform(CM_MOUSEENTER);
    check("exclusive, hot", clHighlight, BlendColors(clHighlight, face, 80));
    b->SetEnabled(false);
    EXPECT_FALSE(b->Hot());
    check("disabled", face, face);
    b->Perform(CM_MOUSEENTER);
    EXPECT_FALSE(b->Hot()) << "a disabled button does not light up";
    b->SetEnabled(true);
    check("enabled again", clHighlight, BlendColors(clHighlight, face, 25));

    b->SetColorBorder(clRed);
    Painted p(panel);
    EXPECT_EQ(ColorToRGB(b->ColorBorder()), p.Of(face)) << "ColorBorder reads the face after a paint";
}

TEST(FlatSpeedButton, GlyphImagePerStateAndEmbossedWhenDisabled)
{
    FormPtr form = NewForm();
    TPanel* panel = NewPanel(form.get());
    TFlatSpeedButton* b = NewButton(panel, 10, 80, 30);
    b->SetGroupIndex(1);
    b->SetGlyph(Glyph({clRed, clLime, clBlue, clYellow}).get());
    EXPECT_EQ(b->NumGlyphs(), 4);
    const auto centre = [&] {
        Painted p(panel);
        return p.At(10 + b->GlyphPos().x + 8, 10 + b->GlyphPos().y + 8);
    };
    EXPECT_EQ(centre(), RGB(255, 0, 0)) << "up: the first image";
    b->SetDown(true);
    EXPECT_EQ(centre(), RGB(255, 255, 0)) << "exclusive: the fourth";
    b->SetEnabled(false);
    EXPECT_EQ(centre(), RGB(0, 255, 0)) << "disabled: the second";
    b->SetEnabled(true);

    // An image count written outside 1..4 paints as the nearest of 1..4.
    const auto picture = [&](int numGlyphs) {
        b->SetNumGlyphs(numGlyphs);
        Painted p(panel);
        std::vector<COLORREF> pixels;
        for (int y = 10; y < 40; ++y)
            for (int x = 10; x < 90; ++x) pixels.push_back(p.At(x, y));
        return pixels;
    };
    EXPECT_EQ(picture(0), picture(1));
    EXPECT_EQ(picture(-2), picture(1));
    EXPECT_EQ(picture(9), picture(4));

    // One image, disabled: its black shape embossed in the button colours, the rest transparent.
    TObjectPtr<TBitmap> single = Glyph({clWhite});
    single->Canvas()->Brush()->SetColor(clBlack);
    single->Canvas()->FillRect(RECT{4, 4, 8, 8});
    b->SetGlyph(single.get());
    b->SetEnabled(false);
    Painted p(panel);
    const POINT g{10 + b->GlyphPos().x, 10 + b->GlyphPos().y};
    EXPECT_EQ(p.At(g.x + 4, g.y + 4), p.Of(clBtnShadow));
    EXPECT_EQ(p.At(g.x + 8, g.y + 8), p.Of(clBtnHighlight));
    EXPECT_EQ(p.At(g.x + 1, g.y + 1), p.Of(BlendColors(clBtnFace, clWindow, 190)));
    b->SetGlyph(Glyph({clRed, clRed, clRed, clRed, clRed}).get());
    EXPECT_EQ(b->NumGlyphs(), 1) << "five images of 16 count as one";
}

TEST(FlatSpeedButton, GroupOfFourWithGroupIndexOne)
{
    FormPtr form = NewForm();
    TPanel* panel = NewPanel(form.get());
    std::vector<TFlatSpeedButton*> group;
    for (int i = 0; i < 4; ++i) {
        group.push_back(NewButton(panel, 10 + 50 * i));
        group.back()->SetGroupIndex(1);
    }
    Clicks clicks;
    group[2]->OnClick.Bind(&clicks, &Clicks::Click);
    group[2]->OnDblClick.Bind(&clicks, &Clicks::DblClick);
    const auto downs = [&] {
        std::vector<bool> d;
        for (auto* b : group) d.push_back(b->Down());
        return d;
    };
    group[0]->SetDown(true);
    group[2]->SetDown(true);
    EXPECT_EQ(downs(), (std::vector<bool>{false, false, true, false})) << "the one that was down comes up";
    EXPECT_EQ(group[0]->PaintState(), State::Up);
    group[2]->SetDown(false);
    EXPECT_TRUE(group[2]->Down()) << "without AllowAllUp one stays down";

    const HWND h = panel->Handle();
    Press(h, 115, 15, 115, 15);
    EXPECT_TRUE(group[2]->Down()) << "clicking the down one keeps it down";
    EXPECT_EQ(clicks.clicks, 1) << "and clicks";
    SendMessageA(h, WM_LBUTTONDBLCLK, MK_LBUTTON, Pos(115, 15));
    SendMessageA(h, WM_LBUTTONUP, 0, Pos(115, 15));
    EXPECT_EQ(clicks.doubles, 1);
    Press(h, 165, 15, 165, 15);
    EXPECT_EQ(downs(), (std::vector<bool>{false, false, false, true}));

    group[1]->SetAllowAllUp(true);
    for (auto* b : group) EXPECT_TRUE(b->AllowAllUp()) << "reaches the whole group";
    group[3]->SetDown(false);
    EXPECT_EQ(downs(), (std::vector<bool>{false, false, false, false}));
    group[0]->SetGroupIndex(0);
    group[0]->SetDown(true);
    EXPECT_FALSE(group[0]->Down()) << "no group, never down";
}

TEST(FlatSpeedButton, ClicksModalResultAndHoverByMovement)
{
    FormPtr form = NewForm();
    TPanel* panel = NewPanel(form.get());
    TFlatSpeedButton* a = NewButton(panel, 10);  // 40 x 24 at (10, 10)
    TFlatSpeedButton* b = NewButton(panel, 60);
    Clicks clicks;
    a->OnClick.Bind(&clicks, &Clicks::Click);
    a->OnDblClick.Bind(&clicks, &Clicks::DblClick);
    const HWND h = panel->Handle();
    form->SetModalResult(mrCancel);
    Press(h, 20, 20, 20, 10 + 24);  // the row Y = height counts as inside
    EXPECT_EQ(clicks.clicks, 1);
    EXPECT_EQ(form->ModalResult(), mrNone) << "ModalResult 0 is written too";
    Press(h, 20, 20, 10 + 40, 20);  // the column X = width does not
    EXPECT_EQ(clicks.clicks, 1);
    a->SetModalResult(mrOk);
    Press(h, 20, 20, 20, 20);
    EXPECT_EQ(form->ModalResult(), mrOk);
    SendMessageA(h, WM_LBUTTONDBLCLK, MK_LBUTTON, Pos(20, 20));
    SendMessageA(h, WM_LBUTTONUP, 0, Pos(20, 20));
    EXPECT_EQ(clicks.doubles, 0) << "no double-click event on a button that is not down";
    SendMessageA(h, WM_LBUTTONDOWN, MK_LBUTTON, Pos(20, 20));
    a->SetEnabled(false);
    SendMessageA(h, WM_LBUTTONUP, 0, Pos(20, 20));
    a->SetEnabled(true);
    EXPECT_EQ(clicks.clicks, 3) << "disabling ends a press: the release does not click";
    EXPECT_EQ(a->PaintState(), State::Up);

    form->Show();
    testenv::PumpPending();
    SetActiveWindow(nullptr);
    if (GetActiveWindow() == nullptr) {
        SendMessageA(h, WM_MOUSEMOVE, 0, Pos(20, 20));
        EXPECT_FALSE(a->Hot()) << "no active window: movement does not light the button";
    }
    SetActiveWindow(form->Handle());
    SendMessageA(h, WM_MOUSEMOVE, 0, Pos(20, 20));
    EXPECT_EQ(TFlatSpeedButton::HotButton(), a);
    SendMessageA(h, WM_MOUSEMOVE, 0, Pos(70, 20));
    EXPECT_FALSE(a->Hot()) << "the previous hot button leaves";
    EXPECT_TRUE(b->Hot());
    b->Free();
    EXPECT_EQ(TFlatSpeedButton::HotButton(), nullptr);

    // Percentages out of range take the nearest end.
    int down = 300, focused = -1, border = 256;  // computed values, not wrapped at 256
    a->SetAdvColorDown(down);
    a->SetAdvColorFocused(focused);
    a->SetAdvColorBorder(border);
    EXPECT_EQ(a->AdvColorDown(), 100);
    EXPECT_EQ(a->AdvColorFocused(), 0);
    EXPECT_EQ(a->AdvColorBorder(), 100);
}

TEST(FlatSpeedButton, AThousandPaintsLeaveNoGdiObjectBehind)
{
    FormPtr form = NewForm();
    TPanel* panel = NewPanel(form.get());
    TFlatSpeedButton* b = NewButton(panel, 10);
    b->SetCaption("Go");
    b->SetGlyph(Glyph({clRed}).get());
    b->SetGroupIndex(1);
    MemoryCanvas canvas(panel->Width(), panel->Height());
    // Every state in turn: hot, disabled (embossed glyph), exclusive, up.
    const auto paintRound = [&](int i) {
        switch (i % 4) {
        case 0: b->Perform(CM_MOUSEENTER); break;
        case 1: b->SetEnabled(false); break;
        case 2: b->SetEnabled(true); b->SetDown(true); break;
        case 3: b->SetAllowAllUp(true); b->SetDown(false); b->Perform(CM_MOUSELEAVE); break;
        }
        SendMessageA(panel->Handle(), WM_PAINT, reinterpret_cast<WPARAM>(canvas.Dc()), 0);
    };
    ExpectThousandRoundsLeaveNoGdiObject("flat speed button", paintRound);
    // With every GDI object taken the images of a paint cannot be made: nothing is drawn and
    // nothing raised (the band's mode buttons would open a box in the shell at each paint).
    ctltest::ExceptionRecorder recorder;
    {
        testenv::GdiExhaustion exhausted;
        for (int i = 0; i < 8; ++i) paintRound(i);
    }
    EXPECT_EQ(recorder.messages.size(), 0u);
}
