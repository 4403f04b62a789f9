#include "config/advancedmodel.h"

#include "browse/browsegrid.h"
#include "core/numformat.h"
#include "data/datadef.h"
#include "data/fieldtypes.h"
#include "kdb/value.h"

#include <QBrush>
#include <QColor>
#include <QFont>
#include <QLocale>
#include <algorithm>
#include <cmath>

namespace {

const char* const kCaptions[] = {"Field Name", "Field Type", "User Min", "User Max",
                                 "Min",        "Max",        "Avg",      "StdDev"};

} // namespace

CFieldLimitsModel::CFieldLimitsModel(QObject* parent) : QAbstractTableModel(parent) {}

void CFieldLimitsModel::Load(const CDataDef& ddo)
{
    beginResetModel();
    m_rows.clear();
    for (int16_t i = 1; i <= ddo.NumFields(); ++i) {
        const DataField& f = ddo.Field(i);
        m_rows.append({f.name, f.type, ddo.VeltraMatchType(i), f.userMin, f.userMax, f.min, f.max, f.avg,
                       f.stdDev});
    }
    m_loaded = UserLimits();
    m_pending = {};
    endResetModel();
}

void CFieldLimitsModel::ApplyTo(CDataDef& ddo) const
{
    for (int r = 0; r < m_rows.size() && r < ddo.NumFields(); ++r) {
        ddo.SetUserMin(int16_t(r + 1), m_rows[r].userMin);
        ddo.SetUserMax(int16_t(r + 1), m_rows[r].userMax);
    }
}

QList<std::pair<double, double>> CFieldLimitsModel::UserLimits() const
{
    QList<std::pair<double, double>> limits;
    for (const Row& r : m_rows)
        limits.append({r.userMin, r.userMax});
    return limits;
}

void CFieldLimitsModel::SetUserLimits(const QList<std::pair<double, double>>& limits)
{
    for (qsizetype r = 0; r < m_rows.size() && r < limits.size(); ++r) {
        m_rows[r].userMin = limits[r].first;
        m_rows[r].userMax = limits[r].second;
    }
    m_loaded = UserLimits();
    if (!m_rows.isEmpty())
        emit dataChanged(index(0, colUserMin), index(int(m_rows.size()) - 1, colUserMax));
}

QString CFieldLimitsModel::TypeName(int16_t type)
{
    if (type == AutoIncrType)
        return QStringLiteral("AutoIncr");
    const QString name = dbUtilities::FieldTypeName(type);
    return name == QLatin1String("Unknown") ? QString::number(type) : name;
}

bool CFieldLimitsModel::LimitEditable(int16_t type)
{
    // A Boolean's range is always 0 to 1.
    return type != kdb::dbBoolean && dbUtilities::NetworkReads(type);
}

QString CFieldLimitsModel::CellText(int row, int column) const
{
    if (row < 0 || row >= m_rows.size())
        return {};
    const Row& r = m_rows[row];
    if (column == colName)
        return r.name;
    if (column == colType)
        return TypeName(r.type);
    double value = 0;
    switch (column) {
    case colUserMin: value = r.userMin; break;
    case colUserMax: value = r.userMax; break;
    case colMin: value = r.min; break;
    case colMax: value = r.max; break;
    case colAvg: value = r.avg; break;
    case colStdDev: value = r.stdDev; break;
    default: return {};
    }
    // A time of day reads as the grid shows its values, the spread too (a duration).
    if (const auto form = dbUtilities::FieldValueForm(r.type); form == dbUtilities::ValueForm::Time)
        return dbUtilities::SerialText(value, form);
    if (r.fieldClass == fcNumeric)
        return NumFormat::Shown(value, NumFormat::Pattern(dbUtilities::FieldDecimals(r.type, r.min, r.max)));
    if (r.fieldClass == fcDate) {
        if (value == NoUserLimit)
            return {};
        if (column == colAvg || column == colStdDev)
            value = std::trunc(value);
        return dbUtilities::SerialText(value, dbUtilities::ValueForm::Date);
    }
    return {};
}

QString CFieldLimitsModel::EditText(int row, int column) const
{
    if (row < 0 || row >= m_rows.size() || (column != colUserMin && column != colUserMax))
        return CellText(row, column);
    const Row& r = m_rows[row];
    const double bound = column == colUserMin ? r.userMin : r.userMax;
    // A time within its day starts from the form it is shown in; one outside it (a limit below
    // midnight) from its number, which reads back as the same value.
    const bool timeOfDay = dbUtilities::FieldValueForm(r.type) == dbUtilities::ValueForm::Time && bound >= 0 && bound < 1;
    if (r.fieldClass != fcNumeric || timeOfDay)
        return CellText(row, column);
    // The shortest text that reads back as the very same number.
    return QLocale::c().toString(bound, 'f', QLocale::FloatingPointShortest);
}

