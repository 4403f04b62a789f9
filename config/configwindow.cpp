#include "config/configwindow.h"

#include "core/widgets/veltra.h"
#include "core/widgets/winhelpers.h"
#include "shell/frmmain.h"
#include "shell/modmenu.h"

#include <QKeyEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPainter>
#include <QPointer>

void CConfigWindow::ShowAsChild(CConfigWindow* window, QSize size, QPoint offset)
{
    auto* main = qobject_cast<frmMain*>(gVeltra().MainForm());
    if (main) {
        QMdiSubWindow* sub = main->AddChild(window);
        sub->resize(size);
        if (offset != QPoint(-1, -1))
            sub->move(offset);
        QPointer<QMdiSubWindow> guard(sub);
        connect(main, &frmMain::ChildActivated, window, [window, guard](QMdiSubWindow* active) {
            if (active && active == guard)
                window->Activated();
        });
    } else {
        window->resize(size);
    }
    window->show();
    if (!main)
        window->Activated();
}

void CConfigWindow::Activate(QWidget* window)
{
    if (auto* sub = qobject_cast<QMdiSubWindow*>(window->parentWidget()))
        sub->mdiArea()->setActiveSubWindow(sub);
}

void CConfigWindow::CloseWindow()
{
    if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget()))
        sub->close();
    else
        close();
}

void CConfigWindow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    Utilities::PaintGradient(this, painter, Utilities::GradientTop, Utilities::GradientBottom);
}

void CConfigWindow::keyPressEvent(QKeyEvent* event)
{
    if (!Utilities::ToolBarKeyDown(event))
        QWidget::keyPressEvent(event);
}

void CConfigWindow::keyReleaseEvent(QKeyEvent* event)
{
    if (!Utilities::ToolBarKeyUp(event))
        QWidget::keyReleaseEvent(event);
}
