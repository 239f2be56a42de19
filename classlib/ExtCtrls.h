#pragma once
// Panel and bevel.
#include <windows.h>

#include "Controls.h"

enum class TPanelBevel { bvNone, bvLowered, bvRaised, bvSpace };

// Draws a frame of the given width: top and left in one colour, bottom and right in the other;
// the rectangle shrinks by the width.
void Frame3D(HDC dc, RECT& rect, COLORREF topColor, COLORREF bottomColor, int width);

// TPanel: a container with an outer and an inner bevel and a centred caption.
class TPanel : public TWinControl {
    KERVO_CLASS(TPanel, TWinControl)
public:
    explicit TPanel(TComponent* owner);

    TPanelBevel BevelOuter() const { return bevelOuter_; }
    void SetBevelOuter(TPanelBevel value);
    TPanelBevel BevelInner() const { return bevelInner_; }
    void SetBevelInner(TPanelBevel value);
    int BevelWidth() const { return bevelWidth_; }
    void SetBevelWidth(int value);

    void HandleWindowMessage(TMessage& message) override;

protected:
    void PaintWindow(HDC dc) override;

private:
    TPanelBevel bevelOuter_ = TPanelBevel::bvRaised;
    TPanelBevel bevelInner_ = TPanelBevel::bvNone;
    int bevelWidth_ = 1;
};

enum class TBevelShape { bsBox, bsFrame, bsTopLine, bsBottomLine, bsLeftLine, bsRightLine, bsSpacer };
enum class TBevelStyle { bsLowered, bsRaised };

// TBevel: a windowless etched box, frame or line.
class TBevel : public TGraphicControl {
    KERVO_CLASS(TBevel, TGraphicControl)
public:
    explicit TBevel(TComponent* owner);

    TBevelShape Shape() const { return shape_; }
    void SetShape(TBevelShape value);
    TBevelStyle Style() const { return style_; }
    void SetStyle(TBevelStyle value);

protected:
    void Paint() override;

private:
    TBevelShape shape_ = TBevelShape::bsBox;
    TBevelStyle style_ = TBevelStyle::bsLowered;
};
