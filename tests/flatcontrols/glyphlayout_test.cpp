// Glyph and caption placement for each layout, worked out from the placement rules with a face
// of 60 by 40 pixels at (10, 5) and the paint's offset (1, 0); captions measured in the canvas's
// font, since fonts differ under Wine. And the embossed image of a disabled glyph, read back.
#include <windows.h>
#include <gtest/gtest.h>

#include "FlatUtilitys.h"

namespace {

constexpr RECT kClient{10, 5, 70, 45};  // 60 x 40
constexpr POINT kOffset{1, 0};

// A glyph of `images` images of 16 x 16 side by side.
TObjectPtr<TBitmap> Glyph(int width, int height = 16)
{
    TObjectPtr<TBitmap> b(new TBitmap);
    b->SetSize(width, height);
    return b;
}

SIZE Measure(TCanvas* canvas, const std::string& text)
{
    RECT r{0, 0, 60, 0};
    canvas->TextRect(r, text, DT_CALCRECT | DT_SINGLELINE);
    return SIZE{r.right - r.left, r.bottom - r.top};
}

}  // namespace

TEST(GlyphLayout, EachLayoutWithAndWithoutGlyphAndCaption)
{
    TBitmap surface;
    surface.SetSize(1, 1);
    TCanvas* canvas = surface.Canvas();
    auto glyph = Glyph(64);  // four images of 16

    // Glyph alone with margin 3: spacing is 0, the cross axis centred ((40 - 16 + 1) div 2 = 12).
    const auto alone = [&](TButtonLayout layout) {
        return LayoutGlyphAndCaption(canvas, kClient, kOffset, layout, 4, 3, glyph.get(), 4, "").GlyphPos;
    };
    EXPECT_EQ(alone(TButtonLayout::blGlyphLeft).x, 10 + 3 + 1);
    EXPECT_EQ(alone(TButtonLayout::blGlyphLeft).y, 5 + 12);
    EXPECT_EQ(alone(TButtonLayout::blGlyphRight).x, 10 + (60 - 3 - 16) + 1);
    EXPECT_EQ(alone(TButtonLayout::blGlyphTop).y, 5 + 3);
    EXPECT_EQ(alone(TButtonLayout::blGlyphTop).x, 10 + (60 - 16 + 1) / 2 + 1);
    EXPECT_EQ(alone(TButtonLayout::blGlyphBottom).y, 5 + (40 - 3 - 16));
    // The empty caption's rectangle stands empty where the text would start.
    const TGlyphLayout empty = LayoutGlyphAndCaption(canvas, kClient, kOffset, TButtonLayout::blGlyphLeft, 4, 3,
                                                     glyph.get(), 4, "");
    EXPECT_EQ(empty.CaptionRect.left, 10 + 3 + 16 + 0 + 1) << "spacing 0 without caption";
    EXPECT_EQ(empty.CaptionRect.right, empty.CaptionRect.left);

    // Caption alone, centred: (ClientSize - TextSize + 1) div 2 on both axes.
    const SIZE text = Measure(canvas, "Search");
    ASSERT_GT(text.cx, 0);
    const TGlyphLayout caption = LayoutGlyphAndCaption(canvas, kClient, kOffset, TButtonLayout::blGlyphLeft, -1, -1,
                                                       nullptr, 1, "Search");
    EXPECT_EQ(caption.CaptionRect.left, 10 + (60 - text.cx + 1) / 2 + 1) << "spacing is 0 before margin -1 is computed";
    const TGlyphLayout centred = LayoutGlyphAndCaption(canvas, kClient, kOffset, TButtonLayout::blGlyphTop, 4, -1,
                                                       nullptr, 1, "Search");
    EXPECT_EQ(centred.CaptionRect.top, 5 + (40 - text.cy + 1) / 2);
    EXPECT_EQ(centred.CaptionRect.left, 10 + (60 - text.cx + 1) / 2 + 1);
    EXPECT_EQ(centred.CaptionRect.right - centred.CaptionRect.left, text.cx);
    EXPECT_EQ(centred.CaptionRect.bottom - centred.CaptionRect.top, text.cy);

    // Both parts, margin and spacing -1: margin, spacing and the rest in three equal parts.
    const SIZE ab = Measure(canvas, "ab");
    const int third = (60 - (16 + ab.cx)) / 3;
    const TGlyphLayout both = LayoutGlyphAndCaption(canvas, kClient, kOffset, TButtonLayout::blGlyphLeft, -1, -1,
                                                    glyph.get(), 4, "ab");
    EXPECT_EQ(both.GlyphPos.x, 10 + third + 1);
    EXPECT_EQ(both.CaptionRect.left, 10 + third + 16 + third + 1);
    // Right: the glyph at the far end, the caption before it.
    const TGlyphLayout right = LayoutGlyphAndCaption(canvas, kClient, kOffset, TButtonLayout::blGlyphRight, 4, -1,
                                                     glyph.get(), 4, "ab");
    const int margin = (60 - (16 + 4 + ab.cx) + 1) / 2;
    EXPECT_EQ(right.GlyphPos.x, 10 + 60 - margin - 16 + 1);
    EXPECT_EQ(right.CaptionRect.left, right.GlyphPos.x - 4 - ab.cx);
    // Bottom with a fixed margin and computed spacing (no +1 in that rule).
    const TGlyphLayout bottom = LayoutGlyphAndCaption(canvas, kClient, kOffset, TButtonLayout::blGlyphBottom, -1, 2,
                                                      glyph.get(), 4, "ab");
    const int spacing = (40 - (2 + 16) - ab.cy) / 2;
    EXPECT_EQ(bottom.GlyphPos.y, 5 + 40 - 2 - 16);
    EXPECT_EQ(bottom.CaptionRect.top, bottom.GlyphPos.y - spacing - ab.cy);
}

