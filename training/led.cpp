#include "training/led.h"

#include "core/kverror.h"
#include "core/twips.h"
#include "core/widgets/winhelpers.h"
#include "training/propertybag.h"

#include <QPainter>
#include <QPaintEvent>
#include <QPalette>

#include <algorithm>

namespace {
constexpr int32_t ErrorBase = int32_t(0x80040000);

QString LedErrorText(int code)
{
    switch (code) {
    case LED::ErrBadDigit: return QStringLiteral("A digit must lie between 0 and 9.");
    case LED::ErrBadMask: return QStringLiteral("A segment mask must lie between 0 and 127.");
    default: return QStringLiteral("Unknown Error!");
    }
}

// Programs always run the control (there is no form designer), so a bad value is an error to
// the code that set it.
[[noreturn]] void RaiseLEDError(int code)
{
    throw KvError(ErrorBase + code, QString(), LedErrorText(code));
}
}

LEDGeometry LEDGeometry::For(int width, int height)
{
    LEDGeometry g;
    const double w = width, h = height;
    const double m = w > h ? h : w;
    g.a = Twips::Round(0.075 * m);
    g.b = Twips::Round(0.1 * m);
    g.c = Twips::Round(0.15 * m);
    g.decimalLeft = w - g.a - g.c;
    g.decimalTop = h - g.a - g.c;
    g.lineWidthPixels = Twips::Round(0.05 * g.c);
    const double a = g.a, b = g.b;
    const double xr = w - 3 * a - g.c;
    g.segments[0] = {a + b, a, xr - b, a};
    g.segments[1] = {a + b, h / 2, xr - b, h / 2};
    g.segments[2] = {a + b, h - a, xr - b, h - a};
    g.segments[3] = {a, a + b, a, h / 2 - b};
    g.segments[4] = {xr, a + b, xr, h / 2 - b};
    g.segments[5] = {a, h / 2 + b, a, h - a - b};
    g.segments[6] = {xr, h / 2 + b, xr, h - a - b};
    return g;
}

LED::LED(QWidget* parent) : QWidget(parent)
{
    InitProperties();
}

int LED::SegmentMask(int digit)
{
    static constexpr int masks[10] = {125, 80, 55, 87, 90, 79, 111, 81, 127, 95};
    return digit >= 0 && digit <= 9 ? masks[digit] : 0;
}

int LED::Mask() const { return m_valueIsMask ? m_value : SegmentMask(m_value); }

void LED::InitProperties()
{
    m_value = 0;
    m_valueIsMask = false;
    m_showDecimal = false;
    m_showBorder = false;
    m_colorOn = 255;
    m_colorOff = 0;
    Relayout();
}

void LED::SetValue(int16_t value)
{
    if (m_valueIsMask && (value < 0 || value > 127))
        RaiseLEDError(ErrBadMask);
    if (!m_valueIsMask && (value < 0 || value > 9))
        RaiseLEDError(ErrBadDigit);
    m_value = value;
    emit PropertyChanged(QStringLiteral("Value"));
    Rebuild();
}

void LED::SetValueIsMask(bool isMask)
{
    if (isMask == m_valueIsMask)
        return;
    m_valueIsMask = isMask;
    emit PropertyChanged(QStringLiteral("ValueIsMask"));
    Rebuild();
}

void LED::SetShowDecimal(bool show)
{
    m_showDecimal = show;
    emit PropertyChanged(QStringLiteral("ShowDecimal"));
    Rebuild();
}

void LED::SetShowBorder(bool show)
{
    m_showBorder = show;
    emit PropertyChanged(QStringLiteral("ShowBorder"));
    Relayout(); // the border takes a pixel from each side of the surface
}

void LED::SetLEDColorOn(int32_t color)
{
    m_colorOn = color;
    emit PropertyChanged(QStringLiteral("LEDColorOn"));
    Rebuild();
}

void LED::SetLEDColorOff(int32_t color)
{
    m_colorOff = color;
    emit PropertyChanged(QStringLiteral("LEDColorOff"));
    Rebuild();
}

void LED::SetBackStyle(int16_t style)
{
    m_backStyle = style;
    emit PropertyChanged(QStringLiteral("BackStyle"));
    update();
}

