// The flat speed button through its parent's real paint and mouse messages: the frame and face
// of each paint state read back against colours made from GetSysColor, the glyph image of each
// state and the embossed disabled glyph, the group rule of four buttons, the click rules, hover,
// and the GDI objects of 1,000 paints.
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

namespace {

struct Clicks : TObject {
    int clicks = 0;
    int doubles = 0;
    void Click(TObject*) { ++clicks; }
    void DblClick(TObject*) { ++doubles; }
};

// Paints the panel (and the button on it) into a memory context the size of the panel.
struct Painted {
    explicit Painted(TPanel* panel) : canvas(panel->Width(), panel->Height())
    {
        SendMessageA(panel->Handle(), WM_PAINT, reinterpret_cast<WPARAM>(canvas.Dc()), 0);
    }
    COLORREF Sys(TColor blended) const { return canvas.Nearest(ColorToRGB(blended)); }
    MemoryCanvas canvas;
};

TFlatSpeedButton* NewButton(TPanel* panel, int left, int top = 10)
{
    auto* b = new TFlatSpeedButton(panel->Owner());
    b->SetParent(panel);
    b->SetBounds(left, top, 40, 24);
    return b;
}

// A glyph of `images` images of 16 x 16, image k filled with colours[k]; the bottom-left pixel
// (the transparent colour) white.
TObjectPtr<TBitmap> ColouredGlyph(const std::vector<TColor>& colours)
{
    TObjectPtr<TBitmap> g(new TBitmap);
    g->SetSize(16 * static_cast<int>(colours.size()), 16);
    for (size_t k = 0; k < colours.size(); ++k) {
        g->Canvas()->Brush()->SetColor(colours[k]);
        g->Canvas()->FillRect(RECT{16 * static_cast<int>(k), 0, 16 * static_cast<int>(k) + 16, 16});
    }
    g->Canvas()->SetPixel(0, 15, clWhite);
    return g;
}

}  // namespace

TEST(FlatSpeedButton, FrameAndFaceOfEachPaintStateFollowTheSystemColours)
{
    FormPtr form = NewForm();
    TPanel* panel = NewPanel(form.get());
    TFlatSpeedButton* b = NewButton(panel, 10);
    b->SetGroupIndex(0);
    const TColor face = BlendColors(clBtnFace, clWindow, 190);
    const COLORREF highlight = GetSysColor(COLOR_HIGHLIGHT);

    const auto check = [&](const char* what, COLORREF frame, COLORREF fill) {
        Painted p(panel);
        EXPECT_EQ(p.canvas.Pixel(10, 10), p.canvas.Nearest(frame)) << what << ": frame";
        EXPECT_EQ(p.canvas.Pixel(49, 33), p.canvas.Nearest(frame)) << what << ": frame";
        EXPECT_EQ(p.canvas.Pixel(11, 11), p.canvas.Nearest(fill)) << what << ": face";
        EXPECT_EQ(p.canvas.Pixel(48, 32), p.canvas.Nearest(fill)) << what << ": face";
    };
    check("up", face, face);
    b->Perform(CM_MOUSEENTER);
    EXPECT_TRUE(b->Hot());
    check("up, hot", highlight, BlendColors(clHighlight, clWindow, 80));
    b->Perform(CM_MOUSELEAVE);
    EXPECT_FALSE(b->Hot());
    check("up, not hot", face, face);

    // Pressed and held: down, hot or not.
    SendMessageA(panel->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, Pos(20, 20));
    EXPECT_EQ(b->PaintState(), TFlatSpeedButton::TPaintState::Down);
    check("down", highlight, BlendColors(clHighlight, face, 80));
    SendMessageA(panel->Handle(), WM_LBUTTONUP, 0, Pos(200, 150));  // released outside
    EXPECT_EQ(b->PaintState(), TFlatSpeedButton::TPaintState::Up);

    // Down in a group: exclusive, its face lighter unless hot.
    b->SetGroupIndex(1);
    b->SetDown(true);
    check("exclusive", highlight, BlendColors(clHighlight, face, 25));
    b->Perform(CM_MOUSEENTER);
    check("exclusive, hot", highlight, BlendColors(clHighlight, face, 80));

    b->SetEnabled(false);
    EXPECT_FALSE(b->Hot()) << "disabling ends the hover";
    check("disabled", face, face);
    EXPECT_EQ(b->PaintState(), TFlatSpeedButton::TPaintState::Disabled);
    b->SetEnabled(true);
    check("enabled again, down", highlight, BlendColors(clHighlight, face, 25));

    // Whatever is assigned, ColorBorder reads the face after a paint.
    b->SetColorBorder(clRed);
    Painted p(panel);
    EXPECT_EQ(ColorToRGB(b->ColorBorder()), p.canvas.Nearest(ColorToRGB(face)));
}

