// The flat speed button of TFlatSpeedButtonUnit.h: properties, painting, mouse handling and
// hover tracking; its states and group rule are the speed buttons' machine (SpeedButtonStates.h).
//
// Hover has two sources: the button's own mouse movement (which keeps one hot button per
// thread) and the mouse-enter and mouse-leave notifications. Either way the enter handling
// repaints at once, so the highlight follows a cursor that moves quickly between buttons.
#include "TFlatSpeedButtonUnit.h"

#include "GdiScopes.h"
#include "StdCtrls.h"

namespace {

// The button that last became hot through mouse movement: one per thread, as a thread's buttons
// are its own (Threading.h).
thread_local TFlatSpeedButton* g_hotButton = nullptr;

const std::vector<std::string> kLayoutNames = {"blGlyphLeft", "blGlyphRight", "blGlyphTop", "blGlyphBottom"};

}  // namespace

KERVO_CLASS_RECORD(TFlatSpeedButton)
{
    b.Boolean("AllowAllUp", &TFlatSpeedButton::AllowAllUp, &TFlatSpeedButton::SetAllowAllUp).Default(false);
    b.Integer("Color", &TFlatSpeedButton::Color, &TFlatSpeedButton::SetColor)
        .Default(0x00E1EAEB)
        .Idents(&ColorIdents())
        .Stored(&TFlatSpeedButton::IsColorStoredHere);
    b.Integer("ColorFocused", &TFlatSpeedButton::ColorFocused, &TFlatSpeedButton::SetColorFocused)
        .Default(0x00E1EAEB)
        .Idents(&ColorIdents());
    b.Integer("ColorDown", &TFlatSpeedButton::ColorDown, &TFlatSpeedButton::SetColorDown)
        .Default(0x00C5D6D9)
        .Idents(&ColorIdents());
    b.Integer("ColorBorder", &TFlatSpeedButton::ColorBorder, &TFlatSpeedButton::SetColorBorder)
        .Default(0x008396A0)
        .Idents(&ColorIdents());
    b.Integer("ColorHighLight", &TFlatSpeedButton::ColorHighLight, &TFlatSpeedButton::SetColorHighLight)
        .Default(clWhite)
        .Idents(&ColorIdents());
    b.Integer("ColorShadow", &TFlatSpeedButton::ColorShadow, &TFlatSpeedButton::SetColorShadow)
        .Default(clBlack)
        .Idents(&ColorIdents());
    b.Integer("AdvColorFocused", &TFlatSpeedButton::AdvColorFocused, &TFlatSpeedButton::SetAdvColorFocused)
        .Default(10);
    b.Integer("AdvColorDown", &TFlatSpeedButton::AdvColorDown, &TFlatSpeedButton::SetAdvColorDown).Default(10);
    b.Integer("AdvColorBorder", &TFlatSpeedButton::AdvColorBorder, &TFlatSpeedButton::SetAdvColorBorder)
        .Default(50);
    b.Boolean("UseAdvColors", &TFlatSpeedButton::UseAdvColors, &TFlatSpeedButton::SetUseAdvColors).Default(false);
    b.Integer("GroupIndex", &TFlatSpeedButton::GroupIndex, &TFlatSpeedButton::SetGroupIndex).Default(0);
    b.Boolean("Down", &TFlatSpeedButton::Down, &TFlatSpeedButton::SetDown).Default(false);
    b.Object("Glyph", &TFlatSpeedButton::Glyph, &TFlatSpeedButton::SetGlyph);
    b.Enum("Layout", &TFlatSpeedButton::Layout, &TFlatSpeedButton::SetLayout, kLayoutNames)
        .Default(TButtonLayout::blGlyphTop);
    b.Integer("Margin", &TFlatSpeedButton::Margin, &TFlatSpeedButton::SetMargin).Default(-1);
    b.Integer("NumGlyphs", &TFlatSpeedButton::NumGlyphs, &TFlatSpeedButton::SetNumGlyphs).Default(1);
    b.Integer("ModalResult", &TFlatSpeedButton::ModalResult, &TFlatSpeedButton::SetModalResult).Default(0);
    b.Boolean("ParentColor", &TFlatSpeedButton::ParentColor, &TFlatSpeedButton::SetParentColor).Default(true);
    b.Integer("Spacing", &TFlatSpeedButton::Spacing, &TFlatSpeedButton::SetSpacing).Default(4);
}

