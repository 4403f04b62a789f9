// `LED`: one seven-segment digit with a decimal point, the cell of the training windows'
// counters; and `LEDRow::ShowNumber`, which writes a whole number into a row of them.
#pragma once

#include "training/displaylist.h"

#include <QString>
#include <QWidget>
#include <array>
#include <cstdint>
#include <span>
#include <vector>

class PropertyBag;

// Where the shapes of a digit stand for a surface of W x H twips.
struct LEDGeometry {
    int a = 0; // outer margin
    int b = 0; // gap between a segment's end and a corner
    int c = 0; // side of the decimal point
    int lineWidthPixels = 0;
    double decimalLeft = 0, decimalTop = 0; // the point is c x c
    // Segments 0 top, 1 middle, 2 bottom, 3 upper left, 4 upper right, 5 lower left,
    // 6 lower right: x1, y1, x2, y2.
    std::array<std::array<double, 4>, 7> segments{};

    static LEDGeometry For(int width, int height);
};

class LED : public QWidget {
    Q_OBJECT
public:
    static constexpr int ErrBadDigit = 100; // LEDErrBadDigit
    static constexpr int ErrBadMask = 200;  // LEDErrBadMask

    explicit LED(QWidget* parent = nullptr);

    // A digit 0..9, or with ValueIsMask a segment mask 0..127. Another value throws KvError
    // 0x80040064 (digit) or 0x800400C8 (mask) and keeps the old value.
    int16_t Value() const { return m_value; }
    void SetValue(int16_t value);
    bool ValueIsMask() const { return m_valueIsMask; }
    void SetValueIsMask(bool isMask);
    bool ShowDecimal() const { return m_showDecimal; }
    void SetShowDecimal(bool show);
    bool ShowBorder() const { return m_showBorder; }
    void SetShowBorder(bool show);
    int32_t LEDColorOn() const { return m_colorOn; }
    void SetLEDColorOn(int32_t color);
    int32_t LEDColorOff() const { return m_colorOff; }
    void SetLEDColorOff(int32_t color);
    int16_t BackStyle() const { return m_backStyle; } // 0 transparent, 1 opaque
    void SetBackStyle(int16_t style);

    void InitProperties();
    void ReadProperties(const PropertyBag& bag);
    void WriteProperties(PropertyBag& bag) const;

    // The segments lit for a digit; 0 for anything but 0..9.
    static int SegmentMask(int digit);
    // The mask now shown.
    int Mask() const;
    // The shapes as drawn now (twips).
    // (A hidden control gets no resize event, so these follow its size themselves.)
    const DisplayList& Display() const;
    const LEDGeometry& Geometry() const;

signals:
    void PropertyChanged(const QString& name);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void Relayout() const;
    void Rebuild() const;
    void Follow() const;

    int16_t m_value = 0;
    bool m_valueIsMask = false;
    bool m_showDecimal = false;
    bool m_showBorder = false;
    int32_t m_colorOn = 255;
    int32_t m_colorOff = 0;
    int16_t m_backStyle = 0;
    mutable QSize m_laidOut{-1, -1};
    mutable LEDGeometry m_geometry;
    mutable DisplayList m_display;
};

namespace LEDRow {
// The value each digit of a row of `count` digits gets for `number` (index 0 the units): a
// number that does not fit is reduced once by 10^count, so the highest digit may exceed 9.
std::vector<int> Digits(int count, int64_t number);
// Writes `number` into `digits` (index 0 the units digit). A digit that refuses its value keeps
// the old one; missing digits are skipped.
void ShowNumber(std::span<LED* const> digits, int64_t number);
}
