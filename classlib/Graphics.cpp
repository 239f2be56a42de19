#include "Graphics.h"

#include <cstring>
#include <utility>

#include "Filer.h"
#include "GdiScopes.h"
#include "Streams.h"

namespace {

const std::vector<std::string> kFontStyleNames = {"fsBold", "fsItalic", "fsUnderline", "fsStrikeOut"};
const std::vector<std::string> kBrushStyleNames = {"bsSolid",     "bsClear",     "bsHorizontal", "bsVertical",
                                                   "bsFDiagonal", "bsBDiagonal", "bsCross",      "bsDiagCross"};
const std::vector<std::string> kPenStyleNames = {"psSolid",      "psDash",  "psDot",        "psDashDot",
                                                 "psDashDotDot", "psClear", "psInsideFrame"};

}  // namespace

// ---------------------------------------------------------------------------------------------
// Colours

COLORREF ColorToRGB(TColor color)
{
    if (IsSystemColor(color)) return GetSysColor(static_cast<int>(color & 0xFF));
    return static_cast<COLORREF>(color);
}

const TIdentMap& ColorIdents()
{
    static const TIdentMap map = {
        {clBlack, "clBlack"},
        {clMaroon, "clMaroon"},
        {clGreen, "clGreen"},
        {clOlive, "clOlive"},
        {clNavy, "clNavy"},
        {clPurple, "clPurple"},
        {clTeal, "clTeal"},
        {clGray, "clGray"},
        {clSilver, "clSilver"},
        {clRed, "clRed"},
        {clLime, "clLime"},
        {clYellow, "clYellow"},
        {clBlue, "clBlue"},
        {clFuchsia, "clFuchsia"},
        {clAqua, "clAqua"},
        {clWhite, "clWhite"},
        {clScrollBar, "clScrollBar"},
        {clBackground, "clBackground"},
        {clActiveCaption, "clActiveCaption"},
        {clInactiveCaption, "clInactiveCaption"},
        {clMenu, "clMenu"},
        {clWindow, "clWindow"},
        {clWindowFrame, "clWindowFrame"},
        {clMenuText, "clMenuText"},
        {clWindowText, "clWindowText"},
        {clCaptionText, "clCaptionText"},
        {clActiveBorder, "clActiveBorder"},
        {clInactiveBorder, "clInactiveBorder"},
        {clAppWorkSpace, "clAppWorkSpace"},
        {clHighlight, "clHighlight"},
        {clHighlightText, "clHighlightText"},
        {clBtnFace, "clBtnFace"},
        {clBtnShadow, "clBtnShadow"},
        {clGrayText, "clGrayText"},
        {clBtnText, "clBtnText"},
        {clInactiveCaptionText, "clInactiveCaptionText"},
        {clBtnHighlight, "clBtnHighlight"},
        {cl3DDkShadow, "cl3DDkShadow"},
        {cl3DLight, "cl3DLight"},
        {clInfoText, "clInfoText"},
        {clInfoBk, "clInfoBk"},
        {clNone, "clNone"},
        {clDefault, "clDefault"},
    };
    return map;
}

bool ColorToIdent(TColor color, std::string& ident)
{
    for (const TIdentMapEntry& e : ColorIdents()) {
        if (e.Value == color) {
            ident = e.Name;
            return true;
        }
    }
    return false;
}

bool IdentToColor(const std::string& ident, TColor& color)
{
    for (const TIdentMapEntry& e : ColorIdents()) {
        if (SameIdent(ident, e.Name)) {
            color = e.Value;
            return true;
        }
    }
    return false;
}

// ---------------------------------------------------------------------------------------------
// Graphics objects

KERVO_CLASS_RECORD(TGraphicsObject) {}

void TGraphicsObject::Changed(bool objectChanged)
{
    // The replaced object goes once its users have heard (a canvas selects it out), also when
    // one of them raises.
    const TGdiObject<HGDIOBJ> old(objectChanged ? DetachHandle() : nullptr);
    if (OnChange) OnChange();
}

// --- Font

