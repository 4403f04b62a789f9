// Twips, the layout unit of the windows: 1/1440 inch, 15 to a pixel at 96 dpi. Layout rules take
// and return twips; only painting converts to pixels.
#pragma once

#include <QPoint>
#include <QRect>
#include <cmath>

namespace Twips {
constexpr int PerPixel = 15;

// Nearest whole number with halves to the even one: every layout rounds twips the same way, so
// the windows and the figures the tests compute agree to the pixel.
inline double RoundEven(double value) { return std::nearbyint(value); }
inline int Round(double value) { return int(std::nearbyint(value)); }

constexpr int FromPixels(int pixels) { return pixels * PerPixel; }
constexpr double ToPixels(double twips) { return twips / PerPixel; }
// Whole pixels for a whole-twip length (nearest, halves up).
constexpr int ToWholePixels(int twips) { return (twips + PerPixel / 2) / PerPixel; }
inline QPoint ToWholePixels(const QPoint& p) { return {ToWholePixels(p.x()), ToWholePixels(p.y())}; }
inline QRect ToWholePixels(const QRect& r)
{
    return {ToWholePixels(r.left()), ToWholePixels(r.top()), ToWholePixels(r.width()), ToWholePixels(r.height())};
}
}
