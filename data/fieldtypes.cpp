#include "data/fieldtypes.h"

#include "core/numformat.h"
#include "kdb/kdb.h"

#include <cmath>

namespace {

struct TypeRow {
    int16_t code;
    const char* name;
    const char* category;
    FieldClass cls;
};

// The one table behind the three lookups; every code not listed is "Unknown" and unusable.
constexpr TypeRow kTypes[] = {
    {1, "Boolean", "Special", fcNumeric},
    {2, "Byte", "Numeric", fcNumeric},
    {3, "Integer", "Numeric", fcNumeric},
    {4, "Long", "Numeric", fcNumeric},
    {5, "Currency", "Numeric", fcNumeric},
    {6, "Single", "Numeric", fcNumeric},
    {7, "Double", "Numeric", fcNumeric},
    {8, "Date/Time", "Numeric", fcDate},
    {9, "Binary", "Special", fcUnusable},
    {10, "Text", "Text", fcText},
    {11, "Long Binary", "Special", fcUnusable},
    {12, "Memo", "Special", fcUnusable},
    {15, "GUID", "Special", fcUnusable},
    {16, "Big Integer", "Numeric", fcNumeric},
    {17, "VarBinary", "Special", fcUnusable},
    {18, "Char", "Special", fcUnusable},
    {19, "Numeric", "Numeric", fcNumeric},
    {20, "Decimal", "Numeric", fcNumeric},
    {21, "Float", "Numeric", fcNumeric},
    {22, "Time", "Numeric", fcNumeric},
    {23, "Time Stamp", "Numeric", fcNumeric},
    {AutoIncrType, "Long", "AutoIncrement", fcNumeric},
};

const TypeRow* find(int16_t code)
{
    for (const TypeRow& row : kTypes) {
        if (row.code == code)
            return &row;
    }
    return nullptr;
}

} // namespace

FieldClass dbUtilities::FieldTypeClass(int16_t fieldType)
{
    const TypeRow* row = find(fieldType);
    return row ? row->cls : fcUnusable;
}

bool dbUtilities::NetworkReads(int16_t fieldType)
{
    const FieldClass c = FieldTypeClass(fieldType);
    return c == fcNumeric || c == fcDate;
}

QString dbUtilities::FieldTypeName(int16_t fieldType)
{
    const TypeRow* row = find(fieldType);
    return QString::fromLatin1(row ? row->name : "Unknown");
}

QString dbUtilities::FieldCategoryName(int16_t fieldType)
{
    const TypeRow* row = find(fieldType);
    return QString::fromLatin1(row ? row->category : "Unknown");
}

int dbUtilities::FieldDecimals(int16_t fieldType, double min, double max)
{
    if (fieldType == 1 || fieldType == 2)
        return 0;
    if (fieldType == 5)
        return 2;
    const double r = max - min;
    if (r > 100)
        return 0;
    if (r > 10)
        return 1;
    if (r > 1)
        return 2;
    if (r > 0.1)
        return 3;
    if (r > 0.01)
        return 4;
    return 5;
}

dbUtilities::ValueForm dbUtilities::FieldValueForm(int16_t fieldType)
{
    switch (fieldType) {
    case kdb::dbDate:
    case kdb::dbTimeStamp:
        return ValueForm::Date;
    case kdb::dbTime:
        return ValueForm::Time;
    default:
        return ValueForm::Number;
    }
}

QString dbUtilities::SerialText(double serial, ValueForm form)
{
    switch (form) {
    case ValueForm::Date:
        return kdb::DateText(serial, true);
    case ValueForm::Time: {
        // A limit or a spread may lie outside one day (below midnight, or a day and more):
        // it keeps its sign and its whole hours rather than wrap round to another time.
        const long long s = std::llround(std::fabs(serial) * 86400.0);
        return QString::asprintf("%s%02lld:%02lld:%02lld", serial < 0 && s > 0 ? "-" : "", s / 3600, s / 60 % 60, s % 60);
    }
    case ValueForm::Number:
        break;
    }
    return {};
}

int dbUtilities::TypeDigits(int16_t fieldType)
{
    return fieldType == kdb::dbSingle ? 7 : 15;
}

QString dbUtilities::CellText(const kdb::Value& value, int digits)
{
    if (value.type() == kdb::Value::Type::Double)
        return NumFormat::Plain(value.toDouble(), digits);
    return value.toText();
}
