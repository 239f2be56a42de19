#pragma once
// The flat combo box: the Unicode combo box painted flat, with three one-pixel frame rings, a
// flat arrow button with a small triangle, an inner edit narrowed to leave the arrow room, and
// a hot state that its owner sets from outside (the band's timer follows the cursor, since the
// taskbar does not always pass the mouse on).
//
// The stored colour properties are streamed and recomputed from the parent's colour, but the
// paint uses fixed system colours and reads none of them.
#include <windows.h>

#include "FlatUtilitys.h"
#include "GdiScopes.h"
#include "Graphics.h"
#include "WideStdCtrls.h"

class TFlatComboBox : public TWideCustomComboBox {
    KERVO_CLASS(TFlatComboBox, TWideCustomComboBox)
public:
    explicit TFlatComboBox(TComponent* owner);

    TColor ColorArrow() const { return colorArrow_; }
    void SetColorArrow(TColor value) { SetColorProperty(colorArrow_, value); }
    TColor ColorArrowBackground() const { return colorArrowBackground_; }
    void SetColorArrowBackground(TColor value) { SetColorProperty(colorArrowBackground_, value); }
    TColor ColorBorder() const { return colorBorder_; }
    void SetColorBorder(TColor value) { SetColorProperty(colorBorder_, value); }
    TAdvColors AdvColorBorder() const { return advColorBorder_; }
    void SetAdvColorBorder(int value) { SetAdvColorProperty(advColorBorder_, value); }
    TAdvColors AdvColorArrowBackground() const { return advColorArrowBackground_; }
    void SetAdvColorArrowBackground(int value) { SetAdvColorProperty(advColorArrowBackground_, value); }
    bool UseAdvColors() const { return useAdvColors_; }
    void SetUseAdvColors(bool value);

    // The hot state: the middle frame ring and the arrow's frame in the highlight colour.
    bool Hovered() const { return hovered_; }
    void SetHovered(bool value);

    // The colour of the middle frame ring and the arrow's inner frame when last drawn.
    TColor FrameColor() const { return frameColor_; }
    int ArrowWidth() const { return arrowWidth_; }

    void HandleWindowMessage(TMessage& message) override;
    void InnerWindowProc(TMessage& message, HWND child, WNDPROC defaultProc) override;

protected:
    void AfterWindowCreated() override;
    void ReflectedCommand(TMessage& message) override;

private:
    void SetColorProperty(TColor& field, TColor value);
    void SetAdvColorProperty(TAdvColors& field, int value);
    void RecomputeColors();
    bool IsListStyle() const;
    bool Active();
    void ActiveUpdate();
    void UpdateFrameColor();
    RECT ArrowRect();
    void DrawFrame();
    void DrawArrow(HDC dc);
    void DrawFrameAndArrow();
    void DrawFocusStrip(HDC dc);
    void PaintFlat(TMessage& message);
    void NarrowEdit();
    HBRUSH ListBrush();

    TColor colorArrow_ = clBlack;
    TColor colorArrowBackground_ = 0x00C5D6D9;
    TColor colorBorder_ = 0x008396A0;
    bool useAdvColors_ = false;
    TAdvColors advColorArrowBackground_ = 10;
    TAdvColors advColorBorder_ = 50;
    int arrowWidth_ = 12;
    int scrollBarWidth_ = 0;
    bool lastActive_ = false;
    TColor frameColor_ = clWindow;
    bool hovered_ = false;
    // The background of the drop-down list, made once and again whenever the window colour is no
    // longer listBrushColor_, the one it was made in; freed with the control. Checked at each use,
    // not on the system-colour message: the system sends that only to top-level windows, and in
    // the taskbar the band's form is a child.
    TGdiObject<HBRUSH> listBrush_;
    COLORREF listBrushColor_ = 0;
    // Drawing surface of the arrow and the focus strip: the paint's context during WM_PAINT,
    // else the window's client context for the length of one drawing.
    TCanvas canvas_;
};
