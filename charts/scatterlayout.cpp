#include "charts/scatterlayout.h"

#include <QPainter>
#include <array>
#include <charconv>
#include <cmath>

namespace {
constexpr uint32_t kBlue = 0xFF0000;
constexpr uint32_t kYellow = 0xFFFF;
constexpr uint32_t kRed = 0xFF;
} // namespace

ScatterLayout::Result ScatterLayout::Layout(const Input& in)
{
    Result r;
    const double lo = in.lo, hi = in.hi;
    const TextMeasure& metrics = *in.measure;
    auto measure = [&](const QString& text, DisplayItem::FontRole font = DisplayItem::FontRole::Body) {
        return QSize(int(std::ceil(metrics.TextWidth(text, font))), int(std::ceil(metrics.TextHeight(text, font))));
    };
    using Role = DisplayItem::Role;
    constexpr auto TitleFont = DisplayItem::FontRole::Title;
    const auto text = in.text ? in.text : ChartFormat::NumberText({});
    r.ylText = r.xlText = text(lo);
    r.yhText = r.xhText = text(hi);
    const QSize yl = measure(r.ylText), yh = measure(r.yhText);
    const QSize xl = measure(r.xlText), xh = measure(r.xhText);
    // The tick labels, i tenths from lo (left, bottom) to hi; the ends are the end labels.
    std::array<QString, 11> texts;
    std::array<QSize, 11> sizes;
    int widest = 0;
    for (int i = 0; i <= 10; ++i) {
        texts[size_t(i)] = i == 0 ? r.xlText : i == 10 ? r.xhText : text(lo + (hi - lo) * i / 10);
        sizes[size_t(i)] = measure(texts[size_t(i)]);
        widest = std::max(widest, sizes[size_t(i)].width());
    }

    // The widest value label sets the left margin, the wider end label as a rule; the others
    // line up with it at the plot. A date's middle labels carry a time of day that its ends
    // at midnight do not.
    const int graphLeft = 480 + widest + 120;
    r.yl.setX(graphLeft - yl.width() - 120);
    r.yh.setX(graphLeft - yh.width() - 120);
    const int g = graphLeft;
    // A size the window cannot give is not applied: the plot keeps at least one twip.
    const int height = std::max(1, in.client.height() - GraphTop - g - 330);
    const int width = std::max(1, in.client.width() - graphLeft - g - 120);
    r.graph = QRect(graphLeft, GraphTop, width, height);
    const int bottom = GraphTop + height;
    r.rightEdge = graphLeft + width;

    r.titleText = QStringLiteral("[") + in.fieldName + QStringLiteral("]  Actual vs. Predicted");
    const QSize title = measure(r.titleText, TitleFont);
    r.title = QPoint(graphLeft + (width - title.width()) / 2, TitleTop);

    r.xLabelTop = bottom + 120;
    r.xl = QPoint(graphLeft - xl.width() / 2, r.xLabelTop);
    r.xh = QPoint(graphLeft + width - xh.width() / 2, r.xLabelTop);
    r.yh.setY(GraphTop - yh.height() / 2);
    r.yl.setY(bottom - yl.height() / 2);
    const QString predicted = QStringLiteral("P  R  E  D  I  C  T  E  D");
    r.predictedTop = bottom + 360;
    r.predicted = QPoint(graphLeft + (width - measure(predicted).width()) / 2, r.predictedTop);
    r.predictedRight = r.predicted.x() + measure(predicted).width();
    const int actualHeight = 2175;
    r.actual = QPoint(180, GraphTop + (height - actualHeight) / 2);

    DisplayList& list = r.list;
    list.Line(Role::Frame, graphLeft, GraphTop + 30, graphLeft, bottom, kBlue, 3);
    list.Line(Role::Frame, graphLeft, bottom, graphLeft + width - 30, bottom, kBlue, 3);
    const int halfX = measure(QStringLiteral("X")).height() / 2;
    // Long labels on a small plot label every second, fifth or no middle tick, so that no label
    // runs into the next.
    std::array<std::pair<double, double>, 11> across, up;
    for (int i = 0; i <= 10; ++i) {
        const QSize size = sizes[size_t(i)];
        const int left = graphLeft + int(std::lround(i / 10.0 * width)) - size.width() / 2;
        const int top = GraphTop + int(std::lround((10 - i) / 10.0 * height)) - halfX;
        across[size_t(i)] = {left, left + size.width()};
        // Upwards: from the label's bottom to its top, as the axis climbs.
        up[size_t(i)] = {-(top + size.height()), -top};
    }
    constexpr int gap = 60;
    const int acrossStep = ChartFormat::LabelStep(across, gap);
    const int upStep = ChartFormat::LabelStep(up, gap / 2);
    for (int i = 0; i <= 10; ++i) {
        const int y = GraphTop + int(std::lround(i / 10.0 * height));
        const int x = graphLeft + int(std::lround(i / 10.0 * width));
        list.Line(Role::ValueTick, graphLeft, y, graphLeft - 90, y, kBlue);
        list.Line(Role::PointTick, x, bottom, x, bottom + 90, kBlue);
        if (i == 0 || i == 10)
            continue;
        const size_t v = size_t(10 - i);
        if (int(v) % upStep == 0)
            list.Text(Role::ValueLabel, graphLeft - sizes[v].width() - 120, y - halfX, texts[v], kBlue);
        if (i % acrossStep == 0)
            list.Text(Role::PointLabel, int(across[size_t(i)].first), r.xLabelTop, texts[size_t(i)], kBlue);
    }
    list.Text(Role::Title, r.title.x(), r.title.y(), r.titleText, 0x800000, TitleFont);
    // The end values, as the plot's captions give them.
    list.Text(Role::ValueLabel, r.yh.x(), r.yh.y(), r.yhText, kBlue);
    list.Text(Role::ValueLabel, r.yl.x(), r.yl.y(), r.ylText, kBlue);
    list.Text(Role::PointLabel, r.xl.x(), r.xl.y(), r.xlText, kBlue);
    list.Text(Role::PointLabel, r.xh.x(), r.xh.y(), r.xhText, kBlue);
    list.Text(Role::Title, r.predicted.x(), r.predicted.y(), predicted, 0);
    // The vertical title: the spaced letters stacked one a line.
    const QString actual = QStringLiteral("A C T U A  L");
    const int lineHeight = measure(QStringLiteral("A")).height();
    int y = r.actual.y();
    for (const QChar c : actual) {
        if (c == QLatin1Char(' '))
            continue;
        list.Text(Role::Title, r.actual.x(), y, QString(c), 0);
        y += lineHeight;
    }
    return r;
}

