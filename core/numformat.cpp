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

QString NumFormat::Pattern(int decimals)
{
    return decimals <= 0 ? QStringLiteral("0") : QStringLiteral("0.") + QString(decimals, QLatin1Char('0'));
}

QString NumFormat::Shown(double value, const QString& pattern)
{
    const QString text = Format(value, pattern);
    if (value == 0 || !std::isfinite(value) || !readPattern(pattern).fixed)
        return text;
    // The pattern's digits all zero: the value is not there to read.
    for (const QChar c : text) {
        if (c >= QLatin1Char('1') && c <= QLatin1Char('9'))
            return text;
    }
    return General(readPattern(pattern).percent ? value * 100.0 : value) + readPattern(pattern).tail;
}

QString NumFormat::FitNumber(const QString& text, const std::function<bool(const QString&)>& fits)
{
    if (fits(text))
        return text;
    static const QRegularExpression number(QStringLiteral("^\\s*(-?)(\\d+)(?:\\.(\\d+))?(?:E([+-]\\d+))?(%?)\\s*$"),
                                           QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = number.match(text);
    if (!m.hasMatch())
        return text;
    const QString percent = m.captured(5);
    const int decimals = int(m.capturedLength(3));
    bool ok = false;
    const double value = QString(m.captured(1) + m.captured(2) + QLatin1Char('.') + m.captured(3) + QLatin1Char('e')
                                 + (m.captured(4).isEmpty() ? QStringLiteral("0") : m.captured(4)))
                             .toDouble(&ok);
    if (!ok)
        return text;
    // Fewer decimals, as long as the digits that stay still show the value.
    if (m.captured(4).isEmpty()) {
        for (int d = decimals - 1; d >= 0; --d) {
            const double rounded = RoundDecimal(value, d);
            if (value != 0 && rounded == 0)
                break;
            const QString shorter = QString::number(rounded == 0 ? 0.0 : rounded, 'f', d) + percent;
            if (fits(shorter))
                return shorter;
        }
    }
    // The exponent form, its digits cut from the end with rounding.
    if (value != 0 && std::isfinite(value)) {
        for (int digits = 15; digits >= 1; --digits) {
            QString e = QString::number(value, 'E', digits - 1);
            // 9.0072E+15: no zeros at the end of the digits, two digits of exponent at least.
            const qsizetype ePos = e.indexOf(QLatin1Char('E'));
            QString mantissa = e.left(ePos);
            if (mantissa.contains(QLatin1Char('.'))) {
                while (mantissa.endsWith(QLatin1Char('0')))
                    mantissa.chop(1);
                if (mantissa.endsWith(QLatin1Char('.')))
                    mantissa.chop(1);
            }
            e = mantissa + e.mid(ePos) + percent;
            if (fits(e))
                return e;
        }
    }
    // Not even one digit fits: a mark that reads as no number at all.
    QString hashes(qMax<qsizetype>(1, text.trimmed().size()), QLatin1Char('#'));
    while (hashes.size() > 1 && !fits(hashes))
        hashes.chop(1);
    return hashes;
}
