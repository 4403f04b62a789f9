#include "browse/browseviews.h"

#include "browse/browsegrid.h"
#include "browse/browsemodel.h"
#include "browse/builders.h"
#include "browse/currentbrowse.h"
#include "browse/findviews.h"
#include "browse/frmbrowse.h"
#include "browse/sfambrowse.h"
#include "browse/testbrowse.h"
#include "core/errorbox.h"
#include "core/widgets/hourglass.h"
#include "core/widgets/statusmsg.h"
#include "core/widgets/toolnames.h"
#include "core/widgets/veltra.h"
#include "shell/commandtable.h"
#include "shell/modmenu.h"
#include "shell/navigate.h"
#include "shell/networkopener.h"

#include <QCoreApplication>
#include <QString>

#include <memory>

namespace {

void removeChildForms()
{
    CurrentBrowse::Release();
    modMenu::RemoveChildForms();
}

// The browser of the project's kind for test results.
std::shared_ptr<CBrowseBase> resultBrowser()
{
    if (CurrentKind() == ntBackProp)
        return std::make_shared<CTestBrowse>();
    return std::make_shared<CSFamBrowse>();
}

// Called with a std::shared_ptr<CBrowseBase> exactly: a pointer of a derived browser would let
// argument-dependent lookup pick std::bind instead.
void bind(frmBrowse* window, std::shared_ptr<CBrowseBase> browser)
{
    gBrowseForm() = window;
    gDataBrowse() = browser;
    browser->Bind(window->tgBrowse);
}

// The current results view: remove the views, build, bind, enter browsing.
void openResults(const std::function<frmBrowse*()>& builder)
{
    CHourglass hourglass(true);
    removeChildForms();
    frmBrowse* window = nullptr;
    if (CurrentKind() != ntNone) {
        window = builder();
        if (window) {
            bind(window, resultBrowser());
            gNavigate().Navigate(navBrowsing);
            FindViews::AttachIMode();
        }
    }
    // A builder that gave no window has said why in its box: no text speaks of a browse that
    // is not there.
    Utilities::StatusMessage(window ? QStringLiteral("Browsing results of tested data.") : QString());
}

void special(int kind, const QString& title, const QString& status)
{
    Procedure(title, [&] {
        CHourglass hourglass(true);
        removeChildForms();
        frmBrowse* window = CurrentKind() == ntSFam ? dbUtilities::BuildSpcBrowser(kind) : nullptr;
        if (window) {
            bind(window, std::shared_ptr<CBrowseBase>(std::make_shared<CSFamBrowse>()));
            gNavigate().Navigate(navBrowsing);
        }
        if (kind == BrowseIncorrect)
            gNavigate().Enable(ToolName::SFFindError);
        else
            gNavigate().Disable(ToolName::SFFindError);
        Utilities::StatusMessage(window ? status : QString());
    });
}

// The browse window the mark commands act on: the first one in the project's window list.
frmBrowse* firstBrowseWindow()
{
    for (const CProject::FormEntry& e : gVeltra().Project().Forms())
        if (auto* w = qobject_cast<frmBrowse*>(e.form.data()))
            return w;
    return nullptr;
}

frmBrowse* currentWindow()
{
    return qobject_cast<frmBrowse*>(gBrowseForm().data());
}

} // namespace

