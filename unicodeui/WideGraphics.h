#pragma once
// UTF-16 text on the class library's canvas, which draws and measures only in the ANSI code page:
// the Unicode controls draw their items, size their hints and measure their menu captions with
// these, so that characters outside the code page are drawn as themselves. Lengths handed to the
// system are counts of UTF-16 units.
#include <windows.h>

#include <string>

#include "Graphics.h"

// Draws the text at (x, y) in the canvas's font over its brush, with its text flags; right to left,
// the text starts its own width plus one to the right of x. The pen moves to the end of the text.
void DrawWideText(TCanvas* canvas, int x, int y, const std::wstring& text);
// The size of the text in the canvas's font; 0 x 0 for empty text.
SIZE WideTextExtent(TCanvas* canvas, const std::wstring& text);
int WideTextWidth(TCanvas* canvas, const std::wstring& text);
int WideTextHeight(TCanvas* canvas, const std::wstring& text);
// The size of the text in the context's current font; 0 x 0 for empty text or on failure.
SIZE WideTextExtentOnDC(HDC dc, const std::wstring& text);