KERVO_CLASS_RECORD(TFont)
{
    b.Integer("Charset", &TFont::Charset, &TFont::SetCharset);
    b.Integer("Color", &TFont::Color, &TFont::SetColor).Idents(&ColorIdents());
    b.Integer("Height", &TFont::Height, &TFont::SetHeight);
    b.String("Name", &TFont::Name, &TFont::SetName);
    b.Integer("Size", &TFont::Size, &TFont::SetSize).Stored(false);
    b.Set("Style", &TFont::Style, &TFont::SetStyle, kFontStyleNames);
}

TFont::TFont() : name_(AnsiFromWide(L"ＭＳ Ｐゴシック")), height_(-MulDiv(9, PixelsPerInch(), 72)) {}

TFont::~TFont()
{
    if (handle_) DeleteObject(handle_);
}

int TFont::PixelsPerInch()
{
    static const int ppi = [] {
        const TWindowDC screen(nullptr);
        const int n = screen.Get() ? GetDeviceCaps(screen.Get(), LOGPIXELSY) : 0;
        return n > 0 ? n : 96;
    }();
    return ppi;
}

void TFont::SetName(const std::string& name)
{
    if (name == name_) return;
    name_ = name;
    Changed();
}

void TFont::SetHeight(int height)
{
    if (height == height_) return;
    height_ = height;
    Changed();
}

int TFont::Size() const { return -MulDiv(height_, 72, PixelsPerInch()); }

void TFont::SetSize(int size) { SetHeight(-MulDiv(size, PixelsPerInch(), 72)); }

void TFont::SetCharset(TFontCharset charset)
{
    if (charset == charset_) return;
    charset_ = charset;
    Changed();
}

void TFont::SetColor(TColor color)
{
    if (color == color_) return;
    color_ = color;
    // The colour is the text colour of a canvas, not part of the font object.
    Changed(false);
}

void TFont::SetStyle(TFontStyles style)
{
    if (style == style_) return;
    style_ = style;
    Changed();
}

HFONT TFont::Handle()
{
    if (!handle_) {
        LOGFONTW lf{};
        lf.lfHeight = height_;
        lf.lfWeight = style_.Contains(TFontStyle::fsBold) ? FW_BOLD : FW_NORMAL;
        lf.lfItalic = style_.Contains(TFontStyle::fsItalic);
        lf.lfUnderline = style_.Contains(TFontStyle::fsUnderline);
        lf.lfStrikeOut = style_.Contains(TFontStyle::fsStrikeOut);
        lf.lfCharSet = charset_;
        lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
        lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
        lf.lfQuality = DEFAULT_QUALITY;
        lf.lfPitchAndFamily = DEFAULT_PITCH;
        const std::wstring face = WideFromAnsi(name_);
        wcsncpy(lf.lfFaceName, face.c_str(), LF_FACESIZE - 1);
        handle_ = CreateFontIndirectW(&lf);
    }
    return handle_;
}

HGDIOBJ TFont::DetachHandle() { return std::exchange(handle_, nullptr); }

void TFont::CopyFrom(TPersistent* source)
{
    if (!IsInstance<TFont>(source)) {
        TGraphicsObject::CopyFrom(source);
        return;
    }
    auto* f = static_cast<TFont*>(source);
    if (f == this) return;
    name_ = f->name_;
    height_ = f->height_;
    charset_ = f->charset_;
    color_ = f->color_;
    style_ = f->style_;
    Changed();
}

// --- Brush

KERVO_CLASS_RECORD(TBrush)
{
    b.Integer("Color", &TBrush::Color, &TBrush::SetColor).Idents(&ColorIdents()).Default(clWhite);
    b.Enum("Style", &TBrush::Style, &TBrush::SetStyle, kBrushStyleNames).Default(TBrushStyle::bsSolid);
}

TBrush::~TBrush()
{
    if (handle_) DeleteObject(handle_);
}

void TBrush::SetColor(TColor color)
{
    if (color == color_) return;
    color_ = color;
    // Giving a clear brush a colour makes it solid again.
    if (style_ == TBrushStyle::bsClear) style_ = TBrushStyle::bsSolid;
    Changed();
}

void TBrush::SetStyle(TBrushStyle style)
{
    if (style == style_) return;
    style_ = style;
    Changed();
}

