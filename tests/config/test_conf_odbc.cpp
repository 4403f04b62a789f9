// The configuration over ODBC: the data-source choice through the file dialog's ODBC entry and
// the program's chooser, a project committed over a table reached through the SQLite ODBC
// driver (a DSN in a private odbc.ini) and reopened; the chooser's dialog and connect text.
#include "config/configureproject.h"
#include "config/odbcchooser.h"
#include "core/prompts.h"
#include "core/widgets/statusbar.h"
#include "core/widgets/veltra.h"
#include "data/datadef.h"
#include "data/projectschema.h"
#include "kdb/kdb.h"
#include "network/backprop.h"
#include "network/workflowflags.h"
#include "network/sfam.h"
#include "shell/modmenu.h"
#include "tests/config/test_conf_support.h"
#include "tests/support/modalanswerer.h"
#include "tests/support/odbcentryprompter.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include <cstdlib>

namespace {

const QString kDsn = QStringLiteral("KorvanConfTest");

// A user DSN for the source file, read by unixODBC from $ODBCINI (set before the first ODBC
// call of the process: each test runs in a process of its own).
void WriteDsn(const QString& folder, const QString& file, const QString& more = {})
{
    const QString ini = folder + QStringLiteral("/odbc.ini");
    QFile f(ini);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QStringLiteral("[%1]\nDescription=Korvan test\nDriver=SQLite3\nDatabase=%2\nNoCreat=1\n%3")
                .arg(kDsn, file, more)
                .toUtf8());
    f.close();
    qputenv("ODBCINI", ini.toLocal8Bit());
}

struct ScriptedChooser {
    ScriptedChooser()
        : previous(kdb::SetDataSourceChooser([this](const QList<kdb::DataSourceEntry>& sources) -> std::optional<QString> {
              for (const kdb::DataSourceEntry& s : sources)
                  offered << s.name;
              if (cancel)
                  return std::nullopt;
              return kDsn + credentials;
          }))
    {
    }
    ~ScriptedChooser() { kdb::SetDataSourceChooser(previous); }
    QStringList offered;
    bool cancel = false;
    QString credentials;   // what the user typed: ";UID=...;PWD=..."
    kdb::DataSourceChooser previous;
};

void Configure(frmConfPrj* w, const QString& prediction)
{
    auto* fields = w->findChild<QListWidget*>(QStringLiteral("lstFields"));
    for (int i = 0; i < fields->count(); ++i)
        fields->item(i)->setSelected(fields->item(i)->text() == QLatin1String("Input A")
                                     || fields->item(i)->text() == QLatin1String("Input B"));
    w->cmdOneToInput_Click();
    for (int i = 0; i < fields->count(); ++i)
        if (fields->item(i)->text() == prediction) {
            fields->clearSelection();
            fields->setCurrentRow(i);
        }
    w->cmdToPrediction_Click();
}

} // namespace

TEST(ConfOdbcChooser, ConnectTextAndDialog)
{
    EXPECT_EQ(OdbcChooser::ConnectTail(QStringLiteral("Sales"), {}, {}), QStringLiteral("Sales"));
    EXPECT_EQ(OdbcChooser::ConnectTail(QStringLiteral("Sales"), QStringLiteral("me"), QStringLiteral("pw")),
              QStringLiteral("Sales;UID=me;PWD=pw"));
    EXPECT_EQ(OdbcChooser::ConnectTail(QStringLiteral("Sales"), QStringLiteral("a;b"), QStringLiteral("x}y")),
              QStringLiteral("Sales;UID={a;b};PWD={x}}y}"));

    const QList<kdb::DataSourceEntry> sources{{QStringLiteral("One"), QStringLiteral("first")},
                                              {QStringLiteral("Two"), QString()}};
    {
        ModalAnswerer answer;
        answer.Then([](QWidget* d) {
            d->findChild<QListWidget*>(QStringLiteral("lstSources"))->setCurrentRow(1);
            d->findChild<QLineEdit*>(QStringLiteral("txtUser"))->setText(QStringLiteral("me"));
            static_cast<QDialog*>(d)->accept();
        });
        EXPECT_EQ(OdbcChooser::Choose(sources), std::optional<QString>(QStringLiteral("Two;UID=me")));
    }
    {
        ModalAnswerer answer;
        answer.Then(ModalAnswerer::Reject());
        EXPECT_EQ(OdbcChooser::Choose(sources), std::nullopt);
    }
}