QPoint ScatterLayout::ReadoutAt(const Result& r, QSize size)
{
    constexpr int gap = 120;
    const int left = r.rightEdge - size.width();
    return {left, left >= r.predictedRight + gap ? r.predictedTop : r.predictedTop + size.height()};
}

ScatterLayout::Scale ScatterLayout::PlotScale(double lo, double hi)
{
    const double r = hi - lo;
    const double m = r * 0.005;
    return {lo - m, hi + m, hi + m, lo - m};
}

QPointF ScatterLayout::ValueAt(const Scale& s, QPointF pixel, QSize sizePx)
{
    if (sizePx.width() <= 0 || sizePx.height() <= 0)
        return {s.left, s.top};
    return {s.left + pixel.x() / sizePx.width() * (s.right - s.left),
            s.top - pixel.y() / sizePx.height() * (s.top - s.bottom)};
}

QImage ScatterLayout::Render(const Points& p, double lo, double hi, QSize sizePx)
{
    QImage image(sizePx.expandedTo(QSize(1, 1)), QImage::Format_RGB32);
    image.fill(Qt::white);
    const Scale s = PlotScale(lo, hi);
    if (s.Empty())
        return image;
    const int w = image.width(), h = image.height();
    const double sx = w / (s.right - s.left), sy = h / (s.top - s.bottom);
    auto toPx = [&](double x, double y) { return QPointF((x - s.left) * sx, (s.top - y) * sy); };
    // The points are offsets from the origin: the scale's edges are taken the same way.
    const double left = s.left - p.origin, top = s.top - p.origin;

    QPainter painter(&image);
    painter.setPen(QPen(QColor(255, 255, 0), 1));
    const double e = p.rmsError;
    painter.drawLine(toPx(lo + e, lo), toPx(hi, hi - e));
    painter.drawLine(toPx(lo, lo + e), toPx(hi - e, hi));
    painter.end();

    // Each point is binned to its pixel and set as a dot two pixels wide: one memory write
    // per point, whatever the count.
    const QRgb red = qRgb(255, 0, 0);
    auto* bits = reinterpret_cast<QRgb*>(image.bits());
    const qsizetype line = image.bytesPerLine() / qsizetype(sizeof(QRgb));
    for (int64_t i = 1; i <= p.count; ++i) {
        const double fx = (double(p.predicted[i]) - left) * sx, fy = (top - double(p.actual[i])) * sy;
        if (!(fx >= -1 && fx < w + 1 && fy >= -1 && fy < h + 1))
            continue; // also a row without prediction (NaN)
        const int ix = int(std::floor(fx)) - 1, iy = int(std::floor(fy)) - 1;
        for (int yy = iy; yy <= iy + 1; ++yy) {
            if (yy < 0 || yy >= h)
                continue;
            QRgb* row = bits + yy * line;
            if (ix >= 0 && ix < w)
                row[ix] = red;
            if (ix + 1 >= 0 && ix + 1 < w)
                row[ix + 1] = red;
        }
    }

    painter.begin(&image);
    painter.setPen(QPen(QColor(0, 0, 255), 1));
    painter.drawLine(toPx(lo, lo), toPx(hi, hi));
    return image;
}

QString ScatterLayout::DrillText(double value)
{
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return QString::fromLatin1(buffer, int(result.ptr - buffer));
}
