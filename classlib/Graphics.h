#pragma once
// Colours, fonts, brushes, pens, the canvas over a device context, and bitmaps.
//
// Every GDI object here belongs to exactly one library object, is made on first use and is
// deleted when that object goes or its description changes. A canvas selects its font, brush and
// pen into its device context only when an operation needs them, and puts the context's own
// objects back before its objects are deleted or the context changes.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "Classes.h"

KERVO_EXCEPTION(EInvalidGraphicOperation, Exception)

// ---------------------------------------------------------------------------------------------
// Colours: $00BBGGRR for an RGB colour; the high bit set ($FF0000nn) names the system colour
// whose GetSysColor index is nn.

using TColor = int32_t;

constexpr TColor SystemColor(int index) { return static_cast<TColor>(0xFF000000u | static_cast<uint32_t>(index)); }

constexpr TColor clScrollBar = SystemColor(COLOR_SCROLLBAR);
constexpr TColor clBackground = SystemColor(COLOR_BACKGROUND);
constexpr TColor clActiveCaption = SystemColor(COLOR_ACTIVECAPTION);
constexpr TColor clInactiveCaption = SystemColor(COLOR_INACTIVECAPTION);
constexpr TColor clMenu = SystemColor(COLOR_MENU);
constexpr TColor clWindow = SystemColor(COLOR_WINDOW);
constexpr TColor clWindowFrame = SystemColor(COLOR_WINDOWFRAME);
constexpr TColor clMenuText = SystemColor(COLOR_MENUTEXT);
constexpr TColor clWindowText = SystemColor(COLOR_WINDOWTEXT);
constexpr TColor clCaptionText = SystemColor(COLOR_CAPTIONTEXT);
constexpr TColor clActiveBorder = SystemColor(COLOR_ACTIVEBORDER);
constexpr TColor clInactiveBorder = SystemColor(COLOR_INACTIVEBORDER);
constexpr TColor clAppWorkSpace = SystemColor(COLOR_APPWORKSPACE);
constexpr TColor clHighlight = SystemColor(COLOR_HIGHLIGHT);
constexpr TColor clHighlightText = SystemColor(COLOR_HIGHLIGHTTEXT);
constexpr TColor clBtnFace = SystemColor(COLOR_BTNFACE);
constexpr TColor clBtnShadow = SystemColor(COLOR_BTNSHADOW);
constexpr TColor clGrayText = SystemColor(COLOR_GRAYTEXT);
constexpr TColor clBtnText = SystemColor(COLOR_BTNTEXT);
constexpr TColor clInactiveCaptionText = SystemColor(COLOR_INACTIVECAPTIONTEXT);
constexpr TColor clBtnHighlight = SystemColor(COLOR_BTNHIGHLIGHT);
constexpr TColor cl3DDkShadow = SystemColor(COLOR_3DDKSHADOW);
constexpr TColor cl3DLight = SystemColor(COLOR_3DLIGHT);
constexpr TColor clInfoText = SystemColor(COLOR_INFOTEXT);
constexpr TColor clInfoBk = SystemColor(COLOR_INFOBK);

constexpr TColor clBlack = 0x000000;
constexpr TColor clMaroon = 0x000080;
constexpr TColor clGreen = 0x008000;
constexpr TColor clOlive = 0x008080;
constexpr TColor clNavy = 0x800000;
constexpr TColor clPurple = 0x800080;
constexpr TColor clTeal = 0x808000;
constexpr TColor clGray = 0x808080;
constexpr TColor clSilver = 0xC0C0C0;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clLime = 0x00FF00;
constexpr TColor clYellow = 0x00FFFF;
constexpr TColor clBlue = 0xFF0000;
constexpr TColor clFuchsia = 0xFF00FF;
constexpr TColor clAqua = 0xFFFF00;
constexpr TColor clWhite = 0xFFFFFF;
// No colour at all, and "whatever the owner uses"; neither is a system colour.
constexpr TColor clNone = 0x1FFFFFFF;
constexpr TColor clDefault = 0x20000000;

constexpr bool IsSystemColor(TColor color) { return color < 0; }

// The RGB value of a colour; a system colour through the current colour scheme.
COLORREF ColorToRGB(TColor color);

// The names by which form resources write colours ("clBtnFace"), for colour properties.
const TIdentMap& ColorIdents();
bool ColorToIdent(TColor color, std::string& ident);
bool IdentToColor(const std::string& ident, TColor& color);

// ---------------------------------------------------------------------------------------------
// Font, brush and pen: descriptions of a GDI object that make the object on demand.

class TGraphicsObject : public TPersistent {
    KERVO_CLASS(TGraphicsObject, TPersistent)
public:
    // Told after every change of the description. The previous GDI object is deleted only after
    // this returns, so a receiver that still has it selected somewhere can put it aside first.
    std::function<void()> OnChange;

protected:
    // objectChanged: the GDI object itself must be made anew.
    void Changed(bool objectChanged = true);
    // Takes the current GDI object out of the description; Changed deletes it.
    virtual HGDIOBJ DetachHandle() = 0;
};

