// The program's wiring: after it, no process-wide slot is left at its fallback (prompts that
// answer as cancelled, a status nobody sees, hosts that do nothing, no opener, no data-source
// chooser, window calls and commands "Not available yet"), and at its end every slot is back as it was.
// Through it the shell's closing of the child windows and the network objects' test reach the
// browse library's own objects and windows.
#include "app/widgetmap.h"
#include "app/wiring.h"

#include "browse/currentbrowse.h"
#include "browse/frmbrowse.h"
#include "config/odbcchooser.h"
#include "core/widgets/statusbar.h"
#include "core/widgets/toolnames.h"
#include "core/widgets/veltra.h"
#include "shell/commandtable.h"
#include "shell/frmmain.h"
#include "shell/modmenu.h"
#include "shell/navigate.h"
#include "tests/support/fakeprompter.h"

#include <QCoreApplication>
#include <QLineEdit>
#include <QPointer>
#include <gtest/gtest.h>

namespace {

// What the slot holds, read through its own Install and put straight back.
template <class Value>
Value installed(Value (*install)(Value))
{
    Value current = install(Value{});
    install(current);
    return current;
}

void flushDeletes()
{
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

struct Slots {
    IPrompter* prompts = installed(&Prompts::Install);
    IStatusSink* status = installed(&Status::Install);
    IProjectOpener* projects = installed(&ProjectOpener::Install);
    INetworkHost* networkHost = installed(&NetworkHost::Install);
    bool dataSources = bool(installed(&kdb::SetDataSourceChooser));
    IWindowCalls* windows = installed(&WindowCalls::Install);
};

} // namespace

TEST(Wiring, EverySlotHoldsTheProgramsServiceAndIsPutBackAtTheEnd)
{
    FakePrompter outer;
    const Slots before;
    ASSERT_EQ(before.prompts, &outer);
    {
        const AppWiring wiring;
        const Slots during;
        EXPECT_TRUE(dynamic_cast<QtPrompter*>(during.prompts));
        EXPECT_EQ(during.status, &gVeltra().StatusBar());
        auto* opener = dynamic_cast<NetworkProjectOpener*>(during.projects);
        ASSERT_TRUE(opener);
        EXPECT_TRUE(dynamic_cast<AppNetworkHost*>(during.networkHost));
        EXPECT_TRUE(during.dataSources);
        EXPECT_TRUE(dynamic_cast<AppWindowCalls*>(during.windows));
        // One command of each window library; the road's test checks every one.
        for (QLatin1StringView tool :
             {ToolName::Split, ToolName::TrainBP, ToolName::BrowseTest, ToolName::Find, ToolName::Scatter})
            EXPECT_NE(gCommands().Find(CommandBar::Main, tool), nullptr) << tool.data();
    }
    const Slots after;
    EXPECT_EQ(after.prompts, &outer);
    EXPECT_EQ(after.status, before.status);
    EXPECT_EQ(after.projects, before.projects);
    EXPECT_EQ(after.networkHost, before.networkHost);
    EXPECT_EQ(after.dataSources, before.dataSources);
    EXPECT_EQ(after.windows, before.windows);
}

TEST(Wiring, TheBrowseObjectsGoFirstAndATestClosesTheBrowseWindowsInTheBrowseLibrary)
{
    FakePrompter prompts;
    QPointer<frmMain> main = new frmMain();
    gVeltra().SetMainForm(main);
    gNavigate().Bind(main->MainToolBar());
    AppWindowCalls windows;
    AppNetworkHost host;
    const ScopedService<IWindowCalls*> windowCalls(&WindowCalls::Install, &windows);
    const ScopedService<INetworkHost*> networkHost(&NetworkHost::Install, &host);
    // Closing the child windows: the interactive mode works on the browser, and the browser on
    // its window, so they go in that order, before the window does.
    QStringList released;
    gIMode() = std::shared_ptr<CIMode>(static_cast<CIMode*>(nullptr), [&](CIMode*) { released << "IMode"; });
    gDataBrowse() =
        std::shared_ptr<IDataBrowse>(static_cast<IDataBrowse*>(nullptr), [&](IDataBrowse*) { released << "DataBrowse"; });
    QPointer<QWidget> form = new QWidget;
    QObject::connect(form, &QObject::destroyed, [&] { released << "BrowseForm"; });
    form->show();
    gBrowseForm() = form;
    modMenu::RemoveChildForms();
    EXPECT_FALSE(gIMode());
    EXPECT_FALSE(gDataBrowse());
    EXPECT_TRUE(gBrowseForm().isNull());
    flushDeletes();
    EXPECT_EQ(released, (QStringList{"IMode", "DataBrowse", "BrowseForm"}));

    // A test about to rewrite the project file: its registered browse windows close, no other.
    QPointer<frmBrowse> browse = new frmBrowse();
    QPointer<QWidget> other = new QWidget;
    gVeltra().Project().Forms().push_back({"1", browse.data()});
    gVeltra().Project().Forms().push_back({"2", other.data()});
    NetworkHost::Current().CloseBrowsers();
    flushDeletes();
    EXPECT_EQ(browse, nullptr);
    EXPECT_NE(other, nullptr);
    delete other;
    gVeltra().Project().Forms().clear();
    EXPECT_TRUE(prompts.Boxes().empty());
    delete main;
}

TEST(Wiring, TheWidgetMapNeverHoldsATypedPassword)
{
    CDataSourceDialog dialog({{QStringLiteral("Sales"), QStringLiteral("SQLite3")}});
    dialog.findChild<QLineEdit*>(QStringLiteral("txtUser"))->setText(QStringLiteral("ann"));
    dialog.findChild<QLineEdit*>(QStringLiteral("txtPassword"))->setText(QStringLiteral("Wr0ngHorse"));
    dialog.show();
    const QStringList map = WidgetMap::Current().split(QLatin1Char('\n'));
    EXPECT_FALSE(map.join(QLatin1Char('\n')).contains(QStringLiteral("Wr0ngHorse")));
    // The field itself is still on the map, for a driver to click into; the user's name is shown.
    EXPECT_FALSE(map.filter(QStringLiteral("\ttxtPassword\tQLineEdit\t")).isEmpty());
    const QStringList user = map.filter(QStringLiteral("\ttxtUser\tQLineEdit\t"));
    ASSERT_EQ(user.size(), 1);
    EXPECT_TRUE(user.front().endsWith(QStringLiteral("\tann")));
}