bool CFieldLimitsModel::Refuse(int row, int column, const QString& text, const QString& message)
{
    m_refusal = message;
    m_pending = {row, column, text, message};
    emit refused(m_refusal);
    return false;
}

bool CFieldLimitsModel::SetBound(int row, int column, const QString& input)
{
    m_refusal.clear();
    if (row < 0 || row >= m_rows.size() || (column != colUserMin && column != colUserMax)
        || !LimitEditable(m_rows[row].type))
        return false;
    Row& r = m_rows[row];
    const bool isMin = column == colUserMin;
    const QString text = input.trimmed();
    const bool time = dbUtilities::FieldValueForm(r.type) == dbUtilities::ValueForm::Time;
    double value = 0;
    if (r.fieldClass == fcDate) {
        if (text.isEmpty()) {
            // An emptied date goes back to the span the statistics gave, as a number does:
            // the limits scale the training input, and the "no limit" marker as a bound
            // would squeeze every date into one end of it.
            value = isMin ? r.min : r.max;
        } else if (const std::optional<double> d = kdb::DateSerial(text)) {
            value = *d;
        } else {
            return Refuse(row, column, input, QStringLiteral("Not a date: ") + text);
        }
    } else if (text.isEmpty()) {
        // An emptied bound goes back to the one the statistics gave.
        value = isMin ? r.avg - 2 * r.stdDev : r.avg + 2 * r.stdDev;
    } else if (time) {
        // A time as the grid shows it, or the number of days the training reads.
        const std::optional<double> t = kdb::DateSerial(kdb::Value(text));
        if (!t || !std::isfinite(*t))
            return Refuse(row, column, input, QStringLiteral("Not a time: ") + text);
        value = *t;
    } else {
        bool ok = false;
        value = QLocale::c().toDouble(text, &ok);
        if (!ok || !std::isfinite(value))
            return Refuse(row, column, input, QStringLiteral("Not a number: ") + text);
    }
    const double other = isMin ? r.userMax : r.userMin;
    const bool bothSet = value != NoUserLimit && other != NoUserLimit;
    if (bothSet && (isMin ? value > other : value < other))
        return Refuse(row, column, input, QStringLiteral("User Min must not be greater than User Max."));
    if (m_pending.row == row && m_pending.column == column)
        m_pending = {};
    double& bound = isMin ? r.userMin : r.userMax;
    // A date or a time typed back as it was shown may differ from the stored one below a second.
    const bool same = (time || r.fieldClass == fcDate) && value != NoUserLimit && bound != NoUserLimit
                          ? std::fabs(value - bound) < 0.5 / 86400.0
                          : value == bound;
    if (same)
        return true;
    bound = value;
    const QModelIndex cell = index(row, column);
    emit dataChanged(cell, cell);
    return true;
}

int CFieldLimitsModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int CFieldLimitsModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : colCount;
}

QVariant CFieldLimitsModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    const int column = index.column();
    switch (role) {
    case Qt::DisplayRole:
        return CellText(index.row(), column);
    case Qt::EditRole:
        return EditText(index.row(), column);
    case CBrowseGrid::NumberRole:
        return column >= colUserMin && m_rows[index.row()].fieldClass == fcNumeric
            && dbUtilities::FieldValueForm(m_rows[index.row()].type) == dbUtilities::ValueForm::Number;
    case Qt::TextAlignmentRole:
        return column == colName ? int(Qt::AlignLeft | Qt::AlignVCenter) : int(Qt::AlignCenter);
    case Qt::BackgroundRole:
        return QBrush(column == colUserMin || column == colUserMax ? QColor(Qt::white) : QColor(0xC0, 0xC0, 0xC0));
    case Qt::ForegroundRole:
        return QBrush(QColor(Qt::black));
    default:
        return {};
    }
}

QVariant CFieldLimitsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= colCount)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (role) {
    case Qt::DisplayRole:
        return QString::fromLatin1(kCaptions[section]);
    case Qt::TextAlignmentRole:
        return int(Qt::AlignCenter);
    case Qt::FontRole: {
        QFont bold;
        bold.setBold(true);
        return bold;
    }
    default:
        return {};
    }
}

Qt::ItemFlags CFieldLimitsModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if ((index.column() == colUserMin || index.column() == colUserMax) && LimitEditable(m_rows[index.row()].type))
        f |= Qt::ItemIsEditable;
    return f;
}

bool CFieldLimitsModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || role != Qt::EditRole)
        return false;
    return SetBound(index.row(), index.column(), value.toString());
}

int GridHeightForWholeRows(int available, int chrome, int rowHeight, int rows)
{
    if (rowHeight <= 0)
        return std::max(available, chrome);
    const int fit = (available - chrome) / rowHeight;
    return chrome + rowHeight * std::clamp(fit, 1, std::max(rows, 1));
}
