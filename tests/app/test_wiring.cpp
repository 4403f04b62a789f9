// The program's wiring: after it, no process-wide slot is left at its fallback (prompts that
// answer as cancelled, a status nobody sees, hosts that do nothing, no opener, no data-source
// chooser, window calls and commands "Not available yet"), and at its end every slot is back as it was.
#include "app/wiring.h"

#include "core/widgets/statusbar.h"
#include "core/widgets/toolnames.h"
#include "core/widgets/veltra.h"
#include "shell/commandtable.h"
#include "tests/support/fakeprompter.h"

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
        EXPECT_EQ(during.networkHost, &opener->HostService());
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