TFlatSpeedButton::TFlatSpeedButton(TComponent* owner) : TGraphicControl(owner)
{
    SetBounds(0, 0, 25, 25);
    // The release clicks through MouseUp, not through the library's automatic click.
    SetControlStyle({TControlStyleFlag::csCaptureMouse, TControlStyleFlag::csOpaque,
                     TControlStyleFlag::csDoubleClicks});
    SetParentFont(true);
    SetParentColor(true);
}

TFlatSpeedButton::~TFlatSpeedButton()
{
    if (g_hotButton == this) g_hotButton = nullptr;
}

TFlatSpeedButton* TFlatSpeedButton::HotButton() { return g_hotButton; }

void TFlatSpeedButton::AfterLoad()
{
    TGraphicControl::AfterLoad();
    Invalidate();
}

// ---------------------------------------------------------------------------------------------
// Properties

void TFlatSpeedButton::SetColorProperty(TColor& field, TColor value)
{
    field = value;
    Invalidate();
}

void TFlatSpeedButton::SetAdvColorProperty(TAdvColors& field, int value)
{
    field = ToAdvColors(value);
    RecomputeColors();
    Invalidate();
}

void TFlatSpeedButton::SetUseAdvColors(bool value)
{
    if (value == useAdvColors_) return;
    useAdvColors_ = value;
    SetParentColor(value);
    RecomputeColors();
    Invalidate();
}

void TFlatSpeedButton::RecomputeColors()
{
    if (!useAdvColors_) return;
    colorFocused_ = ComputeAdvColor(Color(), colorFocused_, advColorFocused_, false);
    colorDown_ = ComputeAdvColor(Color(), colorDown_, advColorDown_, true);
    colorBorder_ = ComputeAdvColor(Color(), colorBorder_, advColorBorder_, true);
}

void TFlatSpeedButton::SetGlyph(TBitmap* value)
{
    if (value == glyph_.get()) return;
    glyph_->Assign(value);
    if (!glyph_->Empty() && glyph_->Width() % glyph_->Height() == 0) {
        const int images = glyph_->Width() / glyph_->Height();
        numGlyphs_ = images > 4 ? 1 : images;
    }
    Invalidate();
}

void TFlatSpeedButton::SetNumGlyphs(TNumGlyphs value)
{
    if (value == numGlyphs_) return;
    numGlyphs_ = value;
    Invalidate();
}

void TFlatSpeedButton::SetLayout(TButtonLayout value)
{
    if (value == layout_) return;
    layout_ = value;
    Invalidate();
}

void TFlatSpeedButton::SetSpacing(int value)
{
    if (value == spacing_) return;
    spacing_ = value;
    Invalidate();
}

void TFlatSpeedButton::SetMargin(int value)
{
    if (value == margin_ || value < -1) return;
    margin_ = value;
    Invalidate();
}

// ---------------------------------------------------------------------------------------------
// Groups

void TFlatSpeedButton::ButtonPressed(TMessage& message)
{
    auto* sender = reinterpret_cast<TObject*>(message.LParam);
    if (sender == this || !IsInstance<TFlatSpeedButton>(sender)) return;
    states_.GroupNotified(static_cast<int>(message.WParam), static_cast<TFlatSpeedButton*>(sender)->states_);
}

// ---------------------------------------------------------------------------------------------
// Mouse and hover

void TFlatSpeedButton::MouseDown(TMouseButton button, TShiftState shift, int x, int y)
{
    TGraphicControl::MouseDown(button, shift, x, y);
    states_.MouseDown(button);
}

void TFlatSpeedButton::MouseMove(TShiftState shift, int x, int y)
{
    TGraphicControl::MouseMove(shift, x, y);
    if (g_hotButton != this && FindControlAtScreenPos(ClientToScreen(POINT{x, y}), true) == this) {
        if (g_hotButton) g_hotButton->MouseLeave();
        // A window of another application in front: no highlight until the band is active.
        if (GetActiveWindow()) {
            g_hotButton = this;
            MouseEnter();
        }
    }
    states_.MouseMove(x, y);
}

void TFlatSpeedButton::MouseUp(TMouseButton button, TShiftState shift, int x, int y)
{
    TGraphicControl::MouseUp(button, shift, x, y);
    if (!states_.MouseUp(x, y)) return;
    if (states_.Inside(x, y)) Click();
    else MouseLeave();
    RetestHover();
}

