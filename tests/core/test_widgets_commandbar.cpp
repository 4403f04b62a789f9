#include "core/widgets/toolnames.h"
#include "tests/core/test_widgets_bars.h"

#include "core/kverror.h"
#include "core/widgets/winhelpers.h"
#include "tests/support/testenv.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QTest>
#include <QToolBar>
#include <QComboBox>
#include <QCoreApplication>
#include <QSignalSpy>
#include <QWidgetAction>
#include <gtest/gtest.h>

namespace {

// The visible texts a menu shows, separators as "|".
QStringList shown(QWidget* widget)
{
    QStringList out;
    for (QAction* a : widget->actions())
        if (a->isVisible())
            out << (a->isSeparator() ? QStringLiteral("|") : a->text().section(QLatin1Char('\t'), 0, 0));
    return out;
}

} // namespace

TEST(CommandBar, StateIsSharedByNameCaptionIsPerBand)
{
    TestMainWindow w;
    CBandTool& inMenu = w.bar->Band(BandName::File).ToolAt(0);
    CBandTool& inToolBar = w.bar->Band(BandName::Standard).ToolAt(0);
    EXPECT_EQ(inMenu.Caption(), QStringLiteral("&Open Project..."));
    EXPECT_EQ(inToolBar.Caption(), QStringLiteral("&Open"));

    w.bar->SetEnabled(ToolName::Open, false);
    EXPECT_FALSE(inMenu.Action()->isEnabled());
    EXPECT_FALSE(inToolBar.Action()->isEnabled());
    inToolBar.SetVisible(false);
    EXPECT_FALSE(inMenu.Action()->isVisible());
    w.bar->SetChecked(ToolName::Open, true);
    EXPECT_TRUE(inMenu.Action()->isChecked());
    EXPECT_TRUE(inToolBar.Checked());

    // The collection holds each name once, in the order it came to the bar.
    EXPECT_EQ(w.bar->ToolNames().mid(0, 4),
              (QStringList{ToolName::File, ToolName::Help, ToolName::Open, ToolName::Close}));
    EXPECT_EQ(w.bar->ToolNames().count(ToolName::Open), 1);
}

TEST(CommandBar, UnknownNamesAndIndexesRaise)
{
    TestMainWindow w;
    try {
        w.bar->SetEnabled(QStringLiteral("noSuchTool"), true);
        FAIL() << "no error";
    } catch (const KvError& e) {
        EXPECT_EQ(e.number(), KvErr::ItemNotFound);
    }
    EXPECT_THROW(w.bar->Band(QStringLiteral("nowhere")), KvError);
    EXPECT_THROW(w.bar->Band(BandName::File).ToolAt(99), KvError);
    EXPECT_THROW(w.bar->Band(BandName::File).RemoveTool(-1), KvError);
    // Band names are exact: the lower-case spelling is another band.
    EXPECT_EQ(w.bar->FindBand(QString(BandName::File).toLower()), nullptr);
}

TEST(CommandBar, InsertAndRemoveAtIndexKeepMenuOrderAndSeparators)
{
    TestMainWindow w;
    CBand& file = w.bar->Band(BandName::File);
    QMenu* menu = file.Menu();
    EXPECT_EQ(shown(menu), (QStringList{"&Open Project...", "&Close Project", "|", "Import...", "|", "E&xit"}));

    ToolSpec extra = TestMainWindow::spec("extra", "Extra");
    extra.separatorBefore = true;
    file.InsertTool(2, extra);
    EXPECT_EQ(shown(menu),
              (QStringList{"&Open Project...", "&Close Project", "|", "Extra", "|", "Import...", "|", "E&xit"}));
    file.InsertTool(-1, TestMainWindow::spec("last", "Last"));
    EXPECT_EQ(w.names(BandName::File).last(), QStringLiteral("last"));
    EXPECT_EQ(shown(menu).last(), QStringLiteral("Last"));

    file.RemoveTool(2);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(shown(menu), (QStringList{"&Open Project...", "&Close Project", "|", "Import...", "|", "E&xit", "Last"}));
    // A removed name stays in the tool collection.
    EXPECT_TRUE(w.bar->HasTool(QStringLiteral("extra")));
}

