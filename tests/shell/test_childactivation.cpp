// What activating a child window of the main window means: a change of the active child, not
// the program losing the user to another program and getting it back.
#include "core/widgets/hourglass.h"
#include "core/widgets/veltra.h"
#include "shell/frmmain.h"
#include "tests/support/programvisit.h"

#include <QApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

TEST(ChildActivation, OnlyAChangeOfTheActiveChildCounts)
{
    frmMain main;
    main.show();
    main.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&main));
    QMdiArea* area = main.MdiArea();
    QMdiSubWindow* first = area->addSubWindow(new QWidget);
    QMdiSubWindow* second = area->addSubWindow(new QWidget);
    first->show();
    second->show();
    QSignalSpy raw(area, &QMdiArea::subWindowActivated);
    QSignalSpy changes(&main, &frmMain::ChildActivated);

    area->setActiveSubWindow(first);
    area->setActiveSubWindow(second);
    ASSERT_EQ(changes.size(), 2);
    EXPECT_EQ(changes.at(1).at(0).value<QMdiSubWindow*>(), second);
    EXPECT_EQ(changes.at(1).at(1).value<QMdiSubWindow*>(), first);

    // The user goes to another program and comes back: Qt reports the child area as without
    // an active child and then the same child again.
    const qsizetype reported = raw.size();
    TestEnv::VisitAnotherProgram(&main);
    ASSERT_GT(raw.size(), reported) << "the visit was not seen by the child area";
    EXPECT_EQ(changes.size(), 2);
    EXPECT_EQ(area->activeSubWindow(), second);

    // Closing the active child is a change again.
    second->close();
    ASSERT_GE(changes.size(), 3);
    EXPECT_EQ(changes.last().at(1).value<QMdiSubWindow*>(), second);
}

// A child opened while the hourglass keeps the user out of the child area (the configuration
// window, a browser) is activated once, as soon as the user is let in, not at the user's next
// return to the main window from elsewhere.
TEST(ChildActivation, AChildOpenedUnderTheHourglassIsActivatedWhenTheUserIsLetIn)
{
    qRegisterMetaType<QMdiSubWindow*>();
    frmMain main;
    gVeltra().SetMainForm(&main);
    main.show();
    main.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&main));
    QMdiArea* area = main.MdiArea();
    QMdiSubWindow* first = area->addSubWindow(new QWidget);
    first->show();
    area->setActiveSubWindow(first);
    first->close();
    ASSERT_EQ(area->activeSubWindow(), nullptr);
    QSignalSpy changes(&main, &frmMain::ChildActivated);
    // The only child.
    QMdiSubWindow* opened = nullptr;
    {
        CHourglass busy(true);
        opened = area->addSubWindow(new QWidget);
        opened->show();
        area->setActiveSubWindow(opened);
    }
    EXPECT_EQ(area->activeSubWindow(), opened);
    ASSERT_EQ(changes.size(), 1);
    EXPECT_EQ(changes.at(0).at(0).value<QMdiSubWindow*>(), opened);
    TestEnv::VisitAnotherProgram(&main);
    EXPECT_EQ(changes.size(), 1);

    // A second child over the active one (the advanced grid over the configuration window).
    QMdiSubWindow* over = nullptr;
    {
        CHourglass busy(true);
        over = area->addSubWindow(new QWidget);
        over->show();
    }
    EXPECT_EQ(area->activeSubWindow(), over);
    ASSERT_EQ(changes.size(), 2);
    EXPECT_EQ(changes.at(1).at(0).value<QMdiSubWindow*>(), over);

    // A command that opens nothing changes nothing.
    { CHourglass busy(true); }
    EXPECT_EQ(changes.size(), 2);
    gVeltra().SetMainForm(nullptr);
}

TEST(ChildActivation, AChildShownUnderTheHourglassIsTheActiveOneAfterIt)
{
    // A command shows its window while the hourglass holds the child area disabled, and the
    // area then activates nothing. Once the area is enabled again that window is the active
    // child, so that the user's coming back from another program is no change.
    frmMain main;
    main.show();
    main.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&main));
    QMdiArea* area = main.MdiArea();
    QMdiSubWindow* old = area->addSubWindow(new QWidget);
    old->show();
    area->setActiveSubWindow(old);
    QSignalSpy changes(&main, &frmMain::ChildActivated);

    area->setEnabled(false);
    old->close();
    QMdiSubWindow* shown = area->addSubWindow(new QWidget);
    shown->showMaximized();
    area->setActiveSubWindow(shown);
    area->setEnabled(true);
    EXPECT_EQ(area->activeSubWindow(), shown);
    const qsizetype afterCommand = changes.size();

    TestEnv::VisitAnotherProgram(&main);
    EXPECT_EQ(changes.size(), afterCommand);
    EXPECT_EQ(area->activeSubWindow(), shown);
}

// A minimise and a restore, of the main window or of a child, and a maximise: the child area
// reports "none active" and then the same child again while the program stays the active one,
// which is no change among the children. A training window, the only child of its view, would
// otherwise revert to its best network and lose its history.
TEST(ChildActivation, MinimiseRestoreAndMaximiseChangeNothing)
{
    frmMain main;
    main.show();
    main.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&main));
    QMdiArea* area = main.MdiArea();
    QMdiSubWindow* only = area->addSubWindow(new QWidget);
    only->showMaximized();
    area->setActiveSubWindow(only);
    QSignalSpy raw(area, &QMdiArea::subWindowActivated);
    QSignalSpy changes(&main, &frmMain::ChildActivated);

    main.showMinimized();
    QTest::qWait(20);
    main.showNormal();
    main.activateWindow();
    main.showMaximized();
    QTest::qWait(20);
    only->showMinimized();
    only->showNormal();
    only->showMaximized();
    QTest::qWait(20);
    ASSERT_GE(raw.size(), 2) << "the child area reported no minimise";
    EXPECT_EQ(changes.size(), 0);
    EXPECT_EQ(area->activeSubWindow(), only);

    // The same rule as a plain function: a report of the remembered child, or of none while it
    // is still in the area, is no change; another child, or none once it has gone, is.
    QMdiSubWindow* other = area->addSubWindow(new QWidget);
    other->show();
    const QList<QMdiSubWindow*> both{only, other};
    EXPECT_FALSE(frmMain::IsChildChange(only, only, both));
    EXPECT_FALSE(frmMain::IsChildChange(nullptr, only, both));
    EXPECT_TRUE(frmMain::IsChildChange(other, only, both));
    EXPECT_TRUE(frmMain::IsChildChange(nullptr, only, {other}));
    EXPECT_FALSE(frmMain::IsChildChange(nullptr, nullptr, both));

    // A real change still counts, and so does closing the last child.
    area->setActiveSubWindow(other);
    ASSERT_EQ(changes.size(), 1);
    only->close();
    other->close();
    ASSERT_EQ(changes.size(), 2);
    EXPECT_EQ(changes.last().at(0).value<QMdiSubWindow*>(), nullptr);
    EXPECT_EQ(changes.last().at(1).value<QMdiSubWindow*>(), other);
}
