#pragma once
// The flat speed button: a windowless button painted flat (a one-pixel frame, a face blended
// from system colours, an optional glyph and a caption) that lights up while the mouse is over
// it. Alone it clicks (or runs its action); with a GroupIndex it is one of a group of which at
// most one is down. Besides its own mouse tracking it takes the mouse-enter and mouse-leave
// notifications, which the band also sends from a timer, since the taskbar's window does not
// always pass the mouse on.
//
// The stored colour properties are streamed and recomputed from Color, but the paint uses fixed
// system colours; it reads none of them and overwrites ColorBorder with its face colour.
#include <windows.h>

#include "Controls.h"
#include "FlatUtilitys.h"
#include "Forms.h"
#include "Graphics.h"
#include "SpeedButtonStates.h"

class TFlatSpeedButton : public TGraphicControl {
    KERVO_CLASS(TFlatSpeedButton, TGraphicControl)
public:
    using TPaintState = TSpeedButtonState;

    explicit TFlatSpeedButton(TComponent* owner);
    ~TFlatSpeedButton() override;

    TColor ColorFocused() const { return colorFocused_; }
    void SetColorFocused(TColor value) { SetColorProperty(colorFocused_, value); }
    TColor ColorDown() const { return colorDown_; }
    void SetColorDown(TColor value) { SetColorProperty(colorDown_, value); }
    TColor ColorBorder() const { return colorBorder_; }
    void SetColorBorder(TColor value) { SetColorProperty(colorBorder_, value); }
    TColor ColorHighLight() const { return colorHighLight_; }
    void SetColorHighLight(TColor value) { SetColorProperty(colorHighLight_, value); }
    TColor ColorShadow() const { return colorShadow_; }
    void SetColorShadow(TColor value) { SetColorProperty(colorShadow_, value); }
    TAdvColors AdvColorFocused() const { return advColorFocused_; }
    void SetAdvColorFocused(int value) { SetAdvColorProperty(advColorFocused_, value); }
    TAdvColors AdvColorDown() const { return advColorDown_; }
    void SetAdvColorDown(int value) { SetAdvColorProperty(advColorDown_, value); }
    TAdvColors AdvColorBorder() const { return advColorBorder_; }
    void SetAdvColorBorder(int value) { SetAdvColorProperty(advColorBorder_, value); }
    bool UseAdvColors() const { return useAdvColors_; }
    void SetUseAdvColors(bool value);

    // The owned glyph; setting copies the image and guesses NumGlyphs from its proportions.
    TBitmap* Glyph() const { return glyph_.get(); }
    void SetGlyph(TBitmap* value);
    // Stored as given; painting takes it as the nearest of 1..4.
    TNumGlyphs NumGlyphs() const { return numGlyphs_; }
    void SetNumGlyphs(TNumGlyphs value);
    TButtonLayout Layout() const { return layout_; }
    void SetLayout(TButtonLayout value);
    int Spacing() const { return spacing_; }
    void SetSpacing(int value);
    // -1 centres; values below -1 are ignored.
    int Margin() const { return margin_; }
    void SetMargin(int value);

    // GroupIndex, Down and AllowAllUp follow the speed buttons' group rule (SpeedButtonStates.h).
    int GroupIndex() const { return states_.GroupIndex(); }
    void SetGroupIndex(int value) { states_.SetGroupIndex(value); }
    bool Down() const { return states_.Down(); }
    void SetDown(bool value) { states_.SetDown(value); }
    bool AllowAllUp() const { return states_.AllowAllUp(); }
    void SetAllowAllUp(bool value) { states_.SetAllowAllUp(value); }
    // Copied into the form's ModalResult on every click, 0 included.
    TModalResult ModalResult() const { return modalResult_; }
    void SetModalResult(TModalResult value) { modalResult_ = value; }

    TPaintState PaintState() const { return states_.State(); }
    bool Hot() const { return states_.Hot(); }
    // Where the last paint put the glyph and the caption.
    POINT GlyphPos() const { return layoutResult_.GlyphPos; }
    RECT CaptionRect() const { return layoutResult_.CaptionRect; }

    // The calling thread's button that last became hot through mouse movement, if any.
    static TFlatSpeedButton* HotButton();

    void HandleWindowMessage(TMessage& message) override;
    void Click() override;

protected:
    void AfterLoad() override;
    void Paint() override;
    // The whole picture, made off-screen and copied onto the parent's context in one go.
    void PaintButton();
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseMove(TShiftState shift, int x, int y) override;
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;

private:
    void SetColorProperty(TColor& field, TColor value);
    void SetAdvColorProperty(TAdvColors& field, int value);
    void RecomputeColors();
    void ButtonPressed(TMessage& message);
    void EnabledChanged();
    void MouseEnter();
    void MouseLeave();
    void RetestHover();
    bool IsDialogChar(TMessage& message);
    bool IsColorStoredHere() const { return !ParentColor(); }

    // The steps of a paint: the colours of the faces, then on the off-screen canvas the frame and
    // face, the glyph image of the state and the caption.
    struct TFaces {
        TColor face, exclusive, hot, down;
    };
    static TFaces FacesOn(HDC dc);
    void PaintFrame(TCanvas* canvas, const RECT& client, const TFaces& faces) const;
    void PaintGlyph(TCanvas* canvas) const;
    void PaintCaption(TCanvas* canvas, const std::string& caption) const;

    bool useAdvColors_ = false;
    TAdvColors advColorFocused_ = 10;
    TAdvColors advColorDown_ = 10;
    TAdvColors advColorBorder_ = 50;
    TGlyphLayout layoutResult_;
    TNumGlyphs numGlyphs_ = 1;
    TColor colorDown_ = 0x00C5D6D9;
    TColor colorBorder_ = 0x008396A0;
    TColor colorHighLight_ = clWhite;
    TColor colorShadow_ = clBlack;
    TColor colorFocused_ = 0x00E1EAEB;
    TObjectPtr<TBitmap> glyph_{new TBitmap};
    TButtonLayout layout_ = TButtonLayout::blGlyphTop;
    int spacing_ = 4;
    int margin_ = -1;
    TModalResult modalResult_ = mrNone;
    TSpeedButtonStates states_{*this};
    // The button's canvas over the parent's context while a paint is in progress.
    TCanvas canvas_;
};
