// Wide text on a canvas over a memory bitmap: measured and drawn as UTF-16, placed past its own
// width on a right-to-left canvas, the pen left at its end.
#include <windows.h>
#include <gtest/gtest.h>

#include <string>

#include "../classlib/ControlsTestSupport.h"
#include "WideGraphics.h"

using namespace ctltest;

namespace {

// The first column with a pixel that is not the white background, or -1.
int FirstInkColumn(const MemoryCanvas& surface)
{
    for (int x = 0; x < 300; ++x) {
        for (int y = 0; y < 40; ++y) {
            if (surface.Pixel(x, y) != surface.Nearest(RGB(255, 255, 255))) return x;
        }
    }
    return -1;
}

}  // namespace

TEST(WideGraphics, MeasuresAndDrawsUtf16)
{
    for (const bool rightToLeft : {false, true}) {
        MemoryCanvas bitmap(300, 40);
        TCanvas canvas;
        canvas.SetHandle(bitmap.Dc());
        canvas.Brush()->SetColor(0x00FFFFFF);
        canvas.FillRect(RECT{0, 0, 300, 40});
        canvas.SetTextFlags(rightToLeft ? ETO_RTLREADING : 0);
        int changes = 0;
        canvas.OnChange = [&] { ++changes; };

        const std::wstring text = L"日本한\xD842\xDFB7";
        const SIZE size = WideTextExtent(&canvas, text);
        EXPECT_GT(size.cx, WideTextWidth(&canvas, L"日本"));
        EXPECT_EQ(WideTextWidth(&canvas, L"日本"), canvas.TextWidth(AnsiFromWide(L"日本")));
        EXPECT_EQ(WideTextHeight(&canvas, text), size.cy);
        EXPECT_EQ(WideTextExtentOnDC(bitmap.Dc(), L"").cx, 0);
        EXPECT_EQ(WideTextExtent(&canvas, L"").cy, 0);

        DrawWideText(&canvas, 10, 5, text);
        EXPECT_EQ(changes, 1);
        const int start = rightToLeft ? 10 + size.cx + 1 : 10;
        EXPECT_EQ(canvas.PenPos().x, start + size.cx);
        EXPECT_EQ(canvas.PenPos().y, 5);
        EXPECT_GE(FirstInkColumn(bitmap), start);
        EXPECT_LE(FirstInkColumn(bitmap), start + size.cx);

        DrawWideText(&canvas, 50, 5, L"");
        EXPECT_EQ(canvas.PenPos().x, rightToLeft ? 51 : 50);
        canvas.SetHandle(nullptr);
    }
}
