#include "training/displaylist.h"

#include "core/twips.h"
#include "core/widgets/winhelpers.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPen>

namespace {
DisplayItem Make(DisplayItem::Kind kind, DisplayItem::Role role, double x1, double y1, double x2, double y2,
                 int32_t color)
{
    DisplayItem item;
    item.kind = kind;
    item.role = role;
    item.x1 = x1, item.y1 = y1, item.x2 = x2, item.y2 = y2;
    item.color = color;
    item.fillColor = color;
    return item;
}
}

void DisplayList::Line(DisplayItem::Role role, double x1, double y1, double x2, double y2,
                       int32_t color, int penPixels)
{
    items.push_back(Make(DisplayItem::Kind::Line, role, x1, y1, x2, y2, color));
    items.back().penPixels = penPixels;
}

void DisplayList::Box(DisplayItem::Role role, double x1, double y1, double x2, double y2, int32_t color)
{
    items.push_back(Make(DisplayItem::Kind::Box, role, x1, y1, x2, y2, color));
}

void DisplayList::Outline(DisplayItem::Role role, double x1, double y1, double x2, double y2,
                          int32_t color)
{
    items.push_back(Make(DisplayItem::Kind::Outline, role, x1, y1, x2, y2, color));
}

void DisplayList::Text(DisplayItem::Role role, double x, double y, const QString& text, int32_t color,
                       DisplayItem::FontRole font)
{
    items.push_back(Make(DisplayItem::Kind::Text, role, x, y, x, y, color));
    items.back().text = text;
    items.back().font = font;
}

std::vector<const DisplayItem*> DisplayList::Of(DisplayItem::Role role) const
{
    std::vector<const DisplayItem*> found;
    for (const DisplayItem& item : items)
        if (item.role == role)
            found.push_back(&item);
    return found;
}

namespace {
double Px(double twips) { return Twips::ToPixels(twips); }

// The corners of a filled or outlined box in pixels, both corners inside, whichever way round.
QRectF PixelBox(const DisplayItem& item, bool outline)
{
    const double left = std::min(item.x1, item.x2), right = std::max(item.x1, item.x2);
    const double top = std::min(item.y1, item.y2), bottom = std::max(item.y1, item.y2);
    if (outline) // a 1-pixel pen centred on the pixel centres
        return QRectF(QPointF(Px(left) + 0.5, Px(top) + 0.5), QPointF(Px(right) + 0.5, Px(bottom) + 0.5));
    return QRectF(QPointF(Px(left), Px(top)), QPointF(Px(right) + 1, Px(bottom) + 1));
}
}

void ReplayDisplayList(QPainter& painter, const DisplayList& list, const QFont& body, const QFont& title)
{
    painter.save();
    for (const DisplayItem& item : list.items) {
        const QColor color = Utilities::ColorFromBgr(uint32_t(item.color));
        switch (item.kind) {
        case DisplayItem::Kind::Line: {
            QPen pen(color);
            pen.setWidthF(std::max(1, item.penPixels));
            pen.setCapStyle(item.penPixels > 1 ? Qt::RoundCap : Qt::SquareCap);
            painter.setPen(pen);
            painter.setRenderHint(QPainter::Antialiasing, item.penPixels > 1);
            const double offset = item.penPixels > 1 ? 0.0 : 0.5;
            painter.drawLine(QPointF(Px(item.x1) + offset, Px(item.y1) + offset),
                             QPointF(Px(item.x2) + offset, Px(item.y2) + offset));
            break;
        }
        case DisplayItem::Kind::Box:
            painter.setRenderHint(QPainter::Antialiasing, false);
            painter.fillRect(PixelBox(item, false), Utilities::ColorFromBgr(uint32_t(item.fillColor)));
            break;
        case DisplayItem::Kind::Outline:
            painter.setRenderHint(QPainter::Antialiasing, false);
            painter.setPen(QPen(color));
            painter.setBrush(Qt::NoBrush);
            painter.drawRect(PixelBox(item, true));
            break;
        case DisplayItem::Kind::Text: {
            const QFont& font = item.font == DisplayItem::FontRole::Title ? title : body;
            painter.setFont(font);
            painter.setPen(color);
            const QFontMetricsF metrics(font);
            painter.drawText(QPointF(Px(item.x1), Px(item.y1) + metrics.ascent()), item.text);
            break;
        }
        }
    }
    painter.restore();
}

double FontTextMeasure::TextWidth(const QString& text, DisplayItem::FontRole font) const
{
    const QFontMetricsF metrics(font == DisplayItem::FontRole::Title ? m_title : m_body);
    return metrics.horizontalAdvance(text) * Twips::PerPixel;
}

double FontTextMeasure::TextHeight(const QString&, DisplayItem::FontRole font) const
{
    const QFontMetricsF metrics(font == DisplayItem::FontRole::Title ? m_title : m_body);
    return metrics.height() * Twips::PerPixel;
}