enum class TFontStyle { fsBold, fsItalic, fsUnderline, fsStrikeOut };
using TFontStyles = TSmallSet<TFontStyle>;
using TFontCharset = uint8_t;

class TFont : public TGraphicsObject {
    KERVO_CLASS(TFont, TGraphicsObject)
public:
    TFont();
    ~TFont() override;

    const std::string& Name() const { return name_; }
    void SetName(const std::string& name);
    // Height in pixels as GDI takes it (negative: the character height without leading).
    int Height() const { return height_; }
    void SetHeight(int height);
    // Size in points at the screen's resolution; stored as Height.
    int Size() const;
    void SetSize(int size);
    TFontCharset Charset() const { return charset_; }
    void SetCharset(TFontCharset charset);
    TColor Color() const { return color_; }
    void SetColor(TColor color);
    TFontStyles Style() const { return style_; }
    void SetStyle(TFontStyles style);

    // The font object, made on first use; it stays valid until the next change or destruction.
    // Null while GDI cannot make one (its objects have run out): the font, the brush and the pen
    // are made when something paints or measures, which then goes on without them, as a canvas
    // does, rather than raise at every invalidation.
    HFONT Handle();

    void CopyFrom(TPersistent* source) override;

    // Pixels per logical inch of the screen, which relates Size and Height.
    static int PixelsPerInch();

protected:
    HGDIOBJ DetachHandle() override;

private:
    std::string name_;
    int height_;
    TFontCharset charset_ = DEFAULT_CHARSET;
    TColor color_ = clWindowText;
    TFontStyles style_;
    HFONT handle_ = nullptr;
};

enum class TBrushStyle { bsSolid, bsClear, bsHorizontal, bsVertical, bsFDiagonal, bsBDiagonal, bsCross, bsDiagCross };

class TBrush : public TGraphicsObject {
    KERVO_CLASS(TBrush, TGraphicsObject)
public:
    TBrush() = default;
    ~TBrush() override;

    TColor Color() const { return color_; }
    void SetColor(TColor color);
    TBrushStyle Style() const { return style_; }
    void SetStyle(TBrushStyle style);

    // A clear brush is the stock hollow brush. Null as TFont::Handle.
    HBRUSH Handle();

    void CopyFrom(TPersistent* source) override;

protected:
    HGDIOBJ DetachHandle() override;

private:
    TColor color_ = clWhite;
    TBrushStyle style_ = TBrushStyle::bsSolid;
    HBRUSH handle_ = nullptr;
};

enum class TPenStyle { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame };

class TPen : public TGraphicsObject {
    KERVO_CLASS(TPen, TGraphicsObject)
public:
    TPen() = default;
    ~TPen() override;

    TColor Color() const { return color_; }
    void SetColor(TColor color);
    int Width() const { return width_; }
    void SetWidth(int width);
    TPenStyle Style() const { return style_; }
    void SetStyle(TPenStyle style);

    // Null as TFont::Handle.
    HPEN Handle();

    void CopyFrom(TPersistent* source) override;

protected:
    HGDIOBJ DetachHandle() override;

private:
    TColor color_ = clBlack;
    int width_ = 1;
    TPenStyle style_ = TPenStyle::psSolid;
    HPEN handle_ = nullptr;
};

// ---------------------------------------------------------------------------------------------
// Canvas

class TBitmap;
class TStream;

enum class TCanvasState { csHandleValid, csFontValid, csPenValid, csBrushValid };
using TCanvasStates = TSmallSet<TCanvasState>;

enum class TCanvasOrientation { coLeftToRight, coRightToLeft };

class TCanvas : public TPersistent {
    KERVO_CLASS(TCanvas, TPersistent)
public:
    TCanvas();
    ~TCanvas() override;

    // The device context with the canvas's font, pen and brush selected (so that raw GDI calls
    // on it draw with them): a canvas without one asks CreateHandle, and raises
    // EInvalidGraphicOperation when that gives none. Setting another context first puts the
    // objects of the previous one back; the canvas never releases a context it was given.
    HDC Handle();
    void SetHandle(HDC dc);
    bool HandleAllocated() const { return handle_ != nullptr; }

    TFont* Font() { return &font_; }
    TBrush* Brush() { return &brush_; }
    TPen* Pen() { return &pen_; }
    void SetFont(TFont* font) { font_.Assign(font); }
    void SetBrush(TBrush* brush) { brush_.Assign(brush); }
    void SetPen(TPen* pen) { pen_.Assign(pen); }

    // ExtTextOut options for text output (ETO_OPAQUE, ETO_CLIPPED, ETO_RTLREADING).
    int TextFlags() const { return textFlags_; }
    void SetTextFlags(int flags) { textFlags_ = flags; }
    // Right to left when the text flags ask for right-to-left reading.
    TCanvasOrientation Orientation() const;
    // Raster operation of Draw and CopyRect.
    DWORD CopyMode() const { return copyMode_; }
    void SetCopyMode(DWORD mode) { copyMode_ = mode; }

    POINT PenPos();
    void SetPenPos(POINT p) { MoveTo(p.x, p.y); }

