// How a captured picture is laid on a printed page: the orientation that suits its shape and
// the largest size that fits the printable area without changing its proportions.
#pragma once

#include <QSizeF>

namespace PrintFit {
enum class Orientation { Portrait = 1, Landscape = 2 };

// Portrait when the picture is at least as tall as it is wide.
Orientation OrientationFor(const QSizeF& picture);
// The drawn size, placed at the printable area's top-left corner: the full printable width
// when the picture is relatively wider than the page, else the full printable height. An empty
// size when either size has no area.
QSizeF FitToPage(const QSizeF& picture, const QSizeF& printable);
}
