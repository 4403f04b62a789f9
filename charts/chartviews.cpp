#include "charts/chartviews.h"

#include "charts/frmmatrix.h"
#include "charts/frmscatter.h"
#include "charts/frmseries.h"
#include "charts/childwindow.h"
#include "core/errorbox.h"
#include "core/widgets/hourglass.h"
#include "core/widgets/statusmsg.h"
#include "core/widgets/toolnames.h"
#include "core/widgets/veltra.h"
#include "network/backprop.h"
#include "shell/commandtable.h"
#include "shell/modmenu.h"
#include "shell/navigate.h"
#include "shell/networkopener.h"
#include "training/testdialogs.h"

#include <QMainWindow>
#include <QPointer>

void ChartViews::ShowCMatrix()
{
    Procedure(QStringLiteral("modMenu::ShowCMatrix"), [&] {
        CHourglass hourglass(true);
        // Drawing of the main window waits until the matrix is laid out.
        QPointer<QWidget> main = gVeltra().MainForm();
        if (main)
            main->setUpdatesEnabled(false);
        struct Unlock {
            QPointer<QWidget> w;
            ~Unlock()
            {
                if (w)
                    w->setUpdatesEnabled(true);
            }
        } unlock{main};
        modMenu::RemoveChildForms();
        auto* form = new frmMatrix(gSFam());
        form->Display();
        form->Start();
    });
}

void ChartWindowsHost::RemoveChildForms()
{
    modMenu::RemoveChildForms();
}

void ChartWindowsHost::ShowScatter(const ChartHandover& data)
{
    auto* form = new frmScatter(gBackProp());
    form->SetData(data);
    ChildWindow::SetRowsPanel(data.rowsText);
    form->Display();
}

void ChartWindowsHost::ShowSeries(const ChartHandover& data)
{
    auto* form = new frmSeries(gBackProp());
    form->Bind(data);
    form->Display();
    ChildWindow::SetRowsPanel(data.rowsText);
}

void ChartViews::ShowScatter()
{
    Procedure(QStringLiteral("modMenu::ShowScatter"), [] {
        if (auto net = gBackProp())
            net->ShowScatter();
    });
}

void ChartViews::ShowSeries()
{
    Procedure(QStringLiteral("modMenu::ShowSeries"), [] {
        if (auto net = gBackProp())
            net->ShowSeries();
    });
}

void ChartViews::Install()
{
    CCommandTable& commands = gCommands();
    commands.Add(ToolName::TestBP, TestDialogs::TestShow);
    commands.Add(ToolName::Matrix, [](const CommandClick& click) {
        ShowCMatrix();
        // The hint answers the tool's click; a window that shows the matrix by name (Finish,
        // the row split's test) keeps its own text.
        if (click.window)
            Utilities::StatusMessage(QStringLiteral("SFAM Confusion Matrix - Double click any cell for details"));
    });
    commands.Add(ToolName::Scatter, ShowScatter);
    commands.Add(ToolName::Series, ShowSeries);
}
