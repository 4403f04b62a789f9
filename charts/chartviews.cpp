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
#include "shell/viewprocs.h"
#include "training/testdialogs.h"

#include <QMainWindow>
#include <QPointer>

namespace {

void showCMatrix()
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

} // namespace

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

void ChartViews::Install()
{
    modMenu::ViewProcedures& v = modMenu::Views();
    v.ShowScatter = [] {
        Procedure(QStringLiteral("modMenu::ShowScatter"), [] {
            if (auto net = gBackProp())
                net->ShowScatter();
        });
    };
    v.ShowSeries = [] {
        Procedure(QStringLiteral("modMenu::ShowSeries"), [] {
            if (auto net = gBackProp())
                net->ShowSeries();
        });
    };
    v.ShowCMatrix = showCMatrix;
    v.TestShow = [] { TestDialogs::TestShow(); };

    CCommandTable& commands = gCommands();
    commands.Add(ToolName::TestBP, modMenu::TestShow);
    commands.Add(ToolName::Matrix, [](const CommandClick&) {
        modMenu::ShowCMatrix();
        Utilities::StatusMessage(QStringLiteral("SFAM Confusion Matrix - Double click any cell for details"));
    });
    commands.Add(ToolName::Scatter, modMenu::ShowScatter);
    commands.Add(ToolName::Series, modMenu::ShowSeries);
}
