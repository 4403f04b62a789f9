#include "data/columnstats.h"
#include "data/datadef.h"

#include "kdb/kdb.h"
#include "tests/data/datatest.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

using ColumnStats::Accumulator;
using ColumnStats::Kind;
using ColumnStats::RangeOutcome;

namespace {

// Rows 1..n made inside the database: a number far from 0 with a small spread, a whole number
// with Nulls and a word now and then, a Boolean, and a date with Nulls.
QString RowsOf(const QString& table, int n)
{
    return QStringLiteral("INSERT INTO %1 (id, big, whole, flag, day) "
                          "WITH RECURSIVE s(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM s WHERE i < %2) "
                          "SELECT i, 1e9 + (i * 7919 % 1000) / 1000.0, "
                          "CASE WHEN i % 7 = 0 THEN NULL WHEN i % 11 = 0 THEN 'n/a' ELSE i % 50 - 20 END, "
                          "i % 3 = 0, CASE WHEN i % 5 = 0 THEN NULL ELSE date('2020-01-01', '+' || (i % 400) || ' days') END "
                          "FROM s")
        .arg(table)
        .arg(n);
}

const std::vector<ColumnStats::Column> kColumns{{QStringLiteral("big"), Kind::Numeric},
                                                {QStringLiteral("whole"), Kind::Numeric},
                                                {QStringLiteral("flag"), Kind::Numeric},
                                                {QStringLiteral("day"), Kind::Date}};

// The statistics of one plain read in rowid order, as a single reader gathers them.
std::vector<Accumulator> OneRead(const QString& path, const QString& table)
{
    kdb::Database db = kdb::Database::Open(path, false, true);
    kdb::Reader r = db.Query(QStringLiteral("SELECT big, whole, flag, day FROM %1 ORDER BY rowid").arg(table));
    std::vector<Accumulator> acc(kColumns.size());
    while (r.Next())
        for (size_t c = 0; c < kColumns.size(); ++c)
            ColumnStats::AddValue(r, int(c), kColumns[c].kind, acc[c]);
    return acc;
}

std::vector<Accumulator> Ranged(const QString& path, const QString& table, int threads,
                                RangeOutcome expected = RangeOutcome::Done)
{
    std::vector<Accumulator> out;
    EXPECT_EQ(ColumnStats::ReadInRanges(path, table, kColumns, threads, [](int64_t) { return true; }, out),
              expected);
    return out;
}

} // namespace

TEST(ColumnStatsRanges, FiguresDoNotDependOnTheThreadsAndMatchOneRead)
{
    // Rowids with holes and a far outlier, so that some ranges are empty and others full.
    const QString path = DataTest::MakeDb(
        QStringLiteral("columnstats"), QStringLiteral("ranges.kvs"),
        {QStringLiteral("CREATE TABLE t (id INTEGER PRIMARY KEY, big DOUBLE, whole LONG, flag BIT, day DATE)"),
         RowsOf(QStringLiteral("t"), 5000), QStringLiteral("DELETE FROM t WHERE id BETWEEN 1200 AND 2600"),
         QStringLiteral("UPDATE t SET id = 90000000000 WHERE id = 4999")});
    const std::vector<Accumulator> one = OneRead(path, QStringLiteral("t"));
    const std::vector<Accumulator> single = Ranged(path, QStringLiteral("t"), 1);
    ASSERT_EQ(single.size(), kColumns.size());
    for (int threads : {3, 8}) {
        const std::vector<Accumulator> many = Ranged(path, QStringLiteral("t"), threads);
        ASSERT_EQ(many.size(), kColumns.size());
        for (size_t c = 0; c < kColumns.size(); ++c) {
            EXPECT_EQ(many[c].n, single[c].n);
            EXPECT_EQ(many[c].min, single[c].min);
            EXPECT_EQ(many[c].max, single[c].max);
            EXPECT_EQ(double(many[c].Mean()), double(single[c].Mean())) << "column " << c << ", " << threads;
            EXPECT_EQ(many[c].StdDev(), single[c].StdDev()) << "column " << c << ", " << threads;
        }
    }
    for (size_t c = 0; c < kColumns.size(); ++c) {
        // Counts (Nulls and words skipped), ends, and so every date and Boolean figure, exact.
        EXPECT_EQ(single[c].n, one[c].n) << c;
        EXPECT_EQ(single[c].min, one[c].min) << c;
        EXPECT_EQ(single[c].max, one[c].max) << c;
        EXPECT_NEAR(double(single[c].Mean()), double(one[c].Mean()), 1e-12 * std::abs(double(one[c].Mean()))) << c;
        EXPECT_NEAR(single[c].StdDev(), one[c].StdDev(), 1e-9 * one[c].StdDev()) << c;
    }
    EXPECT_GT(one[0].StdDev(), 0.28); // the spread survives the magnitude
    EXPECT_EQ(one[2].min, 0);
    EXPECT_EQ(one[2].max, 1);
    EXPECT_EQ(one[3].min, kdb::DateSerial(QStringLiteral("2020-01-02")).value());
}

