#include "core/numformat.h"

#include <QLocale>

#include <cmath>

namespace NumFormat {

int PatternDecimals(const QString& pattern)
{
    if (pattern == QLatin1String("0"))
        return 0;
    if (!pattern.startsWith(QLatin1String("0.")) || pattern.size() < 3)
        return -1;
    for (qsizetype i = 2; i < pattern.size(); ++i)
        if (pattern.at(i) != QLatin1Char('0'))
            return -1;
    return int(pattern.size() - 2);
}

QString FormatFixed(double value, int decimals)
{
    if (!std::isfinite(value))
        return QString::number(value);
    // Round the shortest decimal form of the value, not its binary expansion: 0.125 and 2.675
    // are ties as the user reads them.
    const QString digits = QString::number(std::fabs(value), 'e', QLocale::FloatingPointShortest);
    const qsizetype ePos = digits.indexOf(QLatin1Char('e'));
    const int exponent = digits.mid(ePos + 1).toInt();
    QString mantissa = digits.left(ePos);
    mantissa.remove(QLatin1Char('.'));
    // value = 0.mantissa * 10^(exponent + 1)
    const int pointAt = exponent + 1; // digits before the point
    QString intPart;
    QString fracPart;
    if (pointAt <= 0) {
        intPart = QStringLiteral("0");
        fracPart = QString(-pointAt, QLatin1Char('0')) + mantissa;
    } else if (pointAt >= mantissa.size()) {
        intPart = mantissa + QString(pointAt - mantissa.size(), QLatin1Char('0'));
    } else {
        intPart = mantissa.left(pointAt);
        fracPart = mantissa.mid(pointAt);
    }
    bool roundUp = fracPart.size() > decimals && fracPart.at(decimals) >= QLatin1Char('5');
    fracPart = fracPart.left(decimals);
    fracPart += QString(decimals - fracPart.size(), QLatin1Char('0'));
    QString all = intPart + fracPart;
    if (roundUp) {
        qsizetype i = all.size() - 1;
        for (; i >= 0; --i) {
            if (all.at(i) == QLatin1Char('9')) {
                all[i] = QLatin1Char('0');
            } else {
                all[i] = QChar(all.at(i).unicode() + 1);
                break;
            }
        }
        if (i < 0)
            all.prepend(QLatin1Char('1'));
    }
    QString result = all.left(all.size() - decimals);
    while (result.size() > 1 && result.startsWith(QLatin1Char('0')))
        result.remove(0, 1);
    if (decimals > 0)
        result += QLatin1Char('.') + all.right(decimals);
    bool zero = true;
    for (const QChar c : all)
        if (c != QLatin1Char('0'))
            zero = false;
    if (value < 0 && !zero)
        result.prepend(QLatin1Char('-'));
    return result;
}

QString General(double value)
{
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

QString Format(double value, const QString& pattern)
{
    if (pattern == QLatin1String("0.00%"))
        return FormatFixed(value * 100.0, 2) + QLatin1Char('%');
    const int decimals = PatternDecimals(pattern);
    if (decimals < 0 || !std::isfinite(value))
        return General(value);
    return FormatFixed(value, decimals);
}

} // namespace NumFormat
