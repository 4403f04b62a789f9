#include "app/wiring.h"

#include "config/odbcchooser.h"
#include "core/widgets/statusbar.h"
#include "core/widgets/veltra.h"
#include "shell/modmenu.h"

AppWiring::AppWiring()
    : m_prompts(&Prompts::Install, &m_prompter),
      m_status(&Status::Install, &gVeltra().StatusBar()),
      m_projects(&ProjectOpener::Install, &m_opener),
      m_networkHost(&NetworkHost::Install, &m_networkHostService),
      m_dataSources(&kdb::SetDataSourceChooser, &OdbcChooser::Choose),
      m_windows(&WindowCalls::Install, &m_windowCalls)
{
    AppViews::Install();
    // No box may stand hidden behind the splash window.
    m_prompter.SetBeforePrompt([] { modMenu::HideSplash(); });
}