TEST(CommandBar, ClickReportsBandNameAndTagAndLeavesCheckedToTheCommand)
{
    TestMainWindow w;
    QSignalSpy clicks(w.bar, &CCommandBar::ToolClicked);
    CBand& file = w.bar->Band(BandName::File);
    ToolSpec tagged = TestMainWindow::spec(ToolName::MRUList, "&1 a");
    tagged.tag = 7;
    file.InsertTool(0, tagged);
    file.ToolAt(0).Action()->trigger();
    ASSERT_EQ(clicks.count(), 1);
    EXPECT_EQ(clicks[0][0].toString(), BandName::File);
    EXPECT_EQ(clicks[0][1].toString(), ToolName::MRUList);
    EXPECT_EQ(clicks[0][2].toInt(), 7);
    EXPECT_EQ(w.bar->ActiveBand(), BandName::File);

    ToolSpec autoload = TestMainWindow::spec(ToolName::Autoload, "Autoload");
    autoload.checkable = true;
    CBandTool& check = file.AddTool(autoload);
    check.Action()->trigger();
    EXPECT_FALSE(w.bar->Checked(ToolName::Autoload));
    EXPECT_FALSE(check.Action()->isChecked());
}

TEST(CommandBar, AToolRemovedByItsOwnClickIsSafe)
{
    TestMainWindow w;
    CBand& file = w.bar->Band(BandName::File);
    QObject::connect(w.bar, &CCommandBar::ToolClicked, w.bar, [&](const QString&, const QString& name, int) {
        if (name == ToolName::Open)
            file.RemoveTool(file.IndexOf(ToolName::Open));
    });
    QPointer<QAction> action = file.ToolAt(0).Action();
    action->trigger();
    EXPECT_EQ(file.IndexOf(ToolName::Open), -1);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(action.isNull());
}

TEST(CommandBar, MenuTitlesOpenTheirBandsAndBandEventsAreReported)
{
    TestMainWindow w;
    CBand& menu = w.bar->Band(BandName::MainMenu);
    EXPECT_EQ(menu.ToolAt(0).Action()->menu(), w.bar->Band(BandName::File).Menu());
    // A sub-band created after its opener is attached too.
    CBand& util = w.bar->AddBand(BandName::UtilPopup, QStringLiteral("Util"), BandKind::Popup);
    CBand& file = w.bar->Band(BandName::File);
    CBandTool& opener = file.AddTool(TestMainWindow::spec(ToolName::Util, "&Utilities", BandName::UtilPopup));
    EXPECT_EQ(opener.Action()->menu(), util.Menu());
    CBand& late = w.bar->AddBand(BandName::Graph, QStringLiteral("Graphing"), BandKind::Popup);
    (void)late;
    CBandTool& graph = w.bar->Band(BandName::Standard).AddTool(TestMainWindow::spec("g", "G", BandName::Graph));
    EXPECT_EQ(graph.Action()->menu(), late.Menu());

    QSignalSpy opened(w.bar, &CCommandBar::BandOpened);
    QSignalSpy closed(w.bar, &CCommandBar::BandClosed);
    emit file.Menu()->aboutToShow();
    emit file.Menu()->aboutToHide();
    ASSERT_EQ(opened.count(), 1);
    EXPECT_EQ(opened[0][0].toString(), BandName::File);
    EXPECT_EQ(closed.count(), 1);
}

TEST(CommandBar, ComboToolReportsOnlyTheUsersChoice)
{
    TestMainWindow w;
    ToolSpec num = TestMainWindow::spec(ToolName::NumRec, "Recent Files ");
    num.kind = ToolKind::ComboBox;
    CBandTool& tool = w.bar->AddBand(BandName::Pr, QStringLiteral("Properties"), BandKind::Popup).AddTool(num);
    QStringList items;
    for (int i = 1; i <= 18; ++i)
        items << QString::number(i);
    w.bar->SetComboItems(ToolName::NumRec, items);
    QSignalSpy changes(w.bar, &CCommandBar::ComboSelChanged);
    w.bar->SetComboIndex(ToolName::NumRec, 5);
    EXPECT_EQ(changes.count(), 0);

    auto* combo = static_cast<QWidgetAction*>(tool.Action())->defaultWidget()->findChild<QComboBox*>();
    ASSERT_NE(combo, nullptr);
    EXPECT_EQ(combo->count(), 18);
    EXPECT_EQ(combo->currentIndex(), 5);
    emit combo->activated(9);
    ASSERT_EQ(changes.count(), 1);
    EXPECT_EQ(changes[0][0].toString(), ToolName::NumRec);
    EXPECT_EQ(changes[0][1].toInt(), 9);
    EXPECT_EQ(w.bar->ComboIndex(ToolName::NumRec), 9);
    EXPECT_THROW(w.bar->SetComboIndex(ToolName::NumRec, 18), KvError);
}

