// The colour arithmetic of the flat controls: the blend that every paint makes its face colours
// with, and the lightness shift that derives the stored colour properties from a base colour.
#include "FlatUtilitys.h"

#include <algorithm>

#include "HSLUtils.h"

TColor BlendColors(TColor a, TColor b, uint8_t alpha)
{
    const uint32_t ca = ColorToRGB(a);
    const uint32_t cb = ColorToRGB(b);
    const uint32_t wa = alpha;
    const uint32_t wb = 255u - alpha;
    // Red and blue share one word: each product stays below 2^16, so neither carries into the other.
    const uint32_t redBlue = (((ca & 0x00FF00FFu) * wa + (cb & 0x00FF00FFu) * wb) >> 8) & 0x00FF00FFu;
    const uint32_t green = (((ca & 0x0000FF00u) * wa + (cb & 0x0000FF00u) * wb) >> 8) & 0x0000FF00u;
    return static_cast<TColor>(redBlue | green);
}

TColor ComputeAdvColor(TColor baseColor, TColor currentColor, TAdvColors percent, bool darken)
{
    if (percent == 0) return currentColor;
    THslScaled hsl = ColorToHslScaled(static_cast<TColor>(ColorToRGB(baseColor)));
    const int l = hsl.Lightness + 10;
    hsl.Lightness = darken ? std::max(0, l - percent) : std::min(100, l + percent);
    return HslScaledToColor(hsl.Hue, hsl.Saturation, hsl.Lightness);
}
