#include "browse/builders.h"

#include "browse/browsequery.h"
#include "browse/browseviews.h"
#include "browse/currentbrowse.h"
#include "browse/frmbrowse.h"
#include "core/errorbox.h"
#include "core/widgets/veltra.h"
#include "data/datadef.h"
#include "data/dbutilities.h"
#include "kdb/kdb.h"
#include "network/backprop.h"
#include "network/sfam.h"
#include "shell/modmenu.h"
#include "shell/networkopener.h"

#include <QMdiSubWindow>
#include <QPointer>

#include <functional>
#include <optional>
#include <vector>

namespace {

// Window keys only ever grow: a key made from the count collides after a window closed.
int64_t& lastKey()
{
    static int64_t key = 0;
    return key;
}

CNetworkProject* networkOfKind()
{
    CNetworkProject* net = CurrentNetwork();
    if (!net || !net->State().DDO())
        throw KvError(KvErr::ObjectNotSet);
    return net;
}

// The fields of the source table that the view reads must all be there: a table that lost one
// is named with the missing field in one box, before any window opens (its rows would fail one
// block at a time).
void requireSourceFields(const QString& project, const BrowseQuery& query, const QString& table)
{
    QStringList wanted;
    for (const BrowseColumn& c : query.columns)
        if (!c.IsTest())
            wanted << c.field;
    if (!query.keyField.isEmpty())
        wanted << query.keyField;
    dbUtilities::RequireSourceFields(kdb::Database::Open(project, false, true), wanted, table);
}

using MakeQuery = std::function<std::optional<BrowseQuery>(const CDataDef&, bool sfam)>;

frmBrowse* build(const QString& title, bool closeFirst, bool testRows, const MakeQuery& make,
                 const QString& caption = {})
{
    QPointer<frmBrowse> window;
    const bool ok = Procedure(title, [&] {
        CNetworkProject* net = networkOfKind();
        const bool sfam = CurrentKind() == ntSFam;
        const std::optional<BrowseQuery> query = make(*net->State().DDO(), sfam);
        if (!query)
            return;
        requireSourceFields(net->State().ProjectFileName(), *query, net->State().DDO()->TableName());
        if (closeFirst)
            dbUtilities::CloseBrowsers();
        window = new frmBrowse();
        const QString key = QString::number(++lastKey());
        gVeltra().Project().Forms().push_back({key, window.data()});
        window->SetTag(key);
        window->SetDatabaseName(net->State().ProjectFileName());
        if (testRows) {
            window->SetRowCount(int64_t(net->State().TestHigh()) - net->State().TestLow() + 1);
            window->Data1().ExpectRows(window->RowCount());
        }
        if (!caption.isEmpty())
            window->setWindowTitle(caption);
        window->SetRecordSource(*query);
        // While the loader reads the rest of a long key list, the testing range stands for the
        // count; the window puts the exact one in when the list is whole.
        const int64_t rows = window->Data1().Loading() && testRows ? window->RowCount() : window->Data1().RowCount();
        window->ShowInMainWindow();
        window->SetRowCount(rows);
        gVeltra().StatusBar().Message(QString::number(rows) + QStringLiteral(" Rows"), true);
    });
    if (!ok && window) {
        // A window that never showed its rows goes at once, with its hold on the file.
        if (auto* sub = qobject_cast<QMdiSubWindow*>(window->parentWidget()))
            sub->close();
        if (window)
            window->close();
        return nullptr;
    }
    return window.data();
}

} // namespace

namespace dbUtilities {

frmBrowse* BuildBrowser()
{
    return build(QStringLiteral("dbUtilities::BuildBrowser"), true, true,
                 [](const CDataDef& ddo, bool sfam) { return BrowseQueries::TestResults(ddo, sfam); });
}

frmBrowse* BuildWorstFirstBrowser()
{
    return build(QStringLiteral("dbUtilities::BuildBrowser"), true, true, [](const CDataDef& ddo, bool sfam) {
        return sfam ? BrowseQueries::TestResults(ddo, true) : BrowseQueries::WorstFirst(ddo);
    });
}

frmBrowse* BuildOutlyerBrowser(const QString& actual, const QString& predicted)
{
    if (actual.isEmpty() && predicted.isEmpty())
        return nullptr;
    return build(QStringLiteral("dbUtilities::BuildOutlyerBrowser"), true, true,
                 [&](const CDataDef& ddo, bool sfam) -> std::optional<BrowseQuery> {
                     auto q = BrowseQueries::Outlyers(ddo, sfam, actual, predicted);
                     if (!q)
                         throw KvError(KvErr::TypeMismatch, {},
                                       QStringLiteral("The point to browse from is not a number."));
                     return q;
                 });
}

frmBrowse* BuildSpcBrowser(int kind)
{
    QString caption;
    if (kind == BrowseCorrect)
        caption = QStringLiteral("Browse Correct Predictions");
    else if (kind == BrowseIncorrect)
        caption = QStringLiteral("Browse Incorrect Predictions");
    return build(QStringLiteral("dbUtilities::BuildSpcBrowser"), true, true,
                 [kind](const CDataDef& ddo, bool sfam) { return BrowseQueries::Special(ddo, sfam, kind); }, caption);
}

frmBrowse* BuildDefBrowser()
{
    return build(QStringLiteral("dbUtilities::BuildDefBrowser"), false, false,
                 [](const CDataDef& ddo, bool sfam) { return BrowseQueries::WholeTable(ddo, sfam); });
}

void CloseBrowsers()
{
    // The view state goes first, so that nothing drives a grid that is closing.
    CurrentBrowse::Release();
    std::vector<QPointer<frmBrowse>> windows;
    for (const CProject::FormEntry& e : gVeltra().Project().Forms())
        if (auto* w = qobject_cast<frmBrowse*>(e.form.data()))
            windows.emplace_back(w);
    for (const QPointer<frmBrowse>& w : windows) {
        IgnoreErrors([&] {
            if (!w)
                return;
            w->Data1().Release();
            if (auto* sub = qobject_cast<QMdiSubWindow*>(w->parentWidget())) {
                sub->close();
            } else {
                w->close();
            }
        });
    }
}

void ShowOutliersAt(double predicted, double actual)
{
    BrowseViews::BrowseOutlyers(QString::number(predicted, 'g', 17), QString::number(actual, 'g', 17));
}

} // namespace dbUtilities