void TFlatSpeedButton::Click()
{
    if (Parent()) {
        if (auto* form = dynamic_cast<TCustomForm*>(TopParent())) form->SetModalResult(modalResult_);
    }
    TGraphicControl::Click();
}

void TFlatSpeedButton::MouseEnter()
{
    if (states_.MouseEnter()) Repaint();
}

void TFlatSpeedButton::MouseLeave()
{
    if (!states_.MouseLeave()) return;
    if (g_hotButton == this) g_hotButton = nullptr;
    Invalidate();
}

// Sets hover from where the cursor is now. The opposite value goes first, so that the chosen
// handling runs, and repaints, in every case.
void TFlatSpeedButton::RetestHover()
{
    if (!Enabled()) return;
    POINT cursor{};
    GetCursorPos(&cursor);
    const bool over = FindControlAtScreenPos(cursor, true) == this;
    states_.SetHot(!over);
    if (over) MouseEnter();
    else MouseLeave();
}

void TFlatSpeedButton::EnabledChanged()
{
    states_.EnabledChanged();
    if (!Enabled() && g_hotButton == this) g_hotButton = nullptr;
    RetestHover();
    Invalidate();
}

bool TFlatSpeedButton::IsDialogChar(TMessage& message)
{
    if (!IsAccel(LOWORD(message.WParam), Caption()) || !Enabled()) return false;
    Click();
    message.Result = 1;
    return true;
}

// ---------------------------------------------------------------------------------------------
// Messages

void TFlatSpeedButton::HandleWindowMessage(TMessage& message)
{
    switch (message.Msg) {
    case WM_LBUTTONDBLCLK:
        TGraphicControl::HandleWindowMessage(message);
        if (states_.Down()) DblClick();
        break;
    case CM_ENABLEDCHANGED:
        TGraphicControl::HandleWindowMessage(message);
        EnabledChanged();
        break;
    case CM_BUTTONPRESSED:
        ButtonPressed(message);
        break;
    case CM_DIALOGCHAR:
        if (!IsDialogChar(message)) TGraphicControl::HandleWindowMessage(message);
        break;
    case CM_FONTCHANGED:
    case CM_TEXTCHANGED:
        TGraphicControl::HandleWindowMessage(message);
        Invalidate();
        break;
    case CM_PARENTCOLORCHANGED:
        TGraphicControl::HandleWindowMessage(message);
        [[fallthrough]];
    case CM_SYSCOLORCHANGE:
        if (useAdvColors_) {
            SetParentColor(true);
            RecomputeColors();
        }
        Invalidate();
        break;
    case CM_MOUSEENTER:
        MouseEnter();
        break;
    case CM_MOUSELEAVE:
        MouseLeave();
        break;
    default:
        TGraphicControl::HandleWindowMessage(message);
        break;
    }
}

// ---------------------------------------------------------------------------------------------
// Painting

// A paint draws the button into images of its own: when GDI has run out of objects they cannot be
// made, and the button is left as the screen shows it until a paint after objects come back. A
// raise would open an error box in the host at each invalidation.
void TFlatSpeedButton::Paint()
{
    try {
        PaintButton();
    } catch (const EOSError&) {
    }
}

// Each colour as the canvas's context shows it.
TFlatSpeedButton::TFaces TFlatSpeedButton::FacesOn(HDC dc)
{
    const auto nearest = [dc](TColor color) { return static_cast<TColor>(GetNearestColor(dc, ColorToRGB(color))); };
    const TColor face = nearest(BlendColors(clBtnFace, clWindow, 190));
    return TFaces{face, nearest(BlendColors(clHighlight, face, 25)), nearest(BlendColors(clHighlight, clWindow, 80)),
                  nearest(BlendColors(clHighlight, face, 80))};
}

void TFlatSpeedButton::PaintButton()
{
    const int width = Width();
    const int height = Height();
    if (width <= 0 || height <= 0) return;
    const TCanvasBinding binding(canvas_, PaintDC());
    const TFaces faces = FacesOn(canvas_.Handle());
    // ColorBorder reads the face after every paint, whatever was assigned to it.
    colorBorder_ = faces.face;

    const RECT client{0, 0, width, height};
    TBitmap offscreen;
    offscreen.SetSize(width, height);
    TCanvas* canvas = offscreen.Canvas();
    canvas->Font()->Assign(Font());

    const std::string caption = Caption();
    layoutResult_ = LayoutGlyphAndCaption(canvas, client, POINT{1, 0}, layout_, spacing_, margin_, glyph_.get(),
                                          numGlyphs_, caption);

    PaintFrame(canvas, client, faces);
    PaintGlyph(canvas);
    PaintCaption(canvas, caption);
    canvas_.CopyRect(client, canvas, client);
}

