#include "training/trainlayout.h"

#include "core/numformat.h"
#include "core/twips.h"

#include <cmath>

namespace TrainLayout {

Places Arrange(const Sizes& s, bool chartOnlyWhenRoom)
{
    Places p;
    p.counterLeft = Twips::Round(s.width / 2.0 - s.counterCaptionWidth / 2.0);
    p.framesVisible = s.width >= kFramesFromWidth;
    if (p.framesVisible) {
        p.personalityLeft = Twips::Round(p.counterLeft / 2.0 - s.personalityWidth / 2.0);
        const double right = p.counterLeft + s.counterWidth;
        p.errorLeft = Twips::Round(right + (s.width - right) / 2.0 - s.errorWidth / 2.0);
    }
    p.chartMoved = !chartOnlyWhenRoom || (s.width > 345 && s.height > 1740);
    if (p.chartMoved) {
        p.chartWidth = s.width - 345;
        p.chartHeight = s.height - 1740;
    }
    return p;
}

QString Percent(float value)
{
    return NumFormat::FormatSingle(value, QStringLiteral("0.00")) + QLatin1Char('%');
}

int SpinnerValue(float parameter)
{
    return int(std::nearbyint(parameter * 100.0f));
}

} // namespace TrainLayout

QString TrainLayout::FieldsLine(const QStringList& fields)
{
    if (fields.isEmpty())
        return {};
    return QStringLiteral("[") + fields.join(QStringLiteral("], [")) + QStringLiteral("]\n");
}
