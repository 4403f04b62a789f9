#include "charts/chartcommon.h"

#include "core/errorbox.h"
#include "core/numformat.h"
#include "core/twips.h"
#include "core/widgets/winhelpers.h"
#include "data/datadef.h"
#include "network/backprop.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace {
constexpr int16_t kCurrency = 5;
}

QString ChartFormat::AxisFormat(int16_t fieldType, double lo, double hi)
{
    if (fieldType == kCurrency)
        return QStringLiteral("0.00");
    const double r = hi - lo;
    if (r > 100 || r > 10)
        return QStringLiteral("0");
    if (r > 1)
        return QStringLiteral("0.0");
    if (r > 0.1)
        return QStringLiteral("0.00");
    if (r > 0.01)
        return QStringLiteral("0.000");
    return QStringLiteral("0.0000");
}

double ChartFormat::Correlation(double unexplained)
{
    return std::sqrt(1.0 - std::min(unexplained, 1.0));
}

ChartFormat::Statistics ChartFormat::StatisticTexts(float currentError, float rmsError, float unexplained)
{
    Statistics s;
    s.error = NumFormat::FormatSingle(currentError, QStringLiteral("0.00")) + QLatin1Char('%');
    s.rms = NumFormat::FormatSingle(rmsError, QStringLiteral("0.00    "));
    s.unexplained = NumFormat::FormatSingle(unexplained, QStringLiteral("0.00"));
    s.correlation = NumFormat::Format(Correlation(double(unexplained)), QStringLiteral("0.00"));
    return s;
}

ChartFormat::Statistics ChartFormat::StatisticTexts(CBackProp& net)
{
    Statistics s;
    // A failed test leaves -1: no figure is shown for it.
    IgnoreErrors([&] {
        if (net.CurrentError() >= 0)
            s.error = NumFormat::FormatSingle(net.CurrentError(), QStringLiteral("0.00")) + QLatin1Char('%');
    });
    IgnoreErrors([&] {
        const float rms = net.ActualRMSError();
        if (rms >= 0)
            s.rms = NumFormat::FormatSingle(rms, QStringLiteral("0.00    "));
    });
    IgnoreErrors([&] {
        const float u = net.UnexplainedVar();
        if (u >= 0 || net.TrainBuilt() || net.TestBuilt()) {
            s.unexplained = NumFormat::FormatSingle(u, QStringLiteral("0.00"));
            s.correlation = NumFormat::Format(Correlation(double(u)), QStringLiteral("0.00"));
        }
    });
    return s;
}

ChartFormat::FieldRange ChartFormat::PredictionRange(CBackProp& net)
{
    FieldRange range;
    IgnoreErrors([&] {
        const int16_t f = net.PredictField();
        auto ddo = net.DDO();
        if (f < 1 || !ddo)
            return;
        range.lo = float(ddo->UserMin(f));
        range.hi = float(ddo->UserMax(f));
        range.format = AxisFormat(ddo->FieldType(f), ddo->UserMin(f), ddo->UserMax(f));
        range.name = ddo->FieldName(f);
        range.valid = true;
    });
    return range;
}

const DisplayList::Text* DisplayList::FindText(const QString& text) const
{
    for (const Text& t : texts)
        if (t.text == text)
            return &t;
    return nullptr;
}

void DisplayList::Replay(QPainter& painter) const
{
    painter.save();
    for (const Box& b : boxes)
        painter.fillRect(QRect(Twips::ToWholePixels(b.topLeft), QSize(Twips::ToWholePixels(b.size.width()), Twips::ToWholePixels(b.size.height()))),
                         Utilities::ColorFromBgr(b.bgr));
    for (const Line& l : lines) {
        QPen pen(Utilities::ColorFromBgr(l.bgr));
        pen.setWidth(l.widthPx);
        pen.setCapStyle(Qt::FlatCap);
        painter.setPen(pen);
        painter.drawLine(Twips::ToWholePixels(l.from), Twips::ToWholePixels(l.to));
    }
    const QFont normal = painter.font();
    QFont bold = normal;
    bold.setBold(true);
    const QFontMetrics metrics(normal);
    for (const Text& t : texts) {
        painter.setFont(t.bold ? bold : normal);
        painter.setPen(Utilities::ColorFromBgr(t.bgr));
        const QPoint p = Twips::ToWholePixels(t.topLeft);
        painter.drawText(QPoint(p.x(), p.y() + metrics.ascent()), t.text);
    }
    painter.restore();
}

TextMeasure FontMeasure(const QFont& font)
{
    const QFontMetrics metrics(font);
    return [metrics](const QString& text) {
        return QSize(Twips::FromPixels(metrics.horizontalAdvance(text)), Twips::FromPixels(metrics.height()));
    };
}
