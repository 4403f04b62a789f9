// Database helpers of the data library and the field-type tables.
#include "core/apppaths.h"
#include "data/dbutilities.h"
#include "data/fieldtypes.h"
#include "data/projectschema.h"
#include "tests/support/fakeprompter.h"
#include "tests/support/testenv.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>
#include <sqlite3.h>

namespace {
// The project file's link table.
const QString kLink = ProjectSchema::LinkTable();
} // namespace

namespace {

QString newPath(const QString& name)
{
    static int n = 0;
    return TestEnv::NewFolder(QStringLiteral("dbu%1").arg(++n)) + u'/' + name;
}

QString odbc(const QString& file)
{
    return QStringLiteral("ODBC;DRIVER=SQLite3;Database=") + file + QStringLiteral(";NoCreat=1");
}

QString makeData(const QString& path)
{
    kdb::Database db = kdb::Database::Create(path);
    db.Execute("CREATE TABLE Sales (Id INTEGER PRIMARY KEY, Amount DOUBLE)");
    db.Execute("INSERT INTO Sales VALUES (1, 1.5), (2, 2.5)");
    db.Execute("CREATE TABLE TextKey (Code TEXT PRIMARY KEY, v DOUBLE)");
    db.Execute("CREATE TABLE TwoKey (a INTEGER, b INTEGER, PRIMARY KEY (a, b))");
    db.Execute("CREATE TABLE UniqueOnly (a INTEGER, b INTEGER UNIQUE)");
    db.Execute("CREATE TABLE NoIndex (a INTEGER, b TEXT)");
    return path;
}

// A project database as the network objects make it, linked to `data`.
QString makeProject(const QString& data, const QString& dataSetting, bool link = true)
{
    const QString path = newPath(QStringLiteral("p.kvp"));
    kdb::Database db = kdb::Database::Create(path);
    db.ExecuteJet("CREATE TABLE FieldConfig ( FieldOrder       Integer CONSTRAINT PrimaryKey "
                  "PRIMARY KEY, FieldName        Text, PrimaryKeyField  Bit  );");
    db.ExecuteJet("CREATE TABLE Config ( Property         Text(255) CONSTRAINT PrimaryKey PRIMARY "
                  "KEY, sValue            Text(255)  );");
    db.Insert("Config", {{"Property", "DatabaseFileName"}, {"sValue", dataSetting}});
    if (link)
        db.Link(kLink,
                kdb::IsOdbcConnect(data) ? data : QStringLiteral(";DATABASE=") + data, "Sales");
    return path;
}

} // namespace

TEST(FieldTypes, NamesCategoriesAndClasses)
{
    EXPECT_EQ(dbUtilities::FieldTypeName(8), QStringLiteral("Date/Time"));
    EXPECT_EQ(dbUtilities::FieldCategoryName(8), QStringLiteral("Numeric"));
    EXPECT_EQ(dbUtilities::FieldTypeClass(8), fcDate);
    EXPECT_EQ(dbUtilities::FieldTypeName(1), QStringLiteral("Boolean"));
    EXPECT_EQ(dbUtilities::FieldCategoryName(1), QStringLiteral("Special"));
    EXPECT_EQ(dbUtilities::FieldTypeClass(1), fcNumeric);
    EXPECT_EQ(dbUtilities::FieldTypeName(AutoIncrType), QStringLiteral("Long"));
    EXPECT_EQ(dbUtilities::FieldCategoryName(AutoIncrType), QStringLiteral("AutoIncrement"));
    EXPECT_EQ(dbUtilities::FieldTypeClass(AutoIncrType), fcNumeric);
    for (int16_t code : {0, 13, 14, 24, -1, -5}) {
        EXPECT_EQ(dbUtilities::FieldTypeName(code), QStringLiteral("Unknown"));
        EXPECT_EQ(dbUtilities::FieldCategoryName(code), QStringLiteral("Unknown"));
        EXPECT_EQ(dbUtilities::FieldTypeClass(code), fcUnusable);
    }
    EXPECT_EQ(dbUtilities::FieldTypeName(10), QStringLiteral("Text"));
    EXPECT_EQ(dbUtilities::FieldTypeClass(10), fcText);
    EXPECT_EQ(dbUtilities::FieldTypeClass(12), fcUnusable);
    EXPECT_EQ(dbUtilities::FieldTypeName(23), QStringLiteral("Time Stamp"));
}

