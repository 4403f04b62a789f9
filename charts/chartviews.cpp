#include "charts/chartviews.h"

#include "charts/frmmatrix.h"
#include "charts/frmscatter.h"
#include "charts/frmseries.h"
#include "charts/childwindow.h"
#include "core/errorbox.h"
#include "core/status.h"
#include "core/widgets/hourglass.h"
#include "core/widgets/statusmsg.h"
#include "core/widgets/toolnames.h"
#include "core/widgets/updatelock.h"
#include "core/widgets/veltra.h"
#include "network/backprop.h"
#include "network/sfam.h"
#include "shell/commandtable.h"
#include "shell/modmenu.h"
#include "shell/navigate.h"
#include "shell/networkopener.h"

#include <QMainWindow>

void ChartViews::ShowCMatrix()
{
    Procedure(QStringLiteral("modMenu::ShowCMatrix"), [&] {
        CHourglass hourglass(true);
        // Drawing of the main window waits until the matrix is laid out.
        CUpdateLock lock(gVeltra().MainForm());
        modMenu::RemoveChildForms();
        auto* form = new frmMatrix(CurrentNetworkAs<CSFam>());
        form->Display();
        form->Start();
    });
}

namespace {

// The scatter or the series window of the open back-propagation project, built from its tested
// results (tested again, the marks kept, when its testing rows are not built); nothing for
// another kind.
void showChart(bool series)
{
    Procedure(series ? QStringLiteral("modMenu::ShowSeries") : QStringLiteral("modMenu::ShowScatter"), [&] {
        const std::shared_ptr<CBackProp> net = CurrentNetworkAs<CBackProp>();
        if (!net)
            return;
        Procedure(series ? QStringLiteral("CBackProp::ShowSeries") : QStringLiteral("CBackProp::ShowScatter"), [&] {
            modMenu::RemoveChildForms();
            net->RetestIfNotBuilt();
            const TestedPredictions data = net->TestedResults();
            Status::Message(QStringLiteral("Test Set results"));
            // The scatter window shows the rows in the second status panel before it is
            // displayed, the series window after.
            if (series) {
                auto* form = new frmSeries(net);
                form->Bind(data);
                form->Display();
                ChildWindow::SetRowsPanel(data.rowsText);
            } else {
                auto* form = new frmScatter(net);
                form->SetData(data);
                ChildWindow::SetRowsPanel(data.rowsText);
                form->Display();
            }
        });
    });
}

} // namespace

void ChartViews::ShowScatter()
{
    showChart(false);
}

void ChartViews::ShowSeries()
{
    showChart(true);
}

void ChartViews::Install()
{
    CCommandTable& commands = gCommands();
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
