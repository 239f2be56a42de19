// Wide text drawing and measuring on a canvas, the counterparts of the canvas's own ANSI TextOut
// and TextExtent.
#include "WideGraphics.h"

void DrawWideText(TCanvas* canvas, int x, int y, const std::wstring& text)
{
    canvas->Changing();
    canvas->RequiredState({TCanvasState::csHandleValid, TCanvasState::csFontValid, TCanvasState::csBrushValid});
    if (canvas->Orientation() == TCanvasOrientation::coRightToLeft) x += WideTextWidth(canvas, text) + 1;
    ExtTextOutW(canvas->Handle(), x, y, static_cast<UINT>(canvas->TextFlags()), nullptr, text.data(),
                static_cast<UINT>(text.size()), nullptr);
    canvas->MoveTo(x + WideTextWidth(canvas, text), y);
    canvas->Changed();
}

SIZE WideTextExtent(TCanvas* canvas, const std::wstring& text)
{
    canvas->RequiredState({TCanvasState::csHandleValid, TCanvasState::csFontValid});
    return WideTextExtentOnDC(canvas->Handle(), text);
}

int WideTextWidth(TCanvas* canvas, const std::wstring& text) { return WideTextExtent(canvas, text).cx; }

int WideTextHeight(TCanvas* canvas, const std::wstring& text) { return WideTextExtent(canvas, text).cy; }

SIZE WideTextExtentOnDC(HDC dc, const std::wstring& text)
{
    SIZE size{0, 0};
    if (!GetTextExtentPoint32W(dc, text.data(), static_cast<int>(text.size()), &size)) size = SIZE{0, 0};
    return size;
}
