// Names, categories and network classes of database field type codes, as the configuration
// window and the data definition show and use them.
#pragma once

#include "kdb/value.h"

#include <QString>
#include <cstdint>

// What the networks can make of a field's values.
enum FieldClass : int16_t {
    fcUnusable = 0,
    fcNumeric = 1,
    fcText = 2,
    fcDate = 3,
};

// The system's own type code for an auto-increment long-integer column (a negated dbLong).
constexpr int16_t AutoIncrType = -4;

namespace dbUtilities {
FieldClass FieldTypeClass(int16_t fieldType);
// Whether the networks read a field's values: every number, whole numbers of any width
// included, and every date. The roles and the user limits both follow it.
bool NetworkReads(int16_t fieldType);
QString FieldTypeName(int16_t fieldType);
QString FieldCategoryName(int16_t fieldType);
// Digits after the point of a field's numbers in the configuration grid: by the type (Boolean
// and Byte 0, Currency 2), else by the range max - min (> 100: 0, > 10: 1, > 1: 2, > 0.1: 3,
// > 0.01: 4, else 5).
int FieldDecimals(int16_t fieldType, double min, double max);

// The form in which a person reads and types a value of a field wherever it is shown (grids,
// limits, predictions, messages): a Date/Time or Time Stamp as a date, a Time as a time of day,
// anything else as a number. The values themselves are serial days (kdb::DateSerial reads
// every form back).
enum class ValueForm { Number, Date, Time };
ValueForm FieldValueForm(int16_t fieldType);
// A serial day in `form`: "yyyy-MM-dd" at midnight, else "yyyy-MM-dd HH:mm:ss" (Date), or
// "HH:mm:ss" (Time; outside one day signed, with the whole hours: "-01:30:00", "26:00:00");
// empty for Number.
QString SerialText(double serial, ValueForm form);
// The significant digits a number of the field type holds: 7 for Single, else 15.
int TypeDigits(int16_t fieldType);
// The text a grid cell shows for a stored value that it does not format otherwise, and the
// text an export writes: a number as a person writes it, to `digits` significant digits, never
// "1e+06"; anything else (a date or time text among them) as stored.
QString CellText(const kdb::Value& value, int digits);
}
