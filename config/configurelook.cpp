// The configuration window's shared look: fonts, colours, placed labels and buttons.
#include "config/configurelook.h"

#include "config/twipsrect.h"
#include "core/widgets/winhelpers.h"

#include <QLabel>
#include <QPushButton>

namespace ConfLook {

QString ColorSheet(uint32_t background, uint32_t text)
{
    return QStringLiteral("background-color: %1; color: %2;")
        .arg(Utilities::ColorFromBgr(background).name(), Utilities::ColorFromBgr(text).name());
}

QFont SansFont(double points, bool bold, bool italic)
{
    QFont f(QStringLiteral("MS Sans Serif"));
    f.setStyleHint(QFont::SansSerif);
    f.setPointSizeF(points);
    f.setBold(bold);
    f.setItalic(italic);
    return f;
}

void PlaceAt(QWidget* w, int left, int top, int width, int height)
{
    w->setGeometry(TwipsRect(left, top, width, height));
}

QLabel* Label(QWidget* parent, const char* name, const QString& text, int left, int top, int width, int height)
{
    auto* lb = new QLabel(text, parent);
    lb->setObjectName(QString::fromLatin1(name));
    PlaceAt(lb, left, top, width, height);
    // The designed widths were made for a narrower font: a caption is never cut.
    if (!text.isEmpty() && lb->sizeHint().width() > lb->width())
        lb->resize(lb->sizeHint().width(), lb->height());
    return lb;
}

QPushButton* Button(QWidget* parent, const char* name, const QString& text, int left, int top, int width,
                    int height, bool bold)
{
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QString::fromLatin1(name));
    PlaceAt(b, left, top, width, height);
    if (bold)
        b->setFont(SansFont(8.25, true));
    return b;
}

} // namespace ConfLook