HBRUSH TBrush::Handle()
{
    if (!handle_) {
        LOGBRUSH lb{};
        lb.lbColor = ColorToRGB(color_);
        switch (style_) {
        case TBrushStyle::bsSolid: lb.lbStyle = BS_SOLID; break;
        case TBrushStyle::bsClear: lb.lbStyle = BS_HOLLOW; break;
        default:
            lb.lbStyle = BS_HATCHED;
            lb.lbHatch = static_cast<int>(style_) - static_cast<int>(TBrushStyle::bsHorizontal) + HS_HORIZONTAL;
            break;
        }
        handle_ = CreateBrushIndirect(&lb);
    }
    return handle_;
}

HGDIOBJ TBrush::DetachHandle() { return std::exchange(handle_, nullptr); }

void TBrush::CopyFrom(TPersistent* source)
{
    if (!IsInstance<TBrush>(source)) {
        TGraphicsObject::CopyFrom(source);
        return;
    }
    auto* b = static_cast<TBrush*>(source);
    if (b == this) return;
    color_ = b->color_;
    style_ = b->style_;
    Changed();
}

// --- Pen

KERVO_CLASS_RECORD(TPen)
{
    b.Integer("Color", &TPen::Color, &TPen::SetColor).Idents(&ColorIdents()).Default(clBlack);
    b.Enum("Style", &TPen::Style, &TPen::SetStyle, kPenStyleNames).Default(TPenStyle::psSolid);
    b.Integer("Width", &TPen::Width, &TPen::SetWidth).Default(1);
}

TPen::~TPen()
{
    if (handle_) DeleteObject(handle_);
}

void TPen::SetColor(TColor color)
{
    if (color == color_) return;
    color_ = color;
    Changed();
}

void TPen::SetWidth(int width)
{
    if (width < 0 || width == width_) return;
    width_ = width;
    Changed();
}

void TPen::SetStyle(TPenStyle style)
{
    if (style == style_) return;
    style_ = style;
    Changed();
}

HPEN TPen::Handle()
{
    if (!handle_) {
        static const int styles[] = {PS_SOLID, PS_DASH, PS_DOT, PS_DASHDOT, PS_DASHDOTDOT, PS_NULL, PS_INSIDEFRAME};
        handle_ = CreatePen(styles[static_cast<int>(style_)], width_, ColorToRGB(color_));
    }
    return handle_;
}

HGDIOBJ TPen::DetachHandle() { return std::exchange(handle_, nullptr); }

void TPen::CopyFrom(TPersistent* source)
{
    if (!IsInstance<TPen>(source)) {
        TGraphicsObject::CopyFrom(source);
        return;
    }
    auto* p = static_cast<TPen*>(source);
    if (p == this) return;
    color_ = p->color_;
    width_ = p->width_;
    style_ = p->style_;
    Changed();
}

// ---------------------------------------------------------------------------------------------
// Canvas

KERVO_CLASS_RECORD(TCanvas) {}

TCanvas::TCanvas()
{
    font_.OnChange = [this] { FontChanged(); };
    brush_.OnChange = [this] { BrushChanged(); };
    pen_.OnChange = [this] { PenChanged(); };
}

TCanvas::~TCanvas()
{
    // Our objects leave the context before the members that own them are destroyed.
    DeselectHandles();
}

HDC TCanvas::Handle()
{
    RequiredState({TCanvasState::csHandleValid, TCanvasState::csFontValid, TCanvasState::csPenValid,
                   TCanvasState::csBrushValid});
    return handle_;
}

void TCanvas::SetHandle(HDC dc)
{
    if (dc == handle_) return;
    DeselectHandles();
    handle_ = dc;
    state_ = dc ? TCanvasStates{TCanvasState::csHandleValid} : TCanvasStates{};
}

void TCanvas::DeselectHandles()
{
    if (handle_) {
        if (oldFont_) SelectObject(handle_, oldFont_);
        if (oldPen_) SelectObject(handle_, oldPen_);
        if (oldBrush_) SelectObject(handle_, oldBrush_);
    }
    oldFont_ = oldPen_ = oldBrush_ = nullptr;
    state_.Exclude(TCanvasState::csFontValid);
    state_.Exclude(TCanvasState::csPenValid);
    state_.Exclude(TCanvasState::csBrushValid);
}

