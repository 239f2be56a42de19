// The colour arithmetic against values worked out by hand from its rules: the blend's division
// by 256, HSL with halves rounded to even, and the advanced colour's lightness bound of 100 that
// makes lightening a light colour darken it.
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
    const COLORREF face = GetSysColor(COLOR_BTNFACE), window = GetSysColor(COLOR_WINDOW);
    const TColor blended = BlendColors(clBtnFace, clWindow, 190);
    EXPECT_EQ(blended, BlendColors(static_cast<TColor>(face), static_cast<TColor>(window), 190));
    EXPECT_EQ(GetGValue(blended), (GetGValue(face) * 190 + GetGValue(window) * 65) >> 8);
}

TEST(FlatColors, HslConversionsAndAdvancedColours)
{
    EXPECT_EQ(ColorToHslScaled(0x00C0C0C0), (THslScaled{0, 0, 181}));
    EXPECT_EQ(ColorToHslScaled(0x00FFFFFF), (THslScaled{0, 0, 240}));
    EXPECT_EQ(ColorToHslScaled(0x000000FF), (THslScaled{0, 240, 120}));
    EXPECT_EQ(ColorToHslScaled(0x0000FF00), (THslScaled{80, 240, 120}));
    EXPECT_EQ(HslToColor(0.7, 0, 0.5), 0x00808080) << "grey whatever the hue; 127.5 goes to the even 128";
    for (TColor c : {0x000000FF, 0x00FF0000, 0x00336699, 0x00C5D6D9}) {
        const THslColor hsl = ColorToHsl(c);
        EXPECT_EQ(HslToColor(hsl.Hue, hsl.Saturation, hsl.Lightness), c) << std::hex << c;
    }
    EXPECT_EQ(ComputeAdvColor(0x00C0C0C0, clRed, 50, true), 0x00969696);
    EXPECT_EQ(ComputeAdvColor(0x00C0C0C0, clRed, 10, false), 0x006A6A6A);
    EXPECT_EQ(ComputeAdvColor(0x00FFFFFF, clRed, 10, false), 0x006A6A6A) << "lightening is bounded at 100";
    EXPECT_EQ(ComputeAdvColor(0x00000000, clRed, 50, true), 0x00000000);
    EXPECT_EQ(ComputeAdvColor(0x00C0C0C0, clBtnFace, 0, true), clBtnFace) << "0 keeps the current colour";
}
