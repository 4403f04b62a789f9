// The procedures of the windows above the shell as the shell calls them: the configuration
// command, the release order of the browse globals, the browse windows closed for the network
// objects, and the one way to the open network object.
#include "core/widgets/commandbar.h"
#include "core/widgets/statusbar.h"
#include "core/widgets/toolnames.h"
#include "core/widgets/veltra.h"
#include "network/networkhost.h"
#include "network/backprop.h"
#include "network/sfam.h"
#include "shell/modmenu.h"
#include "shell/currentbrowse.h"
#include "shell/networkopener.h"
#include "tests/shell/installedopener.h"
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

TEST_F(Views, RemoveChildFormsReleasesTheBrowseGlobalsInOrder)
{
    QStringList released;
    gIMode() = std::shared_ptr<CIMode>(static_cast<CIMode*>(nullptr), [&](CIMode*) { released << "IMode"; });
    gDataBrowse() =
        std::shared_ptr<IDataBrowse>(static_cast<IDataBrowse*>(nullptr), [&](IDataBrowse*) { released << "DataBrowse"; });
    QPointer<QWidget> form = new QWidget;
    QObject::connect(form, &QObject::destroyed, [&] { released << "BrowseForm"; });
    main->MdiArea()->addSubWindow(form)->show();
    gBrowseForm() = form;

    modMenu::RemoveChildForms();
    EXPECT_FALSE(gIMode());
    EXPECT_FALSE(gDataBrowse());
    EXPECT_TRUE(gBrowseForm().isNull());
    FlushDeletes();
    EXPECT_EQ(released, (QStringList{"IMode", "DataBrowse", "BrowseForm"}));
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

TEST_F(Views, NetworkObjectsCloseTheBrowseWindowsThroughTheInstalledProcedure)
{
    InstalledOpener opener;
    // Without the browse library the registered browse windows close.
    QPointer<QWidget> browse = new QWidget;
    browse->setObjectName("frmBrowse");
    QPointer<QWidget> other = new QWidget;
    gVeltra().Project().Forms().push_back({"1", browse.data()});
    gVeltra().Project().Forms().push_back({"2", other.data()});
    NetworkHost::Current().CloseBrowsers();
    FlushDeletes();
    EXPECT_EQ(browse, nullptr);
    EXPECT_NE(other, nullptr);
    delete other;

    RecordingViews views;
    NetworkHost::Current().CloseBrowsers();
    EXPECT_EQ(views.calls, QStringList{"CloseBrowsers"});
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
