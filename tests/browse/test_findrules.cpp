// The rules of the find dialog and the record search, called directly: the history of ten
// texts, the Like patterns, what a search text means for each column type, and the wrap-round
// order of the next matching row.
#include "browse/finddialog.h"
#include "browse/likepattern.h"
#include "browse/recordsearch.h"
#include "browse/rowsource.h"
#include "core/numformat.h"
#include "data/projectschema.h"
#include "kdb/kdb.h"
#include "tests/support/testenv.h"

#include <QFile>
#include <gtest/gtest.h>

namespace {
// The project file's link table.
const QString kLink = ProjectSchema::LinkTable();
} // namespace

using kdb::Value;

TEST(FindRules, HistoryKeepsTenTextsMostRecentFirstAndMovesARepeatToTheFront)
{
    FindHistory h;
    h.Add("");
    EXPECT_TRUE(h.Entries().isEmpty());
    for (int i = 1; i <= 11; ++i)
        h.Add(QString("t%1").arg(i));
    QStringList expected;
    for (int i = 11; i >= 2; --i)
        expected << QString("t%1").arg(i);
    EXPECT_EQ(h.Entries(), expected); // the eleventh pushed t1 out

    FindHistory g;
    g.Add("abc");
    g.Add("x");
    g.Add("ABC"); // one entry, in the form just typed, at the front
    EXPECT_EQ(g.Entries(), QStringList({"ABC", "x"}));
    g.Add("x");
    EXPECT_EQ(g.Entries(), QStringList({"x", "ABC"}));
}

TEST(FindRules, LikePatternsIgnoreCaseAndKnowTheirCharacters)
{
    using LikePattern::Matches;
    EXPECT_TRUE(Matches("Setosa", "set*"));
    EXPECT_TRUE(Matches("Setosa", "*TOS*"));
    EXPECT_TRUE(Matches("Setosa", "s?tosa"));
    EXPECT_FALSE(Matches("Setosa", "s?osa"));
    EXPECT_TRUE(Matches("a7b", "a#b"));
    EXPECT_FALSE(Matches("axb", "a#b"));
    EXPECT_TRUE(Matches("cat", "[bc]at"));
    EXPECT_FALSE(Matches("rat", "[bc]at"));
    EXPECT_TRUE(Matches("rat", "[!bc]at"));
    EXPECT_FALSE(Matches("bat", "[!bc]at"));
    EXPECT_TRUE(Matches("Mat", "[a-m]at"));
    EXPECT_TRUE(Matches("O'Brien", "o'b*"));
    EXPECT_TRUE(Matches("", "*"));
    EXPECT_FALSE(Matches("abc", "[abc"));   // an unclosed list matches nothing
    EXPECT_TRUE(Matches("aaaaaaaaaaaaaaaaaaaaaaaaaaaaab", "*a*a*a*a*a*a*a*b"));
    EXPECT_FALSE(Matches("aaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", "*a*a*a*a*a*a*a*b"));

    for (const char* t : {"a*", "a?", "[a", "a]", "!a", "#1"})
        EXPECT_TRUE(LikePattern::HasPatternChar(t)) << t;
    EXPECT_FALSE(LikePattern::HasPatternChar("O'Brien (x) - y.z"));
}

