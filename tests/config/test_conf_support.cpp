#include "tests/config/test_conf_support.h"

#include "config/advancedconfiguration.h"
#include "config/configureproject.h"
#include "core/widgets/commandbar.h"
#include "core/widgets/statusbar.h"
#include "core/widgets/toolnames.h"
#include "core/widgets/toolstate.h"
#include "core/widgets/veltra.h"
#include "kdb/kdb.h"
#include "network/backprop.h"
#include "network/workflowflags.h"
#include "network/sfam.h"
#include "shell/modmenu.h"
#include "shell/navigate.h"
#include "shell/networkopener.h"
#include "shell/commandtable.h"
#include "shell/windowcalls.h"
#include "tests/support/testenv.h"

#include <QApplication>
#include <QDir>
#include <QFile>

void ConfTest::Flush()
{
    for (int i = 0; i < 4; ++i) {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

QString ConfTest::MakeSource(const QString& folder, int rows)
{
    const QString path = folder + QStringLiteral("/source.kvs");
    kdb::Database db = kdb::Database::Create(path);
    const QString columns = QStringLiteral(
        "(\"ID\" INTEGER PRIMARY KEY, \"Input A\" DOUBLE, \"Input B\" INTEGER, \"When\" DATE, \"Name\" TEXT, "
        "\"Big\" BIGINT, \"Target\" DOUBLE, \"Class\" TEXT)");
    const QStringList tables{QStringLiteral("Order"), QStringLiteral("a]b"), QStringLiteral("O'Brien")};
    const QStringList classes{QStringLiteral("red"), QStringLiteral("Green"), QStringLiteral("blue")};
    kdb::Transaction t(db);
    for (const QString& table : tables) {
        db.Execute(QStringLiteral("CREATE TABLE ") + kdb::QuoteIdent(table) + columns);
        kdb::Statement ins = db.Prepare(QStringLiteral("INSERT INTO ") + kdb::QuoteIdent(table)
                                        + QStringLiteral(" VALUES (?,?,?,?,?,?,?,?)"));
        for (int i = 1; i <= rows; ++i) {
            QString cls = classes[i % 3];
            if (i % 2)
                cls = cls.toUpper(); // the same class in another case
            ins.Run({int64_t(i), 0.5 * i, int64_t(i % 7), QStringLiteral("2020-01-%1").arg(1 + i % 28, 2, 10, QLatin1Char('0')),
                     QStringLiteral("n%1").arg(i), int64_t(i) * 1000, 3.0 * i + 1, cls});
        }
    }
    db.Execute(QStringLiteral("CREATE TABLE \"NoKey\" (\"X\" DOUBLE, \"Y\" DOUBLE)"));
    db.Execute(QStringLiteral("INSERT INTO \"NoKey\" VALUES (1, 2)"));
    db.Execute(QStringLiteral("CREATE TABLE \"Many\" (\"K\" INTEGER PRIMARY KEY, \"X\" DOUBLE, \"C1\" TEXT, "
                              "\"C2\" TEXT, \"C256\" INTEGER, \"C257\" INTEGER)"));
    kdb::Statement many = db.Prepare(QStringLiteral("INSERT INTO \"Many\" VALUES (?,?,?,?,?,?)"));
    for (int i = 0; i < 300; ++i)
        many.Run({int64_t(i + 1), double(i), QStringLiteral("one"), i % 2 ? QStringLiteral("a") : QStringLiteral("b"),
                  int64_t(i % 256), int64_t(i % 257)});
    db.Execute(QStringLiteral("CREATE TABLE \"Ranges\" (\"K\" INTEGER PRIMARY KEY, \"R150\" DOUBLE, \"R5\" DOUBLE, "
                              "\"R005\" DOUBLE, \"B\" BYTE, \"C\" CURRENCY, \"D\" DATE, \"T\" TEXT, \"Flag\" BOOLEAN, "
                              "\"X\" DOUBLE)"));
    kdb::Statement ranges = db.Prepare(QStringLiteral("INSERT INTO \"Ranges\" VALUES (?,?,?,?,?,?,?,?,?,?)"));
    ranges.Run({int64_t(1), 0.0, 10.0, 1.0, int64_t(1), 2.5, QStringLiteral("2020-01-01"), QStringLiteral("a"), int64_t(0), 1.0});
    ranges.Run({int64_t(2), 150.0, 15.0, 1.05, int64_t(9), 7.25, QStringLiteral("2020-03-01"), QStringLiteral("b"), int64_t(1), 2.0});
    // Rows inside those ranges, so that the table holds enough rows to train on.
    for (int i = 3; i <= 12; ++i)
        ranges.Run({int64_t(i), 10.0 * i, 10.0 + 0.4 * i, 1.0 + 0.004 * i, int64_t(i % 8 + 1), 2.5 + 0.35 * i,
                    QStringLiteral("2020-02-%1").arg(i, 2, 10, QLatin1Char('0')), QStringLiteral("c"), int64_t(i % 2),
                    1.0 + 0.05 * i});
    t.Commit();
    return path;
}

QByteArray ConfTest::Bytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList ConfTest::Listing(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
}

namespace {

// The configuration window as the program opens it.
struct ConfigureCalls : IWindowCalls {
    bool ShowConfigure(bool createdByNew) override
    {
        frmConfPrj::Open(createdByNew);
        return true;
    }
};

ConfigureCalls& configureCalls()
{
    static ConfigureCalls calls;
    return calls;
}

// The command table as it was before the test's recording rows.
std::vector<CommandRow>& savedRows()
{
    static std::vector<CommandRow> rows;
    return rows;
}

} // namespace

void ConfigTest::SetUp()
{
    TestEnv::ClearSettings();
    SetCurrentNetwork(nullptr);
    main = new frmMain();
    main->resize(1100, 800);
    gVeltra().SetMainForm(main);
    gVeltra().StatusBar().Initialize(main->MainStatusBar()->StatusBar());
    gVeltra().MRUList().Initialize(&main->MainToolBar()->Band(BandName::File));
    gNavigate().Bind(main->MainToolBar());
    gNavigate().Navigate(navNoProject);
    folder = TestEnv::NewFolder(QStringLiteral("conf"));
    source = ConfTest::MakeSource(folder);
    WindowCalls::Install(&configureCalls());
    savedRows() = gCommands().Rows();
    const auto record = [this](QLatin1StringView tool, const char* name) {
        gCommands().Add(tool, [this, name](const CommandClick&) { calls << QString::fromLatin1(name); });
    };
    record(ToolName::Split, "SetLimits");
    record(ToolName::TrainBP, "MenuBProp");
    record(ToolName::BrowseTest, "BrowseTest");
    record(ToolName::ShowAll, "ShowDefBrowser");
}

void ConfigTest::TearDown()
{
    if (frmConfigProj* a = frmConfigProj::Current())
        a->close();
    ConfTest::Flush();
    CloseProject();
    if (main)
        main->close();
    ConfTest::Flush();
    gCommands().SetRows(std::move(savedRows()));
    WindowCalls::Install(nullptr);
    SetCurrentNetwork(nullptr);
}

QString ConfigTest::NewProject(int32_t kind, const QString& name)
{
    const QString path = folder + QLatin1Char('/') + name;
    gProcess() = CProcess{};
    MakeNetwork(kind, path);
    gNavigate().Navigate(navOpened);
    return path;
}

void ConfigTest::MakeNetwork(int32_t kind, const QString& path)
{
    std::shared_ptr<CNetworkProject> net;
    if (kind == ntBackProp)
        net = std::make_shared<CBackProp>();
    else
        net = std::make_shared<CSFam>();
    SetCurrentNetwork(net);
    net->Initialize(path);
}

void ConfigTest::CloseProject()
{
    SetCurrentNetwork(nullptr);
    gProcess() = CProcess{};
}

void ConfigTest::OpenProject(int32_t kind, const QString& path)
{
    CloseProject();
    MakeNetwork(kind, path);
    gProcess().Load(path);
}

frmConfPrj* ConfigTest::OpenWindow(bool createdByNew)
{
    main->show();
    modMenu::EditConfigure(createdByNew);
    QCoreApplication::processEvents();
    return frmConfPrj::Current();
}

void ConfigTest::Browse(frmConfPrj* w, const QString& file)
{
    FileDialogResult chosen;
    chosen.cancelled = false;
    chosen.fileName = file;
    prompts.ExpectFile(chosen);
    w->cmdBrowse_Click();
}
