// Shared ground of the browse tests: a main window bound as start-up binds it, and tested
// projects of both kinds over source tables with awkward field names (Mark, Predicted,
// Difference, MainPrimaryKey, DateFrom, a]b), opened as the command layer opens them.
#pragma once

#include "browse/browseviews.h"
#include "browse/builders.h"
#include "browse/frmbrowse.h"
#include "core/serviceslot.h"
#include "core/status.h"
#include "core/widgets/commandbar.h"
#include "core/widgets/statusbar.h"
#include "core/widgets/veltra.h"
#include "data/datadef.h"
#include "kdb/kdb.h"
#include "network/backprop.h"
#include "network/networkhost.h"
#include "network/sfam.h"
#include "shell/frmmain.h"
#include "shell/modmenu.h"
#include "shell/navigate.h"
#include "shell/networkopener.h"
#include "browse/browseviews.h"
#include "browse/currentbrowse.h"
#include "tests/support/fakeprompter.h"
#include "tests/support/testenv.h"

#include <QApplication>
#include <QFile>
#include <QPointer>
#include <gtest/gtest.h>

#include <vector>

namespace BrowseTest {

inline void FlushDeletes()
{
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

// The browse windows close through the browse library when a test rebuilds the project.
class BrowseHost : public INetworkHost {
public:
    BrowseHost() : m_previous(NetworkHost::Install(this)) {}
    ~BrowseHost() override { NetworkHost::Install(m_previous); }
    void CloseBrowsers() override
    {
        ++closed;
        dbUtilities::CloseBrowsers();
    }
    int closed = 0;

private:
    INetworkHost* m_previous;
};

// A source table "Data" of `rows` rows: ID key, then the awkward fields.
//   Mark      REAL   input 0..10       (i % 10)
//   Predicted REAL   unused            (i * 2)
//   a]b       TEXT   unused            ("t" + i)
//   MainPrimaryKey REAL input 0..13    ((i * 7) % 13)
//   DateFrom  TEXT   unused            a date text
//   Y         REAL   prediction 0..20  (i % 10) * 2 + 1
inline QString MakeBackPropSource(const QString& folder, int rows)
{
    const QString path = folder + "/bpsource.mdb";
    QFile::remove(path);
    kdb::Database db = kdb::Database::Create(path);
    db.Execute("CREATE TABLE Data (ID INTEGER PRIMARY KEY, Mark REAL, Predicted REAL, \"a]b\" TEXT, "
               "MainPrimaryKey REAL, DateFrom TEXT, Y REAL)");
    kdb::Transaction t(db);
    kdb::Statement ins = db.Prepare("INSERT INTO Data VALUES (?,?,?,?,?,?,?)");
    for (int i = 1; i <= rows; ++i)
        ins.Run({i, double(i % 10), double(i * 2), QString("t%1").arg(i), double((i * 7) % 13),
                 QString("2020-01-%1").arg(1 + i % 28, 2, 10, QChar('0')), double(i % 10) * 2.0 + 1.0});
    t.Commit();
    return path;
}

// A source table "Seeds": ID key, X1 and X2 inputs, and two class fields: Cls (numeric 1..3)
// and Name (text, one class holding both quote characters).
inline QString MakeSFamSource(const QString& folder, int rows)
{
    const QString path = folder + "/sfsource.mdb";
    QFile::remove(path);
    kdb::Database db = kdb::Database::Create(path);
    db.Execute("CREATE TABLE Seeds (ID INTEGER PRIMARY KEY, X1 REAL, X2 REAL, Cls INTEGER, Name TEXT)");
    kdb::Transaction t(db);
    kdb::Statement ins = db.Prepare("INSERT INTO Seeds VALUES (?,?,?,?,?)");
    const QStringList names{"Amber", "O'Brien \"Briar\"", "Cobalt"};
    for (int i = 1; i <= rows; ++i)
        ins.Run({i, double(i % 3) * 3.0 + (i % 5) * 0.1, double(i % 3), i % 3 + 1, names[i % 3]});
    t.Commit();
    return path;
}

inline void SetRoles(CNetworkProject& net, const std::vector<std::tuple<QString, int16_t, double, double>>& roles)
{
    CDataDef& ddo = *net.State().DDO();
    ddo.GatherStats(false);
    for (int16_t i = 1; i <= ddo.NumFields(); ++i)
        ddo.SetUserMatchType(i, roleUnused);
    for (const auto& [name, role, min, max] : roles) {
        const int16_t i = ddo.FieldIndex(name);
        ASSERT_GT(i, 0) << name.toStdString();
        ddo.SetUserMatchType(i, role);
        ddo.SetUserMin(i, min);
        ddo.SetUserMax(i, max);
    }
}

struct Ranges {
    int trainLow, trainHigh, testLow, testHigh;
};

// A back-propagation project in `folder` over `table` of `source`, trained `passes` times and
// tested; null (the test failed) when its test is not done.
inline std::shared_ptr<CBackProp> TestedBackProp(const QString& folder, const QString& source, const QString& table,
                                                 const std::vector<std::tuple<QString, int16_t, double, double>>& roles,
                                                 Ranges r, int passes)
{
    auto bp = std::make_shared<CBackProp>();
    bp->Initialize(folder + "/" + table + ".kvp");
    bp->Attach(source, table);
    SetRoles(*bp, roles);
    bp->State().SetTrainLow(r.trainLow);
    bp->State().SetTrainHigh(r.trainHigh);
    bp->State().SetTestLow(r.testLow);
    bp->State().SetTestHigh(r.testHigh);
    bp->SaveConfig();
    for (int i = 0; i < passes; ++i)
        bp->Train();
    bp->Verify();
    const TestOutcome tested = bp->Test();
    EXPECT_EQ(tested, TestOutcome::Done);
    return tested == TestOutcome::Done ? bp : nullptr;
}

// A tested SFAM project `project` over the first `rows` rows of `table` of `source`, trained and
// tested on all of them; null (the test failed) when its test is not done.
inline std::shared_ptr<CSFam> TestedSFam(const QString& project, const QString& source, const QString& table,
                                         const std::vector<std::tuple<QString, int16_t, double, double>>& roles,
                                         int rows)
{
    auto sf = std::make_shared<CSFam>();
    sf->Initialize(project);
    sf->Attach(source, table);
    SetRoles(*sf, roles);
    sf->BuildClassList();
    sf->State().SetTrainLow(1);
    sf->State().SetTrainHigh(rows);
    sf->State().SetTestLow(1);
    sf->State().SetTestHigh(rows);
    sf->SaveConfig();
    sf->Train();
    sf->Verify();
    const TestOutcome tested = sf->Test();
    EXPECT_EQ(tested, TestOutcome::Done);
    return tested == TestOutcome::Done ? sf : nullptr;
}

// A tested SFAM project in `folder` over MakeSFamSource's `rows` rows, predicting `classField`
// (Cls or Name).
inline std::shared_ptr<CSFam> TestedSFam(const QString& folder, const QString& classField, int rows)
{
    return TestedSFam(folder + "/sf" + classField + ".kvp", MakeSFamSource(folder, rows), "Seeds",
                      {{"X1", roleInput, 0, 10}, {"X2", roleInput, 0, 3}, {classField, roleSFamPredict, 0, 0}}, rows);
}

class BrowseTestBase : public ::testing::Test {
protected:
    void SetUp() override
    {
        TestEnv::ClearSettings();
        prompts.AllowAnyBox(false);
        SetCurrentNetwork(nullptr);
        main = new frmMain();
        gVeltra().SetMainForm(main);
        gVeltra().StatusBar().Initialize(main->MainStatusBar()->StatusBar());
        gVeltra().StatusBar().SetUserPanelVisible(true);
        gNavigate().Bind(main->MainToolBar());
        gNavigate().Navigate(navNoProject);
        main->show();
        BrowseViews::Install();
        folder = TestEnv::NewFolder("browse");
    }
    void TearDown() override
    {
        dbUtilities::CloseBrowsers();
        SetCurrentNetwork(nullptr);
        if (main)
            main->close();
        FlushDeletes();
        gVeltra().Project().Forms().clear();
    }

    // A tested back-propagation project of `rows` rows (training 1..rows/2, testing all).
    void OpenBackProp(int rows = 40)
    {
        OpenTestedBackProp(MakeBackPropSource(folder, rows), "Data",
                           {{"Mark", roleInput, 0, 10}, {"MainPrimaryKey", roleInput, 0, 13}, {"Y", roleBPPredict, 0, 20}},
                           {1, rows / 2, 1, rows}, 1);
    }

    // A back-propagation project over `table` of `source`, trained `passes` times and tested;
    // it becomes the open project.
    void OpenTestedBackProp(const QString& source, const QString& table,
                            const std::vector<std::tuple<QString, int16_t, double, double>>& roles, Ranges r,
                            int passes)
    {
        const std::shared_ptr<CBackProp> bp = TestedBackProp(folder, source, table, roles, r, passes);
        ASSERT_TRUE(bp);
        SetCurrentNetwork(bp);
        project = bp->State().ProjectFileName();
    }

    // A tested SFAM project predicting `classField` (Cls or Name); Predicted then rewritten
    // so that every third row is wrong.
    void OpenSFam(const QString& classField, int rows = 30)
    {
        const std::shared_ptr<CSFam> sf = TestedSFam(folder, classField, rows);
        ASSERT_TRUE(sf);
        SetCurrentNetwork(sf);
        project = sf->State().ProjectFileName();
    }

    int64_t Scalar(const QString& sql, const QList<kdb::Value>& params = {})
    {
        kdb::Database db = kdb::Database::Open(project, false, true);
        return db.Scalar(sql, params).toInt(-999);
    }
    void Exec(const QString& sql, const QList<kdb::Value>& params = {})
    {
        kdb::Database db = kdb::Database::Open(project, false, false);
        db.Execute(sql, params);
    }
    QString MainPanel() const { return gVeltra().StatusBar().Panel(1).Text().trimmed(); }
    QString UserPanel() const { return gVeltra().StatusBar().Panel(2).Text().trimmed(); }

    FakePrompter prompts;
    // The status bar as the program installs it: what code without widgets reports reaches it.
    ScopedService<IStatusSink*> status{&Status::Install, &gVeltra().StatusBar()};
    BrowseHost host;
    QPointer<frmMain> main;
    QString folder;
    QString project;
};

} // namespace BrowseTest
