// The one number formatter of the program's display patterns: "0", "0.0" ... "0.00000",
// "0.00%" (the value times 100 and a percent sign) and any of these followed by literal text
// such as "0.00    ". Rounds the value's shortest decimal form to nearest, halves away from
// zero (0.125 gives "0.13"), and always writes a period: the result may go into SQL or a store.
#pragma once

#include <QString>

namespace NumFormat {
// `value` by `pattern`. A pattern this formatter does not know gives the general form.
QString Format(double value, const QString& pattern);
// A single-precision value is rounded from its own shortest decimal form (12.345f is "12.35").
QString Format(float value, const QString& pattern);
// The general form: the shortest text that reads back as the same value ("0.1", "1234.5").
QString General(double value);
}