TEST_F(ConfigTest, BackPropOverOdbcCommittedAndReopened)
{
    WriteDsn(folder, source);
    ScriptedChooser chooser;
    const QString project = NewProject(ntBackProp);
    frmConfPrj* w = OpenWindow(true);
    {
        // The chooser cancelled: nothing changes, the ODBC box stays ticked.
        chooser.cancel = true;
        OdbcEntryPrompter odbc(prompts);
        w->cmdBrowse_Click();
        EXPECT_TRUE(w->DatabaseFileName().isEmpty());
        EXPECT_TRUE(w->findChild<QCheckBox*>(QStringLiteral("chkODBC"))->isChecked());
        chooser.cancel = false;
        w->cmdBrowse_Click();
        EXPECT_EQ(odbc.dialogs, 2);
    }
    EXPECT_TRUE(chooser.offered.contains(kDsn));
    EXPECT_EQ(w->DatabaseFileName(), QStringLiteral("ODBC;DSN=") + kDsn);
    EXPECT_EQ(w->findChild<QLabel*>(QStringLiteral("lblDatabase"))->text(), kDsn);
    auto* tables = w->findChild<QComboBox*>(QStringLiteral("cmbTableList"));
    EXPECT_GE(tables->findText(QStringLiteral("Order")), 0);
    EXPECT_GE(tables->findText(QStringLiteral("O'Brien")), 0);
    EXPECT_EQ(tables->currentIndex(), -1);

    w->ChooseTable(QStringLiteral("Order"));
    ASSERT_EQ(w->TableName(), QStringLiteral("Order"));
    EXPECT_EQ(gVeltra().StatusBar().Panel(QStringLiteral("User")).Text(), QStringLiteral(" 40 Rows "));
    Configure(w, QStringLiteral("Target"));
    w->cmdOK_Click();
    ConfTest::Flush();
    EXPECT_EQ(calls, QStringList{QStringLiteral("SetLimits")});
    gProcess().Save(project);

    OpenProject(ntBackProp, project);
    EXPECT_EQ(CurrentNetworkAs<CBackProp>()->State().DatabaseFileName(), QStringLiteral("ODBC;DSN=") + kDsn);
    frmConfPrj* again = OpenWindow(false);
    EXPECT_EQ(again->findChild<QLabel*>(QStringLiteral("lblDatabase"))->text(), kDsn);
    EXPECT_TRUE(again->findChild<QCheckBox*>(QStringLiteral("chkODBC"))->isChecked());
    EXPECT_EQ(again->findChild<QLabel*>(QStringLiteral("lblTable"))->text(), QStringLiteral("Order"));
    EXPECT_EQ(again->Rules().Inputs().size(), 2);
    EXPECT_EQ(again->Rules().PredictionName(), QStringLiteral("Target"));
    EXPECT_EQ(gVeltra().StatusBar().Panel(QStringLiteral("User")).Text(), QStringLiteral(" 40 Rows "));
}

TEST_F(ConfigTest, SfamOverOdbcCountsClassesIgnoringCase)
{
    WriteDsn(folder, source);
    ScriptedChooser chooser;
    const QString project = NewProject(ntSFam);
    frmConfPrj* w = OpenWindow(true);
    {
        OdbcEntryPrompter odbc(prompts);
        w->cmdBrowse_Click();
    }
    w->ChooseTable(QStringLiteral("O'Brien"));
    ASSERT_EQ(w->TableName(), QStringLiteral("O'Brien"));
    Configure(w, QStringLiteral("Class"));
    w->cmdOK_Click();
    ConfTest::Flush();
    EXPECT_TRUE(gProcess().IsConfigured());
    EXPECT_EQ(kdb::Database::Open(project, false, true).RecordCount(ProjectSchema::ClassesTable()), 3);

    gProcess().Save(project);
    OpenProject(ntSFam, project);
    frmConfPrj* again = OpenWindow(false);
    EXPECT_EQ(again->findChild<QLabel*>(QStringLiteral("lblDatabase"))->text(), kDsn);
    EXPECT_EQ(again->findChild<QLabel*>(QStringLiteral("lblTable"))->text(), QStringLiteral("O'Brien"));
    EXPECT_EQ(again->Rules().Inputs().size(), 2);
    EXPECT_EQ(again->Rules().PredictionName(), QStringLiteral("Class"));
    EXPECT_EQ(gVeltra().StatusBar().Panel(QStringLiteral("User")).Text(), QStringLiteral(" 40 Rows "));
}

// A source reached by a driver's connect string that carries a password: the window names it
// without the password, however the string writes it.
TEST_F(ConfigTest, TheSourceLabelNeverShowsThePassword)
{
    NewProject(ntBackProp);
    const QString connect = QStringLiteral("ODBC;DRIVER=SQLite3;Database=") + source
                            + QStringLiteral(";pwd = {se;cret};NoCreat=1");
    CurrentNetworkAs<CBackProp>()->Attach(connect, QStringLiteral("Order"));
    ASSERT_EQ(CurrentNetworkAs<CBackProp>()->State().TableName(), QStringLiteral("Order"));
    frmConfPrj* w = OpenWindow(false);
    const QString label = w->findChild<QLabel*>(QStringLiteral("lblDatabase"))->text();
    EXPECT_EQ(label, QStringLiteral("DRIVER=SQLite3;Database=") + source + QStringLiteral(";NoCreat=1"));
    EXPECT_TRUE(prompts.Boxes().empty()) << prompts.LastBox().text.toStdString();
}

// A data source that keeps its own password: the credentials typed in the chooser are not
// stored with the project, which then holds no password and stays as any other file.
TEST_F(ConfigTest, ASourceKeepingItsPasswordStoresNoneInTheProject)
{
    WriteDsn(folder, source, QStringLiteral("UID=me\nPassword=kept\n"));
    ScriptedChooser chooser;
    chooser.credentials = QStringLiteral(";UID=me;PWD={typed;secret}");
    const QString project = NewProject(ntBackProp);
    frmConfPrj* w = OpenWindow(true);
    {
        OdbcEntryPrompter odbc(prompts);
        w->cmdBrowse_Click();
    }
    EXPECT_EQ(w->DatabaseFileName(), QStringLiteral("ODBC;DSN=") + kDsn);
    w->ChooseTable(QStringLiteral("Order"));
    ASSERT_EQ(w->TableName(), QStringLiteral("Order"));
    QFile file(project);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_FALSE(file.readAll().contains("secret"));
}
