#include "core/numformat.h"

#include <QRegularExpression>
#include <charconv>
#include <cmath>

double NumFormat::RoundDecimal(double value, int decimals)
{
    if (!std::isfinite(value))
        return value;
    const bool negative = value < 0;
    // The decimal value as 15 significant digits: d.dddddddddddddde±x
    const QString text = QString::number(std::fabs(value), 'e', 14);
    const qsizetype ePos = text.indexOf(QLatin1Char('e'));
    QString digits = text.left(ePos);
    digits.remove(QLatin1Char('.'));
    const int exponent = text.mid(ePos + 1).toInt();
    const int kept = exponent + 1 + decimals; // significant digits that stay
    if (kept >= digits.size())
        return value;
    if (kept < 0)
        return 0.0;
    QString head = digits.left(kept);
    const bool up = digits.at(kept) >= QLatin1Char('5');
    // The kept digits as a whole number, scaled back: value = head x 10^(exponent + 1 - kept).
    double whole = head.isEmpty() ? 0.0 : head.toDouble();
    if (up)
        whole += 1.0;
    const QString rebuilt = QStringLiteral("%1e%2").arg(QString::number(whole, 'f', 0)).arg(-decimals);
    const double result = rebuilt.toDouble();
    return negative ? -result : result;
}

QString NumFormat::General(double value)
{
    if (value == 0)
        return QStringLiteral("0");
    QString text = QString::number(value, 'g', 15);
    text.replace(QLatin1Char('e'), QLatin1Char('E'));
    return text;
}

QString NumFormat::Format(double value, const QString& pattern)
{
    static const QRegularExpression fixed(QStringLiteral("^0(?:\\.(0+))?(%?)(.*)$"),
                                          QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch match = fixed.match(pattern);
    if (pattern.isEmpty() || !match.hasMatch())
        return General(value);
    const int decimals = int(match.capturedLength(1));
    const bool percent = !match.captured(2).isEmpty();
    if (percent)
        value *= 100.0;
    if (!std::isfinite(value))
        return General(value);
    double rounded = RoundDecimal(value, decimals);
    if (rounded == 0)
        rounded = 0; // no "-0.00"
    return QString::number(rounded, 'f', decimals) + (percent ? QStringLiteral("%") : QString())
           + match.captured(3);
}

double NumFormat::SingleAsDecimal(float value)
{
    if (!std::isfinite(value))
        return double(value);
    char buffer[64];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
    double result = double(value);
    std::from_chars(buffer, end, result);
    return result;
}

QString NumFormat::FormatSingle(float value, const QString& pattern)
{
    return Format(SingleAsDecimal(value), pattern);
}
