#include "tests/core/test_widgets_bars.h"

#include "core/kverror.h"
#include "core/serviceslot.h"
#include "core/status.h"
#include "core/widgets/statusmsg.h"
#include "tests/support/fakeprompter.h"
#include "tests/support/testenv.h"

#include <QApplication>
#include <QDate>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// The main window with gVeltra's status bar bound to it, laid out on screen.
struct StatusWindow : TestMainWindow {
    StatusWindow()
    {
        gVeltra().StatusBar().Initialize(status->StatusBar());
        gVeltra().StatusBar().SetDatePanelVisible(true);
        gVeltra().StatusBar().SetUserPanelVisible(true);
        window.show();
        settle();
    }
    static void settle()
    {
        for (int i = 0; i < 5; ++i)
            QApplication::processEvents();
    }
    CStatusPanel& panel(int i) const { return status->StatusBar()->Panel(i); }
};

} // namespace

TEST(StatusBar, InitializeLaysOutTheSevenPanels)
{
    StatusWindow w;
    CStatusPanels* strip = w.status->StatusBar();
    ASSERT_EQ(strip->Count(), 7);
    const QStringList keys{"Main", "User", "Edit", "Project", "Nodes", "Date", "Space"};
    for (int i = 1; i <= 7; ++i)
        EXPECT_EQ(strip->Panel(i).Key(), keys[i - 1]);
    EXPECT_FALSE(strip->Panel(QStringLiteral("Project")).isVisible());
    EXPECT_TRUE(strip->Panel(QStringLiteral("Nodes")).isVisible());
    EXPECT_EQ(strip->Panel(QStringLiteral("Nodes")).Text(), QString());
    EXPECT_FALSE(strip->Panel(QStringLiteral("Edit")).isVisible());
    EXPECT_EQ(strip->Panel(3).Text(), QStringLiteral("Edit"));
    EXPECT_TRUE(strip->Panel(QStringLiteral("Date")).isVisible());
    EXPECT_EQ(strip->Panel(6).Text(), CVeltraStatusBar::DateText(QDate::currentDate()));
    EXPECT_TRUE(strip->Panel(7).Flat());
    EXPECT_EQ(strip->Panel(7).Width(), StatusGeometry::Px(240));
    // The spring panel takes what the others leave.
    EXPECT_GT(strip->Panel(1).Width(), 300);

    // A second Initialize rebuilds rather than adds.
    gVeltra().StatusBar().Initialize(strip);
    EXPECT_EQ(strip->Count(), 7);
}

TEST(StatusBar, DateTextAndMissingControl)
{
    EXPECT_EQ(CVeltraStatusBar::DateText(QDate(2024, 3, 5)), QStringLiteral(" Mar 5, 2024 "));
    EXPECT_EQ(CVeltraStatusBar::DateText(QDate(1999, 12, 31)), QStringLiteral(" Dec 31, 1999 "));

    CVeltraStatusBar unbound;
    try {
        unbound.Message(QStringLiteral("x"));
        FAIL() << "no error";
    } catch (const KvError& e) {
        EXPECT_EQ(e.number(), KvErr::ObjectNotSet);
    }
    EXPECT_THROW(unbound.SetDatePanelVisible(true), KvError);
    EXPECT_FALSE(unbound.DatePanelVisible());
    EXPECT_EQ(unbound.StatusBar(), nullptr);

    FakePrompter fp;
    fp.ExpectBox(MsgResult::Ok);
    unbound.Initialize(nullptr);
    EXPECT_EQ(fp.LastBox().text, QStringLiteral("Bad Parameter to CVeltraStatus.Initialize(). Cannot Init"));
    EXPECT_EQ(fp.LastBox().title, QStringLiteral("Initialize"));
    EXPECT_EQ(fp.LastBox().icon, MsgIcon::Critical);
}

TEST(StatusBar, MessagesGetABlankOnEachSide)
{
    StatusWindow w;
    gVeltra().StatusBar().Message(QStringLiteral("Ready"), false);
    EXPECT_EQ(w.panel(1).Text(), QStringLiteral(" Ready "));
    gVeltra().StatusBar().Message(QStringLiteral("Other"), true);
    EXPECT_EQ(w.panel(2).Text(), QStringLiteral(" Other "));
    Utilities::StatusMessage(QString());
    EXPECT_EQ(w.panel(1).Text(), QStringLiteral("  "));

    Utilities::SetNodesPanel(QStringLiteral("12"));
    EXPECT_EQ(w.panel(5).Text(), QStringLiteral(" 12 Nodes "));
    Utilities::SetProjectPanel(QStringLiteral("Backprop"));
    EXPECT_TRUE(w.panel(4).isVisible());
    EXPECT_EQ(w.panel(4).Text(), QStringLiteral(" Backprop "));
    Utilities::SetProjectPanel(QString());
    EXPECT_FALSE(w.panel(4).isVisible());
    EXPECT_EQ(w.panel(4).Text(), QStringLiteral(" Backprop "));
    Utilities::SetProjectPanel(QStringLiteral("SFAM"));
    EXPECT_TRUE(w.panel(4).isVisible());
    EXPECT_EQ(w.panel(4).Text(), QStringLiteral(" SFAM "));
}