TEST(FlatSpeedButton, GlyphImagePerStateAndEmbossedWhenDisabled)
{
    FormPtr form = NewForm();
    TPanel* panel = NewPanel(form.get());
    TFlatSpeedButton* b = NewButton(panel, 10, 10);
    b->SetBounds(10, 10, 80, 30);
    b->SetGroupIndex(1);

    auto four = ColouredGlyph({clRed, clLime, clBlue, clYellow});
    b->SetGlyph(four.get());
    EXPECT_EQ(b->NumGlyphs(), 4);
    const auto centre = [&](Painted& p) {
        const POINT g = b->GlyphPos();
        return p.canvas.Pixel(10 + g.x + 8, 10 + g.y + 8);
    };
    {
        Painted p(panel);
        EXPECT_EQ(centre(p), p.canvas.Nearest(RGB(255, 0, 0))) << "up: the first image";
    }
    b->SetDown(true);
    {
        Painted p(panel);
        EXPECT_EQ(centre(p), p.canvas.Nearest(RGB(255, 255, 0))) << "exclusive: the fourth image";
    }
    b->SetEnabled(false);
    {
        Painted p(panel);
        EXPECT_EQ(centre(p), p.canvas.Nearest(RGB(0, 255, 0))) << "disabled: the second image";
    }
    b->SetEnabled(true);

    // An image count written outside 1..4 paints as the nearest of 1..4.
    const auto picture = [&](int numGlyphs) {
        b->SetNumGlyphs(numGlyphs);
        Painted p(panel);
        std::vector<COLORREF> pixels;
        for (int y = 10; y < 40; ++y)
            for (int x = 10; x < 90; ++x) pixels.push_back(p.canvas.Pixel(x, y));
        return pixels;
    };
    EXPECT_EQ(picture(0), picture(1));
    EXPECT_EQ(picture(9), picture(4));
    EXPECT_EQ(picture(-2), picture(1));

    // A single image while disabled: the black shape embossed in the button colours.
    TObjectPtr<TBitmap> single(new TBitmap);
    single->Canvas()->Brush()->SetColor(clWhite);
    single->SetSize(16, 16);
    single->Canvas()->Brush()->SetColor(clBlack);
    single->Canvas()->FillRect(RECT{4, 4, 8, 8});
    b->SetGlyph(single.get());
    EXPECT_EQ(b->NumGlyphs(), 1);
    b->SetEnabled(false);
    Painted p(panel);
    const POINT g = b->GlyphPos();
    EXPECT_EQ(p.canvas.Pixel(10 + g.x + 4, 10 + g.y + 4), p.canvas.Nearest(GetSysColor(COLOR_BTNSHADOW)));
    EXPECT_EQ(p.canvas.Pixel(10 + g.x + 8, 10 + g.y + 8), p.canvas.Nearest(GetSysColor(COLOR_BTNHIGHLIGHT)));
    EXPECT_EQ(p.canvas.Pixel(10 + g.x + 1, 10 + g.y + 1), p.Sys(BlendColors(clBtnFace, clWindow, 190)))
        << "the embossed image's back colour is transparent: the face shows";

    // NumGlyphs from the proportions: a multiple of the height up to four images, else 1.
    b->SetGlyph(ColouredGlyph({clRed, clRed, clRed, clRed, clRed}).get());
    EXPECT_EQ(b->NumGlyphs(), 1) << "80 by 16";
    b->SetNumGlyphs(3);
    TObjectPtr<TBitmap> odd(new TBitmap);
    odd->SetSize(50, 16);
    b->SetGlyph(odd.get());
    EXPECT_EQ(b->NumGlyphs(), 3) << "50 by 16 leaves it";
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
    EXPECT_EQ(downs(), (std::vector<bool>{true, false, false, false}));
    group[2]->SetDown(true);
    EXPECT_EQ(downs(), (std::vector<bool>{false, false, true, false})) << "the one that was down comes up";
    EXPECT_EQ(group[0]->PaintState(), TFlatSpeedButton::TPaintState::Up);
    group[2]->SetDown(false);
    EXPECT_TRUE(group[2]->Down()) << "a group without AllowAllUp keeps one down";

    // Clicking the down one keeps it down and still clicks; a double-click on it fires.
    SendMessageA(panel->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, Pos(115, 15));
    SendMessageA(panel->Handle(), WM_LBUTTONUP, 0, Pos(115, 15));
    EXPECT_TRUE(group[2]->Down());
    EXPECT_EQ(clicks.clicks, 1);
    SendMessageA(panel->Handle(), WM_LBUTTONDBLCLK, MK_LBUTTON, Pos(115, 15));
    SendMessageA(panel->Handle(), WM_LBUTTONUP, 0, Pos(115, 15));
    EXPECT_EQ(clicks.doubles, 1);
    // Clicking another puts it down and this one up.
    SendMessageA(panel->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, Pos(165, 15));
    SendMessageA(panel->Handle(), WM_LBUTTONUP, 0, Pos(165, 15));
    EXPECT_EQ(downs(), (std::vector<bool>{false, false, false, true}));

    // AllowAllUp set on one member reaches the group.
    group[1]->SetAllowAllUp(true);
    for (auto* b : group) EXPECT_TRUE(b->AllowAllUp());
    group[3]->SetDown(false);
    EXPECT_EQ(downs(), (std::vector<bool>{false, false, false, false}));

    // Without a group nothing stays down.
    group[0]->SetGroupIndex(0);
    group[0]->SetDown(true);
    EXPECT_FALSE(group[0]->Down());
}

