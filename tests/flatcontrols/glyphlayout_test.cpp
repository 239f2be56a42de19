// Glyph and caption placement for each layout, worked out by hand from the placement rules for
// a face of 60 x 40 at (10, 5) and the paint's offset (1, 0) (captions measured in the canvas's
// font, which differs under Wine); and the embossed disabled glyph read back.
#include <windows.h>
#include <gtest/gtest.h>

#include "FlatUtilitys.h"

namespace {

constexpr RECT kClient{10, 5, 70, 45};

TGlyphLayout Layout(TCanvas* c, TButtonLayout layout, int spacing, int margin, TBitmap* glyph, int n,
                    const std::string& caption)
{
    return LayoutGlyphAndCaption(c, kClient, POINT{1, 0}, layout, spacing, margin, glyph, n, caption);
}

}  // namespace

TEST(GlyphLayout, EachLayoutWithAndWithoutGlyphAndCaption)
{
    TBitmap surface, glyph;
    surface.SetSize(1, 1);
    glyph.SetSize(64, 16);  // four images of 16 x 16
    TCanvas* c = surface.Canvas();
    using enum TButtonLayout;

    // Glyph alone, margin 3 (spacing becomes 0); the cross axis centred: (40 - 16 + 1) div 2.
    EXPECT_EQ(Layout(c, blGlyphLeft, 4, 3, &glyph, 4, "").GlyphPos.x, 10 + 3 + 1);
    EXPECT_EQ(Layout(c, blGlyphLeft, 4, 3, &glyph, 4, "").GlyphPos.y, 5 + 12);
    EXPECT_EQ(Layout(c, blGlyphRight, 4, 3, &glyph, 4, "").GlyphPos.x, 10 + 60 - 3 - 16 + 1);
    EXPECT_EQ(Layout(c, blGlyphTop, 4, 3, &glyph, 4, "").GlyphPos.y, 5 + 3);
    EXPECT_EQ(Layout(c, blGlyphTop, 4, 3, &glyph, 4, "").GlyphPos.x, 10 + (60 - 16 + 1) / 2 + 1);
    EXPECT_EQ(Layout(c, blGlyphBottom, 4, 3, &glyph, 4, "").GlyphPos.y, 5 + 40 - 3 - 16);
    const RECT empty = Layout(c, blGlyphLeft, 4, 3, &glyph, 4, "").CaptionRect;
    EXPECT_EQ(empty.left, 10 + 3 + 16 + 1) << "no caption: spacing 0";
    EXPECT_EQ(empty.right, empty.left);

    // Caption alone, centred on both axes ((size - text + 1) div 2), margin and spacing -1.
    RECT measured{0, 0, 60, 0};
    c->TextRect(measured, "Search", DT_CALCRECT | DT_SINGLELINE);
    const int tw = measured.right, th = measured.bottom;
    ASSERT_GT(tw, 0);
    const RECT alone = Layout(c, blGlyphTop, -1, -1, nullptr, 1, "Search").CaptionRect;
    EXPECT_EQ(alone.left, 10 + (60 - tw + 1) / 2 + 1);
    EXPECT_EQ(alone.top, 5 + (40 - th + 1) / 2);
    EXPECT_EQ(alone.right - alone.left, tw);
    EXPECT_EQ(alone.bottom - alone.top, th);

    // Both: margin and spacing -1 split the free space in three (remainder dropped).
    measured = RECT{0, 0, 60, 0};
    c->TextRect(measured, "ab", DT_CALCRECT | DT_SINGLELINE);
    const int aw = measured.right, ah = measured.bottom;
    const int third = (60 - (16 + aw)) / 3;
    const TGlyphLayout both = Layout(c, blGlyphLeft, -1, -1, &glyph, 4, "ab");
    EXPECT_EQ(both.GlyphPos.x, 10 + third + 1);
    EXPECT_EQ(both.CaptionRect.left, 10 + third + 16 + third + 1);
    const TGlyphLayout right = Layout(c, blGlyphRight, 4, -1, &glyph, 4, "ab");
    EXPECT_EQ(right.GlyphPos.x, 10 + 60 - (60 - (16 + 4 + aw) + 1) / 2 - 16 + 1);
    EXPECT_EQ(right.CaptionRect.left, right.GlyphPos.x - 4 - aw);
    const TGlyphLayout bottom = Layout(c, blGlyphBottom, -1, 2, &glyph, 4, "ab");
    EXPECT_EQ(bottom.GlyphPos.y, 5 + 40 - 2 - 16);
    EXPECT_EQ(bottom.CaptionRect.top, bottom.GlyphPos.y - (40 - (2 + 16) - ah) / 2 - ah) << "no +1 here";

    // An image count outside 1..4 counts as the nearest of 1..4.
    EXPECT_EQ(Layout(c, blGlyphRight, 4, 0, &glyph, 0, "").GlyphPos.x, 10 + 60 - 64 + 1);
    EXPECT_EQ(Layout(c, blGlyphRight, 4, 0, &glyph, 9, "").GlyphPos.x, 10 + 60 - 16 + 1);
}

TEST(DisabledGlyph, MaskColourPixelsEmbossedOnTheBackColour)
{
    const TColor back = 0x00C0C0C0, light = 0x00FFFFFF, dark = 0x00808080;
    TBitmap colour, mono;
    for (TBitmap* b : {&colour, &mono}) {
        b->SetMonochrome(b == &mono);
        b->Canvas()->Brush()->SetColor(clWhite);
        b->SetSize(8, 8);
        b->Canvas()->Brush()->SetColor(clBlack);
        b->Canvas()->FillRect(RECT{2, 2, 4, 4});  // the shape, in the mask colour
    }
    for (TBitmap* source : {&colour, &mono}) {
        auto result = MakeDisabledGlyph(source, clBlack, back, light, dark, true);
        ASSERT_EQ(result->Width(), 8);
        TCanvas* c = result->Canvas();
        EXPECT_EQ(c->Pixel(2, 2), dark);
        EXPECT_EQ(c->Pixel(3, 3), dark) << "the shadow over the highlight";
        EXPECT_EQ(c->Pixel(4, 4), light) << "the highlight one pixel right and down";
        EXPECT_EQ(c->Pixel(0, 0), back);
        EXPECT_EQ(c->Pixel(4, 2), back);
    }
    EXPECT_EQ(colour.Canvas()->Pixel(2, 2), clBlack) << "the source is left alone";
    EXPECT_EQ(MakeDisabledGlyph(&colour, clBlack, back, light, dark, false)->Canvas()->Pixel(4, 4), back);
    auto none = MakeDisabledGlyph(&colour, clRed, back, light, dark, true);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) ASSERT_EQ(none->Canvas()->Pixel(x, y), back) << "no mask-colour pixel";
}
