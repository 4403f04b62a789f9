#include "charts/matrixcount.h"

#include "core/kverror.h"
#include "core/numformat.h"
#include "kdb/kdb.h"
#include "network/classvalue.h"
#include "network/networkproject.h"

#include <QHash>
#include <limits>

namespace {

QString rate(int32_t total, int32_t diagonal)
{
    if (total == 0)
        return QStringLiteral("0.00%");
    return NumFormat::Format(double(total - diagonal) / double(total), QStringLiteral("0.00%"));
}

int32_t checkedAdd(int32_t a, int32_t b)
{
    int32_t sum = 0;
    if (__builtin_add_overflow(a, b, &sum))
        throw KvError(KvErr::Overflow);
    return sum;
}

} // namespace

QString MatrixCount::RowRate(int p) const
{
    return rate(sumPredicted[size_t(p)], At(p, p));
}

QString MatrixCount::ColumnRate(int a) const
{
    return rate(sumActual[size_t(a)], At(a, a));
}

int MatrixCount::FindClassIndex(const QString& name) const
{
    for (size_t i = 0; i < classes.size(); ++i)
        if (classes[i].compare(name, Qt::CaseInsensitive) == 0)
            return int(i);
    return -1;
}

void MatrixCount::Add(const QString& actual, const QString& predicted, int32_t count)
{
    if (cells.size() != classes.size() * classes.size())
        cells.assign(classes.size() * classes.size(), 0);
    const int a = FindClassIndex(actual);
    const int p = FindClassIndex(predicted);
    if (a < 0 || p < 0)
        return;
    int32_t& cell = cells[size_t(p) * classes.size() + size_t(a)];
    // Values that differ only in case are one class: their groups add up.
    cell = checkedAdd(cell, count);
}

void MatrixCount::Totals()
{
    const size_t n = classes.size();
    if (cells.size() != n * n)
        cells.assign(n * n, 0);
    sumPredicted.assign(n, 0);
    sumActual.assign(n, 0);
    total = 0;
    int32_t predWrong = 0, actWrong = 0;
    for (size_t i = 0; i < n; ++i) {
        for (size_t j = 0; j < n; ++j) {
            sumActual[i] = checkedAdd(sumActual[i], At(int(j), int(i)));
            sumPredicted[i] = checkedAdd(sumPredicted[i], At(int(i), int(j)));
        }
        total = checkedAdd(total, sumPredicted[i]);
        predWrong = checkedAdd(predWrong, sumPredicted[i] - At(int(i), int(i)));
        actWrong = checkedAdd(actWrong, sumActual[i] - At(int(i), int(i)));
    }
    predErr = total != 0 ? float(double(predWrong) / total) : 0.0f;
    actErr = total != 0 ? float(double(actWrong) / total) : 0.0f;
}

MatrixCount MatrixCounting::Count(const QString& projectFile, const QString& predictField, const QString& keyField)
{
    kdb::Database db = kdb::Database::Open(projectFile, false, true);
    MatrixCount m;
    {
        kdb::Reader classes = db.Query(QStringLiteral("SELECT ") + kdb::QuoteIdent(QStringLiteral("Class"))
                                       + QStringLiteral(" FROM Classes"));
        while (classes.Next())
            m.classes.push_back(ClassValueText(classes.Get(0)));
    }
    // An empty class list has nothing to count (the original failed on its last row).
    if (m.classes.empty())
        throw KvError(KvErr::NoCurrentRecord);
    m.cells.assign(m.classes.size() * m.classes.size(), 0);

    // The rows are read once and grouped here: grouping in SQL sorts every row first, which
    // costs several times the read itself. Values equal in their stored bytes are one group;
    // each group's class texts are made once, from its first row.
    const QString p = QStringLiteral("L.") + kdb::QuoteIdent(predictField);
    const QString k = QStringLiteral("L.") + kdb::QuoteIdent(keyField);
    const QString sql = QStringLiteral("SELECT ") + p + QStringLiteral(", T.Predicted FROM LinkDataSource AS L "
                                                                      "INNER JOIN Test AS T ON ")
                        + k + QStringLiteral(" = T.MainPrimaryKey WHERE ") + p + QStringLiteral(" IS NOT NULL");
    struct Group {
        QString actual, predicted;
        int64_t count = 0;
    };
    QHash<QByteArray, Group> groups;
    kdb::Reader rows = db.Query(sql);
    QByteArray key;
    while (rows.Next()) {
        if (rows.IsNull(1))
            continue;
        key = rows.Bytes(0);
        key.append('\0');
        key.append(rows.Bytes(1));
        auto it = groups.find(key);
        if (it == groups.end())
            it = groups.insert(key, Group{ClassValueText(rows.Get(0)), ClassValueText(rows.Get(1)), 0});
        ++it->count;
    }
    for (const Group& g : std::as_const(groups)) {
        // Rows the network did not use carry the marker in place of a class.
        if (IsNoPrediction(g.predicted))
            continue;
        if (g.count > std::numeric_limits<int32_t>::max())
            throw KvError(KvErr::Overflow);
        m.Add(g.actual, g.predicted, int32_t(g.count));
    }
    m.Totals();
    return m;
}