TEST(OpenDb, FilesOdbcAndTheirFailures)
{
    FakePrompter fp;
    const QString data = makeData(newPath(QStringLiteral("data.mdb")));
    EXPECT_TRUE(Utilities::OpenDb(data, true).IsOpen());
    const kdb::Database viaOdbc = Utilities::OpenDb(odbc(data), true);
    ASSERT_TRUE(viaOdbc.IsOpen());
    EXPECT_TRUE(viaOdbc.Connect().contains(QStringLiteral("ODBC;")));

    const QString text = newPath(QStringLiteral("notes.mdb"));
    {
        QFile f(text);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("just some text\n");
    }
    fp.ExpectBox(MsgResult::Ok);
    EXPECT_FALSE(Utilities::OpenDb(text, false).IsOpen());
    ASSERT_EQ(fp.Boxes().size(), 1u);
    EXPECT_EQ(fp.LastBox().text, QStringLiteral("Unrecognized database format '") + text + "'.");
    EXPECT_EQ(fp.LastBox().title, QStringLiteral("Open Database (3343)"));
    EXPECT_EQ(fp.LastBox().icon, MsgIcon::Critical);

    // The marker in small letters is no ODBC source: the text is taken as a file name.
    fp.ExpectBox(MsgResult::Ok);
    EXPECT_FALSE(Utilities::OpenDb(QStringLiteral("odbc;DSN=x"), true).IsOpen());
    EXPECT_EQ(fp.LastBox().title, QStringLiteral("Open Database (3024)"));

    // "ODBC;" alone with nobody to choose a source: cancelled, silently.
    fp.Clear();
    EXPECT_FALSE(Utilities::OpenDb(QStringLiteral("ODBC;"), true).IsOpen());
    EXPECT_TRUE(fp.Boxes().empty());
}

TEST(OpenDb, FileLockedByAnotherProgram)
{
    FakePrompter fp;
    const QString data = makeData(newPath(QStringLiteral("locked.mdb")));
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(data.toUtf8().constData(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE;", nullptr, nullptr,
                           nullptr),
              SQLITE_OK);
    fp.ExpectBox(MsgResult::Ok);
    EXPECT_FALSE(Utilities::OpenDb(data, false).IsOpen());   // both attempts fail
    ASSERT_EQ(fp.Boxes().size(), 1u);
    EXPECT_EQ(fp.LastBox().title, QStringLiteral("Open Database (3050)"));
    EXPECT_EQ(fp.LastBox().text, QStringLiteral("Couldn't lock file."));
    sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    EXPECT_TRUE(Utilities::OpenDb(data, false).IsOpen());
}

TEST(TableExists, NamesTrimmedAndCaseless)
{
    FakePrompter fp;
    const QString data = makeData(newPath(QStringLiteral("data.mdb")));
    const QString project = makeProject(data, data);
    EXPECT_TRUE(Utilities::TableExists(project, QStringLiteral("  fieldconfig ")));
    EXPECT_TRUE(Utilities::TableExists(project, QStringLiteral("LINKDATASOURCE")));
    EXPECT_FALSE(Utilities::TableExists(project, ProjectSchema::ClassesTable()));
    EXPECT_TRUE(fp.Boxes().empty());

    fp.ExpectBox(MsgResult::Ok);
    EXPECT_FALSE(Utilities::TableExists(QString(), QStringLiteral("Config")));
    EXPECT_EQ(fp.LastBox().text, QStringLiteral("Error: 52\nBad file name or number"));
    EXPECT_EQ(fp.LastBox().title, QStringLiteral("Error In TableExists"));
    EXPECT_EQ(fp.LastBox().icon, MsgIcon::Exclamation);
    fp.ExpectBox(MsgResult::Ok);
    EXPECT_FALSE(Utilities::TableExists(newPath(QStringLiteral("gone.kvp")), QStringLiteral("Config")));
    EXPECT_EQ(fp.LastBox().text, QStringLiteral("Error: 53\nFile not found"));
}

TEST(IsProjectFile, BothTablesAloneDecide)
{
    FakePrompter fp;
    const QString data = makeData(newPath(QStringLiteral("data.mdb")));
    const QString good = makeProject(data, data);
    EXPECT_TRUE(Utilities::IsProjectFile(good));
    EXPECT_FALSE(Utilities::IsProjectFile(data));
    EXPECT_FALSE(Utilities::IsProjectFile(newPath(QStringLiteral("none.kvp"))));

    // A project never configured has no data file yet, and is a project all the same; the
    // link check leaves it alone without a word.
    const QString unconfigured = makeProject(data, QString(), false);
    EXPECT_TRUE(Utilities::IsProjectFile(unconfigured));
    Utilities::CheckLink(unconfigured);

    const QString lower = newPath(QStringLiteral("lower.kvp"));
    {
        kdb::Database db = kdb::Database::Create(lower);
        db.Execute("CREATE TABLE fieldconfig (FieldOrder INTEGER)");
        db.Execute("CREATE TABLE Config (Property TEXT, sValue TEXT)");
        db.Insert("Config", {{"Property", "DatabaseFileName"}, {"sValue", data}});
    }
    EXPECT_FALSE(Utilities::IsProjectFile(lower));
    const QString text = newPath(QStringLiteral("text.kvp"));
    {
        QFile f(text);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("FieldConfig Config");
    }
    EXPECT_FALSE(Utilities::IsProjectFile(text));
    EXPECT_TRUE(fp.Boxes().empty());
}

