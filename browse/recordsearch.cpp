#include "browse/recordsearch.h"

#include "browse/likepattern.h"
#include "browse/rowsource.h"
#include "core/numformat.h"
#include "data/fieldtypes.h"
#include "kdb/kdb.h"

#include <QRegularExpression>
#include <sqlite3.h>

#include <cmath>

namespace {

kdb::Value fromSqlite(sqlite3_value* v)
{
    switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER:
        return kdb::Value(static_cast<long long>(sqlite3_value_int64(v)));
    case SQLITE_FLOAT:
        return kdb::Value(sqlite3_value_double(v));
    case SQLITE_NULL:
        return {};
    case SQLITE_BLOB:
        return kdb::Value(QByteArray(static_cast<const char*>(sqlite3_value_blob(v)), sqlite3_value_bytes(v)));
    default:
        return kdb::Value(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_value_text(v)), sqlite3_value_bytes(v)));
    }
}

// KvFindMatch(value): the search's own test, handed to SQLite as a function of this connection.
void findMatchFunction(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    const auto* match = static_cast<const RecordSearch::Match*>(sqlite3_user_data(ctx));
    sqlite3_result_int(ctx, (*match)(fromSqlite(argv[0])) ? 1 : 0);
}

std::optional<double> number(const QString& text)
{
    return kdb::Value(text).ToDouble();
}

// A plain decimal number typed ("4.79", "-12", ".5"; no pattern character, no exponent) is the
// text of a cell only when the grid rounded the cell's value to that text's last digit: the
// value lies within half a unit of that digit. The reach is the whole unit, to be safe; none
// for any other text.
std::optional<double> shownReach(const QString& text)
{
    static const QRegularExpression plain(QStringLiteral("^[-+]?(?=\\.?[0-9])[0-9]*(?:\\.([0-9]*))?$"));
    const QRegularExpressionMatch m = plain.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    return std::pow(10.0, -double(m.capturedLength(1)));
}

} // namespace

