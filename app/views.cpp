#include "app/views.h"

#include "browse/browseviews.h"
#include "browse/builders.h"
#include "browse/currentbrowse.h"
#include "browse/findviews.h"
#include "charts/chartviews.h"
#include "config/configureproject.h"
#include "config/splitcommand.h"
#include "shell/modmenu.h"
#include "training/trainingviews.h"

// Each window library adds its own Install call here.
void AppViews::Install()
{
    BrowseViews::Install();
    FindViews::Install();
    SplitViews::Install();
    TrainingViews::Install();
    ChartViews::Install();
}

bool AppWindowCalls::ShowConfigure(bool createdByNew)
{
    frmConfPrj::Open(createdByNew);
    return true;
}

bool AppWindowCalls::StopActiveRun(std::function<void()> then)
{
    return TrainingViews::StopActiveRun(std::move(then));
}

void AppWindowCalls::CloseBrowsers()
{
    dbUtilities::CloseBrowsers();
}

void AppWindowCalls::ReleaseWindowState()
{
    CurrentBrowse::Release();
}

void AppWindowCalls::BrowseTestWorstFirst()
{
    BrowseViews::BrowseTestWorstFirst();
}

void AppWindowCalls::BrowseOutlyers(const QString& predicted, const QString& actual)
{
    BrowseViews::BrowseOutlyers(predicted, actual);
}

void AppWindowCalls::BrowseBand(bool open)
{
    if (open)
        BrowseViews::BrowseMenuOpen();
    else
        BrowseViews::BrowseMenuClose();
}

void AppNetworkHost::CloseProject()
{
    modMenu::FileClose();
}

void AppNetworkHost::CloseBrowsers()
{
    dbUtilities::CloseBrowsers();
}

void AppNetworkHost::HideSplash()
{
    modMenu::HideSplash();
}
