// Where a button's glyph and caption go on its face, and the embossed image that stands for a
// single-image glyph while the button is disabled.
//
// The layout works along a main axis (X for glyph left or right of the caption, Y for above or
// below) and centres both parts on the cross axis. Divisions truncate toward zero, so sizes
// larger than the face give negative positions rather than clamped ones.
#include "FlatUtilitys.h"

namespace {

// The main-axis component of a point or size, and the cross-axis one.
LONG& Main(POINT& p, bool horizontal) { return horizontal ? p.x : p.y; }
LONG& Cross(POINT& p, bool horizontal) { return horizontal ? p.y : p.x; }

}  // namespace

TGlyphLayout LayoutGlyphAndCaption(TCanvas* canvas, const RECT& client, POINT offset, TButtonLayout layout,
                                   int spacing, int margin, TBitmap* glyph, TNumGlyphs numGlyphs,
                                   const std::string& caption)
{
    POINT clientSize{client.right - client.left, client.bottom - client.top};
    POINT glyphSize{0, 0};
    if (glyph && !glyph->Empty()) glyphSize = POINT{glyph->Width() / ClampedNumGlyphs(numGlyphs), glyph->Height()};

    TGlyphLayout result;
    POINT textSize{0, 0};
    if (!caption.empty()) {
        result.CaptionRect = RECT{0, 0, clientSize.x, 0};
        canvas->TextRect(result.CaptionRect, caption, DT_CALCRECT | DT_SINGLELINE);
        textSize = POINT{result.CaptionRect.right - result.CaptionRect.left,
                         result.CaptionRect.bottom - result.CaptionRect.top};
    }

    const bool horizontal = layout == TButtonLayout::blGlyphLeft || layout == TButtonLayout::blGlyphRight;
    POINT glyphPos{0, 0};
    POINT textPos{0, 0};
    Cross(glyphPos, horizontal) = (Cross(clientSize, horizontal) - Cross(glyphSize, horizontal) + 1) / 2;
    Cross(textPos, horizontal) = (Cross(clientSize, horizontal) - Cross(textSize, horizontal) + 1) / 2;

    // Without one of the two parts there is nothing to space apart.
    if (textSize.x == 0 || glyphSize.x == 0) spacing = 0;

    const int free = Main(clientSize, horizontal);
    const int glyphMain = Main(glyphSize, horizontal);
    const int textMain = Main(textSize, horizontal);
    if (margin == -1 && spacing == -1) {
        margin = (free - (glyphMain + textMain)) / 3;
        spacing = margin;
    } else if (margin == -1) {
        margin = (free - (glyphMain + spacing + textMain) + 1) / 2;
    } else if (spacing == -1) {
        spacing = (free - (margin + glyphMain) - textMain) / 2;
    }

    switch (layout) {
    case TButtonLayout::blGlyphLeft:
    case TButtonLayout::blGlyphTop:
        Main(glyphPos, horizontal) = margin;
        Main(textPos, horizontal) = margin + glyphMain + spacing;
        break;
    case TButtonLayout::blGlyphRight:
    case TButtonLayout::blGlyphBottom:
        Main(glyphPos, horizontal) = free - margin - glyphMain;
        Main(textPos, horizontal) = Main(glyphPos, horizontal) - spacing - textMain;
        break;
    }

    result.GlyphPos = POINT{glyphPos.x + client.left + offset.x, glyphPos.y + client.top + offset.y};
    OffsetRect(&result.CaptionRect, client.left + textPos.x + offset.x, client.top + textPos.y + offset.y);
    return result;
}

TObjectPtr<TBitmap> MakeDisabledGlyph(TBitmap* source, TColor maskColor, TColor backColor, TColor highlightColor,
                                      TColor shadowColor, bool drawHighlight)
{
    const int width = source->Width();
    const int height = source->Height();
    TObjectPtr<TBitmap> result(new TBitmap);
    result->SetSize(width, height);
    if (result->Empty()) return result;

    TBitmap mask;
    mask.Assign(source);
    mask.Canvas()->Brush()->SetColor(maskColor);
    if (mask.Monochrome()) {
        // Black pixels become white and white ones the mask colour, so that the black ones
        // make the shape below.
        mask.Canvas()->Font()->SetColor(clWhite);
        mask.SetMonochrome(false);
        mask.Canvas()->Brush()->SetColor(clWhite);
    }
    mask.SetMonochrome(true);  // the shape white, everything else black

    TCanvas* canvas = result->Canvas();
    canvas->Brush()->SetColor(backColor);
    canvas->FillRect(RECT{0, 0, width, height});

    // Raster operation DSPDxax: the brush where the mask is white, the result kept where black.
    constexpr DWORD kBrushThroughMask = 0x00E20746;
    const auto paintShape = [&](TColor color, int x, int y) {
        canvas->Brush()->SetColor(color);
        HDC dc = canvas->Handle();
        SetTextColor(dc, RGB(0, 0, 0));
        SetBkColor(dc, RGB(255, 255, 255));
        if (!BitBlt(dc, x, y, width, height, mask.Canvas()->Handle(), 0, 0, kBrushThroughMask)) RaiseLastOSError();
        canvas->Changed();
    };
    if (drawHighlight) paintShape(highlightColor, 1, 1);
    paintShape(shadowColor, 0, 0);
    return result;
}
