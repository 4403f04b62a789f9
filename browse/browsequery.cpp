#include "browse/browsequery.h"

#include "core/kverror.h"
#include "data/datadef.h"
#include "data/fieldtypes.h"
#include "data/importwriter.h"
#include "kdb/kdb.h"
#include "network/classvalue.h"

#include <sqlite3.h>

namespace {

const QString kTest = ProjectSchema::TestTable();
const QString kLink = ProjectSchema::LinkTable();

BrowseColumn testColumn(const QString& name)
{
    return {kTest, name, 0};
}

QString placeholders(int count)
{
    QString s;
    s.reserve(count * 2);
    for (int i = 0; i < count; ++i)
        s += i ? QStringLiteral(",?") : QStringLiteral("?");
    return s;
}

struct Fields {
    int16_t key = 0;
    int16_t predict = 0;
};

// One pass over the fields; a later match replaces an earlier one.
Fields findFields(const CDataDef& ddo, bool sfam)
{
    Fields f;
    const int16_t role = sfam ? roleSFamPredict : roleBPPredict;
    for (int16_t i = 1; i <= ddo.NumFields(); ++i) {
        if (ddo.PrimaryKeyField(i))
            f.key = i;
        if (ddo.UserMatchType(i) == role)
            f.predict = i;
    }
    if (f.key == 0)
        throw KvError(KvErr::ItemNotFound, {}, QStringLiteral("The source table has no key field."));
    if (f.predict == 0)
        throw KvError(KvErr::ItemNotFound, {}, QStringLiteral("The project has no prediction field."));
    return f;
}

BrowseColumn linkColumn(const CDataDef& ddo, int16_t i)
{
    return {kLink, ddo.FieldName(i), i};
}

// The source fields other than the prediction field, in field order.
void appendSourceFields(BrowseQuery& q, const CDataDef& ddo, int16_t predict)
{
    for (int16_t i = 1; i <= ddo.NumFields(); ++i)
        if (i != predict)
            q.columns << linkColumn(ddo, i);
}

void classTextFunction(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    kdb::Value v;
    switch (sqlite3_value_type(argv[0])) {
    case SQLITE_INTEGER:
        v = kdb::Value(static_cast<long long>(sqlite3_value_int64(argv[0])));
        break;
    case SQLITE_FLOAT:
        v = kdb::Value(sqlite3_value_double(argv[0]));
        break;
    case SQLITE_NULL:
        sqlite3_result_null(ctx);
        return;
    default:
        v = kdb::Value(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_value_text(argv[0])),
                                         sqlite3_value_bytes(argv[0])));
    }
    const QByteArray u = ClassValueText(v).toUtf8();
    sqlite3_result_text(ctx, u.constData(), int(u.size()), SQLITE_TRANSIENT);
}

} // namespace

QString BrowseColumn::Sql() const
{
    return kdb::QuoteIdent(table) + QLatin1Char('.') + kdb::QuoteIdent(field);
}

void PushSortKey(BrowseSortKeys& keys, const BrowseColumn& column, bool desc)
{
    if (!keys[1].IsFree() && keys[1].column == column) {
        keys[1] = keys[0];
    } else if (keys[0].IsFree() || keys[0].column != column) {
        keys[2] = keys[1];
        keys[1] = keys[0];
    }
    keys[0] = {column, desc};
}

QString SortStatusText(const BrowseSortKeys& keys)
{
    if (keys[0].IsFree())
        return {};
    QString s = QStringLiteral("Sorted by:  [") + keys[0].column.field + QLatin1Char(']');
    for (int k = 1; k < 3; ++k)
        if (!keys[size_t(k)].IsFree())
            s += QStringLiteral(",  [") + keys[size_t(k)].column.field + QLatin1Char(']');
    return s;
}

BrowseColumn BrowseQuery::KeyColumn() const
{
    if (joinTest)
        return testColumn(ProjectSchema::TestKeyColumn());
    return {kLink, keyField, 0};
}

int BrowseQuery::ResultColumns() const
{
    int n = 0;
    while (n < columns.size() && (columns[n].IsTest() || (n == 1 && joinTest)))
        ++n;
    return n;
}

int BrowseQuery::ColumnIndex(const BrowseColumn& column) const
{
    return int(columns.indexOf(column));
}

bool BrowseQuery::HasMarks() const
{
    return joinTest && columns.contains(testColumn(ProjectSchema::MarkColumn()));
}

