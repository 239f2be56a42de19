#pragma once
// Conversions between RGB colours and the hue-saturation-lightness model. The flat controls
// derive their stored colour properties from a base colour by moving its lightness, which is
// only natural in HSL. Real-valued components lie in 0..1 (hue below 1); the scaled integer form
// takes hue on 0..HslScale-1 and saturation and lightness on 0..HslScale.
//
// Every rounding here goes to the nearest integer, an exact half to the even neighbour.
#include "Graphics.h"

constexpr int HslScale = 240;

struct THslColor {
    double Hue = 0;
    double Saturation = 0;
    double Lightness = 0;
};

struct THslScaled {
    int Hue = 0;
    int Saturation = 0;
    int Lightness = 0;
    friend bool operator==(const THslScaled&, const THslScaled&) = default;
};

// color is an RGB colour ($00BBGGRR); a system colour must be resolved by the caller.
THslColor ColorToHsl(TColor color);
TColor HslToColor(double hue, double saturation, double lightness);
// One channel of HslToColor: h is the hue moved by a third for red and blue; m1 and m2 are
// the lower and upper lightness terms. Answers 0..255.
int HueChannel(double h, double m1, double m2);

THslScaled ColorToHslScaled(TColor color);
TColor HslScaledToColor(int hue, int saturation, int lightness);
