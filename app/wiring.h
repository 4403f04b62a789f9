// The one place where the program plugs its services into the libraries' process-wide slots:
// the prompts, the status bar, the project opener and the network objects' host, the ODBC
// data-source chooser and the calls into the windows; and the windows' rows in the command
// table. The libraries only offer their slots and service objects; tests install fakes
// through the same slots.
#pragma once

#include "app/views.h"
#include "core/prompts.h"
#include "core/serviceslot.h"
#include "core/status.h"
#include "core/widgets/qtprompter.h"
#include "kdb/kdb.h"
#include "network/networkhost.h"
#include "shell/networkopener.h"
#include "shell/projectopener.h"
#include "shell/windowcalls.h"

// Installs every service for its lifetime and puts back what it replaced at its end. Made once
// by main after the application object and before anything can show a box: none of the
// services does anything before the window it serves exists (the status bar drops texts until
// the main window's strip is bound to it).
class AppWiring {
public:
    AppWiring();
    AppWiring(const AppWiring&) = delete;
    AppWiring& operator=(const AppWiring&) = delete;

private:
    QtPrompter m_prompter;
    NetworkProjectOpener m_opener;
    AppNetworkHost m_networkHostService;
    AppWindowCalls m_windowCalls;

    // Declared after the services they install, so that they end first.
    ScopedService<IPrompter*> m_prompts;
    ScopedService<IStatusSink*> m_status;
    ScopedService<IProjectOpener*> m_projects;
    ScopedService<INetworkHost*> m_networkHost;
    ScopedService<kdb::DataSourceChooser> m_dataSources;
    ScopedService<IWindowCalls*> m_windows;
};
