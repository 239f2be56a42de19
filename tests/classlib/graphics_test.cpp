// Colours, fonts, brushes, pens, the canvas and bitmaps, drawn through real GDI onto memory
// device contexts and read back pixel by pixel.
#include <windows.h>
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <string>
#include <tuple>

#include "Filer.h"
#include "Graphics.h"
#include "Streams.h"

namespace {

// A 32-bit memory surface filled with white, for a canvas to draw on.
class Surface {
public:
    Surface(int w, int h) : dc_(CreateCompatibleDC(nullptr))
    {
        BITMAPINFO bi{};
        bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        bi.bmiHeader.biWidth = w;
        bi.bmiHeader.biHeight = -h;
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        void* bits = nullptr;
        bmp_ = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
        old_ = SelectObject(dc_, bmp_);
        RECT r{0, 0, w, h};
        ::FillRect(dc_, &r, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    }
    ~Surface()
    {
        SelectObject(dc_, old_);
        DeleteObject(bmp_);
        DeleteDC(dc_);
    }
    HDC dc() const { return dc_; }
    COLORREF at(int x, int y) const { return GetPixel(dc_, x, y); }
    // Pixels that are not white inside a rectangle.
    int Inked(const RECT& r) const
    {
        int n = 0;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x)
                if (at(x, y) != RGB(255, 255, 255)) ++n;
        return n;
    }

private:
    HDC dc_;
    HBITMAP bmp_;
    HGDIOBJ old_;
};

bool IsGdiObject(HGDIOBJ h) { return GetObjectType(h) != 0; }

// A component with a font and a glyph, to carry them through a form resource.
class TFontHolder : public TComponent {
    KERVO_CLASS(TFontHolder, TComponent)
public:
    explicit TFontHolder(TComponent* owner) : TComponent(owner) {}
    TFont* Font() { return &font_; }
    void SetFont(TFont* f) { font_.Assign(f); }
    TBitmap* Glyph() { return &glyph_; }
    void SetGlyph(TBitmap* b) { glyph_.Assign(b); }
    TColor Color() const { return color_; }
    void SetColor(TColor c) { color_ = c; }

private:
    TFont font_;
    TBitmap glyph_;
    TColor color_ = clWindow;
};

KERVO_CLASS_RECORD(TFontHolder)
{
    b.Integer("Color", &TFontHolder::Color, &TFontHolder::SetColor).Idents(&ColorIdents()).Default(clWindow);
    b.Object("Font", &TFontHolder::Font, &TFontHolder::SetFont);
    b.Object("Glyph", &TFontHolder::Glyph, &TFontHolder::SetGlyph);
}

}  // namespace