QString BrowseQuery::FromSql() const
{
    if (!joinTest)
        return kdb::QuoteIdent(kLink);
    return kdb::QuoteIdent(kTest) + QStringLiteral(" INNER JOIN ") + kdb::QuoteIdent(kLink) + QStringLiteral(" ON ")
        + testColumn(ProjectSchema::TestKeyColumn()).Sql() + QStringLiteral(" = ")
        + BrowseColumn{kLink, keyField, 0}.Sql();
}

QString BrowseQuery::WhereSql(QList<kdb::Value>& params) const
{
    const QString actual = predictColumn.Sql();
    const QString predicted = testColumn(ProjectSchema::PredictedColumn()).Sql();
    switch (filter) {
    case Filter::None:
        return {};
    case Filter::ClassPair: {
        QStringList terms;
        if (actualValue) {
            terms << actual + QStringLiteral(" = ?");
            params << *actualValue;
        }
        if (predictedValue) {
            terms << predicted + QStringLiteral(" = ?");
            params << kdb::Value(*predictedValue);
        }
        if (terms.isEmpty())
            return {};
        return QStringLiteral(" WHERE ") + terms.join(QStringLiteral(" AND "));
    }
    case Filter::Correct:
    case Filter::Incorrect:
        return QStringLiteral(" WHERE ") + actual + QStringLiteral(" IS NOT NULL AND KvClassText(") + actual
            + (filter == Filter::Correct ? QStringLiteral(") = ") : QStringLiteral(") <> ")) + predicted;
    }
    return {};
}

QString BrowseQuery::OrderSql(QList<kdb::Value>& params) const
{
    QStringList terms;
    if (!sortKeys[0].IsFree()) {
        for (const BrowseSortKey& k : sortKeys)
            if (!k.IsFree())
                terms << k.column.Sql() + (k.desc ? QStringLiteral(" DESC") : QString());
    } else if (distanceFrom && joinTest) {
        const QString a = predictColumn.Sql();
        const QString p = testColumn(ProjectSchema::PredictedColumn()).Sql();
        // Nearest first; a row without an actual value has no distance and comes last.
        terms << QStringLiteral("(%1 - ?) * (%1 - ?) + (%2 - ?) * (%2 - ?) NULLS LAST").arg(a, p);
        params << distanceFrom->second << distanceFrom->second << distanceFrom->first << distanceFrom->first;
    } else if (worstFirst && ColumnIndex(testColumn(ProjectSchema::DifferenceColumn())) >= 0) {
        terms << testColumn(ProjectSchema::DifferenceColumn()).Sql() + QStringLiteral(" DESC");
    }
    // Rows that tie keep the order of the testing rows (or of the source's key).
    terms << (joinTest ? kdb::QuoteIdent(kTest) + QStringLiteral(".rowid") : KeyColumn().Sql());
    return QStringLiteral(" ORDER BY ") + terms.join(QStringLiteral(", "));
}

QString BrowseQuery::KeyListSql(QList<kdb::Value>& params) const
{
    QString sql = QStringLiteral("SELECT ") + KeyColumn().Sql() + QStringLiteral(" FROM ") + FromSql();
    sql += WhereSql(params);
    sql += OrderSql(params);
    return sql;
}

QString BrowseQuery::RowsByKeySql(int count) const
{
    QStringList select{KeyColumn().Sql()};
    for (const BrowseColumn& c : columns)
        select << c.Sql();
    return QStringLiteral("SELECT ") + select.join(QStringLiteral(", ")) + QStringLiteral(" FROM ") + FromSql()
        + QStringLiteral(" WHERE ") + KeyColumn().Sql() + QStringLiteral(" IN (") + placeholders(count)
        + QLatin1Char(')');
}

QString BrowseQuery::MarkAllSql(int mode, QList<kdb::Value>& params) const
{
    const QString mark = kdb::QuoteIdent(ProjectSchema::MarkColumn());
    QString sql = QStringLiteral("UPDATE ") + kdb::QuoteIdent(kTest) + QStringLiteral(" SET ") + mark;
    if (mode == 1) {
        // Jet's Xor -1 on a 0/-1 mark: every bit flipped; Null stays Null.
        sql += QStringLiteral(" = ~") + mark;
    } else {
        sql += QStringLiteral(" = ?");
        params << (mode == -1 ? -1 : 0);
    }
    QList<kdb::Value> where;
    const QString filterSql = WhereSql(where);
    if (!filterSql.isEmpty()) {
        sql += QStringLiteral(" WHERE ") + kdb::QuoteIdent(ProjectSchema::TestKeyColumn())
            + QStringLiteral(" IN (SELECT ") + testColumn(ProjectSchema::TestKeyColumn()).Sql()
            + QStringLiteral(" FROM ") + FromSql() + filterSql + QLatin1Char(')');
        params << where;
    }
    return sql;
}