TEST(CommandBar, KeysReachShortcutsOfUsableToolsOnly)
{
    TestMainWindow w;
    QSignalSpy clicks(w.bar, &CCommandBar::ToolClicked);
    EXPECT_TRUE(w.bar->KeyDown(Qt::Key_O, int(Qt::ControlModifier)));
    ASSERT_EQ(clicks.count(), 1);
    EXPECT_EQ(clicks[0][1].toString(), ToolName::Open);
    EXPECT_TRUE(w.bar->KeyUp(Qt::Key_O, int(Qt::ControlModifier)));
    EXPECT_EQ(clicks.count(), 1);
    EXPECT_FALSE(w.bar->KeyDown(Qt::Key_O, int(Qt::ControlModifier | Qt::ShiftModifier)));
    EXPECT_FALSE(w.bar->KeyDown(Qt::Key_P, int(Qt::ControlModifier)));

    w.bar->SetEnabled(ToolName::Open, false);
    EXPECT_FALSE(w.bar->KeyDown(Qt::Key_O, int(Qt::ControlModifier)));
    w.bar->SetEnabled(ToolName::Open, true);
    w.bar->SetBusy(true);
    EXPECT_FALSE(w.bar->KeyDown(Qt::Key_O, int(Qt::ControlModifier)));
    EXPECT_EQ(clicks.count(), 1);
    // The menu shows the shortcut beside the caption; the caption itself stays as given.
    CBandTool& open = w.bar->Band(BandName::File).ToolAt(0);
    EXPECT_TRUE(open.Action()->text().startsWith(QStringLiteral("&Open Project...\t")));
    EXPECT_EQ(open.Caption(), QStringLiteral("&Open Project..."));
}

TEST(CommandBar, BusyModeHoldsEveryToolAndGivesTheirOwnStatesBack)
{
    TestMainWindow w;
    w.bar->SetEnabled(ToolName::Close, false);
    w.bar->SetBusy(true);
    EXPECT_FALSE(w.bar->Band(BandName::File).ToolAt(0).Action()->isEnabled());
    EXPECT_FALSE(w.bar->Band(BandName::MainMenu).ToolAt(0).Action()->isEnabled());
    // The tools' own states are untouched and may change while busy.
    EXPECT_TRUE(w.bar->Enabled(ToolName::Open));
    w.bar->SetEnabled(ToolName::Import, false);
    w.bar->SetBusy(false);
    EXPECT_TRUE(w.bar->Band(BandName::File).ToolAt(0).Action()->isEnabled());
    EXPECT_FALSE(w.bar->Band(BandName::File).ToolAt(1).Action()->isEnabled());
    EXPECT_FALSE(w.bar->Band(BandName::File).ToolAt(2).Action()->isEnabled());
}

TEST(CommandBar, BandVisibilityAndDisplayAreIndependent)
{
    TestMainWindow w;
    w.window.show();
    CBand& standard = w.bar->Band(BandName::Standard);
    CBand& train = w.bar->Band(BandName::TrainBPBar);
    EXPECT_TRUE(standard.ToolBarWidget()->isVisible());
    EXPECT_FALSE(train.ToolBarWidget()->isVisible());
    standard.SetDisplayed(false);
    EXPECT_FALSE(standard.ToolBarWidget()->isVisible());
    EXPECT_TRUE(standard.Visible());
    standard.SetDisplayed(true);
    EXPECT_TRUE(standard.ToolBarWidget()->isVisible());
    standard.SetVisible(false);
    train.SetVisible(true);
    EXPECT_FALSE(standard.ToolBarWidget()->isVisible());
    EXPECT_TRUE(train.ToolBarWidget()->isVisible());
    EXPECT_EQ(MainToolBar(), w.bar);
}

TEST(CommandBar, TheUserCannotRearrangeTheBands)
{
    // A right click on the menu bar, a tool bar or the window's frame offers no menu that
    // hides or shows bands, and no tool bar can be dragged or floated away.
    TestMainWindow w;
    w.window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w.window));
    QWidget* menuBar = w.bar->Band(BandName::MainMenu).Widget();
    QWidget* toolBar = w.bar->Band(BandName::Standard).Widget();
    for (QWidget* clicked : std::initializer_list<QWidget*>{menuBar, toolBar, w.status, &w.window}) {
        const QPoint at(clicked->width() - 3, clicked->height() / 2);
        QContextMenuEvent rightClick(QContextMenuEvent::Mouse, at, clicked->mapToGlobal(at));
        QCoreApplication::sendEvent(clicked, &rightClick);
        QCoreApplication::processEvents();
        EXPECT_EQ(QApplication::activePopupWidget(), nullptr) << clicked->objectName().toStdString();
        if (QWidget* popup = QApplication::activePopupWidget())
            popup->close();
    }
    for (QLatin1StringView name : {BandName::Standard, BandName::TrainBPBar}) {
        auto* bar = qobject_cast<QToolBar*>(w.bar->Band(name).Widget());
        ASSERT_TRUE(bar);
        EXPECT_FALSE(bar->isMovable() || bar->isFloatable()) << name.data();
    }
}
