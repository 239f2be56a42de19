// Wide text on a canvas over a memory bitmap: measured and drawn as UTF-16 (characters outside the
// code page included), placed to the right of x on a right-to-left canvas, the pen left at the end.
#include <windows.h>
#include <gtest/gtest.h>

#include <string>

#include "../classlib/ControlsTestSupport.h"
#include "Graphics.h"
#include "WideGraphics.h"

using namespace ctltest;

namespace {

// The columns that hold text pixels (not the white background), or {-1, -1}.
std::pair<int, int> InkColumns(const MemoryCanvas& surface, int width, int height)
{
    int first = -1, last = -1;
    for (int x = 0; x < width; ++x) {
        for (int y = 0; y < height; ++y) {
            if (surface.Pixel(x, y) != surface.Nearest(RGB(255, 255, 255))) {
                if (first < 0) first = x;
                last = x;
                break;
            }
        }
    }
    return {first, last};
}

struct Surface {
    Surface() : bitmap(300, 40)
    {
        canvas.SetHandle(bitmap.Dc());
        canvas.Font()->SetColor(0);                // black
        canvas.Brush()->SetColor(0x00FFFFFF);      // white
        canvas.Font()->SetHeight(-16);
        RECT all{0, 0, 300, 40};
        canvas.FillRect(all);
        canvas.OnChanging = [this] { ++changing; };
        canvas.OnChange = [this] { ++changed; };
    }
    ~Surface() { canvas.SetHandle(nullptr); }
    MemoryCanvas bitmap;
    TCanvas canvas;
    int changing = 0, changed = 0;
};

}  // namespace

TEST(WideGraphics, MeasuresAndDrawsUtf16)
{
    Surface s;
    const std::wstring text = L"日本한\xD842\xDFB7";
    const SIZE size = WideTextExtent(&s.canvas, text);
    EXPECT_GT(size.cx, WideTextWidth(&s.canvas, L"日本"));
    EXPECT_EQ(WideTextWidth(&s.canvas, L"日本"), s.canvas.TextWidth(AnsiFromWide(L"日本")));
    EXPECT_EQ(WideTextHeight(&s.canvas, text), size.cy);
    EXPECT_GT(size.cy, 0);
    EXPECT_EQ(WideTextExtent(&s.canvas, L"").cx, 0);
    EXPECT_EQ(WideTextExtent(&s.canvas, L"").cy, 0);
    EXPECT_EQ(WideTextExtentOnDC(s.bitmap.Dc(), L"").cx, 0);

    s.changing = s.changed = 0;
    DrawWideText(&s.canvas, 10, 5, text);
    EXPECT_EQ(s.changing, 1);
    EXPECT_EQ(s.changed, 1);
    EXPECT_EQ(s.canvas.PenPos().x, 10 + size.cx);
    EXPECT_EQ(s.canvas.PenPos().y, 5);
    const auto ink = InkColumns(s.bitmap, 300, 40);
    EXPECT_GE(ink.first, 10);
    EXPECT_LE(ink.second, 10 + size.cx);
    EXPECT_GT(ink.second, 10 + WideTextWidth(&s.canvas, L"日本"));  // the characters beyond the code page drew

    DrawWideText(&s.canvas, 40, 5, L"");
    EXPECT_EQ(s.canvas.PenPos().x, 40);
}

TEST(WideGraphics, RightToLeftStartsPastItsOwnWidth)
{
    Surface s;
    s.canvas.SetTextFlags(ETO_RTLREADING);
    const std::wstring text = L"검색";
    const int width = WideTextWidth(&s.canvas, text);
    DrawWideText(&s.canvas, 10, 5, text);
    EXPECT_EQ(s.canvas.PenPos().x, 10 + width + 1 + width);
    const auto ink = InkColumns(s.bitmap, 300, 40);
    EXPECT_GE(ink.first, 10 + width + 1);

    DrawWideText(&s.canvas, 50, 5, L"");
    EXPECT_EQ(s.canvas.PenPos().x, 51);
}