TEST(CheckLink, FindsAMovedDataFileInTheProgramFolder)
{
    FakePrompter fp;
    const QString original = makeData(newPath(QStringLiteral("sales data.mdb")));
    const QString project = makeProject(original, original);
    const QString dataFolder = AppPaths::ProgramFolder() + QStringLiteral("/data");
    ASSERT_TRUE(QDir().mkpath(dataFolder));
    const QString moved = dataFolder + QStringLiteral("/sales data.mdb");
    QFile::remove(moved);
    ASSERT_TRUE(QFile::rename(original, moved));

    Utilities::CheckLink(project);
    EXPECT_TRUE(fp.Boxes().empty());
    kdb::Database db = kdb::Database::Open(project);
    EXPECT_EQ(db.Scalar("SELECT sValue FROM Config WHERE Property='DatabaseFileName'").toText(), moved);
    EXPECT_EQ(db.LinkInfo(kLink)->connect, QStringLiteral(";DATABASE=") + moved);
    EXPECT_EQ(db.RecordCount(kLink), 2);
    EXPECT_TRUE(Utilities::IsProjectFile(project));
    db.Close();
    QFile::remove(moved);
}

TEST(CheckLink, LeavesOdbcAndUnfindableSourcesAlone)
{
    FakePrompter fp;
    const QString data = makeData(newPath(QStringLiteral("odbcsrc.mdb")));
    const QString viaOdbc = makeProject(odbc(data), odbc(data));
    Utilities::CheckLink(viaOdbc);
    EXPECT_EQ(kdb::Database::Open(viaOdbc).LinkInfo(kLink)->connect, odbc(data));

    const QString gone = newPath(QStringLiteral("nowhere.mdb"));
    const QString project = makeProject(data, gone);
    Utilities::CheckLink(project);   // no candidate: nothing changes, nothing shown
    EXPECT_EQ(kdb::Database::Open(project).Scalar("SELECT sValue FROM Config").toText(), gone);
    EXPECT_TRUE(fp.Boxes().empty());

    const QString unlinked = makeProject(data, data, false);
    fp.ExpectBox(MsgResult::Ok);
    Utilities::CheckLink(unlinked);
    EXPECT_EQ(fp.LastBox().title, QStringLiteral("Utilities::CheckLink"));
    EXPECT_EQ(fp.LastBox().text, QStringLiteral("Error: 3265. \nItem not found in this collection."));
}

TEST(HasPrimaryKey, SingleFieldKeysOnly)
{
    FakePrompter fp;
    const QString data = makeData(newPath(QStringLiteral("keys.mdb")));
    EXPECT_TRUE(dbUtilities::HasPrimaryKey(data, QStringLiteral("Sales")));
    EXPECT_TRUE(dbUtilities::HasPrimaryKey(data, QStringLiteral("TextKey")));
    EXPECT_FALSE(dbUtilities::HasPrimaryKey(data, QStringLiteral("TwoKey")));
    EXPECT_FALSE(dbUtilities::HasPrimaryKey(data, QStringLiteral("UniqueOnly")));
    EXPECT_FALSE(dbUtilities::HasPrimaryKey(data, QStringLiteral("NoIndex")));
    // Through ODBC a single-field unique index counts.
    EXPECT_TRUE(dbUtilities::HasPrimaryKey(odbc(data), QStringLiteral("UniqueOnly")));
    EXPECT_TRUE(dbUtilities::HasPrimaryKey(odbc(data), QStringLiteral("Sales")));
    EXPECT_FALSE(dbUtilities::HasPrimaryKey(odbc(data), QStringLiteral("TwoKey")));
    EXPECT_TRUE(fp.Boxes().empty());

    fp.ExpectBox(MsgResult::Ok);
    EXPECT_FALSE(dbUtilities::HasPrimaryKey(data, QStringLiteral("Missing")));
    EXPECT_EQ(fp.LastBox().title, QStringLiteral("dbUtilities::HasPrimaryKey"));
    EXPECT_TRUE(fp.LastBox().text.startsWith(QStringLiteral("Error: 3078. \n")));
}

TEST(ClassCount, RowsOfTheClassList)
{
    FakePrompter fp;
    const QString data = makeData(newPath(QStringLiteral("c.mdb")));
    const QString project = makeProject(data, data);
    EXPECT_EQ(dbUtilities::ClassCount(project), -1);
    EXPECT_EQ(dbUtilities::ClassCount(newPath(QStringLiteral("missing.kvp"))), -1);
    {
        kdb::Database db = kdb::Database::Open(project);
        db.Execute("CREATE TABLE Classes (Class TEXT, Total INTEGER, ClassNum INTEGER PRIMARY KEY)");
    }
    EXPECT_EQ(dbUtilities::ClassCount(project), 0);
    {
        kdb::Database db = kdb::Database::Open(project);
        db.Execute("INSERT INTO Classes (Class, Total) VALUES ('a', 3), ('b', 4)");
    }
    EXPECT_EQ(dbUtilities::ClassCount(project), 2);
    EXPECT_TRUE(fp.Boxes().empty());
}