    // Makes sure the context exists and the named objects are selected into it (with the text
    // colour of the font and the background colour and mode of the brush).
    void RequiredState(TCanvasStates states);

    // Change notifications around every drawing operation.
    std::function<void()> OnChanging;
    std::function<void()> OnChange;
    void Changing();
    void Changed();

    // Drawing. Rectangles are Left, Top, Right, Bottom with Right and Bottom exclusive.
    void FillRect(const RECT& r);                  // the brush; nothing with a clear brush
    void FrameRect(const RECT& r);                 // one pixel in the brush
    void Rectangle(int left, int top, int right, int bottom);  // pen outline, brush inside
    void Rectangle(const RECT& r) { Rectangle(r.left, r.top, r.right, r.bottom); }
    void Polygon(const std::vector<POINT>& points);
    void MoveTo(int x, int y);
    void LineTo(int x, int y);
    TColor Pixel(int x, int y);                    // -1 (CLR_INVALID) outside the surface
    void SetPixel(int x, int y, TColor color);

    // Text in the system ANSI code page, in the font, over the brush (clear: transparent).
    // Right to left: the text starts its own width plus one to the right of x. The pen moves to
    // the end of the text.
    void TextOut(int x, int y, const std::string& text);
    // The same, clipped to the rectangle (and the rectangle filled with a solid brush).
    void TextRect(const RECT& r, int x, int y, const std::string& text);
    // DrawText with the given DT_ format; DT_CALCRECT measures into r. Answers the text height.
    int TextRect(RECT& r, const std::string& text, UINT format);
    SIZE TextExtent(const std::string& text);
    int TextWidth(const std::string& text) { return TextExtent(text).cx; }
    int TextHeight(const std::string& text) { return TextExtent(text).cy; }

    // Copies a rectangle of another canvas (stretched to fit) with the copy mode.
    void CopyRect(const RECT& dest, TCanvas* source, const RECT& sourceRect);
    // The whole bitmap at (x, y) with the copy mode; a monochrome bitmap in black and white.
    void Draw(int x, int y, TBitmap* bitmap);
    // The whole bitmap at (x, y), leaving out every pixel of the transparent colour.
    void DrawMasked(int x, int y, TBitmap* bitmap, TColor transparentColor);

protected:
    // Makes a context on demand; the base has none to make.
    virtual void CreateHandle() {}
    // The context as it stands, without selecting anything.
    HDC RawHandle() const { return handle_; }
    // Puts the context's own objects back in place of ours.
    void DeselectHandles();

private:
    void SelectFont();
    void SelectPen();
    void SelectBrush();
    void FontChanged();
    void PenChanged();
    void BrushChanged();

    HDC handle_ = nullptr;
    TCanvasStates state_;
    TFont font_;
    TBrush brush_;
    TPen pen_;
    int textFlags_ = 0;
    DWORD copyMode_ = SRCCOPY;
    // The context's objects that ours replaced, restored on deselection.
    HGDIOBJ oldFont_ = nullptr;
    HGDIOBJ oldPen_ = nullptr;
    HGDIOBJ oldBrush_ = nullptr;
};

// ---------------------------------------------------------------------------------------------
// Bitmap: a colour image of 32 bits per pixel, or a monochrome image of one bit.

class TBitmap : public TPersistent {
    KERVO_CLASS(TBitmap, TPersistent)
public:
    TBitmap();
    ~TBitmap() override;

    int Width() const { return width_; }
    int Height() const { return height_; }
    void SetWidth(int width) { SetSize(width, height_); }
    void SetHeight(int height) { SetSize(width_, height); }
    // The content is kept where the new size covers it; new area takes the canvas's brush.
    void SetSize(int width, int height);
    bool Empty() const { return width_ <= 0 || height_ <= 0; }

    // Converting to monochrome: pixels of the canvas's brush colour become white, all others
    // black. Converting to colour: black pixels take the canvas's font colour, white pixels the
    // brush colour.
    bool Monochrome() const { return monochrome_; }
    void SetMonochrome(bool monochrome);

    // The image's own device context, with the image selected.
    TCanvas* Canvas();
    // The bitmap object (null while empty); it stays the bitmap's own.
    HBITMAP Handle() const { return handle_; }

    // A copy of another bitmap's image (null: an empty bitmap).
    void CopyFrom(TPersistent* source) override;
    // A bitmap file ("BM" header) in and out; form resources keep glyphs this way.
    void LoadFromStream(TStream& stream);
    void SaveToStream(TStream& stream);
    void DefineStreamedProperties(TFiler& filer) override;

    std::function<void()> OnChange;

private:
    class TBitmapCanvas;
    friend class TBitmapCanvas;

    void Replace(HBITMAP handle, int width, int height, bool monochrome);
    HBITMAP NewImage(int width, int height, bool monochrome) const;
    void Changed();

    HBITMAP handle_ = nullptr;
    int width_ = 0;
    int height_ = 0;
    bool monochrome_ = false;
    TObjectPtr<TCanvas> canvas_;
};