TCanvasOrientation TCanvas::Orientation() const
{
    return (textFlags_ & ETO_RTLREADING) ? TCanvasOrientation::coRightToLeft : TCanvasOrientation::coLeftToRight;
}

void TCanvas::RequiredState(TCanvasStates states)
{
    if (!handle_) {
        CreateHandle();
        if (!handle_) throw EInvalidGraphicOperation(std::wstring(L"キャンバスに描画できません"));
        state_.Include(TCanvasState::csHandleValid);
    }
    if (states.Contains(TCanvasState::csFontValid) && !state_.Contains(TCanvasState::csFontValid)) SelectFont();
    if (states.Contains(TCanvasState::csPenValid) && !state_.Contains(TCanvasState::csPenValid)) SelectPen();
    if (states.Contains(TCanvasState::csBrushValid) && !state_.Contains(TCanvasState::csBrushValid)) SelectBrush();
}

void TCanvas::SelectFont()
{
    HGDIOBJ previous = SelectObject(handle_, font_.Handle());
    if (!oldFont_) oldFont_ = previous;
    SetTextColor(handle_, ColorToRGB(font_.Color()));
    state_.Include(TCanvasState::csFontValid);
}

void TCanvas::SelectPen()
{
    HGDIOBJ previous = SelectObject(handle_, pen_.Handle());
    if (!oldPen_) oldPen_ = previous;
    state_.Include(TCanvasState::csPenValid);
}

void TCanvas::SelectBrush()
{
    HBRUSH brush = brush_.Handle();
    UnrealizeObject(brush);
    HGDIOBJ previous = SelectObject(handle_, brush);
    if (!oldBrush_) oldBrush_ = previous;
    if (brush_.Style() == TBrushStyle::bsSolid) {
        SetBkColor(handle_, ColorToRGB(brush_.Color()));
        SetBkMode(handle_, OPAQUE);
    } else {
        SetBkColor(handle_, ~ColorToRGB(brush_.Color()) & 0xFFFFFF);
        SetBkMode(handle_, TRANSPARENT);
    }
    state_.Include(TCanvasState::csBrushValid);
}

// The object about to be deleted leaves the context at once; the next operation selects the new.
void TCanvas::FontChanged()
{
    if (handle_ && state_.Contains(TCanvasState::csFontValid)) {
        SelectObject(handle_, oldFont_ ? oldFont_ : GetStockObject(SYSTEM_FONT));
        oldFont_ = nullptr;
        state_.Exclude(TCanvasState::csFontValid);
    }
}

void TCanvas::PenChanged()
{
    if (handle_ && state_.Contains(TCanvasState::csPenValid)) {
        SelectObject(handle_, oldPen_ ? oldPen_ : GetStockObject(BLACK_PEN));
        oldPen_ = nullptr;
        state_.Exclude(TCanvasState::csPenValid);
    }
}

void TCanvas::BrushChanged()
{
    if (handle_ && state_.Contains(TCanvasState::csBrushValid)) {
        SelectObject(handle_, oldBrush_ ? oldBrush_ : GetStockObject(HOLLOW_BRUSH));
        oldBrush_ = nullptr;
        state_.Exclude(TCanvasState::csBrushValid);
    }
}

void TCanvas::Changing()
{
    if (OnChanging) OnChanging();
}

void TCanvas::Changed()
{
    if (OnChange) OnChange();
}

POINT TCanvas::PenPos()
{
    POINT p{0, 0};
    RequiredState({TCanvasState::csHandleValid});
    GetCurrentPositionEx(handle_, &p);
    return p;
}

void TCanvas::FillRect(const RECT& r)
{
    if (brush_.Style() == TBrushStyle::bsClear) return;
    Changing();
    RequiredState({TCanvasState::csHandleValid, TCanvasState::csBrushValid});
    ::FillRect(handle_, &r, brush_.Handle());
    Changed();
}

void TCanvas::FrameRect(const RECT& r)
{
    Changing();
    RequiredState({TCanvasState::csHandleValid, TCanvasState::csBrushValid});
    ::FrameRect(handle_, &r, brush_.Handle());
    Changed();
}

void TCanvas::Rectangle(int left, int top, int right, int bottom)
{
    Changing();
    RequiredState({TCanvasState::csHandleValid, TCanvasState::csPenValid, TCanvasState::csBrushValid});
    ::Rectangle(handle_, left, top, right, bottom);
    Changed();
}