TEST(FlatSpeedButton, ReleaseInsideClicksOnceCopiesModalResultAndHoverFollowsNotifications)
{
    FormPtr form = NewForm();
    TPanel* panel = NewPanel(form.get());
    TFlatSpeedButton* b = NewButton(panel, 10, 10);  // 40 x 24 at (10, 10)
    Clicks clicks;
    b->OnClick.Bind(&clicks, &Clicks::Click);
    b->OnDblClick.Bind(&clicks, &Clicks::DblClick);
    const HWND h = panel->Handle();
    form->SetModalResult(mrCancel);

    SendMessageA(h, WM_LBUTTONDOWN, MK_LBUTTON, Pos(20, 20));
    SendMessageA(h, WM_LBUTTONUP, 0, Pos(20, 10 + 24));  // the row Y = height counts as inside
    EXPECT_EQ(clicks.clicks, 1);
    EXPECT_EQ(form->ModalResult(), mrNone) << "a click with ModalResult 0 writes 0";
    SendMessageA(h, WM_LBUTTONDOWN, MK_LBUTTON, Pos(20, 20));
    SendMessageA(h, WM_LBUTTONUP, 0, Pos(10 + 40, 20));  // the column X = width does not
    EXPECT_EQ(clicks.clicks, 1);
    SendMessageA(h, WM_LBUTTONDOWN, MK_LBUTTON, Pos(20, 20));
    SendMessageA(h, WM_MOUSEMOVE, MK_LBUTTON, Pos(150, 150));
    EXPECT_EQ(b->PaintState(), TFlatSpeedButton::TPaintState::Up) << "dragged outside";
    SendMessageA(h, WM_MOUSEMOVE, MK_LBUTTON, Pos(20, 20));
    EXPECT_EQ(b->PaintState(), TFlatSpeedButton::TPaintState::Down) << "dragged back inside";
    SendMessageA(h, WM_LBUTTONUP, 0, Pos(150, 150));
    EXPECT_EQ(clicks.clicks, 1);
    b->SetModalResult(mrOk);
    SendMessageA(h, WM_LBUTTONDOWN, MK_LBUTTON, Pos(20, 20));
    SendMessageA(h, WM_LBUTTONUP, 0, Pos(20, 20));
    EXPECT_EQ(clicks.clicks, 2);
    EXPECT_EQ(form->ModalResult(), mrOk);
    SendMessageA(h, WM_LBUTTONDBLCLK, MK_LBUTTON, Pos(20, 20));
    SendMessageA(h, WM_LBUTTONUP, 0, Pos(20, 20));
    EXPECT_EQ(clicks.doubles, 0) << "no double-click event on a button that is not down";

    // The accelerator of the caption clicks an enabled button.
    b->SetCaption("&Go");
    EXPECT_EQ(b->Perform(CM_DIALOGCHAR, 'g'), 1);
    EXPECT_EQ(b->Perform(CM_DIALOGCHAR, 'x'), 0);
    b->SetEnabled(false);
    EXPECT_EQ(b->Perform(CM_DIALOGCHAR, 'g'), 0);
    b->SetEnabled(true);

    // The notifications drive the hover; a disabled button does not light up.
    b->Perform(CM_MOUSEENTER);
    EXPECT_TRUE(b->Hot());
    b->Perform(CM_MOUSELEAVE);
    EXPECT_FALSE(b->Hot());
    b->SetEnabled(false);
    b->Perform(CM_MOUSEENTER);
    EXPECT_FALSE(b->Hot());
}

