#include "charts/childwindow.h"

#include "core/errorbox.h"
#include "core/widgets/statusbar.h"
#include "core/widgets/veltra.h"
#include "shell/frmmain.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QWidget>

#include <memory>

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
    QMdiSubWindow* sub = main->MdiArea()->addSubWindow(view);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    sub->setWindowTitle(view->windowTitle());
    sub->setWindowIcon(view->windowIcon());
    auto activated = std::make_shared<bool>(false);
    if (onActivate) {
        QPointer<QMdiSubWindow> guard(sub);
        QObject::connect(main, &frmMain::ChildActivated, view, [guard, onActivate, activated](QMdiSubWindow* w) {
            if (w && w == guard) {
                *activated = true;
                onActivate();
            }
        });
    }
    if (maximised) {
        sub->showMaximized();
    } else {
        sub->show();
        // The frame around the view's designed size.
        sub->resize(sub->size() - view->size() + designed);
    }
    main->MdiArea()->setActiveSubWindow(sub);
    // A disabled area (a long command under the hourglass) activates no child: the view is
    // filled all the same, not at the user's first click.
    if (onActivate && !*activated)
        onActivate();
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
