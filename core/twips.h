// Twips, the unit of the window layouts: 15 twips a pixel at 96 dots an inch. Layout rules
// work in twips; a widget converts once, at the edge.
#pragma once

#include <QPoint>
#include <QRect>
#include <cmath>

namespace Twips {
constexpr int PerPixel = 15;
// Nearest pixel (halves away from zero).
inline int ToPx(double twips) { return int(std::lround(twips / PerPixel)); }
constexpr int FromPx(int px) { return px * PerPixel; }
inline QPoint ToPx(const QPoint& p) { return {ToPx(p.x()), ToPx(p.y())}; }
inline QRect ToPx(const QRect& r) { return {ToPx(r.left()), ToPx(r.top()), ToPx(r.width()), ToPx(r.height())}; }
}