TEST(Colors, SystemColorsResolveThroughTheScheme)
{
    EXPECT_EQ(ColorToRGB(clBtnFace), GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(ColorToRGB(clHighlight), GetSysColor(COLOR_HIGHLIGHT));
    EXPECT_EQ(ColorToRGB(clBtnHighlight), GetSysColor(COLOR_BTNHIGHLIGHT));
    EXPECT_EQ(ColorToRGB(0x00123456), 0x00123456u);
    EXPECT_EQ(clWindow, static_cast<TColor>(0xFF000005));
    EXPECT_EQ(clBtnShadow, static_cast<TColor>(0xFF000010));
    EXPECT_EQ(clGray, 0x00808080);

    std::string ident;
    ASSERT_TRUE(ColorToIdent(clBtnFace, ident));
    EXPECT_EQ(ident, "clBtnFace");
    TColor c = 0;
    ASSERT_TRUE(IdentToColor("clhighlight", c));
    EXPECT_EQ(c, clHighlight);
    EXPECT_FALSE(ColorToIdent(0x00123456, ident));
}

TEST(Canvas, FillsFramesAndOutlinesWithBrushAndPen)
{
    Surface s(40, 40);
    TCanvas canvas;
    canvas.SetHandle(s.dc());

    canvas.Brush()->SetColor(clBtnFace);
    canvas.FillRect({0, 0, 10, 10});
    EXPECT_EQ(s.at(0, 0), GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(s.at(9, 9), GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(s.at(10, 10), RGB(255, 255, 255));  // right and bottom are exclusive

    canvas.Brush()->SetColor(clRed);
    canvas.FrameRect({10, 10, 20, 20});
    EXPECT_EQ(s.at(10, 10), RGB(255, 0, 0));
    EXPECT_EQ(s.at(19, 15), RGB(255, 0, 0));
    EXPECT_EQ(s.at(15, 15), RGB(255, 255, 255));  // the inside stays

    canvas.Pen()->SetColor(clBlue);
    canvas.Brush()->SetColor(clLime);
    canvas.Rectangle(20, 20, 30, 30);
    EXPECT_EQ(s.at(20, 25), RGB(0, 0, 255));
    EXPECT_EQ(s.at(25, 25), RGB(0, 255, 0));

    // A clear brush paints nothing, and leaves a rectangle's inside alone.
    canvas.Brush()->SetStyle(TBrushStyle::bsClear);
    canvas.FillRect({0, 30, 10, 40});
    EXPECT_EQ(s.Inked({0, 30, 10, 40}), 0);
    canvas.Rectangle(30, 30, 40, 40);
    EXPECT_EQ(s.at(30, 35), RGB(0, 0, 255));
    EXPECT_EQ(s.at(35, 35), RGB(255, 255, 255));
    // A colour makes it solid again.
    canvas.Brush()->SetColor(clBlack);
    EXPECT_EQ(canvas.Brush()->Style(), TBrushStyle::bsSolid);
    canvas.SetHandle(nullptr);
}

TEST(Canvas, LinesPolygonsAndPixels)
{
    Surface s(30, 30);
    TCanvas canvas;
    canvas.SetHandle(s.dc());
    canvas.Pen()->SetColor(clRed);
    canvas.MoveTo(0, 5);
    canvas.LineTo(10, 5);
    EXPECT_EQ(s.at(0, 5), RGB(255, 0, 0));
    EXPECT_EQ(s.at(9, 5), RGB(255, 0, 0));
    EXPECT_EQ(s.at(10, 5), RGB(255, 255, 255));  // the end point is left out
    EXPECT_EQ(canvas.PenPos().x, 10);

    canvas.Pen()->SetColor(clBlack);
    canvas.Brush()->SetColor(clBlue);
    canvas.Polygon({{10, 10}, {29, 10}, {29, 29}});
    EXPECT_EQ(s.at(27, 12), RGB(0, 0, 255));   // inside the triangle
    EXPECT_EQ(s.at(12, 27), RGB(255, 255, 255));  // outside it

    canvas.SetPixel(1, 1, clBtnShadow);
    EXPECT_EQ(static_cast<COLORREF>(canvas.Pixel(1, 1)), GetSysColor(COLOR_BTNSHADOW));
    EXPECT_EQ(canvas.Pixel(1000, 1000), static_cast<TColor>(CLR_INVALID));
}

TEST(Canvas, RaisesWithoutADeviceContext)
{
    TCanvas canvas;
    EXPECT_THROW(canvas.Handle(), EInvalidGraphicOperation);
    EXPECT_THROW(canvas.FillRect({0, 0, 1, 1}), EInvalidGraphicOperation);
}

TEST(Canvas, TextInFontColourAndOrientation)
{
    Surface s(200, 40);
    TCanvas canvas;
    canvas.SetHandle(s.dc());
    canvas.Font()->SetColor(clBlack);
    canvas.Font()->SetHeight(-16);
    canvas.Brush()->SetStyle(TBrushStyle::bsClear);
    const std::string text = AnsiFromWide(L"検索ABC");
    const SIZE ext = canvas.TextExtent(text);
    ASSERT_GT(ext.cx, 0);
    ASSERT_GT(ext.cy, 0);

    canvas.TextOut(10, 0, text);
    EXPECT_GT(s.Inked({10, 0, 10 + ext.cx, ext.cy}), 0);
    EXPECT_EQ(s.Inked({0, 0, 10, 40}), 0);
    EXPECT_EQ(s.Inked({10 + ext.cx + 1, 0, 200, 40}), 0);
    EXPECT_EQ(canvas.PenPos().x, 10 + ext.cx);

    // Right to left: the text starts its width plus one further right.
    Surface r(200, 40);
    canvas.SetHandle(r.dc());
    canvas.SetTextFlags(ETO_RTLREADING);
    EXPECT_EQ(canvas.Orientation(), TCanvasOrientation::coRightToLeft);
    canvas.TextOut(10, 0, "W");
    const int w = canvas.TextWidth("W");
    EXPECT_EQ(r.Inked({0, 0, 10 + w + 1, 40}), 0);
    EXPECT_GT(r.Inked({10 + w + 1, 0, 10 + 2 * w + 2, 40}), 0);
    EXPECT_EQ(canvas.PenPos().x, 10 + 2 * w + 1);
    canvas.SetHandle(nullptr);
}

TEST(Canvas, TextRectClipsAndDrawTextMeasures)
{
    Surface s(200, 40);
    TCanvas canvas;
    canvas.SetHandle(s.dc());
    canvas.Font()->SetColor(clBlack);
    canvas.Brush()->SetColor(clLime);
    // Clipped output with a solid brush fills the rectangle and draws nothing outside it.
    canvas.TextRect({0, 0, 20, 20}, 0, 0, "WWWWWWWWWW");
    EXPECT_EQ(s.at(19, 19), RGB(0, 255, 0));
    EXPECT_EQ(s.Inked({20, 0, 200, 40}), 0);

    RECT calc{0, 0, 200, 0};
    const int h = canvas.TextRect(calc, "Wide text", DT_CALCRECT | DT_SINGLELINE);
    EXPECT_GT(h, 0);
    EXPECT_EQ(calc.bottom, h);
    EXPECT_EQ(calc.right, canvas.TextWidth("Wide text"));
    EXPECT_EQ(s.Inked({0, 21, 200, 40}), 0);  // measuring draws nothing
    canvas.SetHandle(nullptr);
}

TEST(Font, HandleMadeOnDemandAndRenewedOnChange)
{
    TFont font;
    int changes = 0;
    font.OnChange = [&] { ++changes; };
    HFONT first = font.Handle();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(font.Handle(), first);

    font.SetHeight(-20);
    EXPECT_EQ(changes, 1);
    EXPECT_FALSE(IsGdiObject(first));  // the old object is gone
    HFONT second = font.Handle();
    ASSERT_NE(second, nullptr);
    LOGFONTW lf{};
    GetObjectW(second, sizeof lf, &lf);
    EXPECT_EQ(lf.lfHeight, -20);

    font.SetHeight(-20);  // equal: nothing
    EXPECT_EQ(changes, 1);
    font.SetColor(clRed);  // told, but the font object stays
    EXPECT_EQ(changes, 2);
    EXPECT_EQ(font.Handle(), second);

    font.SetStyle({TFontStyle::fsBold, TFontStyle::fsItalic});
    GetObjectW(font.Handle(), sizeof lf, &lf);
    EXPECT_EQ(lf.lfWeight, FW_BOLD);
    EXPECT_TRUE(lf.lfItalic);

    font.SetSize(9);
    EXPECT_EQ(font.Height(), -MulDiv(9, TFont::PixelsPerInch(), 72));
    EXPECT_EQ(font.Size(), 9);
}

TEST(Font, AssignCopiesEverythingAndTellsOnce)
{
    TFont a, b;
    a.SetName(AnsiFromWide(L"ＭＳ ゴシック"));
    a.SetHeight(-11);
    a.SetCharset(SHIFTJIS_CHARSET);
    a.SetColor(clHighlight);
    a.SetStyle({TFontStyle::fsUnderline});
    int changes = 0;
    b.OnChange = [&] { ++changes; };
    b.Assign(&a);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(b.Name(), a.Name());
    EXPECT_EQ(b.Height(), -11);
    EXPECT_EQ(b.Charset(), SHIFTJIS_CHARSET);
    EXPECT_EQ(b.Color(), clHighlight);
    EXPECT_EQ(b.Style(), TFontStyles{TFontStyle::fsUnderline});

    TBrush brush;
    EXPECT_THROW(b.Assign(&brush), EConvertError);
}

TEST(Font, ChangeWhileSelectedTakesEffectAndFreesTheOldObject)
{
    Surface s(10, 10);
    TCanvas canvas;
    canvas.SetHandle(s.dc());
    canvas.Font()->SetHeight(-10);
    const int small = canvas.TextHeight("Ag");
    HFONT selected = canvas.Font()->Handle();
    EXPECT_EQ(GetCurrentObject(s.dc(), OBJ_FONT), selected);

    canvas.Font()->SetHeight(-30);
    EXPECT_FALSE(IsGdiObject(selected));  // it had left the context, so it could be deleted
    EXPECT_GT(canvas.TextHeight("Ag"), small);

    canvas.Font()->SetStyle({TFontStyle::fsBold});
    const int boldWidth = canvas.TextWidth("WWWW");
    canvas.Font()->SetStyle({});
    EXPECT_GE(boldWidth, canvas.TextWidth("WWWW"));

    // Leaving the context puts its own font back.
    HFONT ours = canvas.Font()->Handle();
    canvas.SetHandle(nullptr);
    EXPECT_NE(GetCurrentObject(s.dc(), OBJ_FONT), ours);
}

TEST(Font, StreamedAsSubPropertiesOfAComponent)
{
    TObjectPtr<TFontHolder> source(new TFontHolder(nullptr));
    source->Font()->SetName(AnsiFromWide(L"ＭＳ Ｐゴシック"));
    source->Font()->SetHeight(-11);
    source->Font()->SetCharset(SHIFTJIS_CHARSET);
    source->Font()->SetColor(clBtnText);
    source->Font()->SetStyle({TFontStyle::fsBold});
    source->SetColor(clBtnFace);
    source->Glyph()->SetSize(3, 2);
    source->Glyph()->Canvas()->SetPixel(1, 1, clRed);

    TMemoryStream stream;
    WriteComponentToStream(stream, source.get());
    const std::string bytes = stream.Bytes();
    EXPECT_NE(bytes.find("Font.Name"), std::string::npos);
    EXPECT_NE(bytes.find("clBtnFace"), std::string::npos);  // colours go by name
    EXPECT_EQ(bytes.find("Font.Size"), std::string::npos);  // Height carries it

    TObjectPtr<TFontHolder> target(new TFontHolder(nullptr));
    stream.SetPosition(0);
    ReadBinaryComponent(stream, target.get());
    EXPECT_EQ(target->Font()->Name(), AnsiFromWide(L"ＭＳ Ｐゴシック"));
    EXPECT_EQ(target->Font()->Height(), -11);
    EXPECT_EQ(target->Font()->Charset(), SHIFTJIS_CHARSET);
    EXPECT_EQ(target->Font()->Color(), clBtnText);
    EXPECT_EQ(target->Font()->Style(), TFontStyles{TFontStyle::fsBold});
    EXPECT_EQ(target->Color(), clBtnFace);
    ASSERT_EQ(target->Glyph()->Width(), 3);
    ASSERT_EQ(target->Glyph()->Height(), 2);
    EXPECT_EQ(target->Glyph()->Canvas()->Pixel(1, 1), clRed);
    EXPECT_EQ(target->Glyph()->Canvas()->Pixel(0, 0), clWhite);
}

TEST(Brush, ClearIsTheHollowStockBrushAndHatchesAreHatched)
{
    TBrush brush;
    brush.SetStyle(TBrushStyle::bsClear);
    LOGBRUSH lb{};
    GetObjectW(brush.Handle(), sizeof lb, &lb);
    EXPECT_EQ(lb.lbStyle, static_cast<UINT>(BS_HOLLOW));
    brush.SetStyle(TBrushStyle::bsCross);
    GetObjectW(brush.Handle(), sizeof lb, &lb);
    EXPECT_EQ(lb.lbStyle, static_cast<UINT>(BS_HATCHED));
    EXPECT_EQ(lb.lbHatch, static_cast<ULONG_PTR>(HS_CROSS));
}

TEST(Bitmap, SizeCanvasAndCopies)
{
    TBitmap bmp;
    EXPECT_TRUE(bmp.Empty());
    EXPECT_EQ(bmp.Handle(), nullptr);
    bmp.SetSize(8, 4);
    EXPECT_FALSE(bmp.Empty());
    ASSERT_NE(bmp.Handle(), nullptr);
    EXPECT_EQ(bmp.Canvas()->Pixel(7, 3), clWhite);  // new area takes the brush (white)
    bmp.Canvas()->SetPixel(2, 2, clRed);

    // Growing keeps the content; the new area takes the canvas's brush.
    bmp.Canvas()->Brush()->SetColor(clBlue);
    bmp.SetSize(10, 6);
    EXPECT_EQ(bmp.Canvas()->Pixel(2, 2), clRed);
    EXPECT_EQ(bmp.Canvas()->Pixel(9, 5), clBlue);

    TBitmap copy;
    copy.Assign(&bmp);
    EXPECT_EQ(copy.Width(), 10);
    EXPECT_EQ(copy.Canvas()->Pixel(2, 2), clRed);
    EXPECT_NE(copy.Handle(), bmp.Handle());
    bmp.Canvas()->SetPixel(2, 2, clLime);
    EXPECT_EQ(copy.Canvas()->Pixel(2, 2), clRed);  // an image of its own

    int changes = 0;
    copy.OnChange = [&] { ++changes; };
    copy.Assign(nullptr);
    EXPECT_TRUE(copy.Empty());
    EXPECT_EQ(changes, 1);

    TFont font;
    EXPECT_THROW(copy.Assign(&font), EConvertError);
}

TEST(Bitmap, MonochromeConversionsFollowBrushAndFontColours)
{
    TBitmap bmp;
    bmp.SetSize(3, 1);
    bmp.Canvas()->SetPixel(0, 0, clRed);
    bmp.Canvas()->SetPixel(1, 0, clLime);
    bmp.Canvas()->SetPixel(2, 0, clBlue);

    // To one bit: the brush colour becomes white, everything else black.
    bmp.Canvas()->Brush()->SetColor(clLime);
    bmp.SetMonochrome(true);
    EXPECT_TRUE(bmp.Monochrome());
    BITMAP info{};
    GetObjectW(bmp.Handle(), sizeof info, &info);
    EXPECT_EQ(info.bmBitsPixel, 1);
    EXPECT_EQ(bmp.Canvas()->Pixel(0, 0), clBlack);
    EXPECT_EQ(bmp.Canvas()->Pixel(1, 0), clWhite);
    EXPECT_EQ(bmp.Canvas()->Pixel(2, 0), clBlack);

    // Back to colour: black takes the font colour, white the brush colour.
    bmp.Canvas()->Font()->SetColor(clYellow);
    bmp.Canvas()->Brush()->SetColor(clNavy);
    bmp.SetMonochrome(false);
    EXPECT_FALSE(bmp.Monochrome());
    EXPECT_EQ(bmp.Canvas()->Pixel(0, 0), clYellow);
    EXPECT_EQ(bmp.Canvas()->Pixel(1, 0), clNavy);
}

TEST(Bitmap, MaskedDrawLeavesOutTheTransparentColour)
{
    TBitmap image;
    image.SetSize(4, 4);
    image.Canvas()->Brush()->SetColor(clFuchsia);
    image.Canvas()->FillRect({0, 0, 4, 4});
    image.Canvas()->Brush()->SetColor(clBtnShadow);
    image.Canvas()->FillRect({1, 1, 3, 3});

    Surface s(10, 10);
    {
        TCanvas canvas;
        canvas.SetHandle(s.dc());
        canvas.Brush()->SetColor(clLime);
        canvas.FillRect({0, 0, 10, 10});
        canvas.DrawMasked(2, 2, &image, clFuchsia);
    }
    EXPECT_EQ(s.at(2, 2), RGB(0, 255, 0));  // transparent: the background stays
    EXPECT_EQ(s.at(5, 5), RGB(0, 255, 0));
    EXPECT_EQ(s.at(3, 3), GetSysColor(COLOR_BTNSHADOW));
    EXPECT_EQ(s.at(4, 4), GetSysColor(COLOR_BTNSHADOW));
    EXPECT_EQ(s.at(6, 6), RGB(0, 255, 0));  // outside the image

    // A monochrome image with white as the transparent colour draws its black pixels only.
    TBitmap mono;
    mono.SetSize(2, 1);
    mono.SetMonochrome(true);
    mono.Canvas()->SetPixel(0, 0, clBlack);
    Surface m(4, 4);
    {
        TCanvas canvas;
        canvas.SetHandle(m.dc());
        canvas.Brush()->SetColor(clRed);
        canvas.FillRect({0, 0, 4, 4});
        canvas.DrawMasked(0, 0, &mono, clWhite);
    }
    EXPECT_EQ(m.at(0, 0), RGB(0, 0, 0));
    EXPECT_EQ(m.at(1, 0), RGB(255, 0, 0));
}

TEST(Bitmap, BitmapFileRoundTripAndBadData)
{
    TBitmap bmp;
    bmp.SetSize(5, 3);
    bmp.Canvas()->SetPixel(4, 2, clRed);
    bmp.Canvas()->SetPixel(0, 0, clTeal);
    TMemoryStream stream;
    bmp.SaveToStream(stream);
    EXPECT_EQ(stream.Bytes().substr(0, 2), "BM");

    TBitmap back;
    stream.SetPosition(0);
    back.LoadFromStream(stream);
    EXPECT_EQ(back.Width(), 5);
    EXPECT_EQ(back.Height(), 3);
    EXPECT_EQ(back.Canvas()->Pixel(4, 2), clRed);
    EXPECT_EQ(back.Canvas()->Pixel(0, 0), clTeal);

    // A truncated file leaves the bitmap as it was.
    std::string cut = stream.Bytes();
    cut.resize(cut.size() - 8);
    TMemoryStream truncated(cut);
    EXPECT_ANY_THROW(back.LoadFromStream(truncated));
    EXPECT_EQ(back.Width(), 5);
    TMemoryStream junk(std::string(64, 'x'));
    EXPECT_THROW(back.LoadFromStream(junk), EInvalidGraphicOperation);

    // Header, colour table or bit count claiming more than the file holds is refused, not read.
    const size_t header = sizeof(BITMAPFILEHEADER);
    for (auto [offset, value, size] : {std::tuple{header + offsetof(BITMAPINFOHEADER, biSize), 0x10000000u, 4u},
                                       std::tuple{header + offsetof(BITMAPINFOHEADER, biSize), 0x400u, 4u},
                                       std::tuple{header + offsetof(BITMAPINFOHEADER, biBitCount), 8u, 2u},
                                       std::tuple{header + offsetof(BITMAPINFOHEADER, biBitCount), 0xFFFFu, 2u}}) {
        std::string bytes = stream.Bytes();
        std::memcpy(&bytes[offset], &value, size);
        TMemoryStream bad(bytes);
        EXPECT_THROW(back.LoadFromStream(bad), EInvalidGraphicOperation) << offset << " " << value;
    }
    EXPECT_EQ(back.Canvas()->Pixel(4, 2), clRed);
}

TEST(Canvas, RawDrawingOnItsHandleUsesTheCanvasObjects)
{
    // The embossing of disabled glyphs paints the brush through a one-bit mask with a raw raster
    // operation: where the mask is white the brush shows, elsewhere the target stays.
    TBitmap mask;
    mask.SetSize(2, 1);
    mask.SetMonochrome(true);
    mask.Canvas()->SetPixel(0, 0, clBlack);  // pixel 1 stays white

    TBitmap target;
    target.SetSize(2, 1);
    target.Canvas()->Brush()->SetColor(clLime);
    target.Canvas()->FillRect({0, 0, 2, 1});
    target.Canvas()->Brush()->SetColor(clBtnShadow);
    HDC dc = target.Canvas()->Handle();
    SetTextColor(dc, RGB(0, 0, 0));
    SetBkColor(dc, RGB(255, 255, 255));
    BitBlt(dc, 0, 0, 2, 1, mask.Canvas()->Handle(), 0, 0, 0x00E20746);
    EXPECT_EQ(static_cast<COLORREF>(target.Canvas()->Pixel(0, 0)), RGB(0, 255, 0));
    EXPECT_EQ(static_cast<COLORREF>(target.Canvas()->Pixel(1, 0)), GetSysColor(COLOR_BTNSHADOW));
}
