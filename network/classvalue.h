// The one text form of an SFAM class value, used wherever classes are named or compared: the
// class list, the class numbers of the arrays, the test results, the browsers and the matrix.
#pragma once

#include "kdb/value.h"

#include <QString>

// Whole numbers without a fraction ("3", not "3.0"), other numbers in their shortest form,
// text as it stands, Null as the empty text.
QString ClassValueText(const kdb::Value& value);
