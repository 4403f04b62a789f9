#include "core/numformat.h"

#include <QRegularExpression>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <string>
#include <string_view>

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

QString NumFormat::Plain(double value, int digits)
{
    if (!std::isfinite(value))
        return General(value);
    if (value == 0)
        return QStringLiteral("0");
    digits = std::clamp(digits, 1, 17);
    // d.ddd...e±x, rounded to the digits the type holds.
    char buffer[64];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value), std::chars_format::scientific,
                                   digits - 1).ptr;
    const std::string_view text(buffer, size_t(end - buffer));
    const size_t ePos = text.find('e');
    std::string mantissa;
    for (char c : text.substr(0, ePos))
        if (c != '.')
            mantissa.push_back(c);
    while (mantissa.size() > 1 && mantissa.back() == '0')
        mantissa.pop_back();
    int exponent = 0;
    std::from_chars(text.data() + ePos + 1 + (text[ePos + 1] == '+'), text.data() + text.size(), exponent);

    std::string out = value < 0 ? "-" : "";
    if (exponent < -7 || exponent >= 21) {
        out += mantissa.substr(0, 1);
        if (mantissa.size() > 1)
            out += "." + mantissa.substr(1);
        char e[16];
        std::snprintf(e, sizeof e, "E%c%02d", exponent < 0 ? '-' : '+', std::abs(exponent));
        out += e;
    } else if (exponent < 0) {
        out += "0." + std::string(size_t(-exponent - 1), '0') + mantissa;
    } else if (size_t(exponent) + 1 >= mantissa.size()) {
        out += mantissa + std::string(size_t(exponent) + 1 - mantissa.size(), '0');
    } else {
        out += mantissa.substr(0, size_t(exponent) + 1) + "." + mantissa.substr(size_t(exponent) + 1);
    }
    return QString::fromLatin1(out.data(), qsizetype(out.size()));
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