namespace RecordSearch {

Kind KindOfType(int16_t fieldType)
{
    if (fieldType == kdb::dbText || fieldType == kdb::dbMemo)
        return Kind::Text;
    // A time is typed as the grid shows it, and found whatever form the source wrote it in.
    if (dbUtilities::FieldValueForm(fieldType) != dbUtilities::ValueForm::Number)
        return Kind::Date;
    return Kind::Number;
}

Kind KindOfColumn(const BrowseQuery& query, const BrowseColumn& column, int16_t fieldType)
{
    if (column.IsTest()) {
        const bool sfam =
            !query.columns.contains(BrowseColumn{ProjectSchema::TestTable(), ProjectSchema::DifferenceColumn(), 0});
        if (column.field == ProjectSchema::PredictedColumn() && sfam)
            return Kind::Text;
        return Kind::Number;
    }
    return KindOfType(fieldType);
}

Criteria Make(const QString& text, bool matchCase, Kind kind, const ShownText& shown, int digits)
{
    Criteria c;
    const ShownText textOf = shown ? shown : ShownText([](const kdb::Value& v) { return v.toText(); });
    switch (kind) {
    case Kind::Date: {
        const auto serial = kdb::DateSerial(text);
        if (!serial) {
            c.outcome = Criteria::Outcome::InvalidDate;
            return c;
        }
        const double day = *serial;
        c.match = [day](const kdb::Value& v) {
            const auto s = kdb::DateSerial(v);
            return s && std::fabs(*s - day) < 1e-9;
        };
        return c;
    }
    case Kind::Number: {
        if (const auto n = number(text)) {
            // Equal as far as the field holds digits: a single-precision 14.9 is stored as
            // 14.8999996..., which is 14.9 to its 7 digits. Two numbers of one text at `digits`
            // lie within |n| x 10^(2 - digits) of each other; a value farther away is no
            // match and is not written out (a search reads every row of the column).
            // A whole number typed and a whole number stored compare exactly: past 2^53 a
            // double takes neighbours for one number.
            const double wanted = *n;
            const QString wantedText = NumFormat::Plain(wanted, digits);
            const double equalReach = 2 * std::fabs(wanted) * std::pow(10.0, 2 - digits);
            const std::optional<int64_t> whole = BrowseQueries::WholeNumber(text);
            const auto equal = [wanted, wantedText, equalReach, digits, whole](const kdb::Value& v, double d) {
                if (whole && v.type() == kdb::Value::Type::Integer)
                    return v.toInt() == *whole;
                return std::fabs(d - wanted) <= equalReach && NumFormat::Plain(d, digits) == wantedText;
            };
            if (matchCase) {
                c.match = [equal](const kdb::Value& v) {
                    const auto d = v.isNull() ? std::nullopt : v.ToDouble();
                    return d && equal(v, *d);
                };
                return c;
            }
            auto pattern = std::make_shared<LikePattern::Compiled>(text);
            const std::optional<double> reach = shownReach(text);
            c.match = [equal, pattern, textOf, wanted, reach](const kdb::Value& v) {
                if (v.isNull())
                    return false;
                const auto d = v.ToDouble();
                if (d && equal(v, *d))
                    return true;
                if (d && reach && std::fabs(*d - wanted) > *reach)
                    return false;
                return pattern->Matches(textOf(v));
            };
            return c;
        }
        if (matchCase) {
            c.outcome = Criteria::Outcome::NotSearched;
            return c;
        }
        break; // the text form
    }
    case Kind::Text:
        if (matchCase) {
            c.match = [text](const kdb::Value& v) { return !v.isNull() && v.toText() == text; };
            c.equals = kdb::Value(text);
            return c;
        }
        break;
    }
    auto pattern = std::make_shared<LikePattern::Compiled>(text);
    c.match = [pattern, textOf](const kdb::Value& v) { return !v.isNull() && pattern->Matches(textOf(v)); };
    return c;
}

int64_t NextRow(const BrowseRowSource& rows, const std::function<bool(const kdb::Value& key)>& keyMatches,
                int64_t from, bool down)
{
    const int64_t n = rows.RowCount();
    if (n <= 0)
        return -1;
    if (from < 0 || from >= n)
        from = down ? -1 : n;
    // From the row after `from` to the end, then round from the other end up to `from` itself.
    for (int64_t step = 1; step <= n; ++step) {
        int64_t row = down ? from + step : from - step;
        row = ((row % n) + n) % n;
        if (keyMatches(rows.Key(row)))
            return row;
    }
    return -1;
}

bool KeySet::Contains(const kdb::Value& key) const
{
    if (key.type() == kdb::Value::Type::Integer)
        return m_ints.count(key.toInt()) != 0;
    if (const auto d = key.ToDouble(); d && std::floor(*d) == *d && std::fabs(*d) < 9e15)
        return m_ints.count(int64_t(*d)) != 0;
    return m_texts.count(key.toText()) != 0;
}

void KeySet::Add(const kdb::Value& key)
{
    if (key.type() == kdb::Value::Type::Integer) {
        m_ints.insert(key.toInt());
        return;
    }
    if (const auto d = key.ToDouble(); d && std::floor(*d) == *d && std::fabs(*d) < 9e15) {
        m_ints.insert(int64_t(*d));
        return;
    }
    m_texts.insert(key.toText());
}

KeySet MatchingKeys(const QString& databaseName, const BrowseQuery& query, const BrowseColumn& column,
                    const Criteria& criteria)
{
    KeySet keys;
    // A connection of the search's own, held only for this pass.
    kdb::Database db = kdb::Database::Open(databaseName, false, true);
    sqlite3_create_function_v2(db.handle(), "KvFindMatch", 1, SQLITE_UTF8, const_cast<Match*>(&criteria.match),
                               findMatchFunction, nullptr, nullptr, nullptr);
    // Only the searched column's own table is read: its key is the view's row key (the test
    // rows carry the source key as MainPrimaryKey).
    const BrowseColumn key = column.IsTest()
                                 ? BrowseColumn{ProjectSchema::TestTable(), ProjectSchema::TestKeyColumn(), 0}
                                 : BrowseColumn{ProjectSchema::LinkTable(), query.keyField, 0};
    QString sql = QStringLiteral("SELECT ") + key.Sql() + QStringLiteral(" FROM ") + kdb::QuoteIdent(column.table);
    QList<kdb::Value> params;
    if (criteria.equals) {
        // Exact, whatever collation the column was declared with: with Match Case "o'brien" is
        // no match for "O'Brien".
        sql += QStringLiteral(" WHERE ") + column.Sql() + QStringLiteral(" = ? COLLATE BINARY");
        params << *criteria.equals;
    } else {
        sql += QStringLiteral(" WHERE KvFindMatch(") + column.Sql() + QStringLiteral(")");
    }
    kdb::Reader r = db.Query(sql, params);
    while (r.Next())
        keys.Add(r.Get(0));
    return keys;
}

KeySet WrongPredictionKeys(const QString& databaseName, const BrowseQuery& query)
{
    KeySet keys;
    kdb::Database db = kdb::Database::Open(databaseName, false, true);
    RegisterBrowseFunctions(db.handle());
    BrowseQuery wrong = query;
    wrong.filter = BrowseQuery::Filter::Incorrect;
    QList<kdb::Value> params;
    const QString sql = QStringLiteral("SELECT ") + wrong.KeyColumn().Sql() + QStringLiteral(" FROM ") + wrong.FromSql()
        + wrong.WhereSql(params);
    kdb::Reader r = db.Query(sql, params);
    while (r.Next())
        keys.Add(r.Get(0));
    return keys;
}

int64_t FindNext(BrowseRowSource& rows, const BrowseColumn& column, const Criteria& criteria, int64_t from, bool down)
{
    // The search goes through every row of the view: its key list must be whole.
    rows.WaitLoaded();
    const KeySet keys = MatchingKeys(rows.DatabaseName(), rows.Query(), column, criteria);
    if (keys.Size() == 0)
        return -1;
    return NextRow(rows, [&](const kdb::Value& k) { return keys.Contains(k); }, from, down);
}

} // namespace RecordSearch
