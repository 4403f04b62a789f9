#include "data/exportmarked.h"

#include "data/datadef.h"
#include "data/projectschema.h"
#include "kdb/kdb.h"
#include "tests/data/datatest.h"
#include "tests/support/fakeprompter.h"
#include "tests/support/testenv.h"

#include <QDir>
#include <QFile>

#include <sys/mount.h>
#include <unistd.h>
#include <gtest/gtest.h>

using DataTest::ReadFile;
using DataTest::WriteFile;

namespace {

struct Project {
    QString folder;
    QString source;
    QString project;
    CDataDef ddo;
};

// A source table whose key is its last field and a project with a Test table linked to it.
Project MakeProject(bool withTest = true, bool marked = true)
{
    Project p;
    p.folder = TestEnv::NewFolder(QStringLiteral("export"));
    p.source = p.folder + QStringLiteral("/source.mdb");
    {
        kdb::Database src = kdb::Database::Create(p.source);
        src.Execute(QStringLiteral("CREATE TABLE src (name TEXT, v DOUBLE, t TIME, d DATETIME, id INTEGER PRIMARY KEY)"));
        src.Execute(QStringLiteral("INSERT INTO src VALUES ('a,b', 1.5, '02:10:00', '2024-05-06 07:08:09.125', 1)"));
        src.Execute(QStringLiteral("INSERT INTO src VALUES (NULL, 2, '00:00:00', '2024-05-06', 2)"));
        src.Execute(QStringLiteral("INSERT INTO src VALUES ('say \"hi\"', NULL, NULL, NULL, 3)"));
        src.Execute(QStringLiteral("INSERT INTO src VALUES ('unmarked', 4, '23:59:59', NULL, 4)"));
    }
    p.project = p.folder + QStringLiteral("/iris.kvp");
    {
        kdb::Database db = kdb::Database::Create(p.project);
        if (withTest) {
            db.ExecuteJet(QStringLiteral("CREATE TABLE Test ( MainPrimaryKey Long CONSTRAINT "
                                         "PrimaryKey PRIMARY KEY, Predicted Single, Difference "
                                         "Single, Mark Integer );"));
            const int mark = marked ? -1 : 0;
            // Written out of key order: the export lists them by key.
            // The network made no prediction for row 3.
            db.Execute(QStringLiteral("INSERT INTO Test VALUES (3, -123.456, NULL, ?)"), {mark});
            db.Execute(QStringLiteral("INSERT INTO Test VALUES (1, 0.5, 0.25, ?)"), {mark});
            db.Execute(QStringLiteral("INSERT INTO Test VALUES (2, 1234567.5, 3, ?)"), {mark});
            db.Execute(QStringLiteral("INSERT INTO Test VALUES (4, 1, 1, 0)"));
        }
        db.Link(ProjectSchema::LinkTable(), QStringLiteral(";DATABASE=") + p.source,
                QStringLiteral("src"));
    }
    p.ddo.Initialize(p.source, QStringLiteral("src"));
    return p;
}

FileDialogResult Chosen(const QString& file)
{
    FileDialogResult r;
    r.cancelled = false;
    r.fileName = file;
    return r;
}

} // namespace

TEST(ExportMarked, WritesTheMarkedRowsInKeyOrder)
{
    Project p = MakeProject();
    ASSERT_TRUE(p.ddo.PrimaryKeyField(5));
    const QString out = p.folder + QStringLiteral("/out.txt");
    FakePrompter fp;
    fp.ExpectFile(Chosen(out));
    StatusRecorder status;
    Utilities::ExportMarked(p.project, &p.ddo);

    ASSERT_EQ(fp.FileDialogs().size(), 1u);
    const FileDialogRequest& dlg = fp.FileDialogs()[0];
    EXPECT_EQ(dlg.kind, FileDialogRequest::Kind::Save);
    EXPECT_EQ(dlg.title, QStringLiteral("Export Marked Rows"));
    EXPECT_EQ(dlg.filter, QStringLiteral("Text (*.txt)|*.txt|Any (*.*)|*.*"));
    EXPECT_EQ(dlg.fileName, p.folder + QStringLiteral("/iris.txt"));
    EXPECT_TRUE(dlg.flags & 4);
    EXPECT_TRUE(fp.Boxes().empty());

    // A comma or a quote puts the value in quotes; an empty value leaves the commas touching.
    // Times and dates are written as the grid shows them; the prediction the network could not
    // make (the grid's "N/A") is an empty cell, and the Test table keeps its marker.
    EXPECT_EQ(ReadFile(out), QByteArray("MainPrimaryKey,Predicted,Difference,Mark,name,v,t,d,id\r\n"
                                        "1,0.5,0.25,-1,\"a,b\",1.5,02:10:00,2024-05-06 07:08:09.125,1\r\n"
                                        "2,1234568,3,-1,,2,00:00:00,2024-05-06,2\r\n"
                                        "3,,,-1,\"say \"\"hi\"\"\",,,,3\r\n"));
    {
        kdb::Database db = kdb::Database::Open(p.project, false, true);
        EXPECT_FLOAT_EQ(float(db.Scalar(QStringLiteral("SELECT Predicted FROM Test WHERE MainPrimaryKey = 3")).toDouble()),
                        -123.456f);
    }
    EXPECT_EQ(status.messages, (QStringList{QStringLiteral(" Exporting marked rows..."),
                                            QStringLiteral("Export Completed.")}));
    // The bar is told as time passes, not for every row: from 0 to the end, then hidden.
    ASSERT_GE(status.progressValues.size(), 3u);
    EXPECT_EQ(status.progressValues.front(), 0);
    EXPECT_EQ(std::vector<int>(status.progressValues.end() - 2, status.progressValues.end()), (std::vector<int>{100, -1}));
}