TEST(GlyphLayout, ImageCountOutsideOneToFourIsTakenAsTheNearest)
{
    TBitmap surface;
    surface.SetSize(1, 1);
    auto glyph = Glyph(64);
    const auto at = [&](int numGlyphs) {
        return LayoutGlyphAndCaption(surface.Canvas(), kClient, kOffset, TButtonLayout::blGlyphRight, 4, 0,
                                     glyph.get(), numGlyphs, "").GlyphPos.x;
    };
    EXPECT_EQ(at(0), at(1)) << "0 images would divide by zero";
    EXPECT_EQ(at(-3), 10 + 60 - 64 + 1);
    EXPECT_EQ(at(9), at(4));
    EXPECT_EQ(at(4), 10 + 60 - 16 + 1);
}

TEST(DisabledGlyph, MaskColourPixelsEmbossedOnTheBackColour)
{
    const TColor back = 0x00C0C0C0, light = 0x00FFFFFF, dark = 0x00808080;
    TBitmap colour;
    colour.Canvas()->Brush()->SetColor(clWhite);
    colour.SetSize(8, 8);
    colour.Canvas()->Brush()->SetColor(clBlack);
    colour.Canvas()->FillRect(RECT{2, 2, 4, 4});  // the shape, in the mask colour

    auto result = MakeDisabledGlyph(&colour, clBlack, back, light, dark, true);
    ASSERT_EQ(result->Width(), 8);
    ASSERT_EQ(result->Height(), 8);
    TCanvas* c = result->Canvas();
    EXPECT_EQ(c->Pixel(2, 2), dark);
    EXPECT_EQ(c->Pixel(3, 3), dark) << "the shadow goes over the highlight";
    EXPECT_EQ(c->Pixel(4, 4), light) << "the highlight one pixel right and down";
    EXPECT_EQ(c->Pixel(4, 2), back);
    EXPECT_EQ(c->Pixel(0, 0), back) << "every other pixel shows the back colour";
    EXPECT_EQ(colour.Canvas()->Pixel(2, 2), clBlack) << "the source is left alone";

    auto flat = MakeDisabledGlyph(&colour, clBlack, back, light, dark, false);
    EXPECT_EQ(flat->Canvas()->Pixel(4, 4), back) << "no highlight asked for";
    EXPECT_EQ(flat->Canvas()->Pixel(2, 2), dark);

    auto none = MakeDisabledGlyph(&colour, clRed, back, light, dark, true);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) ASSERT_EQ(none->Canvas()->Pixel(x, y), back) << x << "," << y;

    // A monochrome glyph: its black pixels are the shape whatever the mask colour.
    TBitmap mono;
    mono.SetMonochrome(true);
    mono.Canvas()->Brush()->SetColor(clWhite);
    mono.SetSize(8, 8);
    mono.Canvas()->Brush()->SetColor(clBlack);
    mono.Canvas()->FillRect(RECT{5, 5, 6, 6});
    auto embossed = MakeDisabledGlyph(&mono, clBlack, back, light, dark, true);
    EXPECT_EQ(embossed->Canvas()->Pixel(5, 5), dark);
    EXPECT_EQ(embossed->Canvas()->Pixel(6, 6), light);
    EXPECT_EQ(embossed->Canvas()->Pixel(1, 1), back);
}