QString BrowseQuery::MarkOneSql()
{
    return QStringLiteral("UPDATE ") + kdb::QuoteIdent(ProjectSchema::TestTable()) + QStringLiteral(" SET ")
           + kdb::QuoteIdent(ProjectSchema::MarkColumn()) + QStringLiteral(" = ? WHERE ")
           + kdb::QuoteIdent(ProjectSchema::TestKeyColumn()) + QStringLiteral(" = ?");
}

namespace BrowseQueries {

namespace {
// The query's frame: the join (or the linked table alone), the key and the prediction field;
// the leading columns, then every other source field in field order.
BrowseQuery frame(const CDataDef& ddo, bool sfam, bool joinTest)
{
    const Fields f = findFields(ddo, sfam);
    BrowseQuery q;
    q.joinTest = joinTest;
    q.keyField = ddo.FieldName(f.key);
    q.predictColumn = linkColumn(ddo, f.predict);
    if (joinTest) {
        q.columns << testColumn(ProjectSchema::MarkColumn()) << q.predictColumn
                  << testColumn(ProjectSchema::PredictedColumn());
        if (!sfam)
            q.columns << testColumn(ProjectSchema::DifferenceColumn());
    } else {
        q.columns << q.predictColumn;
    }
    appendSourceFields(q, ddo, f.predict);
    return q;
}
} // namespace

BrowseQuery TestResults(const CDataDef& ddo, bool sfam)
{
    return frame(ddo, sfam, true);
}

BrowseQuery WorstFirst(const CDataDef& ddo)
{
    BrowseQuery q = TestResults(ddo, false);
    q.worstFirst = true;
    return q;
}

std::optional<double> DrillNumber(const QString& text)
{
    QString t = text.trimmed();
    const qsizetype comma = t.indexOf(QLatin1Char(','));
    if (comma >= 0)
        t[comma] = QLatin1Char('.');
    bool ok = false;
    const double d = t.toDouble(&ok);
    if (!ok)
        return std::nullopt;
    return d;
}

std::optional<int64_t> WholeNumber(const QString& text)
{
    int64_t n = 0;
    return DataImport::ParseWhole(text.toStdString(), n) == DataImport::WholeKind::Whole ? std::optional<int64_t>(n)
                                                                                        : std::nullopt;
}

std::optional<BrowseQuery> Outlyers(const CDataDef& ddo, bool sfam, const QString& actual, const QString& predicted)
{
    if (actual.isEmpty() && predicted.isEmpty())
        return std::nullopt;
    BrowseQuery q = TestResults(ddo, sfam);
    if (sfam) {
        q.filter = BrowseQuery::Filter::ClassPair;
        if (!actual.isEmpty()) {
            // A numeric class field compares as a number (a whole one exactly), any other as
            // text.
            const auto number = DrillNumber(actual);
            const auto whole = WholeNumber(actual);
            if (dbUtilities::FieldTypeClass(ddo.FieldType(q.predictColumn.fieldNumber)) != fcNumeric || !number)
                q.actualValue = kdb::Value(actual);
            else if (whole)
                q.actualValue = kdb::Value(qlonglong(*whole));
            else
                q.actualValue = kdb::Value(*number);
        }
        if (!predicted.isEmpty())
            q.predictedValue = predicted;
        return q;
    }
    const auto a = DrillNumber(actual);
    const auto p = DrillNumber(predicted);
    if (!a || !p)
        return std::nullopt;
    q.distanceFrom = std::make_pair(*p, *a);
    return q;
}

BrowseQuery Special(const CDataDef& ddo, bool sfam, int kind)
{
    BrowseQuery q = TestResults(ddo, sfam);
    if (kind == BrowseCorrect)
        q.filter = BrowseQuery::Filter::Correct;
    else if (kind == BrowseIncorrect)
        q.filter = BrowseQuery::Filter::Incorrect;
    return q;
}

BrowseQuery WholeTable(const CDataDef& ddo, bool sfam)
{
    return frame(ddo, sfam, false);
}

} // namespace BrowseQueries

void RegisterBrowseFunctions(sqlite3* db)
{
    sqlite3_create_function_v2(db, "KvClassText", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                               classTextFunction, nullptr, nullptr, nullptr);
}