namespace BrowseViews {

void BrowseTest()
{
    Procedure(QStringLiteral("modMenu::BrowseTest"), [] { openResults(dbUtilities::BuildBrowser); });
}

void BrowseTestWorstFirst()
{
    Procedure(QStringLiteral("frmTestNetwork::cmdBrowse_Click"),
              [] { openResults(dbUtilities::BuildWorstFirstBrowser); });
}

void BrowseOutlyers(const QString& predicted, const QString& actual)
{
    // Two empty texts ask for nothing: the views stay as they are.
    if (predicted.isEmpty() && actual.isEmpty())
        return;
    Procedure(QStringLiteral("modMenu::BrowseTest"),
              [&] { openResults([&] { return dbUtilities::BuildOutlyerBrowser(actual, predicted); }); });
}

void MENU_SFShowErrors()
{
    special(BrowseIncorrect, QStringLiteral("modMenu::MENU_SFShowErrors"),
            QStringLiteral("Browsing incorrect predictions."));
}

void MENU_SFShowCorrect()
{
    special(BrowseCorrect, QStringLiteral("modMenu::MENU_SFShowCorrect"),
            QStringLiteral("Browsing correct predictions."));
}

void ShowDefBrowser()
{
    Procedure(QStringLiteral("modMenu::ShowDefBrowser"), [] {
        CHourglass hourglass(true);
        removeChildForms();
        frmBrowse* window = dbUtilities::BuildDefBrowser();
        if (!window)
            return;
        bind(window, std::shared_ptr<CBrowseBase>(std::make_shared<CBrowseAll>()));
        QCoreApplication::processEvents();
        gNavigate().Navigate(navBrowseAll);
        Utilities::StatusMessage(QStringLiteral("Browsing entire data set."));
    });
}

void SortASC()
{
    Procedure(QStringLiteral("modMenu::SortASC"), [] {
        CHourglass hourglass(true);
        if (const auto browser = gDataBrowse())
            browser->SortASC();
    });
}

void SortDESC()
{
    Procedure(QStringLiteral("modMenu::SortDESC"), [] {
        CHourglass hourglass(true);
        if (const auto browser = gDataBrowse())
            browser->SortDESC();
    });
}

void BrowseMenuOpen()
{
    if (frmBrowse* w = currentWindow())
        w->tgBrowse->SetCellTips(0);
}

void BrowseMenuClose()
{
    if (frmBrowse* w = currentWindow())
        w->tgBrowse->SetCellTips(2);
}

void MarkAllCurrent(int mode)
{
    Procedure(QStringLiteral("modMenu::MarkAllCurrent"), [&] {
        frmBrowse* w = firstBrowseWindow();
        if (!w || !w->RecordSource().HasMarks())
            return;
        w->Data1().MarkAll(mode);
        w->Model()->Invalidate();
    });
}

void MarkSelected()
{
    frmBrowse* w = firstBrowseWindow();
    if (!w || !w->RecordSource().HasMarks())
        return;
    const std::vector<int64_t> rows = w->tgBrowse->SelectedRows();
    if (rows.empty())
        return;
    w->Data1().WriteMarks(rows, -1);
    const int markColumn = w->RecordSource().ColumnIndex({ProjectSchema::TestTable(), ProjectSchema::MarkColumn(), 0});
    if (rows.size() > 256) {
        w->Model()->Invalidate();
        return;
    }
    for (int64_t row : rows)
        w->Model()->SetCachedValue(row, markColumn, kdb::Value(-1));
}

void Install()
{
    CCommandTable& commands = gCommands();
    commands.Add(ToolName::MarkAll, [](const CommandClick&) { MarkAllCurrent(-1); });
    commands.Add(ToolName::UnmarkAll, [](const CommandClick&) { MarkAllCurrent(0); });
    commands.Add(ToolName::ToggleMarks, [](const CommandClick&) { MarkAllCurrent(1); });
    commands.Add(ToolName::MarkSelected, MarkSelected);
    for (QLatin1StringView tool : {ToolName::SFBrowseTest, ToolName::BPBrowseTest, ToolName::BrowseTest})
        commands.Add(tool, BrowseTest);
    for (QLatin1StringView tool : {ToolName::SFShowAll, ToolName::BPShowAll, ToolName::ShowAll})
        commands.Add(tool, ShowDefBrowser);
    commands.Add(ToolName::SFShowErrors, MENU_SFShowErrors);
    commands.Add(ToolName::SFShowCorrect, MENU_SFShowCorrect);
    commands.Add(ToolName::SortAsc, SortASC);
    commands.Add(ToolName::SortDesc, SortDESC);
}

} // namespace BrowseViews
