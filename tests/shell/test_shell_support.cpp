#include "tests/shell/test_shell_support.h"

#include "core/widgets/commandbar.h"
#include "core/widgets/statusbar.h"
#include "core/widgets/toolnames.h"
#include "core/widgets/veltra.h"
#include "shell/modmenu.h"
#include "network/backprop.h"
#include "network/sfam.h"
#include "shell/navigate.h"
#include "shell/networkopener.h"
#include "tests/support/testenv.h"

#include <QApplication>

void FlushDeletes()
{
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

void OpenKind(int32_t kind)
{
    if (kind == ntBackProp)
        SetCurrentNetwork(std::make_shared<CBackProp>());
    else if (kind == ntSFam)
        SetCurrentNetwork(std::make_shared<CSFam>());
    else
        SetCurrentNetwork(nullptr);
}

void ShellTest::SetUp()
{
    TestEnv::ClearSettings();
    SetCurrentNetwork(nullptr);
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
    SetCurrentNetwork(nullptr);
}