void TCanvas::Polygon(const std::vector<POINT>& points)
{
    if (points.empty()) return;
    Changing();
    RequiredState({TCanvasState::csHandleValid, TCanvasState::csPenValid, TCanvasState::csBrushValid});
    ::Polygon(handle_, points.data(), static_cast<int>(points.size()));
    Changed();
}

void TCanvas::MoveTo(int x, int y)
{
    RequiredState({TCanvasState::csHandleValid});
    MoveToEx(handle_, x, y, nullptr);
}

void TCanvas::LineTo(int x, int y)
{
    Changing();
    RequiredState({TCanvasState::csHandleValid, TCanvasState::csPenValid, TCanvasState::csBrushValid});
    ::LineTo(handle_, x, y);
    Changed();
}

TColor TCanvas::Pixel(int x, int y)
{
    RequiredState({TCanvasState::csHandleValid});
    return static_cast<TColor>(GetPixel(handle_, x, y));
}

void TCanvas::SetPixel(int x, int y, TColor color)
{
    Changing();
    RequiredState({TCanvasState::csHandleValid, TCanvasState::csPenValid});
    ::SetPixel(handle_, x, y, ColorToRGB(color));
    Changed();
}

void TCanvas::TextOut(int x, int y, const std::string& text)
{
    Changing();
    RequiredState({TCanvasState::csHandleValid, TCanvasState::csFontValid, TCanvasState::csBrushValid});
    if (Orientation() == TCanvasOrientation::coRightToLeft) x += TextWidth(text) + 1;
    ExtTextOutA(handle_, x, y, static_cast<UINT>(textFlags_), nullptr, text.data(), static_cast<UINT>(text.size()),
                nullptr);
    MoveTo(x + TextWidth(text), y);
    Changed();
}

void TCanvas::TextRect(const RECT& r, int x, int y, const std::string& text)
{
    Changing();
    RequiredState({TCanvasState::csHandleValid, TCanvasState::csFontValid, TCanvasState::csBrushValid});
    UINT options = static_cast<UINT>(textFlags_) | ETO_CLIPPED;
    if (brush_.Style() != TBrushStyle::bsClear) options |= ETO_OPAQUE;
    if (Orientation() == TCanvasOrientation::coRightToLeft) x += TextWidth(text) + 1;
    ExtTextOutA(handle_, x, y, options, &r, text.data(), static_cast<UINT>(text.size()), nullptr);
    Changed();
}

int TCanvas::TextRect(RECT& r, const std::string& text, UINT format)
{
    Changing();
    RequiredState({TCanvasState::csHandleValid, TCanvasState::csFontValid, TCanvasState::csBrushValid});
    if (Orientation() == TCanvasOrientation::coRightToLeft) format |= DT_RTLREADING;
    const int height = ::DrawTextA(handle_, text.data(), static_cast<int>(text.size()), &r, format);
    Changed();
    return height;
}

SIZE TCanvas::TextExtent(const std::string& text)
{
    SIZE size{0, 0};
    RequiredState({TCanvasState::csHandleValid, TCanvasState::csFontValid});
    GetTextExtentPoint32A(handle_, text.data(), static_cast<int>(text.size()), &size);
    return size;
}

void TCanvas::CopyRect(const RECT& dest, TCanvas* source, const RECT& sourceRect)
{
    if (!source) return;
    Changing();
    RequiredState({TCanvasState::csHandleValid, TCanvasState::csFontValid, TCanvasState::csBrushValid});
    source->RequiredState({TCanvasState::csHandleValid, TCanvasState::csFontValid, TCanvasState::csBrushValid});
    StretchBlt(handle_, dest.left, dest.top, dest.right - dest.left, dest.bottom - dest.top, source->handle_,
               sourceRect.left, sourceRect.top, sourceRect.right - sourceRect.left, sourceRect.bottom - sourceRect.top,
               copyMode_);
    Changed();
}