void LED::ReadProperties(const PropertyBag& bag)
{
    // Each through its setter, so that the checks and the redraw run; one that fails keeps
    // its previous value and the reading goes on.
    const auto guarded = [](auto&& assign) {
        try {
            assign();
        } catch (const KvError&) {
        }
    };
    // "Value" is read before "ValueIsMask"; a stored mask is applied once the flag is known, so
    // that a mask above 9 is not refused as a digit.
    const int value = bag.ReadProperty(QStringLiteral("Value"), 0).toInt();
    const bool isMask = bag.ReadProperty(QStringLiteral("ValueIsMask"), false).toBool();
    if (isMask)
        SetValueIsMask(true);
    guarded([&] { SetValue(int16_t(std::clamp(value, -1, 128))); });
    SetValueIsMask(isMask);
    guarded([&] { SetShowDecimal(bag.ReadProperty(QStringLiteral("ShowDecimal"), false).toBool()); });
    guarded([&] { SetLEDColorOn(bag.ReadProperty(QStringLiteral("LEDColorOn"), 255).toInt()); });
    guarded([&] { SetLEDColorOff(bag.ReadProperty(QStringLiteral("LEDColorOff"), 0).toInt()); });
    guarded([&] { SetShowBorder(bag.ReadProperty(QStringLiteral("ShowBorder"), false).toBool()); });
    guarded([&] { SetBackStyle(int16_t(bag.ReadProperty(QStringLiteral("BackStyle"), 0).toInt())); });
}

void LED::WriteProperties(PropertyBag& bag) const
{
    bag.WriteProperty(QStringLiteral("Value"), int(m_value), 0);
    bag.WriteProperty(QStringLiteral("ShowDecimal"), m_showDecimal, false);
    bag.WriteProperty(QStringLiteral("LEDColorOn"), m_colorOn, 255);
    bag.WriteProperty(QStringLiteral("LEDColorOff"), m_colorOff, 0);
    bag.WriteProperty(QStringLiteral("ShowBorder"), m_showBorder, false);
    bag.WriteProperty(QStringLiteral("BackStyle"), int(m_backStyle), 0);
    bag.WriteProperty(QStringLiteral("ValueIsMask"), m_valueIsMask, false);
}

const DisplayList& LED::Display() const
{
    Follow();
    return m_display;
}

const LEDGeometry& LED::Geometry() const
{
    Follow();
    return m_geometry;
}

void LED::Follow() const
{
    if (m_laidOut != size())
        Relayout();
}

void LED::Relayout() const
{
    m_laidOut = size();
    const int border = m_showBorder ? 2 : 0;
    m_geometry = LEDGeometry::For(Twips::FromPixels(std::max(0, width() - border)),
                                  Twips::FromPixels(std::max(0, height() - border)));
    Rebuild();
}

void LED::Rebuild() const
{
    m_display.Clear();
    const double offset = m_showBorder ? Twips::PerPixel : 0;
    const int mask = Mask();
    for (int i = 0; i < 7; ++i) {
        const auto& s = m_geometry.segments[size_t(i)];
        m_display.Line(DisplayItem::Role::LedSegment, s[0] + offset, s[1] + offset, s[2] + offset,
                       s[3] + offset, (mask & (1 << i)) ? m_colorOn : m_colorOff,
                       m_geometry.lineWidthPixels);
    }
    // The point is a c x c square; its last twip row and column are its far edge.
    const double left = m_geometry.decimalLeft + offset, top = m_geometry.decimalTop + offset;
    const double side = std::max(0, m_geometry.c - Twips::PerPixel);
    m_display.Box(DisplayItem::Role::LedDecimal, left, top, left + side, top + side,
                  m_showDecimal ? m_colorOn : m_colorOff);
    const_cast<LED*>(this)->update();
}

void LED::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    Relayout();
}

void LED::paintEvent(QPaintEvent*)
{
    if (width() <= 0 || height() <= 0)
        return;
    Follow();
    QPainter painter(this);
    if (m_backStyle == 1)
        painter.fillRect(rect(), palette().color(QPalette::Window));
    ReplayDisplayList(painter, m_display, font(), font());
    if (m_showBorder) {
        painter.setPen(palette().color(QPalette::WindowText));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

std::vector<int> LEDRow::Digits(int count, int64_t number)
{
    std::vector<int> digits(size_t(std::max(0, count)), 0);
    if (count <= 0)
        return digits;
    int64_t power = 1;
    for (int i = 0; i < count && power <= INT64_MAX / 10; ++i)
        power *= 10; // 10^count
    if (number >= power)
        number -= power;
    for (int i = count - 1; i >= 0; --i) {
        int64_t unit = 1;
        for (int k = 0; k < i; ++k)
            unit *= 10;
        const int64_t d = number >= 0 ? number / unit : -((-number + unit - 1) / unit);
        number -= d * unit;
        digits[size_t(i)] = int(std::clamp<int64_t>(d, INT32_MIN, INT32_MAX));
    }
    return digits;
}

void LEDRow::ShowNumber(std::span<LED* const> digits, int64_t number)
{
    const std::vector<int> values = Digits(int(digits.size()), number);
    for (size_t i = 0; i < digits.size(); ++i) {
        if (!digits[i])
            continue;
        try {
            if (values[i] < INT16_MIN || values[i] > INT16_MAX)
                continue; // cannot be a digit: the old value stays
            digits[i]->SetValue(int16_t(values[i]));
        } catch (const KvError&) {
            // the digit refused the value and keeps its old one
        }
    }
}
