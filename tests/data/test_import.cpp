#include "data/textimport.h"

#include "core/apppaths.h"
#include "data/importwriter.h"
#include "kdb/kdb.h"
#include "tests/data/datatest.h"
#include "tests/support/fakeprompter.h"
#include "tests/support/hotjournal.h"
#include "tests/support/listeningsocket.h"
#include "tests/support/namedpipe.h"
#include "tests/support/progresslistener.h"
#include "tests/support/testenv.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QStringEncoder>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>

using DataTest::ReadFile;
using DataTest::WriteFile;

namespace {

struct Imported {
    QStringList names;
    QList<int16_t> types;
    QList<bool> autoNumber;
    QList<QStringList> rows;   // values as text, key column included
    QList<QList<kdb::Value>> values;
};

Imported ReadTable(const QString& dbFile, const QString& table)
{
    Imported t;
    kdb::Database db = kdb::Database::Open(dbFile);
    for (const kdb::FieldInfo& f : db.Fields(table)) {
        t.names.append(f.name);
        t.types.append(f.type);
        t.autoNumber.append(f.autoNumber);
    }
    kdb::Reader r = db.Query(QStringLiteral("SELECT * FROM ") + kdb::QuoteIdent(table) +
                             QStringLiteral(" ORDER BY 1"));
    while (r.Next()) {
        QStringList row;
        QList<kdb::Value> vals;
        for (int c = 0; c < r.ColumnCount(); ++c) {
            row.append(r.Text(c));
            vals.append(r.Get(c));
        }
        t.rows.append(row);
        t.values.append(vals);
    }
    return t;
}

// A file with the given bytes in a fresh folder; returns its path.
QString Source(const QString& name, const QByteArray& bytes)
{
    const QString path = TestEnv::NewFolder(QStringLiteral("import")) + QLatin1Char('/') + name;
    WriteFile(path, bytes);
    return path;
}

QString MdbOf(const QString& source)
{
    const QFileInfo info(source);
    return info.path() + QLatin1Char('/') + info.completeBaseName() + QStringLiteral(".mdb");
}

QStringList FolderEntries(const QString& file)
{
    return QDir(QFileInfo(file).path()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

} // namespace

// --- Split ----------------------------------------------------------------------------------

TEST(Split, SplitsAtEveryDelimiterAndKeepsEverything)
{
    QStringList items;
    EXPECT_EQ(Utilities::Split(QStringLiteral(","), QStringLiteral("1,,3"), items), 2);
    EXPECT_EQ(items, (QStringList{QStringLiteral("1"), QString(), QStringLiteral("3")}));
    EXPECT_EQ(Utilities::Split(QStringLiteral(","), QStringLiteral(" a , b "), items), 1);
    EXPECT_EQ(items, (QStringList{QStringLiteral(" a "), QStringLiteral(" b ")}));
    EXPECT_EQ(Utilities::Split(QStringLiteral(","), QStringLiteral("a,b,"), items), 2);
    EXPECT_EQ(items.last(), QString());
    EXPECT_EQ(Utilities::Split(QStringLiteral(","), QStringLiteral("\"x,y\""), items), 1);
    EXPECT_EQ(Utilities::Split(QStringLiteral(","), QStringLiteral("abc"), items), 0);
    EXPECT_EQ(Utilities::Split(QStringLiteral(","), QStringLiteral("   "), items), 0);
    EXPECT_EQ(items, QStringList{QString()});
    // No length limit: a line far beyond 32,766 characters.
    const QString longLine = QString(40000, QLatin1Char('x')) + QStringLiteral(",y");
    EXPECT_EQ(Utilities::Split(QStringLiteral(","), longLine, items), 1);
    EXPECT_EQ(items[0].size(), 40000);
}

// --- Pattern files ---------------------------------------------------------------------------

TEST(RawImport, TypesColumnsAndKeepsBlanksOfTextValues)
{
    FakePrompter fp;
    StatusRecorder status;
    const QString raw = Source(QStringLiteral("sales.raw"),
                               "[TAGS]\nx, y, z\n[PATTERNS]\n1, 2, 3\n4, 5.5, a\n");
    Utilities::LoadRawFile(raw);
    EXPECT_TRUE(fp.Boxes().empty());
    const QString mdb = MdbOf(raw);
    EXPECT_EQ(status.Last(), QStringLiteral("Import to ") + mdb + QStringLiteral(" successful."));
    const Imported t = ReadTable(mdb, QStringLiteral("sales"));
    EXPECT_EQ(t.names, (QStringList{QStringLiteral("Count"), QStringLiteral("x"),
                                    QStringLiteral("y"), QStringLiteral("z")}));
    EXPECT_TRUE(t.autoNumber[0]);
    EXPECT_EQ(t.types[1], kdb::dbLong);
    EXPECT_EQ(t.types[2], kdb::dbSingle);
    EXPECT_EQ(t.types[3], kdb::dbText);
    ASSERT_EQ(t.rows.size(), 2);
    EXPECT_EQ(t.rows[0], (QStringList{QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("2"),
                                      QStringLiteral(" 3")}));
    EXPECT_EQ(t.rows[1][2], QStringLiteral("5.5"));
    EXPECT_EQ(t.rows[1][3], QStringLiteral(" a"));
}

TEST(RawImport, CommentsColonsTrailingCommasAndSectionCase)
{
    FakePrompter fp;
    const QString raw = Source(QStringLiteral("c.raw"),
                               "; a comment line\n[tags] ; names follow\nid, a, b\nignored, line\n"
                               "[Patterns]\n7: 1, 2 ' note\n8: 0.25, 4,\n");
    Utilities::LoadRawFile(raw);
    const Imported t = ReadTable(MdbOf(raw), QStringLiteral("c"));
    ASSERT_EQ(t.rows.size(), 2);
    EXPECT_EQ(t.types[1], kdb::dbLong);
    EXPECT_EQ(t.types[2], kdb::dbSingle);
    EXPECT_EQ(t.rows[0].mid(1), (QStringList{QStringLiteral("7"), QStringLiteral("1"),
                                             QStringLiteral("2")}));
    EXPECT_EQ(t.rows[1].mid(1), (QStringList{QStringLiteral("8"), QStringLiteral("0.25"),
                                             QStringLiteral("4")}));
}

TEST(RawImport, MissingValuesStopTheImportUnlessTheColumnIsText)
{
    {
        FakePrompter fp;
        fp.ExpectBox(MsgResult::Ok);
        StatusRecorder status;
        const QString raw = Source(QStringLiteral("m.raw"),
                                   "[TAGS]\na,b,c\n[PATTERNS]\n1,2,3\n1,,3\n");
        Utilities::LoadRawFile(raw);
        ASSERT_EQ(fp.Boxes().size(), 1u);
        EXPECT_EQ(fp.LastBox().text,
                  QStringLiteral("Invalid .raw file.\nMissing value in row #2.  Import stoped."));
        EXPECT_EQ(fp.LastBox().title, QStringLiteral("Import Failed"));
        EXPECT_EQ(fp.LastBox().icon, MsgIcon::Exclamation);
        EXPECT_EQ(status.Last(), QStringLiteral("Import failed."));
        EXPECT_FALSE(QFile::exists(MdbOf(raw)));
    }
    {
        // A blank is a value here: the column becomes text.
        FakePrompter fp;
        const QString raw = Source(QStringLiteral("b.raw"),
                                   "[TAGS]\na,b,c\n[PATTERNS]\n1,2,3\n1, ,3\n");
        Utilities::LoadRawFile(raw);
        const Imported t = ReadTable(MdbOf(raw), QStringLiteral("b"));
        EXPECT_EQ(t.types[2], kdb::dbText);
        EXPECT_EQ(t.rows[1][2], QStringLiteral(" "));
    }
}

TEST(RawImport, SectionMistakesAreReported)
{
    {
        // [PATTERNS] straight after [TAGS] is taken as the one field name.
        FakePrompter fp;
        fp.ExpectBox(MsgResult::Ok);
        fp.ExpectBox(MsgResult::Ok);
        const QString raw = Source(QStringLiteral("t.raw"), "[TAGS]\n[PATTERNS]\n1, 2, 3\n");
        Utilities::LoadRawFile(raw);
        ASSERT_EQ(fp.Boxes().size(), 2u);
        EXPECT_EQ(fp.Boxes()[0].text,
                  QStringLiteral("Section [TAGS] NOT defined (properly) in .RAW file.  Must come "
                                 "before [PATTERNS]"));
        EXPECT_EQ(fp.Boxes()[0].title, QStringLiteral("Korvan Pro"));
        EXPECT_EQ(fp.Boxes()[0].icon, MsgIcon::None);
        EXPECT_EQ(fp.Boxes()[1].text,
                  QStringLiteral("Error in .RAW file.  Number of TAGS does NOT match number of "
                                 "data Items for data row number: 0"));
        EXPECT_FALSE(QFile::exists(MdbOf(raw)));
    }
    {
        // A header after the rows is first read as a row.
        FakePrompter fp;
        fp.ExpectBox(MsgResult::Ok);
        Utilities::LoadRawFile(
            Source(QStringLiteral("h.raw"), "[TAGS]\na,b\n[PATTERNS]\n1,2\n[END]\n"));
        EXPECT_EQ(fp.LastBox().text,
                  QStringLiteral("Error in .RAW file.  Number of TAGS does NOT match number of "
                                 "data Items for data row number: 1"));
    }
    {
        // A second [PATTERNS] section (its header line read as a row first, so it carries
        // two items) replaces the rows of the first.
        FakePrompter fp;
        const QString raw = Source(QStringLiteral("two.raw"),
                                   "[TAGS]\na,b\n[PATTERNS]\n1,2\n3,4\n5,6\n[PATTERNS], x\n7,8.5\n");
        Utilities::LoadRawFile(raw);
        const Imported t = ReadTable(MdbOf(raw), QStringLiteral("two"));
        ASSERT_EQ(t.rows.size(), 1);
        EXPECT_EQ(t.rows[0].mid(1), (QStringList{QStringLiteral("7"), QStringLiteral("8.5")}));
        EXPECT_EQ(t.types[2], kdb::dbSingle);
    }
}

TEST(RawImport, NamesAreNumberedAndMadeUnique)
{
    FakePrompter fp;
    const QString raw = Source(QStringLiteral("d.raw"),
                               "[TAGS]\na, a, , a, #4, #4\n[PATTERNS]\n1,2,3,4,5,6\n");
    Utilities::LoadRawFile(raw);
    const Imported t = ReadTable(MdbOf(raw), QStringLiteral("d"));
    EXPECT_EQ(t.names.mid(1), (QStringList{QStringLiteral("a"), QStringLiteral("#1"),
                                           QStringLiteral("#2"), QStringLiteral("#3"),
                                           QStringLiteral("#4"), QStringLiteral("#5")}));
    FakePrompter fp2;
    const QString raw2 = Source(QStringLiteral("e.raw"), "[TAGS]\nx, #1, #1\n[PATTERNS]\n1,2,3\n");
    Utilities::LoadRawFile(raw2);
    EXPECT_EQ(ReadTable(MdbOf(raw2), QStringLiteral("e")).names.mid(1),
              (QStringList{QStringLiteral("x"), QStringLiteral("#1"), QStringLiteral("#2")}));
    const QString raw3 = Source(QStringLiteral("f.raw"), "[TAGS]\n#1, #1\n[PATTERNS]\n1,2\n");
    Utilities::LoadRawFile(raw3);
    EXPECT_EQ(ReadTable(MdbOf(raw3), QStringLiteral("f")).names.mid(1),
              (QStringList{QStringLiteral("#1"), QStringLiteral("#1-")}));
}

TEST(RawImport, OddFileAndFieldNamesWork)
{
    FakePrompter fp;
    StatusRecorder status;
    const QString raw = Source(QStringLiteral("2019 sales-it's [q].raw"),
                               "[TAGS]\n[x], a-b, \"q\", 1st\n[PATTERNS]\n1,2,3,4\n");
    Utilities::LoadRawFile(raw);
    EXPECT_TRUE(fp.Boxes().empty());
    const Imported t = ReadTable(MdbOf(raw), QStringLiteral("2019 sales-it's [q]"));
    EXPECT_EQ(t.names.mid(1), (QStringList{QStringLiteral("[x]"), QStringLiteral("a-b"),
                                           QStringLiteral("\"q\""), QStringLiteral("1st")}));
    EXPECT_EQ(t.rows.size(), 1);
}

// Every number of the file comes back from the data file as the file wrote it: whole numbers
// in an integer column (64 bits where 32 do not hold them), a column a single would change
// ("123456789" beside "1.1", "3.14159265358979") is a double one, and what a single holds
// ("0.5", "1.25") stays single; both importers. Whole numbers no number column holds exactly
// keep their column as text.
TEST(RawImport, EveryNumberIsStoredAsTheFileWroteIt)
{
    const QList<QByteArrayList> rows = {
        {"1", "3000000000", "16777217", "123456789", "2147483647", "3.14159265358979", "123456.789", "0.5", "7", "1.00000001",
         "9007199254740993", "-9223372036854775808"},
        {"2", "5", "16777219", "1.1", "2147483648", "1", "2", "1.25", "8", "2", "12345678901234567", "9223372036854775807"}};
    const QList<int16_t> types = {kdb::dbLong,   kdb::dbBigInt, kdb::dbLong,   kdb::dbDouble, kdb::dbBigInt, kdb::dbDouble,
                                  kdb::dbDouble, kdb::dbSingle, kdb::dbLong,   kdb::dbDouble, kdb::dbBigInt, kdb::dbBigInt};
    QByteArray lines;
    for (const QByteArrayList& row : rows)
        lines += row.join(',') + '\n';
    const QByteArray names = "a,b,c,d,e,f,g,h,i,j,k,l\n";
    for (const bool pattern : {true, false}) {
        SCOPED_TRACE(pattern ? "pattern file" : "text file");
        FakePrompter fp;
        const QString source = pattern ? Source(QStringLiteral("big.raw"), "[TAGS]\n" + names + "[PATTERNS]\n" + lines)
                                       : Source(QStringLiteral("big.csv"), names + lines);
        pattern ? Utilities::LoadRawFile(source) : Utilities::LoadTextFile(source);
        EXPECT_TRUE(fp.Boxes().empty());
        const Imported t = ReadTable(MdbOf(source), QStringLiteral("big"));
        EXPECT_EQ(t.types.mid(1), types);

        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open_v2(QFile::encodeName(MdbOf(source)).constData(), &db, SQLITE_OPEN_READONLY, nullptr),
                  SQLITE_OK);
        sqlite3_stmt* st = nullptr;
        ASSERT_EQ(sqlite3_prepare_v2(db, "SELECT * FROM big ORDER BY 1", -1, &st, nullptr), SQLITE_OK);
        for (const QByteArrayList& row : rows) {
            ASSERT_EQ(sqlite3_step(st), SQLITE_ROW);
            for (int c = 0; c < int(row.size()); ++c) {
                if (sqlite3_column_type(st, c + 1) == SQLITE_INTEGER)
                    EXPECT_EQ(QByteArray::number(qlonglong(sqlite3_column_int64(st, c + 1))), row[c])
                        << "column " << char('a' + c);
                else
                    EXPECT_EQ(QByteArray::number(sqlite3_column_double(st, c + 1), 'g', 17),
                              QByteArray::number(std::strtod(row[c].constData(), nullptr), 'g', 17))
                        << "column " << char('a' + c) << ": " << row[c].constData();
            }
        }
        EXPECT_EQ(sqlite3_step(st), SQLITE_DONE);
        sqlite3_finalize(st);
        sqlite3_close(db);
    }
    FakePrompter fp;
    const QString csv = Source(QStringLiteral("wide.csv"), "a,b\n9007199254740993,123456789012345678901234\n0.5,7\n");
    Utilities::LoadTextFile(csv);
    const Imported t = ReadTable(MdbOf(csv), QStringLiteral("wide"));
    EXPECT_EQ(t.types.mid(1), (QList<int16_t>{kdb::dbText, kdb::dbText}));
    EXPECT_EQ(t.rows[0].mid(1), (QStringList{QStringLiteral("9007199254740993"), QStringLiteral("123456789012345678901234")}));
}

// A line of more names than a table takes is refused as soon as it is read: the rows after it
// (here one of the wrong length) are not looked at. Both importers.
TEST(Import, TooManyColumnsAreRefusedAtTheLineOfNames)
{
    QByteArray header;
    for (int i = 1; i <= 5000; ++i)
        header += (i > 1 ? "," : "") + QByteArray("c") + QByteArray::number(i);
    for (const bool pattern : {true, false}) {
        SCOPED_TRACE(pattern ? "pattern file" : "text file");
        FakePrompter fp;
        fp.ExpectBox(MsgResult::Ok);
        const QString path = pattern ? Source(QStringLiteral("w.raw"), "[TAGS]\n" + header + "\n[PATTERNS]\n1,2\n")
                                     : Source(QStringLiteral("w.csv"), header + "\n1,2\n");
        pattern ? Utilities::LoadRawFile(path) : Utilities::LoadTextFile(path);
        ASSERT_EQ(fp.Boxes().size(), 1u);
        EXPECT_TRUE(fp.LastBox().text.startsWith(QStringLiteral("Error: 3190. \nToo many fields defined: the file has 5000")))
            << fp.LastBox().text.toStdString();
    }
}

TEST(RawImport, TheOldFileIsKeptUntilTheNewOneIsComplete)
{
    const QString raw = Source(QStringLiteral("keep.raw"), "[TAGS]\na, A\n[PATTERNS]\n1,2\n");
    const QString mdb = MdbOf(raw);
    WriteFile(mdb, "old contents");
    {
        // No: nothing happens at all.
        FakePrompter fp;
        fp.ExpectBox(MsgResult::No);
        StatusRecorder status;
        Utilities::LoadRawFile(raw);
        EXPECT_EQ(fp.LastBox().text, mdb + QStringLiteral(" Exists.  Overwrite?"));
        EXPECT_EQ(fp.LastBox().title, QStringLiteral("Warning!"));
        EXPECT_EQ(fp.LastBox().buttons, MsgButtons::YesNo);
        EXPECT_EQ(fp.LastBox().icon, MsgIcon::Exclamation);
        EXPECT_TRUE(status.messages.isEmpty());
        EXPECT_EQ(ReadFile(mdb), QByteArray("old contents"));
    }
    {
        // Yes, but the engine refuses two names equal but for case: the old file stays.
        FakePrompter fp;
        fp.ExpectBox(MsgResult::Yes);
        fp.ExpectBox(MsgResult::Ok);
        StatusRecorder status;
        Utilities::LoadRawFile(raw);
        ASSERT_EQ(fp.Boxes().size(), 2u);
        EXPECT_TRUE(fp.LastBox().text.startsWith(QStringLiteral("Error: 3191. \n")));
        // The box says which two tags are one name, in words, not in SQL's.
        EXPECT_TRUE(fp.LastBox().text.contains(QStringLiteral("\"a\" (column 1) and \"A\" (column 2)")))
            << fp.LastBox().text.toStdString();
        EXPECT_FALSE(fp.LastBox().text.contains(QStringLiteral("duplicate column")));
        EXPECT_EQ(fp.LastBox().title, QStringLiteral("LoadRawFile"));
        EXPECT_EQ(fp.LastBox().icon, MsgIcon::None);
        EXPECT_EQ(status.Last(), QStringLiteral("Import Failed."));
        EXPECT_EQ(ReadFile(mdb), QByteArray("old contents"));
        EXPECT_EQ(FolderEntries(raw), (QStringList{QStringLiteral("keep.mdb"),
                                                   QStringLiteral("keep.raw")}));
    }
    {
        // Yes and a good file: replaced.
        WriteFile(raw, "[TAGS]\na, b\n[PATTERNS]\n1,2\n");
        FakePrompter fp;
        fp.ExpectBox(MsgResult::Yes);
        Utilities::LoadRawFile(raw);
        EXPECT_EQ(ReadTable(mdb, QStringLiteral("keep")).rows.size(), 1);
        EXPECT_EQ(FolderEntries(raw).size(), 2);
    }
}

TEST(TextImport, ALogOrJournalLeftBesideTheOldFileIsNotPlayedIntoTheNewOne)
{
    // A program that crashed while it wrote the old file left its write-ahead log: it belongs
    // to the old file and must not turn up in the new one.
    const QString csv = Source(QStringLiteral("crashed.csv"), "a,b\n1,2\n");
    const QString mdb = MdbOf(csv);
    const QByteArray path = QFile::encodeName(mdb);
    sqlite3* old = nullptr;
    ASSERT_EQ(sqlite3_open(path.constData(), &old), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(old, "PRAGMA journal_mode=WAL; PRAGMA wal_autocheckpoint=0; "
                                "CREATE TABLE stale (x); INSERT INTO stale VALUES (1);",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    const QByteArray wal = ReadFile(mdb + QStringLiteral("-wal"));
    const QByteArray shm = ReadFile(mdb + QStringLiteral("-shm"));
    sqlite3_close(old);
    ASSERT_FALSE(wal.isEmpty());
    WriteFile(mdb + QStringLiteral("-wal"), wal);
    WriteFile(mdb + QStringLiteral("-shm"), shm);

    FakePrompter fp;
    fp.ExpectBox(MsgResult::Yes);
    StatusRecorder status;
    Utilities::LoadTextFile(csv);
    EXPECT_EQ(status.Last(), QStringLiteral("Import to ") + mdb + QStringLiteral(" successful."));
    EXPECT_EQ(kdb::Database::Open(mdb).TableNames(), QStringList{QStringLiteral("crashed")});
    EXPECT_EQ(ReadTable(mdb, QStringLiteral("crashed")).rows.size(), 1);

    // A writer killed inside a change that grew the old file left its journal: a kill after
    // any step of the replacement leaves the old file whole or the new one, each opened as the
    // next start opens it.
    {
        kdb::Database db = kdb::Database::Open(mdb);
        db.Execute(QStringLiteral("CREATE TABLE Bulk (b BLOB)"));
    }
    KillPoint::LeaveHotJournal(mdb, QStringLiteral("DROP TABLE crashed"));
    fp.ExpectBox(MsgResult::Yes);
    QStringList seen;
    {
        KillPoint::StepCopies steps(QFileInfo(mdb).absolutePath(), {QFileInfo(mdb).fileName()});
        Utilities::LoadTextFile(csv);
        for (const QString& copy : steps.Folders()) {
            kdb::Database db = kdb::Database::Open(copy + u'/' + QFileInfo(mdb).fileName());
            EXPECT_EQ(db.Scalar(QStringLiteral("PRAGMA integrity_check")).toText(), QStringLiteral("ok"));
            QStringList names = db.TableNames();
            names.sort();
            seen << names.join(u' ');
            if (db.TableNames().contains(QStringLiteral("Bulk")))
                seen << QString::number(db.RecordCount(QStringLiteral("Bulk")));
        }
    }
    EXPECT_EQ(seen, (QStringList{"Bulk crashed", "0", "Bulk crashed", "0", "crashed"}));
    EXPECT_EQ(status.Last(), QStringLiteral("Import to ") + mdb + QStringLiteral(" successful."));
    EXPECT_FALSE(QFileInfo::exists(mdb + QStringLiteral("-journal")));
    EXPECT_EQ(ReadTable(mdb, QStringLiteral("crashed")).rows.size(), 1);
}

// Answers the overwrite question Yes after `change` ran: the moment between the two readings
// of a text import, when another program may change the file; every box is kept.
class ChangingPrompter final : public IPrompter {
public:
    explicit ChangingPrompter(std::function<void()> change) : m_change(std::move(change))
    {
        m_previous = Prompts::Install(this);
    }
    ~ChangingPrompter() override { Prompts::Install(m_previous); }
    MsgResult messageBox(const MessageRequest& request) override
    {
        boxes.push_back(request);
        if (!request.text.endsWith(QStringLiteral(" Exists.  Overwrite?")))
            return MsgResult::Ok;
        m_change();
        return MsgResult::Yes;
    }
    FileDialogResult fileDialog(const FileDialogRequest&) override { return {}; }
    std::vector<MessageRequest> boxes;

private:
    std::function<void()> m_change;
    IPrompter* m_previous = nullptr;
};

// A file changed by another program after the typing read it: a value its column does not
// take, or fewer rows, fails the import in one box that says where, and the old file stays.
TEST(Import, AFileChangedBetweenItsTwoReadingsFailsAndKeepsTheOldFile)
{
    const QByteArray rows = "x1,name,w\n1,a,0.5\n2,b,1.25\n3,c,2\n";
    const QString csv = Source(QStringLiteral("changed.csv"), rows);
    const auto failsWith = [&](const QByteArray& changed, const QString& text) {
        const QString mdb = MdbOf(csv);
        WriteFile(csv, rows);
        WriteFile(mdb, "old contents");
        ChangingPrompter prompter([&] { WriteFile(csv, changed); });
        StatusRecorder status;
        Utilities::LoadTextFile(csv);
        ASSERT_EQ(prompter.boxes.size(), 2u);
        EXPECT_EQ(prompter.boxes.back().text, QStringLiteral("Error: 57. \nThe file changed while it was imported: ") + text);
        EXPECT_EQ(status.Last(), QStringLiteral("Import Failed."));
        EXPECT_EQ(ReadFile(mdb), QByteArray("old contents"));
        EXPECT_EQ(FolderEntries(csv).size(), 2);
    };
    failsWith("x1,name,w\n1,a,0.5\nabc,b,1.25\n3,c,2\n",
              QStringLiteral("Row #2, Column #1 (x1) now holds \"abc\", where the column takes whole numbers of 32 bits."));
    failsWith("x1,name,w\n1,a,0.5\n2,b,   \n3,c,2\n",
              QStringLiteral("Row #2, Column #3 (w) now holds \"   \", where the column takes numbers of single precision."));
    failsWith("x1,name,w\n1,a,0.5\n2,b\xff,1.25\n3,c,2\n",
              QStringLiteral("Row #2, Column #2 (name) now holds \"b\uFFFD\", where the column takes UTF-8 text."));
    failsWith("x1,name,w\n1,a,0.5\n2,b,1.25\n", QStringLiteral("it now holds 2 rows, where it held 3."));
    failsWith("x1,name,w\n1,a,0.5\n2,b", QStringLiteral("Row #2 now holds 2 values, where the file names 3 fields."));
    failsWith(rows + "4,d,1\n", QStringLiteral("it now holds more than the 3 rows it held."));

    // A pattern file asks before it is read: the file is replaced when the typing has read
    // its last line (17 %), before the rows are read again.
    const QString raw = Source(QStringLiteral("changed.raw"), "[TAGS]\nx, y\n[PATTERNS]\n1, 2\n3, 4\n5, 6\n");
    const QString next = raw + QStringLiteral(".next");
    WriteFile(next, "[TAGS]\nx, y\n[PATTERNS]\n1, 2\n3, 4.5\n5, 6\n");
    FakePrompter fp;
    fp.ExpectBox(MsgResult::Ok);
    bool replaced = false;
    StatusRecorder status;
    ProgressListener listener([&](int percent) {
        if (percent >= 17 && !replaced)
            replaced = std::rename(QFile::encodeName(next).constData(), QFile::encodeName(raw).constData()) == 0;
    });
    Utilities::LoadRawFile(raw);
    EXPECT_TRUE(replaced);
    ASSERT_EQ(fp.Boxes().size(), 1u);
    EXPECT_EQ(fp.LastBox().text, QStringLiteral("Error: 57. \nThe file changed while it was imported: Row #2, Column #2 (y) "
                                                "now holds \" 4.5\", where the column takes whole numbers of 32 bits."));
    EXPECT_EQ(status.Last(), QStringLiteral("Import Failed."));
    EXPECT_EQ(FolderEntries(raw), QStringList{QStringLiteral("changed.raw")});
}

// The name an import writes that is no file to replace (a pipe, a socket another program listens
// on, a loop of links) or a file made read-only: one box before any question, and it stays as it
// was. A link is written through to its file, one that points to nothing makes that file.
TEST(TextImport, TheOutputNameIsReplacedOnlyWhenItIsAFileThatMayChange)
{
    const QString csv = Source(QStringLiteral("out.csv"), "a,b\n1,2\n");
    const QString mdb = MdbOf(csv);
    const QString folder = QFileInfo(csv).absolutePath();
    const auto refused = [&](const QString& words) {
        FakePrompter fp;
        fp.ExpectBox(MsgResult::Yes);
        StatusRecorder status;
        Utilities::LoadTextFile(csv);
        ASSERT_EQ(fp.Boxes().size(), 1u);
        EXPECT_EQ(fp.LastBox().title, QStringLiteral("LoadTextFile"));
        EXPECT_TRUE(fp.LastBox().text.contains(words)) << fp.LastBox().text.toStdString();
        EXPECT_EQ(status.Last(), QStringLiteral("Import Failed."));
        EXPECT_EQ(FolderEntries(csv).filter(QStringLiteral(".tmp")), QStringList());
    };
    {
        const NamedPipe pipe(mdb);
        ASSERT_TRUE(pipe.Made());
        refused(QStringLiteral("Not a regular file (a named pipe)"));
        EXPECT_FALSE(pipe.Waited());
        EXPECT_TRUE(QFileInfo(mdb).exists());
    }
    {
        const ListeningSocket socket(mdb);
        ASSERT_TRUE(socket.Made());
        refused(QStringLiteral("Not a regular file (a socket)"));
        EXPECT_TRUE(QFileInfo(mdb).exists());
    }
    ASSERT_TRUE(QFile::link(mdb, mdb));
    refused(QStringLiteral("Too many levels of symbolic links"));
    EXPECT_TRUE(QFileInfo(mdb).isSymLink());
    QFile::remove(mdb);

    const QString elsewhere = TestEnv::NewFolder(QStringLiteral("elsewhere")) + QStringLiteral("/kept.mdb");
    ASSERT_TRUE(QFile::link(elsewhere, mdb));
    {
        FakePrompter fp;
        Utilities::LoadTextFile(csv);
        EXPECT_TRUE(fp.Boxes().empty());
    }
    EXPECT_TRUE(QFileInfo(mdb).isSymLink());
    EXPECT_EQ(ReadTable(elsewhere, QStringLiteral("out")).rows.size(), 1);
    WriteFile(csv, "a,b\n1,2\n3,4\n");
    {
        FakePrompter fp;
        fp.ExpectBox(MsgResult::Yes);
        Utilities::LoadTextFile(csv);
        ASSERT_EQ(fp.Boxes().size(), 1u);
        EXPECT_EQ(fp.LastBox().text, mdb + QStringLiteral(" Exists.  Overwrite?"));
    }
    EXPECT_TRUE(QFileInfo(mdb).isSymLink());
    EXPECT_EQ(ReadTable(elsewhere, QStringLiteral("out")).rows.size(), 2);

    const QByteArray before = ReadFile(elsewhere);
    ASSERT_TRUE(QFile::setPermissions(elsewhere, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    refused(QStringLiteral("Permission denied"));
    EXPECT_EQ(ReadFile(elsewhere), before);
    EXPECT_EQ(QFileInfo(elsewhere).permissions() & (QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther), 0);
    QFile::setPermissions(elsewhere, QFile::ReadOwner | QFile::WriteOwner);

    // A file another program is writing: in use, and both its file and its journal stay; the
    // writer's change lands in the file.
    sqlite3* writer = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(elsewhere).constData(), &writer), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(writer, "BEGIN; DELETE FROM out", nullptr, nullptr, nullptr), SQLITE_OK);
    {
        FakePrompter fp;
        fp.ExpectBox(MsgResult::Yes);
        fp.ExpectBox(MsgResult::Ok);
        Utilities::LoadTextFile(csv);
        ASSERT_EQ(fp.Boxes().size(), 2u);
        EXPECT_TRUE(fp.LastBox().text.contains(QStringLiteral("file already in use.  Another program is writing it")))
            << fp.LastBox().text.toStdString();
    }
    EXPECT_TRUE(QFileInfo::exists(elsewhere + QStringLiteral("-journal")));
    ASSERT_EQ(sqlite3_exec(writer, "COMMIT", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(writer);
    EXPECT_EQ(ReadTable(elsewhere, QStringLiteral("out")).rows.size(), 0);
}

TEST(RawImport, AMissingFileGoesThroughTheGeneralFailure)
{
    FakePrompter fp;
    fp.ExpectBox(MsgResult::Ok);
    StatusRecorder status;
    Utilities::LoadRawFile(TestEnv::NewFolder(QStringLiteral("gone")) + QStringLiteral("/x.raw"));
    EXPECT_EQ(fp.LastBox().title, QStringLiteral("LoadRawFile"));
    EXPECT_TRUE(fp.LastBox().text.startsWith(QStringLiteral("Error: 53. \n")));
    EXPECT_EQ(status.Last(), QStringLiteral("Import Failed."));
}

TEST(TextImport, AFileNamedOnlyByItsExtensionIsRefused)
{
    FakePrompter fp;
    fp.ExpectBox(MsgResult::Ok);
    StatusRecorder status;
    const QString path = Source(QStringLiteral(".csv"), "A,B\r\n1,2\r\n");
    Utilities::LoadTextFile(path);
    EXPECT_EQ(fp.LastBox().title, QStringLiteral("LoadTextFile"));
    EXPECT_TRUE(fp.LastBox().text.startsWith(QStringLiteral("Error: 52. \n")));
    EXPECT_EQ(status.Last(), QStringLiteral("Import Failed."));
    EXPECT_EQ(FolderEntries(path), QStringList{QStringLiteral(".csv")});
}

// --- Delimited text -------------------------------------------------------------------------

TEST(TextImport, TypesColumnsFromTheirValues)
{
    FakePrompter fp;
    StatusRecorder status;
    const QString csv = Source(QStringLiteral("people.csv"),
                               "name,age,score,n\nAnn,31,2.5,1\nBob,40,3,2.0\n\n  \nCy, 41 ,1e1,3\n");
    Utilities::LoadTextFile(csv);
    EXPECT_TRUE(fp.Boxes().empty());
    EXPECT_EQ(status.Last(),
              QStringLiteral("Import to ") + MdbOf(csv) + QStringLiteral(" successful."));
    const Imported t = ReadTable(MdbOf(csv), QStringLiteral("people"));
    EXPECT_EQ(t.names, (QStringList{QStringLiteral("IndexCounter1"), QStringLiteral("name"),
                                    QStringLiteral("age"), QStringLiteral("score"),
                                    QStringLiteral("n")}));
    EXPECT_TRUE(t.autoNumber[0]);
    EXPECT_EQ(t.types[1], kdb::dbText);
    EXPECT_EQ(t.types[2], kdb::dbLong);
    EXPECT_EQ(t.types[3], kdb::dbSingle);
    EXPECT_EQ(t.types[4], kdb::dbLong);
    ASSERT_EQ(t.rows.size(), 3);
    EXPECT_EQ(t.values[1][4], kdb::Value(2));
    EXPECT_EQ(t.values[2][2], kdb::Value(41));
    EXPECT_EQ(t.values[2][3].toDouble(), 10.0);
    EXPECT_EQ(t.values[0][3].toDouble(), 2.5);
}

TEST(TextImport, RowsMustMatchTheHeader)
{
    {
        FakePrompter fp;
        fp.ExpectBox(MsgResult::Ok);
        StatusRecorder status;
        const QString csv = Source(QStringLiteral("bad.csv"), "a,b\n1,2\n\n1,2,3\n");
        Utilities::LoadTextFile(csv);
        EXPECT_EQ(fp.LastBox().text,
                  QStringLiteral("Number of fields Does Not match number of field names at row #2"));
        EXPECT_EQ(fp.LastBox().title, QStringLiteral("Bad Import Data"));
        EXPECT_EQ(fp.LastBox().icon, MsgIcon::Exclamation);
        EXPECT_TRUE(status.messages.isEmpty());
        EXPECT_FALSE(QFile::exists(MdbOf(csv)));
    }
    {
        // A header ending in a comma has an empty third name, "#2".
        FakePrompter fp;
        const QString csv = Source(QStringLiteral("trail.csv"), "a,b,\n1,2,x\n");
        Utilities::LoadTextFile(csv);
        EXPECT_EQ(ReadTable(MdbOf(csv), QStringLiteral("trail")).names.last(), QStringLiteral("#2"));
        fp.ExpectBox(MsgResult::Ok);
        WriteFile(csv, "a,b,\n1,2\n");
        Utilities::LoadTextFile(csv);
        EXPECT_EQ(fp.LastBox().title, QStringLiteral("Bad Import Data"));
    }
}

TEST(TextImport, BlankValuesAreMissing)
{
    FakePrompter fp;
    fp.ExpectBox(MsgResult::Ok);
    StatusRecorder status;
    Utilities::LoadTextFile(Source(QStringLiteral("m.csv"), "a,b\n1,2\n3,  \n"));
    EXPECT_EQ(fp.LastBox().text, QStringLiteral("Missing value in Row #2, Column #2 .  Import stoped."));
    EXPECT_EQ(fp.LastBox().title, QStringLiteral("Bad Data"));
    EXPECT_EQ(fp.LastBox().icon, MsgIcon::Exclamation);
    EXPECT_TRUE(status.messages.isEmpty());
}

// What the box says is what is wrong: a file of names and no rows (or one long line) has no
// missing value, and a number too large names where it stands. Both importers.
TEST(Import, BoxesSayWhatIsWrongWithTheFile)
{
    FakePrompter fp;
    fp.AllowAnyBox();
    StatusRecorder status;
    Utilities::LoadTextFile(Source(QStringLiteral("h.csv"), "a,b\n"));
    EXPECT_EQ(fp.LastBox().text,
              QStringLiteral("No data rows: the file holds only the line of field names.  Import stoped."));
    EXPECT_EQ(fp.LastBox().title, QStringLiteral("Bad Data"));
    Utilities::LoadRawFile(Source(QStringLiteral("h.raw"), "[TAGS]\na,b\n[PATTERNS]\n"));
    EXPECT_EQ(fp.LastBox().text, QStringLiteral("Invalid .raw file.\nNo data rows after [PATTERNS].  Import stoped."));
    const QByteArray huge = "1." + QByteArray(400, '7') + "e400";
    Utilities::LoadTextFile(Source(QStringLiteral("n.csv"), "a,b\n1,2\n3," + huge + "\n"));
    EXPECT_EQ(fp.LastBox().text,
              QStringLiteral("Error: 6. \nOverflow: the number in Row #2, Column #2 is beyond what a number column holds."));
    // A loop of links is there but cannot be read: one box that says so.
    fp.Clear();
    const QString loop = QFileInfo(Source(QStringLiteral("other.csv"), "a\n1\n")).path() + QStringLiteral("/loop.csv");
    QFile::remove(QFileInfo(loop).path() + QStringLiteral("/other.csv"));
    ASSERT_TRUE(QFile::link(QFileInfo(loop).path() + QStringLiteral("/other.csv"), loop));
    ASSERT_TRUE(QFile::link(loop, QFileInfo(loop).path() + QStringLiteral("/other.csv")));
    Utilities::LoadTextFile(loop);
    ASSERT_EQ(fp.Boxes().size(), 1u);
    EXPECT_EQ(fp.LastBox().text,
              QStringLiteral("Error: 75. \nPath/File access error: ") + QString::fromLocal8Bit(std::strerror(ELOOP)));
    // Rows before [TAGS]: the one box that says so, not a second about the row.
    fp.Clear();
    Utilities::LoadRawFile(Source(QStringLiteral("p.raw"), "[PATTERNS]\n1,2\n[TAGS]\na,b\n"));
    ASSERT_EQ(fp.Boxes().size(), 1u);
    EXPECT_EQ(fp.LastBox().text,
              QStringLiteral("Section [TAGS] NOT defined (properly) in .RAW file.  Must come before [PATTERNS]"));
}

TEST(TextImport, QuotesTabsAndLongNamesAreOrdinary)
{
    FakePrompter fp;
    const QString longName = QString(70, QLatin1Char('n'));
    const QString csv = Source(QStringLiteral("my data.old.csv"),
                               "\"q\",a.b!c,\tt\t," + longName.toUtf8() + "\n\"x\",1,2,3\n");
    Utilities::LoadTextFile(csv);
    EXPECT_TRUE(fp.Boxes().empty());
    const QString mdb = QFileInfo(csv).path() + QStringLiteral("/my data.old.mdb");
    const Imported t = ReadTable(mdb, QStringLiteral("my_data_old"));
    EXPECT_EQ(t.names.mid(1), (QStringList{QStringLiteral("\"q\""), QStringLiteral("a_b_c"),
                                           QStringLiteral("_t_"), longName.left(64)}));
    EXPECT_EQ(t.rows[0][1], QStringLiteral("\"x\""));
}

TEST(TextImport, NamesThatCleanToTheSameNameFailAndKeepTheOldFile)
{
    const QString csv = Source(QStringLiteral("same.csv"), "a.b,a!b\n1,2\n");
    const QString mdb = MdbOf(csv);
    WriteFile(mdb, "previous");
    FakePrompter fp;
    fp.ExpectBox(MsgResult::Yes);
    fp.ExpectBox(MsgResult::Ok);
    StatusRecorder status;
    Utilities::LoadTextFile(csv);
    ASSERT_EQ(fp.Boxes().size(), 2u);
    EXPECT_EQ(fp.Boxes()[0].text, mdb + QStringLiteral(" Exists.  Overwrite?"));
    EXPECT_EQ(fp.LastBox().title, QStringLiteral("LoadTextFile"));
    EXPECT_EQ(status.Last(), QStringLiteral("Import Failed."));
    EXPECT_EQ(ReadFile(mdb), QByteArray("previous"));
    EXPECT_EQ(FolderEntries(csv).size(), 2);
}

TEST(TextImport, AcceptsEveryLineEnd)
{
    for (const QByteArray& end : {QByteArray("\n"), QByteArray("\r\n"), QByteArray("\r")}) {
        FakePrompter fp;
        const QByteArray bytes = "a,b" + end + "1,x" + end + end + "2,y" + end + "3,z";
        const QString csv = Source(QStringLiteral("ends.csv"), bytes);
        Utilities::LoadTextFile(csv);
        ASSERT_TRUE(fp.Boxes().empty()) << fp.LastBox().text.toStdString();
        const Imported t = ReadTable(MdbOf(csv), QStringLiteral("ends"));
        ASSERT_EQ(t.rows.size(), 3);
        EXPECT_EQ(t.types[1], kdb::dbLong);
        EXPECT_EQ(t.rows[2][2], QStringLiteral("z"));
        EXPECT_EQ(t.rows[0][2], QStringLiteral("x"));
    }
}

TEST(TextImport, ReadsUtf8AndFallsBackToWindows1252)
{
    FakePrompter fp;
    // Windows-1252: é = E9, è = E8, € = 80.
    const QString ansi = Source(QStringLiteral("ansi.csv"), "caf\xe9,v\ncr\xe8me \x80,1\n");
    Utilities::LoadTextFile(ansi);
    const Imported a = ReadTable(MdbOf(ansi), QStringLiteral("ansi"));
    EXPECT_EQ(a.names[1], QStringLiteral("café"));
    EXPECT_EQ(a.rows[0][1], QStringLiteral("crème €"));

    const QString utf8 = Source(QStringLiteral("utf8.csv"),
                                "\xEF\xBB\xBF" "caf\xC3\xA9,v\ncr\xC3\xA8me \xE2\x82\xAC,1\n");
    Utilities::LoadTextFile(utf8);
    const Imported u = ReadTable(MdbOf(utf8), QStringLiteral("utf8"));
    EXPECT_EQ(u.names[1], QStringLiteral("café"));
    EXPECT_EQ(u.rows[0][1], QStringLiteral("crème €"));

    // UTF-16 with its byte-order mark, either order: a text file as Windows editors save it
    // (CR LF), and a pattern file. The character beyond 16 bits stands across the end of the
    // first block read (2 + 2^20 bytes), its two halves in two reads.
    QString text = QStringLiteral("café,v\r\n");
    while (text.size() < (1 << 19) - 40)
        text += QStringLiteral("x,1\r\n");
    text += QString(int((1 << 19) - 1 - text.size()), QLatin1Char('y'));
    text += QStringLiteral("\U0001D11E €,2\r\ncrème,3\r\n");
    ASSERT_TRUE(text.at((1 << 19) - 1).isHighSurrogate());
    const auto utf16 = [](const QString& t, bool little) {
        QByteArray bytes = little ? QByteArray("\xFF\xFE") : QByteArray("\xFE\xFF");
        for (const QChar c : t) {
            const char lo = char(c.unicode() & 0xFF), hi = char(c.unicode() >> 8);
            bytes.append(little ? lo : hi).append(little ? hi : lo);
        }
        return bytes;
    };
    const QString le = Source(QStringLiteral("utf16.csv"), utf16(text, true));
    Utilities::LoadTextFile(le);
    ASSERT_TRUE(fp.Boxes().empty()) << fp.LastBox().text.toStdString();
    const Imported w = ReadTable(MdbOf(le), QStringLiteral("utf16"));
    ASSERT_GE(w.rows.size(), 2);
    EXPECT_EQ(w.names[1], QStringLiteral("café"));
    EXPECT_EQ(w.types[2], kdb::dbLong);
    EXPECT_EQ(w.rows[w.rows.size() - 2][1], QString(int((1 << 19) - 1 - text.indexOf(QLatin1Char('y'))), QLatin1Char('y'))
                                               + QStringLiteral("\U0001D11E €"));
    EXPECT_EQ(w.rows.last()[1], QStringLiteral("crème"));
    EXPECT_EQ(w.rows.last()[2], QStringLiteral("3"));

    const QString be = Source(QStringLiteral("utf16.raw"),
                              utf16(QStringLiteral("[TAGS]\r\nnamé,n\r\n[PATTERNS]\r\nœuvre,1\r\nx,2\r\n"), false));
    Utilities::LoadRawFile(be);
    ASSERT_TRUE(fp.Boxes().empty()) << fp.LastBox().text.toStdString();
    const Imported r = ReadTable(MdbOf(be), QStringLiteral("utf16"));
    ASSERT_EQ(r.rows.size(), 2);
    EXPECT_EQ(r.names[1], QStringLiteral("namé"));
    EXPECT_EQ(r.rows[0][1], QStringLiteral("œuvre"));
    EXPECT_EQ(r.rows[1][2], QStringLiteral("2"));
    EXPECT_TRUE(fp.Boxes().empty());

    // UTF-16 saved without its mark and UTF-32 with or without it, either byte order: read by
    // the zero bytes of the first character, every value kept.
    const QString wideText = QStringLiteral("namé,n\r\nœuvre \U0001D11E,1\r\nx,2\r\n");
    for (const auto encoding : {QStringConverter::Utf16LE, QStringConverter::Utf16BE, QStringConverter::Utf32LE,
                                QStringConverter::Utf32BE}) {
        for (const bool mark : {false, true}) {
            QStringEncoder encode(encoding, mark ? QStringConverter::Flag::WriteBom : QStringConverter::Flag::Default);
            const QString file = Source(QStringLiteral("wide.csv"), encode(wideText));
            Utilities::LoadTextFile(file);
            ASSERT_TRUE(fp.Boxes().empty()) << encode.name() << mark << fp.LastBox().text.toStdString();
            const Imported t = ReadTable(MdbOf(file), QStringLiteral("wide"));
            ASSERT_EQ(t.rows.size(), 2) << encode.name() << mark;
            EXPECT_EQ(t.names[1], QStringLiteral("namé"));
            EXPECT_EQ(t.types[2], kdb::dbLong);
            EXPECT_EQ(t.rows[0][1], QStringLiteral("œuvre \U0001D11E"));
            EXPECT_EQ(t.rows[1][2], QStringLiteral("2"));
        }
        // The pattern import reads its lines the same way.
        QStringEncoder encode(encoding);
        const QString raw = Source(QStringLiteral("wide.raw"), encode(QStringLiteral("[TAGS]\r\n") + wideText.section(u'\n', 0, 0)
                                                                      + QStringLiteral("\n[PATTERNS]\r\n")
                                                                      + wideText.section(u'\n', 1)));
        Utilities::LoadRawFile(raw);
        ASSERT_TRUE(fp.Boxes().empty()) << encode.name() << fp.LastBox().text.toStdString();
        const Imported r = ReadTable(MdbOf(raw), QStringLiteral("wide"));
        ASSERT_EQ(r.rows.size(), 2) << encode.name();
        EXPECT_EQ(r.rows[0][1], QStringLiteral("œuvre \U0001D11E"));
    }
    // What breaks its encoding's rules is refused, not imported with the character lost.
    fp.ExpectBox(MsgResult::Ok);
    StatusRecorder status;
    const QString broken = Source(QStringLiteral("broken.csv"), QByteArray("\xFF\xFE\0\0a\0\0\0\n\0\0\0\0\0\x11\0", 16));
    Utilities::LoadTextFile(broken);
    ASSERT_EQ(fp.Boxes().size(), 1u);
    EXPECT_EQ(fp.LastBox().text,
              QStringLiteral("Error: 57. \nThe file is not UTF-32LE text throughout: the bytes at byte 12 are no character of it."));
    EXPECT_EQ(status.Last(), QStringLiteral("Import Failed."));
    EXPECT_FALSE(QFileInfo::exists(MdbOf(broken)));
}

// --- Names the database cannot take, and what killed imports leave -------------------------

TEST(Import, NamesTheDatabaseCannotTakeAreExplainedAndDamageNothing)
{
    {
        FakePrompter fp;
        fp.ExpectBox(MsgResult::Ok);
        StatusRecorder status;
        const QString path = Source(QStringLiteral("nul.raw"), QByteArray("[TAGS]\r\nx, y", 12) + QByteArray(1, '\0')
                                                                + QByteArray("z\r\n[PATTERNS]\r\n1, 2\r\n"));
        Utilities::LoadRawFile(path);
        ASSERT_EQ(fp.Boxes().size(), 1u);
        EXPECT_EQ(fp.LastBox().title, QStringLiteral("LoadRawFile"));
        EXPECT_EQ(fp.LastBox().text,
                  QStringLiteral("Error: 3125. \nThe name of field #2 holds a NUL character; a field name cannot contain one."));
        EXPECT_EQ(FolderEntries(path), QStringList{QStringLiteral("nul.raw")});
    }
    {
        FakePrompter fp;
        fp.ExpectBox(MsgResult::Ok);
        StatusRecorder status;
        QByteArray header, row;
        for (int i = 1; i <= 2345; ++i) {
            header += (i > 1 ? "," : "") + QByteArray("c") + QByteArray::number(i);
            row += (i > 1 ? "," : "") + QByteArray::number(i);
        }
        const QString path = Source(QStringLiteral("wide.csv"), header + "\r\n" + row + "\r\n");
        Utilities::LoadTextFile(path);
        ASSERT_EQ(fp.Boxes().size(), 1u);
        EXPECT_EQ(fp.LastBox().title, QStringLiteral("LoadTextFile"));
        EXPECT_TRUE(fp.LastBox().text.startsWith(
            QStringLiteral("Error: 3190. \nToo many fields defined: the file has 2345 columns, a table holds at most")))
            << fp.LastBox().text.toStdString();
        EXPECT_EQ(FolderEntries(path), QStringList{QStringLiteral("wide.csv")});
    }
}

TEST(Import, TemporaryFilesOfEndedProcessesGoWhenTheNextImportWritesBesideThem)
{
    // A process that has ended: its id names no running process any more.
    QProcess gone;
    gone.start(QStringLiteral("true"), {});
    ASSERT_TRUE(gone.waitForStarted(5000));
    const qint64 deadPid = gone.processId();
    ASSERT_TRUE(gone.waitForFinished(5000));
    const QString path = Source(QStringLiteral("next.csv"), "a,b\r\n1,2\r\n");
    const QString folder = QFileInfo(path).path();
    QString dead = folder + QStringLiteral("/old.mdb.~%1-3.tmp");
    if (deadPid == 0 || ::kill(pid_t(deadPid), 0) == 0)
        GTEST_SKIP() << "no ended process id at hand";
    dead = dead.arg(deadPid);
    const QString mine = folder + QStringLiteral("/old.mdb.~%1-1.tmp").arg(QCoreApplication::applicationPid());
    const QString other = folder + QStringLiteral("/notes.tmp");
    for (const QString& f : {dead, dead + QStringLiteral("-journal"), mine, other})
        WriteFile(f, "x");

    FakePrompter fp;
    StatusRecorder status;
    Utilities::LoadTextFile(path);
    QStringList expected{QStringLiteral("next.csv"), QStringLiteral("next.mdb"), QFileInfo(mine).fileName(),
                         QStringLiteral("notes.tmp")};
    expected.sort();
    EXPECT_EQ(FolderEntries(path), expected);   // a running process keeps its file; other files stay

    // The folder is recorded: a file a killed import leaves there goes at the next start, and
    // the folder is forgotten once nothing of it is left.
    WriteFile(dead, "x");
    DataImport::RemoveRecordedLeftovers();
    EXPECT_FALSE(QFile::exists(dead));
    EXPECT_TRUE(QFile::exists(mine));
    const QString record = AppPaths::ProgramFolder() + QStringLiteral("/.temporary-folders");
    EXPECT_TRUE(QFile::exists(record));
    QFile::remove(mine);
    DataImport::RemoveRecordedLeftovers();
    EXPECT_FALSE(QFile::exists(record));
}

// --- Progress -------------------------------------------------------------------------------

// Both importers tell the status bar how far they have come while they read, write and save:
// 0 at the start, whole percents that only rise through the typing (to 17) and the writing (to
// 94), 100, and -1 at the end.
TEST(ImportProgress, TheStatusBarFollowsBothReadingsOfTheFile)
{
    QByteArray csv = "a,b,c\n";
    QByteArray raw = "[TAGS]\na,b,c\n[PATTERNS]\n";
    for (int i = 0; i < 4000; ++i) {
        const QByteArray row = QByteArray::number(i) + ',' + QByteArray::number(i * 0.5) + ",x" +
                               QByteArray::number(i % 7) + '\n';
        csv += row;
        raw += row;
    }
    const auto check = [](std::vector<int> heard) {
        // A save that lasts (a slow disk, a busy machine) hears its percent again now and then.
        heard.erase(std::unique(heard.begin(), heard.end()), heard.end());
        ASSERT_GE(heard.size(), 90u);
        ExpectRisingToTheEnd(heard);
        EXPECT_GE(std::count_if(heard.begin(), heard.end(), [](int p) { return p > 0 && p < 17; }), 12);
        EXPECT_GE(std::count_if(heard.begin(), heard.end(), [](int p) { return p > 18 && p < 94; }), 60);
    };
    FakePrompter fp;
    {
        StatusRecorder status;
        Utilities::LoadTextFile(Source(QStringLiteral("many.csv"), csv));
        check(status.progressValues);
    }
    {
        StatusRecorder status;
        Utilities::LoadRawFile(Source(QStringLiteral("many.raw"), raw));
        check(status.progressValues);
    }
    EXPECT_TRUE(fp.Boxes().empty());
}
