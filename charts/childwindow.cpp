#include "charts/childwindow.h"

#include "core/errorbox.h"
#include "core/widgets/statusbar.h"
#include "core/widgets/veltra.h"
#include "shell/frmmain.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QWidget>

void ChildWindow::Show(QWidget* view, bool maximised, std::function<void()> onActivate)
{
    view->setAttribute(Qt::WA_DeleteOnClose);
    auto* main = qobject_cast<frmMain*>(gVeltra().MainForm());
    if (!main || !main->MdiArea()) {
        if (onActivate)
            onActivate();
        maximised ? view->showMaximized() : view->show();
        return;
    }
    const QSize designed = view->size();
    QMdiSubWindow* sub = main->AddChild(view);
    sub->setWindowTitle(view->windowTitle());
    sub->setWindowIcon(view->windowIcon());
    if (onActivate) {
        QPointer<QMdiSubWindow> guard(sub);
        QObject::connect(main, &frmMain::ChildActivated, view, [guard, onActivate](QMdiSubWindow* w) {
            if (w && w == guard)
                onActivate();
        });
    }
    if (maximised) {
        sub->showMaximized();
    } else {
        sub->show();
        // The frame around the view's designed size.
        sub->resize(sub->size() - view->size() + designed);
    }
    // Under the hourglass the activation comes when the user is let in again (frmMain).
    main->MdiArea()->setActiveSubWindow(sub);
}

QString ChildWindow::MainStatusText()
{
    QString text;
    IgnoreErrors([&] { text = gVeltra().StatusBar().Panel(1).Text().trimmed(); });
    return text;
}

void ChildWindow::SetRowsPanel(const QString& text)
{
    IgnoreErrors([&] { gVeltra().StatusBar().Message(text, true); });
}

void ChildWindow::Close(QWidget* view)
{
    if (auto* sub = qobject_cast<QMdiSubWindow*>(view->parentWidget()))
        sub->close();
    else
        view->close();
}
