// The windows of configuration, training, browsing and charts as the shell reaches them: their
// rows in the one command table, and the few calls with an argument or an answer; and what the
// network objects ask of the program.
#pragma once

#include "network/networkhost.h"
#include "shell/windowcalls.h"

namespace AppViews {
// Adds every window library's rows to the command table. Idempotent.
void Install();
}

// The window calls as the program answers them, each in the library of its window.
class AppWindowCalls final : public IWindowCalls {
public:
    bool ShowConfigure(bool createdByNew) override;
    bool StopActiveRun(std::function<void()> then) override;
    void CloseBrowsers() override;
    void ReleaseWindowState() override;
    void BrowseTestWorstFirst() override;
    void BrowseOutlyers(const QString& predicted, const QString& actual) override;
    void BrowseBand(bool open) override;
};

// The network objects' host: the File Close command and the splash of the shell, and the browse
// windows let go by the browse library itself before a test rewrites the project file.
class AppNetworkHost final : public INetworkHost {
public:
    void CloseProject() override;
    void CloseBrowsers() override;
    void HideSplash() override;
};