TEST(ExportMarked, StopsWithoutAProjectATestOrMarks)
{
    {
        FakePrompter fp;
        StatusRecorder status;
        const QString gone = TestEnv::NewFolder(QStringLiteral("x")) + QStringLiteral("/none.kvp");
        Utilities::ExportMarked(gone, nullptr);
        EXPECT_EQ(status.Last(), gone + QStringLiteral("does not exist. Aborting Export."));
    }
    {
        Project p = MakeProject(false);
        FakePrompter fp;
        StatusRecorder status;
        Utilities::ExportMarked(p.project, &p.ddo);
        EXPECT_EQ(status.Last(), QStringLiteral("A test must be run on the data before exporting."));
        EXPECT_TRUE(fp.FileDialogs().empty());
        EXPECT_FALSE(QFile::exists(p.folder + QStringLiteral("/iris.txt")));
    }
    {
        Project p = MakeProject(true, false);
        FakePrompter fp;
        fp.ExpectBox(MsgResult::Ok);
        StatusRecorder status;
        Utilities::ExportMarked(p.project, &p.ddo);
        EXPECT_EQ(fp.LastBox().text, QStringLiteral("No marked records to export."));
        EXPECT_EQ(fp.LastBox().title, QStringLiteral("Export Marked"));
        EXPECT_EQ(fp.LastBox().icon, MsgIcon::Exclamation);
        EXPECT_TRUE(status.messages.isEmpty());
        EXPECT_TRUE(fp.FileDialogs().empty());
    }
}

TEST(ExportMarked, AnExistingFileIsReplacedOnlyWhenTheUserAgrees)
{
    Project p = MakeProject();
    const QString out = p.folder + QStringLiteral("/old.txt");
    WriteFile(out, "old");
    {
        FakePrompter fp;
        fp.ExpectFile(Chosen(out));
        fp.ExpectBox(MsgResult::No);
        StatusRecorder status;
        Utilities::ExportMarked(p.project, &p.ddo);
        EXPECT_EQ(fp.LastBox().text, out + QStringLiteral(" Exists.  Overwrite?"));
        EXPECT_EQ(fp.LastBox().title, QStringLiteral("Warning!"));
        EXPECT_EQ(fp.LastBox().buttons, MsgButtons::YesNo);
        EXPECT_EQ(ReadFile(out), QByteArray("old"));
        EXPECT_TRUE(status.messages.isEmpty());
    }
    {
        FakePrompter fp;
        FileDialogResult cancel;
        fp.ExpectFile(cancel);
        StatusRecorder status;
        Utilities::ExportMarked(p.project, &p.ddo);
        EXPECT_TRUE(fp.Boxes().empty());
        EXPECT_TRUE(status.messages.isEmpty());
    }
    {
        FakePrompter fp;
        fp.ExpectFile(Chosen(out));
        fp.ExpectBox(MsgResult::Yes);
        Utilities::ExportMarked(p.project, &p.ddo);
        EXPECT_TRUE(ReadFile(out).startsWith("MainPrimaryKey,"));
        EXPECT_EQ(QDir(p.folder).entryList(QDir::Files).size(), 3); // source, project, old.txt
    }
}

TEST(ExportMarked, AFailureKeepsTheOldFileAndReportsIt)
{
    Project p = MakeProject();
    // A Test table without its key column: the statement is refused.
    const QString out = p.folder + QStringLiteral("/old.txt");
    WriteFile(out, "old");
    {
        kdb::Database db = kdb::Database::Open(p.project);
        db.Execute(QStringLiteral("ALTER TABLE Test RENAME COLUMN MainPrimaryKey TO Other"));
    }
    FakePrompter fp;
    fp.ExpectBox(MsgResult::Ok);
    StatusRecorder status;
    Utilities::ExportMarked(p.project, &p.ddo);
    ASSERT_EQ(fp.Boxes().size(), 1u);
    EXPECT_TRUE(fp.LastBox().text.startsWith(QStringLiteral("Error: ")));
    EXPECT_FALSE(fp.LastBox().text.contains(QLatin1Char('\n')));
    EXPECT_EQ(fp.LastBox().title, QStringLiteral("Export Marked"));
    EXPECT_EQ(fp.LastBox().icon, MsgIcon::Critical);
    EXPECT_EQ(status.messages.last(), QString());
    EXPECT_EQ(ReadFile(out), QByteArray("old"));
}