TEST(FindRules, TheSearchTextMeansWhatTheColumnTypeSays)
{
    using RecordSearch::Criteria;
    using RecordSearch::Kind;
    using RecordSearch::Make;

    // Text: with Match Case exact, else Like ignoring case; the text is never SQL.
    const Criteria exact = Make("O'Brien", true, Kind::Text);
    EXPECT_TRUE(exact.match(Value(QString("O'Brien"))));
    EXPECT_FALSE(exact.match(Value(QString("o'brien"))));
    EXPECT_FALSE(exact.match(Value()));
    const Criteria like = Make("o'brien", false, Kind::Text);
    EXPECT_TRUE(like.match(Value(QString("O'Brien"))));
    // Match Case ticked while a pattern character stands: a plain comparison with the text.
    EXPECT_TRUE(Make("a*", true, Kind::Text).match(Value(QString("a*"))));
    EXPECT_FALSE(Make("a*", true, Kind::Text).match(Value(QString("ab"))));

    // Numbers: by value with Match Case; without it also the Like form of the value's text.
    EXPECT_TRUE(Make("5", true, Kind::Number).match(Value(5.0)));
    EXPECT_FALSE(Make("5", true, Kind::Number).match(Value(55.0)));
    EXPECT_TRUE(Make("5.0", false, Kind::Number).match(Value(5LL)));
    EXPECT_TRUE(Make("5*", false, Kind::Number).match(Value(55.0)));
    // Without Match Case the text the grid shows is compared (here two places), or the value
    // to the digits its field holds; with it only the value.
    const auto twoPlaces = [](const Value& v) { return NumFormat::Format(v.toDouble(), "0.00"); };
    for (double shown : {4.785, 4.788337, 4.7949})
        EXPECT_TRUE(Make("4.79", false, Kind::Number, twoPlaces, 7).match(Value(shown))) << shown;
    EXPECT_FALSE(Make("4.79", false, Kind::Number, twoPlaces, 7).match(Value(4.795)));   // "4.80"
    EXPECT_FALSE(Make("4.79", true, Kind::Number, twoPlaces, 7).match(Value(4.788337)));
    EXPECT_TRUE(Make("4.7*", false, Kind::Number, twoPlaces, 7).match(Value(4.788337)));
    EXPECT_TRUE(Make("4.788337", false, Kind::Number, twoPlaces, 7).match(Value(double(4.788337f))));
    EXPECT_TRUE(Make("14.9", true, Kind::Number, {}, 7).match(Value(double(14.9f))));
    EXPECT_FALSE(Make("14.9", true, Kind::Number, {}, 15).match(Value(double(14.9f))));   // a double's digits
    EXPECT_TRUE(Make("0.3", true, Kind::Number, {}, 15).match(Value(0.1 + 0.2)));
    EXPECT_TRUE(Make("0", true, Kind::Number, {}, 7).match(Value(0.0)));
    EXPECT_FALSE(Make("0", true, Kind::Number, {}, 7).match(Value(1e-30)));
    // Whole numbers are compared as whole numbers, past what a double tells apart too.
    const qlonglong odd = (1LL << 53) + 1;
    for (bool matchCase : {false, true}) {
        EXPECT_TRUE(Make("9007199254740993", matchCase, Kind::Number).match(Value(odd))) << matchCase;
        EXPECT_FALSE(Make("9007199254740993", matchCase, Kind::Number).match(Value(odd - 1))) << matchCase;
        EXPECT_TRUE(Make("3000000000", matchCase, Kind::Number).match(Value(3000000000LL))) << matchCase;
    }
    // A text that is no number: not found at once with Match Case, a Like search without it.
    EXPECT_EQ(Make("abc", true, Kind::Number).outcome, Criteria::Outcome::NotSearched);
    const Criteria text = Make("1?", false, Kind::Number);
    EXPECT_EQ(text.outcome, Criteria::Outcome::Search);
    EXPECT_TRUE(text.match(Value(12LL)));

    // Dates: a date that does not exist is refused; a valid one finds that date and time.
    EXPECT_EQ(Make("2021-02-31", false, Kind::Date).outcome, Criteria::Outcome::InvalidDate);
    EXPECT_EQ(Make("soon", true, Kind::Date).outcome, Criteria::Outcome::InvalidDate);
    const Criteria day = Make("2021-03-04", false, Kind::Date);
    EXPECT_TRUE(day.match(Value(QString("2021-03-04 00:00:00"))));
    EXPECT_FALSE(day.match(Value(QString("2021-03-04 12:00:00"))));
    EXPECT_TRUE(Make("2021-03-04 12:00", true, Kind::Date).match(Value(QString("2021-03-04 12:00:00"))));
    // Times search as the grid shows them, with Match Case too (no number to read in them).
    EXPECT_EQ(RecordSearch::KindOfType(kdb::dbTime), Kind::Date);
    EXPECT_EQ(RecordSearch::KindOfType(kdb::dbTimeStamp), Kind::Date);
    EXPECT_TRUE(Make("08:50", true, RecordSearch::KindOfType(kdb::dbTime)).match(Value(QString("08:50:00"))));
    EXPECT_FALSE(Make("08:50", true, RecordSearch::KindOfType(kdb::dbTime)).match(Value(QString("20:50:00"))));
}

TEST(FindRules, TheNextMatchWrapsRoundAndNoMatchAnswersNone)
{
    // A view of eight rows whose keys are 10, 20, ... 80.
    const QString folder = TestEnv::NewFolder("findrules");
    const QString path = folder + "/rows.kvs";
    {
        kdb::Database db = kdb::Database::Create(path);
        db.Execute("CREATE TABLE " + kLink + " (K INTEGER PRIMARY KEY, V TEXT)");
        for (int i = 1; i <= 8; ++i)
            db.Execute("INSERT INTO " + kLink + " VALUES (?, ?)", {i * 10, QString(i % 4 == 0 ? "hit" : "miss")});
    }
    BrowseQuery q;
    q.joinTest = false;
    q.keyField = "K";
    q.columns << BrowseColumn{kLink, "V", 2};
    BrowseRowSource rows(path);
    ASSERT_EQ(rows.Load(q), 8);
    const auto hit = RecordSearch::Make("HIT", false, RecordSearch::Kind::Text);
    const BrowseColumn v = q.columns[0];
    EXPECT_EQ(RecordSearch::FindNext(rows, v, hit, -1, true), 3);   // rows 3 and 7 hold "hit"
    EXPECT_EQ(RecordSearch::FindNext(rows, v, hit, 3, true), 7);
    EXPECT_EQ(RecordSearch::FindNext(rows, v, hit, 7, true), 3);    // past the last: from the top
    EXPECT_EQ(RecordSearch::FindNext(rows, v, hit, 3, false), 7);   // up past the first: from the end
    EXPECT_EQ(RecordSearch::FindNext(rows, v, hit, -1, false), 7);
    // The only match is found again from itself.
    const auto only = RecordSearch::Make("hit", true, RecordSearch::Kind::Text);
    {
        kdb::Database db = kdb::Database::Open(path, false, false);
        db.Execute("UPDATE " + kLink + " SET V = 'miss' WHERE K = 40");
    }
    EXPECT_EQ(RecordSearch::FindNext(rows, v, only, 7, true), 7);
    const auto none = RecordSearch::Make("nothing", false, RecordSearch::Kind::Text);
    EXPECT_EQ(RecordSearch::FindNext(rows, v, none, 2, true), -1);
    rows.Release();
}
