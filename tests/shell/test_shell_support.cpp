#include "tests/shell/test_shell_support.h"

#include "core/widgets/commandbar.h"
#include "core/widgets/statusbar.h"
#include "core/widgets/toolnames.h"
#include "core/widgets/veltra.h"
#include "shell/modmenu.h"
#include "shell/navigate.h"
#include "tests/support/testenv.h"

#include <QApplication>

void FlushDeletes()
{
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

void ShellTest::SetUp()
{
    TestEnv::ClearSettings();
    gProjectType = ntNone;
    main = new frmMain();
    gVeltra().SetMainForm(main);
    gVeltra().StatusBar().Initialize(main->MainStatusBar()->StatusBar());
    gVeltra().MRUList().Initialize(&main->MainToolBar()->Band(BandName::File));
    gNavigate().Bind(main->MainToolBar());
    gNavigate().Navigate(navNoProject);
}

void ShellTest::TearDown()
{
    if (main)
        main->close();
    FlushDeletes();
    gProjectType = ntNone;
}
