#include "charts/charthead.h"

#include "charts/chartcommon.h"
#include "charts/childwindow.h"
#include "core/twips.h"
#include "core/widgets/winhelpers.h"

#include <QLabel>
#include <QPushButton>

QLabel* ChartLabel(QWidget* parent, const QString& text, QPoint twips, uint32_t bgr)
{
    auto* l = new QLabel(text, parent);
    l->move(Twips::ToWholePixels(twips));
    QPalette p = l->palette();
    p.setColor(QPalette::WindowText, Utilities::ColorFromBgr(bgr));
    l->setPalette(p);
    l->adjustSize();
    return l;
}

ChartHead ChartHead::Build(QWidget* window, int rightValues, int rows)
{
    window->setAutoFillBackground(true);
    QPalette p = window->palette();
    p.setColor(QPalette::Window, Utilities::ColorFromBgr(0xC0C0C0));
    window->setPalette(p);

    ChartHead head;
    const QPoint names[] = {{120, 120}, {120, 360}, {3600, 120}, {3600, 360}};
    const QPoint values[] = {{2400, 120}, {2400, 360}, {rightValues, 120}, {rightValues, 360}};
    const QString captions[] = {QStringLiteral("Normalized RMS Error"), QStringLiteral("Actual RMS Error"),
                                QStringLiteral("Unexplained Variance"), QStringLiteral("Correlation Coefficient")};
    for (int k = 0; k < 4; ++k) {
        ChartLabel(window, captions[k], names[k]);
        head.values.push_back(ChartLabel(window, QString(), values[k], 0x400000));
        head.values.back()->setMinimumWidth(Twips::ToWholePixels(1000));
    }
    head.trainRows = ChartLabel(window, QString(), {rows, 120}, 0x400000);
    head.testRows = ChartLabel(window, QString(), {rows, 360}, 0x400000);
    head.trainRows->setMinimumWidth(Twips::ToWholePixels(2400));
    head.testRows->setMinimumWidth(Twips::ToWholePixels(2400));
    head.close = new QPushButton(QStringLiteral("Close"), window);
    head.close->resize(Twips::ToWholePixels(1095), Twips::ToWholePixels(345));
    QObject::connect(head.close, &QPushButton::clicked, window, [window] { ChildWindow::Close(window); });
    return head;
}

void ChartHead::Fill(CBackProp& net)
{
    const ChartFormat::Statistics s = ChartFormat::StatisticTexts(net);
    const QString texts[] = {s.error, s.rms, s.unexplained, s.correlation};
    for (size_t k = 0; k < 4; ++k) {
        values[k]->setText(texts[k]);
        values[k]->adjustSize();
    }
}

void ChartHead::SetRows(const QString& trained, const QString& tested)
{
    trainRows->setText(trained);
    testRows->setText(tested);
    trainRows->adjustSize();
    testRows->adjustSize();
}