void TCanvas::Draw(int x, int y, TBitmap* bitmap)
{
    if (!bitmap || bitmap->Empty()) return;
    Changing();
    RequiredState({TCanvasState::csHandleValid});
    HDC source = bitmap->Canvas()->Handle();
    if (bitmap->Monochrome()) {
        TDCColors colors(handle_, RGB(0, 0, 0), RGB(255, 255, 255));
        BitBlt(handle_, x, y, bitmap->Width(), bitmap->Height(), source, 0, 0, copyMode_);
    } else {
        BitBlt(handle_, x, y, bitmap->Width(), bitmap->Height(), source, 0, 0, copyMode_);
    }
    Changed();
}

void TCanvas::DrawMasked(int x, int y, TBitmap* bitmap, TColor transparentColor)
{
    if (!bitmap || bitmap->Empty()) return;
    Changing();
    RequiredState({TCanvasState::csHandleValid});
    const int w = bitmap->Width();
    const int h = bitmap->Height();
    HDC source = bitmap->Canvas()->Handle();

    // The mask: white where the image has the transparent colour, black elsewhere.
    TGdiObject<HBITMAP> mask(CreateBitmap(w, h, 1, 1, nullptr));
    if (!mask.Get()) RaiseLastOSError();
    TMemoryDC maskDC(mask.Get());
    if (bitmap->Monochrome()) {
        const bool whiteIsClear = (ColorToRGB(transparentColor) & 0xFFFFFF) == 0xFFFFFF;
        BitBlt(maskDC.Get(), 0, 0, w, h, source, 0, 0, whiteIsClear ? SRCCOPY : NOTSRCCOPY);
    } else {
        const TSavedDC sourceState(source);
        SetBkColor(source, ColorToRGB(transparentColor));
        BitBlt(maskDC.Get(), 0, 0, w, h, source, 0, 0, SRCCOPY);
    }

    // dest ^ image, cleared where opaque, ^ image again: the image where opaque, dest elsewhere.
    TDCColors colors(handle_, RGB(0, 0, 0), RGB(255, 255, 255));
    BitBlt(handle_, x, y, w, h, source, 0, 0, SRCINVERT);
    BitBlt(handle_, x, y, w, h, maskDC.Get(), 0, 0, SRCAND);
    BitBlt(handle_, x, y, w, h, source, 0, 0, SRCINVERT);
    Changed();
}

// ---------------------------------------------------------------------------------------------
// Bitmap

// The bitmap's canvas: a memory context made on demand with the image selected, given up
// whenever the image object is replaced.
class TBitmap::TBitmapCanvas : public TCanvas {
public:
    explicit TBitmapCanvas(TBitmap* bitmap) : bitmap_(bitmap) {}
    ~TBitmapCanvas() override { FreeContext(); }

    void FreeContext()
    {
        HDC dc = RawHandle();
        if (!dc) return;
        SetHandle(nullptr);
        if (oldBitmap_) SelectObject(dc, oldBitmap_);
        oldBitmap_ = nullptr;
        DeleteDC(dc);
    }

protected:
    void CreateHandle() override
    {
        HDC dc = CreateCompatibleDC(nullptr);
        if (!dc) RaiseLastOSError();
        if (bitmap_->handle_) oldBitmap_ = SelectObject(dc, bitmap_->handle_);
        SetHandle(dc);
    }

private:
    TBitmap* bitmap_;
    HGDIOBJ oldBitmap_ = nullptr;
};

KERVO_CLASS_RECORD(TBitmap) {}

TBitmap::TBitmap() = default;

TBitmap::~TBitmap()
{
    canvas_.reset();  // its context lets go of the image, which only then can be deleted
    if (handle_) DeleteObject(handle_);
}

TCanvas* TBitmap::Canvas()
{
    if (!canvas_) {
        canvas_.reset(new TBitmapCanvas(this));
        canvas_->OnChange = [this] { Changed(); };
    }
    return canvas_.get();
}

HBITMAP TBitmap::NewImage(int width, int height, bool monochrome) const
{
    if (width <= 0 || height <= 0) return nullptr;
    HBITMAP image = nullptr;
    if (monochrome) {
        image = CreateBitmap(width, height, 1, 1, nullptr);
    } else {
        BITMAPINFO bi{};
        bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        bi.bmiHeader.biWidth = width;
        bi.bmiHeader.biHeight = height;
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        bi.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        image = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    }
    if (!image) RaiseLastOSError();
    return image;
}