TEST(FlatSpeedButton, AThousandPaintsLeaveNoGdiObjectBehind)
{
    FormPtr form = NewForm();
    TPanel* panel = NewPanel(form.get());
    TFlatSpeedButton* b = NewButton(panel, 10);
    b->SetCaption("Go");
    b->SetGlyph(ColouredGlyph({clRed}).get());
    MemoryCanvas canvas(panel->Width(), panel->Height());
    const auto paint = [&] { SendMessageA(panel->Handle(), WM_PAINT, reinterpret_cast<WPARAM>(canvas.Dc()), 0); };
    for (int i = 0; i < 3; ++i) paint();  // objects made once and kept (fonts, the panel's brush)

    // The counter sees a deliberate leak.
    const int before = FreeGdiSlots();
    std::vector<HBRUSH> leak;
    for (int i = 0; i < 5; ++i) leak.push_back(CreateSolidBrush(RGB(i, 0, 0)));
    EXPECT_EQ(FreeGdiSlots(), before - 5);
    for (HBRUSH h : leak) DeleteObject(h);
    ASSERT_EQ(FreeGdiSlots(), before);

    for (int i = 0; i < 1000; ++i) {
        switch (i % 4) {  // every state: hot, down, disabled (embossed glyph), up
        case 0: b->Perform(CM_MOUSEENTER); break;
        case 1: b->SetEnabled(false); break;
        case 2: b->SetEnabled(true); b->SetGroupIndex(1); b->SetDown(true); break;
        case 3: b->SetAllowAllUp(true); b->SetDown(false); b->Perform(CM_MOUSELEAVE); break;
        }
        paint();
    }
    const int after = FreeGdiSlots();
    EXPECT_EQ(after, before);
    std::printf("[ GDI      ] flat speed button, free GDI slots before %d, after 1000 paints %d\n", before, after);
}

TEST(FlatSpeedButton, MovementMakesOneButtonHotWhileTheThreadHasAnActiveWindow)
{
    FormPtr form = NewForm();
    TPanel* panel = NewPanel(form.get());
    TFlatSpeedButton* a = NewButton(panel, 10);
    TFlatSpeedButton* b = NewButton(panel, 60);
    form->Show();
    testenv::PumpPending();
    const HWND h = panel->Handle();

    SetActiveWindow(nullptr);
    if (GetActiveWindow() == nullptr) {
        SendMessageA(h, WM_MOUSEMOVE, 0, Pos(20, 20));
        EXPECT_FALSE(a->Hot()) << "no active window: movement does not light the button";
        EXPECT_EQ(TFlatSpeedButton::HotButton(), nullptr);
        a->Perform(CM_MOUSEENTER);
        EXPECT_TRUE(a->Hot()) << "the notification does";
        a->Perform(CM_MOUSELEAVE);
    }
    SetActiveWindow(form->Handle());
    ASSERT_NE(GetActiveWindow(), nullptr);
    SendMessageA(h, WM_MOUSEMOVE, 0, Pos(20, 20));
    EXPECT_TRUE(a->Hot());
    EXPECT_EQ(TFlatSpeedButton::HotButton(), a);
    SendMessageA(h, WM_MOUSEMOVE, 0, Pos(70, 20));
    EXPECT_FALSE(a->Hot()) << "the previous hot button leaves";
    EXPECT_TRUE(b->Hot());
    EXPECT_EQ(TFlatSpeedButton::HotButton(), b);
    b->Free();
    EXPECT_EQ(TFlatSpeedButton::HotButton(), nullptr) << "a freed button is no longer the hot one";
}
