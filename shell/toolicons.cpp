#include "shell/toolicons.h"

#include "core/widgets/commandbar.h"
#include "core/widgets/toolnames.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <cmath>

#include <functional>
#include <initializer_list>
#include <map>
#include <utility>

namespace {

// Every picture is drawn on a 24 by 24 grid and scaled to the pixmap's size.
using Draw = std::function<void(QPainter&)>;

const QColor kInk(0x30, 0x30, 0x38);
const QColor kPaper(0xFF, 0xFF, 0xFF);
const QColor kBlue(0x2A, 0x6B, 0xC8);
const QColor kLightBlue(0xB8, 0xD4, 0xF4);
const QColor kGreen(0x2E, 0x9A, 0x3A);
const QColor kRed(0xD0, 0x30, 0x28);
const QColor kYellow(0xF2, 0xC2, 0x3A);
const QColor kOrange(0xE8, 0x8A, 0x1E);
const QColor kGrey(0x9A, 0x9A, 0xA2);

QPen pen(const QColor& c, double width = 1.4)
{
    QPen p(c, width);
    p.setCapStyle(Qt::RoundCap);
    p.setJoinStyle(Qt::RoundJoin);
    return p;
}

QPainterPath polygon(std::initializer_list<QPointF> corners)
{
    QPainterPath path;
    for (const QPointF& c : corners)
        path.elementCount() == 0 ? path.moveTo(c) : path.lineTo(c);
    path.closeSubpath();
    return path;
}

void sheet(QPainter& p, const QRectF& r)
{
    p.setPen(pen(kInk, 1.2));
    p.setBrush(kPaper);
    p.drawRect(r);
}

void tick(QPainter& p, QPointF at, double size, const QColor& c = kGreen)
{
    p.setPen(pen(c, 2.0));
    p.setBrush(Qt::NoBrush);
    QPainterPath path;
    path.moveTo(at + QPointF(0, size * 0.5));
    path.lineTo(at + QPointF(size * 0.38, size * 0.9));
    path.lineTo(at + QPointF(size, 0));
    p.drawPath(path);
}

void cross(QPainter& p, QPointF centre, double half, const QColor& c = kRed)
{
    p.setPen(pen(c, 2.2));
    p.drawLine(centre + QPointF(-half, -half), centre + QPointF(half, half));
    p.drawLine(centre + QPointF(-half, half), centre + QPointF(half, -half));
}

// A small table: a heading row and `rows` rows, `fill` giving each row's background.
void table(QPainter& p, const QRectF& r, int rows, const std::function<QColor(int)>& fill = {})
{
    const double head = 4;
    p.setPen(Qt::NoPen);
    p.setBrush(kLightBlue);
    p.drawRect(QRectF(r.left(), r.top(), r.width(), head));
    const double h = (r.height() - head) / rows;
    for (int i = 0; i < rows; ++i) {
        p.setBrush(fill ? fill(i) : kPaper);
        p.drawRect(QRectF(r.left(), r.top() + head + i * h, r.width(), h));
    }
    p.setPen(pen(kInk, 1.0));
    p.setBrush(Qt::NoBrush);
    p.drawRect(r);
    for (int i = 0; i < rows; ++i)
        p.drawLine(QPointF(r.left(), r.top() + head + i * h), QPointF(r.right(), r.top() + head + i * h));
    p.drawLine(QPointF(r.left() + r.width() / 3, r.top()), QPointF(r.left() + r.width() / 3, r.bottom()));
}

void checkRows(QPainter& p, const std::function<bool(int)>& checked)
{
    for (int i = 0; i < 3; ++i) {
        const QRectF box(3, 3.5 + i * 6.5, 5, 5);
        p.setPen(pen(kInk, 1.1));
        p.setBrush(kPaper);
        p.drawRect(box);
        p.setPen(pen(kGrey, 1.6));
        p.drawLine(QPointF(11, box.center().y()), QPointF(21, box.center().y()));
        if (checked(i))
            tick(p, box.topLeft() + QPointF(0.6, 0.4), 4.2);
    }
}

void glass(QPainter& p, QPointF centre, double radius)
{
    p.setPen(pen(kInk, 2.6));
    const QPointF handle = centre + QPointF(radius * 0.72, radius * 0.72);
    p.drawLine(handle, handle + QPointF(radius * 0.85, radius * 0.85));
    p.setPen(pen(kInk, 1.6));
    p.setBrush(kLightBlue);
    p.drawEllipse(centre, radius, radius);
}

void axes(QPainter& p)
{
    p.setPen(pen(kInk, 1.4));
    p.drawLine(QPointF(3, 2.5), QPointF(3, 21));
    p.drawLine(QPointF(3, 21), QPointF(21.5, 21));
}

const std::map<QString, Draw>& drawings()
{
    static const std::map<QString, Draw> all = {
        {ToolName::New,
         [](QPainter& p) {
             p.setPen(pen(kInk, 1.2));
             p.setBrush(kPaper);
             p.drawPath(polygon({{5, 2.5}, {14, 2.5}, {19, 7.5}, {19, 21.5}, {5, 21.5}}));
             p.drawLine(QPointF(14, 2.5), QPointF(14, 7.5));
             p.drawLine(QPointF(14, 7.5), QPointF(19, 7.5));
             p.setPen(pen(kOrange, 2.2));
             p.drawLine(QPointF(9, 14), QPointF(15, 14));
             p.drawLine(QPointF(12, 11), QPointF(12, 17));
         }},
        {ToolName::Open,
         [](QPainter& p) {
             p.setPen(pen(kInk, 1.1));
             p.setBrush(kYellow.darker(115));
             p.drawPath(polygon({{2.5, 5}, {8.5, 5}, {10.5, 7}, {19.5, 7}, {19.5, 19.5}, {2.5, 19.5}}));
             p.setBrush(kYellow);
             p.drawPath(polygon({{2.5, 19.5}, {6, 10.5}, {22.5, 10.5}, {19.5, 19.5}}));
         }},
        {ToolName::Print,
         [](QPainter& p) {
             sheet(p, QRectF(7, 2.5, 10, 7));
             p.setPen(pen(kInk, 1.2));
             p.setBrush(kGrey.lighter(130));
             p.drawRoundedRect(QRectF(2.5, 9.5, 19, 8), 1.5, 1.5);
             sheet(p, QRectF(7, 14.5, 10, 7));
             p.setPen(pen(kGrey, 1.0));
             p.drawLine(QPointF(9, 17), QPointF(15, 17));
             p.drawLine(QPointF(9, 19.3), QPointF(15, 19.3));
             p.setPen(Qt::NoPen);
             p.setBrush(kGreen);
             p.drawEllipse(QPointF(18.5, 12), 1, 1);
         }},
        {ToolName::MarkAll, [](QPainter& p) { checkRows(p, [](int) { return true; }); }},
        {ToolName::UnmarkAll, [](QPainter& p) { checkRows(p, [](int) { return false; }); }},
        {ToolName::ToggleMarks,
         [](QPainter& p) {
             checkRows(p, [](int i) { return i != 1; });
             p.setPen(pen(kBlue, 1.6));
             p.setBrush(Qt::NoBrush);
             p.drawArc(QRectF(12, 6, 9, 12), 90 * 16, -180 * 16);
             p.drawLine(QPointF(16.5, 18), QPointF(14.2, 16.2));
             p.drawLine(QPointF(16.5, 18), QPointF(14.4, 20.2));
         }},
        {ToolName::Find, [](QPainter& p) { glass(p, QPointF(10, 10), 6); }},
        {ToolName::SFFindError,
         [](QPainter& p) {
             glass(p, QPointF(9.5, 9.5), 6);
             cross(p, QPointF(18.5, 5.5), 3);
         }},
        {ToolName::Configure,
         [](QPainter& p) {
             const QPointF c(12, 12);
             QPainterPath gear;
             for (int i = 0; i < 16; ++i) {
                 const double a = i * 3.14159265358979 / 8.0;
                 const double r = (i % 2 == 0) ? 9.5 : 7.0;
                 const QPointF at = c + QPointF(r * std::cos(a - 0.2), r * std::sin(a - 0.2));
                 const QPointF to = c + QPointF(r * std::cos(a + 0.2), r * std::sin(a + 0.2));
                 if (i == 0)
                     gear.moveTo(at);
                 else
                     gear.lineTo(at);
                 gear.lineTo(to);
             }
             gear.closeSubpath();
             p.setPen(pen(kInk, 1.1));
             p.setBrush(kGrey.lighter(120));
             p.drawPath(gear);
             p.setBrush(kPaper);
             p.drawEllipse(c, 3, 3);
         }},
        {ToolName::Split,
         [](QPainter& p) {
             p.setPen(pen(kInk, 1.1));
             p.setBrush(kBlue);
             p.drawRect(QRectF(2.5, 8, 11, 8));
             p.setBrush(kOrange);
             p.drawRect(QRectF(15.5, 8, 6, 8));
             p.setPen(pen(kRed, 1.6));
             p.drawLine(QPointF(14.5, 3), QPointF(14.5, 21));
         }},
        {ToolName::TrainBP,
         [](QPainter& p) {
             const QPointF in[] = {{4, 5}, {4, 12}, {4, 19}};
             const QPointF hidden[] = {{12, 8}, {12, 16}};
             const QPointF out(20, 12);
             p.setPen(pen(kGrey, 1.0));
             for (QPointF a : in)
                 for (QPointF b : hidden)
                     p.drawLine(a, b);
             for (QPointF b : hidden)
                 p.drawLine(b, out);
             p.setPen(pen(kInk, 1.0));
             p.setBrush(kLightBlue);
             for (QPointF a : in)
                 p.drawEllipse(a, 2.3, 2.3);
             p.setBrush(kBlue);
             for (QPointF b : hidden)
                 p.drawEllipse(b, 2.5, 2.5);
             p.setBrush(kOrange);
             p.drawEllipse(out, 2.7, 2.7);
         }},
        {ToolName::ShowAll, [](QPainter& p) { table(p, QRectF(2.5, 3.5, 19, 17), 4); }},
        {ToolName::BrowseTest,
         [](QPainter& p) {
             table(p, QRectF(2.5, 3.5, 19, 17), 4, [](int i) { return i % 2 ? kPaper : QColor(0xEA, 0xFF, 0xEA); });
             p.setPen(Qt::NoPen);
             p.setBrush(kYellow);
             p.drawRect(QRectF(3, 4, 5.8, 3.5));
         }},
        {ToolName::Scatter,
         [](QPainter& p) {
             axes(p);
             p.setPen(pen(kGrey, 1.0));
             p.drawLine(QPointF(4, 20), QPointF(21, 3));
             p.setPen(Qt::NoPen);
             p.setBrush(kBlue);
             const QPointF dots[] = {{6, 16}, {8, 17.5}, {9.5, 13}, {12, 12.5}, {13, 9}, {15.5, 10.5}, {17, 6.5}, {19, 5}};
             for (QPointF d : dots)
                 p.drawEllipse(d, 1.3, 1.3);
         }},
        {ToolName::Series,
         [](QPainter& p) {
             axes(p);
             p.setBrush(Qt::NoBrush);
             // Two wavy lines: the actual values and, close to them, the predictions.
             for (const auto& [colour, lift] : {std::pair{kBlue, 0.0}, std::pair{kRed, 2.5}}) {
                 QPainterPath line;
                 line.moveTo(4, 15 + lift);
                 line.cubicTo(8, 5 + 1.6 * lift, 11, 19 - lift, 15, 10 + lift);
                 line.cubicTo(17, 6 + lift, 19, 8 + lift, 21, 6 + lift);
                 p.setPen(pen(colour, 1.6));
                 p.drawPath(line);
             }
         }},
        {ToolName::SFShowErrors,
         [](QPainter& p) {
             table(p, QRectF(2.5, 3.5, 15, 17), 4, [](int i) { return i == 1 || i == 3 ? QColor(0xF8, 0xC8, 0xC4) : kPaper; });
             cross(p, QPointF(18.5, 17.5), 3.2);
         }},
        {ToolName::SFShowCorrect,
         [](QPainter& p) {
             table(p, QRectF(2.5, 3.5, 15, 17), 4, [](int i) { return i != 2 ? QColor(0xD4, 0xF2, 0xD4) : kPaper; });
             tick(p, QPointF(14.5, 13.5), 7.5);
         }},
        {ToolName::Matrix,
         [](QPainter& p) {
             const double cell = 6;
             for (int r = 0; r < 3; ++r)
                 for (int c = 0; c < 3; ++c) {
                     p.setPen(pen(kInk, 1.0));
                     p.setBrush(r == c ? kGreen.lighter(150) : (r + c) % 2 ? QColor(0xF8, 0xC8, 0xC4) : kPaper);
                     p.drawRect(QRectF(3 + c * cell, 3 + r * cell, cell, cell));
                 }
         }},
    };
    return all;
}

QPixmap paint(const Draw& draw, int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 24.0, size / 24.0);
    draw(p);
    return pixmap;
}

} // namespace

QStringList ToolIcons::Names()
{
    QStringList names;
    for (const auto& [name, draw] : drawings())
        names << name;
    return names;
}

QIcon ToolIcons::For(const QString& toolName)
{
    const auto it = drawings().find(toolName);
    if (it == drawings().end())
        return {};
    QIcon icon;
    for (int size : {16, 24, 32, 48})
        icon.addPixmap(paint(it->second, size));
    return icon;
}

void ToolIcons::Apply(CCommandBar& bar)
{
    for (const QString& name : Names())
        if (bar.HasTool(name))
            bar.SetIcon(name, For(name));
}
