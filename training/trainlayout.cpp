#include "training/trainlayout.h"

#include <charconv>
#include <cmath>
#include <string>

namespace TrainLayout {

namespace {
int Round(double v) { return int(std::lround(v)); }
} // namespace

Places Arrange(const Sizes& s, bool chartOnlyWhenRoom)
{
    Places p;
    p.counterLeft = Round(s.width / 2.0 - s.counterCaptionWidth / 2.0);
    p.framesVisible = s.width >= kFramesFromWidth;
    if (p.framesVisible) {
        p.personalityLeft = Round(p.counterLeft / 2.0 - s.personalityWidth / 2.0);
        const double right = p.counterLeft + s.counterWidth;
        p.errorLeft = Round(right + (s.width - right) / 2.0 - s.errorWidth / 2.0);
    }
    p.chartMoved = !chartOnlyWhenRoom || (s.width > 345 && s.height > 1740);
    if (p.chartMoved) {
        p.chartWidth = s.width - 345;
        p.chartHeight = s.height - 1740;
    }
    return p;
}

QString Fixed(float value, int decimals)
{
    if (!std::isfinite(value))
        return QString::number(double(value));
    char buffer[64];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value), std::chars_format::fixed).ptr;
    std::string text(buffer, end);
    const size_t point = text.find('.');
    std::string whole = point == std::string::npos ? text : text.substr(0, point);
    std::string fraction = point == std::string::npos ? std::string() : text.substr(point + 1);
    const bool roundUp = int(fraction.size()) > decimals && fraction[size_t(decimals)] >= '5';
    fraction.resize(size_t(decimals), '0');
    std::string digits = whole + fraction;
    if (roundUp) {
        int i = int(digits.size()) - 1;
        for (; i >= 0; --i) {
            if (digits[size_t(i)] == '9') {
                digits[size_t(i)] = '0';
            } else {
                ++digits[size_t(i)];
                break;
            }
        }
        if (i < 0)
            digits.insert(digits.begin(), '1');
    }
    whole = digits.substr(0, digits.size() - size_t(decimals));
    fraction = digits.substr(digits.size() - size_t(decimals));
    const bool zero = digits.find_first_not_of('0') == std::string::npos;
    QString result = QString::fromStdString(whole);
    if (decimals > 0)
        result += QLatin1Char('.') + QString::fromStdString(fraction);
    return (value < 0 && !zero) ? QLatin1Char('-') + result : result;
}

QString Percent(float value)
{
    return Fixed(value, 2) + QLatin1Char('%');
}

QString General(float value)
{
    char buffer[64];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
    return QString::fromLatin1(buffer, int(end - buffer));
}

int SpinnerValue(float parameter)
{
    return int(std::nearbyint(parameter * 100.0f));
}

} // namespace TrainLayout
