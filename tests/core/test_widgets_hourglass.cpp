#include "core/widgets/toolnames.h"
#include "tests/core/test_widgets_bars.h"

#include "core/errorbox.h"
#include "core/widgets/hourglass.h"
#include "core/widgets/qtprompter.h"
#include "tests/support/testenv.h"

#include <QAction>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

bool keptOut(const TestMainWindow& w)
{
    return !w.mdi->isEnabled() && !w.window.menuBar()->isEnabled()
           && !w.bar->Band(BandName::File).ToolAt(0).Action()->isEnabled();
}

bool letIn(const TestMainWindow& w)
{
    return w.mdi->isEnabled() && w.window.menuBar()->isEnabled()
           && w.bar->Band(BandName::File).ToolAt(0).Action()->isEnabled();
}

} // namespace

TEST(Hourglass, NestedGuardsKeepTheWindowBusyUntilTheOutermostEnds)
{
    TestMainWindow w;
    w.window.show();
    {
        CHourglass outer;
        outer.SetValue(true);
        EXPECT_TRUE(keptOut(w));
        ASSERT_NE(QApplication::overrideCursor(), nullptr);
        EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        {
            CHourglass inner(true);
            EXPECT_EQ(CHourglass::Depth(), 2);
        }
        EXPECT_TRUE(keptOut(w));
        EXPECT_TRUE(CHourglass::Busy());
        // The main window itself stays usable for the boxes parented to it.
        EXPECT_TRUE(w.window.isEnabled());
        EXPECT_TRUE(w.status->isEnabled());
    }
    EXPECT_TRUE(letIn(w));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_FALSE(CHourglass::Busy());
}

TEST(Hourglass, ValueFalseReleasesOnlyItsOwnHoldAndAnUnsetGuardDoesNothing)
{
    TestMainWindow w;
    {
        CHourglass idle;
        EXPECT_FALSE(idle.Value());
    }
    EXPECT_TRUE(letIn(w));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    CHourglass a(true);
    CHourglass b(true);
    b.SetValue(false);
    b.SetValue(false);
    EXPECT_TRUE(keptOut(w));
    a.SetValue(false);
    EXPECT_TRUE(letIn(w));
    EXPECT_EQ(CHourglass::Depth(), 0);
}

TEST(Hourglass, AFailingProcedureStillLetsTheUserBackIn)
{
    TestMainWindow w;
    // A widget that was off before the hourglass stays off after it.
    w.window.menuBar()->setEnabled(false);
    bool ok = IgnoreErrors([&] {
        CHourglass hg;
        hg.SetValue(true);
        throw KvError(KvErr::TypeMismatch);
    });
    EXPECT_FALSE(ok);
    EXPECT_TRUE(w.mdi->isEnabled());
    EXPECT_FALSE(w.window.menuBar()->isEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST(Hourglass, AMessageBoxRaisedWhileBusyCanBeAnswered)
{
    TestMainWindow w;
    w.window.show();
    w.window.activateWindow();
    QApplication::setActiveWindow(&w.window);
    QtPrompter prompter;
    IPrompter* previous = Prompts::Install(&prompter);

    bool enabled = false;
    bool answered = false;
    auto* poll = new QTimer;
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        poll->stop();
        QPushButton* yes = qobject_cast<QPushButton*>(box->button(QMessageBox::Yes));
        enabled = box->isEnabled() && yes && yes->isEnabled();
        QTimer::singleShot(0, box, [yes] {
            if (yes)
                QTest::mouseClick(yes, Qt::LeftButton);
        });
        answered = true;
    });
    QTimer::singleShot(5000, [] {
        if (QWidget* modal = QApplication::activeModalWidget())
            modal->close();
    });

    MsgResult result = MsgResult::Cancel;
    {
        CHourglass hg(true);
        poll->start();
        result = Prompts::MsgBox(QStringLiteral("Go on?"), MsgButtons::YesNo, MsgIcon::Question);
    }
    delete poll;
    Prompts::Install(previous);
    EXPECT_TRUE(answered);
    EXPECT_TRUE(enabled);
    EXPECT_EQ(result, MsgResult::Yes);
}