TEST(StatusBar, CodeWithoutWidgetsReachesTheBarThroughTheSeam)
{
    // No sink: nothing happens, nothing fails.
    IStatusSink* previous = Status::Install(nullptr);
    Status::Message(QStringLiteral("lost"));
    Status::Progress(50);
    Status::Install(previous);

    StatusWindow w;
    const ScopedService status(&Status::Install, &gVeltra().StatusBar());
    Status::Message(QStringLiteral("Importing x..."));
    EXPECT_EQ(w.panel(1).Text(), QStringLiteral(" Importing x... "));
    Status::SetNodesPanel(QStringLiteral("0"));
    EXPECT_EQ(w.panel(5).Text(), QStringLiteral(" 0 Nodes "));
    Status::SetProjectPanel(QStringLiteral("SFAM"));
    EXPECT_EQ(w.panel(4).Text(), QStringLiteral(" SFAM "));
    Status::Progress(30);
    EXPECT_TRUE(w.status->ProgressBar()->isVisible());
    EXPECT_EQ(w.status->ProgressBar()->value(), 30);
}

// A long piece of work tells every percent; the window is drawn when the bar appears and goes
// and otherwise only every so often, not a hundred times a second.
TEST(StatusProgress, ReportsInQuickSuccessionDrawTheBarOnlyNowAndThen)
{
    StatusWindow w;
    const ScopedService status(&Status::Install, &gVeltra().StatusBar());
    QProgressBar* bar = w.status->ProgressBar();
    QSignalSpy drawn(bar, &QProgressBar::valueChanged);
    Status::Progress(0);
    Status::Progress(100);
    Status::Progress(-1); // the bar goes: its value back to 0
    Status::Progress(5);
    EXPECT_TRUE(bar->isVisible());
    EXPECT_EQ(bar->value(), 5);
    drawn.clear();
    for (int percent = 6; percent <= 100; ++percent)
        Status::Progress(percent);
    // Each report a moment after the last: at most one draw for each pause of the machine.
    EXPECT_LE(drawn.count(), 5);
    Status::Progress(-1);
    EXPECT_FALSE(bar->isVisible());
}

TEST(StatusProgress, ShortMessageGetsTheFullBarRightAfterTheText)
{
    StatusWindow w;
    Utilities::StatusMessage(QStringLiteral("Training"));
    Utilities::Progress(60);
    StatusWindow::settle();
    QProgressBar* bar = w.status->ProgressBar();
    const int textWidth = w.status->TextWidth(w.panel(1).Text() + QStringLiteral("    "));
    EXPECT_TRUE(bar->isVisible());
    EXPECT_EQ(bar->value(), 60);
    EXPECT_EQ(bar->x(), w.panel(1).Left() + textWidth);
    EXPECT_EQ(bar->width(), StatusGeometry::Px(2055));
    EXPECT_GE(bar->y(), 0);
    EXPECT_LE(bar->y() + bar->height(), w.status->StatusBar()->height());

    Utilities::Progress(-1);
    EXPECT_FALSE(bar->isVisible());
    EXPECT_EQ(bar->value(), 0);
    Utilities::Progress(150);
    EXPECT_EQ(bar->value(), 100);
}

TEST(StatusProgress, LongMessageNarrowsTheBarToThePanelsEnd)
{
    StatusWindow w;
    const int panelWidth = w.panel(1).Width();
    QString text;
    while (w.status->TextWidth(QLatin1Char(' ') + text + QStringLiteral("     ")) < panelWidth - 100)
        text += QStringLiteral("word ");
    Utilities::StatusMessage(text);
    Utilities::Progress(10);
    QProgressBar* bar = w.status->ProgressBar();
    const int textWidth = w.status->TextWidth(w.panel(1).Text() + QStringLiteral("    "));
    EXPECT_EQ(bar->width(), panelWidth - textWidth - w.panel(1).Left() - StatusGeometry::Px(30));
    EXPECT_LT(bar->width(), StatusGeometry::Px(2055));

    // A message wider than the panel leaves a bar of no width, never a negative one.
    Utilities::StatusMessage(text + text + text);
    Utilities::Progress(20);
    EXPECT_EQ(bar->width(), 0);
}

TEST(StatusProgress, BeforeTheMainWindowNothingHappens)
{
    FakePrompter fp; // any box would fail the test
    gVeltra().SetMainForm(nullptr);
    Utilities::Progress(50);
    EXPECT_TRUE(fp.Boxes().empty());

    // A main window without a status bar is a failure shown under the helper's name.
    QWidget bare;
    gVeltra().SetMainForm(&bare);
    fp.ExpectBox(MsgResult::Ok);
    Utilities::Progress(50);
    gVeltra().SetMainForm(nullptr);
    EXPECT_EQ(fp.LastBox().title, QStringLiteral("Utilities::Progress"));
}

TEST(StatusBar, ClicksAnywhereOnTheControlAreReported)
{
    StatusWindow w;
    QSignalSpy clicks(w.status, &CMStatusBar::Click);
    Utilities::Progress(40);
    QTest::mouseClick(w.status->ProgressBar(), Qt::LeftButton);
    QTest::mouseClick(&w.panel(1), Qt::LeftButton);
    QTest::mouseDClick(&w.panel(5), Qt::LeftButton);
    EXPECT_GE(clicks.count(), 3);
}