TEST(ExportMarked, AnUnwritableFileIsReported)
{
    Project p = MakeProject();
    FakePrompter fp;
    fp.ExpectFile(Chosen(p.folder + QStringLiteral("/no such folder/out.txt")));
    fp.ExpectBox(MsgResult::Ok);
    StatusRecorder status;
    Utilities::ExportMarked(p.project, &p.ddo);
    ASSERT_EQ(fp.Boxes().size(), 1u);
    EXPECT_EQ(fp.LastBox().title, QStringLiteral("Export Marked"));
    EXPECT_EQ(status.messages.last(), QString());
    EXPECT_EQ(QDir(p.folder).entryList(QDir::Files).size(), 2);
}

// A disk that fills up under the export: the box says so in the database's words, and the old
// file stays (the last buffered lines used to fail unseen, and an empty file replaced it).
TEST(ExportMarked, AFullDiskIsReportedAsSuch)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "a small file system of its own takes the superuser to mount";
    Project p = MakeProject();
    const QString disk = p.folder + QStringLiteral("/disk");
    ASSERT_TRUE(QDir().mkpath(disk));
    const QByteArray where = QFile::encodeName(disk);
    if (::mount("tmpfs", where.constData(), "tmpfs", 0, "size=16k") != 0)
        GTEST_SKIP() << "cannot mount a file system here";
    struct Unmount {
        QByteArray path;
        ~Unmount() { ::umount2(path.constData(), MNT_DETACH); }
    } unmount{where};
    const QString out = disk + QStringLiteral("/out.txt");
    WriteFile(out, "old");
    {
        QFile fill(disk + QStringLiteral("/fill"));
        ASSERT_TRUE(fill.open(QIODevice::WriteOnly));
        const QByteArray block(1024, 'x');
        while (fill.write(block) == block.size() && fill.flush()) {
        }
    }
    FakePrompter fp;
    fp.ExpectFile(Chosen(out));
    fp.ExpectBox(MsgResult::Yes); // overwrite
    fp.ExpectBox(MsgResult::Ok);
    StatusRecorder status;
    Utilities::ExportMarked(p.project, &p.ddo);
    ASSERT_EQ(fp.Boxes().size(), 2u) << fp.LastBox().text.toStdString();
    EXPECT_EQ(fp.LastBox().text, QStringLiteral("Error: 3026. Not enough space on disk."));
    EXPECT_EQ(fp.LastBox().title, QStringLiteral("Export Marked"));
    EXPECT_EQ(ReadFile(out), QByteArray("old"));
}

TEST(ExportMarked, NeverWritesOverTheDatabasesItReads)
{
    // The project and its source are open while the export runs; agreeing to overwrite one of
    // them is refused as for a file in use, and both stay whole.
    Project p = MakeProject();
    for (const QString& chosen : {p.project, p.source}) {
        const QByteArray before = ReadFile(chosen);
        FakePrompter fp;
        fp.ExpectFile(Chosen(chosen));
        fp.ExpectBox(MsgResult::Yes);
        fp.ExpectBox(MsgResult::Ok);
        StatusRecorder status;
        Utilities::ExportMarked(p.project, &p.ddo);
        ASSERT_EQ(fp.Boxes().size(), 2u);
        EXPECT_EQ(fp.LastBox().text, QStringLiteral("Error: 70. Permission denied"));
        EXPECT_EQ(fp.LastBox().title, QStringLiteral("Export Marked"));
        EXPECT_EQ(status.messages.last(), QString());
        EXPECT_EQ(ReadFile(chosen), before);
    }
    EXPECT_EQ(kdb::Database::Open(p.project).RecordCount(QStringLiteral("Test")), 4);
}

TEST(ExportMarked, QuotesOnlyWhatNeedsQuoting)
{
    EXPECT_EQ(DataExport::CsvField(QStringLiteral("plain text")), QStringLiteral("plain text"));
    EXPECT_EQ(DataExport::CsvField(QStringLiteral("a,b")), QStringLiteral("\"a,b\""));
    EXPECT_EQ(DataExport::CsvField(QStringLiteral("two\nlines")), QStringLiteral("\"two\nlines\""));
    EXPECT_EQ(DataExport::CsvField(QStringLiteral("cr\r")), QStringLiteral("\"cr\r\""));
    EXPECT_EQ(DataExport::CsvField(QStringLiteral("5\" disk")), QStringLiteral("\"5\"\" disk\""));
    EXPECT_EQ(DataExport::CsvField(QString()), QString());
}
