#include "charts/matrixlayout.h"

#include <algorithm>
#include <cmath>

namespace {
// To the nearest whole twip, a half to the even neighbour.
int32_t whole(double v)
{
    return int32_t(std::nearbyint(v));
}

const QString kCut(QChar(0x2026));
using Measure = std::function<int(const QString&)>;

// `lead` and as much of the start of `text` as fits in `room`, marked as cut when not all did.
QString fitted(const QString& lead, const QString& text, int room, const Measure& widthOf)
{
    if (widthOf(lead + text) <= room)
        return lead + text;
    qsizetype lo = 0, hi = text.size();
    while (lo < hi) {
        const qsizetype mid = (lo + hi + 1) / 2;
        if (widthOf(lead + text.left(mid) + kCut) <= room)
            lo = mid;
        else
            hi = mid - 1;
    }
    // Never half a character outside the basic plane.
    if (lo > 0 && text.at(lo - 1).isHighSurrogate())
        --lo;
    return lead + text.left(lo) + kCut;
}

qsizetype commonStart(const QString& a, const QString& b)
{
    qsizetype n = 0;
    while (n < a.size() && n < b.size() && a.at(n) == b.at(n))
        ++n;
    return n;
}

// Whether another label reads as label `i`.
bool alike(const std::vector<QString>& labels, size_t i)
{
    for (size_t j = 0; j < labels.size(); ++j)
        if (j != i && labels[j] == labels[i])
            return true;
    return false;
}
} // namespace

std::vector<QString> MatrixLayout::ClassLabels(const std::vector<QString>& names, int room, const Measure& widthOf)
{
    std::vector<QString> labels;
    for (const QString& name : names)
        labels.push_back(fitted({}, name, room, widthOf));
    // Names cut to one text: each from the place where it parts from those it met.
    std::vector<QString> parted = labels;
    for (size_t i = 0; i < names.size(); ++i) {
        if (!alike(labels, i))
            continue;
        qsizetype from = 0;
        for (size_t j = 0; j < names.size(); ++j)
            if (j != i && labels[j] == labels[i])
                from = std::max(from, commonStart(names[i], names[j]));
        // From the start of the word in which they part: "…Mills", "…Motors".
        const qsizetype space = names[i].left(from).lastIndexOf(QLatin1Char(' '));
        if (from > 0 && from < names[i].size())
            parted[i] = fitted(kCut, names[i].mid(space >= 0 ? space + 1 : from), room, widthOf);
    }
    labels = parted;
    for (size_t i = 0; i < names.size(); ++i)
        if (alike(parted, i))
            labels[i] = fitted(QLatin1Char('#') + QString::number(i + 1) + QLatin1Char(' '), names[i], room, widthOf);
    return labels;
}

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
