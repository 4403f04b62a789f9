// What a self-drawn control paints, as data: lines, filled boxes, outlines and texts with their
// coordinates in twips. A control computes the list from its state when it refreshes; its paint
// event only replays the list, so a repaint never changes state.
#pragma once

#include <QFont>
#include <QString>
#include <cstdint>
#include <vector>

class QPainter;

struct DisplayItem {
    enum class Kind { Line, Box, Outline, Text };
    // What the item is in the picture, so that a test can pick out the ticks or the bars.
    enum class Role {
        None, Title, LegendBox, LegendText, ValueTick, ValueLabel, Frame, PointTick, PointLabel,
        Bar, Segment, Marker, Point, LedSegment, LedDecimal
    };
    enum class FontRole { Body, Title };

    Kind kind = Kind::Line;
    Role role = Role::None;
    // Line: from (x1, y1) to (x2, y2). Box and Outline: the corners (x1, y1) and (x2, y2), both
    // inside. Text: its top-left corner is (x1, y1).
    double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    int32_t color = 0;     // 0x00BBGGRR (system colours allowed)
    int32_t fillColor = 0; // Box only; `color` is then its border
    int penPixels = 1;     // Line only
    QString text;          // Text only
    FontRole font = FontRole::Body;
    int series = 0;        // chart items of one series: the series number (1-based)
    int point = -1;        // chart items of one point: the point number
};

struct DisplayList {
    std::vector<DisplayItem> items;

    void Clear() { items.clear(); }
    void Line(DisplayItem::Role role, double x1, double y1, double x2, double y2, int32_t color,
              int penPixels = 1);
    void Box(DisplayItem::Role role, double x1, double y1, double x2, double y2, int32_t color);
    void Outline(DisplayItem::Role role, double x1, double y1, double x2, double y2, int32_t color);
    void Text(DisplayItem::Role role, double x, double y, const QString& text, int32_t color,
              DisplayItem::FontRole font = DisplayItem::FontRole::Body);

    // Items of one role, in drawing order.
    std::vector<const DisplayItem*> Of(DisplayItem::Role role) const;
};

// Replays a list onto a painter whose unit is the pixel (twips / 15).
void ReplayDisplayList(QPainter& painter, const DisplayList& list, const QFont& body,
                       const QFont& title);

// Text extents in twips, as the control's surface measures them. The program measures with the
// real font; tests use a fixed-width measure so that layouts come out as exact numbers.
class ITextMeasure {
public:
    virtual ~ITextMeasure() = default;
    virtual double TextWidth(const QString& text, DisplayItem::FontRole font) const = 0;
    virtual double TextHeight(const QString& text, DisplayItem::FontRole font) const = 0;
};

// Measures with the fonts' metrics at 96 dpi.
class FontTextMeasure final : public ITextMeasure {
public:
    FontTextMeasure(const QFont& body, const QFont& title) : m_body(body), m_title(title) {}
    double TextWidth(const QString& text, DisplayItem::FontRole font) const override;
    double TextHeight(const QString& text, DisplayItem::FontRole font) const override;

private:
    QFont m_body;
    QFont m_title;
};
