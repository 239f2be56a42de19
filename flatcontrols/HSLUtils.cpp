// The HSL conversions of HSLUtils.h. Red is tested before green when both hold the maximum,
// which decides the hue of colours where two channels tie.
#include "HSLUtils.h"

#include <algorithm>
#include <cmath>

namespace {

// Nearest integer, halves to even (the default rounding mode of the floating-point unit).
int Nearest(double x) { return static_cast<int>(std::lrint(x)); }

TColor RgbColor(int r, int g, int b) { return static_cast<TColor>(RGB(r, g, b)); }

}  // namespace

THslColor ColorToHsl(TColor color)
{
    const COLORREF rgb = static_cast<COLORREF>(color);
    const double r = GetRValue(rgb) / 255.0;
    const double g = GetGValue(rgb) / 255.0;
    const double b = GetBValue(rgb) / 255.0;
    const double max = std::max({r, g, b});
    const double min = std::min({r, g, b});
    THslColor hsl;
    hsl.Lightness = (max + min) / 2;
    if (max == min) return hsl;
    const double d = max - min;
    hsl.Saturation = hsl.Lightness < 0.5 ? d / (max + min) : d / (2 - max - min);
    double h;
    if (r == max) h = (g - b) / d;
    else if (g == max) h = 2 + (b - r) / d;
    else h = 4 + (r - g) / d;
    h /= 6;
    if (h < 0) h += 1;
    hsl.Hue = h;
    return hsl;
}

int HueChannel(double h, double m1, double m2)
{
    if (h < 0) h += 1;
    else if (h > 1) h -= 1;
    double v;
    if (6 * h < 1) v = m1 + (m2 - m1) * 6 * h;
    else if (2 * h < 1) v = m2;
    else if (3 * h < 2) v = m1 + (m2 - m1) * (2.0 / 3 - h) * 6;
    else v = m1;
    return std::clamp(Nearest(255 * v), 0, 255);
}

TColor HslToColor(double hue, double saturation, double lightness)
{
    if (saturation == 0) {
        const int v = Nearest(255 * lightness);
        return RgbColor(v, v, v);
    }
    const double m2 = lightness <= 0.5 ? lightness * (1 + saturation)
                                       : lightness + saturation - lightness * saturation;
    const double m1 = 2 * lightness - m2;
    return RgbColor(HueChannel(hue + 1.0 / 3, m1, m2), HueChannel(hue, m1, m2), HueChannel(hue - 1.0 / 3, m1, m2));
}

THslScaled ColorToHslScaled(TColor color)
{
    const THslColor hsl = ColorToHsl(color);
    return THslScaled{Nearest((HslScale - 1) * hsl.Hue), Nearest(HslScale * hsl.Saturation),
                      Nearest(HslScale * hsl.Lightness)};
}

TColor HslScaledToColor(int hue, int saturation, int lightness)
{
    return HslToColor(static_cast<double>(hue) / (HslScale - 1), static_cast<double>(saturation) / HslScale,
                      static_cast<double>(lightness) / HslScale);
}
