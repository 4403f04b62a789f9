#include "core/numformat.h"

#include <charconv>
#include <cmath>
#include <string>

namespace {

struct Pattern {
    bool known = false;
    int decimals = 0;
    bool percent = false;
    QString tail;
};

Pattern parse(const QString& pattern)
{
    Pattern p;
    if (!pattern.startsWith(QLatin1Char('0')))
        return p;
    qsizetype i = 1;
    if (i < pattern.size() && pattern[i] == QLatin1Char('.')) {
        ++i;
        while (i < pattern.size() && pattern[i] == QLatin1Char('0')) {
            ++p.decimals;
            ++i;
        }
        if (p.decimals == 0)
            return p;
    }
    if (i < pattern.size() && pattern[i] == QLatin1Char('%')) {
        p.percent = true;
        ++i;
    }
    p.tail = pattern.mid(i);
    // Further digit placeholders are patterns of another kind.
    if (p.tail.contains(QLatin1Char('0')) || p.tail.contains(QLatin1Char('#')))
        return p;
    p.known = true;
    return p;
}

// Shortest fixed-notation digits of a finite value, without sign.
template <class T>
std::string shortestDigits(T value)
{
    char buffer[400];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value), std::chars_format::fixed);
    return std::string(buffer, result.ptr);
}

// Rounds a plain decimal text ("123.4567") to `decimals` places, halves up (the sign is kept
// apart, so this is away from zero).
QString roundDecimal(std::string text, int decimals)
{
    std::string whole = text, fraction;
    if (const auto dot = text.find('.'); dot != std::string::npos) {
        whole = text.substr(0, dot);
        fraction = text.substr(dot + 1);
    }
    const bool up = fraction.size() > size_t(decimals) && fraction[size_t(decimals)] >= '5';
    fraction.resize(size_t(decimals), '0');
    std::string digits = whole + fraction;
    if (up) {
        int k = int(digits.size()) - 1;
        while (k >= 0 && digits[size_t(k)] == '9') {
            digits[size_t(k)] = '0';
            --k;
        }
        if (k < 0)
            digits.insert(digits.begin(), '1');
        else
            ++digits[size_t(k)];
    }
    std::string head = digits.substr(0, digits.size() - size_t(decimals));
    const auto first = head.find_first_not_of('0');
    head = first == std::string::npos ? std::string("0") : head.substr(first);
    QString out = QString::fromStdString(head);
    if (decimals > 0)
        out += QLatin1Char('.') + QString::fromStdString(digits.substr(digits.size() - size_t(decimals)));
    return out;
}

template <class T>
QString format(T value, const QString& pattern)
{
    const Pattern p = parse(pattern);
    if (!p.known || !std::isfinite(value))
        return NumFormat::General(double(value));
    const double scaled = p.percent ? double(value) * 100.0 : double(value);
    // The percent form scales first; a single keeps its own digits otherwise.
    const std::string digits = p.percent ? shortestDigits(scaled) : shortestDigits(value);
    QString text = roundDecimal(digits, p.decimals);
    const bool zero = text.count(QLatin1Char('0')) + text.count(QLatin1Char('.')) == text.size();
    if (std::signbit(scaled) && !zero)
        text.prepend(QLatin1Char('-'));
    if (p.percent)
        text += QLatin1Char('%');
    return text + p.tail;
}

} // namespace

QString NumFormat::Format(double value, const QString& pattern)
{
    return format(value, pattern);
}

QString NumFormat::Format(float value, const QString& pattern)
{
    return format(value, pattern);
}

QString NumFormat::General(double value)
{
    if (std::isnan(value))
        return QStringLiteral("NaN");
    if (std::isinf(value))
        return value > 0 ? QStringLiteral("Infinity") : QStringLiteral("-Infinity");
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return QString::fromLatin1(buffer, int(result.ptr - buffer));
}