TEST(ColumnStatsRanges, OnlyPlainRowidTablesAreSplit)
{
    const QString create = QStringLiteral("CREATE TABLE %1 (id INTEGER PRIMARY KEY, big DOUBLE, whole LONG, "
                                          "flag BIT, day DATE%2)%3");
    const QString path = DataTest::MakeDb(
        QStringLiteral("columnstats"), QStringLiteral("kinds.kvs"),
        {create.arg(QStringLiteral("plain"), QString(), QString()), RowsOf(QStringLiteral("plain"), 300),
         create.arg(QStringLiteral("bare"), QString(), QStringLiteral(" WITHOUT ROWID")),
         RowsOf(QStringLiteral("bare"), 300), QStringLiteral("CREATE VIEW seen AS SELECT * FROM plain"),
         create.arg(QStringLiteral("hidden"), QStringLiteral(", rowid TEXT, oid TEXT"), QString()),
         RowsOf(QStringLiteral("hidden"), 300),
         create.arg(QStringLiteral("allHidden"), QStringLiteral(", rowid TEXT, _rowid_ TEXT, oid TEXT"), QString()),
         create.arg(QStringLiteral("empty"), QString(), QString())});

    const std::vector<Accumulator> one = OneRead(path, QStringLiteral("plain"));
    // A column named rowid or oid hides that alias, not the rows.
    const std::vector<Accumulator> hidden = Ranged(path, QStringLiteral("hidden"), 2);
    ASSERT_EQ(hidden.size(), kColumns.size());
    EXPECT_EQ(hidden[1].n, one[1].n);
    EXPECT_EQ(hidden[3].max, one[3].max);
    EXPECT_EQ(Ranged(path, QStringLiteral("empty"), 2)[0].n, 0);

    for (const char* table : {"bare", "seen", "allHidden"})
        EXPECT_TRUE(Ranged(path, QString::fromLatin1(table), 2, RangeOutcome::NotSplit).empty()) << table;
    EXPECT_TRUE(Ranged(path + QStringLiteral(".missing"), QStringLiteral("plain"), 2, RangeOutcome::NotSplit).empty());
}

