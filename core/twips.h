// Twips, the unit in which the windows' designed places and sizes are given: 15 twips a pixel
// at 96 dpi. Layout rules take and return twips; widgets convert at the edge.
#pragma once

#include <QRect>

namespace Twips {
constexpr int PerPixel = 15;
// Nearest pixel, halves up (twips are never negative in the designed places).
constexpr int ToPx(int twips) { return (twips + PerPixel / 2) / PerPixel; }
constexpr int FromPx(int pixels) { return pixels * PerPixel; }
// A designed place (left, top, width, height in twips) in pixels.
inline QRect Rect(int left, int top, int width, int height)
{
    return {ToPx(left), ToPx(top), ToPx(width), ToPx(height)};
}
} // namespace Twips
