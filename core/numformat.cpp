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
    // The decimal value as 15 significant digits: d.dddddddddddddde±x. Plain characters, not
    // QString: a search compares the text of every row of a column through here.
    char text[64];
    const char* end = std::to_chars(text, text + sizeof text, std::fabs(value), std::chars_format::scientific, 14).ptr;
    const char* ePos = std::find(static_cast<const char*>(text), end, 'e');
    char digits[24];
    int count = 0;
    for (const char* c = text; c < ePos; ++c)
        if (*c != '.')
            digits[count++] = *c;
    int exponent = 0;
    std::from_chars(ePos + 1 + (ePos[1] == '+'), end, exponent);
    const int kept = exponent + 1 + decimals; // significant digits that stay
    if (kept >= count)
        return value;
    if (kept < 0)
        return 0.0;
    // The kept digits as a whole number, scaled back: value = head x 10^(exponent + 1 - kept).
    long long whole = 0;
    for (int i = 0; i < kept; ++i)
        whole = whole * 10 + (digits[i] - '0');
    if (digits[kept] >= '5')
        ++whole;
    char rebuilt[48];
    char* p = std::to_chars(rebuilt, rebuilt + 24, whole).ptr;
    *p++ = 'e';
    p = std::to_chars(p, rebuilt + sizeof rebuilt, -decimals).ptr;
    double result = 0;
    std::from_chars(rebuilt, p, result);
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

namespace {
// A fixed pattern read once: "0", "0.0" ... with "%" and literal text after it.
struct FixedPattern {
    bool fixed = false;
    int decimals = 0;
    bool percent = false;
    QString tail;
};

const FixedPattern& readPattern(const QString& pattern)
{
    // The pattern read last is kept: a column formats all its cells with one pattern.
    thread_local bool known = false;
    thread_local QString last;
    thread_local FixedPattern read;
    if (known && pattern == last)
        return read;
    static const QRegularExpression fixed(QStringLiteral("^0(?:\\.(0+))?(%?)(.*)$"),
                                          QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch match = fixed.match(pattern);
    read = {};
    read.fixed = !pattern.isEmpty() && match.hasMatch();
    if (read.fixed) {
        read.decimals = int(match.capturedLength(1));
        read.percent = !match.captured(2).isEmpty();
        read.tail = (read.percent ? QStringLiteral("%") : QString()) + match.captured(3);
    }
    last = pattern;
    known = true;
    return read;
}
} // namespace

QString NumFormat::Format(double value, const QString& pattern)
{
    const FixedPattern& p = readPattern(pattern);
    if (!p.fixed)
        return General(value);
    if (p.percent)
        value *= 100.0;
    if (!std::isfinite(value))
        return General(value);
    double rounded = RoundDecimal(value, p.decimals);
    if (rounded == 0)
        rounded = 0; // no "-0.00"
    return QString::number(rounded, 'f', p.decimals) + p.tail;
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
