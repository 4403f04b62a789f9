#include "charts/matrixcount.h"

#include "core/kverror.h"
#include "core/numformat.h"
#include "kdb/kdb.h"
#include "network/classvalue.h"
#include "network/networkproject.h"

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

    const QString p = QStringLiteral("L.") + kdb::QuoteIdent(predictField);
    const QString k = QStringLiteral("L.") + kdb::QuoteIdent(keyField);
    const QString sql = QStringLiteral("SELECT ") + p + QStringLiteral(", T.Predicted, COUNT(*) FROM LinkDataSource AS L "
                                                                      "INNER JOIN Test AS T ON ")
                        + k + QStringLiteral(" = T.MainPrimaryKey WHERE ") + p
                        + QStringLiteral(" IS NOT NULL GROUP BY ") + p + QStringLiteral(", T.Predicted");
    kdb::Reader rows = db.Query(sql);
    while (rows.Next()) {
        const QString predicted = ClassValueText(rows.Get(1));
        // Rows the network did not use carry the marker in place of a class.
        if (rows.IsNull(1) || IsNoPrediction(predicted))
            continue;
        const int64_t count = rows.Get(2).toInt();
        if (count > std::numeric_limits<int32_t>::max())
            throw KvError(KvErr::Overflow);
        m.Add(ClassValueText(rows.Get(0)), predicted, int32_t(count));
    }
    m.Totals();
    return m;
}
