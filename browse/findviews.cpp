#include "browse/findviews.h"

#include "browse/browsegrid.h"
#include "browse/currentbrowse.h"
#include "browse/frmbrowse.h"
#include "browse/imode.h"
#include "browse/recordsearch.h"
#include "browse/testbrowse.h"
#include "core/errorbox.h"
#include "core/widgets/commandbar.h"
#include "core/widgets/statusmsg.h"
#include "core/widgets/toolnames.h"
#include "core/widgets/veltra.h"
#include "shell/commandtable.h"
#include "shell/frmmain.h"

namespace FindViews {

void MenuFind()
{
    if (const auto browser = gDataBrowse())
        browser->ShowFind();
}

void MENU_SFFindError()
{
    Procedure(QStringLiteral("modMenu::MENU_SFFindError"), [] {
        const auto browser = gDataBrowse();
        CBrowseGrid* grid = browser ? browser->Grid() : nullptr;
        auto* w = grid ? qobject_cast<frmBrowse*>(grid->parentWidget()) : nullptr;
        if (!w)
            return;
        w->Data1().WaitLoaded();
        if (w->Data1().RowCount() == 0)
            return;
        const RecordSearch::KeySet wrong = RecordSearch::WrongPredictionKeys(w->DatabaseName(), w->RecordSource());
        const int64_t row = wrong.Size() == 0
            ? -1
            : RecordSearch::NextRow(w->Data1(), [&](const kdb::Value& k) { return wrong.Contains(k); }, grid->CurrentRow(), true);
        if (row < 0) {
            Utilities::StatusMessage(QStringLiteral("There are no incorect predictions in this test data."));
            return;
        }
        if (auto* b = dynamic_cast<CBrowseBase*>(browser.get()))
            b->ShowRow(row, std::max(0, grid->CurrentColumn()));
    });
}

void AttachIMode()
{
    auto* main = qobject_cast<frmMain*>(gVeltra().MainForm());
    CCommandBar* bar = main ? main->MainToolBar() : nullptr;
    if (!bar || !bar->Checked(ToolName::ShowIMode) || !gDataBrowse())
        return;
    auto mode = std::make_shared<CIMode>();
    gIMode() = mode;
    mode->Bind(gDataBrowse().get());
}

void Install()
{
    gCommands().Add(ToolName::SFFindError, MENU_SFFindError);
    gCommands().Add(ToolName::Find, MenuFind);
}

} // namespace FindViews
