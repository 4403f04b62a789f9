#include "charts/resultview.h"

#include "core/widgets/winhelpers.h"

#include <QKeyEvent>

QFont ResultView::titleFont() const
{
    QFont f = font();
    f.setBold(true);
    return f;
}

void ResultView::keyPressEvent(QKeyEvent* event)
{
    if (!Utilities::ToolBarKeyDown(event))
        QWidget::keyPressEvent(event);
}

void ResultView::keyReleaseEvent(QKeyEvent* event)
{
    if (!Utilities::ToolBarKeyUp(event))
        QWidget::keyReleaseEvent(event);
}