// Over a table big enough to be read in ranges, and over one that is not split, the progress
// keeps moving between fields and still tells every field's share.
TEST(DataDefStats, ABigTableKeepsTheProgressMovingAndStopsWhenTold)
{
    const QString create =
        QStringLiteral("CREATE TABLE %1 (id INTEGER PRIMARY KEY, big DOUBLE, whole LONG, flag BIT, day DATE)%2");
    const QString path = DataTest::MakeDb(QStringLiteral("columnstats"), QStringLiteral("big.kvs"),
                                          {create.arg(QStringLiteral("t"), QString()), RowsOf(QStringLiteral("t"), 120000),
                                           create.arg(QStringLiteral("w"), QStringLiteral(" WITHOUT ROWID")),
                                           QStringLiteral("INSERT INTO w SELECT * FROM t")});
    const std::vector<Accumulator> one = OneRead(path, QStringLiteral("t"));
    for (const char* table : {"t", "w"}) {
        CDataDef d;
        d.Initialize(path, QString::fromLatin1(table));
        std::vector<int> seen;
        d.SetProgressHandler([&](int16_t percent, bool&) { seen.push_back(percent); });
        d.GatherStats(true);
        ASSERT_TRUE(d.InitDone()) << table;
        ASSERT_FALSE(seen.empty());
        EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end())) << table;
        EXPECT_EQ(seen.back(), 100);
        for (int field : {17, 33, 50, 67, 83}) // i / 6 of the way for the five fields
            EXPECT_NE(std::find(seen.begin(), seen.end(), field), seen.end()) << table << " " << field;
        if (QLatin1String(table) == QLatin1String("w")) {
            // Read in one go: a look every 4096 rows, so no step over 4 % of 120,000 rows.
            for (size_t k = 1; k < seen.size(); ++k)
                EXPECT_LE(seen[k] - seen[k - 1], 4) << k;
        }
        EXPECT_EQ(d.FieldMin(2), one[0].min);
        EXPECT_NEAR(d.FieldAvg(2), double(one[0].Mean()), 1e-6);
        EXPECT_NEAR(d.FieldStdDev(3), one[1].StdDev(), 1e-9);
        EXPECT_EQ(d.FieldMax(4), 1);
        EXPECT_EQ(d.FieldMin(5), one[3].min);
        EXPECT_EQ(d.UserMax(5), one[3].max);

        // A stop at the first word leaves every field as it was.
        d.SetUserMin(2, 99);
        d.SetProgressHandler([](int16_t, bool& go) { go = false; });
        d.GatherStats(true);
        EXPECT_FALSE(d.InitDone());
        EXPECT_EQ(d.UserMin(2), 99);
    }
}

// Whole numbers past 2^53 keep their differences (a double takes 2^53 + 1 for 2^53), a time
// without the hour's leading zero counts, and a value that is read as nothing is counted as
// such, on one read and on the read in ranges, and found with its row's key.
TEST(ColumnStatsRanges, WholeNumbersPast2To53ShortTimesAndUnreadValues)
{
    const QStringList rows{
        QStringLiteral("CREATE TABLE t (id INTEGER PRIMARY KEY, big DOUBLE, whole BIGINT, flag BIT, day TIME)"),
        QStringLiteral("INSERT INTO t WITH RECURSIVE s(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM s WHERE i < 4000) "
                       "SELECT i, i % 2, 9007199254740992 + i % 2, 0, "
                       "CASE WHEN i = 2222 THEN '05/01/1973' WHEN i % 2 THEN '8:50' ELSE '10:00:00' END FROM s")};
    const QString path = DataTest::MakeDb(QStringLiteral("columnstats"), QStringLiteral("exact.kvs"), rows);
    const std::vector<Accumulator> one = OneRead(path, QStringLiteral("t"));
    const std::vector<Accumulator> ranged = Ranged(path, QStringLiteral("t"), 3);
    for (const std::vector<Accumulator>* acc : {&one, &ranged}) {
        const Accumulator& whole = (*acc)[1];
        EXPECT_EQ(whole.n, 4000);
        EXPECT_EQ(whole.max - whole.min, 1);
        EXPECT_EQ(whole.Mean(), 9007199254740992.5L);
        EXPECT_DOUBLE_EQ(whole.StdDev(), std::sqrt(1000.0 / 3999.0)); // 4000 values half 0, half 1
        const Accumulator& day = (*acc)[3];
        EXPECT_EQ(day.n, 3999);
        EXPECT_EQ(day.unread, 1);
        EXPECT_DOUBLE_EQ(double(day.min), (8 * 60 + 50) / 1440.0);
    }
    kdb::Database db = kdb::Database::Open(path, false, true);
    const auto bad = ColumnStats::FirstUnreadable(db, QStringLiteral("t"), {QStringLiteral("whole"), QStringLiteral("day")},
                                                  QStringLiteral("id"));
    ASSERT_TRUE(bad);
    EXPECT_EQ(bad->field, QStringLiteral("day"));
    EXPECT_EQ(bad->where, QStringLiteral("2222"));
    EXPECT_EQ(bad->value, QStringLiteral("05/01/1973"));
    EXPECT_FALSE(ColumnStats::FirstUnreadable(db, QStringLiteral("t"), {QStringLiteral("whole")}, QStringLiteral("id")));
}
