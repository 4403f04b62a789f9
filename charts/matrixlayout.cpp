#include "charts/matrixlayout.h"

#include <algorithm>
#include <cmath>

namespace {
// To the nearest whole twip, a half to the even neighbour.
int32_t whole(double v)
{
    return int32_t(std::nearbyint(v));
}
} // namespace

MatrixLayout::Size MatrixLayout::SizeGrids(const SizeInput& in)
{
    constexpr int m = MinColumnWidth;
    const int n = std::max(0, in.classes);
    const int h = std::max(0, in.rowHeight);
    Size s;
    int32_t a = whole(double(in.windowWidth) - 45 - in.classesWidth - in.sumPredictedWidth - m / 2.0 - in.vscWidth);
    if (a < m)
        a = m;
    int32_t b = whole(double(in.windowHeight - 420) - 45 - 2.0 * in.titleActualHeight - in.sumActualHeight
                      - in.formTitleHeight - in.hscHeight - (h + 45));
    if (h > b)
        b = h;

    if (a < int64_t(n) * m) {
        const double ratio = double(a) / m;
        const int q = int(std::floor(ratio));
        s.columnWidth = ratio - q >= 0.5 ? whole(double(a) / (q + 1)) : whole(double(a) / q);
    } else {
        a = n * m;
        s.columnWidth = m;
    }

    if (h > 0) {
        if (int64_t(n) * h <= b) {
            b = n * h;
        } else {
            const double ratio = double(b) / h;
            const int q = int(std::floor(ratio));
            if (ratio - q > 0)
                b = (q + 1) * h;
        }
        s.visibleRows = std::min(n, int(b / h));
    } else {
        s.visibleRows = n;
    }
    s.available = a;
    s.height = b;
    s.gridWidth = a - 30;
    s.gridHeight = (b - 30) + h + 45;
    s.visibleColumns = s.columnWidth > 0 ? std::min(n, int(std::lround(double(a) / s.columnWidth))) : n;
    return s;
}
