// The windows of configuration, training, browsing and charts as the shell reaches them: their
// rows in the one command table, and the few calls with an argument or an answer.
#pragma once

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
    void BrowseTestWorstFirst() override;
    void BrowseOutlyers(const QString& predicted, const QString& actual) override;
    void BrowseBand(bool open) override;
};