void TBitmap::Replace(HBITMAP handle, int width, int height, bool monochrome)
{
    if (canvas_) static_cast<TBitmapCanvas*>(canvas_.get())->FreeContext();
    if (handle_) DeleteObject(handle_);
    handle_ = handle;
    width_ = handle ? width : (width > 0 ? width : 0);
    height_ = handle ? height : (height > 0 ? height : 0);
    monochrome_ = monochrome;
}

void TBitmap::Changed()
{
    if (OnChange) OnChange();
}

void TBitmap::SetSize(int width, int height)
{
    if (width < 0) width = 0;
    if (height < 0) height = 0;
    if (width == width_ && height == height_) return;
    TGdiObject<HBITMAP> image(NewImage(width, height, monochrome_));
    if (image.Get()) {
        TMemoryDC dc(image.Get());
        RECT all{0, 0, width, height};
        ::FillRect(dc.Get(), &all, Canvas()->Brush()->Handle());
        if (handle_) BitBlt(dc.Get(), 0, 0, width_, height_, Canvas()->Handle(), 0, 0, SRCCOPY);
    }
    Replace(image.Release(), width, height, monochrome_);
    Changed();
}

void TBitmap::SetMonochrome(bool monochrome)
{
    if (monochrome == monochrome_) return;
    if (Empty()) {
        monochrome_ = monochrome;
        return;
    }
    TGdiObject<HBITMAP> image(NewImage(width_, height_, monochrome));
    {
        TMemoryDC dc(image.Get());
        TCanvas* canvas = Canvas();
        const COLORREF fontColor = ColorToRGB(canvas->Font()->Color());
        const COLORREF brushColor = ColorToRGB(canvas->Brush()->Color());
        HDC source = canvas->Handle();
        if (monochrome) {
            // Colour to one bit: the source's background colour gives white.
            const TSavedDC sourceState(source);
            SetBkColor(source, brushColor);
            BitBlt(dc.Get(), 0, 0, width_, height_, source, 0, 0, SRCCOPY);
        } else {
            // One bit to colour: black takes the target's text colour, white its background.
            TDCColors colors(dc.Get(), fontColor, brushColor);
            BitBlt(dc.Get(), 0, 0, width_, height_, source, 0, 0, SRCCOPY);
        }
    }
    Replace(image.Release(), width_, height_, monochrome);
    Changed();
}

void TBitmap::CopyFrom(TPersistent* source)
{
    if (source == nullptr) {
        Replace(nullptr, 0, 0, false);
        Changed();
        return;
    }
    if (!IsInstance<TBitmap>(source)) {
        TPersistent::CopyFrom(source);
        return;
    }
    auto* other = static_cast<TBitmap*>(source);
    if (other == this) return;
    TGdiObject<HBITMAP> image(NewImage(other->width_, other->height_, other->monochrome_));
    if (image.Get()) {
        TMemoryDC dc(image.Get());
        BitBlt(dc.Get(), 0, 0, other->width_, other->height_, other->Canvas()->Handle(), 0, 0, SRCCOPY);
    }
    Replace(image.Release(), other->width_, other->height_, other->monochrome_);
    Changed();
}

void TBitmap::SaveToStream(TStream& stream)
{
    const int bitCount = monochrome_ ? 1 : 32;
    const int colors = monochrome_ ? 2 : 0;
    const int stride = ((width_ * bitCount + 31) / 32) * 4;
    const int imageSize = stride * height_;

    std::vector<char> info(sizeof(BITMAPINFOHEADER) + colors * sizeof(RGBQUAD));
    auto* bi = reinterpret_cast<BITMAPINFO*>(info.data());
    bi->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi->bmiHeader.biWidth = width_;
    bi->bmiHeader.biHeight = height_;
    bi->bmiHeader.biPlanes = 1;
    bi->bmiHeader.biBitCount = static_cast<WORD>(bitCount);
    bi->bmiHeader.biCompression = BI_RGB;
    bi->bmiHeader.biSizeImage = static_cast<DWORD>(imageSize);
    bi->bmiHeader.biClrUsed = static_cast<DWORD>(colors);
    std::vector<char> bits(static_cast<size_t>(imageSize));
    if (handle_) {
        if (canvas_) static_cast<TBitmapCanvas*>(canvas_.get())->FreeContext();  // GetDIBits wants it unselected
        const TWindowDC screen(nullptr);
        if (!screen.Get()) RaiseLastOSError();
        const int lines =
            GetDIBits(screen.Get(), handle_, 0, static_cast<UINT>(height_), bits.data(), bi, DIB_RGB_COLORS);
        if (lines != height_) RaiseLastOSError();
    }

    BITMAPFILEHEADER fh{};
    fh.bfType = 0x4D42;  // "BM"
    fh.bfOffBits = static_cast<DWORD>(sizeof(BITMAPFILEHEADER) + info.size());
    fh.bfSize = fh.bfOffBits + static_cast<DWORD>(imageSize);
    stream.WriteBuffer(&fh, sizeof fh);
    stream.WriteBuffer(info.data(), static_cast<int32_t>(info.size()));
    if (imageSize > 0) stream.WriteBuffer(bits.data(), imageSize);
}

