// The procedures of the windows above the shell as the shell calls them: the configuration
// command, the window libraries letting go of their windows' objects before the child windows
// close, and the one way to the open network object.
#include "core/widgets/commandbar.h"
#include "core/widgets/statusbar.h"
#include "core/widgets/toolnames.h"
#include "core/widgets/veltra.h"
#include "network/backprop.h"
#include "network/sfam.h"
#include "shell/modmenu.h"
#include "shell/networkopener.h"
#include "tests/shell/recordingviews.h"
#include "tests/shell/test_shell_support.h"

#include <QMdiArea>
#include <QMdiSubWindow>

namespace {
using Views = ShellTest;

QString mainPanel()
{
    return gVeltra().StatusBar().StatusBar()->Panel(1).Text().trimmed();
}
} // namespace

TEST_F(Views, RemoveChildFormsLetsTheWindowLibrariesGoBeforeAnyWindowCloses)
{
    RecordingViews views;
    struct Releasing : RecordingViews {
        explicit Releasing(QStringList& log) : m_log(log) {}
        void ReleaseWindowState() override { m_log << "ReleaseWindowState"; }
        QStringList& m_log;
    } releasing(views.calls);
    struct Form : QWidget {
        explicit Form(QStringList& log) : m_log(log) {}
        void closeEvent(QCloseEvent* event) override
        {
            m_log << "closed";
            QWidget::closeEvent(event);
        }
        QStringList& m_log;
    };
    QPointer<QWidget> form = new Form(views.calls);
    main->MdiArea()->addSubWindow(form)->show();

    modMenu::RemoveChildForms();
    EXPECT_EQ(views.calls, (QStringList{"ReleaseWindowState", "closed"}));
    FlushDeletes();
    EXPECT_TRUE(form.isNull());
}

TEST_F(Views, ConfigurationWithoutItsWindowSaysSoAndKeepsTheTools)
{
    CCommandBar* bar = main->MainToolBar();
    modMenu::EditConfigure(true);
    EXPECT_EQ(mainPanel(), modMenu::NotAvailableText());
    EXPECT_TRUE(bar->Enabled(ToolName::Open));
    EXPECT_TRUE(main->updatesEnabled());
    EXPECT_TRUE(prompts.Boxes().empty());
}

TEST_F(Views, ConfigurationReplacesTheChildWindowsAndHoldsTheToolsOff)
{
    RecordingViews views;
    CCommandBar* bar = main->MainToolBar();
    QPointer<QWidget> old = new QWidget;
    main->MdiArea()->addSubWindow(old)->show();
    bool lockedWhileShown = false;
    views.onShowConfigure = [&] { lockedWhileShown = !main->updatesEnabled(); };
    main->MainToolBar_Click(BandName::Standard, ToolName::Configure, 0);
    FlushDeletes();
    EXPECT_EQ(views.calls, QStringList{"ShowConfigure"});
    EXPECT_TRUE(lockedWhileShown);
    EXPECT_TRUE(main->updatesEnabled());
    EXPECT_EQ(old, nullptr);
    EXPECT_FALSE(bar->Enabled(ToolName::Open));
    EXPECT_TRUE(bar->Enabled(ToolName::HelpContents));
    EXPECT_TRUE(bar->Enabled(ToolName::TrainBPTrain));

    // A failing window still gives the redrawing back and shows the command's box.
    views.onShowConfigure = [] { throw KvError(5); };
    prompts.ExpectBox(MsgResult::Ok);
    modMenu::EditConfigure();
    EXPECT_EQ(prompts.LastBox().title, QStringLiteral("modMenu::EditConfigure"));
    EXPECT_TRUE(main->updatesEnabled());
}

TEST_F(Views, OneWayToTheOpenNetworkObject)
{
    EXPECT_THROW(RequireNetwork(), KvError);
    EXPECT_EQ(CurrentKind(), ntNone);
    const auto bp = std::make_shared<CBackProp>();
    SetCurrentNetwork(bp);
    bp->SetCurrentNodes(7);
    EXPECT_EQ(RequireNetwork().CurrentNodes(), 7);
    EXPECT_EQ(CurrentKind(), ntBackProp);
    EXPECT_FALSE(CurrentNetworkAs<CSFam>());

    // The kind is the open object's own: no second value to agree with it.
    SetCurrentNetwork(std::make_shared<CSFam>());
    EXPECT_EQ(RequireNetwork().CurrentNodes(), 0);
    EXPECT_EQ(CurrentKind(), ntSFam);
    EXPECT_FALSE(CurrentNetworkAs<CBackProp>());
    SetCurrentNetwork(nullptr);
}
