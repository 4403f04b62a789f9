#include "tests/road/roadfixture.h"

#include "app/submain.h"
#include "config/configureproject.h"
#include "core/apppaths.h"
#include "core/widgets/commandbar.h"
#include "core/widgets/statusbar.h"
#include "core/widgets/veltra.h"
#include "data/projectschema.h"
#include "kdb/kdb.h"
#include "network/backprop.h"
#include "network/workflowflags.h"
#include "network/sfam.h"
#include "shell/modmenu.h"
#include "shell/navigate.h"
#include "tests/support/testenv.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QListWidget>
#include <QPushButton>
#include <QThread>

void RoadTest::SetUp()
{
    TestEnv::ClearSettings();
    SetCurrentNetwork(nullptr);
    folder = TestEnv::NewFolder(QStringLiteral("road"));
    sample = folder + QStringLiteral("/KorvanSample.kvs");
    ASSERT_TRUE(QFile::copy(AppPaths::InstallDataFolder() + QStringLiteral("/samples/KorvanSample.kvs"), sample))
        << AppPaths::InstallDataFolder().toStdString();
    QFile::setPermissions(sample, QFile::permissions(sample) | QFileDevice::WriteOwner);
    StartupOptions options;
    options.splashMinimumMs = 0;
    options.currentFolder = folder;
    main = SubMain::Main(options);
    ASSERT_TRUE(main);
    main->setGeometry(0, 0, 1280, 1024);
    Flush();
}

void RoadTest::TearDown()
{
    if (main)
        main->close();
    Flush();
    SetCurrentNetwork(nullptr);
    gProcess() = CProcess{};
}

void RoadTest::Flush()
{
    for (int i = 0; i < 4; ++i) {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

bool RoadTest::WaitFor(const std::function<bool()>& done, int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QThread::msleep(1);
    }
    return true;
}

void RoadTest::Click(const QString& tool, bool settle)
{
    CCommandBar* bar = main->MainToolBar();
    ASSERT_TRUE(bar->HasTool(tool)) << tool.toStdString();
    ASSERT_TRUE(bar->Enabled(tool)) << tool.toStdString() << " is off";
    ASSERT_TRUE(bar->Visible(tool)) << tool.toStdString() << " is hidden";
    const std::vector<CBandTool*> copies = bar->Copies(tool);
    ASSERT_FALSE(copies.empty()) << tool.toStdString() << " is on no band";
    bar->Click(*copies.front());
    if (settle)
        Flush();
}

void RoadTest::Shot(const QString& name, QWidget* w) const
{
    const QString shots = qEnvironmentVariable("KORVAN_SHOTS");
    if (shots.isEmpty())
        return;
    Flush();
    QWidget* target = w ? w : static_cast<QWidget*>(main.data());
    target->grab().save(shots + QStringLiteral("/road-") + name + QStringLiteral(".png"));
}

bool RoadTest::On(const QString& tool) const
{
    return main->MainToolBar()->Enabled(tool);
}

bool RoadTest::Shown(const QString& tool) const
{
    return main->MainToolBar()->Visible(tool);
}

QString RoadTest::Status()
{
    return gVeltra().StatusBar().Panel(1).Text().trimmed();
}

QString RoadTest::Panel(const QString& key)
{
    return gVeltra().StatusBar().Panel(key).Text();
}

frmConfPrj* RoadTest::New(const QString& tool, const QString& name)
{
    FileDialogResult chosen;
    chosen.cancelled = false;
    chosen.fileName = folder + QLatin1Char('/') + name;
    prompts.ExpectFile(chosen);
    Click(tool);
    return frmConfPrj::Current();
}

void RoadTest::Browse(frmConfPrj* w, const QString& file)
{
    FileDialogResult chosen;
    chosen.cancelled = false;
    chosen.fileName = file;
    prompts.ExpectFile(chosen);
    auto* browse = w->findChild<QPushButton*>(QStringLiteral("cmdBrowse"));
    ASSERT_TRUE(browse);
    browse->click();
    Flush();
}

void RoadTest::GiveRoles(frmConfPrj* w, const QStringList& inputs, const QString& prediction)
{
    auto* fields = w->findChild<QListWidget*>(QStringLiteral("lstFields"));
    ASSERT_TRUE(fields);
    auto select = [&](const QStringList& names) {
        fields->clearSelection();
        for (int i = 0; i < fields->count(); ++i)
            if (names.contains(fields->item(i)->text())) {
                fields->item(i)->setSelected(true);
                fields->setCurrentItem(fields->item(i), QItemSelectionModel::Select);
            }
    };
    select(inputs);
    auto* toInput = w->findChild<QPushButton*>(QStringLiteral("cmdOneToInput"));
    auto* toPrediction = w->findChild<QPushButton*>(QStringLiteral("cmdToPrediction"));
    ASSERT_TRUE(toInput && toPrediction);
    toInput->click();
    select({prediction});
    toPrediction->click();
}

QString RoadTest::Config(const QString& project, const QString& property)
{
    kdb::Database db = kdb::Database::Open(project, false, true);
    const kdb::Value v = db.Scalar(ProjectSchema::ConfigValueSelect(), QList<kdb::Value>{property});
    return v.toText();
}

int64_t RoadTest::Rows(const QString& project, const QString& table)
{
    return kdb::Database::Open(project, false, true).RecordCount(table);
}

int64_t RoadTest::Marked(const QString& project)
{
    return kdb::Database::Open(project, false, true)
        .Scalar(QStringLiteral("SELECT COUNT(*) FROM Test WHERE Mark <> 0"))
        .ToInt()
        .value_or(-1);
}

RoadTest::Steps RoadTest::StepsOf(const QString& project)
{
    CProcess p;
    p.Load(project);
    return {p.IsConfigured(), p.IsSplit(), p.IsTrained(), p.IsTested()};
}