// A one-pixel frame round the client area and the face inside it.
void TFlatSpeedButton::PaintFrame(TCanvas* canvas, const RECT& client, const TFaces& faces) const
{
    const bool hot = states_.Hot();
    TColor frame = clHighlight;
    TColor fill = faces.down;
    switch (states_.State()) {
    case TPaintState::Up:
        frame = hot ? clHighlight : faces.face;
        fill = hot ? faces.hot : faces.face;
        break;
    case TPaintState::Disabled:
        frame = faces.face;
        fill = faces.face;
        break;
    case TPaintState::Down:
        break;
    case TPaintState::Exclusive:
        fill = hot ? faces.down : faces.exclusive;
        break;
    }
    canvas->Brush()->SetColor(frame);
    canvas->FillRect(client);
    canvas->Brush()->SetColor(fill);
    canvas->FillRect(RECT{1, 1, client.right - 1, client.bottom - 1});
}

// The image of the state, out of NumGlyphs side by side, drawn where the layout put it with its
// bottom-left pixel's colour left out; a single image is embossed while disabled.
void TFlatSpeedButton::PaintGlyph(TCanvas* canvas) const
{
    if (glyph_->Empty()) return;
    const int images = ClampedNumGlyphs(numGlyphs_);
    const int fullWidth = glyph_->Width();
    const int glyphHeight = glyph_->Height();
    const int imageWidth = fullWidth / images;
    if (imageWidth <= 0) return;
    const TPaintState state = states_.State();
    int index = 0;
    switch (state) {
    case TPaintState::Up: index = 0; break;
    case TPaintState::Disabled: index = images >= 2 ? 1 : 0; break;
    case TPaintState::Down: index = images >= 3 ? 2 : 0; break;
    case TPaintState::Exclusive: index = images == 4 ? 3 : (images == 3 ? 2 : 0); break;
    }
    // The last image takes the columns a width not divisible by the count leaves over.
    const int left = index * imageWidth;
    const int right = index == images - 1 ? fullWidth : left + imageWidth;
    TBitmap image;
    image.SetMonochrome(glyph_->Monochrome());
    image.SetSize(imageWidth, glyphHeight);
    image.Canvas()->CopyRect(RECT{0, 0, imageWidth, glyphHeight}, glyph_->Canvas(), RECT{left, 0, right, glyphHeight});
    TBitmap* shown = &image;
    // The whole glyph's bottom-left pixel, also for the images right of the first.
    TColor transparent = glyph_->Canvas()->Pixel(0, glyphHeight - 1);
    TObjectPtr<TBitmap> embossed;
    if (images == 1 && state == TPaintState::Disabled) {
        embossed = MakeDisabledGlyph(&image, clBlack, clBtnFace, clBtnHighlight, clBtnShadow, true);
        shown = embossed.get();
        transparent = shown->Canvas()->Pixel(0, glyphHeight - 1);
    }
    canvas->DrawMasked(layoutResult_.GlyphPos.x, layoutResult_.GlyphPos.y, shown, transparent);
}

// The caption in the layout's rectangle; disabled, twice, as if engraved.
void TFlatSpeedButton::PaintCaption(TCanvas* canvas, const std::string& caption) const
{
    if (caption.empty()) return;
    constexpr UINT kCaptionFormat = DT_SINGLELINE | DT_VCENTER | DT_CENTER;
    canvas->Brush()->SetStyle(TBrushStyle::bsClear);
    RECT r = layoutResult_.CaptionRect;
    if (states_.State() == TPaintState::Disabled) {
        OffsetRect(&r, 1, 1);
        canvas->Font()->SetColor(clBtnHighlight);
        canvas->TextRect(r, caption, kCaptionFormat);
        OffsetRect(&r, -1, -1);
        canvas->Font()->SetColor(clBtnShadow);
    }
    canvas->TextRect(r, caption, kCaptionFormat);
}

namespace {
const bool registered = (RegisterClassRecords({&TFlatSpeedButton::StaticClass()}), true);
}
