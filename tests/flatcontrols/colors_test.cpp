// The colour arithmetic against the values worked out by hand from its rules: the blend's
// division by 256, the HSL round trip with halves to even, and the advanced colour's lightness
// bound of 100 that makes lightening a light colour darken it.
#include <windows.h>
#include <gtest/gtest.h>

#include "FlatUtilitys.h"
#include "HSLUtils.h"

TEST(FlatColors, BlendDividesBy256AndResolvesSystemColours)
{
    EXPECT_EQ(BlendColors(0x00C0C0C0, 0x00FFFFFF, 190), 0x00CFCFCF);
    EXPECT_EQ(BlendColors(0x00FFFFFF, 0x00FFFFFF, 190), 0x00FEFEFE) << "255 with 255 gives 254";
    EXPECT_EQ(BlendColors(0x000000FF, 0x00FF0000, 255), 0x000000FE) << "no channel carries into another";
    EXPECT_EQ(BlendColors(0x00FF00FF, 0x0000FF00, 0), 0x0000FE00);

    // System colours blend as their current RGB values; the result is never a system colour.
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    const COLORREF window = GetSysColor(COLOR_WINDOW);
    const TColor blended = BlendColors(clBtnFace, clWindow, 190);
    EXPECT_FALSE(IsSystemColor(blended));
    EXPECT_EQ(blended, BlendColors(static_cast<TColor>(face), static_cast<TColor>(window), 190));
    EXPECT_EQ(GetRValue(blended), (GetRValue(face) * 190 + GetRValue(window) * 65) >> 8);
    EXPECT_EQ(GetBValue(blended), (GetBValue(face) * 190 + GetBValue(window) * 65) >> 8);
}

TEST(FlatColors, HslConversionsAndAdvancedColours)
{
    EXPECT_EQ(ColorToHslScaled(0x00C0C0C0), (THslScaled{0, 0, 181}));
    EXPECT_EQ(ColorToHslScaled(0x00FFFFFF), (THslScaled{0, 0, 240}));
    EXPECT_EQ(ColorToHslScaled(0x000000FF), (THslScaled{0, 240, 120}));
    EXPECT_EQ(ColorToHslScaled(0x0000FF00), (THslScaled{80, 240, 120})) << "green: a third round the circle";
    EXPECT_EQ(HslToColor(0.7, 0, 0.5), HslToColor(0.1, 0, 0.5)) << "no saturation: grey whatever the hue";
    EXPECT_EQ(HslToColor(0.7, 0, 0.5), 0x00808080) << "127.5 rounds to the even 128";
    for (TColor c : {0x000000FF, 0x0000FF00, 0x00FF0000, 0x00336699, 0x00C5D6D9}) {
        const THslColor hsl = ColorToHsl(c);
        EXPECT_EQ(HslToColor(hsl.Hue, hsl.Saturation, hsl.Lightness), c) << std::hex << c;
    }

    EXPECT_EQ(ComputeAdvColor(0x00C0C0C0, clRed, 50, true), 0x00969696);
    EXPECT_EQ(ComputeAdvColor(0x00C0C0C0, clRed, 10, false), 0x006A6A6A);
    EXPECT_EQ(ComputeAdvColor(0x00FFFFFF, clRed, 10, false), 0x006A6A6A) << "lightening is bounded at 100";
    EXPECT_EQ(ComputeAdvColor(0x00000000, clRed, 50, true), 0x00000000) << "darkening stops at 0";
    EXPECT_EQ(ComputeAdvColor(0x00C0C0C0, clBtnFace, 0, true), clBtnFace) << "0 keeps the current colour";
    EXPECT_EQ(ComputeAdvColor(clBtnFace, clRed, 50, true),
              ComputeAdvColor(static_cast<TColor>(GetSysColor(COLOR_BTNFACE)), clRed, 50, true));
}
