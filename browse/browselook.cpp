#include "browse/browselook.h"

#include "core/numformat.h"
#include "data/datadef.h"
#include "data/fieldtypes.h"
#include "kdb/kdb.h"
#include "network/networkproject.h"

#include <QHash>

namespace BrowseLook {

QString PredictionFormat(int16_t fieldType, double userMin, double userMax)
{
    if (fieldType == kdb::dbCurrency)
        return QStringLiteral("0.00");
    const double r = userMax - userMin;
    if (r > 100)
        return QStringLiteral("0");
    if (r > 10)
        return QStringLiteral("0.0");
    if (r > 1)
        return QStringLiteral("0.00");
    if (r > 0.1)
        return QStringLiteral("0.000");
    if (r > 0.01)
        return QStringLiteral("0.0000");
    return QStringLiteral("0.00000");
}

QString PredictionText(const kdb::Value& value, const QString& format, dbUtilities::ValueForm form)
{
    if (value.isNull())
        return QStringLiteral("N/A");
    const auto number = value.ToDouble();
    if (number && IsNoPrediction(*number))
        return QStringLiteral("N/A");
    const QString text = value.toText();
    if (text.isEmpty() || !number)
        return text;
    if (form != dbUtilities::ValueForm::Number)
        return dbUtilities::SerialText(*number, form);
    if (format.isEmpty())
        return text;
    return NumFormat::Shown(*number, format);
}

QString CellText(const kdb::Value& value, int digits)
{
    return dbUtilities::CellText(value, digits);
}

int FieldDigits(const CDataDef& ddo, int16_t field)
{
    return field > 0 && field <= ddo.NumFields() ? dbUtilities::TypeDigits(ddo.FieldType(field)) : DoubleDigits;
}

int FieldWidth(const CDataDef& ddo, int16_t field, int otherwise)
{
    return field > 0 && field <= ddo.NumFields() && ddo.FieldType(field) == kdb::dbBigInt ? WholeNumberWidth
                                                                                           : otherwise;
}

QString HeadingTip()
{
    return QStringLiteral("Right Click Column Header To Sort");
}

QString CellTip()
{
    return QStringLiteral("Double Click Or Space Bar To Set Mark");
}

bool IsSortKey(const BrowseSortKeys& keys, const BrowseColumn& column)
{
    for (const BrowseSortKey& k : keys) {
        if (k.IsFree())
            break;
        if (k.column == column)
            return true;
    }
    return false;
}

Grid TestResults(const BrowseQuery& query, const CDataDef& ddo)
{
    Grid g;
    const int16_t p = query.predictColumn.fieldNumber;
    // Classes (no Difference column) are shown as the network wrote them; numbers by the range.
    const bool classes = query.ColumnIndex({ProjectSchema::TestTable(), ProjectSchema::DifferenceColumn(), 0}) < 0;
    if (!classes && p > 0)
        g.numberFormat = PredictionFormat(ddo.FieldType(p), ddo.UserMin(p), ddo.UserMax(p));
    g.fixedColumns = query.ResultColumns();

    // The used-field table: field name -> whether the field has a role.
    QHash<QString, bool> used;
    for (int16_t i = 1; i <= ddo.NumFields(); ++i)
        used.insert(ddo.FieldName(i), ddo.UserMatchType(i) != roleUnused);

    bool firstFound = false;
    for (int c = 0; c < query.columns.size(); ++c) {
        const BrowseColumn& bc = query.columns[c];
        Column col;
        col.caption = bc.field;
        if (!bc.IsTest())
            col.digits = FieldDigits(ddo, bc.fieldNumber);
        else if (!classes && (bc.field == ProjectSchema::PredictedColumn() || bc.field == ProjectSchema::DifferenceColumn()))
            col.digits = SingleDigits; // the results table keeps numbers in single precision
        if (c < g.fixedColumns) {
            col.fixedPane = true;
            col.heading = FixedHeading;
            col.resizable = false;
            if (c == 0 && bc == BrowseColumn{ProjectSchema::TestTable(), ProjectSchema::MarkColumn(), 0}) {
                col.caption = QStringLiteral("*");
                col.widthTwips = MarkWidth;
                col.background = MarkCell;
                col.markPicture = true;
            } else {
                col.widthTwips = ResultWidth;
                col.centred = true;
                col.formatted = bc.IsTest()
                    && (bc.field == ProjectSchema::PredictedColumn() || bc.field == ProjectSchema::DifferenceColumn());
                // A predicted date or time reads as the actual value beside it; the difference
                // of two times as a time too (a span of hours), of two dates as days.
                if (!classes && p > 0 && bc.IsTest()) {
                    const dbUtilities::ValueForm form = dbUtilities::FieldValueForm(ddo.FieldType(p));
                    if (bc.field == ProjectSchema::PredictedColumn()
                        || (bc.field == ProjectSchema::DifferenceColumn() && form == dbUtilities::ValueForm::Time))
                        col.form = form;
                }
            }
        } else if (!bc.IsTest()) {
            col.widthTwips = FieldWidth(ddo, bc.fieldNumber, col.widthTwips);
            const auto it = used.constFind(bc.field);
            if (it != used.constEnd()) {
                if (*it) {
                    if (!firstFound) {
                        g.firstUsedColumn = c;
                        firstFound = true;
                    }
                } else {
                    col.heading = UnusedField;
                    col.text = UnusedField;
                }
            }
        }
        col.underline = IsSortKey(query.sortKeys, bc);
        g.columns.push_back(col);
    }
    g.leftColumn = g.firstUsedColumn;
    for (int c = g.fixedColumns; c < g.firstUsedColumn; ++c)
        if (!query.columns[c].IsTest() && query.columns[c].field == query.keyField) {
            g.leftColumn = c;
            break;
        }
    return g;
}

} // namespace BrowseLook
