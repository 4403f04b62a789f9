#include "core/widgets/statusmsg.h"

#include "core/errorbox.h"
#include "core/kverror.h"
#include "core/widgets/statusbar.h"
#include "core/widgets/veltra.h"

#include <QCoreApplication>
#include <QProgressBar>

using StatusGeometry::Px;

void Utilities::StatusMessage(const QString& text)
{
    gVeltra().StatusBar().message(text);
}

void Utilities::SetProjectPanel(const QString& text)
{
    gVeltra().StatusBar().setProjectPanel(text);
}

void Utilities::SetNodesPanel(const QString& text)
{
    gVeltra().StatusBar().setNodesPanel(text);
}

void Utilities::Progress(int percent)
{
    QWidget* form = gVeltra().MainForm();
    if (!form)
        return;
    Procedure(QStringLiteral("Utilities::Progress"), [&] {
        auto* control = form->findChild<CMStatusBar*>();
        if (!control)
            throw KvError(KvErr::ObjectNotSet, QStringLiteral("Utilities::Progress"));
        StatusProgress::Show(*control, percent);
    });
}

void Utilities::ShowWorkProgress(int percent)
{
    Progress(percent);
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void StatusProgress::Show(CMStatusBar& control, int percent)
{
    CStatusPanels* strip = control.StatusBar();
    QProgressBar* bar = control.ProgressBar();
    if (!strip || !bar)
        throw KvError(KvErr::ObjectNotSet, QStringLiteral("CMStatusBar"));
    const CStatusPanel& main = strip->Panel(1);
    const int textWidth = control.TextWidth(main.Text() + QStringLiteral("    "));
    if (percent == -1) {
        bar->setValue(0);
        bar->hide();
    } else {
        const int left = textWidth + main.Left();
        int width = Px(2055);
        if (main.Left() + textWidth + width > main.Width())
            width = main.Width() - textWidth - main.Left() - Px(30);
        // A message wider than the panel leaves no room: the bar shrinks to nothing rather
        // than taking a negative width.
        bar->setGeometry(left, bar->y(), qMax(0, width), bar->height());
        bar->setValue(qBound(0, percent, 100));
        bar->show();
        bar->raise();
    }
    control.Refresh();
}
