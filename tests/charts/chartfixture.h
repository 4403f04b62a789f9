// Shared ground of the result-view tests: small tested projects of both kinds made through the
// network objects, installed as the open project, and recording fakes of the procedures the
// views call (the browse commands and the row split are other windows' work).
#pragma once

#include "core/serviceslot.h"
#include "core/status.h"
#include "core/widgets/commandbar.h"
#include "core/widgets/statusbar.h"
#include "core/widgets/veltra.h"
#include "shell/frmmain.h"
#include "shell/modmenu.h"
#include "shell/navigate.h"
#include "shell/networkopener.h"
#include "charts/chartviews.h"
#include "tests/network/netfixture.h"
#include "tests/shell/recordingviews.h"

#include <QCoreApplication>
#include <QEvent>
#include <QPointer>
#include <QRandomGenerator>
#include <cmath>

namespace ChartTest {

// A back-propagation project over y = 10 + 5 sin(x1 / 3) + x2 / 2 (rows 1..400), trained a
// little on rows 1..300 and tested on 301..400, installed as the open project.
inline std::shared_ptr<CBackProp> TestedBackProp(const QString& folder, int passes = 30)
{
    QRandomGenerator rng(7);
    std::vector<QList<kdb::Value>> rows;
    for (int i = 1; i <= 400; ++i) {
        const double x1 = rng.generateDouble() * 10, x2 = rng.generateDouble() * 10;
        rows.push_back({i, x1, x2, 10.0 + 5.0 * std::sin(x1 / 3.0) + x2 / 2.0});
    }
    const QString source = NetTest::MakeSource(folder, "Data", "X1 REAL, X2 REAL, Y REAL", rows);
    auto bp = std::make_shared<CBackProp>();
    bp->Initialize(folder + "/smooth.kvp");
    bp->Attach(source, "Data");
    NetTest::Configure(*bp, {{"X1", roleInput, 0, 10}, {"X2", roleInput, 0, 10}, {"Y", roleBPPredict, 4, 21}});
    bp->State().SetTrainLow(1);
    bp->State().SetTrainHigh(300);
    bp->State().SetTestLow(301);
    bp->State().SetTestHigh(400);
    bp->SaveConfig();
    for (int pass = 0; pass < passes; ++pass) {
        for (int k = 0; k < 5; ++k)
            bp->Train();
        bp->Verify();
    }
    bp->Revert();
    EXPECT_EQ(bp->Test(), TestOutcome::Done);
    SetCurrentNetwork(bp);
    return bp;
}

// An SFAM project over `table` of `source` with `roles`, trained ten cycles on rows 1..200,
// tested on rows 201..300 and installed as the open project.
inline std::shared_ptr<CSFam> TestedSFam(const QString& project, const QString& source, const QString& table,
                                         const std::vector<NetTest::Role>& roles)
{
    auto sf = std::make_shared<CSFam>();
    sf->Initialize(project);
    sf->Attach(source, table);
    NetTest::Configure(*sf, roles);
    sf->BuildClassList();
    sf->State().SetTrainLow(1);
    sf->State().SetTrainHigh(200);
    sf->State().SetTestLow(201);
    sf->State().SetTestHigh(300);
    sf->SaveConfig();
    for (int cycle = 0; cycle < 10; ++cycle) {
        sf->Train();
        sf->Verify();
    }
    sf->Revert();
    EXPECT_EQ(sf->Test(), TestOutcome::Done);
    SetCurrentNetwork(sf);
    return sf;
}

// An SFAM project of three classes "Amber", "Briar", "Cobalt" by x1 (rows 1..300), tested on
// rows 201..300, installed as the open project.
inline std::shared_ptr<CSFam> TestedSFam(const QString& folder)
{
    QRandomGenerator rng(11);
    std::vector<QList<kdb::Value>> rows;
    const char* names[] = {"Amber", "Briar", "Cobalt"};
    for (int i = 1; i <= 300; ++i) {
        const int c = int(rng.bounded(3));
        const double x1 = c * 4 + rng.generateDouble() * 3, x2 = rng.generateDouble() * 10;
        rows.push_back({i, x1, x2, names[c]});
    }
    const QString source = NetTest::MakeSource(folder, "Data", "X1 REAL, X2 REAL, Kind TEXT", rows);
    return TestedSFam(folder + "/kinds.kvp", source, "Data",
                      {{"X1", roleInput, 0, 12}, {"X2", roleInput, 0, 10}, {"Kind", roleSFamPredict}});
}

// The program's main window, its status bar and the navigation bound to its bar, as the
// start-up leaves them; the result views open as its child windows.
struct MainWindow {
    MainWindow()
    {
        main = new frmMain();
        gVeltra().SetMainForm(main);
        gVeltra().StatusBar().Initialize(main->MainStatusBar()->StatusBar());
        gNavigate().Bind(main->MainToolBar());
        gNavigate().Navigate(navNoProject);
        main->show();
    }
    ~MainWindow()
    {
        modMenu::RemoveChildForms();
        if (main)
            main->close();
        for (int i = 0; i < 3; ++i) {
            QCoreApplication::processEvents();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
    }
    bool ToolEnabled(const QString& name) const { return main->MainToolBar()->Enabled(name); }
    // The status bar as the program installs it: what code without widgets reports reaches it.
    ScopedService<IStatusSink*> status{&Status::Install, &gVeltra().StatusBar()};
    QPointer<frmMain> main;
};

// The shared recording views (every view procedure records its name) with the open project
// released at the end.
struct RecordingViews : ::RecordingViews {
    ~RecordingViews()
    {
        SetCurrentNetwork(nullptr);
    }
    int Count(const QString& call) const { return int(calls.count(call)); }
};

} // namespace ChartTest
