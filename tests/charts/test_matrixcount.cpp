// The confusion matrix's count over a project database: cells by predicted and actual class,
// case variants of one class added together, rows without prediction or of unknown classes
// left out, the totals and both rates; and an empty class list refused.
#include "charts/matrixcount.h"
#include "core/kverror.h"
#include "data/projectschema.h"
#include "kdb/kdb.h"
#include "tests/support/testenv.h"

#include <QFile>
#include <gtest/gtest.h>

namespace {

// A project-like database: Classes, Test and a source table named as the link whose key is
// "Id" and whose class column is "Kind".
QString makeProject(const QString& folder, const QStringList& classes,
                    const std::vector<std::tuple<int, QVariant, QString>>& rows)
{
    const QString path = folder + "/matrix.kvp";
    QFile::remove(path);
    kdb::Database db = kdb::Database::Create(path);
    db.Execute("CREATE TABLE Classes (Class TEXT, Count INTEGER, ClassNo INTEGER)");
    db.Execute("CREATE TABLE Test (MainPrimaryKey INTEGER PRIMARY KEY, Predicted TEXT, Mark INTEGER)");
    db.Execute("CREATE TABLE " + ProjectSchema::LinkTable() + " (Id INTEGER PRIMARY KEY, Kind TEXT)");
    for (const QString& c : classes)
        db.Execute("INSERT INTO Classes (Class) VALUES (?)", {kdb::Value(c)});
    for (const auto& [id, actual, predicted] : rows) {
        db.Execute("INSERT INTO " + ProjectSchema::LinkTable() + " VALUES (?, ?)",
                   {kdb::Value(id), actual.isNull() ? kdb::Value() : kdb::Value(actual.toString())});
        db.Execute("INSERT INTO Test VALUES (?, ?, 0)", {kdb::Value(id), kdb::Value(predicted)});
    }
    return path;
}

} // namespace

TEST(MatrixCount, CellsTotalsAndRates)
{
    const QString folder = TestEnv::NewFolder("matrixcount");
    // Two rows of actual A predicted B; "a" and "b" are the same classes in another case; a
    // marker row, a row of an unknown class and a Null actual are left out.
    const QString path = makeProject(folder, {"A", "B", "C"},
                                     {{1, "A", "A"}, {2, "A", "B"}, {3, "a", "b"}, {4, "B", "B"}, {5, "C", "C"},
                                      {6, "C", "-123.456"}, {7, "Z", "A"}, {8, "A", "Q"}, {9, QVariant(), "A"},
                                      {10, "c", "C"}});
    const MatrixCount m = MatrixCounting::Count(path, "Kind", "Id");
    ASSERT_EQ(m.Count(), 3);
    EXPECT_EQ(m.At(0, 0), 1);
    EXPECT_EQ(m.At(1, 0), 2); // row B, column A: added, not assigned
    EXPECT_EQ(m.At(1, 1), 1);
    EXPECT_EQ(m.At(2, 2), 2);
    EXPECT_EQ(m.At(0, 1) + m.At(0, 2) + m.At(2, 0), 0); // nothing lands in class 0 by mistake
    EXPECT_EQ(m.total, 6);
    EXPECT_EQ(m.sumPredicted[1], 3);
    EXPECT_EQ(m.sumActual[0], 3);
    EXPECT_FLOAT_EQ(m.predErr, 2.0f / 6.0f);
    EXPECT_FLOAT_EQ(m.actErr, 2.0f / 6.0f);
    EXPECT_EQ(m.RowRate(1), "66.67%");
    EXPECT_EQ(m.ColumnRate(0), "66.67%");
    EXPECT_EQ(m.RowRate(2), "0.00%");
    EXPECT_EQ(m.FindClassIndex("b"), 1);
    EXPECT_EQ(m.FindClassIndex("Z"), -1);

    // Nothing counted: all zero, rates 0, no division by zero.
    const QString none = makeProject(folder, {"A", "B"}, {{1, "A", "-123.456"}});
    const MatrixCount empty = MatrixCounting::Count(none, "Kind", "Id");
    EXPECT_EQ(empty.total, 0);
    EXPECT_EQ(empty.predErr, 0.0f);
    EXPECT_EQ(empty.RowRate(0), "0.00%");

    // Many distinct values (here unknown predictions) are each looked at once and left out.
    std::vector<std::tuple<int, QVariant, QString>> many;
    for (int i = 1; i <= 200; ++i)
        many.emplace_back(i, i % 2 == 1 ? "A" : "b", i % 3 == 0 ? QString("Q%1").arg(i) : QString("B"));
    const MatrixCount wide = MatrixCounting::Count(makeProject(folder, {"A", "B"}, many), "Kind", "Id");
    EXPECT_EQ(wide.At(1, 0), 67);
    EXPECT_EQ(wide.At(1, 1), 67);
    EXPECT_EQ(wide.total, 134);

    // A column without type may hold the number 3 and the text "3.0": alike in their stored
    // bytes, yet they name two classes, whichever row comes first. Over a hundred thousand rows
    // the Test rows are read in ranges at once and add up to the same cells.
    {
        const QString path = folder + "/mixed.kvp";
        QFile::remove(path);
        kdb::Database db = kdb::Database::Create(path);
        db.Execute("CREATE TABLE Classes (Class TEXT, Count INTEGER, ClassNo INTEGER)");
        db.Execute("INSERT INTO Classes (Class) VALUES ('3'), ('3.0'), ('B')");
        db.Execute("CREATE TABLE Test (MainPrimaryKey INTEGER PRIMARY KEY, Predicted, Mark INTEGER)");
        db.Execute("CREATE TABLE " + ProjectSchema::LinkTable() + " (Id INTEGER PRIMARY KEY, Kind)");
        // Actual: the number 3.0 on odd rows, the text "3.0" on even ones; predicted: the text
        // "3.0", "B" and the number 3.0 in turn. Each of the six cells gets one row in six.
        db.Execute("WITH RECURSIVE r(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM r WHERE i < 120000) INSERT INTO "
                   + ProjectSchema::LinkTable() + " SELECT i, CASE i % 2 WHEN 1 THEN 3.0 ELSE '3.0' END FROM r");
        db.Execute("INSERT INTO Test SELECT Id, CASE Id % 3 WHEN 0 THEN 3.0 WHEN 1 THEN '3.0' ELSE 'B' END, 0 FROM "
                   + ProjectSchema::LinkTable());
        db.Close();
        const MatrixCount mixed = MatrixCounting::Count(path, "Kind", "Id");
        EXPECT_EQ(mixed.total, 120000);
        for (int p = 0; p < 3; ++p)
            for (int a = 0; a < 2; ++a)
                EXPECT_EQ(mixed.At(p, a), 20000) << "predicted " << p << ", actual " << a;
    }

    // No classes: refused, as the window's Start reports.
    const QString noClasses = makeProject(folder, {}, {{1, "A", "A"}});
    EXPECT_THROW(MatrixCounting::Count(noClasses, "Kind", "Id"), KvError);
}