void TBitmap::LoadFromStream(TStream& stream)
{
    const std::wstring badImage = L"ビットマップの形式が正しくありません";
    BITMAPFILEHEADER fh{};
    stream.ReadBuffer(&fh, sizeof fh);
    if (fh.bfType != 0x4D42 || fh.bfOffBits < sizeof fh + sizeof(BITMAPINFOHEADER) || fh.bfSize < fh.bfOffBits ||
        fh.bfSize > 64u * 1024 * 1024) {
        throw EInvalidGraphicOperation(badImage);
    }
    std::vector<char> rest(fh.bfSize - sizeof fh);
    stream.ReadBuffer(rest.data(), static_cast<int32_t>(rest.size()));
    auto* bi = reinterpret_cast<BITMAPINFO*>(rest.data());
    const BITMAPINFOHEADER& h = bi->bmiHeader;
    const size_t bitsOffset = fh.bfOffBits - sizeof fh;
    const int width = h.biWidth;
    const int height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
    const int bitCount = h.biBitCount;
    if (h.biSize < sizeof(BITMAPINFOHEADER) || width < 0 || width > 32767 || height > 32767 || h.biPlanes != 1 ||
        (h.biCompression != BI_RGB && h.biCompression != BI_BITFIELDS) ||
        (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 && bitCount != 32)) {
        throw EInvalidGraphicOperation(badImage);
    }
    // SetDIBits reads the header, the masks and colour table after it, and the pixel rows: all of
    // them must lie inside what was read, the tables before the pixels.
    const uint64_t paletteLimit = bitCount <= 8 ? (1u << bitCount) : 0;
    if (bitCount <= 8 && h.biClrUsed > paletteLimit) throw EInvalidGraphicOperation(badImage);
    const uint64_t colours = h.biClrUsed != 0 ? h.biClrUsed : paletteLimit;
    const uint64_t masks = (h.biCompression == BI_BITFIELDS && h.biSize == sizeof(BITMAPINFOHEADER)) ? 3 : 0;
    const uint64_t tablesEnd = uint64_t{h.biSize} + (masks + colours) * sizeof(RGBQUAD);
    const uint64_t stride = ((uint64_t(width) * bitCount + 31) / 32) * 4;
    if (tablesEnd > bitsOffset || bitsOffset + stride * uint64_t(height) > rest.size())
        throw EInvalidGraphicOperation(badImage);

    const bool monochrome = h.biBitCount == 1;
    TGdiObject<HBITMAP> image(NewImage(width, height, monochrome));
    if (image.Get()) {
        const TWindowDC screen(nullptr);
        if (!screen.Get()) RaiseLastOSError();
        const int lines = SetDIBits(screen.Get(), image.Get(), 0, static_cast<UINT>(height), rest.data() + bitsOffset,
                                    bi, DIB_RGB_COLORS);
        if (lines != height) throw EInvalidGraphicOperation(badImage);
    }
    Replace(image.Release(), width, height, monochrome);
    Changed();
}

void TBitmap::DefineStreamedProperties(TFiler& filer)
{
    TPersistent::DefineStreamedProperties(filer);
    filer.DefineBinaryProperty(
        "Data", [this](TStream& s) { LoadFromStream(s); }, [this](TStream& s) { SaveToStream(s); }, !Empty());
}
