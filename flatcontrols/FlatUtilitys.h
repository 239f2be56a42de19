#pragma once
// What the flat controls share: the colour routines they paint and derive their colour
// properties with, and the two drawing routines of the speed button (where glyph and caption go
// on its face, and the embossed image of a disabled glyph).
#include <windows.h>

#include <cstdint>
#include <string>

#include "Graphics.h"

// ---------------------------------------------------------------------------------------------
// Colours

// A percentage 0..100 of the advanced-colour properties, held in one byte.
using TAdvColors = uint8_t;
constexpr TAdvColors MaxAdvColors = 100;
// Any integer given for such a property as the nearest percentage. Capped before it is narrowed
// to the byte: 300 is 100, not 300 - 256.
inline TAdvColors ToAdvColors(int value)
{
    return static_cast<TAdvColors>(value < 0 ? 0 : (value > MaxAdvColors ? MaxAdvColors : value));
}

// Per channel (A * Alpha + B * (255 - Alpha)) / 256, system colours first resolved through the
// colour scheme; the result is always an RGB colour. Dividing by 256 is what the controls'
// colours are made with (255 blended with 255 gives 254): callers pass the result through
// GetNearestColor of the context they paint on.
TColor BlendColors(TColor a, TColor b, uint8_t alpha);

// BaseColor's lightness (on the 0..240 scale) raised by 10, then darkened by Percent (not below
// 0) or lightened by it (not above 100: lightening a light colour darkens it). Percent 0 answers
// CurrentColor untouched, a system colour staying one.
TColor ComputeAdvColor(TColor baseColor, TColor currentColor, TAdvColors percent, bool darken);

// ---------------------------------------------------------------------------------------------
// Glyph and caption

// Where the glyph stands relative to the caption.
enum class TButtonLayout { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };

// The number of equally wide images side by side in a glyph bitmap, 1..4.
using TNumGlyphs = int;
// Painting takes any stored value as the nearest of 1..4, so that no value divides by zero or
// reads past the glyph.
inline int ClampedNumGlyphs(TNumGlyphs n) { return n < 1 ? 1 : (n > 4 ? 4 : n); }

struct TGlyphLayout {
    POINT GlyphPos{0, 0};   // top-left corner of the glyph image
    RECT CaptionRect{0, 0, 0, 0};
};

// Places glyph and caption inside client. Margin is the distance from the face's edge to the
// glyph, Spacing the distance between glyph and caption; -1 for either means computed. The
// caption is measured in the canvas's current font; nothing is drawn. Glyph may be null.
TGlyphLayout LayoutGlyphAndCaption(TCanvas* canvas, const RECT& client, POINT offset, TButtonLayout layout,
                                   int spacing, int margin, TBitmap* glyph, TNumGlyphs numGlyphs,
                                   const std::string& caption);

// The embossed image of a disabled glyph: the source's pixels of exactly maskColor (of a
// monochrome source: its black pixels) in shadowColor with, when drawHighlight, a highlightColor
// copy one pixel right and down, on backColor. A new bitmap of the source's size, the caller's.
TObjectPtr<TBitmap> MakeDisabledGlyph(TBitmap* source, TColor maskColor, TColor backColor, TColor highlightColor,
                                      TColor shadowColor, bool drawHighlight);
