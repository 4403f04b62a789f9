// Pictures of the configuration windows for a person to look at: taken only when
// KORVAN_CONF_SHOTS names a folder (run under a real display server), skipped otherwise.
#include "config/advancedconfiguration.h"
#include "config/configureproject.h"
#include "network/backprop.h"
#include "shell/modmenu.h"
#include "shell/networkopener.h"
#include "tests/config/test_conf_support.h"

#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QWidget>

TEST_F(ConfigTest, Pictures)
{
    const QString shots = qEnvironmentVariable("KORVAN_CONF_SHOTS");
    if (shots.isEmpty())
        GTEST_SKIP() << "KORVAN_CONF_SHOTS not set";
    QDir().mkpath(shots);
    const auto snap = [&](const QString& name) {
        for (int i = 0; i < 10; ++i)
            ConfTest::Flush();
        main->grab().save(shots + QLatin1Char('/') + name);
    };
    main->show();
    NewProject(ntBackProp);
    frmConfPrj* w = OpenWindow(true);
    snap(QStringLiteral("conf-empty.png"));
    Browse(w, source);
    w->ChooseTable(QStringLiteral("Order"));
    auto* fields = w->findChild<QListWidget*>(QStringLiteral("lstFields"));
    for (int i = 0; i < fields->count(); ++i)
        fields->item(i)->setSelected(fields->item(i)->text().startsWith(QLatin1String("Input")));
    w->cmdOneToInput_Click();
    for (int i = 0; i < fields->count(); ++i)
        if (fields->item(i)->text() == QLatin1String("Target"))
            fields->setCurrentRow(i);
    w->cmdToPrediction_Click();
    fields->setCurrentRow(0);
    snap(QStringLiteral("conf-roles.png"));
    frmConfigProj* advanced = frmConfigProj::Open(w);
    snap(QStringLiteral("conf-advanced.png"));
    // Narrow and low: the names stay in their pane while the statistics scroll, and the grid
    // ends under a whole row.
    advanced->parentWidget()->resize(520, 300);
    snap(QStringLiteral("conf-advanced-narrow.png"));

    // A project with its table but never configured, for a run of the real program that
    // reopens it into this window.
    const QString keep = shots + QStringLiteral("/unconfigured.kvp");
    QFile::remove(keep);
    QFile::copy(source, shots + QStringLiteral("/source.kvs"));
    CloseProject();
    MakeNetwork(ntBackProp, keep);
    CurrentNetworkAs<CBackProp>()->Attach(shots + QStringLiteral("/source.kvs"), QStringLiteral("Order"));
    CurrentNetworkAs<CBackProp>()->SaveConfig();
}
