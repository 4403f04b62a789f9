#include "network/configtext.h"

#include "core/kverror.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace {

// The number a setting's text stands for; 13 when there is none.
double parseNumber(const QString& text)
{
    const QString t = text.trimmed();
    bool ok = false;
    const double d = t.toDouble(&ok);   // QString::toDouble reads the C locale only
    if (t.isEmpty() || !ok || !std::isfinite(d))
        throw KvError(KvErr::TypeMismatch);
    return d;
}

// Nearest whole number, halves to the even neighbour, checked against the type's range.
template <class Int>
Int roundChecked(double d)
{
    const double r = std::nearbyint(d);
    if (r < double(std::numeric_limits<Int>::min()) || r > double(std::numeric_limits<Int>::max()))
        throw KvError(KvErr::Overflow);
    return Int(r);
}

} // namespace

QString ConfigText::FromLong(int64_t value)
{
    return QString::number(value);
}

QString ConfigText::FromSingle(float value)
{
    if (std::isnan(value))
        return QStringLiteral("NaN");
    if (std::isinf(value))
        return value < 0 ? QStringLiteral("-Inf") : QStringLiteral("Inf");
    if (value == 0.0f)
        return QStringLiteral("0");

    // The shortest round-trip digits and their exponent, then laid out plainly where that is
    // readable.
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific);
    const std::string sci(buf, res.ptr);
    const size_t e = sci.find('e');
    const int exponent = std::stoi(sci.substr(e + 1));
    if (exponent < -5 || exponent >= 15)
        return QString::fromStdString(sci);

    const bool negative = sci[0] == '-';
    std::string digits;
    for (size_t i = negative ? 1 : 0; i < e; ++i)
        if (sci[i] != '.')
            digits += sci[i];
    std::string out;
    if (exponent < 0) {
        out = "0." + std::string(size_t(-exponent - 1), '0') + digits;
    } else {
        const size_t intLen = size_t(exponent) + 1;
        if (digits.size() <= intLen) {
            out = digits + std::string(intLen - digits.size(), '0');
        } else {
            out = digits.substr(0, intLen) + "." + digits.substr(intLen);
        }
    }
    return QString::fromStdString(negative ? "-" + out : out);
}

QString ConfigText::FromBoolean(bool value)
{
    return value ? QStringLiteral("True") : QStringLiteral("False");
}

int32_t ConfigText::ToLong(const QString& text)
{
    return roundChecked<int32_t>(parseNumber(text));
}

int16_t ConfigText::ToInteger(const QString& text)
{
    return roundChecked<int16_t>(parseNumber(text));
}

int16_t ConfigText::ToIntegerViaSingle(const QString& text)
{
    return roundChecked<int16_t>(double(ToSingle(text)));
}

uint8_t ConfigText::ToByte(const QString& text)
{
    return roundChecked<uint8_t>(parseNumber(text));
}

float ConfigText::ToSingle(const QString& text)
{
    const double d = parseNumber(text);
    if (std::fabs(d) > double(std::numeric_limits<float>::max()))
        throw KvError(KvErr::Overflow);
    return float(d);
}

bool ConfigText::ToBoolean(const QString& text)
{
    const QString t = text.trimmed();
    if (t.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
        return true;
    if (t.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
        return false;
    return parseNumber(t) != 0.0;
}

KvError ConfigText::BadSetting(const KvError& error, const QString& what, const QString& text, const QString& expected)
{
    return KvError(error.number(), {},
                   error.description() + QStringLiteral(": the project's ") + what + QStringLiteral(" reads \"")
                       + text.left(40) + QStringLiteral("\", not ") + expected + QLatin1Char('.'));
}
